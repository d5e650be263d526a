#include "render/point_pictures.hpp"

#include <utility>

#include "output/report_content.hpp"
#include "render/match_picture.hpp"
#include "render/report_pictures.hpp"

namespace tav::render {

PointPictures::PointPictures(const CTAV_AnalyserDoc& doc, PointPictureOptions drawing)
    : doc_(doc), drawing_(std::move(drawing)) {}

bool PointPictures::Fit(std::span<const std::int32_t> points, const PictureFitter& fit) {
    auto made = fit(points);
    if (!made) return false;
    fits_ = std::move(*made);
    return true;
}

bool PointPictures::AddMatchPictures(std::vector<PictureItem>& items, std::span<const std::int32_t> stackedPoints,
                                     const PictureFitter& fit) {
    if (!Fit(MatchPicturePoints(items, stackedPoints), fit)) return false;
    items = WithMatchPictures(doc_, items, stackedPoints, fits_);
    return true;
}

PictureEncoder PointPictures::Encoder(PictureSize size, std::int32_t formatIndex, CurveDrawer draw) const {
    PictureEncoder curves = [this, size, formatIndex,
                             draw = std::move(draw)](const PictureItem& item) -> std::optional<EncodedPicture> {
        if (!PictureFormatWritten(formatIndex)) return std::nullopt;
        const QImage image = draw ? draw(item) : DrawPointPicture(doc_, item.pointIndex, size, drawing_);
        if (image.isNull()) return std::nullopt;
        return EncodePicture(image, formatIndex);
    };
    return WithMatchPictureEncoder(doc_, fits_, size, formatIndex, std::move(curves));
}

bool PointPictures::FillReport(ReportDataRequest& request, const PictureFitter& fit) {
    request.pictures = MakeReportPictureSource(doc_, drawing_);
    if (!fit) return true;
    if (!Fit(ReportWalk(doc_, request.checked), fit)) return false;
    AddReportMatchPictures(request, doc_, fits_);
    return true;
}

std::string PointPictures::UnfittedSummary() const {
    return tav::UnfittedSummary(doc_, fits_);
}

}  // namespace tav::render
