#include "output/match_pictures.hpp"

#include <gtest/gtest.h>

#include <atomic>

#include "model/document.hpp"
#include "synth/site_builder.hpp"

namespace tav {
namespace {

// Piles P1 (two test points) and P2; test point 1 has no head marked, so it cannot be fitted.
void BuildSite(CTAV_AnalyserDoc& doc) {
    synth::SiteOptions o;
    o.piles = 2;
    o.pointsPerPile = 2;
    o.seed = 5;
    std::vector<synth::TruthPoint> truth;
    ASSERT_EQ(synth::BuildSite(o, doc, truth), "");
    doc.points[1].headValid = 0;
}

MatchOptions Unhurried() {
    MatchOptions options;
    options.timeLimit = 3600.0;  // sanitizer builds run the model many times slower
    return options;
}

TEST(MatchPictures, EachFittedTestPointsPictureFollowsItsCurveAndTheOthersAreNamed) {
    CTAV_AnalyserDoc doc;
    BuildSite(doc);
    for (auto& tp : doc.points) tp.checked = 1;
    doc.RebuildCheckedList();
    const auto curves = CheckedPictureItems(doc);
    ASSERT_EQ(curves.size(), 4u);

    const auto points = MatchPicturePoints(curves, {});
    EXPECT_EQ(points, (std::vector<std::int32_t>{0, 1, 2, 3}));
    std::vector<double> shares;
    const auto fits = FitPoints(CopyPointsToFit(doc, points), Unhurried(),
                                [&](double share, std::int32_t) { shares.push_back(share); });
    EXPECT_FALSE(fits.cancelled);
    EXPECT_EQ(fits.Unfitted(), std::vector<std::int32_t>{1});
    ASSERT_NE(fits.Fitted(0), nullptr);
    EXPECT_EQ(fits.Fitted(1), nullptr);
    ASSERT_FALSE(shares.empty());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);

    const auto items = WithMatchPictures(doc, curves, {}, fits);
    ASSERT_EQ(items.size(), 7u);
    const std::vector<std::string> stems{"P1No.1", "P1No.1_拟合", "P1No.2", "P2No.1", "P2No.1_拟合", "P2No.2",
                                         "P2No.2_拟合"};
    for (std::size_t k = 0; k < items.size(); ++k) {
        EXPECT_EQ(items[k].fileStem, stems[k]) << k;
        EXPECT_EQ(items[k].match, stems[k].ends_with("_拟合")) << k;
    }
    EXPECT_EQ(items[1].pointIndex, 0);
    EXPECT_EQ(items[1].caption, "NO1：P1 信号拟合");
    EXPECT_TRUE(items[1].label.empty());
    // Without fits, the list is the curves' list as it was.
    const auto plain = WithMatchPictures(doc, curves, {}, PointFits{});
    ASSERT_EQ(plain.size(), curves.size());
    for (std::size_t k = 0; k < plain.size(); ++k) EXPECT_EQ(plain[k].fileStem, curves[k].fileStem);

    EXPECT_EQ(UnfittedSummary(doc, fits),
              "以下测点未能信号拟合，没有拟合图：\nP1 No.2：未标定桩头或桩头在记录之外，无法拟合");
    EXPECT_EQ(UnfittedSummary(doc, PointFits{}), "");
}

TEST(MatchPictures, AStackedPictureIsFollowedByTheTestPointsItShowsEachOnce) {
    CTAV_AnalyserDoc doc;
    BuildSite(doc);
    const std::vector<std::int32_t> shown{3, 0, 3, 9};  // a repeat, and an index outside the project
    const auto stacked = DisplayPictureItems(doc, shown, true);
    ASSERT_EQ(stacked.size(), 1u);
    EXPECT_EQ(MatchPicturePoints(stacked, shown), (std::vector<std::int32_t>{3, 0, 9}));
    const auto todo = CopyPointsToFit(doc, MatchPicturePoints(stacked, shown));
    EXPECT_EQ(todo.indices, (std::vector<std::int32_t>{3, 0}));
    const auto fits = FitPoints(todo, Unhurried());
    const auto items = WithMatchPictures(doc, stacked, shown, fits);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].stacked);
    EXPECT_EQ(items[1].fileStem, "P2No.2_拟合");
    EXPECT_EQ(items[1].caption, "NO4：P2 信号拟合");
    EXPECT_FALSE(items[1].stacked);
    EXPECT_EQ(items[2].pointIndex, 0);
}

TEST(MatchPictures, ACancelStopsTheRunAndSaysSo) {
    CTAV_AnalyserDoc doc;
    BuildSite(doc);
    std::atomic<int> cancel{1};
    MatchOptions options = Unhurried();
    options.cancel = &cancel;
    const auto fits = FitPoints(CopyPointsToFit(doc, std::vector<std::int32_t>{0, 2}), options);
    EXPECT_TRUE(fits.cancelled);
    EXPECT_TRUE(fits.results.empty());

    // Cancelled during the second fit: the first is kept, the second is not counted as unfitted.
    cancel = 0;
    int calls = 0;
    const auto partly = FitPoints(CopyPointsToFit(doc, std::vector<std::int32_t>{0, 2}), options,
                                  [&](double share, std::int32_t index) {
                                      if (index == 2 && share > 0.5) cancel = 1;
                                      ++calls;
                                  });
    EXPECT_TRUE(partly.cancelled);
    EXPECT_NE(partly.Fitted(0), nullptr);
    EXPECT_TRUE(partly.Unfitted().empty());
    EXPECT_GT(calls, 2);
}

TEST(MatchPictures, MatchPicturesAreTallEnoughForCurvesAndProfileWithinTheLimits) {
    EXPECT_EQ(MatchPictureSize({530, 200}), (PictureSize{530, 318}));
    EXPECT_EQ(MatchPictureSize({530, 400}), (PictureSize{530, 400}));
    const auto wide = MatchPictureSize({10000, 200});
    EXPECT_EQ(CheckPictureSize(wide), "");
    EXPECT_EQ(MatchReportCaption(3, "A-1"), "图3.4-3附  A-1桩信号拟合及桩身阻抗剖面图");
}

}  // namespace
}  // namespace tav
