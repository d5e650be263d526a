// The processing chain engine and the document operations that edit chains.
//
// A test point's processed samples are never edited directly: they are always
// its raw samples run through a chain of ProcessStep records. Every edit below
// changes the stored chain and re-runs it from the raw samples, so nothing is
// ever lost; a preview runs a temporary chain and leaves the stored one alone.
//
// Targets: a TargetSet is a list of test point indices; an index outside the
// project is skipped without a message everywhere in this file. Positions in
// chains are 0-based; a position outside a target's chain skips that target.
//
// None of these functions marks the document modified, resets display ranges
// or redraws: the command paths at the end of this file (used by the window's
// controller and by tavtool) do that, in the order the window does it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/document.hpp"
#include "model/process_step.hpp"
#include "model/test_point.hpp"
#include "processing/fir_filter.hpp"  // FilterKind, for whoever builds filter steps

namespace tav {

using TargetSet = std::vector<std::int32_t>;

// ---- the engine --------------------------------------------------------------

// Runs one step's operation on tp.samples in place: the runner of its row in
// the operations table (processing/operations.hpp), which also takes what the
// test point gives (sampleInterval for integration and the filter, toeIndex
// for the zeroing modes, the magnification limit index). Codes 14, 15 and
// unknown codes do nothing.
void RunStep(TestPoint& tp, const ProcessStep& step);

// The magnification's limit index: the toe when it is set (ToeSet), else 0
// (magnify to the end of the record).
std::int32_t MagnifyLimitIndex(const TestPoint& tp);

// samples := rawSamples, then the n steps in order (nothing more when n <= 0 or
// steps is null). steps may be tp.steps itself or any temporary chain. This is
// the whole engine; file readers that turn older layouts into chains can call
// it on a test point before it belongs to a document.
void ApplyChain(TestPoint& tp, std::int32_t n, const ProcessStep* steps);
void ApplyChain(CTAV_AnalyserDoc& doc, std::int32_t tp, std::int32_t n, const ProcessStep* steps);

// ApplyChain with each target's stored chain: drops any preview.
void ReapplyChain(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets);

// Runs, for each target, a temporary chain with `step` placed per the
// document's stepInsertMode: 0 (or any other value) appended; 1 replacing the
// step at stepInsertPos; 2 inserted before it. Modes 1 and 2 skip a target whose chain has no step at
// stepInsertPos. The stored chains are not changed.
void PreviewStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step);

// ---- chain edits -------------------------------------------------------------

// Appends the step to each target's chain and re-runs it. With `relocate` and a
// valid head, the head is searched again on the new samples and, when a toe is
// set, the wave speed follows from it (the toe index stays).
void AppendStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step, bool relocate);

// Overwrites the step at `position`, re-runs, refreshes lastParams. No relocation.
void ReplaceStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                 std::int32_t position);

// Inserts the step before `position` (which must be below the target's step
// count: there is no insertion after the last step), re-runs, refreshes lastParams.
void InsertStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                std::int32_t position);

// Removes the step at `position`, re-runs, refreshes lastParams from the chain
// (only when a step remains) and, with a valid head, re-locates head and toe:
// the head searched again, the toe placed from the pile length and wave speed
// (no toe, 0, when they give none) and snapped onto the nearest extremum, then
// the wave speed from the toe.
void DeleteStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t position);

// Removes every step (the chain is released), re-runs, re-locates head and toe.
void ClearSteps(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets);

// ---- lastParams ----------------------------------------------------------------

// Copies the step's opType and the parameter members of its operation into
// lastParams; every other field of lastParams stays.
void CopyToLastParams(TestPoint& tp, const ProcessStep& step);
void CopyToLastParams(CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step);

// lastParams.opType := 0 for an empty chain; otherwise CopyToLastParams with the
// newest chain step of the step's type, when there is one.
void RefreshLastParams(TestPoint& tp, const ProcessStep& step);
void RefreshLastParams(CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step);

// ---- head, toe and wave speed --------------------------------------------------

// Moves a toe index onto the nearest local extremum of the processed samples
// with the polarity of the head sample (a maximum when samples[head] >= 0),
// stepping over plateaus; ties between left and right go to the right. A toe
// of 0, the last sample or outside the record is returned as it is.
std::int32_t SnapToe(const TestPoint& tp, std::int32_t head, std::int32_t toe);
std::int32_t SnapToe(const CTAV_AnalyserDoc& doc, std::int32_t tp, std::int32_t head, std::int32_t toe);

// waveSpeed := trunc(pileLength / ((toe - head) * sampleInterval * 1e-6 * 0.5)).
// The speed is left unchanged when the head-to-toe distance or the interval is
// zero, and when the quotient is not a speed a 16-bit field can hold (not
// finite, not in 1..32767): a meaningless speed is never stored.
void UpdateWaveSpeedFromToe(TestPoint& tp);

// ---- targets -------------------------------------------------------------------

// The command targets: the current test point alone when at most one waveform
// is displayed or the scope is the current waveform; otherwise every displayed
// test point, with the current one swapped to the front. Indices outside the
// project are dropped.
TargetSet BuildTargetSet(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> displayed, bool scopeAll);

// ---- command paths ---------------------------------------------------------------
// What the window does around the edits; `confirmed` is the panel's outcome.
// Each first runs ReapplyChain (a cancelled panel leaves no trace), and each
// ends with ResetDisplayRange for the targets and a redraw of the views.

// The working step of a new operation: the first target's lastParams (the whole
// record) with opType set; `cursor` (the display's active cursor) presets the
// start of DC removal, rotation, the zeroing operations; magnification starts
// at the head (0 m).
ProcessStep PrefillNewStep(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t opType,
                           std::optional<std::int32_t> cursor);

// Create path: on confirmation AppendStep (relocating for every type but
// magnification) and the modified mark; then the display range, and the
// working step into every target's lastParams (also when cancelled).
void FinishNewStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& working,
                   bool confirmed);
// Edit path: on confirmation ReplaceStep at `position` and the modified mark.
void FinishEditedStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                      std::int32_t position, bool confirmed);
// Insert path: on confirmation InsertStep before `position` and the modified mark.
void FinishInsertedStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                        std::int32_t position, bool confirmed);
// Delete, clear and undo commands: the edit, display range, redraw, modified mark.
void DeleteStepCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t position);
void ClearStepsCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets);
// Deletes the chain list's last row (the longest chain among the targets);
// nothing happens when every chain is empty.
void UndoLastStepCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets);

}  // namespace tav
