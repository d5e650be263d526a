// Wavelet analysis: a periodic Mallat decomposition of the waveform, placed
// behind a run of zeros, its reconstruction, and the sub-signals the display
// shows one under another (input, reconstruction, smooth and detail per level).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis_entry.hpp"
#include "analysis/wavelet_table.hpp"

namespace tav {

class CTAV_AnalyserDoc;

inline constexpr int kMaxWaveletLevels = 9;

// The periodic analysis and its transpose on double pyramids: level j of a and
// d occupies sizes[j] entries from the sum of the sizes before it. Decompose
// fills levels 1..levels from level 0 of a; reconstruct rebuilds level 0 of a.
void WaveletDecompose(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
                      const std::int32_t* sizes);
void WaveletReconstruct(const double* h, const double* g, std::int32_t taps, double* a, double* d, std::int32_t levels,
                        const std::int32_t* sizes);
// The same sums with the wrap-around taken at every tap: references for tests
// and benchmarks.
void WaveletDecomposeLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                             std::int32_t levels, const std::int32_t* sizes);
void WaveletReconstructLiteral(const double* h, const double* g, std::int32_t taps, double* a, double* d,
                               std::int32_t levels, const std::int32_t* sizes);

struct WaveletResult {
    std::vector<float> reconstructed;  // n values
    // Packed coefficients: level 1's second half, then level 2's, ...; long
    // enough for every level the display shows, and at least n values.
    std::vector<float> smooth;
    std::vector<float> detail;
};

// 1 when the family and order exist and 1 <= levels <= 9 and 1 <= n <= 2^16,
// else 0 with nothing written.
int WaveletTransform(const WaveletFamilyTable& table, const float* input, std::int32_t n, WaveletResult& result,
                     std::int32_t family, std::int32_t order, std::int32_t levels, bool literal = false);

// The sub-signals of the wavelet display of test point `index`, in display
// order (sub-signal index = position); empty when the transform cannot be made.
std::vector<AnalysisEntry> BuildWaveletEntries(const CTAV_AnalyserDoc& doc, std::int32_t index,
                                               const WaveletFamilyTable& table, std::int32_t family,
                                               std::int32_t order, std::int32_t levelIndex);

// Cursor readout on a sub-signal ("t=..ms", "A=..").
std::vector<std::string> WaveletReadout(const AnalysisEntry& entry, std::int32_t v);
// "小波标记:" and the marks standing on this sub-signal.
std::vector<std::string> WaveletMarkLines(const AnalysisEntry& entry);

}  // namespace tav
