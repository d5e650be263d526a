// The chain list: the steps common to the command targets, one row per step,
// with each row's name and the detail text of the selected row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/document.hpp"
#include "model/process_step.hpp"
#include "processing/chain.hpp"

namespace tav {

struct ChainList {
    TargetSet targets;
    // The longest chain among the targets (the first such on ties), with opType 0
    // in every row whose step differs from, or is missing in, another target's
    // chain (compared over all 1112 bytes of the record).
    std::vector<ProcessStep> rows;

    std::int32_t RowCount() const { return static_cast<std::int32_t>(rows.size()); }
    bool ValidRow(std::int32_t row) const { return row >= 0 && row < RowCount(); }
    // The name shown for a row ("" for a code 0 row and for rows out of range).
    std::string_view RowName(std::int32_t row) const;
    // Rows with code 0 differ between the targets and cannot be edited.
    bool Editable(std::int32_t row) const { return ValidRow(row) && rows[static_cast<std::size_t>(row)].opType != 0; }
};

ChainList BuildChainList(const CTAV_AnalyserDoc& doc, TargetSet targets);

// The read-only detail text of a step (UTF-8, lines separated by CR LF).
// Positions are shown in metres below the head of test point tp, two decimals:
// the metres remembered in the step's position memo when its slot still
// belongs to the index, else SampleToDepth of the index.
std::string StepDetailText(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step);

}  // namespace tav
