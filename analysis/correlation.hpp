// Statistics analyses: the average of several test points and the
// matched-filter correlation. The first significant pulse of the first
// waveform (the hammer's incident pulse) is cut out as a template and slid
// along the second waveform; the normalised response peaks where the second
// waveform repeats the pulse, i.e. at reflections.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis_entry.hpp"

namespace tav {

class CTAV_AnalyserDoc;

enum StatisticsAnalysis : std::int32_t { kStatAverage = 0, kStatAutocorrelation = 1, kStatCrossCorrelation = 2 };
enum AverageScope : std::int32_t { kAveragePile = 0, kAverageChecked = 1 };

// Sums the targets' samples and ranges into result (a copy of the first
// target) and divides by n. Targets of another length, or outside the
// project, give an all-zero average.
void AveragePoints(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets, std::int32_t n, TestPoint& result);

// The template [start, end) cut from x.
struct CorrelationTemplate {
    std::int32_t start = 0;
    std::int32_t end = 0;
};

CorrelationTemplate FindTemplate(const float* x, std::int32_t n);

// Writes n values into out: the template of x slid along y, normalised by the
// energies. y holds yCount values; beyond them it reads as zeros.
CorrelationTemplate Correlate(const float* x, const float* y, std::int32_t yCount, float* out, std::int32_t n);
// The same computation done literally (a zero-filled array and a full dot
// product per lag): the reference for tests and benchmarks.
CorrelationTemplate CorrelateLiteral(const float* x, const float* y, std::int32_t yCount, float* out, std::int32_t n);

struct StatisticsSelection {
    std::int32_t analysis = kStatAverage;
    std::int32_t averageScope = kAveragePile;
    std::int32_t autoPoint = 0;
    std::int32_t crossA = 0;
    std::int32_t crossB = 0;
};

struct StatisticsEntries {
    std::vector<AnalysisEntry> entries;
    CorrelationTemplate correlationTemplate;  // of the correlation result
};

// The entries of the statistics analysis; none when the chosen test points
// are missing. targets: the view's target set (merging the cross-correlation block).
StatisticsEntries BuildStatisticsEntries(const CTAV_AnalyserDoc& doc, const StatisticsSelection& selection,
                                         std::span<const std::int32_t> targets);

// "%.2e" with the exponent's leading zeros dropped: 0.123 -> "1.23e-1".
std::string ShortExponent(double value);

// Cursor readout on a correlation result ("A=..", "t=..ms").
std::vector<std::string> CorrelationReadout(const AnalysisEntry& entry, std::int32_t v);
// "相关标记:" and one line per mark; marks outside the result are left out.
std::vector<std::string> CorrelationMarkLines(const AnalysisEntry& entry);

}  // namespace tav
