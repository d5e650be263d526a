// Spectrum, wavelet and correlation kernels at the largest record length,
// each beside the literal form of the same computation.
#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/correlation.hpp"
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
