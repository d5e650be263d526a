// The simulated transfer of a 100-test-point project: register operations per
// byte (fixed by the handshake) and the simulator's rate, which must stay far
// above what any real port gives (at least 10 million operations a second).
// Converting the downloaded files is compared with copying the same bytes:
// BM_ConvertProject / BM_CopyProjectBytes.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "transfer/simulated_instrument.hpp"
#include "transfer/transfer_session.hpp"

namespace {

using namespace tav;
namespace fs = std::filesystem;

const std::string kRoot = "/tmp/tav_bench_transfer";

const std::string& Storage() {
    static const std::string path = [] {
        fs::remove_all(kRoot);
        static ProjectHeader header = testing::MakeHeader("unit", "bench");
        static std::vector<TestPoint> points;
        for (int i = 0; i < 100; ++i)
            points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 1024, static_cast<std::uint32_t>(i)));
        const StorageProject project{&header, points};
        WriteInstrumentStorage(kRoot + "/sd", std::span(&project, 1));
        return kRoot + "/sd";
    }();
    return path;
}

std::uint64_t FolderBytes(const fs::path& folder) {
    std::uint64_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += fs::file_size(e.path());
    return n;
}

void BM_SimulatedTransfer100Points(benchmark::State& state) {
    const std::string& storage = Storage();
    const std::uint64_t bytes = FolderBytes(storage + "/DAT/XM001");
    fs::create_directories(kRoot + "/work");
    fs::create_directories(kRoot + "/out");
    std::uint64_t operations = 0;
    for (auto _ : state) {
        SimulatedInstrument peer(storage);
        ParallelLink link(peer);
        TransferSession session(link, kRoot + "/work");
        session.SetLocalFolder(kRoot + "/out");
        session.Probe();
        session.AddAll();
        session.RunHere();
        operations += peer.RegisterOperations();
    }
    state.counters["reg_ops_per_byte"] =
        static_cast<double>(operations) / static_cast<double>(bytes * state.iterations());
    state.counters["reg_ops_per_s"] = benchmark::Counter(static_cast<double>(operations), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
}
BENCHMARK(BM_SimulatedTransfer100Points)->Unit(benchmark::kMillisecond);

// A downloaded folder, made afresh outside the timing for each round.
void Download(const std::string& folder) {
    fs::remove_all(folder);
    fs::copy(Storage() + "/DAT/XM001", folder);
}

void BM_ConvertProject(benchmark::State& state) {
    const std::string folder = kRoot + "/convert";
    for (auto _ : state) {
        state.PauseTiming();
        Download(folder);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ConvertInstrumentProject(folder, "XM001", kRoot + "/converted.tav"));
    }
}
BENCHMARK(BM_ConvertProject)->Unit(benchmark::kMillisecond);

// The same files read and written as one file, the same safe way, and removed.
void BM_CopyProjectBytes(benchmark::State& state) {
    const std::string folder = kRoot + "/copy";
    for (auto _ : state) {
        state.PauseTiming();
        Download(folder);
        state.ResumeTiming();
        std::vector<std::uint8_t> all;
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path());
        for (const auto& f : files) {
            const auto bytes = ReadWholeFile(f.string());
            all.insert(all.end(), bytes->begin(), bytes->end());
            fs::remove(f);
        }
        benchmark::DoNotOptimize(WriteFileAtomically(kRoot + "/copied.tav", all));
    }
}
BENCHMARK(BM_CopyProjectBytes)->Unit(benchmark::kMillisecond);

}  // namespace
