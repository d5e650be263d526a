// Signal matching pictures beside the curve pictures: in the picture export
// each chosen test point's fitted profile follows its curve picture, and in
// the word-processor report it follows the test point's curve figure. The
// fits take a while, so they are made first, all together, with progress and
// a cancel flag; a test point that cannot be fitted gets no picture and is
// named afterwards with the reason.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "analysis/signal_match.hpp"
#include "model/test_point.hpp"
#include "output/picture_export.hpp"

namespace tav {

class CTAV_AnalyserDoc;

// The fits of some test points, by their index in the project.
struct PointFits {
    std::map<std::int32_t, MatchResult> results;
    bool cancelled = false;  // stopped before every test point was fitted

    // The fit of a test point when it succeeded; null otherwise.
    const MatchResult* Fitted(std::int32_t index) const;
    // The test points tried that could not be fitted, in index order.
    std::vector<std::int32_t> Unfitted() const;
};

// Copies of the test points to fit, so that the fits may run on another
// thread while the project stays the window's: each distinct index of the
// list once, in list order, indices outside the project left out.
struct PointsToFit {
    std::vector<std::int32_t> indices;
    std::vector<TestPoint> points;
};
PointsToFit CopyPointsToFit(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> indices);

// Overall share done (0..1) and the test point being fitted.
using FitProgress = std::function<void(double share, std::int32_t index)>;

// Fits the test points in turn. options.cancel stops the run: the fit under
// way ends as cancelled and the rest are not tried. options.progress is replaced.
PointFits FitPoints(const PointsToFit& todo, MatchOptions options, const FitProgress& progress = {});

// "以下测点未能信号拟合，没有拟合图：" and one line "<pile> No.<ordinal>：<reason>"
// per test point that could not be fitted; empty when all were.
std::string UnfittedSummary(const CTAV_AnalyserDoc& doc, const PointFits& fits);

// The test points whose signal matching pictures the items ask for, each
// once, in item order: an item's own test point, or for a stacked picture
// the test points it shows (stackedPoints).
std::vector<std::int32_t> MatchPicturePoints(std::span<const PictureItem> items,
                                             std::span<const std::int32_t> stackedPoints);

// The items with each test point's signal matching picture inserted after
// its curve picture (after the stacked picture, for the test points it
// shows), for the test points that have a fit. A matching picture is named
// after its curve picture with "_拟合" and captioned with " 信号拟合" added.
std::vector<PictureItem> WithMatchPictures(const CTAV_AnalyserDoc& doc, std::span<const PictureItem> items,
                                           std::span<const std::int32_t> stackedPoints, const PointFits& fits);

// The size of a matching picture beside curve pictures of the given size:
// as wide, and tall enough for the curves over the profile (three fifths of
// the width at least).
PictureSize MatchPictureSize(PictureSize curve);

// The report's caption under a test point's matching picture:
// "图3.4-n附  <pile>桩信号拟合及桩身阻抗剖面图".
std::string MatchReportCaption(int number, std::string_view pileNo);

}  // namespace tav
