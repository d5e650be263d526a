#include "model/snapshot.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>
#include <utility>

#include "base/byte_io.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

using Index = std::int32_t;

std::string_view PileNoAt(const CTAV_AnalyserDoc& doc, Index i) {
    return TextOf(doc.points[static_cast<std::size_t>(i)].pileNo);
}

// After the list changed, the selection keeps its kind and follows currentIndex.
void Reselect(CTAV_AnalyserDoc& doc) {
    if (doc.selectionMode == kModePile) {
        doc.SelectPile(doc.PileOrdinal(doc.currentIndex));
    } else if (doc.selectionMode == kModePoint) {
        doc.SelectPoint(doc.currentIndex);
    }
}

// ---- paste, insert, append, delete ------------------------------------------------

int Paste(CTAV_AnalyserDoc& doc, Snapshot& s) {
    if (s.points.empty() || !doc.ValidIndex(s.target)) return 0;
    if (s.mode == kModePile) {
        const auto group = doc.PileGroup(s.target);
        const Index first = group.front();
        const std::string pileNo(PileNoAt(doc, first));
        for (auto& tp : s.points) SetText(tp.pileNo, pileNo);
        auto removed = doc.TakePoints(first, static_cast<Index>(group.size()));
        doc.InsertPoints(first, std::move(s.points));
        s.points = std::move(removed);
        s.target = first;
        doc.SelectPile(doc.PileOrdinal(first));
        return 1;
    }
    if (s.mode != kModePoint) return 0;
    s.points.resize(1);
    TestPoint& tp = doc.points[static_cast<std::size_t>(s.target)];
    TestPoint replaced = std::move(tp);
    tp = std::move(s.points.front());
    tp.toePending = replaced.toePending;
    tp.scalePending = replaced.scalePending;
    s.points.front() = std::move(replaced);
    return 1;
}

// The text with its last byte advanced; an empty text becomes the cycle's first character.
std::string Advanced(std::string_view text) {
    std::string t(text);
    if (t.empty()) return std::string(1, NextPileChar('\0'));
    t.back() = NextPileChar(t.back());
    return t;
}

// The name an inserted pile takes: its own, unless it equals a neighbour's.
// A new name also steps past every number another pile of the project has,
// or sorting would later merge the two piles into one.
std::string InsertedPileName(const CTAV_AnalyserDoc& doc, Index position, std::string_view base) {
    const std::optional<std::string_view> before =
        position > 0 ? std::optional(PileNoAt(doc, position - 1)) : std::nullopt;
    const std::optional<std::string_view> after =
        position < doc.PointCount() ? std::optional(PileNoAt(doc, position)) : std::nullopt;
    if (before != base && after != base) return std::string(base);
    std::string name = NewPileName(before.value_or(""), after.value_or(""), base);
    const auto taken = [&](const std::string& t) { return doc.PileNumberExists(doc.PointCount(), t) == 0; };
    // The last byte runs through a cycle of 62 characters; when every one of
    // them is taken the rule's own name stands.
    std::string t = name;
    for (int tries = 0; tries <= 62 && taken(t); ++tries) t = Advanced(t);
    return taken(t) ? name : t;
}

int InsertOrAppend(CTAV_AnalyserDoc& doc, Snapshot& s, bool append) {
    if (s.points.empty() || (s.mode != kModePoint && s.mode != kModePile)) return 0;
    const Index count = doc.PointCount();
    Index position = 0;
    if (count > 0) {
        if (!doc.ValidIndex(s.target)) return 0;
        if (s.mode == kModePoint || s.exactPlace) {
            position = append ? s.target + 1 : s.target;
        } else {
            const auto group = doc.PileGroup(s.target);
            position = append ? group.back() + 1 : group.front();
        }
    } else if (!append) {
        return 0;
    }
    if (s.mode == kModePoint) {
        s.points.resize(1);
    } else {
        const std::string name = InsertedPileName(doc, position, TextOf(s.points.front().pileNo));
        for (auto& tp : s.points) SetText(tp.pileNo, name);
    }
    const bool pile = s.mode == kModePile;
    doc.InsertPoints(position, std::move(s.points));
    if (pile && append) {
        doc.SelectPile(doc.PileOrdinal(position));
    } else {
        doc.SelectPoint(position);
    }
    s.points.clear();
    s.kind = kSnapDelete;
    s.target = position;
    s.exactPlace = false;
    return 1;
}

int Delete(CTAV_AnalyserDoc& doc, Snapshot& s) {
    if (!doc.ValidIndex(s.target)) return 0;
    Index first = s.target;
    if (s.mode == kModePoint) {
        const Index count = doc.PointCount();
        const std::string_view pileNo = PileNoAt(doc, first);
        Index next = -1;
        if (first + 1 < count && PileNoAt(doc, first + 1) == pileNo) {
            next = first;
        } else if (first > 0 && PileNoAt(doc, first - 1) == pileNo) {
            next = first - 1;
        }
        s.points = doc.TakePoints(first, 1);
        doc.SelectPoint(next);
    } else if (s.mode == kModePile) {
        const auto group = doc.PileGroup(s.target);
        first = group.front();
        s.points = doc.TakePoints(first, static_cast<Index>(group.size()));
        doc.SelectPile(-1);
    } else {
        return 0;
    }
    const Index count = doc.PointCount();
    s.exactPlace = true;
    if (first < count) {
        s.kind = kSnapInsert;
        s.target = first;
    } else {
        s.kind = kSnapAppend;
        s.target = count > 0 ? count - 1 : 0;
    }
    return 1;
}

// ---- moves --------------------------------------------------------------------------

struct Run {
    Index first = 0;
    Index length = 0;
    Index end() const { return first + length; }
};

std::optional<Run> PileRun(const CTAV_AnalyserDoc& doc, Index index) {
    if (!doc.ValidIndex(index)) return std::nullopt;
    const auto group = doc.PileGroup(index);
    return Run{group.front(), static_cast<Index>(group.size())};
}

// The run to move: the recorded span, or the pile of `index`.
std::optional<Run> MovingRun(const CTAV_AnalyserDoc& doc, const Snapshot& s) {
    if (s.moveSpan <= 0) return PileRun(doc, s.index);
    if (!doc.ValidIndex(s.index) || s.moveSpan > doc.PointCount() - s.index) return std::nullopt;
    return Run{s.index, s.moveSpan};
}

// The neighbouring run it passes: the recorded span, or the neighbouring pile.
std::optional<Run> PassedRun(const CTAV_AnalyserDoc& doc, const Snapshot& s, Run moving, bool up) {
    if (s.pastSpan <= 0) return PileRun(doc, up ? moving.first - 1 : moving.end());
    if (up) {
        if (s.pastSpan > moving.first) return std::nullopt;
        return Run{moving.first - s.pastSpan, s.pastSpan};
    }
    if (s.pastSpan > doc.PointCount() - moving.end()) return std::nullopt;
    return Run{moving.end(), s.pastSpan};
}

// Puts `second` (which directly follows `first`) before it; the current test
// point follows its record.
void SwapRuns(CTAV_AnalyserDoc& doc, Run first, Run second) {
    const auto begin = doc.points.begin();
    std::rotate(begin + first.first, begin + second.first, begin + second.end());
    if (doc.currentIndex >= first.first && doc.currentIndex < first.end()) {
        doc.currentIndex += second.length;
    } else if (doc.currentIndex >= second.first && doc.currentIndex < second.end()) {
        doc.currentIndex -= first.length;
    }
    Reselect(doc);
}

int Move(CTAV_AnalyserDoc& doc, Snapshot& s, bool up) {
    if (s.mode == kModePoint) {
        const Index count = doc.PointCount();
        const Index to = up ? s.index - 1 : s.index + 1;
        if (s.index < 0 || s.index >= count || to < 0 || to >= count) return 0;
        const Index low = std::min(s.index, to);
        SwapRuns(doc, Run{low, 1}, Run{low + 1, 1});
        s.kind = up ? kSnapMoveDown : kSnapMoveUp;
        s.index = to;
        return 1;
    }
    if (s.mode != kModePile) return 0;
    const auto moving = MovingRun(doc, s);
    if (!moving) return 0;
    const auto passed = PassedRun(doc, s, *moving, up);
    if (!passed) return 0;
    if (up) {
        SwapRuns(doc, *passed, *moving);
        s.index = passed->first;
    } else {
        SwapRuns(doc, *moving, *passed);
        s.index = moving->first + passed->length;
    }
    s.kind = up ? kSnapMoveDown : kSnapMoveUp;
    s.moveSpan = moving->length;
    s.pastSpan = passed->length;
    return 1;
}

// ---- header and record head edits ----------------------------------------------------

bool SameHeader(const ProjectHeader& a, const ProjectHeader& b) {
    return a.magic == b.magic && a.pointCount == b.pointCount && a.testUnit == b.testUnit &&
           a.projectName == b.projectName && a.reserved == b.reserved;
}

int ExchangeHeader(CTAV_AnalyserDoc& doc, Snapshot& s) {
    s.header.pointCount = doc.PointCount();
    if (SameHeader(s.header, doc.header)) return 0;
    std::swap(s.header, doc.header);
    return 1;
}

// Exchanges the 128-byte record heads of a and b; false when they are equal.
bool ExchangeRecordHeads(TestPoint& a, TestPoint& b) {
    std::vector<std::uint8_t> bytesA;
    std::vector<std::uint8_t> bytesB;
    ByteWriter outA(bytesA);
    ByteWriter outB(bytesB);
    WriteRecordHead(outA, a);
    WriteRecordHead(outB, b);
    if (bytesA == bytesB) return false;
    ByteReader inA(bytesA);
    ByteReader inB(bytesB);
    ReadRecordHead(inB, a);
    ReadRecordHead(inA, b);
    return true;
}

int ExchangeRecordHeadsWithHeld(CTAV_AnalyserDoc& doc, Snapshot& s) {
    bool changed = false;
    for (auto& held : s.points) {
        if (!doc.ValidIndex(held.runtimeWord)) continue;
        changed = ExchangeRecordHeads(doc.points[static_cast<std::size_t>(held.runtimeWord)], held) || changed;
    }
    return changed ? 1 : 0;
}

// ---- sorts and whole-set exchanges ---------------------------------------------------

int Sort(CTAV_AnalyserDoc& doc, Snapshot& s, bool ascending) {
    std::vector<Index> order(static_cast<std::size_t>(doc.PointCount()));
    std::iota(order.begin(), order.end(), 0);
    // Neighbours swap only when strictly out of order, so equal pile numbers
    // keep their order: a stable sort.
    std::stable_sort(order.begin(), order.end(), [&](Index a, Index b) {
        return ascending ? PileNoAt(doc, a) < PileNoAt(doc, b) : PileNoAt(doc, b) < PileNoAt(doc, a);
    });
    if (std::is_sorted(order.begin(), order.end())) return 0;
    s.points = doc.points;
    std::vector<TestPoint> sorted;
    sorted.reserve(order.size());
    for (const Index i : order) sorted.push_back(std::move(doc.points[static_cast<std::size_t>(i)]));
    doc.points = std::move(sorted);
    s.kind = kSnapRestoreSet;
    doc.RebuildCheckedList();
    Reselect(doc);
    return 1;
}

int ExchangeSet(CTAV_AnalyserDoc& doc, Snapshot& s) {
    if (s.count() != doc.PointCount()) return 0;
    std::swap(doc.points, s.points);
    doc.RebuildCheckedList();
    Reselect(doc);
    return 1;
}

// ---- ticks -------------------------------------------------------------------------------

// The records held for a tick edit carry only their ticks: the whole test
// points are never needed to put ticks back.
int SetAllTicks(CTAV_AnalyserDoc& doc, Snapshot& s, std::int32_t kind) {
    if (doc.points.empty()) return 0;
    std::vector<TestPoint> ticks(doc.points.size());
    bool changed = false;
    for (std::size_t i = 0; i < doc.points.size(); ++i) {
        auto& checked = doc.points[i].checked;
        ticks[i].checked = checked;
        const std::int32_t now = kind == kSnapTickAll ? 1 : kind == kSnapUntickAll ? 0 : (checked != 0 ? 0 : 1);
        changed = changed || now != checked;
        checked = now;
    }
    if (!changed && kind != kSnapInvertTicks) return 0;
    s.points = std::move(ticks);
    s.kind = kSnapRestoreTicks;
    doc.RebuildCheckedList();
    return 1;
}

int ExchangeTicks(CTAV_AnalyserDoc& doc, Snapshot& s) {
    if (s.count() != doc.PointCount() || s.points.empty()) return 0;
    for (std::size_t i = 0; i < doc.points.size(); ++i) std::swap(doc.points[i].checked, s.points[i].checked);
    doc.RebuildCheckedList();
    return 1;
}

int TickOne(CTAV_AnalyserDoc& doc, Snapshot& s, bool tick) {
    if (!doc.ValidIndex(s.index)) return 0;
    auto& checked = doc.points[static_cast<std::size_t>(s.index)].checked;
    if ((checked != 0) == tick) return 0;
    checked = tick ? 1 : 0;
    s.kind = tick ? kSnapUntick : kSnapTick;
    doc.RebuildCheckedList();
    return 1;
}

int Dispatch(CTAV_AnalyserDoc& doc, Snapshot& s) {
    switch (s.kind) {
        case kSnapPaste: return Paste(doc, s);
        case kSnapInsert: return InsertOrAppend(doc, s, false);
        case kSnapAppend: return InsertOrAppend(doc, s, true);
        case kSnapDelete: return Delete(doc, s);
        case kSnapMoveUp: return Move(doc, s, true);
        case kSnapMoveDown: return Move(doc, s, false);
        case kSnapHeaderEdit: return ExchangeHeader(doc, s);
        case kSnapRecordHeadEdit: return ExchangeRecordHeadsWithHeld(doc, s);
        case kSnapSortAscending: return Sort(doc, s, true);
        case kSnapSortDescending: return Sort(doc, s, false);
        case kSnapRestoreSet: return ExchangeSet(doc, s);
        case kSnapTickAll:
        case kSnapUntickAll:
        case kSnapInvertTicks: return SetAllTicks(doc, s, s.kind);
        case kSnapRestoreTicks: return ExchangeTicks(doc, s);
        case kSnapTick: return TickOne(doc, s, true);
        case kSnapUntick: return TickOne(doc, s, false);
        default: return 0;
    }
}

}  // namespace

int ApplySnapshot(CTAV_AnalyserDoc& doc, Snapshot& snapshot) {
    if (!Dispatch(doc, snapshot)) return 0;
    doc.MarkListChanged();
    return 1;
}

void PushSnapshot(std::vector<Snapshot>& list, Snapshot snapshot) { list.push_back(std::move(snapshot)); }

int PopAndApply(CTAV_AnalyserDoc& doc, std::vector<Snapshot>& list, Snapshot& out) {
    if (list.empty()) return 0;
    out = std::move(list.back());
    list.pop_back();
    return ApplySnapshot(doc, out);
}

int RunUndoable(CTAV_AnalyserDoc& doc, Snapshot snapshot) {
    if (!ApplySnapshot(doc, snapshot)) return 0;
    PushSnapshot(doc.undoList, std::move(snapshot));
    doc.redoList.clear();
    return 1;
}

int Undo(CTAV_AnalyserDoc& doc) {
    Snapshot inverse;
    if (!PopAndApply(doc, doc.undoList, inverse)) return 0;
    PushSnapshot(doc.redoList, std::move(inverse));
    return 1;
}

int Redo(CTAV_AnalyserDoc& doc) {
    Snapshot inverse;
    if (!PopAndApply(doc, doc.redoList, inverse)) return 0;
    PushSnapshot(doc.undoList, std::move(inverse));
    return 1;
}

// ---- pile names --------------------------------------------------------------------------

char NextPileChar(char c) {
    if (c >= '0' && c <= '8') return static_cast<char>(c + 1);
    if (c == '9') return 'a';
    if (c >= 'a' && c <= 'y') return static_cast<char>(c + 1);
    if (c == 'z') return 'A';
    if (c >= 'A' && c <= 'Y') return static_cast<char>(c + 1);
    return '0';
}

namespace {

signed char LastByte(std::string_view text) { return text.empty() ? 0 : static_cast<signed char>(text.back()); }

}  // namespace

std::string NewPileName(std::string_view previous, std::string_view next, std::string_view base) {
    if (previous != next && !base.empty()) {
        std::string t = Advanced(base);
        if (t != previous && t != next) return t;
    }
    if (previous.empty() && next.empty()) return "1";
    const std::string t = LastByte(previous) < LastByte(next) ? Advanced(next) : Advanced(previous);
    if (t != previous && t != next) return t;
    return NewPileName(t, t, base);
}

}  // namespace tav
