// The word-processor report's first half: the report data file of the
// checked test points, written in the order the report library reads it
// (the project facts, the results table, the counts and conclusion, then each
// curve picture with its caption). The pictures are drawn by the caller
// (the painter lives above the core) and kept as "TAV<n>.bmp" files beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "output/report_content.hpp"

namespace tav {

class CTAV_AnalyserDoc;

// The curve picture of a test point as a BMP file; nothing when it cannot be drawn.
using ReportPictureSource = std::function<std::optional<std::vector<std::uint8_t>>(std::int32_t index)>;

struct ReportDataRequest {
    std::span<const std::int32_t> checked;
    ReportFields facts;               // UTF-8; texts the code page lacks become '?'
    std::string templatePath;         // without its extension
    ReportPictureSource pictures;     // empty: no analysis view, no pictures
    std::string pictureFolder;        // where "TAV<n>.bmp" go; empty: no files
    std::function<void()> pictureDone;  // after each picture (progress)
    // Signal matching pictures: for each test point of matchPoints, its
    // profile picture (BMP) follows its curve picture, captioned
    // "图3.4-n附  <pile>桩信号拟合及桩身阻抗剖面图", and the picture set counts
    // it. Empty: none, and the data file is what it is without them.
    ReportPictureSource matchPictures;
    std::vector<std::int32_t> matchPoints;
};

struct ReportDataResult {
    int pictures = 0;  // curve and signal matching pictures
    int progressTotal = 0;  // what the report library counts up to: 39 + 2 x pictures
};

// Writes the data file atomically. false with a Chinese reason when it cannot
// be written or a picture cannot be drawn.
bool WriteReportDataFile(const std::string& path, const CTAV_AnalyserDoc& doc, const ReportDataRequest& request,
                         ReportDataResult* result = nullptr, std::string* error = nullptr);

// The entries before the pictures, and the progress steps of each picture.
inline constexpr int kReportFixedEntries = 39;
inline constexpr int kReportStepsPerPicture = 2;

}  // namespace tav
