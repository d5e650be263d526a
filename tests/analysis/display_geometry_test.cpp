#include <gtest/gtest.h>

#include <vector>

#include "analysis/display/display_geometry.hpp"

namespace tav {
namespace {

const DisplayRect kPlot{0, 0, 800, 201};

TEST(DisplayGeometry, AlignHeadThenToePlacesBothEnds) {
    DisplayBlock b;
    const AlignInput in{800, 1024, 100, 600, true, true};
    AlignHead(b, in);
    EXPECT_EQ(b.hPositionMode, 0);
    AlignToe(b, in);
    EXPECT_EQ(b.hScaleMode, 0);
    EXPECT_EQ(SampleX(kPlot, 1024, b, 100), 100);
    EXPECT_EQ(SampleX(kPlot, 1024, b, 600), 700);

    // The other order lands in the same place.
    DisplayBlock c;
    AlignToe(c, in);
    AlignHead(c, in);
    EXPECT_EQ(SampleX(kPlot, 1024, c, 100), 100);
    EXPECT_EQ(SampleX(kPlot, 1024, c, 600), 700);
}

TEST(DisplayGeometry, AlignWithoutValidEndsResets) {
    DisplayBlock b;
    b.hOffset = 30;
    b.hScale = 2.0f;
    AlignHead(b, {800, 1024, 100, 600, false, true});
    EXPECT_EQ(b.hOffset, 0);
    EXPECT_EQ(b.hPositionMode, 1);
    AlignToe(b, {800, 1024, 700, 600, true, true});  // toe before head
    EXPECT_FLOAT_EQ(b.hScale, 1.0f);
    EXPECT_EQ(b.hScaleMode, 1);

    // Head at sample 0: the head goes to 12.5 % without dividing by it.
    DisplayBlock z;
    z.hScaleMode = 0;
    AlignHead(z, {800, 1024, 0, 600, true, true});
    EXPECT_EQ(z.hOffset, 100);
    EXPECT_EQ(SampleX(kPlot, 1024, z, 600), 700);
}

TEST(DisplayGeometry, ShiftsStopAtTheWidthAndScalesAtTheirLimits) {
    DisplayBlock b;
    for (int k = 0; k < 40; ++k) ShiftLeft(b, 800);
    EXPECT_EQ(b.hOffset, -800);
    EXPECT_EQ(b.hPositionMode, 2);
    for (int k = 0; k < 40; ++k) ShiftRight(b, 800);
    EXPECT_EQ(b.hOffset, 800);

    b.hScale = 0.1f;
    CompressScale(b);
    EXPECT_EQ(b.hScale, 0.0f);
    CompressScale(b);
    EXPECT_EQ(b.hScale, 0.0f);

    for (int k = 0; k < 500; ++k) VerticalStretch(b);
    EXPECT_GE(b.vFactor, kMinVerticalFactor);
    EXPECT_EQ(b.vMode, 1);
    VerticalAuto(b);
    EXPECT_EQ(b.vFactor, 1.0f);
    EXPECT_EQ(b.vMode, 0);

    b.hScale = 1.0f;
    SetScale(b, 1.015f);  // within 2 %: kept
    EXPECT_EQ(b.hScale, 1.0f);
    SetScale(b, 1.05f);
    EXPECT_FLOAT_EQ(b.hScale, 1.05f);
}

TEST(DisplayGeometry, OnePointPerColumnAndMergedColumns) {
    DisplayBlock b;
    const auto many = MapColumns(kPlot, 16384, b);
    ASSERT_EQ(many.x.size(), 800u);
    for (std::size_t j = 0; j < many.x.size(); ++j) ASSERT_EQ(many.x[j], static_cast<int>(j));
    EXPECT_EQ(many.sample[1], 21);  // the first sample reaching column 1
    EXPECT_EQ(XToSample(kPlot, 16384, b, 1), 21);

    const auto few = MapColumns(kPlot, 101, b);
    ASSERT_EQ(few.x.size(), 101u);
    EXPECT_EQ(few.x[100], 800);
    EXPECT_EQ(few.x[1], 8);

    // Compressed to a tenth, 101 samples fall on 81 columns: one point each.
    b.hScale = 0.1f;
    const auto merged = MapColumns(kPlot, 101, b);
    EXPECT_EQ(merged.x.size(), 81u);
    EXPECT_EQ(merged.sample[1], 2);  // sample 1 shares column 0 with sample 0

    // Zoomed in, the stretched columns are sampled rather than spread out.
    DisplayBlock zoom;
    zoom.hScale = 4.0f;
    const auto detail = MapColumns(kPlot, 16384, zoom);
    EXPECT_GT(detail.x.size(), 3000u);
    EXPECT_LE(detail.x.size(), 3200u);
    EXPECT_NEAR(XToSample(kPlot, 16384, zoom, SampleX(kPlot, 16384, zoom, 5000)), 5000, 6);
}

TEST(DisplayGeometry, VerticalMapping) {
    DisplayBlock b;
    const auto m = MakeVerticalMap(kPlot, -1.0f, 1.0f, b);
    EXPECT_EQ(m.Y(1.0), 0);
    EXPECT_EQ(m.Y(-1.0), 200);
    EXPECT_EQ(m.Y(0.0), 100);
    b.vFactor = 2.0f;  // a larger factor shows the waveform smaller
    EXPECT_EQ(MakeVerticalMap(kPlot, -1.0f, 1.0f, b).Y(1.0), 50);
    // A flat range or a non-finite value stays on screen.
    const auto flat = MakeVerticalMap(kPlot, 0.0f, 0.0f, DisplayBlock{});
    EXPECT_EQ(flat.Y(5.0), 100);
    EXPECT_EQ(m.Y(-std::numeric_limits<double>::infinity()), 200);
}

TEST(DisplayGeometry, FillSplitsAtTheZeroLine) {
    const std::vector<DisplayPoint> pts{{0, 50}, {10, 150}, {20, 50}, {30, 40}};
    const auto pos = FillPolygons(pts, 100, 1);
    ASSERT_EQ(pos.size(), 2u);
    EXPECT_EQ(pos[0], (std::vector<DisplayPoint>{{0, 100}, {0, 50}, {5, 100}}));
    EXPECT_EQ(pos[1], (std::vector<DisplayPoint>{{15, 100}, {20, 50}, {30, 40}, {30, 100}}));
    const auto neg = FillPolygons(pts, 100, 2);
    ASSERT_EQ(neg.size(), 1u);
    EXPECT_EQ(neg[0], (std::vector<DisplayPoint>{{5, 100}, {10, 150}, {15, 100}}));
    EXPECT_TRUE(FillPolygons(pts, 100, 0).empty());
}

TEST(DisplayGeometry, PeakRule) {
    const std::vector<float> v{0.0f, 1.0f, 2.0f, 1.0f, -1.0f, -3.0f, -1.0f, 0.5f, 0.5f};
    EXPECT_TRUE(IsPeak(v, 2));   // positive maximum
    EXPECT_TRUE(IsPeak(v, 5));   // negative minimum
    EXPECT_FALSE(IsPeak(v, 1));
    EXPECT_FALSE(IsPeak(v, 0));  // the ends never are
    EXPECT_FALSE(IsPeak(v, 8));
    // A flat top counts once; values equal after rounding to two decimals.
    const std::vector<float> flat{0.0f, 1.0f, 2.001f, 2.0f, 1.999f, 1.0f};
    EXPECT_TRUE(IsPeak(flat, 3));
    EXPECT_TRUE(IsPeak(flat, 2));
    // A maximum of a negative stretch is no peak, nor is a minimum of a positive one.
    const std::vector<float> wrong{-3.0f, -1.0f, -3.0f, 3.0f, 1.0f, 3.0f};
    EXPECT_FALSE(IsPeak(wrong, 1));
    EXPECT_FALSE(IsPeak(wrong, 4));
    // A zero between positive values takes their sign and is no maximum.
    const std::vector<float> zero{1.0f, 0.0f, 1.0f};
    EXPECT_FALSE(IsPeak(zero, 1));
}

}  // namespace
}  // namespace tav
