// The short lines the waveform display prints beside a waveform for each
// operation the user chose to annotate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/document.hpp"
#include "model/process_step.hpp"

namespace tav {

// 0 to 4 lines (UTF-8) for operation code `type`, built from `params` (the
// display passes a copy of the test point's lastParams) and from k, the number
// of steps of that type in test point tp's chain, by the summary of the
// operation's row (processing/operations.hpp). Without such a step there are
// no lines, except for reversal ("反向:否") and DC removal ("去直流:否").
// Positions are metres below the head (SampleToDepth), the horizontal shift a
// length. An index outside the project gives no lines.
std::vector<std::string> StepSummary(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& params,
                                     std::int32_t type);
// The number of those lines, found without formatting them.
std::size_t StepSummaryLineCount(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& params,
                                 std::int32_t type);

}  // namespace tav
