#include "processing/project_loading.hpp"

#include <algorithm>
#include <cmath>

#include "model/pile_head.hpp"
#include "processing/chain.hpp"

namespace tav {

namespace {

void Append(TestPoint& tp, const ProcessStep& step) {
    tp.steps.push_back(step);
    CopyToLastParams(tp, step);
}

// Brings the samples up to the whole chain by running only the steps appended
// since `applied`: a chain runs its steps one after another on the samples, so
// this equals running it again from the raw samples, without filtering every
// low-pass pass once more for each later entry.
void ApplyAppended(TestPoint& tp, std::size_t& applied) {
    for (; applied < tp.steps.size(); ++applied) RunStep(tp, tp.steps[applied]);
}

// The old records kept the waveform's zero line where the instrument left it:
// a shift removes the mean of the first five processed samples.
void AppendBaselineShift(TestPoint& tp) {
    if (tp.sampleCount() < 5) return;
    float sum = 0.0f;
    for (int k = 0; k < 5; ++k) sum += tp.samples[static_cast<std::size_t>(k)];
    const float mean = sum * 0.2f;
    if (!(std::fabs(mean) >= 0.01f)) return;
    ProcessStep shift;
    shift.opType = kOpShift;
    shift.shiftY = -mean;
    shift.shiftX = 0;
    shift.shiftMode = 0;
    Append(tp, shift);
}

}  // namespace

void BuildChainFromOldFields(TestPoint& tp, std::span<const ProcessStep> collected) {
    if (tp.sampleCount() <= 10) return;
    auto appendAll = [&](std::int32_t opType) {
        for (const auto& s : collected)
            if (s.opType == opType) Append(tp, s);
    };
    ApplyChain(tp, tp.stepCount(), tp.steps.data());
    std::size_t applied = tp.steps.size();
    appendAll(kOpLocalScale);
    ApplyAppended(tp, applied);
    AppendBaselineShift(tp);
    for (const auto& s : collected)
        if (s.opType == kOpFilter && s.filterKind == kLowPass) Append(tp, s);
    for (const std::int32_t opType : {kOpIntegrate, kOpFrontZero, kOpRearZero, kOpMagnify, kOpRotate, kOpSmooth})
        appendAll(opType);
    ApplyAppended(tp, applied);
    AppendBaselineShift(tp);
    // The old vertical shift was in screen units of a 297-pixel-high trace
    // spanning twice the waveform's range.
    const DisplayRange range = WindowDisplayRange(tp.samples.data(), tp.sampleCount(), -1, 0);
    for (const auto& s : collected) {
        if (s.opType != kOpShift) continue;
        ProcessStep scaled = s;
        scaled.shiftY *= (2.0f * range.max) * 0.0026936026f;
        Append(tp, scaled);
    }
    ApplyAppended(tp, applied);
}

void AutoMagnifyOldRecord(TestPoint& tp) {
    const std::int32_t n = tp.sampleCount();
    const std::int32_t h = tp.headIndex;
    if (h < 0 || h >= n) return;
    const float* x = tp.samples.data();
    const std::int32_t t = tp.toeIndex != 0 ? tp.toeIndex : DefaultToe(tp);

    std::int32_t z = h - 1;
    while (z >= 0 && !(x[z] > -0.001f && x[z] < 0.001f)) --z;
    const std::int32_t w = h - z;

    // The toe sample counts with its sign; one outside the record does not count.
    float peak = t >= 0 && t < n ? x[t] : 0.0f;
    const std::int64_t from = std::max<std::int64_t>(0, static_cast<std::int64_t>(t) - w);
    const std::int64_t to = std::min<std::int64_t>(n, static_cast<std::int64_t>(t) + w);
    for (std::int64_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(x[i]));
    if (!(peak >= 0.00001f)) return;

    const float factor = std::trunc(std::max(1.0f, std::fabs(x[h]) * 0.4f / peak));
    if (!std::isfinite(factor) || factor < 2.0f) return;
    ProcessStep magnify;
    magnify.opType = kOpMagnify;
    magnify.magnifyMode = 0;
    magnify.magnifyFactor = factor;
    magnify.magnifyStart = static_cast<std::int32_t>((static_cast<std::int64_t>(t) + h) / 2);
    Append(tp, magnify);
    // Without a toe no step of the chain depends on where the head is, so the
    // samples the reader left are still the chain's result and only the new
    // entry has to run.
    if (tp.toeIndex == 0)
        RunStep(tp, magnify);
    else
        ApplyChain(tp, tp.stepCount(), tp.steps.data());
}

namespace {

class ChainRunner final : public OldRecordChain {
public:
    void Build(TestPoint& tp, std::span<const ProcessStep> collected) const override {
        BuildChainFromOldFields(tp, collected);
    }
    void AutoMagnify(TestPoint& tp) const override { AutoMagnifyOldRecord(tp); }
};

}  // namespace

const OldRecordChain& OldRecordChainRunner() {
    static const ChainRunner runner;
    return runner;
}

LoadResult LoadProject(CTAV_AnalyserDoc& doc, std::span<const std::uint8_t> bytes, bool lastOfBatch) {
    return doc.LoadProject(bytes, OldRecordChainRunner(), lastOfBatch);
}

LoadResult OpenFile(CTAV_AnalyserDoc& doc, const std::string& path) { return doc.OpenFile(path, OldRecordChainRunner()); }

std::vector<LoadResult> AppendOpen(CTAV_AnalyserDoc& doc, std::span<const std::string> paths) {
    return doc.AppendOpen(paths, OldRecordChainRunner());
}

}  // namespace tav
