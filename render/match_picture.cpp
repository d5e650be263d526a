#include "render/match_picture.hpp"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/test_point.hpp"
#include "render/picture_drawing.hpp"

namespace tav::render {

namespace {

constexpr double kSoundBand = 0.05;   // ratios this near 1 are drawn as sound shaft
constexpr double kMaxDrawnRatio = 1.8;
const QColor kMeasuredColour(20, 20, 20);
const QColor kFittedColour(220, 40, 40);
const QColor kSoundColour(200, 200, 200);
const QColor kNeckColour(230, 120, 100);
const QColor kBulgeColour(100, 150, 230);

// 1, 2 or 5 times a power of ten, giving about `count` steps over span.
double NiceStep(double span, int count) {
    const double raw = std::max(span, 1e-9) / std::max(count, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (raw <= m * power) return m * power;
    return 10 * power;
}

struct DepthAxis {
    double from = 0, to = 1;  // m
    double left = 0, right = 1;  // px
    double X(double depth) const { return left + (depth - from) / (to - from) * (right - left); }
};

void PaintCurves(QPainter& painter, const QRectF& box, const DepthAxis& axis, const MatchResult& r) {
    double low = 0, high = 0;
    for (std::size_t i = 0; i < r.measured.size(); ++i) {
        low = std::min({low, r.measured[i], r.fitted[i]});
        high = std::max({high, r.measured[i], r.fitted[i]});
    }
    const double pad = 0.05 * std::max(high - low, 1e-9);
    low -= pad;
    high += pad;
    auto y = [&](double v) { return box.bottom() - (v - low) / (high - low) * box.height(); };
    painter.setPen(QPen(QColor(210, 210, 210), 1));
    painter.drawLine(QPointF(box.left(), y(0)), QPointF(box.right(), y(0)));
    painter.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
    for (const double depth : {0.0, r.pileLength})
        painter.drawLine(QPointF(axis.X(depth), box.top()), QPointF(axis.X(depth), box.bottom()));
    auto curve = [&](const std::vector<double>& values, const QColor& colour, double width) {
        QPainterPath path;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const QPointF point(axis.X(r.SampleDepth(static_cast<double>(r.windowStart) + static_cast<double>(i))), y(values[i]));
            if (i == 0) path.moveTo(point);
            else path.lineTo(point);
        }
        painter.setPen(QPen(colour, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    };
    curve(r.measured, kMeasuredColour, 1.0);
    curve(r.fitted, kFittedColour, 1.5);
    // Legend, top right.
    const QFontMetricsF metrics(painter.font());
    double x = box.right() - 4;
    for (const auto& [text, colour] : {std::pair{QStringLiteral("拟合"), kFittedColour}, std::pair{QStringLiteral("实测"), kMeasuredColour}}) {
        x -= metrics.horizontalAdvance(text);
        painter.setPen(colour);
        painter.drawText(QPointF(x, box.top() + metrics.ascent() + 2), text);
        x -= 22;
        painter.setPen(QPen(colour, 2));
        painter.drawLine(QPointF(x, box.top() + metrics.height() / 2 + 2), QPointF(x + 16, box.top() + metrics.height() / 2 + 2));
        x -= 10;
    }
    painter.setPen(QPen(QColor(120, 120, 120), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
}

void PaintProfile(QPainter& painter, const QRectF& box, const DepthAxis& axis, const MatchResult& r) {
    const QFontMetricsF metrics(painter.font());
    const double axisHeight = metrics.height() + 8;
    const QRectF band(box.left(), box.top(), box.width(), box.height() - axisHeight);
    const double middle = band.center().y();
    const double soundHalf = band.height() / 2 / kMaxDrawnRatio * 0.9;
    for (const auto& s : r.segments) {
        const double ratio = std::clamp(s.ratio, 0.05, kMaxDrawnRatio);
        const double half = soundHalf * ratio;
        const QRectF rect(QPointF(axis.X(s.top), middle - half), QPointF(axis.X(s.bottom), middle + half));
        const bool sound = std::fabs(s.ratio - 1.0) < kSoundBand;
        painter.setPen(Qt::NoPen);
        painter.setBrush(sound ? kSoundColour : s.ratio < 1.0 ? kNeckColour : kBulgeColour);
        painter.drawRect(rect);
    }
    // Ratios over the changed segments, the strongest changes first, none
    // written over another.
    std::vector<const MatchSegment*> changed;
    for (const auto& s : r.segments)
        if (std::fabs(s.ratio - 1.0) >= kSoundBand) changed.push_back(&s);
    std::sort(changed.begin(), changed.end(), [](const MatchSegment* a, const MatchSegment* b) {
        return std::fabs(std::log(a->ratio)) > std::fabs(std::log(b->ratio));
    });
    std::vector<QRectF> placed;
    painter.setPen(QColor(40, 40, 40));
    for (const auto* s : changed) {
        const QString label = QString::number(s->ratio, 'f', 2);
        const double w = metrics.horizontalAdvance(label);
        const double lift = soundHalf * std::max(1.0, std::clamp(s->ratio, 0.05, kMaxDrawnRatio)) + 3;
        const QRectF where(0.5 * (axis.X(s->top) + axis.X(s->bottom)) - w / 2, middle - lift - metrics.height(), w,
                           metrics.height());
        if (std::any_of(placed.begin(), placed.end(), [&](const QRectF& q) { return q.adjusted(-3, 0, 3, 0).intersects(where); }))
            continue;
        placed.push_back(where);
        painter.drawText(QPointF(where.left(), where.top() + metrics.ascent()), label);
    }
    // The outline, segment by segment, as one line along each side.
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(Qt::NoBrush);
    for (const double side : {-1.0, 1.0}) {
        QPainterPath path;
        bool first = true;
        for (const auto& s : r.segments) {
            const double yy = middle + side * soundHalf * std::clamp(s.ratio, 0.05, kMaxDrawnRatio);
            const QPointF a(axis.X(s.top), yy), b(axis.X(s.bottom), yy);
            if (first) path.moveTo(a);
            else path.lineTo(a);
            path.lineTo(b);
            first = false;
        }
        painter.drawPath(path);
    }
    if (!r.segments.empty()) {
        const auto& head = r.segments.front();
        const auto& toe = r.segments.back();
        painter.drawLine(QPointF(axis.X(0), middle - soundHalf * head.ratio), QPointF(axis.X(0), middle + soundHalf * head.ratio));
        painter.drawLine(QPointF(axis.X(r.pileLength), middle - soundHalf * toe.ratio),
                         QPointF(axis.X(r.pileLength), middle + soundHalf * toe.ratio));
    }
    // Depth axis.
    const double base = band.bottom() + 2;
    painter.drawLine(QPointF(axis.X(0), base), QPointF(axis.X(r.pileLength), base));
    const double step = NiceStep(r.pileLength, 8);
    for (double d = 0; d <= r.pileLength + 1e-9; d += step) {
        const double x = axis.X(d);
        painter.drawLine(QPointF(x, base), QPointF(x, base + 4));
        const QString label = QString::number(d, 'g', 4);
        painter.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2, base + 4 + metrics.ascent()), label);
    }
    const QString unit = QStringLiteral("深度(m)");
    painter.drawText(QPointF(box.left(), base + 4 + metrics.ascent()), unit);
}

}  // namespace

QString MatchCaption(const TestPoint& tp, const MatchResult& result) {
    QString caption = QString::fromStdString(Cp936ToUtf8(TextOf(tp.pileNo))) + QStringLiteral("  信号拟合");
    if (result.ok()) caption += QStringLiteral("  拟合质量 %1").arg(result.quality, 0, 'f', 3);
    return caption;
}

void PaintMatch(QPainter& painter, const QRect& area, const MatchResult& r, const QString& caption, const QFont& font) {
    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetricsF metrics(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(area.left() + 6, area.top() + metrics.ascent() + 4), caption);
    const double top = area.top() + metrics.height() + 10;
    if (!r.ok() || r.measured.empty()) {
        painter.drawText(QPointF(area.left() + 6, top + metrics.ascent()),
                         QString::fromUtf8(MatchFailureText(r.failure).data(), static_cast<int>(MatchFailureText(r.failure).size())));
        painter.restore();
        return;
    }
    DepthAxis axis;
    axis.from = r.SampleDepth(r.windowStart);
    axis.to = std::max(r.SampleDepth(r.windowEnd), axis.from + 1e-6);
    axis.left = area.left() + metrics.horizontalAdvance(QStringLiteral("深度(m)")) + 12;
    axis.right = area.right() - 12;
    const double height = area.bottom() - top - 4;
    const QRectF curves(axis.left, top, axis.right - axis.left, height * 0.55);
    const QRectF profile(area.left(), top + height * 0.58, area.width(), height * 0.42);
    PaintCurves(painter, curves, axis, r);
    PaintProfile(painter, profile, axis, r);
    painter.restore();
}

QImage DrawMatchPicture(const MatchResult& result, const QString& caption, PictureSize size) {
    if (!CheckPictureSize(size).empty()) return {};
    QImage image(size.width, size.height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintMatch(painter, image.rect(), result, caption, PictureFont());
    return image;
}

std::optional<EncodedPicture> MatchPictureFile(const CTAV_AnalyserDoc& doc, const PointFits& fits, std::int32_t index,
                                               PictureSize size, std::int32_t formatIndex) {
    const MatchResult* result = fits.Fitted(index);
    if (!result || !doc.ValidIndex(index) || !PictureFormatWritten(formatIndex)) return std::nullopt;
    const auto& tp = doc.points[static_cast<std::size_t>(index)];
    const QImage image = DrawMatchPicture(*result, MatchCaption(tp, *result), size);
    if (image.isNull()) return std::nullopt;
    return EncodePicture(image, formatIndex);
}

PictureEncoder WithMatchPictureEncoder(const CTAV_AnalyserDoc& doc, const PointFits& fits, PictureSize curveSize,
                                       std::int32_t formatIndex, PictureEncoder curves) {
    return [&doc, &fits, size = MatchPictureSize(curveSize), formatIndex,
            curves = std::move(curves)](const PictureItem& item) -> std::optional<EncodedPicture> {
        if (!item.match) return curves(item);
        return MatchPictureFile(doc, fits, item.pointIndex, size, formatIndex);
    };
}

}  // namespace tav::render
