// Waveform pictures drawn off screen: the display model laid out at the
// picture's size and painted onto a white QImage by the same painter as the
// window. Used by the picture export, `tavtool render` and the report's curve
// pictures. Needs a QGuiApplication (for fonts); tavtool makes one on the
// offscreen platform.
#pragma once

#include <QFont>
#include <QImage>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "output/bitmap.hpp"
#include "output/picture_export.hpp"

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::render {

// The font of pictures: the installed Chinese sans family at 12 pixels.
QFont PictureFont();

struct PointPictureOptions {
    // The annotation column's items, as the display settings choose them.
    std::vector<std::int32_t> annotationItems = DisplayOptions{}.annotationItems;
    QFont font = PictureFont();
};

// Test point `index` as the export draws a checked test point: its
// time-domain waveform filling a white picture of the given size, captioned
// "<pile number> No.<ordinal>". An index outside the project or a size that
// CheckPictureSize refuses gives a null image. plot, when given, receives the
// curve's area in picture pixels.
QImage DrawPointPicture(const CTAV_AnalyserDoc& doc, std::int32_t index, PictureSize size,
                        const PointPictureOptions& options = {}, DisplayRect* plot = nullptr);

// The same picture as file bytes in the export's formats (BMP, JPEG at
// quality 100, PNG); nothing when it cannot be drawn.
std::optional<std::vector<std::uint8_t>> PointPictureFile(const CTAV_AnalyserDoc& doc, std::int32_t index,
                                                          PictureSize size, std::int32_t formatIndex,
                                                          const PointPictureOptions& options = {});

// The display area's pictures, drawn as on screen: a copy of the window's
// model with every entry laid out. `font` must be the font the model was
// measured with.
class DisplayPictures {
public:
    DisplayPictures(const WaveDisplayModel& model, const QFont& font);
    bool Stacked() const { return stacked_; }
    // Each shown test point (a stacked display draws them as one picture).
    std::vector<std::int32_t> EntryPoints() const;
    // The first trace's size, or the width and all traces' heights when stacked;
    // nothing when the display shows no entry.
    std::optional<PictureSize> OnScreenSize() const;
    std::vector<PictureItem> Items(const CTAV_AnalyserDoc& doc) const;
    QImage Draw(const PictureItem& item) const;

private:
    WaveDisplayModel model_;
    QFont font_;
    bool stacked_ = false;
};

// The pixels of an image of format RGB32 as the writers take them.
BitmapView ViewOf(const QImage& image);
// An image as a file of the format; nothing with error set when it cannot be encoded.
std::optional<EncodedPicture> EncodePicture(const QImage& image, std::int32_t formatIndex, std::string* error = nullptr);

}  // namespace tav::render
