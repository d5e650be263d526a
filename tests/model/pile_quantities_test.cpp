// Pile lengths and wave speeds as typed and as shown.
#include "model/pile_quantities.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "model/test_point.hpp"

namespace tav {
namespace {

TEST(PileQuantities, LengthsReadWithinTheLimits) {
    for (const char* text : {"", "abc", "12m", "0", "-12", "0.0005", "1000.5", "1e30", "inf", "nan", "0x10", "--1"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ReadPileLength(text));
    }
    EXPECT_EQ(ReadPileLength(" 12.5 "), 12.5f);
    EXPECT_EQ(ReadPileLength("+0.001"), 0.001f);
    EXPECT_EQ(ReadPileLength("1e3"), 1000.0f);
}

TEST(PileQuantities, SpeedsReadAsWholeNumbersWithinTheLimits) {
    for (const char* text : {"", "abc", "0", "-4000", "32768", "99999999999", "1e3", "3500.5", "12x"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ReadWaveSpeed(text));
    }
    EXPECT_EQ(ReadWaveSpeed("1"), 1);
    EXPECT_EQ(ReadWaveSpeed(" 32767 "), 32767);
}

TEST(PileQuantities, TheSpeedFollowsTheLengthFromHeadToToe) {
    TestPoint tp;
    tp.sampleInterval = 20.0f;
    tp.headIndex = 100;
    tp.toeIndex = 350;  // 5 ms from head to toe: 1 m gives 400 m/s
    EXPECT_EQ(SpeedForLength(tp, 10.0f), 4000.0);
    EXPECT_TRUE(LengthKeepsSpeedValid(tp, 10.0f));
    EXPECT_FALSE(LengthKeepsSpeedValid(tp, 0.0005f)) << "0.2 m/s truncates to 0";
    EXPECT_FALSE(LengthKeepsSpeedValid(tp, 90.0f)) << "36000 m/s does not fit the record";
    for (const std::int16_t toe : {std::int16_t{100}, std::int16_t{50}}) {
        tp.toeIndex = toe;
        EXPECT_FALSE(SpeedForLength(tp, 10.0f)) << "no head-to-toe time: the speed stays, never negative";
        EXPECT_TRUE(LengthKeepsSpeedValid(tp, 10.0f));
    }
}

TEST(PileQuantities, LengthsShowTheDigitsTheyWereTypedWith) {
    EXPECT_EQ(FormatLength(34.2f), "34.2");
    EXPECT_EQ(FormatLength(12.0f), "12");
    EXPECT_EQ(FormatLength(12.5f), "12.5");
    EXPECT_EQ(FormatLength(0.001f), "0.001");
    EXPECT_EQ(FormatLength(999.999f), "999.999");
    EXPECT_EQ(FormatLength(0.0f), "0");
    EXPECT_EQ(FormatLength(-0.0f), "0");
    EXPECT_EQ(FormatLength(0.0626f), "0.063") << "never more than three decimals";
    EXPECT_EQ(FormatLength(12.3456f), "12.346");
    EXPECT_EQ(FormatLength(10.1f), "10.1");
    // Every length typed with up to three decimals reads back as typed.
    for (int thousandths = 1; thousandths <= 1000000; thousandths += 7) {
        const std::string typed =
            std::to_string(thousandths / 1000) + "." + std::to_string(1000 + thousandths % 1000).substr(1);
        const float stored = std::strtof(typed.c_str(), nullptr);
        const std::string shown = FormatLength(stored);
        ASSERT_EQ(std::strtof(shown.c_str(), nullptr), stored) << typed;
        ASSERT_LE(shown.size(), typed.size()) << typed;
    }
}

}  // namespace
}  // namespace tav
