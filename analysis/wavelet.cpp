#include "analysis/wavelet.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// The periodic sums as written, the index wrapped at every tap: the reference
// every faster form must equal bit for bit.
void DecomposeWrapped(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
                      const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    for (std::int32_t j = 0; j < levels; ++j) {
        const std::int32_t m = sizes[j];
        const double* in = a + off[static_cast<std::size_t>(j)];
        double* outA = a + off[static_cast<std::size_t>(j) + 1];
        double* outD = d + off[static_cast<std::size_t>(j) + 1];
        for (std::int32_t i = 0; i < m / 2; ++i) {
            double sa = 0.0, sd = 0.0;
            for (std::int32_t k = 0; k < taps; ++k) {
                const double x = in[Wrap(2 * i + k, m)];
                sa += h[k] * x;
                sd += g[k] * x;
            }
            outA[i] = sa;
            outD[i] = sd;
        }
    }
}

void ReconstructWrapped(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                        std::int32_t levels, const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    const std::int32_t half = taps / 2;
    for (std::int32_t j = levels; j >= 1; --j) {
        const std::int32_t m = sizes[j];
        const double* ca = a + off[static_cast<std::size_t>(j)];
        const double* cd = d + off[static_cast<std::size_t>(j)];
        double* out = a + off[static_cast<std::size_t>(j) - 1];
        for (std::int32_t i = 0; i < m; ++i) {
            double even = 0.0, odd = 0.0;
            for (std::int32_t k = 0; k < half; ++k) {
                const std::int32_t p = Wrap(static_cast<std::int64_t>(i) - k, m);
                even += h[2 * k] * ca[p] + g[2 * k] * cd[p];
                odd += h[2 * k + 1] * ca[p] + g[2 * k + 1] * cd[p];
            }
            out[2 * i] = even;
            out[2 * i + 1] = odd;
        }
    }
}

// The periodic levels laid out so that every output reads its inputs
// contiguously: the wrap-around is done once per level, by copying, and the
// sums then run four outputs to a vector of doubles. Each output's sum keeps
// the order and the separate rounding of every product and addition of the
// wrapped loops above (no fused multiply-add is ever built here), so the results
// are the same bits in every build; the compiler lowers the vectors to AVX
// where the function is built for it and to pairs of SSE2 operations elsewhere.
typedef double Lanes __attribute__((vector_size(32)));

// Unaligned loads and stores; vectors pass by reference only (the calling
// convention for them by value depends on the instruction set).
[[gnu::always_inline]] inline void Load(Lanes& v, const double* at) { std::memcpy(&v, at, sizeof v); }
[[gnu::always_inline]] inline void Store(double* at, const Lanes& v) { std::memcpy(at, &v, sizeof v); }

// One level of the analysis: outA[i] = sum over k < taps of h[k] in[(2i + k) mod m]
// (outD with g), i < count. even[p] and odd[p] hold in[2p mod m] and
// in[(2p + 1) mod m] for p < count + taps / 2 + 1.
[[gnu::always_inline]] inline void DecomposeLevelKernel(const double* h, const double* g, std::int32_t taps,
                                                        const double* even, const double* odd, std::int32_t count,
                                                        double* outA, double* outD) {
    std::int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        Lanes a0{}, a1{}, a2{}, a3{}, d0{}, d1{}, d2{}, d3{};
        for (std::int32_t k = 0; k < taps; ++k) {
            // The row is picked on its own line: GCC 12's signed-overflow check
            // miscompiles an index added to a conditional pointer expression.
            const double* row = (k & 1) != 0 ? odd : even;
            const double* x = row + i + (k >> 1);
            const Lanes hk = {h[k], h[k], h[k], h[k]}, gk = {g[k], g[k], g[k], g[k]};
            Lanes x0, x1, x2, x3;
            Load(x0, x);
            Load(x1, x + 4);
            Load(x2, x + 8);
            Load(x3, x + 12);
            a0 += hk * x0;
            a1 += hk * x1;
            a2 += hk * x2;
            a3 += hk * x3;
            d0 += gk * x0;
            d1 += gk * x1;
            d2 += gk * x2;
            d3 += gk * x3;
        }
        Store(outA + i, a0);
        Store(outA + i + 4, a1);
        Store(outA + i + 8, a2);
        Store(outA + i + 12, a3);
        Store(outD + i, d0);
        Store(outD + i + 4, d1);
        Store(outD + i + 8, d2);
        Store(outD + i + 12, d3);
    }
    for (; i < count; ++i) {
        double sa = 0.0, sd = 0.0;
        for (std::int32_t k = 0; k < taps; ++k) {
            const double* row = (k & 1) != 0 ? odd : even;
            const double x = row[i + (k >> 1)];
            sa += h[k] * x;
            sd += g[k] * x;
        }
        outA[i] = sa;
        outD[i] = sd;
    }
}

// One level of the synthesis: out[2i] = sum over k < half of
// h[2k] ca[(i - k) mod m] + g[2k] cd[(i - k) mod m], out[2i + 1] likewise with
// the odd taps, i < m. ca and cd point behind half - 1 wrapped values.
[[gnu::always_inline]] inline void ReconstructLevelKernel(const double* h, const double* g, std::int32_t half,
                                                          const double* ca, const double* cd, std::int32_t m,
                                                          double* out) {
    std::int32_t i = 0;
    for (; i + 8 <= m; i += 8) {
        Lanes e0{}, e1{}, o0{}, o1{};
        for (std::int32_t k = 0; k < half; ++k) {
            const double te = h[2 * k], ue = g[2 * k], to = h[2 * k + 1], uo = g[2 * k + 1];
            const Lanes he = {te, te, te, te}, ge = {ue, ue, ue, ue};
            const Lanes ho = {to, to, to, to}, go = {uo, uo, uo, uo};
            Lanes x0, x1, y0, y1;
            Load(x0, ca + i - k);
            Load(x1, ca + i - k + 4);
            Load(y0, cd + i - k);
            Load(y1, cd + i - k + 4);
            e0 += he * x0 + ge * y0;
            e1 += he * x1 + ge * y1;
            o0 += ho * x0 + go * y0;
            o1 += ho * x1 + go * y1;
        }
        double* o = out + 2 * i;
        for (int b = 0; b < 4; ++b) {
            o[2 * b] = e0[b];
            o[2 * b + 1] = o0[b];
            o[8 + 2 * b] = e1[b];
            o[8 + 2 * b + 1] = o1[b];
        }
    }
    for (; i < m; ++i) {
        double even = 0.0, odd = 0.0;
        for (std::int32_t k = 0; k < half; ++k) {
            const double x = ca[i - k], y = cd[i - k];
            even += h[2 * k] * x + g[2 * k] * y;
            odd += h[2 * k + 1] * x + g[2 * k + 1] * y;
        }
        out[2 * i] = even;
        out[2 * i + 1] = odd;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) void DecomposeLevelAvx(const double* h, const double* g, std::int32_t taps,
                                                      const double* even, const double* odd, std::int32_t count,
                                                      double* outA, double* outD) {
    DecomposeLevelKernel(h, g, taps, even, odd, count, outA, outD);
}
__attribute__((target("avx"))) void ReconstructLevelAvx(const double* h, const double* g, std::int32_t half,
                                                        const double* ca, const double* cd, std::int32_t m,
                                                        double* out) {
    ReconstructLevelKernel(h, g, half, ca, cd, m, out);
}
bool HasAvx() {
    static const bool yes = __builtin_cpu_supports("avx");
    return yes;
}
#endif

void DecomposeLevel(const double* h, const double* g, std::int32_t taps, const double* even, const double* odd,
                    std::int32_t count, double* outA, double* outD) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (HasAvx()) return DecomposeLevelAvx(h, g, taps, even, odd, count, outA, outD);
#endif
    DecomposeLevelKernel(h, g, taps, even, odd, count, outA, outD);
}

void ReconstructLevel(const double* h, const double* g, std::int32_t half, const double* ca, const double* cd,
                      std::int32_t m, double* out) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (HasAvx()) return ReconstructLevelAvx(h, g, half, ca, cd, m, out);
#endif
    ReconstructLevelKernel(h, g, half, ca, cd, m, out);
}

void DecomposeContiguous(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                         std::int32_t levels, const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    std::vector<double> even, odd;
    for (std::int32_t j = 0; j < levels; ++j) {
        const std::int32_t m = sizes[j];
        const std::int32_t count = m / 2;
        const double* in = a + off[static_cast<std::size_t>(j)];
        const std::int32_t needed = count + taps / 2 + 1;
        even.resize(static_cast<std::size_t>(needed));
        odd.resize(static_cast<std::size_t>(needed));
        for (std::int32_t p = 0; p < needed; ++p) {
            even[static_cast<std::size_t>(p)] = in[Wrap(2 * static_cast<std::int64_t>(p), m)];
            odd[static_cast<std::size_t>(p)] = in[Wrap(2 * static_cast<std::int64_t>(p) + 1, m)];
        }
        DecomposeLevel(h, g, taps, even.data(), odd.data(), count, a + off[static_cast<std::size_t>(j) + 1],
                       d + off[static_cast<std::size_t>(j) + 1]);
    }
}

void ReconstructContiguous(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                           std::int32_t levels, const std::int32_t* sizes) {
    const auto off = Offsets(sizes, levels);
    const std::int32_t half = taps / 2;
    const std::int32_t lead = std::max(half - 1, 0);
    std::vector<double> ca, cd;
    for (std::int32_t j = levels; j >= 1; --j) {
        const std::int32_t m = sizes[j];
        const double* srcA = a + off[static_cast<std::size_t>(j)];
        const double* srcD = d + off[static_cast<std::size_t>(j)];
        ca.resize(static_cast<std::size_t>(lead + m));
        cd.resize(ca.size());
        for (std::int32_t p = -lead; p < m; ++p) {
            ca[static_cast<std::size_t>(p + lead)] = srcA[Wrap(p, m)];
            cd[static_cast<std::size_t>(p + lead)] = srcD[Wrap(p, m)];
        }
        ReconstructLevel(h, g, half, ca.data() + lead, cd.data() + lead, m, a + off[static_cast<std::size_t>(j) - 1]);
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
    DecomposeContiguous(h, g, taps, a, d, levels, sizes);
}
void WaveletReconstruct(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                        std::int32_t levels, const std::int32_t* sizes) {
    ReconstructContiguous(h, g, taps, a, d, levels, sizes);
}
void WaveletDecomposeLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                             std::int32_t levels, const std::int32_t* sizes) {
    DecomposeWrapped(h, g, taps, a, d, levels, sizes);
}
void WaveletReconstructLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                               std::int32_t levels, const std::int32_t* sizes) {
    ReconstructWrapped(h, g, taps, a, d, levels, sizes);
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
