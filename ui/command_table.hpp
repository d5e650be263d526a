// Every command of the workstation: its id, menu text, status-bar prompt and
// short name. Menus and toolbars are built from this one table.
#pragma once

#include <span>
#include <string_view>

namespace tav::ui {

struct CommandInfo {
    int id;
    std::string_view menu;       // menu text, with its accelerator letter
    std::string_view prompt;     // status-bar prompt
    std::string_view shortName;  // tooltip
    std::string_view group;      // the menu that holds it
};

std::span<const CommandInfo> CommandTable();
const CommandInfo* FindCommand(int id);

// Standard ids of the frame's own commands (outside the workstation's range).
enum StandardCommand {
    kCmdFileOpen = 57601,
    kCmdFileSave = 57603,
    kCmdFileSaveAs = 57604,
    kCmdFilePrintSetup = 57606,
    kCmdFilePrint = 57607,
    kCmdFilePrintPreview = 57609,
    kCmdAppExit = 57665,
    kCmdAppAbout = 57664,
    kCmdEditCopy = 57634,
    kCmdEditCut = 57635,
    kCmdEditPaste = 57637,
    kCmdEditUndo = 57643,
    kCmdEditRedo = 57644,
    kCmdHelp = 57670,
    kCmdDisplaySettings = 32999,  // the frame's own: no workstation id is given to it
    kCmdSavePicture = 32998,      // "保存图形": no workstation id is given to it either
};

// Analyses beyond the instrument maker's menus, with ids of their own.
inline constexpr int kCmdSiteSpeed = 32980;     // "桩身波速统计"
inline constexpr int kCmdAutoPropose = 32981;   // "自动判读"
inline constexpr int kCmdSignalMatch = 32982;   // "信号拟合": the pile model fitted to the current record
// The defect commands an accepted proposal runs: an impedance increase or reduction.
inline constexpr int kCmdBulgeGrade2 = 32773;   // "扩径(Ⅱ)"
inline constexpr int kCmdNeckGrade2 = 32774;    // "缩径(Ⅱ)"

// "数据传输(&R)": the instrument transfer dialog.
inline constexpr int kCmdInstrumentTransfer = 32853;

// "生成报表(&E)..." and "生成报告(&W)...": no workstation ids are given to them.
inline constexpr int kCmdSpreadsheetReport = 32990;
inline constexpr int kCmdDocumentReport = 32991;

// The test point list's commands.
enum ListCommand {
    kCmdListDelete = 32813,
    kCmdListInsert = 32814,
    kCmdListAppend = 32815,
    kCmdListUp = 32816,
    kCmdListDown = 32817,
    kCmdSortAscending = 32841,
    kCmdSortDescending = 32842,
    kCmdSaveTicked = 32849,
    kCmdTickAll = 32875,
    kCmdUntickAll = 32876,
    kCmdInvertTicks = 32877,
    kCmdPileInfo = 32896,
    kCmdListByPileNo = 32897,
    kCmdListByDate = 32898,
    kCmdDeleteTicked = 32900,
};

}  // namespace tav::ui
