// The analysis bar's selections in their settings file (QRV_TAV4_SELT_001).
#pragma once

#include "analysis/analysis_bar.hpp"
#include "app/settings_files.hpp"

namespace tav {

static_assert(kAnalysisBarSettingsBytes == AnalysisBarPayload::kPayloadSize);

// Reads the bar's file; when it is missing, short or foreign, writes `bar` as
// it stands (its defaults at start-up). Returns whether the read succeeded.
bool LoadAnalysisBarSettings(const SettingsFiles& files, AnalysisBarSettings& bar);
// Writes the bar's selections; a failure is reported as for every settings file.
bool SaveAnalysisBarSettings(const SettingsFiles& files, const AnalysisBarSettings& bar);

}  // namespace tav
