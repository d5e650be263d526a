#include "model/list_commands.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/byte_io.hpp"
#include "model/document.hpp"
#include "model/pile_quantities.hpp"

namespace tav {

namespace {

using Index = std::int32_t;

std::string_view PileNoAt(const CTAV_AnalyserDoc& doc, Index i) {
    return TextOf(doc.points[static_cast<std::size_t>(i)].pileNo);
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A whole decimal integer, or nothing.
std::optional<long long> WholeInteger(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc{} || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

constexpr std::string_view kPileNoLength = "桩号的长度应为1～20个字符！";
constexpr std::string_view kPileNoTaken = "已存在该名称的桩号！";
constexpr std::string_view kLengthNotPositive = "桩长必须大于0！";
constexpr std::string_view kDiameterNotPositive = "桩径必须大于0！";
constexpr std::string_view kDiameterRange = "桩径应为1～32767之间的整数！";
constexpr std::string_view kDateForm = "检测日期应为“年-月-日”！";

// A diameter the record can hold (16 bits, mm), or the refusal.
std::optional<std::int16_t> ParseDiameter(std::string_view text, std::string* refusal) {
    const auto v = WholeInteger(text);
    if (v && *v <= 0) {
        *refusal = kDiameterNotPositive;
        return std::nullopt;
    }
    if (!v || *v > 32767) {
        *refusal = kDiameterRange;
        return std::nullopt;
    }
    return static_cast<std::int16_t>(*v);
}

// The record head of source in target (everything else of target stays).
void CopyRecordHead(const TestPoint& source, TestPoint& target) {
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    WriteRecordHead(out, source);
    ByteReader in(bytes);
    ReadRecordHead(in, target);
}

bool PileTicked(const CTAV_AnalyserDoc& doc, const std::vector<Index>& members) {
    return std::any_of(members.begin(), members.end(),
                       [&](Index i) { return doc.points[static_cast<std::size_t>(i)].checked != 0; });
}

}  // namespace

// ---- undoable commands ----------------------------------------------------------------

std::optional<Snapshot> CopySelection(const CTAV_AnalyserDoc& doc) {
    Snapshot s;
    s.index = doc.currentIndex;
    if (doc.selectionMode == kModePoint && doc.ValidIndex(doc.currentIndex)) {
        s.mode = kModePoint;
        s.points.push_back(doc.points[static_cast<std::size_t>(doc.currentIndex)]);
        return s;
    }
    if (doc.selectionMode == kModePile && !doc.pileMembers.empty()) {
        s.mode = kModePile;
        for (const Index i : doc.pileMembers)
            if (doc.ValidIndex(i)) s.points.push_back(doc.points[static_cast<std::size_t>(i)]);
        if (!s.points.empty()) return s;
    }
    return std::nullopt;
}

int PasteCommand(CTAV_AnalyserDoc& doc, Snapshot clipboard, std::int32_t kind) {
    if (kind != kSnapPaste && kind != kSnapInsert && kind != kSnapAppend) return 0;
    clipboard.kind = kind;
    clipboard.target = doc.currentIndex;
    clipboard.exactPlace = false;
    clipboard.moveSpan = clipboard.pastSpan = 0;
    if (kind == kSnapAppend && doc.PointCount() == 0) {
        clipboard.index = -1;
        clipboard.target = 0;
    }
    return RunUndoable(doc, std::move(clipboard));
}

int DeleteCommand(CTAV_AnalyserDoc& doc) {
    Snapshot s;
    s.kind = kSnapDelete;
    s.mode = doc.selectionMode;
    s.target = doc.currentIndex;
    return RunUndoable(doc, std::move(s));
}

int MoveCommand(CTAV_AnalyserDoc& doc, bool up) {
    Snapshot s;
    s.kind = up ? kSnapMoveUp : kSnapMoveDown;
    s.mode = doc.selectionMode;
    s.index = doc.currentIndex;
    return RunUndoable(doc, std::move(s));
}

bool CanMove(const CTAV_AnalyserDoc& doc, bool up) {
    if (!doc.ValidIndex(doc.currentIndex)) return false;
    if (doc.selectionMode == kModePoint) return up ? doc.currentIndex > 0 : doc.currentIndex + 1 < doc.PointCount();
    if (doc.selectionMode != kModePile) return false;
    const auto pile = doc.PileGroup(doc.currentIndex);
    return up ? pile.front() > 0 : pile.back() + 1 < doc.PointCount();
}

int SortCommand(CTAV_AnalyserDoc& doc, bool ascending) {
    Snapshot s;
    s.kind = ascending ? kSnapSortAscending : kSnapSortDescending;
    return RunUndoable(doc, std::move(s));
}

int TicksCommand(CTAV_AnalyserDoc& doc, std::int32_t kind) {
    if (kind != kSnapTickAll && kind != kSnapUntickAll && kind != kSnapInvertTicks) return 0;
    Snapshot s;
    s.kind = kind;
    return RunUndoable(doc, std::move(s));
}

int TickCommand(CTAV_AnalyserDoc& doc, std::int32_t index, bool ticked) {
    Snapshot s;
    s.kind = ticked ? kSnapTick : kSnapUntick;
    s.index = index;
    return RunUndoable(doc, std::move(s));
}

// ---- pile information -----------------------------------------------------------------------

int CompareNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    bool trail = false;  // the byte is the second of a two-byte character
    for (; i < a.size() && i < b.size(); ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (!trail) {
            if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
            if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        }
        if (ca != cb) return ca < cb ? -1 : 1;
        trail = !trail && ca >= 0x81 && ca <= 0xFE;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::optional<std::array<int, 3>> ParseTestDate(std::string_view text) {
    std::array<int, 3> d{};
    const std::string s(text);
    if (std::sscanf(s.c_str(), "%d-%d-%d", &d[0], &d[1], &d[2]) != 3) return std::nullopt;
    return d;
}

std::string FormatTestDate(const std::array<int, 3>& date) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date[0], date[1], date[2]);
    return text;
}

namespace {

// The test points whose pile length the dialog sets: the pile's own, and with
// the length handed on, those of every other ticked pile.
std::vector<Index> LengthTakers(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, const PileInfoFields& f) {
    const Index first = doc.FirstPointOfPile(pileOrdinal);
    if (first < 0) return {};
    std::vector<Index> out = doc.PileGroup(first);
    if (!f.applyToTicked || !f.applyLength) return out;
    for (Index i = 0; i < doc.PointCount();) {
        const auto members = doc.PileGroup(i);
        i = members.back() + 1;
        if (members.front() != out.front() && PileTicked(doc, members))
            out.insert(out.end(), members.begin(), members.end());
    }
    return out;
}

// A changed pile length takes the wave speed with it, as in the parameter bar.
void SetLength(TestPoint& tp, float length) {
    if (tp.pileLength == length) return;
    tp.pileLength = length;
    const auto speed = SpeedForLength(tp, length);
    if (speed && *speed >= kMinWaveSpeed && *speed <= kMaxWaveSpeed) tp.waveSpeed = static_cast<std::int16_t>(*speed);
}

}  // namespace

PileInfoFields PileInfoDefaults(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal) {
    PileInfoFields f;
    const Index first = doc.FirstPointOfPile(pileOrdinal);
    if (first < 0) return f;
    const auto& tp = doc.points[static_cast<std::size_t>(first)];
    f.pileNo = std::string(TextOf(tp.pileNo));
    f.pileTypeIndex = tp.pileTypeIndex >= 0 && tp.pileTypeIndex < 10 ? tp.pileTypeIndex : -1;
    f.lengthText = FormatLength(tp.pileLength);
    f.diameterText = std::to_string(tp.diameter);
    if (const auto date = ParseTestDate(TextOf(tp.testDate))) f.date = *date;
    return f;
}

PileInfoOutcome CheckPileInfo(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, const PileInfoFields& f) {
    const auto refuse = [](PileInfoField field, std::string_view message) {
        return PileInfoOutcome{0, field, std::string(message)};
    };
    if (f.pileNo.empty() || f.pileNo.size() > 20) return refuse(PileInfoField::PileNo, kPileNoLength);
    for (Index i = 0, ordinal = 0; i < doc.PointCount(); ++ordinal) {
        if (ordinal != pileOrdinal && CompareNoCase(PileNoAt(doc, i), f.pileNo) == 0)
            return refuse(PileInfoField::PileNo, kPileNoTaken);
        i = doc.PileGroup(i).back() + 1;
    }
    const auto length = ReadPileLength(f.lengthText);
    if (!length) {
        const std::string text(Trimmed(f.lengthText));
        char* end = nullptr;
        const double typed = std::strtod(text.c_str(), &end);
        const bool tooSmall = end != text.c_str() + text.size() || !(typed >= kMinPileLength);
        return refuse(PileInfoField::Length, tooSmall ? std::string(kLengthNotPositive) : PileLengthRefusal());
    }
    // The wave speed follows a changed length from each test point's head and toe.
    for (const Index m : LengthTakers(doc, pileOrdinal, f))
        if (doc.points[static_cast<std::size_t>(m)].pileLength != *length &&
            !LengthKeepsSpeedValid(doc.points[static_cast<std::size_t>(m)], *length))
            return refuse(PileInfoField::Length, PileLengthRefusal());
    std::string refusal;
    if (!ParseDiameter(f.diameterText, &refusal)) return refuse(PileInfoField::Diameter, refusal);
    return PileInfoOutcome{1, PileInfoField::None, {}};
}

PileInfoOutcome ApplyPileInfo(CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, const PileInfoFields& f) {
    const Index first = doc.FirstPointOfPile(pileOrdinal);
    if (first < 0) return {};
    PileInfoOutcome outcome = CheckPileInfo(doc, pileOrdinal, f);
    if (!outcome.ok) return outcome;
    std::string unused;
    const std::int16_t diameter = *ParseDiameter(f.diameterText, &unused);
    const float length = *ReadPileLength(f.lengthText);
    const auto type = static_cast<std::int16_t>(f.pileTypeIndex >= 0 && f.pileTypeIndex < 10 ? f.pileTypeIndex : -1);
    const std::string date = FormatTestDate(f.date);

    // Other ticked piles first: the pile's own members are found by the old number.
    const std::vector<Index> own = doc.PileGroup(first);
    if (f.applyToTicked && (f.applyType || f.applyLength || f.applyDiameter || f.applyDate)) {
        for (Index i = 0; i < doc.PointCount();) {
            const auto members = doc.PileGroup(i);
            i = members.back() + 1;
            if (members.front() == own.front() || !PileTicked(doc, members)) continue;
            for (const Index m : members) {
                auto& tp = doc.points[static_cast<std::size_t>(m)];
                if (f.applyType) tp.pileTypeIndex = type;
                if (f.applyLength) SetLength(tp, length);
                if (f.applyDiameter) tp.diameter = diameter;
                if (f.applyDate) SetText(tp.testDate, date);
            }
        }
    }
    for (const Index m : own) {
        auto& tp = doc.points[static_cast<std::size_t>(m)];
        SetText(tp.pileNo, f.pileNo);
        tp.pileTypeIndex = type;
        tp.diameter = diameter;
        SetLength(tp, length);
        SetText(tp.testDate, date);
    }
    if (doc.selectionMode == kModePile) doc.SelectPile(doc.currentPile);
    if (doc.selectionMode == kModePoint) doc.SelectPoint(doc.currentIndex);
    doc.MarkListChanged();
    return outcome;
}

// ---- information panel edits ------------------------------------------------------------------

EditOutcome EditHeaderText(CTAV_AnalyserDoc& doc, bool projectName, std::string_view cp936Text) {
    if (doc.PointCount() == 0) return {};
    Snapshot s;
    s.kind = kSnapHeaderEdit;
    s.header = doc.header;
    SetText(projectName ? s.header.projectName : s.header.testUnit,
            cp936Text.substr(0, Cp936SafePrefix(cp936Text, 49)));
    return EditOutcome{RunUndoable(doc, std::move(s)), {}};
}

EditOutcome EditPointField(CTAV_AnalyserDoc& doc, std::int32_t row, std::int32_t scope, PointField field,
                           std::string_view cp936Text) {
    if (!doc.ValidIndex(row)) return {};
    EditOutcome outcome;
    std::int16_t diameter = 0;
    std::string date;
    if (field == PointField::Diameter) {
        const auto d = ParseDiameter(cp936Text, &outcome.refusal);
        if (!d) return outcome;
        diameter = *d;
    } else if (field == PointField::TestDate) {
        const auto d = ParseTestDate(cp936Text);
        if (!d || (*d)[1] < 1 || (*d)[1] > 12 || (*d)[2] < 1 || (*d)[2] > 31) {
            outcome.refusal = kDateForm;
            return outcome;
        }
        date = FormatTestDate(*d);
    }
    Snapshot s;
    s.kind = kSnapRecordHeadEdit;
    const Index from = scope == 1 ? 0 : row;
    const Index to = scope == 1 ? doc.PointCount() : row + 1;
    s.points.resize(static_cast<std::size_t>(to - from));
    for (Index i = from; i < to; ++i) {
        // Only the record head takes part in the exchange.
        TestPoint& copy = s.points[static_cast<std::size_t>(i - from)];
        CopyRecordHead(doc.points[static_cast<std::size_t>(i)], copy);
        copy.runtimeWord = i;
        switch (field) {
            case PointField::PileNo: SetText(copy.pileNo, cp936Text.substr(0, Cp936SafePrefix(cp936Text, 9))); break;
            case PointField::Diameter: copy.diameter = diameter; break;
            case PointField::TestDate: SetText(copy.testDate, date); break;
            case PointField::PileType: SetPileTypeByName(copy, cp936Text); break;
        }
    }
    outcome.changed = RunUndoable(doc, std::move(s));
    if (outcome.changed && field == PointField::PileNo) doc.SelectPoint(doc.currentIndex);
    return outcome;
}

// ---- delete and save the ticked test points ---------------------------------------------------

std::int32_t DeleteTickedPoints(CTAV_AnalyserDoc& doc) {
    const auto before = doc.PointCount();
    for (Index i = doc.PointCount() - 1; i >= 0; --i)
        if (doc.points[static_cast<std::size_t>(i)].checked != 0) doc.DeletePoint(i);
    const Index deleted = before - doc.PointCount();
    if (deleted == 0) return 0;
    doc.RebuildCheckedList();
    doc.SelectPile(-1);
    doc.undoList.clear();
    doc.redoList.clear();
    doc.MarkListChanged();
    return deleted;
}

SaveTickedResult SaveTickedPoints(const CTAV_AnalyserDoc& doc, const std::string& path) {
    if (doc.PointCount() == 0) return SaveTickedResult::EmptyProject;
    std::vector<Index> ticked;
    for (Index i = 0; i < doc.PointCount(); ++i)
        if (doc.points[static_cast<std::size_t>(i)].checked != 0) ticked.push_back(i);
    if (ticked.empty()) return SaveTickedResult::NoneTicked;
    return doc.SaveSubset(path, ticked) ? SaveTickedResult::Saved : SaveTickedResult::Failed;
}

// ---- pile entry sorting -----------------------------------------------------------------------

std::string PileDateKey(std::string_view date) {
    const auto firstHyphen = date.find('-');
    if (firstHyphen == std::string_view::npos) return {};
    const auto secondHyphen = date.find('-', firstHyphen + 1);
    if (secondHyphen == std::string_view::npos) return {};
    std::string year(date.substr(0, std::min<std::size_t>(firstHyphen, 4)));
    std::string month(date.substr(firstHyphen + 1, std::min<std::size_t>(secondHyphen - firstHyphen - 1, 2)));
    std::string_view rest = date.substr(secondHyphen + 1);
    std::string day(rest.substr(0, std::min<std::size_t>(rest.find(' '), 2)));
    if (year.empty() || month.empty() || day.empty()) return {};
    if (month.size() == 1) month.insert(0, "0");
    if (day.size() == 1) day.insert(0, "0");
    return year + "-" + month + "-" + day;
}

bool PileEntryBefore(std::string_view pileNoA, std::string_view pileNoB) {
    return CompareNoCase(pileNoA, pileNoB) < 0;
}

bool PileEntryBeforeByDate(std::string_view keyA, std::string_view pileNoA, std::string_view keyB,
                           std::string_view pileNoB) {
    const int byDate = CompareNoCase(keyA, keyB);
    if (byDate != 0) return byDate < 0;
    return PileEntryBefore(pileNoA, pileNoB);
}

}  // namespace tav
