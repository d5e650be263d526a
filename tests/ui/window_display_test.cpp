// The waveform display inside the main window: what the double click, the
// right click and the keys do to the panels around it.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QImage>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "base/atomic_file.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/main_window.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

struct ShownWindow {
    TempDir dir;
    RecordingPrompts prompts;
    ui::MainWindow window;
    ShownWindow() {
        const std::string path = dir.File("demo.tav");
        std::vector<TestPoint> points = {testing::WaveformPoint("P1", 1024, 1), testing::WaveformPoint("P1", 1024, 2),
                                         testing::WaveformPoint("P2", 1024, 3)};
        points[1].waveSpeed = 3500;  // the pile's two test points differ
        WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"), points, {}));
        window.SetPrompts(&prompts);
        window.resize(1200, 800);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(path)));
        QApplication::processEvents();
    }
    ui::CTAV_AnalyserView* View() { return window.View(); }
    WaveDisplayModel& Model() { return View()->Model(); }
    QWidget* Viewport() { return View()->Display()->viewport(); }
    QComboBox* Scope() { return window.findChild<QComboBox*>(QStringLiteral("analysisList1")); }
    QPoint At(int entry, int sample) {
        const auto& e = Model().Entries()[static_cast<std::size_t>(entry)];
        return {Model().SampleToPixel(entry, sample), (e.plot.top + e.plot.bottom) / 2 - View()->Display()->ScrollY()};
    }
};

TEST(WindowDisplay, DoubleClickShowsTheScopeInTheBarAndKeepsTheChainAndSpeed) {
    ShownWindow w;
    w.window.Run(command_id::kScopeAll);  // scope: all waveforms
    w.window.Run(command_id::kIntegrate);  // the current test point gets an integration
    auto* speed = w.window.findChild<QLineEdit*>(QStringLiteral("speedField"));
    auto* chain = w.window.findChild<ui::ChainDock*>()->List();
    ASSERT_EQ(w.Scope()->currentText(), QStringLiteral("单个测点"));
    ASSERT_EQ(chain->count(), 1);
    const QString stepName = chain->item(0)->text();

    QTest::mouseDClick(w.Viewport(), Qt::LeftButton, {}, w.At(0, 300));
    QApplication::processEvents();
    ASSERT_EQ(w.Model().Entries().size(), 2u) << "the pile's test points";
    EXPECT_EQ(w.Scope()->currentText(), QStringLiteral("当前桩所有测点"));
    EXPECT_EQ(speed->text(), QString::number(w.window.Document().points[0].waveSpeed)) << "the current waveform's value";
    ASSERT_EQ(chain->count(), 1);
    EXPECT_EQ(chain->item(0)->text(), QStringLiteral("1. （各测点不同）"));

    QTest::mouseDClick(w.Viewport(), Qt::LeftButton, {}, w.At(0, 300));
    QApplication::processEvents();
    EXPECT_EQ(w.Scope()->currentText(), QStringLiteral("单个测点"));
    EXPECT_EQ(chain->item(0)->text(), stepName);
}

TEST(WindowDisplay, TheContextMenuActsWhereTheUserPointed) {
    ShownWindow w;
    QTest::mouseClick(w.Viewport(), Qt::LeftButton, {}, w.At(0, 100));
    ASSERT_TRUE(w.View()->Cursor().has_value());
    ASSERT_NEAR(*w.View()->Cursor(), 100, 2);

    QString title;
    QTimer::singleShot(100, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            title = menu->title();
            menu->close();
        }
    });
    const QPoint at = w.At(0, 300);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, w.Viewport()->mapToGlobal(at));
    QApplication::sendEvent(w.Viewport(), &event);
    EXPECT_EQ(title, QStringLiteral("显示区操作"));
    ASSERT_TRUE(w.View()->Cursor().has_value());
    EXPECT_NEAR(*w.View()->Cursor(), 300, 2);
    w.window.Run(command_id::kNeckGrade2);  // 缩径(Ⅱ) from the menu
    auto& tp = w.window.Document().points[0];
    ASSERT_EQ(tp.defectCount(), 1);
    EXPECT_NEAR(tp.defects[0].position, 300, 2);
}

TEST(WindowDisplay, KeysReachTheDisplayOnceItIsClicked) {
    ShownWindow w;
    w.Scope()->setCurrentIndex(1);  // the current pile's test points
    QApplication::processEvents();
    ASSERT_EQ(w.Model().Entries().size(), 2u);
    QTest::mouseClick(w.Viewport(), Qt::LeftButton, {}, w.At(0, 300));
    EXPECT_TRUE(w.View()->Display()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(w.Model().CurrentEntry(), 1);
    EXPECT_EQ(w.window.Document().currentIndex, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(w.window.Document().currentIndex, 0);

    // Left and right move the moving cursor one pixel, with its readout.
    QTest::mouseMove(w.Viewport(), w.At(0, 300));
    ASSERT_TRUE(w.Model().Moving().valid);
    const int x = w.Model().Moving().x;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(w.Model().Moving().x, x + 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(w.Model().Moving().x, x - 1);
}

// Dark pixels of the trace inside a plot, away from the cursor's column.
std::vector<QPoint> TracePixels(const QImage& image, const QRect& plot, int cursorX) {
    std::vector<QPoint> out;
    for (int y = plot.top() + 1; y < plot.bottom() - 1; ++y)
        for (int x = plot.left() + 1; x < plot.right() - 1; ++x) {
            if (std::abs(x - cursorX) <= 4) continue;
            if (qGray(image.pixel(x, y)) < 64) out.emplace_back(x, y);
        }
    return out;
}

// The readout box opens beside the cursor, here right over the head's peak.
TEST(WindowDisplay, HoveringLeavesTheTraceWhole) {
    ShownWindow w;
    w.window.Run(command_id::kLineCursor);  // the cursor as a vertical line only
    ASSERT_TRUE(w.Model().options.readoutShown);
    const auto& e = w.Model().Entries()[0];
    const int scroll = w.View()->Display()->ScrollY();
    const QRect plot(QPoint(e.plot.left, e.plot.top - scroll), QPoint(e.plot.right - 1, e.plot.bottom - 1 - scroll));
    const auto peak = std::min_element(e.points.begin(), e.points.end(),
                                       [](const DisplayPoint& a, const DisplayPoint& b) { return a.y < b.y; });
    ASSERT_LT(peak->y, e.plot.top + 30) << "the head's peak lies where a two-line readout box opens";
    const QPoint at(peak->x - 20, plot.center().y());
    const QImage before = w.Viewport()->grab().toImage();
    QTest::mouseMove(w.Viewport(), at);
    ASSERT_TRUE(w.Model().Moving().valid);
    const QImage hovered = w.Viewport()->grab().toImage();
    const auto trace = TracePixels(before, plot, at.x());
    ASSERT_GT(trace.size(), 200u) << "a trace is drawn";
    std::string lost;
    for (const QPoint& p : trace)
        if (qGray(hovered.pixel(p)) >= 64) lost += " (" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")";
    EXPECT_EQ(lost, "") << "trace pixels hidden while hovering";
    // The readout is still shown: its pale background is somewhere in the plot.
    bool readoutShown = false;
    for (int y = plot.top(); y < plot.bottom() && !readoutShown; ++y)
        for (int x = plot.left(); x < plot.right() && !readoutShown; ++x)
            readoutShown = hovered.pixel(x, y) == qRgb(255, 255, 225);
    EXPECT_TRUE(readoutShown);
}

}  // namespace
}  // namespace tav
