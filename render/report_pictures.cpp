#include "render/report_pictures.hpp"

#include "render/match_picture.hpp"

namespace tav::render {

ReportPictureSource MakeReportPictureSource(const CTAV_AnalyserDoc& doc, PointPictureOptions options) {
    return [&doc, options = std::move(options)](std::int32_t index) {
        return PointPictureFile(doc, index, kReportPictureSize, kPictureBmp, options);
    };
}

ReportPictureSource MakeReportMatchPictureSource(const CTAV_AnalyserDoc& doc, const PointFits& fits) {
    return [&doc, &fits](std::int32_t index) -> std::optional<std::vector<std::uint8_t>> {
        auto picture = MatchPictureFile(doc, fits, index, MatchPictureSize(kReportPictureSize), kPictureBmp);
        if (!picture) return std::nullopt;
        return std::move(picture->bytes);
    };
}

void AddReportMatchPictures(ReportDataRequest& request, const CTAV_AnalyserDoc& doc, const PointFits& fits) {
    request.matchPictures = MakeReportMatchPictureSource(doc, fits);
    request.matchPoints.clear();
    for (const auto& [index, result] : fits.results)
        if (result.ok()) request.matchPoints.push_back(index);
}

}  // namespace tav::render
