// Del in the information table acts on the table: it empties a cell that may
// stand empty and leaves the others, and never deletes a test point. The
// test point list keeps its Del.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "base/text_field.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/main_window.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

struct ShownProject {
    TempDir dir;
    RecordingPrompts prompts;
    ui::MainWindow window;
    ShownProject() {
        const std::string path = dir.File("demo.tav");
        WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                        {testing::WaveformPoint("P1", 1024, 1),
                                                         testing::WaveformPoint("P2", 1024, 2),
                                                         testing::WaveformPoint("P3", 1024, 3)},
                                                        {}));
        window.SetPrompts(&prompts);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(path)));
        QApplication::processEvents();
    }
    QTableWidget* Table() { return window.findChild<ui::InfoDock*>()->Table(); }
    // Del on a cell of the table, with the focus in the table.
    void DeleteIn(int row, int column) {
        Table()->setFocus();
        Table()->setCurrentCell(row, column);
        QApplication::processEvents();
        EXPECT_EQ(Table()->currentColumn(), column) << "the cell chosen stays the current one";
        QTest::keyClick(Table(), Qt::Key_Delete);
        QApplication::processEvents();  // the table's edits arrive queued
    }
    std::string PileType(int index) { return window.Document().PileTypeText(index); }
};

TEST(InformationTableKeys, DelEmptiesThePileTypeAndDeletesNoTestPoint) {
    ShownProject p;
    ASSERT_EQ(p.PileType(1), "钻孔灌注桩");
    p.DeleteIn(1, 2);
    ASSERT_EQ(p.window.Document().PointCount(), 3);
    EXPECT_EQ(p.PileType(1), "");
    EXPECT_EQ(p.PileType(0), "钻孔灌注桩");
    EXPECT_EQ(p.Table()->item(1, 2)->text(), QString());
    EXPECT_TRUE(p.window.Document().Modified());
    EXPECT_TRUE(p.prompts.messages.empty());
    // An edit like any other: undone from the 编辑 menu.
    p.window.Run(command_id::kEditUndo);
    EXPECT_EQ(p.PileType(1), "钻孔灌注桩");
}

TEST(InformationTableKeys, DelLeavesCellsThatCannotStandEmpty) {
    ShownProject p;
    for (const int column : {0, 1, 3, 5, 6}) {  // number, pile number, diameter, wave speed, date
        const QString before = p.Table()->item(2, column)->text();
        p.DeleteIn(2, column);
        ASSERT_EQ(p.window.Document().PointCount(), 3) << "column " << column;
        EXPECT_EQ(p.Table()->item(2, column)->text(), before) << "column " << column;
    }
    EXPECT_EQ(Cp936ToUtf8(TextOf(p.window.Document().points[2].pileNo)), "P3");
    EXPECT_FALSE(p.window.Document().Modified());
    EXPECT_TRUE(p.prompts.messages.empty());
}

TEST(InformationTableKeys, DelInTheTestPointListStillDeletesTheTestPoint) {
    ShownProject p;
    auto* tree = p.window.findChild<ui::PointListDock*>()->Tree();
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(1)->child(0));
    ASSERT_EQ(p.window.Document().currentIndex, 1);
    QTest::keyClick(tree, Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(p.window.Document().PointCount(), 2);
}

}  // namespace
}  // namespace tav
