#include "model/pile_head.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/numeric.hpp"

namespace tav {

std::int32_t FindPileHead(const float* x, std::int32_t n) {
    if (x == nullptr || n <= 10) return 0;
    std::int32_t i = 10;
    while (i < n && x[i] == 0.0f) ++i;
    if (i >= n) return 0;

    struct HalfWave {
        float peak;
        std::int32_t index;
    };
    std::vector<HalfWave> done;
    bool positive = x[i] > 0.0f;
    HalfWave current{std::fabs(x[i]), i};
    for (++i; i < n; ++i) {
        const float v = x[i];
        if (v == 0.0f || std::isnan(v)) continue;
        if ((v > 0.0f) != positive) {
            done.push_back(current);
            positive = v > 0.0f;
            current = {std::fabs(v), i};
        } else if (std::fabs(v) > current.peak) {
            current = {std::fabs(v), i};
        }
    }
    if (done.empty()) return 0;
    float largest = done.front().peak;
    for (const auto& h : done) largest = std::max(largest, h.peak);
    for (const auto& h : done)
        if (h.peak * 2.0f > largest) return h.index;
    return 0;
}

std::int32_t DefaultToe(const TestPoint& tp) {
    const float denominator = static_cast<float>(tp.waveSpeed) * tp.sampleInterval;
    if (denominator == 0.0f) return 0;
    const auto travel = TruncToInt32(2.0f * tp.pileLength / denominator * 1000000.0f);
    if (!travel) return 0;
    return tp.headIndex + *travel;
}

std::pair<std::int32_t, std::int32_t> HeadAndToe(const TestPoint& tp) {
    const std::int32_t head =
        (tp.headIndex != 0 && tp.headValid == 1) ? tp.headIndex : FindPileHead(tp.samples.data(), tp.sampleCount());
    const std::int32_t toe = ToeSet(tp) ? tp.toeIndex : DefaultToe(tp);
    return {head, toe};
}

DisplayRange WindowDisplayRange(const float* x, std::int32_t n, std::int32_t head, std::int32_t toe) {
    if (x == nullptr || n <= 0) return {};
    float hi = x[0];
    float lo = x[0];
    std::int32_t from = 0;
    std::int32_t to = n;
    if (head >= 0 && toe >= 1) {
        from = head;
        to = toe;
    }
    from = std::clamp(from, 0, n);
    to = std::clamp(to, 0, n);
    // Eight running extremes side by side instead of one chain of dependent
    // comparisons (loading runs this over every record). Each lane starts from
    // x[0] and keeps the same rule (a NaN never wins, a NaN x[0] stays), so the
    // extremes found are the sequential ones up to the sign of a zero, which
    // the magnitude below drops.
    typedef float Quad __attribute__((vector_size(16)));  // one SSE register
    std::int32_t i = from;
    if (to - from >= 8) {
        const Quad start = {hi, hi, hi, hi};
        Quad hi0 = start, hi1 = start, lo0 = start, lo1 = start;
        for (; i + 8 <= to; i += 8) {
            Quad v0, v1;
            std::memcpy(&v0, x + i, sizeof v0);
            std::memcpy(&v1, x + i + 4, sizeof v1);
            hi0 = v0 > hi0 ? v0 : hi0;
            hi1 = v1 > hi1 ? v1 : hi1;
            lo0 = v0 < lo0 ? v0 : lo0;
            lo1 = v1 < lo1 ? v1 : lo1;
        }
        for (int k = 0; k < 4; ++k) {
            for (const float h : {hi0[k], hi1[k]})
                if (h > hi) hi = h;
            for (const float l : {lo0[k], lo1[k]})
                if (l < lo) lo = l;
        }
    }
    for (; i < to; ++i) {
        if (x[i] > hi) hi = x[i];
        if (x[i] < lo) lo = x[i];
    }
    const float v = std::max(std::fabs(hi), std::fabs(lo));
    return {v, -v};
}

float RoundDisplayMax(float v) {
    const double x = static_cast<double>(v) * 1.1;
    if (!std::isfinite(x)) return static_cast<float>(x);
    const double b = 2.0 * std::trunc(std::trunc(x) / 2.0);
    return static_cast<float>(x <= b ? b : b + 2.0);
}

}  // namespace tav
