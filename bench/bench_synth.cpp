// Generating a 2,000-test-point synthetic project against writing it: the
// counters give the time per record, the time to write the file and the
// ratio of generating to writing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "model/document.hpp"
#include "synth/site_builder.hpp"

namespace {

using namespace tav;

void BM_SynthProject2000(benchmark::State& state) {
    synth::SiteOptions o;
    o.piles = 500;
    o.pointsPerPile = 4;
    o.randomDefects = true;
    o.sensor = synth::SensorChoice::Mixed;
    const std::string path = "/tmp/tav_bench_synth.tav";
    double buildSeconds = 0.0, writeSeconds = 0.0;
    for (auto _ : state) {
        CTAV_AnalyserDoc doc;
        std::vector<synth::TruthPoint> truth;
        const auto t0 = std::chrono::steady_clock::now();
        const auto problem = synth::BuildSite(o, doc, truth);
        const auto t1 = std::chrono::steady_clock::now();
        const bool written = doc.SaveToFile(path);
        const auto t2 = std::chrono::steady_clock::now();
        if (!problem.empty() || !written) {
            state.SkipWithError("the site could not be built or written");
            break;
        }
        buildSeconds += std::chrono::duration<double>(t1 - t0).count();
        writeSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    std::remove(path.c_str());
    const double runs = static_cast<double>(state.iterations());
    const double records = 2000.0;
    state.counters["record_ms"] = buildSeconds / runs / records * 1e3;
    state.counters["write_ms"] = writeSeconds / runs * 1e3;
    state.counters["write_record_ms"] = writeSeconds / runs / records * 1e3;
    state.counters["generate_to_write"] = writeSeconds > 0 ? buildSeconds / writeSeconds : 0.0;
}
BENCHMARK(BM_SynthProject2000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
