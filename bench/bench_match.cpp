// Signal matching of a 1,024-sample record against one forward run of the
// pile model over the same record (the run that made it, at the synthetic
// site's two model steps per sample), in the same iterations. The goal is a
// match costing at most 2,000 forward runs.
#include <benchmark/benchmark.h>

#include "analysis/pile_model.hpp"
#include "analysis/signal_match.hpp"
#include "bench/cpu_clock.hpp"
#include "model/document.hpp"
#include "synth/site_builder.hpp"

namespace {

using namespace tav;

void BM_SignalMatch1024(benchmark::State& state) {
    synth::SiteOptions o;
    o.piles = 1;
    o.pointsPerPile = 1;
    o.seed = 5;
    o.samples = 1024;
    o.sensor = synth::SensorChoice::Acceleration;
    o.defects.push_back(*synth::ParseDefectSpec("1:5:neck:0.7"));
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    if (!synth::BuildSite(o, doc, truth).empty()) {
        state.SkipWithError("the site could not be built");
        return;
    }
    const auto& tp = doc.points[0];
    // The same pile for the forward run: its cost follows the length, the
    // speed and the record, not the soil.
    synth::PileParams pile;
    pile.length = truth[0].pileLength;
    pile.waveSpeed = truth[0].waveSpeed;
    pile.zones.push_back({5.0, 6.0, 0.7});
    pile.shaftDamping = 0.5 * pile.Impedance() / pile.length;
    synth::HammerBlow blow;
    synth::RecordOptions ro;
    ro.samples = o.samples;
    ro.sampleInterval = o.sampleInterval;

    double match = 0.0, forward = 0.0;
    int runs = 0;
    for (auto _ : state) {
        const double t0 = bench::ThreadCpuSeconds();
        const auto result = MatchSignal(tp);
        const double t1 = bench::ThreadCpuSeconds();
        benchmark::DoNotOptimize(synth::HeadSignal(pile, blow, ro));
        const double t2 = bench::ThreadCpuSeconds();
        if (!result.ok()) {
            state.SkipWithError("the record could not be fitted");
            return;
        }
        match += t1 - t0;
        forward += t2 - t1;
        runs = result.forwardRuns;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["match_ms"] = match * 1e3 / n;
    state.counters["forward_ms"] = forward * 1e3 / n;
    state.counters["ratio_forward_runs"] = match / forward;  // goal: at most 2,000
    state.counters["fit_runs"] = runs;
}
BENCHMARK(BM_SignalMatch1024)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
