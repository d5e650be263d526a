#include "analysis/pile_marks.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/integrity_class.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "model/positions.hpp"
#include "tests/support/recording_prompts.hpp"

namespace tav {
namespace {

using Recorder = testing::RecordingPrompts;

TestPoint Pile(int samples = 1024) {
    TestPoint tp;
    tp.samples.assign(static_cast<std::size_t>(samples), 0.0f);
    tp.headSampleCount = static_cast<std::int16_t>(samples);
    tp.sampleInterval = 20.0f;
    tp.waveSpeed = 4000;
    tp.pileLength = 10.0f;
    tp.headIndex = 100;
    tp.toeIndex = 600;
    return tp;
}

DefectMark Defect(std::int32_t position, std::int32_t type) {
    DefectMark d;
    d.position = position;
    d.type = type;
    return d;
}

class PileMarks : public ::testing::Test {
protected:
    void SetUp() override { doc.points.push_back(Pile()); }
    TestPoint& tp() { return doc.points[0]; }
    CTAV_AnalyserDoc doc;
};

TEST_F(PileMarks, DepthAndSampleConvertBothWays) {
    EXPECT_FLOAT_EQ(SampleToDepth(doc, 0, 600, false), 20.0f);
    EXPECT_EQ(DepthToSample(doc, 0, 20.0f, false), 600);
    EXPECT_EQ(DepthToSample(doc, 5, 20.0f, false), 0) << "an index outside the project";
    EXPECT_DOUBLE_EQ(SampleTimeMs(tp(), 600), 12.0);
}

TEST_F(PileMarks, HeadAndToeCoupleSpeedOrLength) {
    Recorder ask;
    tp().toeIndex = 0;
    ASSERT_EQ(SetPileToe(doc, 0, 600, kRecomputeWaveSpeed, ask), 1);
    EXPECT_EQ(tp().waveSpeed, 2000);
    EXPECT_EQ(tp().toeValid, 1);

    ASSERT_EQ(SetPileHead(doc, 0, 350, kRecomputePileLength, ask), 1);
    EXPECT_FLOAT_EQ(tp().pileLength, 250 * 20e-6f * 0.5f * 2000.0f);
    EXPECT_EQ(tp().waveSpeed, 2000);
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_TRUE(doc.Modified());
}

TEST_F(PileMarks, UnsetEndGivesWayAndSetEndBlocks) {
    Recorder ask;
    tp().toeValid = 0;
    ASSERT_EQ(SetPileHead(doc, 0, 1022, 1, ask), 1);
    EXPECT_EQ(tp().headIndex, 1020);
    EXPECT_EQ(tp().toeIndex, 1023);

    tp() = Pile();
    tp().headValid = 0;
    ASSERT_EQ(SetPileToe(doc, 0, 1, 1, ask), 1);
    EXPECT_EQ(tp().toeIndex, 3);
    EXPECT_EQ(tp().headIndex, 0);

    EXPECT_EQ(tp().headValid, 0) << "a head pushed along is still unset";
    ASSERT_EQ(SetPileHead(doc, 0, 1, 1, ask), 1);

    // Both ends are now set by hand: neither may pass the other.
    EXPECT_EQ(SetPileHead(doc, 0, 3, 1, ask), 0);
    EXPECT_EQ(SetPileToe(doc, 0, 1, 1, ask), 0);
    EXPECT_EQ(SetPileHead(doc, 0, 1024, 1, ask), 0);
    EXPECT_EQ(SetPileToe(doc, 0, -1, 1, ask), 0);
    EXPECT_EQ(ask.messages, (std::vector<std::string>{"桩头位置应设置在桩尾之前！", "桩尾位置应设置在桩头之后！",
                                                      "设置位置错误", "设置位置错误"}));
    EXPECT_EQ(tp().headIndex, 1);
    EXPECT_EQ(tp().toeIndex, 3);

    Recorder none;
    EXPECT_EQ(SetPileToe(doc, 7, 10, 1, none), 0) << "index outside the project";
    EXPECT_TRUE(none.messages.empty());
}

TEST_F(PileMarks, TooShortRecordRefusesInsteadOfANegativeHead) {
    Recorder ask;
    tp() = Pile(3);
    tp().headIndex = 0;
    tp().toeIndex = 0;
    tp().toeValid = 0;
    EXPECT_EQ(SetPileHead(doc, 0, 1, 1, ask), 0);
    tp().headValid = 0;
    EXPECT_EQ(SetPileToe(doc, 0, 0, 1, ask), 0);
    EXPECT_EQ(tp().headIndex, 0);
    EXPECT_EQ(tp().toeIndex, 0);
}

TEST_F(PileMarks, ZeroIntervalOrSpeedLeavesTheDependentValue) {
    Recorder ask;
    tp().sampleInterval = 0.0f;
    ASSERT_EQ(SetPileToe(doc, 0, 700, kRecomputeWaveSpeed, ask), 1);
    EXPECT_EQ(tp().waveSpeed, 4000);

    tp() = Pile();
    tp().pileLength = 1000.0f;  // 200000 m/s does not fit the field
    ASSERT_EQ(SetPileToe(doc, 0, 700, kRecomputeWaveSpeed, ask), 1);
    EXPECT_EQ(tp().waveSpeed, 4000);
}

TEST_F(PileMarks, OutOfRangeDefectsAskBeforeTheyGo) {
    tp().defects = {Defect(150, 1), Defect(300, 2), Defect(580, 5)};
    Recorder no(false);
    ASSERT_EQ(SetPileHead(doc, 0, 200, 1, no), 1);
    EXPECT_EQ(no.questions, std::vector<std::string>{"此设置产生超范围缺陷，是否让系统自动删除掉？"});
    EXPECT_EQ(tp().defectCount(), 3) << "No keeps them";

    Recorder yes(true);
    ASSERT_EQ(SetPileToe(doc, 0, 400, 1, yes), 1);
    ASSERT_EQ(tp().defectCount(), 2);
    EXPECT_EQ(tp().defects[0].position, 150) << "only the defects beyond the new toe go";
    EXPECT_EQ(tp().defects[1].position, 300);

    // The next AddDefect checks only the new defect, not those left outside.
    EXPECT_EQ(AddDefect(doc, 0, 250, 1, "", "", no), 1);
}

TEST_F(PileMarks, ToeOnAnEnlargedBaseKeepsItWithoutAsking) {
    tp().defects = {Defect(500, 7)};
    Recorder ask(true);
    ASSERT_EQ(SetPileToe(doc, 0, 500, 1, ask), 1);
    EXPECT_TRUE(ask.questions.empty());
    EXPECT_EQ(tp().defectCount(), 1);

    tp().defects = {Defect(450, 5)};
    ASSERT_EQ(SetPileToe(doc, 0, 450, 1, ask), 1);
    EXPECT_EQ(ask.questions.size(), 1u);
    EXPECT_EQ(tp().defectCount(), 0);
}

TEST_F(PileMarks, DefectRangeAndSpacing) {
    Recorder ask;
    EXPECT_EQ(AddDefect(doc, 0, 100, 1, "", "", ask), 0);
    EXPECT_EQ(AddDefect(doc, 0, 600, 1, "", "", ask), 0);
    EXPECT_EQ(AddDefect(doc, 0, 1024, 1, "", "", ask), 0);
    EXPECT_EQ(AddDefect(doc, 0, 300, 1, "", "", ask), 1);
    EXPECT_EQ(AddDefect(doc, 0, 302, 1, "", "", ask), 0);
    EXPECT_EQ(AddDefect(doc, 0, 297, 1, "", "", ask), 1);
    EXPECT_EQ(ask.messages, (std::vector<std::string>{"缺陷位置不能超出桩体！", "缺陷位置不能超出桩体！", "数据错误！",
                                                      "缺陷间距过小！"}));
    ASSERT_EQ(tp().defectCount(), 2);
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp().defects[0].name)), "扩径(Ⅱ)");
    EXPECT_FLOAT_EQ(tp().defects[0].depth, 8.0f);
}

TEST_F(PileMarks, DefectTextsAreCutOnCharacterBoundaries) {
    Recorder ask;
    const std::string sixty(60, 'x');
    ASSERT_EQ(AddDefect(doc, 0, 200, 8, Utf8ToCp936("自定义"), sixty, ask), 1);
    EXPECT_EQ(TextOf(tp().defects[0].description), sixty.substr(0, 49));
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp().defects[0].name)), "自定义");

    // 25 two-byte characters: 49 bytes would end inside the 25th.
    const std::string chinese = Utf8ToCp936("一二三四五六七八九十一二三四五六七八九十一二三四五");
    ASSERT_EQ(chinese.size(), 50u);
    ASSERT_EQ(AddDefect(doc, 0, 300, 20, chinese, chinese, ask), 1);
    EXPECT_EQ(TextOf(tp().defects[1].description), chinese.substr(0, 48));
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp().defects[1].name)), "严重缺陷") << "table codes keep the table's name";
}

TEST_F(PileMarks, EditingACustomDefect) {
    tp().defects = {Defect(200, 9), Defect(300, 1)};
    EXPECT_EQ(EditCustomDefect(doc, 0, 0, "  ", "r", 0), 0) << "an empty name leaves it";
    EXPECT_EQ(tp().defects[0].type, 9);
    EXPECT_EQ(EditCustomDefect(doc, 0, 1, "a", "r", 0), 0) << "only custom defects are edited";
    ASSERT_EQ(EditCustomDefect(doc, 0, 0, "  poor  ", " note ", 2), 1);
    EXPECT_EQ(TextOf(tp().defects[0].name), "poor");
    EXPECT_EQ(TextOf(tp().defects[0].description), "note");
    EXPECT_EQ(tp().defects[0].type, 10);
    EXPECT_EQ(DepthText(3.25f), "3.25m");

    ASSERT_EQ(MoveDefect(doc, 0, 0, 350), 1);
    EXPECT_FLOAT_EQ(tp().defects[0].depth, 10.0f);
    ASSERT_EQ(DeleteDefect(doc, 0, 0), 1);
    EXPECT_EQ(tp().defects[0].position, 300);
    EXPECT_EQ(DeleteDefect(doc, 0, 1), 0);
}

TEST_F(PileMarks, MarkLineSpacing) {
    const std::vector<std::int32_t> one{0};
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkCorrelation, 50), 1);
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkCorrelation, 52), 0);
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkCorrelation, 53), 1);

    tp().sampleInterval = 100.0f;  // about 5.12 lines to 50 Hz
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkSpectrum, 10), 1);
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkSpectrum, 15), 0);
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkSpectrum, 16), 1);
    tp().sampleInterval = 10.0f;  // under one line: no spacing at all
    EXPECT_EQ(AddAnalysisMark(doc, one, kMarkSpectrum, 16), 1);

    const std::vector<std::int32_t> wavelet{0, 2, 3};
    EXPECT_EQ(AddAnalysisMark(doc, wavelet, kMarkWavelet, 40), 2);
    EXPECT_EQ(AddAnalysisMark(doc, wavelet, kMarkWavelet, 40), 0);
    EXPECT_EQ(AddAnalysisMark(doc, std::vector<std::int32_t>{0, 2}, kMarkWavelet, 41), 1);
    EXPECT_EQ(tp().waveletMarkLevels, (std::vector<std::int32_t>{2, 3, 2}));

    const std::vector<std::int32_t> withOutside{3, 0};
    EXPECT_EQ(AddAnalysisMark(doc, withOutside, kMarkCorrelation, 100), 1);
}

TEST_F(PileMarks, DeletingAndClearingItems) {
    tp().waveletMarkLevels = {1, 2, 1};
    tp().waveletMarkPositions = {10, 20, 30};
    const MarkedEntry level1{0, 4, 1};
    EXPECT_EQ(ItemCount(doc, level1), 2);
    ASSERT_EQ(DeleteItem(doc, level1, 1), 1) << "the second mark on sub-signal 1";
    EXPECT_EQ(tp().waveletMarkPositions, (std::vector<std::int32_t>{10, 20}));
    ASSERT_EQ(MoveAnalysisMark(doc, 0, 1, kMarkWavelet, 25), 1);
    EXPECT_EQ(tp().waveletMarkPositions[1], 25);

    const MarkedEntry waveform{0, 0, 0};
    Recorder no(false);
    EXPECT_EQ(ClearMarks(doc, std::span(&waveform, 1), no), 0);
    EXPECT_TRUE(no.questions.empty()) << "nothing to clear, nothing asked";

    tp().defects = {Defect(200, 1), Defect(300, 2)};
    EXPECT_EQ(ClearMarks(doc, std::span(&waveform, 1), no), 0);
    EXPECT_EQ(no.questions, std::vector<std::string>{"是否要清除所有标记？"});
    EXPECT_EQ(tp().defectCount(), 2);

    Recorder yes(true);
    const std::vector<MarkedEntry> both{waveform, level1};
    EXPECT_EQ(ClearMarks(doc, both, yes), 1);
    EXPECT_EQ(tp().defectCount(), 0);
    EXPECT_EQ(tp().waveletMarkLevels, std::vector<std::int32_t>{2}) << "other sub-signals keep their marks";
}

TEST(IntegrityClassTest, WorstDefectDecides) {
    TestPoint tp;
    EXPECT_EQ(IntegrityClass(tp), 0);
    tp.defects = {Defect(1, 18), Defect(2, 20)};
    EXPECT_EQ(IntegrityClass(tp), 0);
    tp.defects = {Defect(1, 1), Defect(2, 10)};
    EXPECT_EQ(IntegrityClass(tp), 3);
    tp.defects = {Defect(1, 9), Defect(2, 8)};
    EXPECT_EQ(IntegrityClass(tp), 2);
    EXPECT_EQ(IntegrityClassText(3), "Ⅳ");
}

}  // namespace
}  // namespace tav
