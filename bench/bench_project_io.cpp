// Loading and saving a large project against plain reading and writing of the
// same number of bytes. Compare the *_Load/*_Save times with *_PlainRead/*_PlainWrite.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <span>
#include <vector>
#include <cstdio>
#include <memory>
#include <string>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "bench/cpu_clock.hpp"
#include "model/document.hpp"
#include "model/project_file.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"

namespace {

using namespace tav;

const std::string& ProjectPath() {
    static const std::string path = [] {
        std::vector<TestPoint> points;
        points.reserve(2000);
        for (int i = 0; i < 2000; ++i) {
            TestPoint tp = testing::WaveformPoint("P" + std::to_string(i / 4 + 1), 1024, static_cast<std::uint32_t>(i));
            tp.steps.resize(5);
            for (auto& s : tp.steps) s.opType = kOpFilter;
            tp.defects.resize(3);
            for (int d = 0; d < 3; ++d) {
                tp.defects[static_cast<std::size_t>(d)].type = 2;
                tp.defects[static_cast<std::size_t>(d)].depth = 2.0f + static_cast<float>(d) * 3.0f;
            }
            points.push_back(std::move(tp));
        }
        const auto bytes = testing::ProjectImage(testing::MakeHeader("unit", "project"), points, {});
        const std::string p = "/tmp/tav_bench_project.tav";
        WriteFileAtomically(p, bytes);
        return p;
    }();
    return path;
}

std::size_t FileSize(const std::string& path) { return ReadWholeFile(path)->size(); }

// The baseline of the load benchmarks: the file read whole into a fresh
// buffer, as any program reading a file into memory needs one.
void PlainRead(const std::string& path, std::size_t size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(buffer.get(), 1, size, f));
    std::fclose(f);
}

void BM_ProjectLoad(benchmark::State& state) {
    const auto& path = ProjectPath();
    for (auto _ : state) {
        CTAV_AnalyserDoc doc;
        const auto r = OpenFile(doc, path);
        benchmark::DoNotOptimize(r.status);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
}
BENCHMARK(BM_ProjectLoad)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State& state) {
    const auto& path = ProjectPath();
    const std::size_t size = FileSize(path);
    for (auto _ : state) {
        PlainRead(path, size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_ProjectSave(benchmark::State& state) {
    CTAV_AnalyserDoc doc;
    OpenFile(doc, ProjectPath());
    const std::string out = "/tmp/tav_bench_saved.tav";
    for (auto _ : state) benchmark::DoNotOptimize(doc.SaveToFile(out));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(out)));
}
BENCHMARK(BM_ProjectSave)->Unit(benchmark::kMillisecond);

// The same bytes with fwrite; flushed to the disk like the safe save does.
void BM_PlainWrite(benchmark::State& state) {
    const auto bytes = *ReadWholeFile(ProjectPath());
    const std::string out = "/tmp/tav_bench_plain.tav";
    for (auto _ : state) {
        FILE* f = std::fopen(out.c_str(), "wb");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fflush(f);
        ::fsync(fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }
using bench::ProcessCpuSeconds;
using bench::ThreadCpuSeconds;

// Both sides in every iteration, so that the ratio compares like with like on a
// busy machine. The load reads records on every core, so the ratio is of wall
// time (the time the user waits); cpu_ratio is the processor time of all the
// load's threads against the read's. Each side ends when its bytes are in
// memory: freeing the document and the buffer afterwards is not counted.
void BM_LoadAgainstPlainRead(benchmark::State& state) {
    const auto& path = ProjectPath();
    const std::size_t size = FileSize(path);
    double load = 0, plain = 0, loadCpu = 0, plainCpu = 0;
    for (auto _ : state) {
        {
            CTAV_AnalyserDoc doc;
            const auto cpu = ProcessCpuSeconds();
            const auto t = Clock::now();
            benchmark::DoNotOptimize(OpenFile(doc, path).status);
            load += Seconds(t);
            loadCpu += ProcessCpuSeconds() - cpu;
        }
        {
            const auto cpu = ProcessCpuSeconds();
            const auto t = Clock::now();
            PlainRead(path, size);
            plain += Seconds(t);
            plainCpu += ProcessCpuSeconds() - cpu;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["load_ms"] = load * 1000 / n;
    state.counters["fread_ms"] = plain * 1000 / n;
    state.counters["ratio"] = load / plain;
    state.counters["cpu_ratio"] = loadCpu / plainCpu;
}
BENCHMARK(BM_LoadAgainstPlainRead)->Unit(benchmark::kMillisecond);

// What no decoding could beat with a document of this shape (a few arrays per
// test point): the same records copied as bytes into per-record arrays of the
// same sizes, from the mapped file, on one thread. Its ratio to the plain read
// is the floor under BM_LoadAgainstPlainRead's.
struct RecordShape {
    std::array<std::uint8_t, head_layout::kSize> head;
    std::vector<float> raw, samples;
    std::vector<std::array<std::uint8_t, kProcessStepBytes>> steps;
    std::array<std::uint8_t, kProcessStepBytes> lastParams;
    std::vector<std::array<std::uint8_t, kDefectMarkBytes>> defects;
    std::vector<std::int32_t> marks;
};

void CopyRecordsAsBytes(std::span<const std::uint8_t> file, std::vector<RecordShape>& records) {
    ByteReader in(file);
    ProjectHeader header;
    ReadProjectHeader(in, header);
    records.resize(static_cast<std::size_t>(header.pointCount));
    std::int32_t n = 0;
    auto array = [&](auto& v) {
        in.I32(n);
        v.resize(static_cast<std::size_t>(n));
        in.Bytes(v.data(), v.size() * sizeof v[0]);
    };
    for (auto& r : records) {
        in.Bytes(r.head);
        array(r.raw);
        array(r.samples);
        array(r.steps);
        in.Bytes(r.lastParams);
        array(r.defects);
        for (int k = 0; k < 3; ++k) array(r.marks);
        in.Skip(4 * r.marks.size() + 3 * 4 + 50);
    }
}

void BM_ByteCopyFloorAgainstPlainRead(benchmark::State& state) {
    const auto& path = ProjectPath();
    const std::size_t size = FileSize(path);
    double copy = 0, plain = 0;
    for (auto _ : state) {
        {
            std::vector<RecordShape> records;
            const auto t = Clock::now();
            MappedFile file;
            file.Open(path);
            CopyRecordsAsBytes(file.Bytes(), records);
            copy += Seconds(t);
            benchmark::DoNotOptimize(records.data());
        }
        const auto t = Clock::now();
        PlainRead(path, size);
        plain += Seconds(t);
    }
    state.counters["copy_ms"] = copy * 1000 / static_cast<double>(state.iterations());
    state.counters["fread_ms"] = plain * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = copy / plain;
}
BENCHMARK(BM_ByteCopyFloorAgainstPlainRead)->Unit(benchmark::kMillisecond);

void BM_SaveAgainstPlainWrite(benchmark::State& state) {
    CTAV_AnalyserDoc doc;
    OpenFile(doc, ProjectPath());
    const auto bytes = *ReadWholeFile(ProjectPath());
    const std::string out = "/tmp/tav_bench_saved.tav";
    const std::string plainOut = "/tmp/tav_bench_plain.tav";
    double save = 0, plain = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        benchmark::DoNotOptimize(doc.SaveToFile(out));
        save += Seconds(t);
        t = Clock::now();
        FILE* f = std::fopen(plainOut.c_str(), "wb");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fflush(f);
        ::fsync(fileno(f));
        std::fclose(f);
        plain += Seconds(t);
    }
    state.counters["save_ms"] = save * 1000 / static_cast<double>(state.iterations());
    state.counters["fwrite_ms"] = plain * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = save / plain;
}
BENCHMARK(BM_SaveAgainstPlainWrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
