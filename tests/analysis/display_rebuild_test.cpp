// The shortcuts of a rebuild (drawn fields only, entries refilled in place,
// texts made near the window, line counts without formatting) must show
// exactly what a full computation shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

using testing::WaveformPoint;

void SetField(TextField<22>& f, const std::string& s) {
    f.fill(0);
    std::copy_n(s.begin(), std::min(s.size(), f.size() - 1), f.begin());
}

// Test points with varied identity fields, chains and defects.
void FillVaried(CTAV_AnalyserDoc& doc, int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int i = 0; i < count; ++i) {
        auto tp = WaveformPoint("P", 256 + pick(3) * 100, static_cast<std::uint32_t>(i + 1));
        SetField(tp.pileNo, pick(4) == 0 ? "LONGPILE-" + std::to_string(i) : "P" + std::to_string(i / 3));
        tp.diameter = static_cast<std::int16_t>(pick(2) ? 800 : 12000);
        tp.pileLength = pick(5) == 0 ? -0.0f : 10.0f + static_cast<float>(pick(300)) / 7.0f;
        tp.toeValid = pick(4) == 0 ? 0 : 1;
        tp.waveSpeed = static_cast<std::int16_t>(3000 + pick(2000));
        tp.pileTypeIndex = static_cast<std::int16_t>(pick(3) - 1);
        tp.steps.clear();
        for (int s = pick(6); s > 0; --s) {
            ProcessStep step;
            step.opType = 1 + pick(16);
            tp.steps.push_back(step);
        }
        auto& p = tp.lastParams;
        p.filterKind = pick(6);
        p.linZeroMode = pick(2);
        p.linZeroStart = pick(3) * 10;
        p.nonlinZeroMode = pick(2);
        p.nonlinZeroStart = pick(3) * 10;
        p.dcMode = pick(3);
        p.dcStart = pick(2) * 20;
        p.shiftMode = pick(2);
        p.rotateMode = pick(2);
        p.rotateStart = pick(2) * 5;
        p.magnifyStart = pick(2) * 30;
        p.magnifyMode = pick(2);
        tp.headSampleCount = static_cast<std::int16_t>(pick(2) * 1024);
        tp.sampleInterval = pick(6) == 0 ? 0.0f : 20.0f;
        for (int d = pick(4); d > 0; --d) {
            DefectMark m;
            m.position = pick(256);
            m.depth = static_cast<float>(pick(200)) / 10.0f;
            tp.defects.push_back(m);
        }
        doc.points.push_back(std::move(tp));
    }
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
}

TEST(DisplayRebuild, LineCountsMatchTheLines) {
    CTAV_AnalyserDoc doc;
    FillVaried(doc, 60, 5);
    for (std::int32_t i = 0; i < doc.PointCount(); ++i) {
        AnalysisEntry e = WaveformEntry(doc, i, 0);
        for (const std::int32_t kind : {kKindWaveform, kKindAverage, kKindCorrelation, kKindSpectrum, kKindWavelet}) {
            e.kind = kind;
            for (std::int32_t code = -2; code <= 48; ++code)
                ASSERT_EQ(AnnotationLineCount(doc, e, code), AnnotationLines(doc, e, code).size())
                    << "point " << i << " kind " << kind << " code " << code;
        }
    }
}

// The annotation column: the widest text of codes 31 to 36 over every entry.
int WidestIdentity(const CTAV_AnalyserDoc& doc, const WaveDisplayModel& model, const TextMeasure& measure) {
    int widest = 0;
    for (const auto& e : model.Entries())
        for (int code = 31; code <= 36; ++code)
            for (const auto& t : AnnotationLines(doc, e, code)) widest = std::max(widest, measure.Width(t));
    return widest;
}

void ExpectSameTexts(const DisplayEntry& a, const DisplayEntry& b) {
    const auto same = [](const std::vector<PlacedText>& x, const std::vector<PlacedText>& y) {
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (x[i].x != y[i].x || x[i].y != y[i].y || x[i].text != y[i].text) return false;
        return true;
    };
    EXPECT_EQ(a.caption, b.caption);
    EXPECT_TRUE(same(a.annotation, b.annotation));
    EXPECT_TRUE(same(a.vLabels, b.vLabels));
    EXPECT_TRUE(same(a.hLabels, b.hLabels));
    EXPECT_EQ(a.vUnit, b.vUnit);
    ASSERT_EQ(a.items.size(), b.items.size());
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        EXPECT_EQ(a.items[i].label, b.items[i].label);
        EXPECT_EQ(a.items[i].x, b.items[i].x);
    }
    EXPECT_EQ(a.points, b.points);
    EXPECT_EQ(a.pointSample, b.pointSample);
    EXPECT_EQ(a.plot.left, b.plot.left);
}

TEST(DisplayRebuild, FarEntriesGetTheSameTextsWhenScrolledTo) {
    CTAV_AnalyserDoc doc;
    FillVaried(doc, 80, 9);
    FixedTextMeasure measure;
    WaveDisplayModel scrolled(doc, measure);
    WaveDisplayModel whole(doc, measure);
    for (auto* m : {&scrolled, &whole}) {
        m->SetClientSize(900, 300);
        m->bar.timeScope = kScopeAll;
        m->options.annotationItems = {31, 32, 3, 44, 11, 30, 33, 34, 35, 36, 13, 4, 8, 45};
    }
    whole.SetVisibleRows(0, 1 << 30);
    whole.Rebuild();
    scrolled.Rebuild();
    const auto& far = scrolled.Entries().back();
    EXPECT_FALSE(far.textsReady);
    EXPECT_TRUE(far.annotation.empty());
    scrolled.SetVisibleRows(scrolled.PageHeight() - 300, scrolled.PageHeight());
    ASSERT_TRUE(far.textsReady);
    ExpectSameTexts(far, whole.Entries().back());
    ExpectSameTexts(scrolled.Entries().front(), whole.Entries().front());

    // The column is as wide as the widest identity text of any entry, and
    // long lists flow into further columns on every entry alike.
    const int labelWidth = measure.Width("-0000.00") + 6;
    const int column = WidestIdentity(doc, whole, measure) + 8;
    const int left = whole.Entries().front().plot.left;
    EXPECT_EQ((left - labelWidth) % column, 0);
    EXPECT_GE((left - labelWidth) / column, 2);
    for (const auto& e : whole.Entries()) EXPECT_EQ(e.plot.left, left);
}

TEST(DisplayRebuild, RefilledEntriesCarryNothingOfTheEarlierAnalysis) {
    CTAV_AnalyserDoc doc;
    FillVaried(doc, 6, 3);
    doc.points[0].spectrumMarks = {3, 4};
    doc.points[0].correlationMarks = {5};
    FixedTextMeasure measure;
    WaveDisplayModel model(doc, measure);
    model.SetClientSize(900, 800);
    model.options.annotationItems = {31, 44};

    model.bar.analysisType = kAnalysisFrequency;
    model.Rebuild();
    ASSERT_FALSE(model.Entries().empty());
    model.bar.analysisType = kAnalysisTime;
    model.bar.timeScope = kScopeSingle;
    model.Rebuild();
    ASSERT_EQ(model.Entries().size(), 1u);
    const auto& e = model.Entries()[0];
    const auto& tp = doc.points[0];
    EXPECT_EQ(e.kind, kKindWaveform);
    EXPECT_EQ(e.subSignal, 0);
    EXPECT_EQ(e.copy.samples, tp.samples);
    EXPECT_EQ(e.copy.defects.size(), tp.defects.size());
    EXPECT_TRUE(e.copy.spectrumMarks.empty());
    EXPECT_TRUE(e.copy.rawSamples.empty());
    EXPECT_EQ(e.caption, Cp936ToUtf8(TextOf(tp.pileNo)));
    EXPECT_EQ(e.block, tp.lastParams.displayBlocks[0]);

    // A long page, then a short one and a long one again: the same entries as fresh.
    model.bar.timeScope = kScopeAll;
    model.Rebuild();
    model.bar.timeScope = kScopeSingle;
    doc.SelectPoint(4);
    model.Rebuild();
    model.bar.timeScope = kScopeAll;
    model.Rebuild();
    WaveDisplayModel fresh(doc, measure);
    fresh.SetClientSize(900, 800);
    fresh.options.annotationItems = {31, 44};
    fresh.bar.timeScope = kScopeAll;
    fresh.Rebuild();
    ASSERT_EQ(model.Entries().size(), fresh.Entries().size());
    for (std::size_t k = 0; k < fresh.Entries().size(); ++k) {
        EXPECT_EQ(model.Entries()[k].copy.samples, fresh.Entries()[k].copy.samples);
        EXPECT_EQ(model.Entries()[k].pointIndex, fresh.Entries()[k].pointIndex);
        ExpectSameTexts(model.Entries()[k], fresh.Entries()[k]);
    }
}

}  // namespace
}  // namespace tav
