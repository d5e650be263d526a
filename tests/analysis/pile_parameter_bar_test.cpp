#include "analysis/pile_parameter_bar.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "tests/support/recording_prompts.hpp"

namespace tav {
namespace {

using Answer = testing::RecordingPrompts;

TestPoint Pile() {
    TestPoint tp;
    tp.samples.assign(1024, 0.0f);
    tp.headSampleCount = 1024;
    tp.sampleInterval = 20.0f;
    tp.waveSpeed = 4000;
    tp.pileLength = 10.0f;
    tp.headIndex = 100;
    tp.toeIndex = 350;
    return tp;
}

class Bar : public ::testing::Test {
protected:
    void SetUp() override {
        doc.points = {Pile(), Pile(), Pile()};
        doc.points[2].waveSpeed = 3000;
    }
    BarScope Current(std::int32_t i) { return {shown, i, false}; }
    BarScope All() { return {shown, -1, true}; }
    CTAV_AnalyserDoc doc;
    std::vector<std::int32_t> shown{0, 1, 2};
};

TEST_F(Bar, SpeedMovesTheToeOfTheCurrentWaveform) {
    Answer no(false);
    doc.points[0].toeValid = 0;
    ASSERT_TRUE(EditWaveSpeed(doc, Current(0), 2000, no));
    EXPECT_EQ(doc.points[0].waveSpeed, 2000);
    EXPECT_EQ(doc.points[0].toeIndex, 600);
    EXPECT_EQ(doc.points[0].toeValid, 1);
    EXPECT_EQ(doc.points[1].waveSpeed, 4000);
    EXPECT_FALSE(EditWaveSpeed(doc, Current(0), 2000, no)) << "the same value changes nothing";

    ASSERT_TRUE(EditWaveSpeed(doc, Current(0), 500, no));
    EXPECT_EQ(doc.points[0].toeIndex, 1023) << "never past the last sample";

    ASSERT_TRUE(EditWaveSpeed(doc, Current(0), 0, no));
    EXPECT_EQ(doc.points[0].toeIndex, 1023) << "a zero speed has no toe to give";
    EXPECT_TRUE(no.questions.empty());
    EXPECT_FALSE(EditWaveSpeed(doc, Current(0), 40000, no)) << "the field holds 16 bits";
}

TEST_F(Bar, SpeedForAllWaveformsAsksAboutZero) {
    doc.points[1].toeValid = 0;
    Answer no(false);
    EXPECT_FALSE(EditWaveSpeed(doc, All(), 0, no));
    EXPECT_EQ(no.questions, std::vector<std::string>{"波速设置值为零，是否继续？"});
    EXPECT_EQ(doc.points[2].waveSpeed, 3000);

    Answer yes(true);
    ASSERT_TRUE(EditWaveSpeed(doc, All(), 2000, yes));
    EXPECT_TRUE(yes.questions.empty());
    for (const auto& tp : doc.points) {
        EXPECT_EQ(tp.waveSpeed, 2000);
        EXPECT_EQ(tp.toeIndex, 600);
    }
    EXPECT_EQ(doc.points[1].toeValid, 0) << "left as it is on this path";
}

TEST_F(Bar, LengthGivesTheSpeedAndFixesTheMode) {
    Answer no(false);
    RecomputeSettings settings{2, 0};
    ASSERT_TRUE(EditPileLength(doc, Current(0), 5.0f, settings, no));
    EXPECT_EQ(doc.points[0].waveSpeed, 2000);
    EXPECT_EQ(settings.mode, 1);

    ChooseRecompute(settings, 2);
    EXPECT_EQ(settings.mode, 2);
    ASSERT_TRUE(EditPileLength(doc, Current(0), 7.5f, settings, no));
    EXPECT_EQ(doc.points[0].waveSpeed, 3000);
    EXPECT_EQ(settings.mode, 2) << "a fixed choice stays in force";
    ChooseRecompute(settings, 0);
    EXPECT_EQ(settings.mode, 2);

    doc.points[1].toeIndex = doc.points[1].headIndex;
    EXPECT_FALSE(EditPileLength(doc, All(), 0.0f, settings, no));
    EXPECT_EQ(no.questions, std::vector<std::string>{"桩长设置值为零，是否继续？"});
    Answer yes(true);
    ASSERT_TRUE(EditPileLength(doc, All(), 5.0f, settings, yes));
    EXPECT_EQ(doc.points[1].pileLength, 5.0f);
    EXPECT_EQ(doc.points[1].waveSpeed, 4000) << "no head-to-toe distance, speed unchanged";
    EXPECT_EQ(doc.points[2].waveSpeed, 2000);
}

TEST_F(Bar, FieldsShowCommonValuesOrGrey) {
    auto f = ParameterBarFields(doc, All());
    EXPECT_TRUE(f.enabled);
    EXPECT_TRUE(f.speedGrey);
    EXPECT_EQ(f.speedText, "");
    EXPECT_FALSE(f.lengthGrey);
    EXPECT_EQ(f.lengthText, "10");

    f = ParameterBarFields(doc, Current(2));
    EXPECT_EQ(f.speedText, "3000");
    EXPECT_FALSE(f.speedGrey);

    // A current waveform among several shown keeps its values in the bar,
    // grey when edits go to all and the others differ.
    f = ParameterBarFields(doc, BarScope{shown, 2, true});
    EXPECT_EQ(f.speedText, "3000");
    EXPECT_TRUE(f.speedGrey);
    EXPECT_EQ(f.lengthText, "10");
    EXPECT_FALSE(f.lengthGrey);

    f = ParameterBarFields(doc, BarScope{{}, 0, false});
    EXPECT_FALSE(f.enabled);
    EXPECT_EQ(f.lengthText, "");

    EXPECT_EQ(FormatBarLength(12.5f), "12.5");
    EXPECT_EQ(FormatBarLength(0.0f), "0");
}

}  // namespace
}  // namespace tav
