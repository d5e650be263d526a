// Conversions between sample index, time and depth on one waveform.
// Depths are metres below the pile head unless `absolute` asks for metres
// from the first sample.
#pragma once

#include <cstdint>

#include "model/test_point.hpp"

namespace tav {

class CTAV_AnalyserDoc;

inline constexpr float kHalfMicro = 5e-7f;  // µs × m/s → m, halved for the two-way travel

float SampleToDepth(const TestPoint& tp, std::int32_t position, bool absolute);
std::int32_t DepthToSample(const TestPoint& tp, float depth, bool absolute);
// An index outside the project gives 0.
float SampleToDepth(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t position, bool absolute);
std::int32_t DepthToSample(const CTAV_AnalyserDoc& doc, std::int32_t index, float depth, bool absolute);

// Time of a sample for readouts, milliseconds.
double SampleTimeMs(const TestPoint& tp, std::int32_t position);

// A horizontal shift amount in samples as a length in metres.
float ShiftToLength(const TestPoint& tp, std::int32_t samples);

}  // namespace tav
