#include "analysis/correlation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/fft.hpp"
#include "analysis/spectrum.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

constexpr std::int32_t kAverageBlock = 1;
constexpr std::int32_t kStatisticsBlock = 2;
constexpr std::int32_t kCrossCorrelationBlock = 3;

// Work copies zero-padded to the transform length the analysis has always used.
std::vector<float> Padded(const float* v, std::int32_t count, std::int32_t n) {
    std::vector<float> out(static_cast<std::size_t>(std::max(FftSizeFor(n).m, n)), 0.0f);
    std::copy_n(v, std::clamp(count, 0, n), out.begin());
    return out;
}

struct Prepared {
    std::vector<float> x, y;
    CorrelationTemplate t;
    double norm = 1.0;
};

Prepared Prepare(const float* x, const float* y, std::int32_t yCount, std::int32_t n) {
    Prepared p;
    p.x = Padded(x, n, n);
    p.y = Padded(y, yCount, n);
    p.t = FindTemplate(p.x.data(), n);
    double ey = 0.0, et = 0.0;
    for (std::int32_t k = 0; k < n; ++k) ey += static_cast<double>(p.y[static_cast<std::size_t>(k)]) * p.y[static_cast<std::size_t>(k)];
    for (std::int32_t k = p.t.start; k < p.t.end; ++k)
        et += static_cast<double>(p.x[static_cast<std::size_t>(k)]) * p.x[static_cast<std::size_t>(k)];
    const double norm = std::sqrt(ey * et);
    p.norm = norm != 0.0 ? norm : 1.0;
    return p;
}

}  // namespace

void AveragePoints(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t n, TestPoint& result) {
    if (n <= 0 || targets.empty() || doc.points.empty()) return;
    std::fill(result.samples.begin(), result.samples.end(), 0.0f);
    result.lastParams.viewMax = 0.0f;
    result.lastParams.viewMin = 0.0f;
    for (const auto i : targets) {
        if (!doc.ValidIndex(i)) {
            std::fill(result.samples.begin(), result.samples.end(), 0.0f);
            result.lastParams.viewMax = 0.0f;
            result.lastParams.viewMin = 0.0f;
            break;
        }
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        if (tp.sampleCount() != result.sampleCount()) {
            std::fill(result.samples.begin(), result.samples.end(), 0.0f);
            break;
        }
        for (std::size_t k = 0; k < result.samples.size(); ++k) result.samples[k] += tp.samples[k];
        result.lastParams.viewMax += tp.lastParams.viewMax;
        result.lastParams.viewMin += tp.lastParams.viewMin;
    }
    const auto count = static_cast<float>(n);
    for (auto& v : result.samples) v /= count;
    result.lastParams.viewMax /= count;
    result.lastParams.viewMin /= count;
}

CorrelationTemplate FindTemplate(const float* x, std::int32_t n) {
    float peak = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(x[i]));
    const float threshold = 2.0f * peak * 0.033333335f;

    std::int32_t s = -1, c = -1, b = -1;
    std::int32_t ends[4] = {-1, -1, -1, -1};
    int recorded = 0;
    bool armed = false;
    for (std::int32_t i = 1; i < n && recorded < 4; ++i) {
        if (x[i - 1] * x[i] <= 0.0f) {
            if (!armed) {
                s = i;
                armed = true;
            } else if (i - s < 6) {
                s = i;
            } else {
                b = i;
            }
        }
        if (std::fabs(x[i]) >= threshold && b >= 0 && armed) {
            if (recorded == 0) c = s;
            ends[recorded++] = b;
            if (recorded < 4) {
                s = i;
                b = -1;
            }
        }
    }

    const std::int32_t lo = n / 40, hi = n / 3;
    if (c >= 0) {
        for (int k = 3; k >= 0; --k) {
            const std::int32_t e = ends[k];
            if (e > c && e - c >= lo && e - c <= hi) return {c, e};
        }
    }
    return {0, n / 10};
}

CorrelationTemplate Correlate(const float* x, const float* y, std::int32_t yCount, float* out, std::int32_t n) {
    if (n <= 0) return {};
    const auto p = Prepare(x, y, yCount, n);
    const std::int32_t c = p.t.start;
    const std::int32_t h = (p.t.end - c) / 2;
    const std::int32_t width = 2 * h;
    // Outside the template's window the literal sum only adds zeros, so each
    // lag sums over its window alone, in the same order. Lags are taken kBlock
    // at a time: their sums are independent chains, and where a lag's window
    // does not reach, it adds the same zeros the literal form adds.
    constexpr std::int32_t kBlock = 8;
    // reversed[kBlock - 1 + width - 1 - j] = template[j], zeros around it.
    std::vector<float> reversed(static_cast<std::size_t>(width + 2 * kBlock), 0.0f);
    for (std::int32_t j = 0; j < width; ++j)
        reversed[static_cast<std::size_t>(kBlock - 1 + width - 1 - j)] = p.x[static_cast<std::size_t>(c + j)];
    const float* yv = p.y.data();
    std::int32_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        double sums[kBlock] = {};
        const std::int32_t from = std::max(i - h, 0);
        const std::int32_t to = std::min(i + kBlock - 1 + h, n);
        for (std::int32_t k = from; k < to; ++k) {
            // Lag i + l takes template[k - (i + l - h)], found at reversed[base + l].
            const float* r = reversed.data() + (kBlock - 1 + width - 1 - (k - i + h));
            const double yk = yv[k];
#pragma GCC unroll 8
            for (std::int32_t l = 0; l < kBlock; ++l) sums[l] += static_cast<double>(r[l]) * yk;
        }
        for (std::int32_t l = 0; l < kBlock; ++l) out[i + l] = static_cast<float>(sums[l] / p.norm);
    }
    for (; i < n; ++i) {
        const std::int32_t from = std::max(i - h, 0);
        const std::int32_t to = std::min(i + h, n);
        const float* tx = p.x.data() + c - (i - h);
        double sum = 0.0;
        for (std::int32_t k = from; k < to; ++k) sum += static_cast<double>(tx[k]) * yv[k];
        out[i] = static_cast<float>(sum / p.norm);
    }
    return p.t;
}

CorrelationTemplate CorrelateLiteral(const float* x, const float* y, std::int32_t yCount, float* out, std::int32_t n) {
    if (n <= 0) return {};
    const auto p = Prepare(x, y, yCount, n);
    const std::int32_t c = p.t.start;
    const std::int32_t h = (p.t.end - c) / 2;
    std::vector<float> w(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        std::fill(w.begin(), w.end(), 0.0f);
        for (std::int32_t k = i - h; k < i + h; ++k)
            if (k >= 0 && k < n) w[static_cast<std::size_t>(k)] = p.x[static_cast<std::size_t>(c + k - (i - h))];
        double sum = 0.0;
        for (std::int32_t k = 0; k < n; ++k)
            sum += static_cast<double>(w[static_cast<std::size_t>(k)]) * p.y[static_cast<std::size_t>(k)];
        out[i] = static_cast<float>(sum / p.norm);
    }
    return p.t;
}

StatisticsEntries BuildStatisticsEntries(const CTAV_AnalyserDoc& doc, const StatisticsSelection& selection,
                                         std::span<const std::int32_t> targets) {
    StatisticsEntries out;
    auto correlation = [&](std::int32_t a, std::int32_t b, const char* caption, std::int32_t block) {
        AnalysisEntry r = WaveformEntry(doc, a, block);
        r.caption = caption;
        r.kind = kKindCorrelation;
        const auto& ys = doc.points[static_cast<std::size_t>(b)].samples;
        const std::int32_t n = r.copy.sampleCount();
        std::vector<float> result(static_cast<std::size_t>(n));
        out.correlationTemplate = Correlate(r.copy.samples.data(), ys.data(), static_cast<std::int32_t>(ys.size()), result.data(), n);
        r.copy.samples = std::move(result);
        ArrayRange(r.copy.samples.data(), n, r.copy.lastParams.viewMax, r.copy.lastParams.viewMin);
        return r;
    };

    switch (selection.analysis) {
        case kStatAverage: {
            const auto& members = selection.averageScope == kAverageChecked ? doc.checkedIndices : doc.pileMembers;
            if (members.empty() || !doc.ValidIndex(members.front())) break;
            AnalysisEntry r = WaveformEntry(doc, members.front(), kAverageBlock);
            r.caption = "平均值";
            r.kind = kKindAverage;
            r.block = MergedBlock(doc, members, kAverageBlock);
            AveragePoints(doc, members, static_cast<std::int32_t>(members.size()), r.copy);
            out.entries.push_back(std::move(r));
            break;
        }
        case kStatAutocorrelation:
            if (!doc.ValidIndex(selection.autoPoint)) break;
            out.entries.push_back(WaveformEntry(doc, selection.autoPoint, kStatisticsBlock));
            out.entries.push_back(correlation(selection.autoPoint, selection.autoPoint, "自相关", kStatisticsBlock));
            break;
        case kStatCrossCorrelation: {
            if (!doc.ValidIndex(selection.crossA) || !doc.ValidIndex(selection.crossB)) break;
            out.entries.push_back(WaveformEntry(doc, selection.crossA, kStatisticsBlock));
            out.entries.push_back(WaveformEntry(doc, selection.crossB, kStatisticsBlock));
            auto r = correlation(selection.crossA, selection.crossB, "互相关", kCrossCorrelationBlock);
            r.block = MergedBlock(doc, targets, kCrossCorrelationBlock);
            out.entries.push_back(std::move(r));
            break;
        }
        default: break;
    }
    return out;
}

std::string ShortExponent(double value) {
    std::string text = Format("%.2e", value);
    const auto e = text.find('e');
    if (e == std::string::npos || e + 2 > text.size()) return text;
    const std::string mantissa = text.substr(0, e + 2);  // through the exponent's sign
    const int exponent = std::abs(std::atoi(text.c_str() + e + 2));
    return mantissa + std::to_string(exponent);
}

std::vector<std::string> CorrelationReadout(const AnalysisEntry& entry, std::int32_t v) {
    const auto& s = entry.copy.samples;
    if (v < 0 || v >= static_cast<std::int32_t>(s.size())) return {};
    return {Format("A=%0.2f", static_cast<double>(s[static_cast<std::size_t>(v)])),
            Format("t=%0.2fms", SpanTimeMs(entry.copy, v, entry.copy.sampleCount()))};
}

std::vector<std::string> CorrelationMarkLines(const AnalysisEntry& entry) {
    const auto& tp = entry.copy;
    if (tp.correlationMarks.empty()) return {};
    std::vector<std::string> out{"相关标记:"};
    int number = 0;
    for (const auto v : tp.correlationMarks) {
        if (v < 0 || v >= tp.sampleCount()) continue;
        const std::string time = Format("%0.2fms", SpanTimeMs(tp, v, tp.sampleCount()));
        const std::string value = ShortExponent(tp.samples[static_cast<std::size_t>(v)]) + "mV";
        out.push_back(Format("  %d:%s,%s", ++number, time.c_str(), value.c_str()));
    }
    return out;
}

}  // namespace tav
