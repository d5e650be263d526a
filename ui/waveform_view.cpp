#include "ui/waveform_view.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "analysis/positions.hpp"
#include "model/document.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

const TestPoint* Current(const CTAV_AnalyserDoc& doc) {
    return doc.ValidIndex(doc.currentIndex) ? &doc.points[static_cast<std::size_t>(doc.currentIndex)] : nullptr;
}

}  // namespace

WaveformView::WaveformView(const CTAV_AnalyserDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setMinimumSize(320, 200);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void WaveformView::ClearCursor() {
    cursor_.reset();
    selectedDefect_.reset();
    update();
}

QRect WaveformView::Plot() const { return rect().adjusted(50, 30, -20, -40); }

double WaveformView::XOf(int sample) const {
    const TestPoint* tp = Current(doc_);
    const QRect r = Plot();
    const int n = tp ? std::max(tp->sampleCount() - 1, 1) : 1;
    return r.left() + static_cast<double>(sample) * r.width() / n;
}

std::optional<int> WaveformView::SampleAt(int x) const {
    const TestPoint* tp = Current(doc_);
    if (!tp || tp->sampleCount() == 0) return std::nullopt;
    const QRect r = Plot();
    const int n = std::max(tp->sampleCount() - 1, 1);
    const int s = static_cast<int>(std::lround(static_cast<double>(x - r.left()) * n / std::max(r.width(), 1)));
    return std::clamp(s, 0, tp->sampleCount() - 1);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const double x = event->position().x();
    cursor_ = SampleAt(static_cast<int>(x));
    // A click on a defect line picks that defect.
    selectedDefect_.reset();
    if (const TestPoint* tp = Current(doc_)) {
        for (int i = 0; i < tp->defectCount(); ++i)
            if (std::abs(XOf(tp->defects[static_cast<std::size_t>(i)].position) - x) <= 4.0) selectedDefect_ = i;
    }
    if (cursor_) emit cursorMoved(*cursor_);
    update();
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const TestPoint* tp = Current(doc_);
    const QRect r = Plot();
    painter.setPen(QColor(0xC0, 0xC0, 0xC0));
    painter.drawRect(r);
    painter.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
    if (!tp || tp->sampleCount() == 0) return;

    float top = tp->lastParams.viewMax;
    float bottom = tp->lastParams.viewMin;
    if (!(top > bottom) || !std::isfinite(top) || !std::isfinite(bottom)) {
        top = 1.0f;
        bottom = -1.0f;
    }
    auto yOf = [&](float v) {
        const double f = (static_cast<double>(top) - v) / (static_cast<double>(top) - bottom);
        return r.top() + std::clamp(f, -0.5, 1.5) * r.height();
    };

    // One point per sample where there is room, else the extremes of each pixel column.
    QPainterPath path;
    const int n = tp->sampleCount();
    const double perPixel = static_cast<double>(n) / std::max(r.width(), 1);
    if (perPixel <= 2.0) {
        for (int i = 0; i < n; ++i) {
            const QPointF pt(XOf(i), yOf(tp->samples[static_cast<std::size_t>(i)]));
            i == 0 ? path.moveTo(pt) : path.lineTo(pt);
        }
    } else {
        for (int px = 0; px < r.width(); ++px) {
            const int from = static_cast<int>(px * perPixel);
            const int to = std::min(n, static_cast<int>((px + 1) * perPixel) + 1);
            float lo = tp->samples[static_cast<std::size_t>(from)], hi = lo;
            for (int i = from; i < to; ++i) {
                lo = std::min(lo, tp->samples[static_cast<std::size_t>(i)]);
                hi = std::max(hi, tp->samples[static_cast<std::size_t>(i)]);
            }
            const double x = r.left() + px;
            px == 0 ? path.moveTo(x, yOf(hi)) : path.lineTo(x, yOf(hi));
            path.lineTo(x, yOf(lo));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);

    auto marker = [&](int sample, const QColor& colour, const QString& label) {
        if (sample < 0 || sample >= n) return;
        const int x = static_cast<int>(XOf(sample));
        painter.setPen(QPen(colour, 1, Qt::DashLine));
        painter.drawLine(x, r.top(), x, r.bottom());
        painter.setPen(colour);
        painter.drawText(x + 3, r.top() - 6, label);
    };
    marker(tp->headIndex, Qt::red, QStringLiteral("桩头"));
    marker(tp->toeIndex, Qt::blue, QStringLiteral("桩底"));
    for (int i = 0; i < tp->defectCount(); ++i) {
        const auto& d = tp->defects[static_cast<std::size_t>(i)];
        marker(d.position, selectedDefect_ == i ? Qt::magenta : QColor(0xC0, 0x60, 0x00), FieldText(d.name));
    }
    if (cursor_) {
        const int x = static_cast<int>(XOf(*cursor_));
        painter.setPen(QPen(Qt::darkGreen, 1));
        painter.drawLine(x, r.top(), x, r.bottom());
        painter.drawText(r.left(), r.bottom() + 30,
                         QStringLiteral("游标: %1  %2ms  %3m")
                             .arg(*cursor_)
                             .arg(SampleTimeMs(*tp, *cursor_), 0, 'f', 3)
                             .arg(static_cast<double>(SampleToDepth(*tp, *cursor_, false)), 0, 'f', 2));
    }
    painter.setPen(Qt::black);
    painter.drawText(r.left(), r.top() - 12,
                     QStringLiteral("%1  波速=%2m/s  桩长=%3m")
                         .arg(FieldText(tp->pileNo))
                         .arg(tp->waveSpeed)
                         .arg(static_cast<double>(tp->pileLength), 0, 'f', 2));
    painter.drawText(4, r.top() + 10, QString::number(static_cast<double>(top), 'g', 4));
    painter.drawText(4, r.bottom(), QString::number(static_cast<double>(bottom), 'g', 4));
}

}  // namespace tav::ui
