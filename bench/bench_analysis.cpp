// Spectrum, wavelet and correlation kernels at the largest record length,
// each beside the literal form of the same computation or a plain baseline.
#include <benchmark/benchmark.h>

#include <vector>

#ifdef TAV_HAVE_FFTW
#include <fftw3.h>
#endif

#include "analysis/correlation.hpp"
#include "bench/cpu_clock.hpp"
#include "analysis/fft.hpp"
#include "analysis/wavelet.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

constexpr int kN = 16384;

const std::vector<float>& Record() {
    static const auto samples = testing::WaveformPoint("B", kN, 9).samples;
    return samples;
}

void BM_Fft(benchmark::State& state) {
    std::vector<float> re(kN), im(kN), outRe(kN), outIm(kN);
    for (auto _ : state) {
        re = Record();
        std::fill(im.begin(), im.end(), 0.0f);
        Fft(re.data(), im.data(), kN, 14, outRe.data(), outIm.data(), false);
        benchmark::DoNotOptimize(outRe.data());
    }
}
BENCHMARK(BM_Fft)->Unit(benchmark::kMicrosecond);

using bench::ThreadCpuSeconds;

// The 16,384-point transform, inputs copied as callers do, beside the same
// transform built step by step (twiddles made anew, one butterfly at a time)
// and, where FFTW is installed, FFTW's single-precision complex transform of
// the same data, all in the same iterations.
void BM_FftAgainstBaselines(benchmark::State& state) {
    std::vector<float> re(kN), im(kN), outRe(kN), outIm(kN), checkRe(kN), checkIm(kN);
    const std::vector<float> zeros(kN, 0.0f);
#ifdef TAV_HAVE_FFTW
    auto* in = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kN));
    auto* out = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * kN));
    const fftwf_plan plan = fftwf_plan_dft_1d(kN, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    for (int i = 0; i < kN; ++i) {
        in[i][0] = Record()[static_cast<std::size_t>(i)];
        in[i][1] = 0.0f;
    }
    double library = 0;
#endif
    double ours = 0, literal = 0;
    for (auto _ : state) {
        auto t = ThreadCpuSeconds();
        re = Record();
        im = zeros;
        Fft(re.data(), im.data(), kN, 14, outRe.data(), outIm.data(), false);
        benchmark::DoNotOptimize(outRe.data());
        ours += ThreadCpuSeconds() - t;
        t = ThreadCpuSeconds();
        re = Record();
        im = zeros;
        FftLiteral(re.data(), im.data(), kN, 14, checkRe.data(), checkIm.data(), false);
        benchmark::DoNotOptimize(checkRe.data());
        literal += ThreadCpuSeconds() - t;
#ifdef TAV_HAVE_FFTW
        t = ThreadCpuSeconds();
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        library += ThreadCpuSeconds() - t;
#endif
    }
    if (outRe != checkRe || outIm != checkIm) state.SkipWithError("the transform differs from the step-by-step one");
    const auto n = static_cast<double>(state.iterations());
    state.counters["fft_us"] = ours * 1e6 / n;
    state.counters["stepwise_us"] = literal * 1e6 / n;
    state.counters["ratio_stepwise"] = ours / literal;
#ifdef TAV_HAVE_FFTW
    state.counters["fftw_us"] = library * 1e6 / n;
    state.counters["ratio_fftw"] = ours / library;
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
#endif
}
BENCHMARK(BM_FftAgainstBaselines)->Unit(benchmark::kMicrosecond);

void BM_FftLiteralDft(benchmark::State& state) {
    const std::vector<float> im(kN, 0.0f);
    std::vector<double> outRe(kN), outIm(kN);
    for (auto _ : state) {
        DirectDft(Record().data(), im.data(), kN, outRe.data(), outIm.data(), false);
        benchmark::DoNotOptimize(outRe.data());
    }
}
BENCHMARK(BM_FftLiteralDft)->Unit(benchmark::kMillisecond)->Iterations(1);

void WaveletRun(benchmark::State& state, bool literal) {
    const std::int32_t db44 = 43;  // 88 taps
    WaveletResult r;
    for (auto _ : state) {
        WaveletTransform(AppWaveletTable(), Record().data(), kN, r, kWaveletDaubechies, db44, 9, literal);
        benchmark::DoNotOptimize(r.reconstructed.data());
    }
}
void BM_Wavelet9Levels88Taps(benchmark::State& state) { WaveletRun(state, false); }
void BM_Wavelet9Levels88TapsLiteral(benchmark::State& state) { WaveletRun(state, true); }
BENCHMARK(BM_Wavelet9Levels88Taps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wavelet9Levels88TapsLiteral)->Unit(benchmark::kMillisecond);

// Nine levels of analysis of 16,384 samples with 88 taps (the periodic
// decomposition alone, as wavelet libraries time it) beside its baseline in the
// same iterations: a plain loop convolving the 16,384 samples with the same 88
// taps. Both make about 1.44 million multiply-adds: the decomposition's levels
// yield 8,192 + 4,096 + ... + 32 values of each of its two filters.
double PlainConvolution(const std::vector<double>& x, const std::vector<double>& h, std::vector<double>& y) {
    const std::size_t n = y.size();
    for (std::size_t i = 0; i < n; ++i) {
        double s = 0.0;
        for (std::size_t k = 0; k < h.size(); ++k) s += h[k] * x[i + k];
        y[i] = s;
    }
    return y[n / 2];
}

void BM_WaveletDecomposeAgainstPlainConvolution(benchmark::State& state) {
    const WaveletOrder* w = AppWaveletTable().Find(kWaveletDaubechies, 43);
    std::vector<std::int32_t> sizes{kN};
    while (sizes.size() <= 9) sizes.push_back(sizes.back() / 2);
    std::vector<double> a(2 * kN), d(2 * kN);
    std::vector<double> periodic(kN + w->h.size()), y(kN);
    for (std::size_t i = 0; i < periodic.size(); ++i) periodic[i] = Record()[i % kN];
    double ours = 0, plain = 0;
    for (auto _ : state) {
        std::copy(Record().begin(), Record().end(), a.begin());
        auto t = ThreadCpuSeconds();
        WaveletDecompose(w->h.data(), w->g.data(), w->length, a.data(), d.data(), 9, sizes.data());
        ours += ThreadCpuSeconds() - t;
        benchmark::DoNotOptimize(a.data());
        t = ThreadCpuSeconds();
        benchmark::DoNotOptimize(PlainConvolution(periodic, w->h, y));
        plain += ThreadCpuSeconds() - t;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["decompose_ms"] = ours * 1000 / n;
    state.counters["plain_ms"] = plain * 1000 / n;
    state.counters["ratio"] = ours / plain;
}
BENCHMARK(BM_WaveletDecomposeAgainstPlainConvolution)->Unit(benchmark::kMillisecond);

void CorrelateRun(benchmark::State& state, bool literal) {
    const auto& x = Record();
    std::vector<float> out(kN), reference(kN);
    CorrelateLiteral(x.data(), x.data(), kN, reference.data(), kN);
    for (auto _ : state) {
        if (literal)
            CorrelateLiteral(x.data(), x.data(), kN, out.data(), kN);
        else
            Correlate(x.data(), x.data(), kN, out.data(), kN);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != reference) state.SkipWithError("windowed output differs from the literal form");
    const auto t = FindTemplate(x.data(), kN);
    state.counters["template"] = t.end - t.start;
}
void BM_Correlate(benchmark::State& state) { CorrelateRun(state, false); }
void BM_CorrelateLiteral(benchmark::State& state) { CorrelateRun(state, true); }
BENCHMARK(BM_Correlate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrelateLiteral)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace tav
