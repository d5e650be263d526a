#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "analysis/pile_marks.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;

using testing::WaveformPoint;

// Three piles: P1 (3 test points), P2 (2), P3 (1).
void FillDocument(CTAV_AnalyserDoc& doc, int samples = 1024) {
    const char* piles[] = {"P1", "P1", "P1", "P2", "P2", "P3"};
    for (int i = 0; i < 6; ++i) doc.points.push_back(WaveformPoint(piles[i], samples, static_cast<std::uint32_t>(i + 1)));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(1);
}


class DisplayModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        FillDocument(doc);
        model.SetClientSize(900, 800);
        model.Rebuild();
    }
    std::vector<std::int32_t> Shown() const {
        std::vector<std::int32_t> out;
        for (const auto& e : model.Entries()) out.push_back(e.pointIndex);
        return out;
    }
    // The page point over sample k of entry e.
    std::pair<int, int> At(int e, int k) const {
        const auto& entry = model.Entries()[static_cast<std::size_t>(e)];
        return {model.SampleToPixel(e, k), (entry.plot.top + entry.plot.bottom) / 2};
    }

    CTAV_AnalyserDoc doc;
    FixedTextMeasure measure;
    WaveDisplayModel model{doc, measure};
    RecordingPrompts prompts{true};
};

TEST_F(DisplayModelTest, TimeScopesChooseTheirTestPoints) {
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(model.CurrentEntry(), 0);
    model.bar.timeScope = kScopePile;
    model.Rebuild();
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(model.CurrentEntry(), 1);
    doc.points[2].checked = 1;
    model.bar.timeScope = kScopePileChecked;
    model.Rebuild();
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{2}));
    EXPECT_EQ(model.CurrentEntry(), -1);
    model.bar.timeScope = kScopeAll;
    model.Rebuild();
    EXPECT_EQ(Shown().size(), 6u);
    // Stacked at the entry height: a quarter of the client height, at least 150.
    EXPECT_EQ(model.EntryHeight(), 200);
    EXPECT_EQ(model.PageHeight(), 1200);
    EXPECT_EQ(model.Entries()[3].rect.top, 600);
    EXPECT_TRUE(model.Entries()[0].fillAllowed);
    model.bar.timeScope = kScopeAllCompact;
    model.Rebuild();
    EXPECT_FALSE(model.Entries()[0].fillAllowed);
    EXPECT_EQ(model.PageHeight(), 6 * kCompactEntryHeight);
}

TEST_F(DisplayModelTest, WaveTrainWrapsAndKeepsTheCurrentSlot) {
    model.bar.timeScope = kScopeWaveTrain;
    doc.SelectPoint(5);
    model.Rebuild();
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{5, 0, 1}));  // wraps past the last
    EXPECT_EQ(model.PageHeight(), 798);                         // the window shared equally
    model.KeyVertical(1);
    doc.SelectPoint(model.Entries()[1].pointIndex);
    model.Rebuild();
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{5, 0, 1}));
    EXPECT_EQ(model.CurrentEntry(), 1);
    model.options.waveTrainCount = 9;  // never more than the test points
    model.Rebuild();
    EXPECT_EQ(Shown().size(), 6u);
    model.options.waveTrainCount = 0;
    model.Rebuild();
    EXPECT_TRUE(model.Entries().empty());
}

TEST(DisplayModelHeight, StoredHeightFromOneHundredFifty) {
    CTAV_AnalyserDoc doc;
    FillDocument(doc);
    FixedTextMeasure measure;
    WaveDisplayModel stored(doc, measure);
    stored.options.storedHeight = 150;
    stored.SetClientSize(900, 400);
    stored.Rebuild();
    EXPECT_EQ(stored.EntryHeight(), 150);
    WaveDisplayModel small(doc, measure);
    small.options.storedHeight = 149;
    small.SetClientSize(900, 400);
    small.Rebuild();
    EXPECT_EQ(small.EntryHeight(), 150);  // a quarter of 400 is below the floor
    small.SetClientSize(900, 2000);
    small.Rebuild();
    EXPECT_EQ(small.EntryHeight(), 150);  // computed once and kept
}

TEST_F(DisplayModelTest, CommandsChangeTheTargetsBlocks) {
    const int w = model.Entries()[0].plot.Width();
    model.Run(command_id::kMoveLeft, prompts);
    EXPECT_EQ(doc.points[1].lastParams.displayBlocks[0].hOffset, -50);
    EXPECT_EQ(model.Entries()[0].block.hOffset, -50);
    EXPECT_EQ(doc.points[0].lastParams.displayBlocks[0].hOffset, 0);  // not a target
    model.Run(command_id::kDefaultPlacement, prompts);
    const auto& e = model.Entries()[0];
    EXPECT_NEAR(e.plot.left + w / 8, model.SampleToPixel(0, doc.points[1].headIndex), 1);
    EXPECT_NEAR(e.plot.left + w * 7 / 8, model.SampleToPixel(0, doc.points[1].toeIndex), 1);
    model.Run(command_id::kFillPositive, prompts);
    EXPECT_EQ(doc.points[1].lastParams.displayBlocks[0].fillMode, 1);
    EXPECT_TRUE(model.Checked(command_id::kFillPositive));
    model.Run(command_id::kWholeWaveform, prompts);
    EXPECT_EQ(doc.points[1].lastParams.displayBlocks[0].hOffset, 0);
    EXPECT_EQ(doc.points[1].lastParams.displayBlocks[0].hScale, 1.0f);
    EXPECT_FALSE(doc.Modified());

    // All waveforms: every shown test point.
    model.options.scopeAll = true;
    model.bar.timeScope = kScopePile;
    model.Rebuild();
    model.Run(command_id::kHorizontalStretch, prompts);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(doc.points[static_cast<std::size_t>(i)].lastParams.displayBlocks[0].hScale, 1.2f);
    EXPECT_EQ(doc.points[3].lastParams.displayBlocks[0].hScale, 1.0f);
}

TEST_F(DisplayModelTest, PendingToeAndScaleAreInitialisedOnce) {
    auto& tp = doc.points[1];
    tp.toeValid = 0;
    tp.toePending = 1;
    tp.pileLength = 10.0f;  // 10 × 2e6 ÷ (4000 × 20) = 250
    model.Rebuild();
    EXPECT_EQ(tp.toeIndex, 250);
    EXPECT_EQ(model.Entries()[0].copy.toeIndex, 250);
    EXPECT_EQ(tp.toePending, 0);

    tp.toeValid = 1;
    tp.toePending = 1;
    tp.pileLength = 100.0f;  // beyond the record: the last sample
    tp.toeValid = 0;
    model.Rebuild();
    EXPECT_EQ(tp.toeIndex, 1023);

    tp.toeValid = 1;
    tp.toeIndex = 400;
    tp.scalePending = 1;
    model.Rebuild();
    EXPECT_FLOAT_EQ(tp.lastParams.displayBlocks[0].hScale, static_cast<float>(1024 / (400 * 1.2)));
    EXPECT_FLOAT_EQ(model.Entries()[0].block.hScale, tp.lastParams.displayBlocks[0].hScale);
    // The user's own scale ends the toe-following default.
    model.Run(command_id::kResetScale, prompts);
    EXPECT_EQ(tp.scalePending, 0);
    EXPECT_EQ(tp.lastParams.displayBlocks[0].hScale, 1.0f);
}

// A downloaded record: no toe in the instrument's layout, so sample 0 with the
// flag up. No 桩底 line, no scale fitted to it, and the head can still be placed.
TEST_F(DisplayModelTest, AToeAtSampleZeroIsNeitherDrawnNorFollowed) {
    auto& tp = doc.points[1];
    tp.toeIndex = 0;
    tp.toeValid = 1;
    tp.toePending = 1;
    tp.scalePending = 1;
    model.Rebuild();
    const auto hasToe = [&] {
        for (const auto& item : model.Entries()[0].items)
            if (item.kind == ItemKind::Toe) return true;
        return false;
    };
    EXPECT_FALSE(hasToe());
    EXPECT_EQ(tp.lastParams.displayBlocks[0].hScale, 1.0f) << "not fitted to a toe at sample 0";

    RecordingPrompts quiet{true};
    ASSERT_EQ(SetPileHead(doc, 1, tp.headIndex + 5, kRecomputeWaveSpeed, quiet), 1);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_EQ(tp.toeValid, 0) << "the toe that gave way is still no toe";
    model.Rebuild();
    EXPECT_FALSE(hasToe());
}

TEST_F(DisplayModelTest, AnnotationTexts) {
    const auto& e = model.Entries()[0];
    EXPECT_EQ(AnnotationLines(doc, e, 31), std::vector<std::string>{"桩号:P1"});
    EXPECT_EQ(AnnotationLines(doc, e, 32), std::vector<std::string>{"桩径=800mm"});
    EXPECT_EQ(AnnotationLines(doc, e, 33), std::vector<std::string>{"桩长=12m"}) << "a length as typed";
    EXPECT_EQ(AnnotationLines(doc, e, 34), std::vector<std::string>{"波速=4000m/s"});
    EXPECT_EQ(AnnotationLines(doc, e, 35), std::vector<std::string>{"2026-05-18"});
    EXPECT_EQ(AnnotationLines(doc, e, 38), std::vector<std::string>{"采样间隔=20.00us"});
    EXPECT_EQ(AnnotationLines(doc, e, 39), std::vector<std::string>{"采样长度=1024"});
    EXPECT_TRUE(AnnotationLines(doc, e, 27).empty());
    EXPECT_EQ(AnnotationLines(doc, e, 30), std::vector<std::string>{""});
    auto copy = e;
    copy.copy.toeValid = 0;
    EXPECT_EQ(AnnotationLines(doc, copy, 34), std::vector<std::string>{"波速="});

    DefectMark near;
    near.depth = 3.25f;
    SetText(near.name, Utf8ToCp936("缩径(Ⅱ)"));
    DefectMark deep;
    deep.depth = 12.5f;
    SetText(deep.name, Utf8ToCp936("断桩(Ⅳ)"));
    copy.copy.defects = {near, deep};
    EXPECT_EQ(AnnotationLines(doc, copy, 44), (std::vector<std::string>{"缺陷:", " 3.25m:缩径(Ⅱ)", "12.50m:断桩(Ⅳ)"}));

    // The annotation column is laid out beside the plot.
    EXPECT_FALSE(e.annotation.empty());
    EXPECT_EQ(e.annotation[0].text, "桩号:P1");
    EXPECT_LT(e.annotation[0].x, e.plot.left);
}

TEST_F(DisplayModelTest, TheTopValueLabelStaysBelowTheUnitLine) {
    // The unit ("mV") is drawn on the line above the plot, beside the caption.
    for (const int type : {kAnalysisTime, kAnalysisFrequency}) {
        model.bar.analysisType = type;
        model.Rebuild();
        ASSERT_FALSE(model.Entries().empty());
        for (const auto& e : model.Entries()) {
            if (!e.textsReady) continue;  // laid out when scrolled near
            ASSERT_EQ(e.vLabels.size(), 5u);
            EXPECT_GT(e.vLabels.back().y, e.plot.top) << "top label clear of the unit line";
            EXPECT_LT(e.vLabels.back().y, e.vLabels[3].y) << "still above the next label";
            EXPECT_EQ(e.vLabels.front().y, e.plot.bottom - 1 - measure.LineHeight() / 2) << "the others centred on their ticks";
        }
    }
}

TEST_F(DisplayModelTest, ReadoutsOfEachKind) {
    AnalysisEntry e = model.Entries()[0];
    e.copy.samples[140] = 1.234f;
    // head 40, Δt 20 µs, V 4000: t = 2 ms, l = 4.0 m.
    EXPECT_EQ(ReadoutTexts(e, 140, 0), (std::vector<std::string>{"A=1.23mV", "l=4.00m", "t=2.00ms"}));
    e.copy.headValid = 0;
    EXPECT_EQ(ReadoutTexts(e, 140, 0), (std::vector<std::string>{"A=1.23mV", "t=2.80ms"}));
    e.kind = kKindCorrelation;
    EXPECT_EQ(ReadoutTexts(e, 140, 0)[0], "A=1.23");
    e.kind = kKindSpectrum;
    EXPECT_EQ(ReadoutTexts(e, 140, 4)[0], "A=1.23dB");
    EXPECT_EQ(ReadoutTexts(e, 140, 0)[0], "A=1.23mV");
    EXPECT_EQ(ReadoutTexts(e, 140, 0)[1].substr(0, 2), "F=");
    e.kind = kKindWavelet;
    EXPECT_EQ(ReadoutTexts(e, 140, 0)[0], "A=1.23mV");
    EXPECT_EQ(ReadoutTexts(e, 140, 0)[1].substr(0, 2), "t=");
    EXPECT_TRUE(ReadoutTexts(e, 5000, 0).empty());
}

TEST_F(DisplayModelTest, ClickSetsTheCursorAndHeadFollowsIt) {
    const auto [x, y] = At(0, 200);
    EXPECT_TRUE(model.Press(x, y));
    ASSERT_TRUE(model.StaticSample().has_value());
    EXPECT_NEAR(*model.StaticSample(), 200, 2);
    EXPECT_TRUE(model.Enabled(command_id::kPileHead));
    EXPECT_FALSE(model.Enabled(command_id::kMarkLine));
    EXPECT_TRUE(model.Run(command_id::kPileHead, prompts));
    EXPECT_EQ(doc.points[1].headIndex, *model.StaticSample());
    EXPECT_TRUE(doc.Modified());
    // A defect at the cursor, then selected, stepped, put back and deleted.
    const auto [dx, dy] = At(0, 250);
    model.Press(dx, dy);
    model.Release(dx, dy);
    EXPECT_TRUE(model.Run(command_id::kNeckGrade2, prompts));
    ASSERT_EQ(doc.points[1].defectCount(), 1);
    const int placed = doc.points[1].defects[0].position;
    const auto hit = model.ItemAt(model.SampleToPixel(0, placed), dy);
    ASSERT_TRUE(hit.has_value());
    model.Press(model.SampleToPixel(0, placed), dy);
    ASSERT_TRUE(model.SelectedDefect().has_value());
    model.KeyHorizontal(1, nullptr);
    EXPECT_GT(model.Selection().preview, placed);
    model.KeyEscape();
    EXPECT_EQ(model.Selection().preview, placed);
    model.KeyHorizontal(1, nullptr);
    EXPECT_TRUE(model.KeyEnter());
    EXPECT_GT(doc.points[1].defects[0].position, placed);
    EXPECT_TRUE(model.KeyDelete());
    EXPECT_EQ(doc.points[1].defectCount(), 0);
}

TEST_F(DisplayModelTest, DraggingTheToeSetsItSilently) {
    const int toe = doc.points[1].toeIndex;
    const auto [x, y] = At(0, toe);
    model.Press(x, y);
    ASSERT_NE(model.SelectedItem(), nullptr);
    EXPECT_EQ(model.SelectedItem()->kind, ItemKind::Toe);
    const auto [x2, y2] = At(0, toe + 60);
    model.Drag(x2, y2);
    EXPECT_TRUE(model.Release(x2, y2));
    EXPECT_NEAR(doc.points[1].toeIndex, toe + 60, 2);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.questions.empty());
    // Dropped onto the head's column: nothing happens.
    const int head = doc.points[1].headIndex;
    const auto [tx, ty] = At(0, doc.points[1].toeIndex);
    model.Press(tx, ty);
    const auto [hx, hy] = At(0, head);
    model.Drag(hx, hy);
    EXPECT_FALSE(model.Release(hx, hy));
    EXPECT_NEAR(doc.points[1].toeIndex, toe + 60, 2);
}

TEST_F(DisplayModelTest, DoubleClickSwitchesSingleAndMulti) {
    model.bar.timeScope = kScopePile;
    model.Rebuild();
    const auto [x, y] = At(2, 100);
    EXPECT_TRUE(model.DoubleClick(x, y));
    EXPECT_EQ(model.bar.timeScope, kScopeSingle);
    EXPECT_EQ(doc.currentIndex, 2);
    EXPECT_EQ(Shown(), (std::vector<std::int32_t>{2}));
    model.DoubleClick(x, y);
    EXPECT_EQ(model.bar.timeScope, kScopePile);
    model.options.fastSwitch = false;
    EXPECT_FALSE(model.DoubleClick(x, y));
}

TEST_F(DisplayModelTest, WheelZoomKeepsTheSampleUnderTheMouse) {
    doc.points[1].scalePending = 1;
    const auto [x, y] = At(0, 500);
    const int before = model.PixelToSample(0, x);
    EXPECT_TRUE(model.Wheel(x, y, true));
    EXPECT_EQ(doc.points[1].scalePending, 0);
    EXPECT_FLOAT_EQ(doc.points[1].lastParams.displayBlocks[0].hScale, 1.2f);
    EXPECT_NEAR(model.PixelToSample(0, x), before, 2);
    EXPECT_TRUE(model.Wheel(x, y, false));
    EXPECT_FLOAT_EQ(doc.points[1].lastParams.displayBlocks[0].hScale, 1.0f);
    // Zooming out stops once the record fits in 90 % of the width.
    auto& b = doc.points[1].lastParams.displayBlocks[0];
    b.hScale = 0.5f;
    model.Relayout();
    EXPECT_FALSE(model.Wheel(x, y, false));
    // Not in the frequency analysis.
    model.bar.analysisType = kAnalysisFrequency;
    model.Rebuild();
    EXPECT_FALSE(model.Wheel(x, y, true));
}

TEST_F(DisplayModelTest, MovingCursorMarkerAndKeys) {
    // The head pulse peaks at sample 40.
    auto& tp = doc.points[1];
    for (int i = 0; i < tp.sampleCount(); ++i) tp.samples[static_cast<std::size_t>(i)] = i == 40 ? 2.0f : (i < 40 ? 0.01f * i : 0.1f);
    model.Rebuild();
    const auto [x, y] = At(0, 40);
    model.MoveCursorTo(x, y);
    EXPECT_EQ(model.Moving().sample, 40);
    EXPECT_EQ(model.MarkerColour(), kPeakColour);
    int mouse = 0;
    model.KeyHorizontal(1, &mouse);
    EXPECT_EQ(mouse, 1);
    EXPECT_EQ(model.MarkerColour(), kNoPeakColour);
    EXPECT_EQ(model.MovingReadout()[0], "A=0.10mV");

    model.bar.timeScope = kScopePile;
    model.Rebuild();
    EXPECT_EQ(model.CurrentEntry(), 1);
    model.KeyVertical(-1);
    model.KeyVertical(-1);
    EXPECT_EQ(model.CurrentEntry(), 0);
    model.KeyVertical(5);
    EXPECT_EQ(model.CurrentEntry(), 2);
}

TEST_F(DisplayModelTest, OtherAnalysesBuildTheirEntries) {
    model.bar.analysisType = kAnalysisFrequency;
    model.Rebuild();
    ASSERT_EQ(model.Entries().size(), 1u);
    EXPECT_EQ(model.Entries()[0].kind, kKindSpectrum);
    EXPECT_FALSE(model.Entries()[0].hLabels.empty());
    EXPECT_EQ(model.Entries()[0].hUnit, "kHZ");
    EXPECT_TRUE(model.Enabled(command_id::kSpectrumLines));
    model.Run(command_id::kSpectrumEnvelope, prompts);
    EXPECT_EQ(doc.points[1].lastParams.displayBlocks[model.Entries()[0].blockNumber].spectrumStyle, 1);

    // A mark line on the spectrum at the cursor.
    const auto [x, y] = At(0, 30);
    model.Press(x, y);
    EXPECT_TRUE(model.Enabled(command_id::kMarkLine));
    EXPECT_FALSE(model.Enabled(command_id::kPileHead));
    EXPECT_TRUE(model.Run(command_id::kMarkLine, prompts));
    EXPECT_EQ(doc.points[1].spectrumMarks.size(), 1u);
    EXPECT_EQ(model.Entries()[0].items.size(), 1u);

    model.bar.analysisType = kAnalysisWavelet;
    model.bar.waveletLevel = 2;
    model.Rebuild();
    EXPECT_EQ(model.Entries().size(), 8u);  // input, reconstruction, 3 × smooth and detail
    EXPECT_EQ(model.CurrentEntry(), -1);

    model.bar.analysisType = kAnalysisStatistics;
    model.bar.statisticsAnalysis = kStatCrossCorrelation;
    model.bar.crossA = 0;
    model.bar.crossB = 2;
    model.Rebuild();
    ASSERT_EQ(model.Entries().size(), 3u);
    EXPECT_EQ(model.Entries()[2].kind, kKindCorrelation);
    EXPECT_EQ(model.Entries()[2].hUnit, "ms");
    EXPECT_EQ(model.DisplayedPoints(), (std::vector<std::int32_t>{0, 2}));
}

TEST(DisplayModelEmpty, NothingShownAndCommandsDoNothing) {
    CTAV_AnalyserDoc doc;
    FixedTextMeasure measure;
    WaveDisplayModel model(doc, measure);
    model.Rebuild();
    EXPECT_TRUE(model.Entries().empty());
    EXPECT_EQ(model.EntryAt(10, 10), -1);
    EXPECT_FALSE(model.Enabled(command_id::kDefaultPlacement));
    EXPECT_FALSE(model.Run(command_id::kDefaultPlacement, SilentPrompts()));
    EXPECT_FALSE(model.Run(command_id::kPileHead, SilentPrompts()));
    EXPECT_FALSE(model.Press(10, 10));
    EXPECT_FALSE(model.Wheel(10, 10, true));
}

}  // namespace
}  // namespace tav
