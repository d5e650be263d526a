#include "processing/chain_list.hpp"

#include "processing/operations.hpp"

namespace tav {

std::string_view ChainList::RowName(std::int32_t row) const {
    return ValidRow(row) ? OperationName(rows[static_cast<std::size_t>(row)].opType) : std::string_view{};
}

ChainList BuildChainList(const CTAV_AnalyserDoc& doc, TargetSet targets) {
    ChainList list;
    list.targets = std::move(targets);
    const TestPoint* reference = nullptr;
    for (const auto i : list.targets) {
        if (!doc.ValidIndex(i)) continue;
        const TestPoint& tp = doc.points[static_cast<std::size_t>(i)];
        if (reference == nullptr || tp.stepCount() > reference->stepCount()) reference = &tp;
    }
    if (reference == nullptr) return list;
    list.rows = reference->steps;
    for (const auto i : list.targets) {
        if (!doc.ValidIndex(i)) continue;
        const TestPoint& tp = doc.points[static_cast<std::size_t>(i)];
        if (&tp == reference) continue;
        for (std::size_t k = 0; k < list.rows.size(); ++k)
            if (k >= tp.steps.size() || !SameStepBytes(tp.steps[k], reference->steps[k])) list.rows[k].opType = 0;
    }
    return list;
}

std::string StepDetailText(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& s) {
    std::vector<std::string> lines;
    TextLines out(&lines);
    if (const auto detail = Operation(s.opType).detail) detail({doc, tp, s}, out);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace tav
