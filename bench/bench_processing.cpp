// The processing chain against the literal double loops of the same formulas
// (tests/processing/reference_ops.hpp), measured in the same run.
//
// Each *_Chain / *_Convolve / *_Integrate benchmark reports counters:
//   literal_us  the literal loop's CPU time per call, measured right after the
//               benchmark loop in the same process,
//   ours_us     the operation's CPU time per call, measured the same way
//               (wall time for the convolution, see there),
//   speedup     literal_us / ours_us,
//   max_ulps    the largest difference from the literal result, in units of
//               float rounding (0 = identical).
// The *_Literal benchmarks time the literal loops through the framework too.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "model/document.hpp"
#include "processing/calculus_ops.hpp"
#include "processing/chain.hpp"
#include "processing/fir_filter.hpp"
#include "tests/processing/reference_ops.hpp"
#include "tests/support/project_builder.hpp"

namespace {

using namespace tav;

constexpr float kDt = 20.0f;  // µs: fs = 50 kHz

// Low-pass cut-offs at 20 µs: 2 kHz gives 25 taps, 300 Hz 167, 100 Hz 501, and
// 1 Hz the longest a 16,384-sample record allows, 8,191.
float CutOffFor(int taps) {
    switch (taps) {
        case 25:
            return 2000.0f;
        case 167:
            return 300.0f;
        case 501:
            return 100.0f;
        default:
            return 1.0f;
    }
}

std::vector<float> Record(int n) {
    TestPoint tp = testing::WaveformPoint("P", n, 5);
    return tp.rawSamples;
}

// This thread's CPU time, so that other load on the machine does not skew the ratios.
double ThreadMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

template <typename F>
double MicrosPerCall(F&& f) {
    // At least 0.2 s of CPU time or 3 calls, whichever is longer.
    const double start = ThreadMicros();
    int calls = 0;
    double elapsed = 0;
    do {
        f();
        ++calls;
        elapsed = ThreadMicros() - start;
    } while (calls < 3 || elapsed < 2e5);
    return elapsed / calls;
}

template <typename F>
double WallMicrosPerCall(F&& f) {
    // At least 0.2 s or 3 calls, whichever is longer.
    const auto start = std::chrono::steady_clock::now();
    int calls = 0;
    double elapsed = 0;
    do {
        f();
        ++calls;
        elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    } while (calls < 3 || elapsed < 2e5);
    return elapsed / calls;
}

double MaxUlps(const std::vector<float>& got, const std::vector<float>& want) {
    double peak = 0, worst = 0;
    for (const float v : want) peak = std::max(peak, std::fabs(double(v)));
    for (std::size_t i = 0; i < got.size(); ++i)
        worst = std::max(worst, reference::RoundingUnits(got[i], want[i], peak * 1e-7));
    return worst;
}

void Report(benchmark::State& state, double oursMicros, double literalMicros, double ulps) {
    state.counters["literal_us"] = literalMicros;
    state.counters["ours_us"] = oursMicros;
    state.counters["speedup"] = literalMicros / oursMicros;
    state.counters["max_ulps"] = ulps;
}

// ---- convolution -------------------------------------------------------------

std::vector<float> Taps(int n, int taps) {
    const auto plan = PlanFilter(n, kDt, 0.0f, CutOffFor(taps), kLowPass);
    std::vector<float> h;
    DesignFir(plan.length, kLowPass, plan.f1, plan.f2, plan.fs, kHannWindow, h);
    return h;
}

// Long convolutions are shared with the worker threads, so ours is timed on the
// wall clock here (the benchmark's own time too: UseRealTime); madds_per_s is
// the literal loop's multiply-adds per second of ours. Run under
// `taskset -c 0` for the rate of one core.
void BM_Convolve(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), taps = static_cast<int>(state.range(1));
    const auto x = Record(n);
    const auto h = Taps(n, taps);
    std::vector<float> y(x.size());
    const auto ours = [&] {
        ConvolveCausal(x.data(), h.data(), n, static_cast<std::int32_t>(h.size()), y.data());
        benchmark::DoNotOptimize(y.data());
    };
    for (auto _ : state) ours();
    std::vector<float> want;
    const double literal = MicrosPerCall([&] { want = reference::Convolve(x, h); });
    const double oursMicros = WallMicrosPerCall(ours);
    Report(state, oursMicros, literal, MaxUlps(y, want));
    state.counters["taps"] = static_cast<double>(h.size());
    state.counters["madds_per_s"] =
        reference::ConvolveTerms(n, static_cast<std::int64_t>(h.size())) / (oursMicros * 1e-6);
}
BENCHMARK(BM_Convolve)
    ->Args({1024, 167})
    ->Args({1024, 501})
    ->Args({16384, 25})
    ->Args({16384, 167})
    ->Args({16384, 501})
    ->Args({16384, 8191})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Convolve_Literal(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), taps = static_cast<int>(state.range(1));
    const auto x = Record(n);
    const auto h = Taps(n, taps);
    for (auto _ : state) benchmark::DoNotOptimize(reference::Convolve(x, h));
}
BENCHMARK(BM_Convolve_Literal)
    ->Args({1024, 167})
    ->Args({1024, 501})
    ->Args({16384, 167})
    ->Args({16384, 501})
    ->Unit(benchmark::kMicrosecond);

// ---- a 6-step chain preview ------------------------------------------------------

// Integration, DC removal, the low-pass, linear zeroing, magnification, smoothing.
std::vector<ProcessStep> SixSteps(int taps) {
    std::vector<ProcessStep> chain(6);
    chain[0].opType = kOpIntegrate;
    chain[1].opType = kOpRemoveDc;
    chain[1].dcMode = 1;
    chain[2].opType = kOpFilter;
    chain[2].filterUpperHz = CutOffFor(taps);
    chain[3].opType = kOpLinearZero;
    chain[4].opType = kOpMagnify;
    chain[4].magnifyFactor = 8.0f;
    chain[4].magnifyStart = 40;
    chain[5].opType = kOpSmooth;
    chain[5].smoothPoints = 4;
    return chain;
}

std::vector<float> LiteralChain(const std::vector<float>& raw, int taps, int toe) {
    auto x = reference::Integrate(raw, kDt);
    reference::RemoveDc(x);
    x = reference::Convolve(x, Taps(static_cast<int>(raw.size()), taps));
    reference::ZeroLinear(x);
    reference::MagnifyExponential(x, 8.0f, 40, toe);
    reference::Smooth(x, 4);
    return x;
}

void BM_PreviewChain(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0)), taps = static_cast<int>(state.range(1));
    CTAV_AnalyserDoc doc;
    doc.InsertPoint(0, testing::WaveformPoint("P", n, 5));
    const auto chain = SixSteps(taps);
    doc.points[0].steps.assign(chain.begin(), chain.end() - 1);  // five stored steps
    doc.stepInsertMode = 0;
    const TargetSet targets{0};
    const auto ours = [&] {
        PreviewStep(doc, targets, chain.back());  // the sixth under edit
        doc.ResetDisplayRange(targets);
    };
    for (auto _ : state) ours();
    const auto got = doc.points[0].samples;
    const int toe = MagnifyLimitIndex(doc.points[0]);
    std::vector<float> want;
    const double literal = MicrosPerCall([&] { want = LiteralChain(doc.points[0].rawSamples, taps, toe); });
    Report(state, MicrosPerCall(ours), literal, MaxUlps(got, want));
}
BENCHMARK(BM_PreviewChain)
    ->Args({1024, 167})
    ->Args({1024, 501})
    ->Args({16384, 167})
    ->Args({16384, 501})
    ->Unit(benchmark::kMicrosecond);

// ---- integration -------------------------------------------------------------------

// A record whose integral keeps growing: the fallback (trapezoid mean) runs.
std::vector<float> DriftingRecord(int n) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 0.001f * static_cast<float>(i) + std::sin(i * 0.05f);
    return x;
}

// An acceleration-like record whose integral comes back to rest: accepted at once.
std::vector<float> SettlingRecord(int n) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = i - 40.0, e = i - 340.0;
        x[static_cast<std::size_t>(i)] =
            static_cast<float>(-t / 20.0 * std::exp(-t * t / 40.0) - 0.3 * e / 30.0 * std::exp(-e * e / 60.0));
    }
    return x;
}

void BM_Integrate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto x = state.range(1) != 0 ? DriftingRecord(n) : SettlingRecord(n);
    std::vector<float> y;
    const auto ours = [&] {
        y = x;
        Integrate(y.data(), n, kDt);
        benchmark::DoNotOptimize(y.data());
    };
    for (auto _ : state) ours();
    std::vector<float> want;
    const double literal = MicrosPerCall([&] { want = reference::Integrate(x, kDt); });
    Report(state, MicrosPerCall(ours), literal, MaxUlps(y, want));
    state.SetLabel(y == integration::RunningTrapezoidMean(x.data(), n) ? "fallback path" : "settling path");
}
// Second argument: 1 for a record that takes the fallback path.
BENCHMARK(BM_Integrate)->Args({16384, 0})->Args({16384, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
