// A dashed line over a test point's waveform: an automatic reading the
// engineer has not yet accepted or dismissed.
#pragma once

#include <QString>
#include <cstdint>

namespace tav::ui {

struct ProposalLine {
    std::int32_t point = -1;
    std::int32_t sample = 0;
    QString label;
    bool toe = false;
};

}  // namespace tav::ui
