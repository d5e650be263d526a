// List edits against plain copies of the same data, measured in the same
// iterations: sorting a 2,000-test-point project with its snapshot and undoing
// it against one deep copy of the working set; writing and reading the
// clipboard block of a 300-test-point pile against copying its bytes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/cpu_clock.hpp"
#include "model/clipboard_block.hpp"
#include "model/document.hpp"
#include "model/list_commands.hpp"
#include "tests/support/project_builder.hpp"

namespace {

using namespace tav;
using tav::bench::ThreadCpuSeconds;

// The thread's own time since from: on a shared machine wall time mostly measures waiting.
double Seconds(double from) { return ThreadCpuSeconds() - from; }

TestPoint FieldPoint(const std::string& pileNo, int seed) {
    TestPoint tp = testing::WaveformPoint(pileNo, 1024, static_cast<std::uint32_t>(seed));
    tp.steps.resize(5);
    for (auto& s : tp.steps) s.opType = kOpFilter;
    tp.defects.resize(3);
    return tp;
}

void BM_SortAndUndoAgainstDeepCopy(benchmark::State& state) {
    CTAV_AnalyserDoc doc;
    // Pile numbers in descending order, four test points each: sorting moves them all.
    for (int i = 0; i < 2000; ++i) doc.points.push_back(FieldPoint("P" + std::to_string(10000 - i / 4), i));
    double edit = 0, copy = 0;
    for (auto _ : state) {
        auto t = ThreadCpuSeconds();
        benchmark::DoNotOptimize(SortCommand(doc, true));
        benchmark::DoNotOptimize(Undo(doc));
        edit += Seconds(t);
        t = ThreadCpuSeconds();
        {
            std::vector<TestPoint> working = doc.points;
            benchmark::DoNotOptimize(working.data());
        }
        copy += Seconds(t);
    }
    state.counters["sort_undo_ms"] = edit * 1000 / static_cast<double>(state.iterations());
    state.counters["copy_ms"] = copy * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = edit / copy;
}
BENCHMARK(BM_SortAndUndoAgainstDeepCopy)->Unit(benchmark::kMillisecond);

void BM_ClipboardBlockAgainstByteCopy(benchmark::State& state) {
    Snapshot pile;
    pile.mode = kModePile;
    for (int i = 0; i < 300; ++i) pile.points.push_back(FieldPoint("P1", i));
    const auto reference = WriteClipboardBlock(pile);
    // Writing turns records into the block's bytes and reading turns them back:
    // each is set against one plain copy of those bytes.
    double write = 0, read = 0, copy = 0;
    for (auto _ : state) {
        auto t = ThreadCpuSeconds();
        const auto bytes = WriteClipboardBlock(pile);
        benchmark::DoNotOptimize(bytes.data());
        write += Seconds(t);
        t = ThreadCpuSeconds();
        {
            const auto back = ReadClipboardBlock(bytes);
            benchmark::DoNotOptimize(back->points.data());
        }
        read += Seconds(t);
        t = ThreadCpuSeconds();
        {
            std::vector<std::uint8_t> plain = reference;
            benchmark::DoNotOptimize(plain.data());
        }
        copy += Seconds(t);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["write_ms"] = write * 1000 / n;
    state.counters["read_ms"] = read * 1000 / n;
    state.counters["copy_ms"] = copy * 1000 / n;
    state.counters["write_ratio"] = write / copy;
    state.counters["read_ratio"] = read / copy;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reference.size()));
}
BENCHMARK(BM_ClipboardBlockAgainstByteCopy)->Unit(benchmark::kMillisecond);

}  // namespace
