// Rules whose thresholds and groups decide a result the engineer reads off:
// each case sits on the boundary, so moving it by a step is noticed.
#include <gtest/gtest.h>

#include <vector>

#include "analysis/correlation.hpp"
#include "analysis/display/display_geometry.hpp"
#include "analysis/integrity_class.hpp"
#include "model/test_point.hpp"

namespace tav {
namespace {

TestPoint WithDefects(std::initializer_list<std::int16_t> types) {
    TestPoint tp;
    for (const auto t : types) {
        DefectMark d;
        d.type = t;
        tp.defects.push_back(d);
    }
    return tp;
}

TEST(IntegrityClassTable, EveryDefectCodeGivesItsClass) {
    // Code -> class: Ⅳ for a break (3, 10), Ⅲ and Ⅱ by their groups, Ⅰ for the rest.
    const std::vector<std::pair<std::int16_t, int>> table = {
        {-1, 0}, {0, 0},  {1, 1},  {2, 1},  {3, 3},  {4, 1},  {5, 1},  {6, 1},  {7, 1},  {8, 1},  {9, 2},
        {10, 3}, {11, 2}, {12, 2}, {13, 0}, {14, 2}, {15, 2}, {16, 2}, {17, 2}, {18, 0}, {19, 0}, {20, 0}, {21, 0}};
    for (const auto& [code, expected] : table) {
        EXPECT_EQ(IntegrityClass(WithDefects({code})), expected) << "code " << code;
        // A lesser defect listed after it never lowers the class.
        EXPECT_EQ(IntegrityClass(WithDefects({code, 1})), std::max(expected, 1)) << "code " << code << " then 1";
        EXPECT_EQ(IntegrityClass(WithDefects({1, code})), std::max(expected, 1)) << "1 then code " << code;
    }
    EXPECT_EQ(IntegrityClass(WithDefects({})), 0);
    EXPECT_EQ(IntegrityClass(WithDefects({9, 2, 10, 1})), 3);
}

// A record at rest (a tiny negative level), a strong flat pulse of 15 on
// samples 20..39 and a smaller one on 60..79.
std::vector<float> PulseAndBump(float bump) {
    std::vector<float> x(400, -0.001f);
    for (int i = 20; i < 40; ++i) x[static_cast<std::size_t>(i)] = 15.0f;
    for (int i = 60; i < 80; ++i) x[static_cast<std::size_t>(i)] = bump;
    return x;
}

TEST(CorrelationTemplate, AHalfWaveCountsFromOneFifteenthOfThePeak) {
    // 2/30 of the peak of 15 is 1: a bump that reaches it closes the template
    // at its zero crossing; one just below leaves the default window.
    const auto at = PulseAndBump(1.0f);
    const auto reached = FindTemplate(at.data(), 400);
    EXPECT_EQ(reached.start, 20);
    EXPECT_EQ(reached.end, 60);
    const auto below = PulseAndBump(0.99f);
    const auto missed = FindTemplate(below.data(), 400);
    EXPECT_EQ(missed.start, 0);
    EXPECT_EQ(missed.end, 40) << "a tenth of the record";
}

TEST(HeadAlignment, HeadAtOneEighthAndToeAtSevenEighthsOfTheWidth) {
    const DisplayRect plot{30, 0, 830, 200};  // 800 pixels wide
    AlignInput in;
    in.width = plot.Width();
    in.count = 1000;
    in.head = 100;
    in.toe = 700;
    in.headValid = true;
    DisplayBlock b;
    AlignHead(b, in);
    EXPECT_EQ(b.hPositionMode, 0);
    EXPECT_EQ(SampleX(plot, in.count, b, in.head) - plot.left, 100) << "one eighth of 800";

    // With both ends known and the toe aligned, the toe goes to seven eighths.
    in.toeValid = true;
    b = DisplayBlock{};
    b.hScaleMode = 0;
    AlignHead(b, in);
    EXPECT_EQ(SampleX(plot, in.count, b, in.head) - plot.left, 100);
    EXPECT_EQ(SampleX(plot, in.count, b, in.toe) - plot.left, 700);
}

TEST(CursorMapping, EveryDrawnColumnUpToTheRightEdgeGivesItsSample) {
    const DisplayRect plot{10, 0, 510, 100};  // 500 pixels
    for (const int count : {1000, 1024, 4096}) {
        DisplayBlock b;
        const auto columns = MapColumns(plot, count, b);
        ASSERT_FALSE(columns.x.empty());
        for (std::size_t k = 0; k < columns.x.size(); ++k)
            ASSERT_EQ(XToSample(plot, count, b, columns.x[k]), columns.sample[k]) << count << " at x " << columns.x[k];
        EXPECT_EQ(XToSample(plot, count, b, plot.right), count - 1) << "the right edge is the last sample";
        EXPECT_EQ(XToSample(plot, count, b, plot.right + 40), count - 1);
    }
    // Zoomed in (fewer samples than pixels): the nearest sample, up to the last one.
    DisplayBlock b;
    EXPECT_EQ(XToSample(plot, 300, b, plot.right), 299);
    EXPECT_EQ(XToSample(plot, 300, b, plot.right - 1), 298);
    EXPECT_EQ(XToSample(plot, 300, b, SampleX(plot, 300, b, 298)), 298);
    EXPECT_EQ(XToSample(plot, 300, b, plot.right + 1), 299);
}

}  // namespace
}  // namespace tav
