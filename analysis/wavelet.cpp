#include "analysis/wavelet.hpp"

#include <algorithm>
#include <cmath>

#include "model/document.hpp"

namespace tav {

namespace {

std::vector<std::int32_t> Offsets(const std::int32_t* sizes, std::int32_t levels) {
    std::vector<std::int32_t> off(static_cast<std::size_t>(levels) + 1, 0);
    for (std::int32_t j = 0; j < levels; ++j) off[static_cast<std::size_t>(j) + 1] = off[static_cast<std::size_t>(j)] + sizes[j];
    return off;
}

// Index arithmetic modulo m for possibly negative or multiply wrapped values.
std::int32_t Wrap(std::int64_t v, std::int32_t m) {
    const auto r = static_cast<std::int32_t>(v % m);
    return r < 0 ? r + m : r;
}

template <bool kLiteral>
void Decompose(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
               const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    for (std::int32_t j = 0; j < levels; ++j) {
        const std::int32_t m = sizes[j];
        const double* in = a + off[static_cast<std::size_t>(j)];
        double* outA = a + off[static_cast<std::size_t>(j) + 1];
        double* outD = d + off[static_cast<std::size_t>(j) + 1];
        for (std::int32_t i = 0; i < m / 2; ++i) {
            double sa = 0.0, sd = 0.0;
            if (!kLiteral && 2 * i + taps <= m) {
                const double* x = in + 2 * i;
                for (std::int32_t k = 0; k < taps; ++k) {
                    sa += h[k] * x[k];
                    sd += g[k] * x[k];
                }
            } else {
                for (std::int32_t k = 0; k < taps; ++k) {
                    const double x = in[Wrap(2 * i + k, m)];
                    sa += h[k] * x;
                    sd += g[k] * x;
                }
            }
            outA[i] = sa;
            outD[i] = sd;
        }
    }
}

template <bool kLiteral>
void Reconstruct(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
                 const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    const std::int32_t half = taps / 2;
    for (std::int32_t j = levels; j >= 1; --j) {
        const std::int32_t m = sizes[j];
        const double* ca = a + off[static_cast<std::size_t>(j)];
        const double* cd = d + off[static_cast<std::size_t>(j)];
        double* out = a + off[static_cast<std::size_t>(j) - 1];
        for (std::int32_t i = 0; i < m; ++i) {
            double even = 0.0, odd = 0.0;
            if (!kLiteral && i >= half - 1) {
                for (std::int32_t k = 0; k < half; ++k) {
                    const double x = ca[i - k], y = cd[i - k];
                    even += h[2 * k] * x + g[2 * k] * y;
                    odd += h[2 * k + 1] * x + g[2 * k + 1] * y;
                }
            } else {
                for (std::int32_t k = 0; k < half; ++k) {
                    const std::int32_t p = Wrap(static_cast<std::int64_t>(i) - k, m);
                    even += h[2 * k] * ca[p] + g[2 * k] * cd[p];
                    odd += h[2 * k + 1] * ca[p] + g[2 * k + 1] * cd[p];
                }
            }
            out[2 * i] = even;
            out[2 * i + 1] = odd;
        }
    }
}

float MaxMagnitude(const std::vector<float>& v) {
    float m = 0.0f;
    for (const float x : v)
        if (std::isfinite(x)) m = std::max(m, std::fabs(x));
    return m;
}

}  // namespace

void WaveletDecompose(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
                      const std::int32_t* sizes) {
    Decompose<false>(h, g, taps, a, d, levels, sizes);
}
void WaveletReconstruct(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                        std::int32_t levels, const std::int32_t* sizes) {
    Reconstruct<false>(h, g, taps, a, d, levels, sizes);
}
void WaveletDecomposeLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                             std::int32_t levels, const std::int32_t* sizes) {
    Decompose<true>(h, g, taps, a, d, levels, sizes);
}
void WaveletReconstructLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                               std::int32_t levels, const std::int32_t* sizes) {
    Reconstruct<true>(h, g, taps, a, d, levels, sizes);
}

int WaveletTransform(const WaveletFamilyTable& table, const float* input, std::int32_t n, WaveletResult& result,
                     std::int32_t family, std::int32_t order, std::int32_t levels, bool literal) {
    const WaveletOrder* w = table.Find(family, order);
    if (!w || n <= 0 || n > (1 << 16) || levels < 1 || levels > kMaxWaveletLevels) return 0;

    std::int32_t x = 1;
    while (x < 2 * n) x *= 2;
    // Sizes of every level that still holds coefficients; the decomposed ones
    // come first, deeper ones stay zero.
    std::vector<std::int32_t> sizes{x};
    while (sizes.back() > 1 || static_cast<std::int32_t>(sizes.size()) <= levels) sizes.push_back(sizes.back() / 2);
    std::vector<double> a(static_cast<std::size_t>(2 * x), 0.0), d(static_cast<std::size_t>(2 * x), 0.0);
    for (std::int32_t i = 0; i < n; ++i) a[static_cast<std::size_t>(x / 2 + i)] = input[i];

    const double* h = w->h.data();
    const double* g = w->g.data();
    if (literal)
        WaveletDecomposeLiteral(h, g, w->length, a.data(), d.data(), levels, sizes.data());
    else
        WaveletDecompose(h, g, w->length, a.data(), d.data(), levels, sizes.data());

    // The display shows q/2^j values of level j (q = x/2): exactly the second
    // half of each level, so pack at least that many.
    std::int32_t shown = 0;
    for (std::int32_t j = 1; j <= levels; ++j) shown += (x / 2) >> j;
    const std::int32_t packCount = std::max(n, shown);
    result.smooth.assign(static_cast<std::size_t>(packCount), 0.0f);
    result.detail.assign(static_cast<std::size_t>(packCount), 0.0f);
    std::int32_t written = 0, offset = x;
    for (std::size_t j = 1; j < sizes.size() && sizes[j] > 1 && written < packCount; ++j) {
        for (std::int32_t i = sizes[j] / 2; i < sizes[j] && written < packCount; ++i, ++written) {
            result.smooth[static_cast<std::size_t>(written)] = static_cast<float>(a[static_cast<std::size_t>(offset + i)]);
            result.detail[static_cast<std::size_t>(written)] = static_cast<float>(d[static_cast<std::size_t>(offset + i)]);
        }
        offset += sizes[j];
    }

    if (literal)
        WaveletReconstructLiteral(h, g, w->length, a.data(), d.data(), levels, sizes.data());
    else
        WaveletReconstruct(h, g, w->length, a.data(), d.data(), levels, sizes.data());
    result.reconstructed.resize(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        result.reconstructed[static_cast<std::size_t>(i)] = static_cast<float>(a[static_cast<std::size_t>(x / 2 + i)]);
    return 1;
}

std::vector<AnalysisEntry> BuildWaveletEntries(const CTAV_AnalyserDoc& doc, std::int32_t index,
                                               const WaveletFamilyTable& table, std::int32_t family,
                                               std::int32_t order, std::int32_t levelIndex) {
    std::vector<AnalysisEntry> entries;
    if (!doc.ValidIndex(index)) return entries;
    const auto& tp = doc.points[static_cast<std::size_t>(index)];
    const std::int32_t levels = levelIndex + 1;
    WaveletResult r;
    if (!WaveletTransform(table, tp.samples.data(), tp.sampleCount(), r, family, order, levels)) return entries;

    auto add = [&](std::string caption, std::int32_t kind, std::int32_t block, std::vector<float> values) {
        AnalysisEntry e = WaveformEntry(doc, index, block);
        e.caption = std::move(caption);
        e.kind = kind;
        e.subSignal = static_cast<std::int32_t>(entries.size());
        e.copy.samples = std::move(values);
        e.shownCount = e.copy.sampleCount();
        const float top = 1.1f * MaxMagnitude(e.copy.samples);
        e.copy.lastParams.viewMax = top;
        e.copy.lastParams.viewMin = -top;
        entries.push_back(std::move(e));
    };
    add(Format("%s 原始信号", PointCaption(tp).c_str()), kKindWaveform, 0, tp.samples);
    add("重构信号", kKindWavelet, 6, std::move(r.reconstructed));
    std::int32_t q = 1;
    while (q < tp.sampleCount()) q *= 2;
    std::int32_t start = 0;
    for (std::int32_t j = 1; j <= levels; ++j) {
        const std::int32_t count = q >> j;
        const auto from = static_cast<std::ptrdiff_t>(start);
        add(Format("第%d级 平滑信号", j), kKindWavelet, 5 + 2 * j,
            std::vector<float>(r.smooth.begin() + from, r.smooth.begin() + from + count));
        add(Format("第%d级 细节信号", j), kKindWavelet, 6 + 2 * j,
            std::vector<float>(r.detail.begin() + from, r.detail.begin() + from + count));
        start += count;
    }
    return entries;
}

std::vector<std::string> WaveletReadout(const AnalysisEntry& entry, std::int32_t v) {
    const auto& s = entry.copy.samples;
    if (v < 0 || v >= static_cast<std::int32_t>(s.size())) return {};
    return {Format("t=%0.2fms", SpanTimeMs(entry.copy, v, entry.copy.sampleCount())),
            Format("A=%0.2f", static_cast<double>(s[static_cast<std::size_t>(v)]))};
}

std::vector<std::string> WaveletMarkLines(const AnalysisEntry& entry) {
    const auto& tp = entry.copy;
    std::vector<std::string> out;
    const auto count = std::min(tp.waveletMarkLevels.size(), tp.waveletMarkPositions.size());
    int number = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (tp.waveletMarkLevels[i] != entry.subSignal) continue;
        const std::int32_t v = tp.waveletMarkPositions[i];
        if (v < 0 || v >= tp.sampleCount()) continue;
        if (out.empty()) out.push_back("小波标记:");
        const std::string time = Format("%0.2fms,", SpanTimeMs(tp, v, tp.sampleCount()));
        const std::string value = Format("%0.2fmV", static_cast<double>(tp.samples[static_cast<std::size_t>(v)]));
        out.push_back(Format("  %d:%s%s", ++number, time.c_str(), value.c_str()));
    }
    return out;
}

}  // namespace tav
