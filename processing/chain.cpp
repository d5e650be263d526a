#include "processing/chain.hpp"

#include <algorithm>
#include <cmath>

#include "base/numeric.hpp"
#include "model/pile_head.hpp"
#include "model/positions.hpp"
#include "processing/operations.hpp"

namespace tav {

namespace {

TestPoint* Target(CTAV_AnalyserDoc& doc, std::int32_t i) {
    return doc.ValidIndex(i) ? &doc.points[static_cast<std::size_t>(i)] : nullptr;
}

}  // namespace

// ---- the engine --------------------------------------------------------------

std::int32_t MagnifyLimitIndex(const TestPoint& tp) {
    return ToeSet(tp) ? tp.toeIndex : 0;
}

void RunStep(TestPoint& tp, const ProcessStep& s) {
    if (const auto run = Operation(s.opType).run) run(tp, s);
}

void ApplyChain(TestPoint& tp, std::int32_t n, const ProcessStep* steps) {
    tp.samples.assign(tp.rawSamples.begin(), tp.rawSamples.end());
    if (n <= 0 || steps == nullptr) return;
    for (std::int32_t k = 0; k < n; ++k) RunStep(tp, steps[k]);
}

void ApplyChain(CTAV_AnalyserDoc& doc, std::int32_t tp, std::int32_t n, const ProcessStep* steps) {
    if (TestPoint* p = Target(doc, tp)) ApplyChain(*p, n, steps);
}

void ReapplyChain(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets) {
    for (const auto i : targets)
        if (TestPoint* tp = Target(doc, i)) ApplyChain(*tp, tp->stepCount(), tp->steps.data());
}

void PreviewStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step) {
    const std::int32_t pos = doc.stepInsertPos;
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr) continue;
        std::vector<ProcessStep> chain = tp->steps;
        if (doc.stepInsertMode == 1 || doc.stepInsertMode == 2) {
            if (pos < 0 || pos >= tp->stepCount()) continue;
            if (doc.stepInsertMode == 1)
                chain[static_cast<std::size_t>(pos)] = step;
            else
                chain.insert(chain.begin() + pos, step);
        } else {
            chain.push_back(step);
        }
        ApplyChain(*tp, static_cast<std::int32_t>(chain.size()), chain.data());
    }
}

// ---- head, toe and wave speed --------------------------------------------------

void UpdateWaveSpeedFromToe(TestPoint& tp) {
    const double travel =
        static_cast<double>(tp.toeIndex - tp.headIndex) * static_cast<double>(tp.sampleInterval) * 1e-6 * 0.5;
    if (travel == 0.0) return;
    const auto speed = TruncToInt32(static_cast<double>(tp.pileLength) / travel);
    if (!speed || *speed < 1 || *speed > 32767) return;
    tp.waveSpeed = static_cast<std::int16_t>(*speed);
}

namespace {

void RelocateHead(TestPoint& tp) {
    const std::int16_t head = WrapInt16(FindPileHead(tp.samples.data(), tp.sampleCount()));
    if (head >= 0) tp.headIndex = head;
}

// After a deletion or a clear: the head searched again, the toe placed from
// the pile length and snapped onto the nearest extremum, the speed from it.
void RelocateHeadAndToe(TestPoint& tp) {
    RelocateHead(tp);
    // From the pile length; a zero speed or interval gives no toe (0). The toe
    // index is a 16-bit field: the sum wraps as it always has.
    tp.toeIndex = WrapInt16(DefaultToe(tp));
    tp.toeIndex = WrapInt16(SnapToe(tp, tp.headIndex, tp.toeIndex));
    if (tp.toeIndex > 0) UpdateWaveSpeedFromToe(tp);
}

}  // namespace

std::int32_t SnapToe(const TestPoint& tp, std::int32_t head, std::int32_t toe) {
    const std::int32_t n = tp.sampleCount();
    if (toe == 0) return 0;
    if (toe < 0 || toe >= n - 1) return toe;
    // Compare sign * x so that one set of comparisons serves both polarities.
    const float headValue = head >= 0 && head < n ? tp.samples[static_cast<std::size_t>(head)] : 0.0f;
    const double sign = headValue >= 0.0f ? 1.0 : -1.0;
    const auto v = [&](std::int32_t i) { return sign * static_cast<double>(tp.samples[static_cast<std::size_t>(i)]); };
    const double c = v(toe);
    if (c > v(toe - 1) && c > v(toe + 1)) return toe;

    // The nearest differing values on either side; none found counts as a tie.
    double e = c, f = c;
    for (std::int32_t k = toe - 1; k >= 0; --k)
        if (v(k) != c) {
            e = v(k);
            break;
        }
    for (std::int32_t k = toe + 1; k < n; ++k)
        if (v(k) != c) {
            f = v(k);
            break;
        }
    const auto climbRight = [&] {
        std::int32_t p = toe;
        while (p + 1 < n && v(p + 1) >= v(p)) ++p;
        return p - toe;
    };
    const auto climbLeft = [&] {
        std::int32_t p = toe;
        while (p - 1 >= 0 && v(p - 1) >= v(p)) --p;
        return toe - p;
    };
    if (c > e && c > f) return toe;
    if (c > e && c < f) return toe + climbRight();
    if (c < e && c > f) return toe - climbLeft();
    if (c < e && c < f) {
        const std::int32_t right = climbRight();
        const std::int32_t left = climbLeft();
        return left < right ? toe - left : toe + right;
    }
    return toe;
}

std::int32_t SnapToe(const CTAV_AnalyserDoc& doc, std::int32_t tp, std::int32_t head, std::int32_t toe) {
    return doc.ValidIndex(tp) ? SnapToe(doc.points[static_cast<std::size_t>(tp)], head, toe) : toe;
}

// ---- chain edits -------------------------------------------------------------

void AppendStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step, bool relocate) {
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr) continue;
        tp->steps.push_back(step);
        ApplyChain(*tp, tp->stepCount(), tp->steps.data());
        if (!relocate || tp->headValid == 0) continue;
        RelocateHead(*tp);
        if (tp->toeIndex > 0) UpdateWaveSpeedFromToe(*tp);
    }
}

void ReplaceStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                 std::int32_t position) {
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr || position < 0 || position >= tp->stepCount()) continue;
        tp->steps[static_cast<std::size_t>(position)] = step;
        ApplyChain(*tp, tp->stepCount(), tp->steps.data());
        RefreshLastParams(*tp, step);
    }
}

void InsertStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                std::int32_t position) {
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr || position < 0 || position >= tp->stepCount()) continue;
        tp->steps.insert(tp->steps.begin() + position, step);
        ApplyChain(*tp, tp->stepCount(), tp->steps.data());
        RefreshLastParams(*tp, step);
    }
}

void DeleteStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t position) {
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr || position < 0 || position >= tp->stepCount()) continue;
        const ProcessStep removed = tp->steps[static_cast<std::size_t>(position)];
        tp->steps.erase(tp->steps.begin() + position);
        if (tp->steps.empty()) std::vector<ProcessStep>().swap(tp->steps);  // the chain array is released
        ApplyChain(*tp, tp->stepCount(), tp->steps.data());
        if (tp->stepCount() > 0) RefreshLastParams(*tp, removed);
        if (tp->headValid != 0) RelocateHeadAndToe(*tp);
    }
}

void ClearSteps(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets) {
    for (const auto i : targets) {
        TestPoint* tp = Target(doc, i);
        if (tp == nullptr) continue;
        std::vector<ProcessStep>().swap(tp->steps);
        ApplyChain(*tp, 0, nullptr);
        if (tp->headValid != 0) RelocateHeadAndToe(*tp);
    }
}

// ---- lastParams ----------------------------------------------------------------

void CopyToLastParams(TestPoint& tp, const ProcessStep& s) {
    tp.lastParams.opType = s.opType;
    CopyParameters(tp.lastParams, s, Operation(s.opType));
}

void CopyToLastParams(CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step) {
    if (TestPoint* p = Target(doc, tp)) CopyToLastParams(*p, step);
}

void RefreshLastParams(TestPoint& tp, const ProcessStep& step) {
    if (tp.steps.empty()) {
        tp.lastParams.opType = 0;
        return;
    }
    for (auto it = tp.steps.rbegin(); it != tp.steps.rend(); ++it) {
        if (it->opType == step.opType) {
            CopyToLastParams(tp, *it);
            return;
        }
    }
}

void RefreshLastParams(CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step) {
    if (TestPoint* p = Target(doc, tp)) RefreshLastParams(*p, step);
}

// ---- targets -------------------------------------------------------------------

TargetSet BuildTargetSet(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> displayed, bool scopeAll) {
    TargetSet set;
    if (displayed.size() <= 1 || !scopeAll) {
        if (doc.ValidIndex(doc.currentIndex)) set.push_back(doc.currentIndex);
        return set;
    }
    for (const auto i : displayed)
        if (doc.ValidIndex(i)) set.push_back(i);
    const auto current = std::find(set.begin(), set.end(), doc.currentIndex);
    if (current != set.end()) std::iter_swap(set.begin(), current);
    return set;
}

// ---- command paths ---------------------------------------------------------------

ProcessStep PrefillNewStep(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t opType,
                           std::optional<std::int32_t> cursor) {
    ProcessStep step;
    step.opType = opType;
    if (targets.empty() || !doc.ValidIndex(targets.front())) return step;
    const TestPoint& first = doc.points[static_cast<std::size_t>(targets.front())];
    step = first.lastParams;
    step.opType = opType;
    const OperationDescription& op = Operation(opType);
    if (cursor && op.cursorPreset != nullptr) step.*op.cursorPreset = *cursor;
    if (op.headPreset != nullptr) step.*op.headPreset = DepthToSample(first, 0.0f, false);
    return step;
}

namespace {

void Conclude(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets) {
    doc.ResetDisplayRange(targets);
    doc.Events().RefreshViews();
}

}  // namespace

void FinishNewStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& working,
                   bool confirmed) {
    ReapplyChain(doc, targets);
    if (confirmed) {
        AppendStep(doc, targets, working, !Operation(working.opType).keepsHead);
        doc.MarkModified();
    }
    doc.ResetDisplayRange(targets);
    for (const auto i : targets) CopyToLastParams(doc, i, working);
    doc.Events().RefreshViews();
}

void FinishEditedStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                      std::int32_t position, bool confirmed) {
    ReapplyChain(doc, targets);
    if (confirmed) {
        ReplaceStep(doc, targets, step, position);
        doc.MarkModified();
    }
    Conclude(doc, targets);
}

void FinishInsertedStep(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, const ProcessStep& step,
                        std::int32_t position, bool confirmed) {
    ReapplyChain(doc, targets);
    if (confirmed) {
        InsertStep(doc, targets, step, position);
        doc.MarkModified();
    }
    Conclude(doc, targets);
}

void DeleteStepCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t position) {
    DeleteStep(doc, targets, position);
    Conclude(doc, targets);
    doc.MarkModified();
}

void ClearStepsCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets) {
    ClearSteps(doc, targets);
    Conclude(doc, targets);
    doc.MarkModified();
}

void UndoLastStepCommand(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets) {
    std::int32_t rows = 0;
    for (const auto i : targets)
        if (doc.ValidIndex(i)) rows = std::max(rows, doc.points[static_cast<std::size_t>(i)].stepCount());
    if (rows == 0) return;
    DeleteStepCommand(doc, targets, rows - 1);
}

}  // namespace tav
