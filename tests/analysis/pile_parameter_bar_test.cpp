#include "analysis/pile_parameter_bar.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/document.hpp"
#include "model/pile_quantities.hpp"

namespace tav {
namespace {

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
    doc.points[0].toeValid = 0;
    ASSERT_TRUE(EditWaveSpeed(doc, Current(0), 2000));
    EXPECT_EQ(doc.points[0].waveSpeed, 2000);
    EXPECT_EQ(doc.points[0].toeIndex, 600);
    EXPECT_EQ(doc.points[0].toeValid, 1);
    EXPECT_EQ(doc.points[1].waveSpeed, 4000);
    EXPECT_FALSE(EditWaveSpeed(doc, Current(0), 2000)) << "the same value changes nothing";

    ASSERT_TRUE(EditWaveSpeed(doc, Current(0), 500));
    EXPECT_EQ(doc.points[0].toeIndex, 1023) << "never past the last sample";
}

// A speed the depth rules cannot divide by, or the record cannot hold, is
// refused on every path and nothing is stored.
TEST_F(Bar, SpeedsOutsideTheLimitsAreRefused) {
    const std::vector<TestPoint> before = doc.points;
    for (const std::int32_t speed : {0, -4000, kMaxWaveSpeed + 1, 40000}) {
        SCOPED_TRACE(speed);
        EXPECT_FALSE(EditWaveSpeed(doc, Current(0), speed));
        EXPECT_FALSE(EditWaveSpeed(doc, All(), speed));
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(doc.points[i].waveSpeed, before[i].waveSpeed);
            EXPECT_EQ(doc.points[i].toeIndex, before[i].toeIndex);
        }
    }
    EXPECT_FALSE(doc.Modified());
    EXPECT_TRUE(EditWaveSpeed(doc, Current(0), kMinWaveSpeed));
    EXPECT_TRUE(EditWaveSpeed(doc, Current(1), kMaxWaveSpeed));
}

TEST_F(Bar, SpeedForAllWaveformsMovesEveryToe) {
    doc.points[1].toeValid = 0;
    ASSERT_TRUE(EditWaveSpeed(doc, All(), 2000));
    for (const auto& tp : doc.points) {
        EXPECT_EQ(tp.waveSpeed, 2000);
        EXPECT_EQ(tp.toeIndex, 600);
    }
    EXPECT_EQ(doc.points[1].toeValid, 0) << "left as it is on this path";
}

TEST_F(Bar, LengthGivesTheSpeedAndFixesTheMode) {
    RecomputeSettings settings{2, 0};
    ASSERT_TRUE(EditPileLength(doc, Current(0), 5.0f, settings));
    EXPECT_EQ(doc.points[0].waveSpeed, 2000);
    EXPECT_EQ(settings.mode, 1);

    ChooseRecompute(settings, 2);
    EXPECT_EQ(settings.mode, 2);
    ASSERT_TRUE(EditPileLength(doc, Current(0), 7.5f, settings));
    EXPECT_EQ(doc.points[0].waveSpeed, 3000);
    EXPECT_EQ(settings.mode, 2) << "a fixed choice stays in force";
    ChooseRecompute(settings, 0);
    EXPECT_EQ(settings.mode, 2);

    doc.points[1].toeIndex = doc.points[1].headIndex;
    ASSERT_TRUE(EditPileLength(doc, All(), 5.0f, settings));
    EXPECT_EQ(doc.points[1].pileLength, 5.0f);
    EXPECT_EQ(doc.points[1].waveSpeed, 4000) << "no head-to-toe distance, speed unchanged";
    EXPECT_EQ(doc.points[2].waveSpeed, 2000);
}

// Head to toe is 250 samples of 20 µs: 1 m of pile gives 400 m/s. A length
// whose speed would truncate to 0, come out negative or overflow the record's
// field is refused, as is one outside the length limits; nothing is stored.
TEST_F(Bar, LengthsWhoseSpeedCannotFollowAreRefused) {
    RecomputeSettings settings{2, 0};
    const std::vector<TestPoint> before = doc.points;
    const auto unchanged = [&] {
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(doc.points[i].pileLength, before[i].pileLength);
            EXPECT_EQ(doc.points[i].waveSpeed, before[i].waveSpeed);
        }
        EXPECT_EQ(settings.mode, 2);
        EXPECT_FALSE(doc.Modified());
    };
    for (const float length : {0.0005f, 0.001f, 0.002f, 0.0f, -3.0f, 90.0f, 1000.5f}) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(PileLengthFits(doc, Current(0), length));
        EXPECT_FALSE(EditPileLength(doc, Current(0), length, settings));
        EXPECT_FALSE(EditPileLength(doc, All(), length, settings));
        unchanged();
    }
    // One shown test point whose speed cannot follow refuses the edit for all.
    doc.points[2].toeIndex = 101;
    EXPECT_FALSE(EditPileLength(doc, All(), 5.0f, settings));
    doc.points[2].toeIndex = before[2].toeIndex;
    unchanged();

    ASSERT_TRUE(EditPileLength(doc, Current(0), 0.003f, settings)) << "1.2 m/s, kept as 1";
    EXPECT_EQ(doc.points[0].waveSpeed, 1);
    ASSERT_TRUE(EditPileLength(doc, Current(1), 81.9f, settings));
    EXPECT_EQ(doc.points[1].waveSpeed, 32760);
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

    doc.points[0].pileLength = 34.2f;
    EXPECT_EQ(ParameterBarFields(doc, Current(0)).lengthText, "34.2") << "as typed, never 34.200001";
}

}  // namespace
}  // namespace tav
