// Undoable edits of the test point list. Every list edit is a Snapshot that
// the document applies; applying performs the edit and turns the snapshot into
// its own inverse, which goes onto the undo list. Undo and redo apply the top
// snapshot of one list and move it to the other.
//
// What each kind does, and what it becomes once applied:
//   3  paste: the held test points replace the current test point (mode 1) or
//      the current pile (mode 2, renamed to the replaced pile's number) -> 3
//   4  insert the held ones before the current test point or pile    -> 6
//   5  append them after the current test point or pile              -> 6
//   6  delete the current test point or pile                         -> 4, or 5 at the end
//   7, 8  move the test point or pile at `index` up, down one place  -> 8, 7
//   10 exchange the project header with the held one                 -> 10
//   11 exchange record heads with the test points named by each held
//      test point's runtimeWord                                       -> 11
//   12, 13 sort by pile number ascending, descending                 -> 14
//   14 exchange the whole working set with the held test points      -> 14
//   15, 16, 17 tick all, untick all, invert the ticks                -> 18
//   18 exchange every tick with the held ones                        -> 18
//   19, 20 tick, untick the test point at `index`                    -> 20, 19
// An edit whose preconditions fail changes nothing, returns 0 and is not recorded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/project_header.hpp"
#include "model/test_point.hpp"

namespace tav {

class CTAV_AnalyserDoc;

enum SnapshotKind : std::int32_t {
    kSnapPaste = 3,
    kSnapInsert = 4,
    kSnapAppend = 5,
    kSnapDelete = 6,
    kSnapMoveUp = 7,
    kSnapMoveDown = 8,
    kSnapHeaderEdit = 10,
    kSnapRecordHeadEdit = 11,
    kSnapSortAscending = 12,
    kSnapSortDescending = 13,
    kSnapRestoreSet = 14,
    kSnapTickAll = 15,
    kSnapUntickAll = 16,
    kSnapInvertTicks = 17,
    kSnapRestoreTicks = 18,
    kSnapTick = 19,
    kSnapUntick = 20,
};

enum SnapshotMode : std::int32_t { kModeNone = 0, kModePoint = 1, kModePile = 2 };

struct Snapshot {
    std::int32_t kind = 0;
    std::int32_t mode = kModeNone;  // the document's selection mode when the edit was made
    std::int32_t index = -1;        // the test point the edit works from
    std::int32_t target = -1;       // the position the edit works at
    std::vector<TestPoint> points;  // the test points held
    ProjectHeader header{};         // for the project header edit

    // Kept in memory only, never on the clipboard. A pile insert made by undoing
    // a delete goes back exactly to `target` even when the deletion joined the
    // two neighbouring piles into one; a pile move made by undoing a move swaps
    // exactly the two runs it swapped (moveSpan test points from `index`, then
    // pastSpan before or after them), even when the move joined a pile with a
    // neighbour of the same number.
    bool exactPlace = false;
    std::int32_t moveSpan = 0;
    std::int32_t pastSpan = 0;

    std::int32_t count() const { return static_cast<std::int32_t>(points.size()); }
};

// Performs the edit: 1 when the document changed (the snapshot is then its
// inverse), 0 when nothing changed (the snapshot is then unspecified).
int ApplySnapshot(CTAV_AnalyserDoc& doc, Snapshot& snapshot);

// The lists have no length limit. Pushing takes the snapshot over.
void PushSnapshot(std::vector<Snapshot>& list, Snapshot snapshot);
// 0 when the list is empty; otherwise removes the last snapshot and applies it:
// 1 with the inverted snapshot in out, or 0 when it no longer applies (it is
// dropped, so that a stale edit is never redone in the wrong direction).
int PopAndApply(CTAV_AnalyserDoc& doc, std::vector<Snapshot>& list, Snapshot& out);

// A new undoable command: applies it; on success records the inverse for undo
// and empties the redo list. 1 when the document changed.
int RunUndoable(CTAV_AnalyserDoc& doc, Snapshot snapshot);
int Undo(CTAV_AnalyserDoc& doc);
int Redo(CTAV_AnalyserDoc& doc);

// The successor of a pile number's last character: 0-9, a-z, A-Z form one
// cycle; every other byte continues with the digit 0.
char NextPileChar(char c);
// A pile number (code page 936 bytes) that differs from both neighbours,
// derived from base where it can be.
std::string NewPileName(std::string_view previous, std::string_view next, std::string_view base);

}  // namespace tav
