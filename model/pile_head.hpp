// The automatic pile head search, the default toe and the vertical display
// range of a waveform.
#pragma once

#include <cstdint>
#include <utility>

#include "model/test_point.hpp"

namespace tav {

// The head as the peak of the first half-wave that reaches half of the largest
// half-wave peak, skipping the first 10 samples and exact zeros.
std::int32_t FindPileHead(const float* x, std::int32_t n);

// headIndex + 2 L / (V Δt) × 1e6, truncated; 0 when V or Δt make it meaningless.
std::int32_t DefaultToe(const TestPoint& tp);

// The head and toe to use: the stored ones where valid, else searched or derived.
std::pair<std::int32_t, std::int32_t> HeadAndToe(const TestPoint& tp);

struct DisplayRange {
    float max = 0.0f;
    float min = 0.0f;
};

// Symmetric range of x over the window head..toe (toe excluded), the whole
// record when the head is negative or the toe below 1.
DisplayRange WindowDisplayRange(const float* x, std::int32_t n, std::int32_t head, std::int32_t toe);

// The range's maximum × 1.1 rounded up to an even number.
float RoundDisplayMax(float v);

}  // namespace tav
