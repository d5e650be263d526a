// Every command of the workstation: its menu text, status-bar prompt, short
// name, shortcut, and who decides whether it is enabled and runs it. The menu
// bar, the toolbar and the context menus are built from this one table; the
// ids themselves are named in processing/command_ids.hpp and never written
// here as numbers.
#pragma once

#include <span>
#include <string_view>

#include "processing/command_ids.hpp"

namespace tav::ui {

// Who decides whether a command is enabled, and runs it.
enum class Rule {
    NotBuilt,  // shown in its menu, always disabled
    // The window runs these itself, enabled:
    Always,
    ProjectOpen,      // while the project has a test point or a file
    AnyPoint,         // while the project has a test point
    CurrentPoint,     // while a test point is current
    CursorOnCurrent,  // while a test point is current and the cursor is set on it
    ToolInstalled,    // while the desktop program it starts is installed
    WithShell,        // with the program's settings and log (a bare window has none)
    // Handed on; the owner also says whether they are enabled:
    PointList,   // ListController
    Processing,  // ProcessingCommands
    View,        // the analysis view
    Printing,    // PrintController
    Reports,     // ReportCommands
};

struct CommandInfo {
    int id;
    std::string_view menu;       // menu text, with its accelerator letter
    std::string_view prompt;     // status-bar prompt
    std::string_view shortName;  // tooltip
    std::string_view group;      // the menu that holds it
    Rule rule;
    std::string_view keys = {};  // shortcut in Qt's portable text ("Ctrl+O"), or none
};

constexpr bool Implemented(const CommandInfo& c) { return c.rule != Rule::NotBuilt; }
// The rules of commands the window runs itself.
constexpr bool RunByWindow(Rule r) { return r >= Rule::Always && r <= Rule::WithShell; }

std::span<const CommandInfo> CommandTable();
const CommandInfo* FindCommand(int id);
// The rule of a command, NotBuilt for an id not in the table.
Rule RuleOf(int id);

// Menus outside the menu bar, in their order; 0 marks a separator.
std::span<const int> ToolbarCommands();
std::span<const int> PointListMenuCommands();
// The waveform's right-click menu: head and toe, its 缺陷 submenu and its
// display commands (marks on other traces take the place of head, toe and defects).
std::span<const int> WaveformMenuDefects();
std::span<const int> WaveformMenuDisplay();
// The chain list's right-click menu: 编辑, 插入 ▸ (these), 删除, 清除.
std::span<const int> ChainListMenuInserts();

}  // namespace tav::ui
