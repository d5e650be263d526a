// The test point list's commands as the window and tavtool run them: the
// undoable ones build their snapshot from the document's selection and run
// it through the undo list (model/snapshot.hpp); the pile information dialog,
// deleting the ticked test points and saving them are plain edits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/snapshot.hpp"

namespace tav {

class CTAV_AnalyserDoc;

// ---- undoable commands (1 when the document changed and the edit was recorded) ----

// The current test point (selected by test point) or the current pile's test
// points (selected by pile) as a clipboard snapshot; nothing without a selection.
std::optional<Snapshot> CopySelection(const CTAV_AnalyserDoc& doc);
// Paste (kSnapPaste), insert (kSnapInsert) or append (kSnapAppend) the
// clipboard's test points at the current selection.
int PasteCommand(CTAV_AnalyserDoc& doc, Snapshot clipboard, std::int32_t kind);
int DeleteCommand(CTAV_AnalyserDoc& doc);
int MoveCommand(CTAV_AnalyserDoc& doc, bool up);
int SortCommand(CTAV_AnalyserDoc& doc, bool ascending);
// kSnapTickAll, kSnapUntickAll or kSnapInvertTicks.
int TicksCommand(CTAV_AnalyserDoc& doc, std::int32_t kind);
// One tick box of the list clicked.
int TickCommand(CTAV_AnalyserDoc& doc, std::int32_t index, bool ticked);

// Whether a command can act now, for enabling it.
bool CanMove(const CTAV_AnalyserDoc& doc, bool up);

// ---- pile information dialog ("桩信息") -------------------------------------------------

// Byte comparison of code page 936 texts that ignores the case of ASCII letters
// (the second byte of a two-byte character is never folded).
int CompareNoCase(std::string_view a, std::string_view b);

struct PileInfoFields {
    std::string pileNo;              // code page 936
    std::int32_t pileTypeIndex = -1;  // entry of the pile type list; -1 for none
    std::string lengthText;          // as typed, metres
    std::string diameterText;        // as typed, mm
    std::array<int, 3> date{2000, 1, 1};  // year, month, day from the date picker
    bool applyToTicked = false;      // "应用到所有选中桩"
    bool applyType = false;
    bool applyLength = false;
    bool applyDiameter = false;
    bool applyDate = false;
};

enum class PileInfoField { None, PileNo, PileType, Length, Diameter, Date };

struct PileInfoOutcome {
    int ok = 0;
    PileInfoField field = PileInfoField::None;  // the field to select on a refusal
    std::string message;                        // UTF-8, the refusal shown
};

// The dialog's fields filled from the first test point of the pile.
PileInfoFields PileInfoDefaults(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal);
// Checks the fields in the dialog's order; ok = 1 when they may be stored.
PileInfoOutcome CheckPileInfo(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, const PileInfoFields& f);
// Checks, then stores the fields in every test point of the pile and, when
// asked, the ticked fields in every other ticked pile. Not recorded for undo.
PileInfoOutcome ApplyPileInfo(CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, const PileInfoFields& f);

// "%d-%d-%d" of a test date text: year, month, day.
std::optional<std::array<int, 3>> ParseTestDate(std::string_view text);
std::string FormatTestDate(const std::array<int, 3>& date);

// ---- information panel edits (undoable) ----------------------------------------------

enum class PointField { PileNo, Diameter, TestDate, PileType };

struct EditOutcome {
    int changed = 0;
    std::string refusal;  // UTF-8; set when the text cannot be stored
};

// The test unit (projectName false) or project name, cut to 49 bytes.
EditOutcome EditHeaderText(CTAV_AnalyserDoc& doc, bool projectName, std::string_view cp936Text);
// One cell of the test point table: the row's test point (scope 0) or every
// listed test point (scope 1) takes the text.
EditOutcome EditPointField(CTAV_AnalyserDoc& doc, std::int32_t row, std::int32_t scope, PointField field,
                           std::string_view cp936Text);

// ---- list commands that are not recorded ------------------------------------------

inline constexpr std::string_view kAskDeleteTicked = "确实要删除所有选中测点吗？";
// Deletes every ticked test point; the number deleted. The undo and redo
// lists are emptied when any goes: their positions no longer hold.
std::int32_t DeleteTickedPoints(CTAV_AnalyserDoc& doc);

enum class SaveTickedResult { EmptyProject, NoneTicked, Saved, Failed };
inline constexpr std::string_view kNoneTickedToSave = "请选择要保存的测点";
inline constexpr std::string_view kSaveDone = "保存完成";
inline constexpr std::string_view kSaveFailed = "保存失败";
SaveTickedResult SaveTickedPoints(const CTAV_AnalyserDoc& doc, const std::string& path);

// ---- sorting the list's pile entries (display only) ---------------------------------

// "YYYY-MM-DD" made from a test date text, month and day padded to two
// digits; empty when the text has no year, month and day.
std::string PileDateKey(std::string_view testDate);
// Pile numbers compared without regard to case.
bool PileEntryBefore(std::string_view pileNoA, std::string_view pileNoB);
// Date keys compared without regard to case; equal keys by pile number.
bool PileEntryBeforeByDate(std::string_view keyA, std::string_view pileNoA, std::string_view keyB,
                           std::string_view pileNoB);

}  // namespace tav
