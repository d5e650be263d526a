#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "processing/command_ids.hpp"
#include "render/wave_painter.hpp"
#include "tests/support/project_builder.hpp"
#include "ui/analysis_bar.hpp"
#include "ui/analysis_view.hpp"

namespace tav::ui {
namespace {

void Fill(CTAV_AnalyserDoc& doc) {
    for (const char* pile : {"A1", "A1", "B2"}) doc.points.push_back(testing::WaveformPoint(pile, 1024, 7));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
}

// Whether the column x of the image holds the colour somewhere between the rows.
bool ColumnHas(const QImage& image, int x, int top, int bottom, QColor colour) {
    for (int y = top; y < bottom; ++y)
        if (image.pixelColor(x, y) == colour) return true;
    return false;
}

TEST(AnalysisView, ClickThenHeadMovesTheHeadLine) {
    CTAV_AnalyserDoc doc;
    Fill(doc);
    CTAV_AnalyserView view(doc, nullptr, SilentPrompts());
    view.resize(1000, 700);
    view.show();
    view.Refresh();
    QApplication::processEvents();
    auto& model = view.Model();
    ASSERT_EQ(model.Entries().size(), 1u);
    const auto& e = model.Entries()[0];
    const int oldHeadX = model.SampleToPixel(0, doc.points[0].headIndex);
    const int x = model.SampleToPixel(0, 150);
    const int y = (e.plot.top + e.plot.bottom) / 2;

    int signalled = -1;
    QObject::connect(&view, &CTAV_AnalyserView::cursorMoved, [&](int s) { signalled = s; });
    bool changed = false;
    QObject::connect(&view, &CTAV_AnalyserView::documentChanged, [&] { changed = true; });
    QTest::mouseClick(view.Display()->viewport(), Qt::LeftButton, {}, QPoint(x, y));
    ASSERT_TRUE(view.Cursor().has_value());
    EXPECT_NEAR(*view.Cursor(), 150, 2);
    EXPECT_EQ(signalled, *view.Cursor());
    EXPECT_TRUE(view.Enabled(command_id::kPileHead));

    view.Run(command_id::kPileHead);
    EXPECT_TRUE(changed);
    EXPECT_EQ(doc.points[0].headIndex, *view.Cursor());
    const int newHeadX = model.SampleToPixel(0, doc.points[0].headIndex);
    EXPECT_NE(newHeadX, oldHeadX);

    // The painted display shows the head line at its new place.
    QImage image(view.Display()->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    render::PaintOptions options;
    options.cursors = false;
    render::PaintDisplay(painter, image.rect(), model, options);
    painter.end();
    const QColor head(0, 128, 0);
    EXPECT_TRUE(ColumnHas(image, newHeadX, e.plot.top, e.plot.bottom, head));
    EXPECT_FALSE(ColumnHas(image, oldHeadX, e.plot.top, e.plot.bottom, head));
}

TEST(AnalysisView, BarSwitchesAnalysisAndKeysMoveTheCurrentEntry) {
    CTAV_AnalyserDoc doc;
    Fill(doc);
    CTAV_AnalyserView view(doc, nullptr, SilentPrompts());
    view.resize(1000, 700);
    view.show();
    view.Refresh();
    auto* scope = view.Bar()->findChild<QComboBox*>(QStringLiteral("analysisList1"));
    ASSERT_NE(scope, nullptr);
    scope->setCurrentIndex(1);  // the current pile's test points
    EXPECT_EQ(view.Model().Entries().size(), 2u);
    EXPECT_EQ(view.DisplayedPoints(), (std::vector<std::int32_t>{0, 1}));
    view.Display()->setFocus();
    QTest::keyClick(view.Display(), Qt::Key_Down);
    EXPECT_EQ(view.Model().CurrentEntry(), 1);
    EXPECT_EQ(doc.currentIndex, 1);

    auto* type = view.Bar()->findChild<QComboBox*>(QStringLiteral("analysisType"));
    type->setCurrentIndex(2);  // frequency
    ASSERT_FALSE(view.Model().Entries().empty());
    EXPECT_EQ(view.Model().Entries()[0].kind, kKindSpectrum);
    type->setCurrentIndex(3);  // wavelet: input, reconstruction, one level
    EXPECT_EQ(view.Model().Entries().size(), 4u);
    type->setCurrentIndex(1);  // statistics: the average
    ASSERT_EQ(view.Model().Entries().size(), 1u);
    EXPECT_EQ(view.Model().Entries()[0].kind, kKindAverage);
}

TEST(AnalysisView, WheelZoomsTheSingleWaveform) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("W", 16384, 3));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
    CTAV_AnalyserView view(doc, nullptr, SilentPrompts());
    view.resize(1000, 600);
    view.show();
    view.Refresh();
    const auto& e = view.Model().Entries()[0];
    const QPoint at((e.plot.left + e.plot.right) / 2, (e.plot.top + e.plot.bottom) / 2);
    for (int k = 0; k < 10; ++k) {
        QWheelEvent wheel(at, view.Display()->viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.Display()->viewport(), &wheel);
    }
    EXPECT_NEAR(doc.points[0].lastParams.displayBlocks[0].hScale, 3.0f, 1e-4f);
}

}  // namespace
}  // namespace tav::ui

namespace tav::ui {
namespace {

// Texts laid out once and kept land on the pixels a direct drawText gives.
TEST(WavePainter, KeptTextsDrawLikeDirectText) {
    const std::vector<std::string> texts{"桩号:A1", "-1234.56", "波速=3800m/s", "mV", " 3.25m:离析"};
    for (int round = 0; round < 2; ++round) {  // the second round draws from the cache
        for (const auto& t : texts) {
            QImage kept(200, 40, QImage::Format_RGB32);
            QImage direct(200, 40, QImage::Format_RGB32);
            kept.fill(Qt::white);
            direct.fill(Qt::white);
            {
                QPainter p(&kept);
                render::DrawTextAt(p, 7, 5, t);
            }
            {
                QPainter p(&direct);
                p.drawText(7, 5 + p.fontMetrics().ascent(), QString::fromStdString(t));
            }
            EXPECT_EQ(kept, direct) << t;
        }
    }
}

// The frame, zero line and head and toe lines drawn as filled rows and columns.
TEST(WavePainter, EntryLinesKeepTheirPlaces) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("H", 1024, 4));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
    render::FontTextMeasure measure(QFont{});
    WaveDisplayModel model(doc, measure);
    model.SetClientSize(900, 300);
    model.Rebuild();
    const auto& e = model.Entries().at(0);
    ASSERT_GE(e.items.size(), 2u);
    QImage image(900, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        render::PaintEntry(p, e, false, 0);
    }
    const QColor frame(128, 128, 128);
    EXPECT_EQ(image.pixelColor(e.plot.left + 3, e.plot.top), frame);
    EXPECT_EQ(image.pixelColor(e.plot.left, e.plot.bottom - 3), frame);
    EXPECT_EQ(image.pixelColor(e.plot.right - 1, e.plot.top + 3), frame);
    EXPECT_EQ(image.pixelColor(e.plot.left + 3, e.plot.bottom - 1), frame);
    EXPECT_EQ(image.pixelColor(e.plot.right, e.plot.top + 3), QColor(Qt::white));
    for (const auto& item : e.items) {
        const QColor c = item.kind == ItemKind::Head ? QColor(0, 128, 0) : QColor(128, 0, 128);
        if (item.kind == ItemKind::Head || item.kind == ItemKind::Toe) {
            EXPECT_TRUE(ColumnHas(image, item.x, e.plot.top, e.plot.bottom, c));
        }
    }
}

}  // namespace
}  // namespace tav::ui
