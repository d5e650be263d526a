#include "processing/pointwise_ops.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tav {

namespace {

bool Empty(const float* x, std::int32_t n) {
    return x == nullptr || n < 1;
}

// Sample i of the result, computed in double and stored once as a float.
inline void Store(float* x, std::int64_t i, double v) {
    x[i] = static_cast<float>(v);
}

}  // namespace

int Reverse(float* x, std::int32_t n) {
    if (Empty(x, n)) return 0;
    for (std::int32_t i = 0; i < n; ++i) x[i] = -x[i];
    return 1;
}

int RemoveDc(float* x, std::int32_t n, std::int32_t dcMode, std::int32_t dcStart) {
    if (Empty(x, n)) return 0;
    std::int32_t s = 0;
    if (dcMode == 2) {
        if (dcStart >= n) return 1;
        s = std::max(dcStart, 0);
    }
    double sum = 0.0;
    for (std::int32_t i = s; i < n; ++i) sum += x[i];
    const double mean = sum / static_cast<double>(n - s);
    for (std::int32_t i = s; i < n; ++i) Store(x, i, static_cast<double>(x[i]) - mean);
    return 1;
}

int ShiftData(float* x, std::int32_t n, std::int32_t shiftX, float shiftY, std::int32_t shiftMode,
              std::int32_t shiftStart, std::int32_t shiftEnd) {
    if (Empty(x, n)) return 0;
    // 64-bit so that no start, end or shift value can overflow the range arithmetic.
    std::int64_t a = 0, b = n;
    if (shiftMode == 1) {
        a = shiftStart;
        b = shiftEnd;
    }
    const std::int64_t len = b - a;
    if (len < 0 || a < 0 || b > n) return 0;
    const std::int64_t k = std::clamp<std::int64_t>(shiftX, -len, len);
    const std::vector<float> c(x + a, x + b);  // the range is all that moves
    const auto at = [&](std::int64_t i) { return c[static_cast<std::size_t>(i - a)]; };
    const double dy = shiftY;
    for (std::int64_t i = a; i < b; ++i) {
        float source;
        if (k > 0)
            source = i < a + k ? at(a) : at(i - k);
        else if (k < 0)
            source = i < a + len + k ? at(i - k) : at(b - 1);
        else
            source = at(i);
        Store(x, i, static_cast<double>(source) + dy);
    }
    return 1;
}

int Rotate(float* x, std::int32_t n, std::int32_t rotateMode, std::int32_t rotateStart, float rotateAngle,
           float rotateScale) {
    if (Empty(x, n)) return 0;
    std::int32_t s = 0;
    if (rotateMode != 0) {
        if (rotateStart >= n) return 1;
        s = std::max(rotateStart, 0);
    }
    const double pi = 4.0 * std::atan(1.0);
    const float halfPi = static_cast<float>(pi / 2.0);
    const float limit = static_cast<float>(static_cast<double>(halfPi) - 0.001);
    float angle = rotateAngle;
    if (angle >= halfPi) angle = limit;
    if (static_cast<double>(angle) <= -pi / 2.0) angle = -limit;
    const double step = std::tan(static_cast<double>(angle)) * static_cast<double>(rotateScale) * 0.55;
    for (std::int32_t i = s; i < n; ++i) Store(x, i, static_cast<double>(x[i]) + static_cast<double>(i - s) * step);
    return 1;
}

int Magnify(float* x, std::int32_t n, float magnifyFactor, std::int32_t magnifyStart, std::int32_t magnifyMode,
            std::int32_t limitIndex) {
    if (Empty(x, n)) return 0;
    if (magnifyStart >= n) return 1;
    const std::int32_t s = std::max(magnifyStart, 0);
    const double d = static_cast<double>(n - s);
    if (magnifyMode != 0) {
        const float k = static_cast<float>(static_cast<double>(magnifyFactor) / d);
        for (std::int32_t i = s; i < n; ++i)
            Store(x, i, static_cast<double>(x[i]) * (static_cast<double>(i - s) * static_cast<double>(k) + 1.0));
        return 1;
    }
    if (!(magnifyFactor > 0.0f)) return 1;  // no logarithm: nothing sensible to multiply by
    const std::int32_t e = limitIndex > 0 ? std::min(limitIndex, n) : n;
    if (e <= s) return 1;
    const double r = std::log(static_cast<double>(magnifyFactor)) / d;
    for (std::int32_t i = s; i < e; ++i)
        Store(x, i, static_cast<double>(x[i]) * std::exp(r * static_cast<double>(i - s)));
    const double held = std::exp(r * static_cast<double>(e - s));
    for (std::int32_t i = e; i < n; ++i) Store(x, i, static_cast<double>(x[i]) * held);
    return 1;
}

int LocalScale(float* x, std::int32_t n, std::int32_t scaleStart, std::int32_t scaleEnd, float scaleFactor) {
    if (Empty(x, n)) return 0;
    const std::int32_t a = std::clamp(scaleStart, 0, n);
    std::int32_t b = std::max(scaleEnd, 0);
    if (b >= n) b = n - 1;
    if (a >= b) return 1;
    for (std::int32_t i = a; i <= b; ++i) Store(x, i, static_cast<double>(x[i]) * static_cast<double>(scaleFactor));
    return 1;
}

int ZeroFront(float* x, std::int32_t n, std::int32_t frontZeroPos) {
    if (Empty(x, n)) return 0;
    std::fill(x, x + std::clamp(frontZeroPos, 0, n), 0.0f);
    return 1;
}

int ZeroRear(float* x, std::int32_t n, std::int32_t rearZeroPos) {
    if (Empty(x, n)) return 0;
    std::fill(x + std::clamp(rearZeroPos, 0, n), x + n, 0.0f);
    return 1;
}

namespace {

int ZeroTail(float* x, std::int32_t n, std::int32_t toeIndex, std::int32_t mode, std::int32_t start, bool squared) {
    if (Empty(x, n)) return 0;
    std::int32_t s = mode == 1 ? start : mode == 2 ? toeIndex : 0;
    if (s >= n) return 1;
    s = std::max(s, 0);
    const double v = x[n - 1];
    const double d = static_cast<double>(n - s);
    const double slope = squared ? -v / d / d : -v / d;
    for (std::int32_t i = s; i < n; ++i) {
        const double t = static_cast<double>(i - s);
        Store(x, i, static_cast<double>(x[i]) + (squared ? t * t : t) * slope);
    }
    return 1;
}

}  // namespace

int ZeroLinear(float* x, std::int32_t n, std::int32_t toeIndex, std::int32_t mode, std::int32_t start) {
    return ZeroTail(x, n, toeIndex, mode, start, false);
}

int ZeroNonlinear(float* x, std::int32_t n, std::int32_t toeIndex, std::int32_t mode, std::int32_t start) {
    return ZeroTail(x, n, toeIndex, mode, start, true);
}

}  // namespace tav
