// The command table against the window built from it: one row per named id,
// every menu entry backed by a row, and the table's rule agreeing with who
// actually runs each command (a command with a handler that the table leaves
// unbuilt stays greyed out for good).
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "processing/command_ids.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/list_controller.hpp"
#include "ui/main_window.hpp"
#include "ui/print_controller.hpp"
#include "ui/processing_commands.hpp"
#include "ui/report_commands.hpp"
#include "ui/transfer_dialog.hpp"

namespace tav::ui {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

// Every action under a menu, submenus included.
void CollectActions(const QMenu* menu, std::vector<QAction*>& out) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) CollectActions(a->menu(), out);
        else if (!a->isSeparator()) out.push_back(a);
    }
}

std::vector<QAction*> MenuBarActions(const MainWindow& window) {
    std::vector<QAction*> out;
    for (QAction* top : window.menuBar()->actions())
        if (top->menu()) CollectActions(top->menu(), out);
    return out;
}

TEST(CommandTable, EveryNamedIdHasExactlyOneRow) {
    std::multiset<int> rows;
    for (const auto& c : CommandTable()) rows.insert(c.id);
    const std::set<int> named(std::begin(command_id::kAll), std::end(command_id::kAll));
    EXPECT_EQ(named.size(), std::size(command_id::kAll)) << "two names share one id";
    for (const int id : rows) EXPECT_EQ(rows.count(id), 1u) << "id " << id << " has two rows";
    EXPECT_EQ(std::set<int>(rows.begin(), rows.end()), named);
}

TEST(CommandTable, EveryMenuAndToolbarEntryResolvesToARow) {
    MainWindow window;
    std::set<int> inMenus;
    for (QAction* a : MenuBarActions(window)) {
        if (!a->data().isValid()) continue;  // the recent files, the annotation items' dialog
        const int id = a->data().toInt();
        const CommandInfo* c = FindCommand(id);
        ASSERT_NE(c, nullptr) << a->text().toStdString();
        EXPECT_EQ(window.Action(id), a);
        inMenus.insert(id);
    }
    for (const auto& c : CommandTable())
        EXPECT_EQ(inMenus.count(c.id), c.group == "处理列表" ? 0u : 1u) << c.menu;

    auto* bar = window.findChild<QToolBar*>(QStringLiteral("standardBar"));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), static_cast<qsizetype>(ToolbarCommands().size()));
    for (QAction* a : bar->actions()) EXPECT_NE(FindCommand(a->data().toInt()), nullptr);

    // The context menus are built when they open; their lists resolve too.
    for (const auto list :
         {PointListMenuCommands(), WaveformMenuDefects(), WaveformMenuDisplay(), ChainListMenuInserts()}) {
        for (const int id : list) EXPECT_TRUE(id == 0 || FindCommand(id) != nullptr) << id;
    }

    // Shortcuts come from the table, the platform's own where it has one.
    EXPECT_EQ(window.Action(command_id::kFileOpen)->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(window.Action(command_id::kFileSave)->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(window.Action(command_id::kAppendOpen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
}

enum class Owner { Window, PointList, Processing, View, Printing, Reports };

// Whom the table hands a command to.
Owner TableOwner(Rule rule) {
    switch (rule) {
        case Rule::PointList: return Owner::PointList;
        case Rule::Processing: return Owner::Processing;
        case Rule::View: return Owner::View;
        case Rule::Printing: return Owner::Printing;
        case Rule::Reports: return Owner::Reports;
        default: return Owner::Window;
    }
}

// Who runs a command in fact: the window's own handlers and each owner's Handles.
std::vector<Owner> ActualOwners(const MainWindow& window, int id) {
    std::vector<Owner> owners;
    if (window.RunsItself(id)) owners.push_back(Owner::Window);
    if (ListController::Handles(id)) owners.push_back(Owner::PointList);
    if (ProcessingCommands::Handles(id)) owners.push_back(Owner::Processing);
    if (window.View()->Handles(id)) owners.push_back(Owner::View);
    if (PrintController::Handles(id)) owners.push_back(Owner::Printing);
    if (ReportCommands::Handles(id)) owners.push_back(Owner::Reports);
    return owners;
}

TEST(CommandTable, EveryCommandWithAHandlerIsBuiltAndRunByTheOwnerTheTableNames) {
    MainWindow window;
    for (const auto& c : CommandTable()) {
        const std::vector<Owner> owners = ActualOwners(window, c.id);
        ASSERT_LE(owners.size(), 1u) << c.menu << ": two owners";
        if (owners.empty()) {
            EXPECT_FALSE(Implemented(c)) << c.menu << " has no handler";
            continue;
        }
        EXPECT_TRUE(Implemented(c)) << c.menu << " has a handler but is marked not built";
        EXPECT_EQ(TableOwner(c.rule), owners[0]) << c.menu;
    }
}

// 文件 → 数据传输 opens the transfer dialog, which probes the port and says
// that no instrument answers.
TEST(CommandTable, TransferFromTheFileMenuOpensTheDialog) {
    TempDir home;  // the dialog makes its default folder under the documents folder
    const char* oldHome = std::getenv("HOME");
    const std::optional<std::string> savedHome = oldHome ? std::optional<std::string>(oldHome) : std::nullopt;
    ::setenv("HOME", home.path().c_str(), 1);
    ::unsetenv("TAV_INSTRUMENT_SIM");
    {
        MainWindow window;
        RecordingPrompts prompts;
        window.SetPrompts(&prompts);
        QAction* transfer = nullptr;
        for (QAction* a : MenuBarActions(window))
            if (a->text() == QStringLiteral("数据传输(&R)")) transfer = a;
        ASSERT_NE(transfer, nullptr);
        EXPECT_EQ(transfer, window.Action(command_id::kInstrumentTransfer));
        ASSERT_TRUE(transfer->isEnabled());

        bool shown = false;
        QString status;
        QTimer::singleShot(0, [&] {
            auto* dialog = window.findChild<TransferDialog*>();
            if (!dialog) return;
            shown = true;
            dialog->SetOpenFolderOnClose(false);
            dialog->Tick();
            status = dialog->StatusLine()->text();
            dialog->reject();
        });
        transfer->trigger();
        EXPECT_TRUE(shown);
        EXPECT_TRUE(status.startsWith(QStringLiteral("尚未连接。"))) << status.toStdString();
    }
    if (savedHome) ::setenv("HOME", savedHome->c_str(), 1);
    else ::unsetenv("HOME");
}

}  // namespace
}  // namespace tav::ui
