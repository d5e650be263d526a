#include "model/positions.hpp"

#include "base/numeric.hpp"
#include "model/document.hpp"

namespace tav {

float SampleToDepth(const TestPoint& tp, std::int32_t position, bool absolute) {
    const std::int32_t from = absolute ? position : position - tp.headIndex;
    return static_cast<float>(from) * tp.sampleInterval * static_cast<float>(tp.waveSpeed) * kHalfMicro;
}

std::int32_t DepthToSample(const TestPoint& tp, float depth, bool absolute) {
    const float denominator = tp.sampleInterval * static_cast<float>(tp.waveSpeed);
    // A zero speed or interval has no depth scale: the position stays at the origin.
    const auto travel = denominator != 0.0f ? TruncToInt32(2.0f * depth / denominator * 1000000.0f) : std::nullopt;
    const std::int32_t offset = travel.value_or(0);
    return absolute ? offset : tp.headIndex + offset;
}

float SampleToDepth(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, bool absolute) {
    return doc.ValidIndex(index) ? SampleToDepth(doc.points[static_cast<std::size_t>(index)], position, absolute) : 0.0f;
}

std::int32_t DepthToSample(const CTAV_AnalyserDoc& doc, std::int32_t index, float depth, bool absolute) {
    return doc.ValidIndex(index) ? DepthToSample(doc.points[static_cast<std::size_t>(index)], depth, absolute) : 0;
}

double SampleTimeMs(const TestPoint& tp, std::int32_t position) {
    return static_cast<double>(position) * static_cast<double>(tp.sampleInterval) / 1000.0;
}

float ShiftToLength(const TestPoint& tp, std::int32_t samples) {
    return static_cast<float>(samples) * tp.sampleInterval * static_cast<float>(tp.waveSpeed) * kHalfMicro;
}

}  // namespace tav
