#include "analysis/pile_marks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "base/numeric.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "model/positions.hpp"
#include "model/vocabulary.hpp"

namespace tav {

namespace {

constexpr std::string_view kBadPosition = "设置位置错误";
constexpr std::string_view kHeadAfterToe = "桩头位置应设置在桩尾之前！";
constexpr std::string_view kToeBeforeHead = "桩尾位置应设置在桩头之后！";
constexpr std::string_view kDeleteOutOfRange = "此设置产生超范围缺陷，是否让系统自动删除掉？";
constexpr std::string_view kBadDefectData = "数据错误！";
constexpr std::string_view kDefectOutsidePile = "缺陷位置不能超出桩体！";
constexpr std::string_view kDefectsTooClose = "缺陷间距过小！";
constexpr std::string_view kClearAll = "是否要清除所有标记？";

constexpr std::int32_t kDefectCodeEnlargedBase = 7;  // "扩底(Ⅱ)" may stand exactly on the toe
constexpr std::size_t kMaxDefectText = 49;

TestPoint* PointAt(CTAV_AnalyserDoc& doc, std::int32_t index) {
    return doc.ValidIndex(index) ? &doc.points[static_cast<std::size_t>(index)] : nullptr;
}

// Stores text in a 50-byte field, cut on a character boundary.
void SetDefectText(TextField<50>& field, std::string_view cp936) {
    SetText(field, cp936.substr(0, Cp936SafePrefix(cp936, kMaxDefectText)));
}

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// Deletes, from the last to the first, the defects that lie outside the pile
// once the user agrees; they stay otherwise.
template <typename Outside>
void OfferOutOfRangeDeletion(TestPoint& tp, Outside outside, UserPrompts& prompts) {
    if (std::none_of(tp.defects.begin(), tp.defects.end(), outside)) return;
    if (!prompts.YesNo(kDeleteOutOfRange)) return;
    for (std::size_t k = tp.defects.size(); k-- > 0;)
        if (outside(tp.defects[k])) tp.defects.erase(tp.defects.begin() + static_cast<std::ptrdiff_t>(k));
}

std::vector<std::int32_t>* SimpleMarks(TestPoint& tp, std::int32_t kind) {
    if (kind == kMarkCorrelation) return &tp.correlationMarks;
    if (kind == kMarkSpectrum) return &tp.spectrumMarks;
    return nullptr;
}

bool InList(std::size_t size, std::int32_t at) { return at >= 0 && static_cast<std::size_t>(at) < size; }

}  // namespace

void CoupleLengthAndSpeed(TestPoint& tp, std::int32_t mode) {
    // One-way travel time head → toe in seconds.
    const double travel =
        static_cast<double>(tp.toeIndex - tp.headIndex) * static_cast<double>(tp.sampleInterval) * 1e-6 * 0.5;
    if (mode == kRecomputePileLength) {
        tp.pileLength = static_cast<float>(travel * static_cast<double>(tp.waveSpeed));
        return;
    }
    if (travel == 0.0) return;
    const auto speed = TruncToInt32(static_cast<double>(tp.pileLength) / travel);
    if (!speed || *speed < std::numeric_limits<std::int16_t>::min() || *speed > std::numeric_limits<std::int16_t>::max())
        return;
    tp.waveSpeed = static_cast<std::int16_t>(*speed);
}

int SetPileHead(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t mode,
                UserPrompts& prompts) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr) return 0;
    if (position < 0 || position >= tp->sampleCount()) {
        prompts.Message(kBadPosition);
        return 0;
    }
    // A toe flagged at or before the head was never placed: it gives way.
    if (tp->toeValid == 1 && !ToeSet(*tp)) tp->toeValid = 0;
    std::int32_t head = position;
    if (position >= tp->toeIndex) {
        if (tp->toeValid == 1) {
            prompts.Message(kHeadAfterToe);
            return 0;
        }
        // An unset toe gives way, keeping three samples between the ends.
        const std::int32_t last = tp->headSampleCount - 4;
        if (position >= last) head = last;
        if (head < 0) {  // a record too short for a head and a toe
            prompts.Message(kBadPosition);
            return 0;
        }
        tp->toeIndex = static_cast<std::int16_t>(head + 3);
    }
    tp->headIndex = static_cast<std::int16_t>(head);
    tp->headValid = 1;
    OfferOutOfRangeDeletion(
        *tp, [h = tp->headIndex](const DefectMark& d) { return d.position <= h; }, prompts);
    if (tp->toeIndex >= 0 && tp->toeIndex < tp->sampleCount()) CoupleLengthAndSpeed(*tp, mode);
    doc.MarkModified();
    return 1;
}

int SetPileToe(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t mode,
               UserPrompts& prompts) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr) return 0;
    if (position < 0 || position >= tp->sampleCount()) {
        prompts.Message(kBadPosition);
        return 0;
    }
    std::int32_t toe = position;
    if (tp->headIndex >= position) {
        if (tp->headValid == 1) {
            prompts.Message(kToeBeforeHead);
            return 0;
        }
        // An unset head gives way, three samples before the toe.
        if (position < 3) toe = 3;
        if (toe >= tp->sampleCount()) {  // a record too short for a head and a toe
            prompts.Message(kBadPosition);
            return 0;
        }
        tp->headIndex = static_cast<std::int16_t>(toe - 3);
    }
    tp->toeIndex = static_cast<std::int16_t>(toe);
    tp->toeValid = 1;
    OfferOutOfRangeDeletion(
        *tp,
        [t = tp->toeIndex](const DefectMark& d) {
            return d.position >= t && !(d.type == kDefectCodeEnlargedBase && d.position == t);
        },
        prompts);
    if (tp->headIndex >= 0 && tp->headIndex < tp->sampleCount()) CoupleLengthAndSpeed(*tp, mode);
    doc.MarkModified();
    return 1;
}

int AddDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t type,
              std::string_view name, std::string_view description, UserPrompts& prompts) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr) return 0;
    if (position < 0 || position >= tp->sampleCount()) {
        prompts.Message(kBadDefectData);
        return 0;
    }
    if (!(tp->headIndex < position && position < tp->toeIndex)) {
        prompts.Message(kDefectOutsidePile);
        return 0;
    }
    for (const auto& d : tp->defects) {
        if (std::abs(static_cast<std::int64_t>(d.position) - position) < kMinDefectSpacing) {
            prompts.Message(kDefectsTooClose);
            return 0;
        }
    }
    if (tp->defectCount() >= kMaxArrayCount) return 0;  // the file could not hold it
    DefectMark d;
    d.position = position;
    d.type = type;
    d.depth = SampleToDepth(*tp, position, false);
    if (DefectTakesUserName(type)) {
        SetDefectText(d.name, name);
    } else {
        SetDefectText(d.name, Utf8ToCp936(AppVocabulary().defectNames[static_cast<std::size_t>(type)]));
    }
    SetDefectText(d.description, description);
    tp->defects.push_back(d);
    doc.MarkModified();
    return 1;
}

int DeleteDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr || !InList(tp->defects.size(), defectIndex)) return 0;
    tp->defects.erase(tp->defects.begin() + defectIndex);
    doc.MarkModified();
    return 1;
}

int ReplaceDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, const DefectMark& record) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr || !InList(tp->defects.size(), defectIndex)) return 0;
    tp->defects[static_cast<std::size_t>(defectIndex)] = record;
    doc.MarkModified();
    return 1;
}

int MoveDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, std::int32_t position) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr || !InList(tp->defects.size(), defectIndex)) return 0;
    DefectMark d = tp->defects[static_cast<std::size_t>(defectIndex)];
    d.position = position;
    d.depth = SampleToDepth(*tp, position, false);
    return ReplaceDefect(doc, index, defectIndex, d);
}

std::int32_t CustomDefectCode(std::int32_t grade) { return grade >= 0 && grade <= 2 ? 8 + grade : -1; }

std::int32_t CustomDefectGrade(std::int32_t type) { return IsCustomDefect(type) ? type - 8 : -1; }

bool IsCustomDefect(std::int32_t type) { return type >= 8 && type <= 10; }

std::string DepthText(float metres, int decimals) {
    char format[16];
    std::snprintf(format, sizeof format, "%%.%dfm", decimals);
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(metres));
    return text;
}

int EditCustomDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, std::string_view name,
                     std::string_view remark, std::int32_t grade) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr || !InList(tp->defects.size(), defectIndex)) return 0;
    DefectMark d = tp->defects[static_cast<std::size_t>(defectIndex)];
    const std::int32_t code = CustomDefectCode(grade);
    name = TrimBlanks(name);
    if (!IsCustomDefect(d.type) || code < 0 || name.empty()) return 0;
    SetDefectText(d.name, name);
    SetDefectText(d.description, TrimBlanks(remark));
    d.type = code;
    return ReplaceDefect(doc, index, defectIndex, d);
}

int AddAnalysisMark(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t kind,
                    std::int32_t position) {
    int added = 0;
    if (kind == kMarkWavelet) {
        if (targets.empty()) return 0;
        TestPoint* tp = PointAt(doc, targets.front());
        if (tp == nullptr) return 0;
        for (const std::int32_t level : targets.subspan(1)) {
            bool exists = false;
            const std::size_t count = std::min(tp->waveletMarkLevels.size(), tp->waveletMarkPositions.size());
            for (std::size_t k = 0; k < count && !exists; ++k)
                exists = tp->waveletMarkLevels[k] == level && tp->waveletMarkPositions[k] == position;
            if (exists || tp->waveletMarkCount() >= kMaxArrayCount) continue;
            tp->waveletMarkLevels.push_back(level);
            tp->waveletMarkPositions.push_back(position);
            ++added;
        }
    } else {
        for (const std::int32_t index : targets) {
            TestPoint* tp = PointAt(doc, index);
            if (tp == nullptr) continue;
            std::vector<std::int32_t>* marks = SimpleMarks(*tp, kind);
            if (marks == nullptr || marks->size() >= static_cast<std::size_t>(kMaxArrayCount)) continue;
            const auto distance = [position](std::int32_t m) {
                return std::abs(static_cast<double>(m) - static_cast<double>(position));
            };
            bool refused = false;
            if (kind == kMarkCorrelation) {
                refused = std::any_of(marks->begin(), marks->end(), [&](std::int32_t m) { return distance(m) <= 2.0; });
            } else {
                // About 50 Hz worth of spectrum lines.
                const float w = static_cast<float>(tp->headSampleCount) * tp->sampleInterval * kSpectrumMarkSpacing;
                if (w > 1.0f)
                    refused = std::any_of(marks->begin(), marks->end(),
                                          [&](std::int32_t m) { return distance(m) < static_cast<double>(w); });
            }
            if (refused) continue;
            marks->push_back(position);
            ++added;
        }
    }
    if (added > 0) doc.MarkModified();
    return added;
}

int MoveAnalysisMark(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t markIndex, std::int32_t kind,
                     std::int32_t position) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr) return 0;
    if (kind == kMarkWavelet) {
        if (!InList(tp->waveletMarkPositions.size(), markIndex)) return 0;
        tp->waveletMarkPositions[static_cast<std::size_t>(markIndex)] = position;
    } else {
        std::vector<std::int32_t>* marks = SimpleMarks(*tp, kind);
        if (marks == nullptr || !InList(marks->size(), markIndex)) return 0;
        (*marks)[static_cast<std::size_t>(markIndex)] = position;
    }
    doc.MarkModified();
    return 1;
}

int DeleteAnalysisMark(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t markIndex, std::int32_t kind) {
    TestPoint* tp = PointAt(doc, index);
    if (tp == nullptr) return 0;
    if (kind == kMarkWavelet) {
        if (!InList(tp->waveletMarkPositions.size(), markIndex) || !InList(tp->waveletMarkLevels.size(), markIndex))
            return 0;
        tp->waveletMarkPositions.erase(tp->waveletMarkPositions.begin() + markIndex);
        tp->waveletMarkLevels.erase(tp->waveletMarkLevels.begin() + markIndex);
    } else {
        std::vector<std::int32_t>* marks = SimpleMarks(*tp, kind);
        if (marks == nullptr || !InList(marks->size(), markIndex)) return 0;
        marks->erase(marks->begin() + markIndex);
    }
    doc.MarkModified();
    return 1;
}

std::int32_t WaveletMarkIndex(const TestPoint& tp, std::int32_t subSignal, std::int32_t n) {
    if (n < 0) return -1;
    const std::size_t count = std::min(tp.waveletMarkLevels.size(), tp.waveletMarkPositions.size());
    for (std::size_t k = 0; k < count; ++k)
        if (tp.waveletMarkLevels[k] == subSignal && n-- == 0) return static_cast<std::int32_t>(k);
    return -1;
}

std::int32_t MarkKindOfDisplay(std::int32_t displayKind) {
    switch (displayKind) {
        case 2: return kMarkCorrelation;
        case 3: return kMarkSpectrum;
        case 4: return kMarkWavelet;
        default: return 0;
    }
}

std::int32_t ItemCount(const CTAV_AnalyserDoc& doc, const MarkedEntry& entry) {
    if (!doc.ValidIndex(entry.pointIndex)) return 0;
    const TestPoint& tp = doc.points[static_cast<std::size_t>(entry.pointIndex)];
    switch (MarkKindOfDisplay(entry.displayKind)) {
        case kMarkCorrelation: return static_cast<std::int32_t>(tp.correlationMarks.size());
        case kMarkSpectrum: return static_cast<std::int32_t>(tp.spectrumMarks.size());
        case kMarkWavelet: {
            std::int32_t n = 0;
            while (WaveletMarkIndex(tp, entry.subSignal, n) >= 0) ++n;
            return n;
        }
        default: return tp.defectCount();
    }
}

int DeleteItem(CTAV_AnalyserDoc& doc, const MarkedEntry& entry, std::int32_t item) {
    if (!doc.ValidIndex(entry.pointIndex)) return 0;
    const std::int32_t kind = MarkKindOfDisplay(entry.displayKind);
    if (kind == 0) return DeleteDefect(doc, entry.pointIndex, item);
    if (kind == kMarkWavelet) {
        item = WaveletMarkIndex(doc.points[static_cast<std::size_t>(entry.pointIndex)], entry.subSignal, item);
        if (item < 0) return 0;
    }
    return DeleteAnalysisMark(doc, entry.pointIndex, item, kind);
}

std::int32_t ClearItems(CTAV_AnalyserDoc& doc, const MarkedEntry& entry) {
    std::int32_t removed = 0;
    for (std::int32_t n = ItemCount(doc, entry); n > 0; --n) removed += DeleteItem(doc, entry, n - 1);
    return removed;
}

int ClearMarks(CTAV_AnalyserDoc& doc, std::span<const MarkedEntry> entries, UserPrompts& prompts) {
    if (entries.empty()) return 0;
    if (entries.size() == 1 && ItemCount(doc, entries.front()) == 0) return 0;
    if (!prompts.YesNo(kClearAll)) return 0;
    for (const auto& entry : entries) ClearItems(doc, entry);
    return 1;
}

}  // namespace tav
