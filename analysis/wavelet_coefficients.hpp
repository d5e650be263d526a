// The published wavelet filter banks as generated data (see
// tools/wavelet_tables/generate.py); the table of analysis/wavelet_table.hpp
// is built from it.
#pragma once

namespace tav::wavelet_data {

struct WaveletFilterData {
    const char* name;
    int length;
    const double* h;  // decomposition low-pass
    const double* g;  // decomposition high-pass
};

struct WaveletFamilyData {
    const char* name;
    int count;
    const WaveletFilterData* orders;
};

inline constexpr int kWaveletFamilyCount = 7;
extern const WaveletFamilyData kFamilies[kWaveletFamilyCount];

}  // namespace tav::wavelet_data
