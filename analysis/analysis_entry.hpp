// What the spectrum, wavelet and correlation analyses hand to the waveform
// display: entries that each hold a copy of a test point whose samples may be
// replaced by an analysis result, plus the texts they list beside the plot.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/format.hpp"
#include "model/process_step.hpp"
#include "model/test_point.hpp"

namespace tav {

class CTAV_AnalyserDoc;

enum DisplayKind : std::int32_t {
    kKindWaveform = 0,
    kKindAverage = 1,
    kKindCorrelation = 2,
    kKindSpectrum = 3,
    kKindWavelet = 4,
};

struct AnalysisEntry {
    std::string caption;  // UTF-8
    std::int32_t pointIndex = -1;
    TestPoint copy;  // range in copy.lastParams.viewMax / viewMin
    std::int32_t kind = kKindWaveform;
    std::int32_t subSignal = 0;
    std::int32_t blockNumber = 0;  // which of the 26 display settings blocks
    DisplayBlock block;            // the block in force (may be merged)
    std::int32_t shownCount = 0;   // samples drawn (half the lines of a spectrum)
};

// The caption of a test point's own entry: its pile number.
std::string PointCaption(const TestPoint& tp);

// An entry showing a test point's waveform as it is.
AnalysisEntry WaveformEntry(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t blockNumber);

// The block of that number common to every target, or the default block when
// they differ (indices outside the project are passed over).
DisplayBlock MergedBlock(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets,
                         std::int32_t blockNumber);

// Time in ms of value v of an analysis result of c values that spans the
// test point's whole record; 0 when c < 2.
double SpanTimeMs(const TestPoint& tp, std::int32_t v, std::int32_t c);

}  // namespace tav
