// What the engineer reads off a waveform: pile head and toe with their coupling
// to pile length and wave speed, defects with their spacing and range rules,
// and the mark lines of the correlation, spectrum and wavelet displays.
//
// Every operation takes the test point by its index in the project; an index
// outside the project makes it return 0 without effect. Messages and questions
// go through the UserPrompts given; pass SilentPrompts() for the silent form
// (dragging a line), which shows nothing and answers No.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/test_point.hpp"

namespace tav {

class CTAV_AnalyserDoc;
class UserPrompts;

// RecomputeMode: what follows a change of head or toe.
inline constexpr std::int32_t kRecomputeWaveSpeed = 1;   // the pile length stands
inline constexpr std::int32_t kRecomputePileLength = 2;  // the wave speed stands

// Mark kinds of the analysis displays.
inline constexpr std::int32_t kMarkCorrelation = 1;  // display kind 2
inline constexpr std::int32_t kMarkSpectrum = 2;     // display kind 3
inline constexpr std::int32_t kMarkWavelet = 3;      // display kind 4

// Spectrum marks closer than this many lines per sample-count × µs (about 50 Hz) are refused.
inline constexpr float kSpectrumMarkSpacing = 5.00032e-5f;

// Defects closer than this (in samples) to another are refused.
inline constexpr std::int32_t kMinDefectSpacing = 3;

// 1 on success, 0 on refusal. The head pushes an unset toe along; the toe an unset head.
int SetPileHead(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t mode,
                UserPrompts& prompts);
int SetPileToe(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t mode,
               UserPrompts& prompts);

// The pile length (mode 2) or wave speed (otherwise) that follows from head and
// toe. A zero travel time or a speed a 16-bit field cannot hold leaves it as it is.
void CoupleLengthAndSpeed(TestPoint& tp, std::int32_t mode);

// name and description are code page 936; the name is used only for the codes
// that take the user's name (8 to 10 and codes beyond the table). 1 if added.
// The messages are shown in every mode.
int AddDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, std::int32_t type,
              std::string_view name, std::string_view description, UserPrompts& prompts);
int DeleteDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex);
int ReplaceDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, const DefectMark& record);
// Dragging a defect: it takes the position and its depth below the head there;
// neither range nor spacing is checked.
int MoveDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, std::int32_t position);

// Codes 8, 9, 10 of the custom defect grades 0, 1, 2 (−1 for another grade).
std::int32_t CustomDefectCode(std::int32_t grade);
// The grade 0..2 of a custom defect code, −1 for other codes.
std::int32_t CustomDefectGrade(std::int32_t type);
bool IsCustomDefect(std::int32_t type);
// The depth shown in the custom defect dialog: "3.25m" with two decimals.
std::string DepthText(float metres, int decimals = 2);

// Editing a custom defect (codes 8 to 10 only): name and remark are trimmed of
// blanks; an empty name leaves the defect unchanged. 1 when replaced.
int EditCustomDefect(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t defectIndex, std::string_view name,
                     std::string_view remark, std::int32_t grade);

// Mark lines. For kMarkWavelet the targets are the test point followed by the
// wavelet sub-signals to mark. Returns the number of marks added; refusals are silent.
int AddAnalysisMark(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t kind,
                    std::int32_t position);
int MoveAnalysisMark(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t markIndex, std::int32_t kind,
                     std::int32_t position);
int DeleteAnalysisMark(CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t markIndex, std::int32_t kind);
// The list index of the n-th wavelet mark standing on a sub-signal, −1 when there is none.
std::int32_t WaveletMarkIndex(const TestPoint& tp, std::int32_t subSignal, std::int32_t n);

// One entry of the display as the delete and clear commands see it.
struct MarkedEntry {
    std::int32_t pointIndex = -1;
    std::int32_t displayKind = 0;  // 0..4
    std::int32_t subSignal = 0;    // the wavelet sub-signal of a kind 4 entry
};

// The mark kind of a display kind (0 for the waveform and average displays, whose items are defects).
std::int32_t MarkKindOfDisplay(std::int32_t displayKind);
// How many items (defects or marks of its kind) an entry has.
std::int32_t ItemCount(const CTAV_AnalyserDoc& doc, const MarkedEntry& entry);
// Deletes the item-th item of the entry: a defect, a mark, or the item-th
// wavelet mark on the entry's sub-signal. 1 if removed.
int DeleteItem(CTAV_AnalyserDoc& doc, const MarkedEntry& entry, std::int32_t item);
// Removes every item of the entry without asking; the number removed.
std::int32_t ClearItems(CTAV_AnalyserDoc& doc, const MarkedEntry& entry);
// The clear command: asks "是否要清除所有标记？" and on Yes clears every entry.
// A single entry without items is left alone without a question. 1 when cleared.
int ClearMarks(CTAV_AnalyserDoc& doc, std::span<const MarkedEntry> entries, UserPrompts& prompts);

}  // namespace tav
