// The report's curve pictures: each checked test point drawn as the picture
// export draws it, 580 x 200 pixels, as a BMP file; and, when asked for, its
// signal matching picture as wide, for the curves over the profile.
#pragma once

#include "output/match_pictures.hpp"
#include "output/report_writer.hpp"
#include "render/picture_drawing.hpp"

namespace tav::render {

inline constexpr PictureSize kReportPictureSize{580, 200};

// Draws from the document as it is when called; the document must outlive the source.
ReportPictureSource MakeReportPictureSource(const CTAV_AnalyserDoc& doc, PointPictureOptions options);

// The matching pictures of the test points fitted in fits (both must outlive the source).
ReportPictureSource MakeReportMatchPictureSource(const CTAV_AnalyserDoc& doc, const PointFits& fits);

// The request's matching pictures and the test points that have one, from fits.
void AddReportMatchPictures(ReportDataRequest& request, const CTAV_AnalyserDoc& doc, const PointFits& fits);

}  // namespace tav::render
