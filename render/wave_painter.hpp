// Draws the waveform display model with QPainter. The painter may belong to a
// widget, an image or a printed page; the model's page coordinates are
// translated so that page row `scrollY` lands on the top of `target`.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include "analysis/display/display_model.hpp"

namespace tav::render {

// Text extents of a font, for laying the model out on the device that draws it.
class FontTextMeasure : public TextMeasure {
public:
    explicit FontTextMeasure(const QFont& font) : metrics_(font) {}
    int Width(std::string_view utf8) const override;
    int LineHeight() const override { return metrics_.height(); }

private:
    QFontMetrics metrics_;
};

struct PaintOptions {
    int scrollY = 0;
    bool cursors = true;      // static and moving cursors with the readout box
    bool background = true;   // fill the target white first
};

void PaintDisplay(QPainter& painter, const QRect& target, const WaveDisplayModel& model, const PaintOptions& options = {});

// A text with its top-left corner at (x, top), laid out once and kept.
void DrawTextAt(QPainter& painter, int x, int top, const std::string& utf8);

// One entry alone (pictures, pages and the benchmark).
void PaintEntry(QPainter& painter, const DisplayEntry& entry, bool current, std::int32_t spectrumStyle);

}  // namespace tav::render
