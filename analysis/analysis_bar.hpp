// The analysis bar's selections for every analysis type, kept as fourteen
// 32-bit integers in the bar's settings file after its header. This holds the
// record and its bytes; reading and writing the file belongs to the settings store.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "analysis/correlation.hpp"

namespace tav {

class ByteReader;
class ByteWriter;
class WaveletFamilyTable;

inline constexpr std::string_view kAnalysisBarSettingsTag = "QRV_TAV4_SELT_001";

enum AnalysisType : std::int32_t { kAnalysisTime = 0, kAnalysisStatistics = 1, kAnalysisFrequency = 2, kAnalysisWavelet = 3 };

struct AnalysisBarSettings {
    std::int32_t analysisType = kAnalysisTime;
    std::int32_t timeScope = 0;
    std::int32_t frequencyScope = 0;
    std::int32_t statisticsAnalysis = kStatAverage;
    std::int32_t spectrumType = 0;
    std::int32_t waveletFamily = 0;
    std::int32_t averageScope = kAveragePile;
    std::int32_t autoPoint = 0;
    std::int32_t crossA = 0;
    std::int32_t spectrumA = 0;
    std::int32_t waveletOrder = 0;
    std::int32_t crossB = 0;
    std::int32_t spectrumB = 0;
    std::int32_t waveletLevel = 0;  // number of levels - 1

    bool operator==(const AnalysisBarSettings&) const = default;
};
inline constexpr std::size_t kAnalysisBarSettingsBytes = 14 * 4;

void WriteAnalysisBarSettings(ByteWriter& out, const AnalysisBarSettings& s);
// False, with s unchanged, when the payload is short.
bool ReadAnalysisBarSettings(ByteReader& in, AnalysisBarSettings& s);

// What the bar does when it fills its lists: a spectrum type, wavelet family,
// order or level outside the lists and test points that no longer exist become 0.
void NormaliseAnalysisBarSettings(AnalysisBarSettings& s, const WaveletFamilyTable& table, std::int32_t pointCount);

StatisticsSelection StatisticsSelectionOf(const AnalysisBarSettings& s);

// The log line of a change: "显示设置==>" and "[index,text]" for each of the bar's lists.
std::string AnalysisBarLogLine(std::span<const std::pair<std::int32_t, std::string>> lists);

}  // namespace tav
