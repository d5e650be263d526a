// The report's curve pictures: each checked test point drawn as the picture
// export draws it, 580 x 200 pixels, as a BMP file.
#pragma once

#include "output/report_writer.hpp"
#include "render/picture_drawing.hpp"

namespace tav::render {

inline constexpr PictureSize kReportPictureSize{580, 200};

// Draws from the document as it is when called; the document must outlive the source.
ReportPictureSource MakeReportPictureSource(const CTAV_AnalyserDoc& doc, PointPictureOptions options);

}  // namespace tav::render
