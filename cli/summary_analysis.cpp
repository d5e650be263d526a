// `tavtool analyze FILE summary --point K`: the display's step summary lines of
// a test point for every operation code.
#include <iostream>

#include "cli/analyze_command.hpp"
#include "cli/json_out.hpp"
#include "processing/step_summary.hpp"

namespace tav::cli {

void AddSummaryAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0;
    auto* c = analyze.add_subcommand("summary", "step summary lines of a test point for every operation code");
    c->add_option("--point", point, "test point index")->required();
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            const auto index = static_cast<std::int32_t>(point);
            // The display works on a copy of lastParams.
            const ProcessStep params = doc.points[static_cast<std::size_t>(index)].lastParams;
            nlohmann::json summary = nlohmann::json::object();
            for (std::int32_t type = 1; type < kOperationTypeCount; ++type)
                summary[std::to_string(type)] = StepSummary(doc, index, params, type);
            std::cout << JsonText(nlohmann::json{{"summary", std::move(summary)}}) << "\n";
            return int{kExitOk};
        });
    });
}

}  // namespace tav::cli
