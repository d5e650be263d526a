// Draws the program's icon and the icon of its project files at the usual
// hicolor sizes, at build time, so no picture lives in the repository:
//   tav_draw_icons OUTDIR  ->  OUTDIR/<size>x<size>/apps/tav-analyser.png
//                              OUTDIR/<size>x<size>/mimetypes/application-x-tav-ana.png
// The picture: a reflected-wave trace (the hammer's pulse, a small defect
// echo, the toe echo) over a pile standing in the ground.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The trace across the rectangle: amplitude as a fraction of its half height.
QPainterPath Trace(const QRectF& r) {
    QPainterPath path;
    constexpr int kSteps = 96;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const auto bump = [t](double at, double width, double height) {
            const double d = (t - at) / width;
            return height * std::exp(-d * d);
        };
        const double v = bump(0.12, 0.05, 0.9) - bump(0.22, 0.04, 0.25) + bump(0.5, 0.04, 0.3) + bump(0.82, 0.05, 0.55);
        const QPointF p(r.left() + t * r.width(), r.center().y() - v * r.height() / 2);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

void DrawApp(QPainter& p, double s) {
    const QRectF face(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(face, s * 0.16, s * 0.16);
    // Ground and pile.
    p.setBrush(QColor(0x8c, 0x6d, 0x46));
    p.drawRect(QRectF(face.left(), s * 0.7, face.width(), s * 0.24 - s * 0.06));
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    p.drawRect(QRectF(s * 0.44, s * 0.56, s * 0.12, s * 0.32));
    QPen pen(QColor(0xff, 0xd2, 0x4a), std::max(1.0, s * 0.05), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(Trace(QRectF(s * 0.14, s * 0.16, s * 0.72, s * 0.42)));
}

void DrawDocument(QPainter& p, double s) {
    const QRectF page(s * 0.16, s * 0.04, s * 0.68, s * 0.92);
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), std::max(1.0, s * 0.02)));
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, s * 0.05, s * 0.05);
    QPen pen(QColor(0x1f, 0x4e, 0x79), std::max(1.0, s * 0.05), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(Trace(QRectF(page.left() + s * 0.06, s * 0.22, page.width() - s * 0.12, s * 0.3)));
    p.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), std::max(1.0, s * 0.03)));
    for (const double y : {0.64, 0.74, 0.84}) p.drawLine(QPointF(s * 0.26, s * y), QPointF(s * 0.74, s * y));
}

bool Write(const QString& folder, const QString& name, int size, void (*draw)(QPainter&, double)) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size);
    }
    return QDir().mkpath(folder) && image.save(folder + "/" + name, "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tav_draw_icons OUTDIR\n");
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (const int size : kSizes) {
        const QString dir = out + QStringLiteral("/%1x%1/").arg(size);
        if (!Write(dir + "apps", QStringLiteral("tav-analyser.png"), size, DrawApp) ||
            !Write(dir + "mimetypes", QStringLiteral("application-x-tav-ana.png"), size, DrawDocument)) {
            std::fprintf(stderr, "tav_draw_icons: cannot write into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
