// Frequency-domain analysis: the five spectrum kernels on plain float arrays,
// the vertical range helpers, and the spectrum entries of the display with
// their readouts and mark lists.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_entry.hpp"

namespace tav {

class CTAV_AnalyserDoc;

enum SpectrumType : std::int32_t {
    kSpectrumAmplitude = 0,
    kSpectrumPower = 1,
    kSpectrumCrossPower = 2,
    kSpectrumCepstrum = 3,
    kSpectrumLog = 4,
};
inline constexpr int kSpectrumTypeCount = 5;

// A value outside the table counts as the amplitude spectrum.
std::int32_t NormalisedSpectrumType(std::int32_t type);
std::string_view SpectrumTypeName(std::int32_t type);

// Each kernel writes n lines computed from n input values zero-padded to the
// next power of two M; n <= 0 (or n above 2^17) writes nothing. in and out may
// be the same array.
void AmplitudeSpectrum(const float* in, float* out, std::int32_t n);
void PowerSpectrum(const float* in, float* out, std::int32_t n);
// dB; a line of zero power is minus infinity.
void LogSpectrum(const float* in, float* out, std::int32_t n);
void Cepstrum(const float* in, float* out, std::int32_t n);
// b holds bCount values; lines beyond them read as zeros, so a shorter B is
// never read past its end.
void CrossPowerSpectrum(const float* a, const float* b, std::int32_t bCount, float* out, std::int32_t n);

// Largest and smallest finite value of a[first .. last) (last < 0: n); both 0
// when there is none. symmetric: both become +-max(|max|, |min|).
void ArrayRange(const float* a, std::int32_t n, float& outMax, float& outMin, bool symmetric = false,
                std::int32_t first = 0, std::int32_t last = -1);

// The axis top for a maximum x: an even whole number at least 10 % above x.
float NiceTop(float x);

// Frequency of spectrum line k of a test point of n samples; 0 without a
// sampling interval or samples.
double LineFrequencyHz(const TestPoint& tp, std::int32_t line);
double LineFrequencyKHz(const TestPoint& tp, std::int32_t line);

// The annotation lines "频率分辨率:" and "  df=..Hz"; empty when they are not shown.
std::vector<std::string> FrequencyResolutionLines(const TestPoint& tp);

// Cursor readout texts on a spectrum entry ("A=..", and "F=.." unless there is no interval).
std::vector<std::string> SpectrumReadout(const AnalysisEntry& entry, std::int32_t line, std::int32_t spectrumType);

// "频谱标记:" and one line per mark; marks outside the computed lines are left out.
std::vector<std::string> SpectrumMarkLines(const AnalysisEntry& entry);

// The spectrum entries of the frequency-domain analysis. shown: the test
// points shown, in order (types 0, 1, 3, 4); a, b and targets: the cross
// power spectrum's test points and the view's target set (type 2). The type
// is normalised in place. Writes the spectrum zoom default back into the
// project's test points.
std::vector<AnalysisEntry> BuildSpectrumEntries(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> shown,
                                                std::int32_t& spectrumType, std::int32_t a, std::int32_t b,
                                                std::span<const std::int32_t> targets);

}  // namespace tav
