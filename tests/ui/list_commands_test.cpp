#include "model/list_commands.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QTableWidget>
#include <QTreeWidget>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/clipboard_block.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/list_controller.hpp"
#include "ui/main_window.hpp"
#include "ui/parameter_input.hpp"
#include "ui/pile_info_dialog.hpp"
#include "ui/point_clipboard.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using namespace ui;
using testing::RecordingPrompts;
using testing::TempDir;

std::string WriteProject(const TempDir& dir, const std::string& name, std::initializer_list<const char*> piles) {
    std::vector<TestPoint> points;
    for (const char* p : piles) {
        points.push_back(testing::WaveformPoint(p, 128, static_cast<std::uint32_t>(points.size() + 1)));
        points.back().recordNo = static_cast<std::int16_t>(points.size());
    }
    const std::string path = dir.File(name);
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"), points, {}));
    return path;
}

std::vector<std::string> Piles(const CTAV_AnalyserDoc& doc) {
    std::vector<std::string> out;
    for (const auto& tp : doc.points) out.emplace_back(TextOf(tp.pileNo));
    return out;
}

using Names = std::vector<std::string>;

class ListWindow : public ::testing::Test {
protected:
    TempDir dir;
    ui::MainWindow window;
    RecordingPrompts prompts{true};
    CTAV_AnalyserDoc& doc = window.Document();

    void SetUp() override { window.SetPrompts(&prompts); }
    void Open(std::initializer_list<const char*> piles) {
        ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteProject(dir, "p.tav", piles))));
    }
    void SelectPile(int ordinal) {
        doc.SelectPile(ordinal);
        window.RefreshAll();
    }
    bool Enabled(int id) { return window.Action(id)->isEnabled(); }
};

TEST_F(ListWindow, CopyAndPasteGoThroughTheDesktopClipboard) {
    QGuiApplication::clipboard()->setText(QStringLiteral("plain text"));
    QApplication::processEvents();
    Open({"A", "A", "B"});
    SelectPile(0);
    EXPECT_FALSE(Enabled(command_id::kEditPaste)) << "the clipboard holds no test points";
    ASSERT_TRUE(Enabled(command_id::kEditCopy));
    window.Run(command_id::kEditCopy);

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QByteArray bytes = data->data(QString::fromLatin1(ui::kClipboardMimeType));
    const auto expected = WriteClipboardBlock(*CopySelection(doc));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected) << "exactly the block's bytes";

    ui::MainWindow other;
    other.SetPrompts(&prompts);
    ASSERT_TRUE(other.OpenPath(QString::fromStdString(WriteProject(dir, "q.tav", {"X", "Y"}))));
    other.Document().SelectPile(1);
    other.RefreshAll();
    ASSERT_TRUE(other.Action(command_id::kEditPaste)->isEnabled());
    other.Run(command_id::kEditPaste);
    EXPECT_EQ(Piles(other.Document()), (Names{"X", "Y", "Y"}));
    EXPECT_EQ(other.Document().points[2].recordNo, 2);
    EXPECT_TRUE(other.Action(command_id::kEditUndo)->isEnabled());
    other.Run(command_id::kEditUndo);
    EXPECT_EQ(Piles(other.Document()), (Names{"X", "Y"}));
    EXPECT_TRUE(other.Action(command_id::kEditRedo)->isEnabled());

    // Cut takes the pile away; append puts a renamed copy behind the last pile.
    SelectPile(1);
    window.Run(command_id::kEditCut);
    EXPECT_EQ(Piles(doc), (Names{"A", "A"}));
    SelectPile(0);
    window.Run(command_id::kPointAppend);
    EXPECT_EQ(Piles(doc), (Names{"A", "A", "B"}));
}

TEST_F(ListWindow, CommandsCarryShortcutsAndAreEnabledOnlyWhenTheyCanAct) {
    EXPECT_EQ(window.Action(command_id::kEditCopy)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(window.Action(command_id::kEditCut)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    EXPECT_EQ(window.Action(command_id::kEditPaste)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(window.Action(command_id::kEditUndo)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(window.Action(command_id::kEditRedo)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_EQ(window.Action(command_id::kPointDelete)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(window.Action(command_id::kDeleteTicked)->text(), QStringLiteral("删除所有选中测点"));
    EXPECT_FALSE(Enabled(command_id::kEditCopy));
    EXPECT_FALSE(Enabled(command_id::kEditUndo));

    Open({"A", "B", "C"});
    EXPECT_TRUE(Enabled(command_id::kEditCopy)) << "the first test point is selected at load";
    EXPECT_FALSE(Enabled(command_id::kPointUp));
    EXPECT_TRUE(Enabled(command_id::kPointDown));
    EXPECT_FALSE(Enabled(command_id::kDeleteTicked));
    window.Run(command_id::kPointDown);
    EXPECT_EQ(Piles(doc), (Names{"B", "A", "C"}));
    EXPECT_TRUE(Enabled(command_id::kPointUp));
    window.Run(command_id::kSortDescending);
    EXPECT_EQ(Piles(doc), (Names{"C", "B", "A"}));
    window.Run(command_id::kEditUndo);
    window.Run(command_id::kEditUndo);
    EXPECT_EQ(Piles(doc), (Names{"A", "B", "C"}));
    window.Run(command_id::kTickAll);
    EXPECT_TRUE(Enabled(command_id::kDeleteTicked));
}

TEST_F(ListWindow, TickBoxesAreRecordedForUndo) {
    Open({"A", "A", "B"});
    auto* tree = window.findChild<ui::PointListDock*>()->Tree();
    tree->topLevelItem(0)->child(1)->setCheckState(0, Qt::Checked);
    QApplication::processEvents();
    EXPECT_EQ(doc.points[1].checked, 1);
    ASSERT_EQ(doc.undoList.size(), 1u);
    EXPECT_EQ(doc.undoList.back().kind, kSnapUntick);
    window.Run(command_id::kEditUndo);
    EXPECT_EQ(doc.points[1].checked, 0);
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->checkState(0), Qt::Unchecked);
}

TEST_F(ListWindow, DeletingTheTickedAfterSortingTheListByDate) {
    Open({"P1", "P2", "P3"});
    doc.points[0].testDate.fill(0);
    SetText(doc.points[0].testDate, "2024-5-1");
    SetText(doc.points[1].testDate, "2023-12-1");
    doc.points[2].checked = 1;
    doc.points[0].checked = 1;
    doc.RebuildCheckedList();
    window.Run(command_id::kOrderByDate);
    auto* tree = window.findChild<ui::PointListDock*>()->Tree();
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("P2"));
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("P1"));
    EXPECT_EQ(tree->topLevelItem(2)->text(0), QStringLiteral("P3"));
    EXPECT_EQ(Piles(doc), (Names{"P1", "P2", "P3"})) << "the document keeps its order";

    window.Run(command_id::kDeleteTicked);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], "确实要删除所有选中测点吗？");
    EXPECT_EQ(Piles(doc), (Names{"P2"}));
}

TEST_F(ListWindow, SavingTheTickedAsksForTicksFirst) {
    Open({"P1", "P2"});
    const std::string out = dir.File("ticked.tav");
    auto* controller = window.findChild<ui::ListController*>();
    ASSERT_NE(controller, nullptr);
    controller->askSavePath = [&] { return QString::fromStdString(out); };
    window.Run(command_id::kSaveTicked);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "请选择要保存的测点");
    window.Run(command_id::kTickAll);
    window.Run(command_id::kSaveTicked);
    EXPECT_EQ(prompts.messages.back(), "保存完成");
    CTAV_AnalyserDoc back;
    ASSERT_EQ(OpenFile(back, out).status, LoadStatus::Ok);
    EXPECT_EQ(back.PointCount(), 2);
}

TEST_F(ListWindow, PileInformationDialogChecksBeforeClosing) {
    Open({"P1", "P2", "P2"});
    ui::PileInfoDialog dialog(doc, 1, prompts);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("P2"));
    EXPECT_EQ(dialog.LengthField()->text(), QStringLiteral("12")) << "as typed";
    EXPECT_FALSE(dialog.ApplyToTicked()->isEnabled());
    dialog.ApplyBox(PileInfoField::Diameter)->setChecked(true);
    EXPECT_TRUE(dialog.ApplyToTicked()->isEnabled());
    EXPECT_TRUE(dialog.ApplyToTicked()->isChecked());

    dialog.PileNoField()->setText(QStringLiteral("p1"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "已存在该名称的桩号！");
    EXPECT_EQ(dialog.PileNoField()->selectedText(), QStringLiteral("p1"));

    dialog.PileNoField()->setText(QStringLiteral("Q2"));
    dialog.DiameterField()->setText(QStringLiteral("650"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const auto f = dialog.Fields();
    EXPECT_EQ(f.pileNo, "Q2");
    EXPECT_EQ(f.diameterText, "650");
    EXPECT_TRUE(f.applyToTicked && f.applyDiameter && !f.applyLength);
}

TEST_F(ListWindow, PileInformationDialogTakesTheBarsLengthsAndShowsThemAsTyped) {
    Open({"P1", "P2"});
    doc.points[1].pileLength = 34.2f;
    ui::PileInfoDialog dialog(doc, 1, prompts);
    EXPECT_EQ(dialog.LengthField()->text(), QStringLiteral("34.2"));
    for (const char* text : {"99999", "1000.5"}) {
        prompts.messages.clear();
        dialog.LengthField()->setText(QString::fromUtf8(text));
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << text;
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(QString::fromStdString(prompts.messages[0]), ui::PileLengthRefusal());
        EXPECT_EQ(dialog.LengthField()->selectedText(), QString::fromUtf8(text));
    }
    EXPECT_EQ(doc.points[1].pileLength, 34.2f) << "nothing stored";

    auto* info = window.findChild<ui::InfoDock*>();
    window.RefreshAll();
    QApplication::processEvents();
    EXPECT_EQ(info->Table()->item(1, 4)->text(), QStringLiteral("34.2")) << "the table shows lengths as typed";
}

TEST_F(ListWindow, InformationPanelCellsAndHeaderAreEditable) {
    Open({"P1", "P2"});
    auto* info = window.findChild<ui::InfoDock*>();
    QTableWidget* table = info->Table();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_FALSE(table->item(0, 0)->flags() & Qt::ItemIsEditable);
    ASSERT_TRUE(table->item(1, 3)->flags() & Qt::ItemIsEditable);
    table->item(1, 3)->setText(QStringLiteral("1200"));
    QApplication::processEvents();
    EXPECT_EQ(doc.points[1].diameter, 1200);
    EXPECT_EQ(doc.points[0].diameter, 800) << "edit scope 0: the edited row only";
    table->item(1, 3)->setText(QStringLiteral("大"));
    QApplication::processEvents();
    EXPECT_EQ(prompts.messages.back(), "桩径应为1～32767之间的整数！");
    EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("1200")) << "the table shows what is stored";

    info->ProjectNameField()->setText(QStringLiteral("新工程"));
    info->ProjectNameField()->setModified(true);
    emit info->ProjectNameField()->editingFinished();
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.header.projectName)), "新工程");
    window.Run(command_id::kEditUndo);
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.header.projectName)), "project");
}

}  // namespace
}  // namespace tav
