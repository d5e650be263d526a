// Pictures of test points with their signal matching fits, put together here
// for everyone who makes them: the picture export (the window's dialog and
// `tavtool render`) and the word-processor report (the window's and `tavtool
// report`). Each chosen test point's curve picture and, when asked for, after
// it the picture of its fitted profile. The fits are made first, all
// together, by the caller's fitter, which shows their progress its own way (a
// dialog that can be cancelled, a count on a terminal); a test point that
// cannot be fitted gets no matching picture and is named by UnfittedSummary().
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "output/match_pictures.hpp"
#include "output/picture_export.hpp"
#include "output/report_writer.hpp"
#include "render/picture_drawing.hpp"

namespace tav::render {

// Fits the test points given; nothing when the user cancelled.
using PictureFitter = std::function<std::optional<PointFits>(std::span<const std::int32_t> points)>;

// Draws a curve item otherwise than as a checked test point (the display
// area's pictures); a null image when it cannot.
using CurveDrawer = std::function<QImage(const PictureItem& item)>;

class PointPictures {
public:
    // drawing: how the test points' curves are drawn. The document must outlive this.
    explicit PointPictures(const CTAV_AnalyserDoc& doc, PointPictureOptions drawing = {});
    // The encoders and picture sources handed out refer to this object.
    PointPictures(const PointPictures&) = delete;
    PointPictures& operator=(const PointPictures&) = delete;

    // ---- the picture export

    // Fits the test points the items show (stackedPoints: those of a stacked
    // picture) and inserts each fitted one's matching picture after its curve
    // picture; false, with the items unchanged, when the fits were cancelled.
    bool AddMatchPictures(std::vector<PictureItem>& items, std::span<const std::int32_t> stackedPoints,
                          const PictureFitter& fit);

    // Encodes the items in one of the export's formats: a curve item drawn at
    // size (by draw when given, else as the checked test point), a matching
    // item from its test point's fit at MatchPictureSize(size).
    PictureEncoder Encoder(PictureSize size, std::int32_t formatIndex, CurveDrawer draw = {}) const;

    // ---- the word-processor report

    // Sets the request's curve pictures (kReportPictureSize, BMP) and, with a
    // fitter, fits the test points the report walks through its checked ones
    // and adds their matching pictures; false when the fits were cancelled.
    bool FillReport(ReportDataRequest& request, const PictureFitter& fit = {});

    // ----

    // "以下测点未能信号拟合，没有拟合图：" and the test points that could not be
    // fitted; empty when all were (or nothing was fitted).
    std::string UnfittedSummary() const;

private:
    bool Fit(std::span<const std::int32_t> points, const PictureFitter& fit);

    const CTAV_AnalyserDoc& doc_;
    PointPictureOptions drawing_;
    PointFits fits_;
};

}  // namespace tav::render
