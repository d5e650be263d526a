#include "analysis/spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/fft.hpp"
#include "base/numeric.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

constexpr float kLogSpectrumGain = 32.768f;
constexpr std::int32_t kFrequencyBlock = 4;
constexpr std::int32_t kCrossPowerBlock = 5;

// The forward transform of n values zero-padded to M.
struct Transformed {
    std::vector<float> re, im;
    std::int32_t m = 0;
};

Transformed ForwardOf(const float* in, std::int32_t count, std::int32_t n) {
    const auto size = FftSizeFor(n);
    Transformed t;
    t.m = size.m;
    std::vector<float> re(static_cast<std::size_t>(size.m), 0.0f), im(static_cast<std::size_t>(size.m), 0.0f);
    std::copy_n(in, std::min(count, n), re.begin());
    t.re.resize(re.size());
    t.im.resize(im.size());
    Fft(re.data(), im.data(), size.m, size.log2m, t.re.data(), t.im.data(), false);
    return t;
}

bool Computable(std::int32_t n) { return n > 0 && FftSizeFor(n).m > 0; }

double PowerOf(const Transformed& x, std::int32_t k) {
    const double r = x.re[static_cast<std::size_t>(k)];
    const double i = x.im[static_cast<std::size_t>(k)];
    return r * r + i * i;
}

}  // namespace

std::int32_t NormalisedSpectrumType(std::int32_t type) {
    return type >= 0 && type < kSpectrumTypeCount ? type : kSpectrumAmplitude;
}

std::string_view SpectrumTypeName(std::int32_t type) {
    static constexpr std::string_view kNames[kSpectrumTypeCount] = {"幅值谱", "功率谱", "互功率谱", "倒频谱", "对数谱"};
    return kNames[NormalisedSpectrumType(type)];
}

void AmplitudeSpectrum(const float* in, float* out, std::int32_t n) {
    if (!Computable(n)) return;
    const auto x = ForwardOf(in, n, n);
    for (std::int32_t k = 0; k < n; ++k) out[k] = static_cast<float>(2.0 * std::sqrt(PowerOf(x, k)) / x.m);
}

void PowerSpectrum(const float* in, float* out, std::int32_t n) {
    if (!Computable(n)) return;
    const auto x = ForwardOf(in, n, n);
    for (std::int32_t k = 0; k < n; ++k) out[k] = static_cast<float>(PowerOf(x, k) * 4.0 / x.m / x.m);
}

void LogSpectrum(const float* in, float* out, std::int32_t n) {
    if (!Computable(n)) return;
    const auto x = ForwardOf(in, n, n);
    for (std::int32_t k = 0; k < n; ++k)
        out[k] = static_cast<float>(20.0 * std::log10(PowerOf(x, k) * 2.0 / x.m * static_cast<double>(kLogSpectrumGain)));
}

void Cepstrum(const float* in, float* out, std::int32_t n) {
    if (!Computable(n)) return;
    const auto x = ForwardOf(in, n, n);
    const auto size = FftSizeFor(n);
    std::vector<float> re(static_cast<std::size_t>(x.m), 0.0f), im(static_cast<std::size_t>(x.m), 0.0f);
    float lowest = std::numeric_limits<float>::infinity();
    for (std::int32_t k = 0; k < n; ++k) {
        const auto p = static_cast<float>(std::log10(PowerOf(x, k) * 4.0 / x.m / x.m));
        re[static_cast<std::size_t>(k)] = p;
        if (std::isfinite(p)) lowest = std::min(lowest, p);
    }
    // A line of zero power would turn every output value into NaN; it takes the
    // lowest finite log power instead.
    if (!std::isfinite(lowest)) lowest = 0.0f;
    for (std::int32_t k = 0; k < n; ++k)
        if (std::isinf(re[static_cast<std::size_t>(k)]) && re[static_cast<std::size_t>(k)] < 0) re[static_cast<std::size_t>(k)] = lowest;
    std::vector<float> outRe(re.size()), outIm(re.size());
    Fft(re.data(), im.data(), size.m, size.log2m, outRe.data(), outIm.data(), true);
    for (std::int32_t k = 0; k < n; ++k) {
        const double r = outRe[static_cast<std::size_t>(k)], i = outIm[static_cast<std::size_t>(k)];
        out[k] = static_cast<float>(std::sqrt(r * r + i * i));
    }
}

void CrossPowerSpectrum(const float* a, const float* b, std::int32_t bCount, float* out, std::int32_t n) {
    if (!Computable(n)) return;
    const auto x = ForwardOf(a, n, n);
    const auto y = ForwardOf(b, std::max(bCount, 0), n);
    for (std::int32_t k = 0; k < n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const double p = static_cast<double>(x.re[i]) * y.re[i] + static_cast<double>(x.im[i]) * y.im[i];
        out[k] = static_cast<float>(p * 4.0 / x.m / x.m);
    }
}

void ArrayRange(const float* a, std::int32_t n, float& outMax, float& outMin, bool symmetric, std::int32_t first,
                std::int32_t last) {
    if (last < 0 || last > n) last = n;
    first = std::max(first, 0);
    bool any = false;
    float hi = 0.0f, lo = 0.0f;
    for (std::int32_t i = first; i < last; ++i) {
        if (!std::isfinite(a[i])) continue;
        if (!any || a[i] > hi) hi = a[i];
        if (!any || a[i] < lo) lo = a[i];
        any = true;
    }
    if (symmetric) {
        hi = std::max(std::fabs(hi), std::fabs(lo));
        lo = -hi;
    }
    outMax = hi;
    outMin = lo;
}

float NiceTop(float x) {
    const double y = 1.1 * static_cast<double>(x);
    const auto t = TruncToInt32(y);
    if (!t) return static_cast<float>(y);
    const std::int64_t b = *t / 2 * 2;
    return static_cast<float>(y <= static_cast<double>(b) ? b : b + 2);
}

double LineFrequencyHz(const TestPoint& tp, std::int32_t line) {
    const std::int32_t n = tp.sampleCount();
    if (n <= 0 || !(tp.sampleInterval != 0.0f)) return 0.0;
    return static_cast<double>(line) * 1000000.0 / (static_cast<double>(n) * tp.sampleInterval);
}

double LineFrequencyKHz(const TestPoint& tp, std::int32_t line) {
    const std::int32_t n = tp.sampleCount();
    if (n <= 0 || !(tp.sampleInterval != 0.0f)) return 0.0;
    return 1.0 / tp.sampleInterval * 500.0 * line / (n / 2.0);
}

std::vector<std::string> FrequencyResolutionLines(const TestPoint& tp) {
    if (tp.headSampleCount <= 0 || !(tp.sampleInterval > 0.0f)) return {};
    const double df = 1.0 / (tp.sampleInterval * 1e-6) / (tp.headSampleCount * 0.5);
    return {"频率分辨率:", Format("  df=%0.0fHz", df)};
}

std::vector<std::string> SpectrumReadout(const AnalysisEntry& entry, std::int32_t line, std::int32_t spectrumType) {
    const auto& s = entry.copy.samples;
    if (line < 0 || line >= static_cast<std::int32_t>(s.size())) return {};
    std::vector<std::string> out{Format("A=%0.2f%s", static_cast<double>(s[static_cast<std::size_t>(line)]),
                                        NormalisedSpectrumType(spectrumType) == kSpectrumLog ? "dB" : "mV")};
    if (entry.copy.sampleInterval != 0.0f) out.push_back(Format("F=%0.2fkHZ", LineFrequencyKHz(entry.copy, line)));
    return out;
}

std::vector<std::string> SpectrumMarkLines(const AnalysisEntry& entry) {
    const auto& tp = entry.copy;
    if (tp.spectrumMarks.empty()) return {};
    std::vector<std::string> out{"频谱标记:"};
    int number = 0;
    for (const auto k : tp.spectrumMarks) {
        if (k < 0 || k >= tp.sampleCount()) continue;
        const std::string freq = tp.sampleInterval != 0.0f ? Format("%0.2f kHZ,", LineFrequencyKHz(tp, k)) : "";
        out.push_back(Format("  %d:%s%s", ++number, freq.c_str(),
                             Format("%0.2fmV", static_cast<double>(tp.samples[static_cast<std::size_t>(k)])).c_str()));
    }
    return out;
}

std::vector<AnalysisEntry> BuildSpectrumEntries(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> shown,
                                                std::int32_t& spectrumType, std::int32_t a, std::int32_t b,
                                                std::span<const std::int32_t> targets) {
    spectrumType = NormalisedSpectrumType(spectrumType);
    std::vector<AnalysisEntry> entries;
    if (spectrumType == kSpectrumCrossPower) {
        if (!doc.ValidIndex(a) || !doc.ValidIndex(b)) return entries;
        entries.push_back(WaveformEntry(doc, a, 0));
        entries.push_back(WaveformEntry(doc, b, 0));
        AnalysisEntry r = WaveformEntry(doc, a, kCrossPowerBlock);
        r.caption = "互功率谱";
        r.kind = kKindSpectrum;
        r.block = MergedBlock(doc, targets, kCrossPowerBlock);
        const auto& bs = doc.points[static_cast<std::size_t>(b)].samples;
        const std::int32_t n = r.copy.sampleCount();
        CrossPowerSpectrum(r.copy.samples.data(), bs.data(), static_cast<std::int32_t>(bs.size()), r.copy.samples.data(), n);
        float hi = 0.0f, lo = 0.0f;
        ArrayRange(r.copy.samples.data(), n, hi, lo);
        r.copy.lastParams.viewMax = hi + 0.1f * std::fabs(hi);
        r.copy.lastParams.viewMin = 0.0f;
        r.shownCount = n / 2;
        entries.push_back(std::move(r));
        return entries;
    }

    for (const auto index : shown) {
        if (!doc.ValidIndex(index)) continue;
        auto& own = doc.points[static_cast<std::size_t>(index)];
        auto& ownBlock = own.lastParams.displayBlocks[kFrequencyBlock];
        if (ownBlock.hScale < 1.1f && own.sampleInterval != 0.0f) {
            // Shows roughly 0 to 4 kHz at first.
            if (const auto tenths = TruncToInt32(1.0f / own.sampleInterval * 1000.0f * 0.125f * 10.0f))
                ownBlock.hScale = static_cast<float>(*tenths) * 0.1f;
        }
        AnalysisEntry e = WaveformEntry(doc, index, kFrequencyBlock);
        e.kind = kKindSpectrum;
        auto& s = e.copy.samples;
        const std::int32_t n = e.copy.sampleCount();
        switch (spectrumType) {
            case kSpectrumPower: PowerSpectrum(s.data(), s.data(), n); break;
            case kSpectrumCepstrum: Cepstrum(s.data(), s.data(), n); break;
            case kSpectrumLog: LogSpectrum(s.data(), s.data(), n); break;
            default: AmplitudeSpectrum(s.data(), s.data(), n); break;
        }
        float hi = 0.0f, lo = 0.0f;
        ArrayRange(s.data(), n, hi, lo);
        e.copy.lastParams.viewMax = NiceTop(hi);
        e.copy.lastParams.viewMin = spectrumType == kSpectrumLog ? -e.copy.lastParams.viewMax : 0.0f;
        e.shownCount = n / 2;
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace tav
