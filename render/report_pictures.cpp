#include "render/report_pictures.hpp"

namespace tav::render {

ReportPictureSource MakeReportPictureSource(const CTAV_AnalyserDoc& doc, PointPictureOptions options) {
    return [&doc, options = std::move(options)](std::int32_t index) {
        return PointPictureFile(doc, index, kReportPictureSize, kPictureBmp, options);
    };
}

}  // namespace tav::render
