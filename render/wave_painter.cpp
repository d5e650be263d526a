#include "render/wave_painter.hpp"

#include <QPolygon>
#include <algorithm>
#include <optional>
#include <QStaticText>
#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

namespace tav::render {

namespace {

QColor Rgb(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }
QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// Laid-out texts by font and content: the labels of a display repeat from
// one repaint to the next, and laying a text out costs far more than drawing
// it. Bounded, as the readouts keep making new texts.
class StaticTextCache {
public:
    struct Laid {
        QStaticText text;
        int advance = 0;
    };
    const Laid& Get(const QFont& font, const std::string& text) {
        Use(font);
        auto it = texts_.find(text);
        if (it == texts_.end()) {
            if (texts_.size() >= kMaxTexts) texts_.clear();
            const QString s = Text(text);
            Laid laid{QStaticText(s), metrics_->horizontalAdvance(s)};
            laid.text.setTextFormat(Qt::PlainText);
            laid.text.setPerformanceHint(QStaticText::AggressiveCaching);
            laid.text.prepare(QTransform(), font);
            it = texts_.emplace(text, std::move(laid)).first;
        }
        return it->second;
    }
    int LineHeight(const QFont& font) {
        Use(font);
        return lineHeight_;
    }

private:
    void Use(const QFont& font) {
        if (metrics_ && font == font_) return;
        texts_.clear();
        font_ = font;
        metrics_.emplace(font);
        lineHeight_ = metrics_->height();
    }

    static constexpr std::size_t kMaxTexts = 4096;
    QFont font_;
    std::optional<QFontMetrics> metrics_;
    int lineHeight_ = 0;
    std::unordered_map<std::string, Laid> texts_;
};

StaticTextCache& Cache() {
    thread_local StaticTextCache cache;
    return cache;
}

void DrawTextTop(QPainter& p, int x, int y, const std::string& text) {
    if (text.empty()) return;
    p.drawStaticText(QPointF(x, y), Cache().Get(p.font(), text).text);
}

int TextAdvance(QPainter& p, const std::string& text) { return Cache().Get(p.font(), text).advance; }

// Axis-aligned solid lines one pixel wide as filled rectangles, the
// cheapest thing the raster engine draws.
void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
    if (x1 >= x0) p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
}
void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {
    if (y1 >= y0) p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), c);
}

QPolygon ToPolygon(const std::vector<DisplayPoint>& pts) {
    QPolygon poly(static_cast<qsizetype>(pts.size()));
    QPoint* out = poly.data();
    for (const auto& pt : pts) *out++ = QPoint(pt.x, pt.y);
    return poly;
}

QColor ItemColour(ItemKind kind) {
    switch (kind) {
        case ItemKind::Head: return QColor(0, 128, 0);
        case ItemKind::Toe: return QColor(128, 0, 128);
        case ItemKind::Defect: return QColor(220, 0, 0);
        default: return QColor(200, 0, 200);
    }
}

// The readout box beside the moving cursor: right of it where it fits, at the
// plot's top or bottom, whichever covers fewer points of the curve.
QRect ReadoutBox(const DisplayEntry& e, int x, int width, int height) {
    QRect top(x + 8, e.plot.top + 2, width, height);
    if (top.right() > e.plot.right) top.moveRight(x - 8);
    QRect bottom = top;
    bottom.moveBottom(e.plot.bottom - 3);
    const auto covered = [&e](const QRect& box) {
        return std::count_if(e.points.begin(), e.points.end(), [&box](const DisplayPoint& pt) { return box.contains(pt.x, pt.y); });
    };
    return covered(bottom) < covered(top) ? bottom : top;
}

}  // namespace

void DrawTextAt(QPainter& painter, int x, int top, const std::string& utf8) { DrawTextTop(painter, x, top, utf8); }

int FontTextMeasure::Width(std::string_view utf8) const {
    return metrics_.horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void PaintEntry(QPainter& p, const DisplayEntry& e, bool current, std::int32_t spectrumStyle) {
    const QRect plot(e.plot.left, e.plot.top, e.plot.Width(), e.plot.Height());
    if (current) p.fillRect(QRect(e.rect.left, e.rect.top, e.rect.Width(), e.rect.Height()), QColor(240, 246, 255));
    HLine(p, e.rect.left, e.rect.right, e.rect.bottom - 1, QColor(160, 160, 160));

    p.setPen(Qt::black);
    DrawTextTop(p, e.plot.left, e.rect.top + 2, e.caption);
    for (const auto& t : e.annotation) DrawTextTop(p, t.x, t.y, t.text);
    for (const auto& t : e.vLabels) DrawTextTop(p, t.x, t.y, t.text);
    for (const auto& t : e.hLabels) DrawTextTop(p, t.x, t.y, t.text);
    const int lh = Cache().LineHeight(p.font());
    DrawTextTop(p, e.plot.left - TextAdvance(p, e.vUnit) - 3, e.plot.top - lh, e.vUnit);
    if (!e.hUnit.empty()) DrawTextTop(p, e.plot.right - TextAdvance(p, e.hUnit), e.plot.bottom + 2, e.hUnit);

    const QColor frame(128, 128, 128);
    HLine(p, e.plot.left, e.plot.right - 1, e.plot.top, frame);
    HLine(p, e.plot.left, e.plot.right - 1, e.plot.bottom - 1, frame);
    VLine(p, e.plot.left, e.plot.top, e.plot.bottom - 1, frame);
    VLine(p, e.plot.right - 1, e.plot.top, e.plot.bottom - 1, frame);
    p.save();
    p.setClipRect(plot, Qt::IntersectClip);
    // A solid pale zero line: a dotted one costs as much as the curve itself.
    HLine(p, e.plot.left, e.plot.right, e.zeroY, QColor(215, 215, 215));

    const QColor fill = Rgb(kFillColour);
    if (e.fillAllowed && (e.block.fillMode == 1 || e.block.fillMode == 2)) {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        for (const auto& poly : FillPolygons(e.points, e.zeroY, e.block.fillMode)) p.drawPolygon(ToPolygon(poly));
        p.setBrush(Qt::NoBrush);
    }
    if (e.kind == kKindSpectrum && spectrumStyle == 0) {
        p.setPen(fill);
        // One call for all spectral lines: a page device then strokes them as one path.
        std::vector<QLine> lines;
        lines.reserve(e.points.size());
        for (const auto& pt : e.points) lines.emplace_back(pt.x, e.plot.bottom - 1, pt.x, pt.y);
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    } else {
        p.setPen(QPen(Qt::black, 0));
        p.drawPolyline(ToPolygon(e.points));
    }

    for (const auto& item : e.items) {
        if (item.kind == ItemKind::Mark) {
            p.setPen(QPen(ItemColour(item.kind), 0, Qt::DashLine));
            p.drawLine(item.x, e.plot.top, item.x, e.plot.bottom - 1);
        } else {
            VLine(p, item.x, e.plot.top, e.plot.bottom - 1, ItemColour(item.kind));
        }
        p.setPen(ItemColour(item.kind));
        DrawTextTop(p, item.x + 2, e.plot.top + 1, item.label);
        if (!item.note.empty()) DrawTextTop(p, item.x + 2, e.plot.top + 1 + lh, item.note);
    }
    p.restore();
}

void PaintDisplay(QPainter& p, const QRect& target, const WaveDisplayModel& model, const PaintOptions& options) {
    p.save();
    p.setClipRect(target);
    if (options.background) p.fillRect(target, Qt::white);
    p.translate(target.left(), target.top() - options.scrollY);
    const auto& entries = model.Entries();
    const int top = options.scrollY;
    const int bottom = options.scrollY + target.height();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto& e = entries[k];
        if (e.rect.bottom < top || e.rect.top > bottom) continue;
        PaintEntry(p, e, static_cast<int>(k) == model.CurrentEntry(), e.block.spectrumStyle);
    }

    // The item being moved, at its preview place.
    const auto& sel = model.Selection();
    if (const auto* item = model.SelectedItem()) {
        const auto& e = entries[static_cast<std::size_t>(sel.entry)];
        const int x = model.SampleToPixel(sel.entry, sel.preview);
        p.setPen(QPen(ItemColour(item->kind), 2));
        p.drawLine(x, e.plot.top, x, e.plot.bottom - 1);
    }

    if (options.cursors) {
        const auto& mv = model.Moving();
        // The readout's background goes under the curve: the entry is drawn
        // again inside the box, so the readout never hides part of the trace.
        std::vector<std::string> readout;
        QRect box;
        if (mv.valid && model.options.readoutShown) {
            readout = model.MovingReadout();
            const auto& e = entries[static_cast<std::size_t>(mv.entry)];
            const int lh = p.fontMetrics().height();
            int w = 0;
            for (const auto& l : readout) w = std::max(w, TextAdvance(p, l));
            box = ReadoutBox(e, model.SampleToPixel(mv.entry, mv.sample), w + 8, lh * static_cast<int>(readout.size()) + 4);
            p.fillRect(box, QColor(255, 255, 225));
            p.setPen(Rgb(model.MarkerColour()));
            p.drawRect(box.adjusted(0, 0, -1, -1));
            p.save();
            p.setClipRect(box, Qt::IntersectClip);
            PaintEntry(p, e, false, e.block.spectrumStyle);
            p.restore();
        }
        const auto& st = model.Static();
        if (st.valid) {
            const auto& e = entries[static_cast<std::size_t>(st.entry)];
            const int x = model.SampleToPixel(st.entry, st.sample);
            p.setPen(QPen(QColor(0, 0, 255), 0, Qt::DashDotLine));
            p.drawLine(x, e.plot.top, x, e.plot.bottom - 1);
        }
        if (mv.valid) {
            const auto& e = entries[static_cast<std::size_t>(mv.entry)];
            const int x = model.SampleToPixel(mv.entry, mv.sample);
            const auto vmap = MakeVerticalMap(e.plot, e.copy.lastParams.viewMin, e.copy.lastParams.viewMax, e.block);
            const int y = vmap.Y(e.ValueAt(mv.sample));
            p.setPen(QPen(QColor(90, 90, 90), 0));
            p.drawLine(x, e.plot.top, x, e.plot.bottom - 1);
            if (model.options.cursorStyle != 2) p.drawLine(e.plot.left, y, e.plot.right - 1, y);
            p.fillRect(QRect(x - 3, y - 3, 7, 7), Rgb(model.MarkerColour()));
            p.setPen(Qt::black);
            int ly = box.top() + 2;
            for (const auto& l : readout) {
                DrawTextTop(p, box.left() + 4, ly, l);
                ly += p.fontMetrics().height();
            }
        }
    }
    p.restore();
}

}  // namespace tav::render
