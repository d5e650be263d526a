#include "analysis/analysis_bar.hpp"

#include <array>

#include "analysis/spectrum.hpp"
#include "analysis/wavelet.hpp"
#include "analysis/wavelet_table.hpp"
#include "base/byte_io.hpp"

namespace tav {

namespace {

// The stored order of the fourteen values.
std::array<std::int32_t AnalysisBarSettings::*, 14> StoredOrder() {
    using S = AnalysisBarSettings;
    return {&S::analysisType, &S::timeScope,   &S::frequencyScope, &S::statisticsAnalysis, &S::spectrumType,
            &S::waveletFamily, &S::averageScope, &S::autoPoint,     &S::crossA,             &S::spectrumA,
            &S::waveletOrder, &S::crossB,       &S::spectrumB,      &S::waveletLevel};
}

}  // namespace

void WriteAnalysisBarSettings(ByteWriter& out, const AnalysisBarSettings& s) {
    for (const auto field : StoredOrder()) out.I32(s.*field);
}

bool ReadAnalysisBarSettings(ByteReader& in, AnalysisBarSettings& s) {
    if (!in.Has(kAnalysisBarSettingsBytes)) return false;
    for (const auto field : StoredOrder()) in.I32(s.*field);
    return true;
}

void NormaliseAnalysisBarSettings(AnalysisBarSettings& s, const WaveletFamilyTable& table, std::int32_t pointCount) {
    s.spectrumType = NormalisedSpectrumType(s.spectrumType);
    const auto families = static_cast<std::int32_t>(table.Families().size());
    if (s.waveletFamily < 0 || s.waveletFamily >= families) s.waveletFamily = 0;
    const auto orders = static_cast<std::int32_t>(table.Families()[static_cast<std::size_t>(s.waveletFamily)].orders.size());
    if (s.waveletOrder < 0 || s.waveletOrder >= orders) s.waveletOrder = 0;
    if (s.waveletLevel < 0 || s.waveletLevel >= kMaxWaveletLevels) s.waveletLevel = 0;
    for (auto* index : {&s.autoPoint, &s.crossA, &s.crossB, &s.spectrumA, &s.spectrumB})
        if (*index < 0 || *index >= pointCount) *index = 0;
}

StatisticsSelection StatisticsSelectionOf(const AnalysisBarSettings& s) {
    return {s.statisticsAnalysis, s.averageScope, s.autoPoint, s.crossA, s.crossB};
}

std::string AnalysisBarLogLine(std::span<const std::pair<std::int32_t, std::string>> lists) {
    std::string line = "显示设置==>";
    for (const auto& [index, text] : lists) line += Format("[%d,%s]", index, text.c_str());
    return line;
}

}  // namespace tav
