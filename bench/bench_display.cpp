// The waveform display: rebuilding every entry of a 2,000-test-point project
// beside copying the same samples, and painting one long entry beside drawing
// its decimated polyline directly.
#include <benchmark/benchmark.h>

#include <vector>

#include "analysis/display/display_model.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"

#ifdef TAV_HAVE_RENDER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <cstdlib>

#include "render/wave_painter.hpp"
#endif

namespace tav {
namespace {

CTAV_AnalyserDoc& Project() {
    static CTAV_AnalyserDoc* doc = [] {
        auto* d = new CTAV_AnalyserDoc;
        const auto sample = testing::WaveformPoint("P1", 1024, 5);
        d->points.assign(2000, sample);
        d->hasPoints = 1;
        d->RefreshDisplayRanges();
        d->SelectPoint(0);
        return d;
    }();
    return *doc;
}

void BM_DisplayRebuildAllPoints(benchmark::State& state) {
    auto& doc = Project();
    FixedTextMeasure measure;
    WaveDisplayModel model(doc, measure);
    model.SetClientSize(1000, 800);
    model.bar.timeScope = kScopeAll;
    for (auto _ : state) {
        model.Rebuild();
        benchmark::DoNotOptimize(model.Entries().data());
    }
}
BENCHMARK(BM_DisplayRebuildAllPoints)->Unit(benchmark::kMillisecond);

void BM_DisplayCopySamples(benchmark::State& state) {
    auto& doc = Project();
    std::vector<std::vector<float>> copies;
    for (auto _ : state) {
        copies.clear();
        for (const auto& tp : doc.points) copies.push_back(tp.samples);
        benchmark::DoNotOptimize(copies.data());
    }
}
BENCHMARK(BM_DisplayCopySamples)->Unit(benchmark::kMillisecond);

#ifdef TAV_HAVE_RENDER
void EnsureGui() {
    static QGuiApplication* app = [] {
        // Another benchmark may have made the one application object already.
        if (auto* existing = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return existing;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tav_bench";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

struct LongEntry {
    CTAV_AnalyserDoc doc;
    FixedTextMeasure measure;
    WaveDisplayModel model{doc, measure};
    LongEntry() {
        doc.points.push_back(testing::WaveformPoint("L", 16384, 11));
        doc.hasPoints = 1;
        doc.RefreshDisplayRanges();
        doc.SelectPoint(0);
        model.SetClientSize(1000, 300);
        model.Rebuild();
    }
};

void BM_PaintEntry16k(benchmark::State& state) {
    EnsureGui();
    LongEntry long_;
    QImage image(1000, 300, QImage::Format_RGB32);
    const auto& e = long_.model.Entries()[0];
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        render::PaintEntry(p, e, false, 0);
    }
}
BENCHMARK(BM_PaintEntry16k)->Unit(benchmark::kMicrosecond);

void BM_PaintPolylineDirect(benchmark::State& state) {
    EnsureGui();
    LongEntry long_;
    QImage image(1000, 300, QImage::Format_RGB32);
    const auto& e = long_.model.Entries()[0];
    QPolygon poly;
    for (const auto& pt : e.points) poly << QPoint(pt.x, pt.y);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.drawPolyline(poly);
    }
}
BENCHMARK(BM_PaintPolylineDirect)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace tav
