// One slider step of an operation panel on a 16,384-sample record whose chain
// holds a 501-tap filter: the panel reads the slider, the chain is previewed,
// the display rebuilt and the entry painted. Reported beside the preview alone,
// measured in the same run: dragging a slider stays fluid while the whole step
// costs at most a few previews.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include "analysis/display/display_model.hpp"
#include "model/document.hpp"
#include "processing/chain.hpp"
#include "processing/operation_panel.hpp"
#include "tests/support/project_builder.hpp"

#ifdef TAV_HAVE_RENDER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "render/wave_painter.hpp"
#endif

namespace tav {
namespace {

constexpr int kSamples = 16384;

// Integration, DC removal, a low-pass of 501 taps at 50 kHz, linear zeroing,
// magnification; the panel adds the sixth step, a smoothing.
void StoreFiveSteps(TestPoint& tp) {
    std::vector<ProcessStep> chain(5);
    chain[0].opType = kOpIntegrate;
    chain[1].opType = kOpRemoveDc;
    chain[2].opType = kOpFilter;
    chain[2].filterUpperHz = 50000.0f / 500.5f;  // fs / f = 500.5: 500 taps, made odd
    chain[3].opType = kOpLinearZero;
    chain[4].opType = kOpMagnify;
    chain[4].magnifyFactor = 8.0f;
    chain[4].magnifyStart = 40;
    tp.steps = chain;
}

double MicrosPerCall(const std::function<void()>& f) {
    constexpr int kCalls = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kCalls;
}

#ifdef TAV_HAVE_RENDER
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
#endif

void BM_PanelSliderStep(benchmark::State& state) {
    CTAV_AnalyserDoc doc;
    doc.InsertPoint(0, testing::WaveformPoint("P", kSamples, 5));
    StoreFiveSteps(doc.points[0]);
    ApplyChain(doc.points[0], doc.points[0].stepCount(), doc.points[0].steps.data());
    doc.SelectPoint(0);
    doc.stepInsertMode = 0;
    const TargetSet targets{0};
    ProcessStep step = PrefillNewStep(doc, targets, kOpSmooth, std::nullopt);
    OperationPanel panel(kOpSmooth, PanelForm::Popup, 0, &doc.points[0]);
    panel.Open(step);
    FixedTextMeasure measure;
    WaveDisplayModel display(doc, measure);
    display.SetClientSize(1000, 300);
    display.Rebuild();
#ifdef TAV_HAVE_RENDER
    EnsureGui();
    QImage image(1000, 300, QImage::Format_RGB32);
#endif
    int position = 1;
    const auto previewAlone = [&] {
        PreviewStep(doc, targets, step);
        doc.ResetDisplayRange(targets);
    };
    const auto sliderStep = [&] {
        position = position % 32 + 1;
        panel.MoveSlider(0, position);
        panel.Read(step);
        previewAlone();
        display.Rebuild();
#ifdef TAV_HAVE_RENDER
        image.fill(Qt::white);
        QPainter p(&image);
        render::PaintEntry(p, display.Entries()[0], false, 0);
#endif
    };
    for (auto _ : state) sliderStep();
    const double whole = MicrosPerCall(sliderStep);
    const double preview = MicrosPerCall(previewAlone);
    state.counters["preview_us"] = preview;
    state.counters["step_us"] = whole;
    state.counters["ratio_to_preview"] = whole / preview;
}
BENCHMARK(BM_PanelSliderStep)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav
