#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "model/document.hpp"
#include "synth/site_builder.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/signal_match_dialog.hpp"

namespace tav::ui {
namespace {

TestPoint SynthPoint() {
    synth::SiteOptions o;
    o.piles = 1;
    o.pointsPerPile = 1;
    o.seed = 7;
    o.defects.push_back(*synth::ParseDefectSpec("1:4.5:neck:0.6"));
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    EXPECT_EQ(synth::BuildSite(o, doc, truth), "");
    return doc.points.at(0);
}

bool WaitForTheFit(const SignalMatchDialog& dialog) {
    QElapsedTimer clock;
    clock.start();
    while (dialog.Running() && clock.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !dialog.Running();
}

TEST(SignalMatchDialog, ShowsTheProfileAndSavesItsPicture) {
    SignalMatchDialog dialog(SynthPoint());
    ASSERT_TRUE(WaitForTheFit(dialog));
    ASSERT_TRUE(dialog.Result().ok());
    EXPECT_EQ(dialog.SegmentTable()->rowCount(), static_cast<int>(dialog.Result().segments.size()));
    EXPECT_EQ(dialog.SegmentTable()->item(0, 0)->text(), QStringLiteral("0.00"));
    EXPECT_TRUE(dialog.StatusLine()->text().startsWith(QStringLiteral("拟合质量")));
    EXPECT_EQ(dialog.Progress()->value(), 1000);
    EXPECT_TRUE(dialog.SaveButton()->isEnabled());
    EXPECT_FALSE(dialog.CancelButton()->isEnabled());

    testing::TempDir dir;
    for (const char* name : {"profile.png", "profile.bmp", "profile.jpg"}) {
        const QString path = QString::fromStdString(dir.File(name));
        EXPECT_EQ(dialog.SavePicture(path), QString());
        const QImage back(path);
        EXPECT_EQ(back.size(), QSize(800, 480)) << name;
    }
    EXPECT_FALSE(dialog.SavePicture(QString::fromStdString(dir.File("missing/profile.png"))).isEmpty());
}

TEST(SignalMatchDialog, CancelledOrUnfittableRecordsSaySo) {
    {
        SignalMatchDialog dialog(SynthPoint());
        dialog.Cancel();
        ASSERT_TRUE(WaitForTheFit(dialog));
        EXPECT_EQ(dialog.Result().failure, MatchFailure::kCancelled);
        EXPECT_EQ(dialog.StatusLine()->text(), QStringLiteral("拟合已取消"));
        EXPECT_FALSE(dialog.SaveButton()->isEnabled());
    }
    TestPoint flat = SynthPoint();
    std::fill(flat.samples.begin(), flat.samples.end(), 0.0f);
    SignalMatchDialog dialog(flat);
    ASSERT_TRUE(WaitForTheFit(dialog));
    EXPECT_EQ(dialog.StatusLine()->text(), QStringLiteral("桩头处没有锤击信号，无法拟合"));
    EXPECT_EQ(dialog.SegmentTable()->rowCount(), 0);
    // Closing while a fit runs stops and joins the worker.
    SignalMatchDialog closing(SynthPoint());
    closing.reject();
    EXPECT_FALSE(closing.Running());
}

TEST(SignalMatchDialog, IsAWaveformAnalysisCommand) {
    const auto* command = FindCommand(command_id::kSignalMatch);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->menu, "信号拟合");
    EXPECT_EQ(command->group, "波形分析");
}

}  // namespace
}  // namespace tav::ui
