#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <cmath>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/site_speed_dialog.hpp"

namespace tav::ui {
namespace {

TestPoint PileAt(const std::string& pileNo, int speed) {
    TestPoint tp = testing::WaveformPoint(pileNo, 1024, 1);
    tp.waveSpeed = static_cast<std::int16_t>(speed);
    tp.toeIndex = static_cast<std::int16_t>(tp.headIndex + std::lround(2.0 * 12.0 / (speed * 20e-6)));
    return tp;
}

TEST(SiteSpeedDialog, ListsThePilesAndAppliesTheMeanToTheTickedOnesAsOneEdit) {
    CTAV_AnalyserDoc doc;
    for (int i = 0; i < 5; ++i) doc.points.push_back(PileAt("P" + std::to_string(i + 1), 4000));
    doc.points.push_back(PileAt("P6", 3000));
    doc.points.push_back(PileAt("P6", 3000));
    SiteSpeedDialog dialog(doc);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("桩身波速统计"));
    auto* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    auto* group = tree->topLevelItem(0);
    EXPECT_EQ(group->text(1), QStringLiteral("平均 4000"));
    ASSERT_EQ(group->childCount(), 6);
    EXPECT_EQ(group->child(5)->text(0), QStringLiteral("P6"));
    EXPECT_EQ(group->child(5)->text(1), QStringLiteral("3000"));
    EXPECT_EQ(group->child(5)->text(2), QStringLiteral("否"));

    QSignalSpy applied(&dialog, &SiteSpeedDialog::applied);
    EXPECT_EQ(dialog.ApplyMean(), 0) << "nothing ticked";
    dialog.SetChosen(0, 5, true);
    dialog.SetChosen(0, 0, true);  // already at the mean: left alone
    EXPECT_EQ(dialog.ApplyMean(), 2) << "both test points of P6";
    EXPECT_EQ(applied.count(), 1);
    EXPECT_EQ(doc.points[6].waveSpeed, 4000);
    EXPECT_EQ(doc.points[6].toeIndex, doc.points[6].headIndex + 300);
    ASSERT_EQ(doc.undoList.size(), 1u);
    EXPECT_EQ(doc.undoList[0].points.size(), 2u);
    EXPECT_EQ(doc.undoList[0].points[1].waveSpeed, 3000);
    // The pile now measures the mean and counts.
    EXPECT_EQ(dialog.Tree()->topLevelItem(0)->child(5)->text(2), QStringLiteral("是"));
}

TEST(SiteSpeedDialog, TheCommandIsInTheAnalysisMenuOnceAProjectIsOpen) {
    MainWindow window;
    QAction* action = window.Action(command_id::kSiteSpeed);
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text(), QStringLiteral("桩身波速统计"));
    EXPECT_FALSE(action->isEnabled());
    testing::TempDir dir;
    const auto path = dir.File("site.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), {PileAt("P1", 4000)}, {}));
    window.OpenPath(QString::fromStdString(path));
    EXPECT_TRUE(action->isEnabled());
}

}  // namespace
}  // namespace tav::ui
