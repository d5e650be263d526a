#include "processing/step_summary.hpp"

#include <algorithm>

#include "processing/operations.hpp"

namespace tav {

namespace {

void WriteSummary(const CTAV_AnalyserDoc& doc, std::int32_t index, const ProcessStep& params, std::int32_t type,
                  TextLines& out) {
    if (!doc.ValidIndex(index)) return;
    const OperationDescription& op = Operation(type);
    if (op.summary == nullptr) return;
    const TestPoint& tp = doc.points[static_cast<std::size_t>(index)];
    const std::int64_t k =
        std::count_if(tp.steps.begin(), tp.steps.end(), [&](const ProcessStep& s) { return s.opType == type; });
    if (k == 0 && !op.summaryWithoutSteps) return;
    op.summary({tp, params, k}, out);
}

}  // namespace

std::vector<std::string> StepSummary(const CTAV_AnalyserDoc& doc, std::int32_t index, const ProcessStep& params,
                                     std::int32_t type) {
    std::vector<std::string> lines;
    TextLines out(&lines);
    WriteSummary(doc, index, params, type, out);
    return lines;
}

std::size_t StepSummaryLineCount(const CTAV_AnalyserDoc& doc, std::int32_t index, const ProcessStep& params,
                                 std::int32_t type) {
    TextLines out;
    WriteSummary(doc, index, params, type, out);
    return out.Count();
}

}  // namespace tav
