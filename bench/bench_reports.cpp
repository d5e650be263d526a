// The word-processor report for 200 checked test points: drawing the curve
// pictures, the report data file (with the pictures kept beside it) and the
// document built by the report library through its real loader, beside
// writing the same picture bytes as files. Both sides run in every iteration.
#include <benchmark/benchmark.h>

#ifdef TAV_HAVE_RENDER
#include <QGuiApplication>
#include <chrono>
#include <cstdlib>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "output/report_library_call.hpp"
#include "output/report_writer.hpp"
#include "render/report_pictures.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

constexpr int kPoints = 200;

void EnsureGui() {
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tav_bench";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

CTAV_AnalyserDoc& Project() {
    static CTAV_AnalyserDoc* doc = [] {
        auto* d = new CTAV_AnalyserDoc;
        for (int i = 0; i < kPoints; ++i) {
            d->points.push_back(testing::WaveformPoint("P" + std::to_string(i / 2 + 1), 1024, static_cast<std::uint32_t>(i + 1)));
            d->points.back().checked = 1;
            d->points.back().diameter = 800;
            d->points.back().pileLength = 12.5f;
            d->points.back().waveSpeed = 3800;
        }
        d->hasPoints = 1;
        d->RefreshDisplayRanges();
        d->RebuildCheckedList();
        d->SelectPoint(0);
        return d;
    }();
    return *doc;
}

void BM_DocumentReport200(benchmark::State& state) {
    EnsureGui();
    auto& doc = Project();
    testing::TempDir dir;
    const std::string work = dir.path() + "/";
    // The same picture bytes, drawn once, for the raw side.
    std::vector<std::vector<std::uint8_t>> pictures;
    const auto draw = render::MakeReportPictureSource(doc, {});
    for (int i = 0; i < kPoints; ++i) pictures.push_back(*draw(i));

    double data = 0, document = 0, raw = 0;
    int picturesDone = 0;
    std::int32_t progress = 0;
    int total = 0;
    for (auto _ : state) {
        ReportDataRequest request;
        request.checked = doc.checkedIndices;
        request.facts.projectName = "基准工程";
        request.templatePath = std::string(TAV_SOURCE_DIR) + "/data/Report";
        request.pictures = draw;
        request.pictureFolder = work;
        request.pictureDone = [&] { ++picturesDone; };
        ReportDataResult result;
        auto t = Clock::now();
        if (!WriteReportDataFile(work + "TAV.gwx", doc, request, &result)) state.SkipWithError("data file");
        data += Seconds(t);
        total = result.progressTotal;
        t = Clock::now();
        if (!CallReportLibrary(TAV_REPORT_LIBRARY, work + "TAV.gwx", work + "TAV.docx", progress).empty())
            state.SkipWithError("document");
        document += Seconds(t);
        t = Clock::now();
        for (int i = 0; i < kPoints; ++i) WriteFileAtomically(work + "raw" + std::to_string(i) + ".bmp", pictures[static_cast<std::size_t>(i)]);
        raw += Seconds(t);
    }
    const auto n = static_cast<double>(state.iterations());
    if (picturesDone != kPoints * static_cast<int>(state.iterations()) || progress != total)
        state.SkipWithError("progress did not move with every picture");
    state.counters["data_ms"] = data * 1000 / n;
    state.counters["document_ms"] = document * 1000 / n;
    state.counters["raw_ms"] = raw * 1000 / n;
    state.counters["ratio"] = (data + document) / raw;
}
BENCHMARK(BM_DocumentReport200)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tav
#endif
