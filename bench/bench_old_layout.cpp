// Opening an old-layout file whose records ask for many low-pass passes,
// beside the same file without passes, in the same iterations.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "model/document.hpp"
#include "processing/fir_filter.hpp"
#include "processing/project_loading.hpp"
#include "tests/processing/reference_ops.hpp"
#include "tests/support/old_layout_writer.hpp"

namespace tav {
namespace {

constexpr int kSamples = 16384;
constexpr std::int16_t kPasses = 16;

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Records of 16,384 samples at 20 µs with 16 low-pass passes at `cutOffKHz`
// (1 Hz asks for the longest filter the record allows, 8,191 taps), or none.
std::vector<std::uint8_t> OldImage(int records, float cutOffKHz, std::int16_t passes) {
    std::vector<testing::OldPoint> points;
    for (int i = 0; i < records; ++i) {
        testing::OldPoint p;
        p.pileNo = "P" + std::to_string(i + 1);
        p.headIndex = 200;
        p.samples = testing::PulseSamples(kSamples, 200, 10.0f, 3000, 2.0f);
        for (std::size_t k = 0; k < p.samples.size(); ++k)
            p.samples[k] += 0.01f * static_cast<float>((k * 7919 + static_cast<std::size_t>(i)) % 101) - 0.5f;
        p.integrate = 1;
        p.lowPassPasses = passes;
        p.lowPassKHz = cutOffKHz;
        points.push_back(std::move(p));
    }
    return testing::OldProjectImage(2, "unit", "site", points);
}

// Both sides are timed on the wall clock (and the benchmark's own time too:
// UseRealTime): long passes are shared with the worker threads, whose time the
// loading thread's CPU clock would not see. madds_per_s is the literal
// convolution's multiply-adds of all passes per second of the time the passes
// add to the opening.
void BM_OldLayoutPassesAgainstNone(benchmark::State& state) {
    const float cutOffHz = static_cast<float>(state.range(0));
    const int records = static_cast<int>(state.range(1));
    const auto withPasses = OldImage(records, cutOffHz / 1000.0f, kPasses);
    const auto without = OldImage(records, cutOffHz / 1000.0f, 0);
    double passes = 0, none = 0;
    for (auto _ : state) {
        auto t = WallSeconds();
        {
            CTAV_AnalyserDoc doc;
            benchmark::DoNotOptimize(LoadProject(doc, withPasses).status);
        }
        passes += WallSeconds() - t;
        t = WallSeconds();
        {
            CTAV_AnalyserDoc doc;
            benchmark::DoNotOptimize(LoadProject(doc, without).status);
        }
        none += WallSeconds() - t;
    }
    const auto n = static_cast<double>(state.iterations());
    const std::int32_t taps = PlanFilter(kSamples, 20.0f, 0.0f, cutOffHz, kLowPass).length;
    const double madds = records * kPasses * reference::ConvolveTerms(kSamples, taps);
    state.counters["passes_ms"] = passes * 1000 / n;
    state.counters["none_ms"] = none * 1000 / n;
    state.counters["ratio"] = passes / none;
    state.counters["taps"] = taps;
    state.counters["madds_per_s"] = madds * n / (passes - none);
}
// Arguments: cut-off in Hz, records. 2 kHz: 25 taps; 300 Hz: 167 taps; 1 Hz: 8,191 taps.
BENCHMARK(BM_OldLayoutPassesAgainstNone)
    ->Args({2000, 40})
    ->Args({300, 40})
    ->Args({1, 4})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav
