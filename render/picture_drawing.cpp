#include "render/picture_drawing.hpp"

#include <QBuffer>
#include <QPainter>

#include "model/document.hpp"
#include "output/bmp_writer.hpp"
#include "output/jpeg_writer.hpp"
#include "render/font_choice.hpp"
#include "render/wave_painter.hpp"

namespace tav::render {

namespace {

constexpr int kPictureFontPixels = 12;

QImage WhiteImage(PictureSize size) {
    QImage image(size.width, size.height, QImage::Format_RGB32);
    if (!image.isNull()) image.fill(Qt::white);
    return image;
}

}  // namespace

QFont PictureFont() { return ChineseFontPixels(FontRole::Sans, kPictureFontPixels); }

QImage DrawPointPicture(const CTAV_AnalyserDoc& doc, std::int32_t index, PictureSize size,
                        const PointPictureOptions& options, DisplayRect* plot) {
    if (!doc.ValidIndex(index) || !CheckPictureSize(size).empty()) return {};
    // A project of this one test point, so that the display lays out exactly
    // it, and whatever the layout initialises stays out of the user's project.
    CTAV_AnalyserDoc one;
    one.header = doc.header;
    one.points.push_back(doc.points[static_cast<std::size_t>(index)]);
    one.SelectPoint(0);

    const FontTextMeasure measure(options.font);
    WaveDisplayModel model(one, measure);
    model.options.annotationItems = options.annotationItems;
    model.SetClientSize(size.width, size.height);
    model.SetEntryHeight(size.height);
    model.Rebuild();
    if (model.Entries().empty()) return {};
    DisplayEntry entry = model.Entries().front();
    entry.caption = PointPictureLabel(doc, index);
    if (plot) *plot = entry.plot;

    QImage image = WhiteImage(size);
    if (image.isNull()) return {};
    QPainter painter(&image);
    painter.setFont(options.font);
    PaintEntry(painter, entry, false, entry.block.spectrumStyle);
    return image;
}

std::optional<std::vector<std::uint8_t>> PointPictureFile(const CTAV_AnalyserDoc& doc, std::int32_t index,
                                                          PictureSize size, std::int32_t formatIndex,
                                                          const PointPictureOptions& options) {
    const QImage image = DrawPointPicture(doc, index, size, options);
    if (image.isNull()) return std::nullopt;
    auto encoded = EncodePicture(image, formatIndex);
    if (!encoded) return std::nullopt;
    return std::move(encoded->bytes);
}

DisplayPictures::DisplayPictures(const WaveDisplayModel& model, const QFont& font) : model_(model), font_(font) {
    // Every entry gets its points and texts, not only those near the window.
    model_.SetVisibleRows(0, std::max(model_.PageHeight(), 1));
    const auto points = EntryPoints();
    stacked_ = DisplayStacksPictures(model_.bar.analysisType, model_.bar.timeScope, points);
}

std::vector<std::int32_t> DisplayPictures::EntryPoints() const {
    std::vector<std::int32_t> points;
    for (const auto& e : model_.Entries()) points.push_back(e.pointIndex);
    return points;
}

std::optional<PictureSize> DisplayPictures::OnScreenSize() const {
    const auto& entries = model_.Entries();
    if (entries.empty()) return std::nullopt;
    const auto& first = entries.front().rect;
    if (!stacked_) return PictureSize{first.Width(), first.Height()};
    return PictureSize{first.Width(), first.Height() * static_cast<int>(entries.size())};
}

std::vector<PictureItem> DisplayPictures::Items(const CTAV_AnalyserDoc& doc) const {
    const auto points = EntryPoints();
    return DisplayPictureItems(doc, points, stacked_);
}

QImage DisplayPictures::Draw(const PictureItem& item) const {
    const auto& entries = model_.Entries();
    const auto size = OnScreenSize();
    if (!size || !CheckPictureSize(*size).empty()) return {};
    QImage image = WhiteImage(*size);
    if (image.isNull()) return {};
    QPainter painter(&image);
    painter.setFont(font_);
    if (item.stacked) {
        painter.translate(0, -entries.front().rect.top);
        for (const auto& e : entries) PaintEntry(painter, e, false, e.block.spectrumStyle);
        return image;
    }
    if (item.displayEntry < 0 || item.displayEntry >= static_cast<std::int32_t>(entries.size())) return {};
    const auto& e = entries[static_cast<std::size_t>(item.displayEntry)];
    painter.translate(-e.rect.left, -e.rect.top);
    PaintEntry(painter, e, false, e.block.spectrumStyle);
    return image;
}

BitmapView ViewOf(const QImage& image) {
    if (image.isNull() || image.format() != QImage::Format_RGB32) return {};
    return {image.width(), image.height(), 32, image.constBits(), image.bytesPerLine(), {}};
}

std::optional<EncodedPicture> EncodePicture(const QImage& source, std::int32_t formatIndex, std::string* error) {
    const QImage image = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    EncodedPicture out;
    out.width = image.width();
    out.height = image.height();
    switch (formatIndex) {
        case kPictureBmp: out.bytes = EncodeBmp(ViewOf(image)); break;
        case kPictureJpg: {
            auto bytes = EncodeJpeg(ViewOf(image), kJpegExportQuality, error);
            if (!bytes) return std::nullopt;
            out.bytes = std::move(*bytes);
            break;
        }
        case kPicturePng: {
            QByteArray data;
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG")) break;
            out.bytes.assign(data.begin(), data.end());
            break;
        }
        default: break;
    }
    if (out.bytes.empty()) {
        if (error && error->empty()) *error = "cannot encode the picture";
        return std::nullopt;
    }
    return out;
}

}  // namespace tav::render
