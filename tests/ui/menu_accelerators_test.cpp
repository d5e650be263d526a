// No two entries of one menu answer to the same Alt letter: the menu bar,
// every menu and submenu of the built window, and the right-click menus the
// command table fills.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <map>
#include <span>

#include "processing/command_ids.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {
namespace {

// The Alt letters of one menu's entries, each named by the entries holding it.
void ExpectUniqueAccelerators(const QString& menuName, const QList<QAction*>& actions) {
    std::map<QString, QString> seen;
    for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        const QKeySequence letter = QKeySequence::mnemonic(a->text());
        if (letter.isEmpty()) continue;
        const auto [it, fresh] = seen.emplace(letter.toString(), a->text());
        EXPECT_TRUE(fresh) << menuName.toStdString() << ": " << it->second.toStdString() << " and "
                           << a->text().toStdString() << " share " << letter.toString().toStdString();
    }
}

void WalkMenu(const QMenu* menu, const QString& name) {
    ExpectUniqueAccelerators(name, menu->actions());
    for (QAction* a : menu->actions())
        if (a->menu()) WalkMenu(a->menu(), name + QStringLiteral(" ▸ ") + a->text());
}

QList<QAction*> ActionsOf(std::span<const int> ids, QObject* owner) {
    QList<QAction*> out;
    for (const int id : ids)
        if (const CommandInfo* c = FindCommand(id)) out << new QAction(FromUtf8(c->menu), owner);
    return out;
}

TEST(MenuAccelerators, EveryMenuOfTheWindowHasUniqueAltLetters) {
    MainWindow window;
    ExpectUniqueAccelerators(QStringLiteral("menu bar"), window.menuBar()->actions());
    int menus = 0;
    for (QAction* top : window.menuBar()->actions())
        if (top->menu()) {
            WalkMenu(top->menu(), top->text());
            ++menus;
        }
    EXPECT_GE(menus, 7);
    EXPECT_EQ(window.Action(command_id::kInstrumentTransfer)->text(), QStringLiteral("数据传输(&R)"));

    // The right-click menus are built from the same table when they open.
    QObject owner;
    ExpectUniqueAccelerators(QStringLiteral("test point list"), ActionsOf(PointListMenuCommands(), &owner));
    const int head[] = {command_id::kPileHead, command_id::kPileToe, command_id::kMarkLine};
    QList<QAction*> waveform = ActionsOf(head, &owner) + ActionsOf(WaveformMenuDisplay(), &owner);
    ExpectUniqueAccelerators(QStringLiteral("waveform"), waveform);
    ExpectUniqueAccelerators(QStringLiteral("waveform ▸ 缺陷"), ActionsOf(WaveformMenuDefects(), &owner));
    const int chain[] = {command_id::kChainListEdit, command_id::kChainListDelete, command_id::kChainListClear};
    ExpectUniqueAccelerators(QStringLiteral("chain list"), ActionsOf(chain, &owner));
    ExpectUniqueAccelerators(QStringLiteral("chain list ▸ 插入"), ActionsOf(ChainListMenuInserts(), &owner));
}

}  // namespace
}  // namespace tav::ui
