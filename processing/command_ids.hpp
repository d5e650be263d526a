// The window's command ids, each named once. The numbers are the menu and
// toolbar ids of the instrument maker's program (57xxx are the frame's standard
// commands); the commands added here took numbers of their own (3298x, 3299x).
//
// The names live in processing/, beside the chain controller, because that is
// the lowest layer that acts on a command id: the display model (analysis/)
// and the window (ui/) take theirs from here, and ui/command_table.cpp adds
// the menu texts, shortcuts and enabling rules.
//
// Code acts on named commands, never on a range of numbers. A new command
// gets a constant here, an entry in kAll and a row in the window's command
// table; a window test checks that the three agree.
#pragma once

#include <cstddef>

namespace tav::command_id {

// 文件
inline constexpr int kFileOpen = 57601;
inline constexpr int kAppendOpen = 32895;  // "追加打开": another file's test points added to the project
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kSaveTicked = 32849;            // "选择保存"
inline constexpr int kMergeInstrumentFiles = 32880;  // "导入TAV2015数据"
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kInstrumentTransfer = 32853;  // "数据传输"
inline constexpr int kSpreadsheetReport = 32990;   // "生成报表"
inline constexpr int kDocumentReport = 32991;      // "生成报告"
inline constexpr int kSavePicture = 32998;         // "保存图形"
inline constexpr int kViewLog = 32872;
inline constexpr int kAppExit = 57665;

// 编辑: the test point list's clipboard, order and undo.
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditRedo = 57644;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditPaste = 57637;
inline constexpr int kPointInsert = 32814;
inline constexpr int kPointAppend = 32815;
inline constexpr int kPointDelete = 32813;
inline constexpr int kPointUp = 32816;
inline constexpr int kPointDown = 32817;
inline constexpr int kSortAscending = 32841;
inline constexpr int kSortDescending = 32842;

// 测点
inline constexpr int kTickAll = 32875;
inline constexpr int kUntickAll = 32876;
inline constexpr int kInvertTicks = 32877;
inline constexpr int kPileInfo = 32896;
inline constexpr int kOrderByPileNo = 32897;
inline constexpr int kOrderByDate = 32898;
inline constexpr int kDeleteTicked = 32900;

// 波形处理: a new step of each operation.
inline constexpr int kFilter = 32781;
inline constexpr int kMagnify = 32782;
inline constexpr int kSmooth = 32783;
inline constexpr int kIntegrate = 32784;
inline constexpr int kDifferentiate = 32785;
inline constexpr int kRemoveDc = 32786;
inline constexpr int kRotate = 32787;
inline constexpr int kLinearZero = 32788;
inline constexpr int kNonlinearZero = 32789;
inline constexpr int kFrontZero = 32790;
inline constexpr int kRearZero = 32791;
inline constexpr int kLocalScale = 32792;
inline constexpr int kShift = 32793;
inline constexpr int kReverse = 32794;
// The chain's rows, and the waveforms an operation acts on.
inline constexpr int kStepEdit = 32844;
inline constexpr int kStepDelete = 32845;
inline constexpr int kStepClear = 32847;
inline constexpr int kUndoLast = 32873;
inline constexpr int kScopeCurrent = 32863;  // "当前波形"
inline constexpr int kScopeAll = 32864;      // "全部波形"

// 波形处理 → 插入: a step inserted before the selected chain row.
inline constexpr int kInsertFilter = 32820;
inline constexpr int kInsertMagnify = 32821;
inline constexpr int kInsertRemoveDc = 32822;
inline constexpr int kInsertSmooth = 32823;
inline constexpr int kInsertIntegrate = 32824;
inline constexpr int kInsertDifferentiate = 32825;
inline constexpr int kInsertRotate = 32826;
inline constexpr int kInsertLinearZero = 32827;
inline constexpr int kInsertNonlinearZero = 32828;
inline constexpr int kInsertFrontZero = 32829;
inline constexpr int kInsertRearZero = 32830;
inline constexpr int kInsertLocalScale = 32831;
inline constexpr int kInsertShift = 32832;
inline constexpr int kInsertReverse = 32833;

// The chain list's own context menu (the clear there asks first).
inline constexpr int kChainListEdit = 32904;
inline constexpr int kChainListClear = 32906;
inline constexpr int kChainListDelete = 32907;
inline constexpr int kChainListInsertFilter = 32911;
inline constexpr int kChainListInsertMagnify = 32912;
inline constexpr int kChainListInsertRemoveDc = 32913;
inline constexpr int kChainListInsertSmooth = 32914;
inline constexpr int kChainListInsertIntegrate = 32915;
inline constexpr int kChainListInsertRotate = 32916;
inline constexpr int kChainListInsertReverse = 32932;

// 波形分析
inline constexpr int kPileHead = 32771;
inline constexpr int kPileToe = 32772;
inline constexpr int kMarkLine = 32836;  // "标记线": on a spectrum, wavelet or statistics trace
inline constexpr int kMarkEdit = 32837;  // a custom defect's name and remark
inline constexpr int kMarkDelete = 32838;
inline constexpr int kMarkClear = 32839;
inline constexpr int kAutoPropose = 32981;  // "自动判读"
inline constexpr int kSiteSpeed = 32980;    // "桩身波速统计"
inline constexpr int kSignalMatch = 32982;  // "信号拟合"

// 波形分析 → 缺陷: a defect of the given kind and grade at the cursor.
inline constexpr int kBulgeGrade2 = 32773;        // 扩径(Ⅱ)
inline constexpr int kNeckGrade2 = 32774;         // 缩径(Ⅱ)
inline constexpr int kMudGrade2 = 32775;          // 夹泥(Ⅱ)
inline constexpr int kSegregationGrade2 = 32776;  // 离析(Ⅱ)
inline constexpr int kCrackGrade2 = 32777;        // 裂缝(Ⅱ)
inline constexpr int kBaseBulgeGrade2 = 32779;    // 扩底(Ⅱ)
inline constexpr int kBulgeGrade3 = 32882;        // 扩径(Ⅲ)
inline constexpr int kNeckGrade3 = 32883;         // 缩径(Ⅲ)
inline constexpr int kMudGrade3 = 32884;          // 夹泥(Ⅲ)
inline constexpr int kSegregationGrade3 = 32885;  // 离析(Ⅲ)
inline constexpr int kCrackGrade3 = 32886;        // 裂缝(Ⅲ)
inline constexpr int kBaseBulgeGrade3 = 32881;    // 扩底(Ⅲ)
inline constexpr int kBreakGrade4 = 32778;        // 断桩(Ⅳ)
inline constexpr int kMinorDefect = 32901;        // 轻微缺陷
inline constexpr int kOrdinaryDefect = 32902;     // 普通缺陷
inline constexpr int kSevereDefect = 32903;       // 严重缺陷
inline constexpr int kCustomDefect = 32899;       // 自定义缺陷: name and grade asked for

// 显示: position and scale of the traces.
inline constexpr int kDefaultPlacement = 32795;  // "默认位置比例"
inline constexpr int kWholeWaveform = 32809;
inline constexpr int kAlignHead = 32800;
inline constexpr int kMoveLeft = 32801;
inline constexpr int kMoveRight = 32802;
inline constexpr int kResetPosition = 32810;
inline constexpr int kAlignToe = 32803;  // "对齐桩尾/自动伸缩"
inline constexpr int kHorizontalStretch = 32804;
inline constexpr int kHorizontalCompress = 32805;
inline constexpr int kResetScale = 32811;
inline constexpr int kVerticalAuto = 32806;
inline constexpr int kVerticalStretch = 32807;
inline constexpr int kVerticalCompress = 32808;
// 显示: how the traces are drawn, and the cursor.
inline constexpr int kFillNone = 32796;
inline constexpr int kFillPositive = 32797;
inline constexpr int kFillNegative = 32798;
inline constexpr int kSpectrumLines = 32834;
inline constexpr int kSpectrumEnvelope = 32835;
inline constexpr int kDisplaySettings = 32999;
inline constexpr int kCrossCursor = 32868;
inline constexpr int kLineCursor = 32869;
inline constexpr int kCursorReadout = 32870;  // "显隐游标信息"

// 工具: the desktop's own programs.
inline constexpr int kCalculator = 32854;
inline constexpr int kPaint = 32855;
inline constexpr int kNotepad = 32856;

// 帮助
inline constexpr int kHelp = 57670;
inline constexpr int kAppAbout = 57664;

// Every id above, once.
inline constexpr int kAll[] = {
    kFileOpen, kAppendOpen, kFileSave, kFileSaveAs, kSaveTicked, kMergeInstrumentFiles, kFilePrintSetup, kFilePrint,
    kFilePrintPreview, kInstrumentTransfer, kSpreadsheetReport, kDocumentReport, kSavePicture, kViewLog, kAppExit,
    kEditUndo, kEditRedo, kEditCut, kEditCopy, kEditPaste, kPointInsert, kPointAppend, kPointDelete, kPointUp,
    kPointDown, kSortAscending, kSortDescending,
    kTickAll, kUntickAll, kInvertTicks, kPileInfo, kOrderByPileNo, kOrderByDate, kDeleteTicked,
    kFilter, kMagnify, kSmooth, kIntegrate, kDifferentiate, kRemoveDc, kRotate, kLinearZero, kNonlinearZero,
    kFrontZero, kRearZero, kLocalScale, kShift, kReverse, kStepEdit, kStepDelete, kStepClear, kUndoLast,
    kScopeCurrent, kScopeAll,
    kInsertFilter, kInsertMagnify, kInsertRemoveDc, kInsertSmooth, kInsertIntegrate, kInsertDifferentiate,
    kInsertRotate, kInsertLinearZero, kInsertNonlinearZero, kInsertFrontZero, kInsertRearZero, kInsertLocalScale,
    kInsertShift, kInsertReverse,
    kChainListEdit, kChainListClear, kChainListDelete, kChainListInsertFilter, kChainListInsertMagnify,
    kChainListInsertRemoveDc, kChainListInsertSmooth, kChainListInsertIntegrate, kChainListInsertRotate,
    kChainListInsertReverse,
    kPileHead, kPileToe, kMarkLine, kMarkEdit, kMarkDelete, kMarkClear, kAutoPropose, kSiteSpeed, kSignalMatch,
    kBulgeGrade2, kNeckGrade2, kMudGrade2, kSegregationGrade2, kCrackGrade2, kBaseBulgeGrade2, kBulgeGrade3,
    kNeckGrade3, kMudGrade3, kSegregationGrade3, kCrackGrade3, kBaseBulgeGrade3, kBreakGrade4, kMinorDefect,
    kOrdinaryDefect, kSevereDefect, kCustomDefect,
    kDefaultPlacement, kWholeWaveform, kAlignHead, kMoveLeft, kMoveRight, kResetPosition, kAlignToe,
    kHorizontalStretch, kHorizontalCompress, kResetScale, kVerticalAuto, kVerticalStretch, kVerticalCompress,
    kFillNone, kFillPositive, kFillNegative, kSpectrumLines, kSpectrumEnvelope, kDisplaySettings, kCrossCursor,
    kLineCursor, kCursorReadout,
    kCalculator, kPaint, kNotepad,
    kHelp, kAppAbout,
};

// Two names for one number would make two commands run as one.
constexpr bool AllDistinct() {
    constexpr std::size_t n = sizeof(kAll) / sizeof(kAll[0]);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (kAll[i] == kAll[j]) return false;
    return true;
}
static_assert(AllDistinct(), "two command names share one id");

}  // namespace tav::command_id
