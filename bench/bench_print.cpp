// Printing: the layout and PDF output of 200 checked test points with the
// waveform and amplitude spectrum items (400 cells), beside drawing the same
// 400 cells into one picture each. Both sides run in every iteration, so the
// ratio compares like with like on a busy machine.
#include <benchmark/benchmark.h>

#ifdef TAV_HAVE_RENDER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "model/document.hpp"
#include "render/print_painter.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

void EnsurePrintGui() {
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "tav_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

CTAV_AnalyserDoc& CheckedProject() {
    static CTAV_AnalyserDoc* doc = [] {
        auto* d = new CTAV_AnalyserDoc;
        for (int i = 0; i < 200; ++i) {
            d->points.push_back(testing::WaveformPoint("P" + std::to_string(i / 2 + 1), 1024, static_cast<std::uint32_t>(i + 1)));
            d->points.back().checked = 1;
        }
        d->hasPoints = 1;
        d->RefreshDisplayRanges();
        d->RebuildCheckedList();
        d->SelectPoint(0);
        return d;
    }();
    return *doc;
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void BM_PrintPdf400CellsAgainstImages(benchmark::State& state) {
    EnsurePrintGui();
    auto& doc = CheckedProject();
    PrintSettings settings;
    settings.items = {1, 1, 0, 0, 0};
    const QString pdf = QString::fromStdString((std::filesystem::temp_directory_path() / "tav_bench_print.pdf").string());
    double printing = 0;
    double pictures = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        const render::PrintJob job = render::PreparePrintJob(doc, settings, QSizeF(210, 297), "bench.tav", nullptr);
        if (job.layout.cells.size() != 400 || !render::WritePrintPdf(pdf, doc, job)) {
            state.SkipWithError("the print job did not come out");
            break;
        }
        printing += Seconds(t);

        t = Clock::now();
        render::CellPainter cells(doc, job, render::PrintFontOf(settings.font));
        for (const auto& cell : job.layout.cells) {
            const QRect rect = render::ToPainter(cell.rect);
            QImage image(rect.size(), QImage::Format_RGB32);
            QPainter p(&image);
            cells.Paint(p, QRect(QPoint(0, 0), rect.size()), cell);
        }
        pictures += Seconds(t);
    }
    std::filesystem::remove(pdf.toStdString());
    state.counters["print_ms"] = printing * 1000 / static_cast<double>(state.iterations());
    state.counters["images_ms"] = pictures * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = pictures > 0 ? printing / pictures : 0;
}
BENCHMARK(BM_PrintPdf400CellsAgainstImages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tav
#endif
