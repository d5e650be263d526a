// Automatic readings of one 1,024-sample record against one run of its
// processing chain (integration, DC removal, a 2 kHz low-pass and an
// exponential magnification), timed in the same iterations: the readings of
// a 36-record project should cost little more than processing it.
#include <benchmark/benchmark.h>

#include "analysis/reflection_proposals.hpp"
#include "bench/cpu_clock.hpp"
#include "model/document.hpp"
#include "processing/chain.hpp"
#include "synth/site_builder.hpp"

namespace {

using namespace tav;
using bench::ThreadCpuSeconds;

TestPoint ProcessedRecord() {
    synth::SiteOptions o;
    o.piles = 1;
    o.pointsPerPile = 1;
    o.seed = 11;
    o.sensor = synth::SensorChoice::Acceleration;
    o.samples = 1024;
    o.defects = {{1, 4.0, synth::DefectKind::Neck, 0.5}};
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    synth::BuildSite(o, doc, truth);
    TestPoint tp = doc.points.front();
    ProcessStep integrate;
    integrate.opType = kOpIntegrate;
    ProcessStep dc;
    dc.opType = kOpRemoveDc;
    ProcessStep filter;
    filter.opType = kOpFilter;
    filter.filterKind = kLowPass;
    filter.filterUpperHz = 2000.0f;
    ProcessStep magnify;
    magnify.opType = kOpMagnify;
    magnify.magnifyFactor = 3.0f;
    magnify.magnifyStart = tp.headIndex;
    tp.steps = {integrate, dc, filter, magnify};
    ApplyChain(tp, tp.stepCount(), tp.steps.data());
    return tp;
}

void BM_ProposalsAgainstChain(benchmark::State& state) {
    TestPoint tp = ProcessedRecord();
    double proposing = 0, processing = 0;
    std::size_t found = 0;
    for (auto _ : state) {
        auto t = ThreadCpuSeconds();
        ApplyChain(tp, tp.stepCount(), tp.steps.data());
        benchmark::DoNotOptimize(tp.samples.data());
        processing += ThreadCpuSeconds() - t;
        t = ThreadCpuSeconds();
        const auto p = ProposeReflections(tp);
        benchmark::DoNotOptimize(p.defects.data());
        proposing += ThreadCpuSeconds() - t;
        found = p.defects.size() + (p.toeIndex ? 1 : 0);
    }
    if (found == 0) state.SkipWithError("no reading was proposed");
    const auto n = static_cast<double>(state.iterations());
    state.counters["propose_us"] = proposing * 1e6 / n;
    state.counters["chain_us"] = processing * 1e6 / n;
    state.counters["ratio_chain"] = processing > 0 ? proposing / processing : 0.0;
}
BENCHMARK(BM_ProposalsAgainstChain)->Unit(benchmark::kMicrosecond);

}  // namespace
