#include "cli/analyze_command.hpp"

#include <iostream>

#include "analysis/integrity_class.hpp"
#include "cli/json_out.hpp"

namespace tav::cli {

bool CheckPointIndex(const CTAV_AnalyserDoc& doc, const AnalyzeInput& input, long index) {
    return CheckPoint(doc, input.file, index) == kExitOk;
}

void AddClassAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0;
    auto* c = analyze.add_subcommand("class", "integrity class of a test point");
    c->add_option("--point", point, "test point index")->required();
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            const int cls = IntegrityClass(doc.points[static_cast<std::size_t>(point)]);
            std::cout << nlohmann::json{{"class", cls}, {"text", IntegrityClassText(cls)}}.dump() << "\n";
            return int{kExitOk};
        });
    });
}

void RegisterAnalyzeCommand(CLI::App& app, Runner& run) {
    static AnalyzeInput input;
    static AnalysisRunner chosen;
    auto* a = app.add_subcommand("analyze", "print an analysis of a test point as JSON");
    a->add_option("FILE", input.file, "project file")->required();
    a->add_option("--magnify", input.magnify, "raw-data preprocessing flag for version 5 files")
        ->check(CLI::IsMember({"on", "off"}));
    a->require_subcommand(1);
    const AnalysisSink sink = [](AnalysisRunner r) { chosen = std::move(r); };

    AddClassAnalysis(*a, sink);
    AddSpectrumAnalyses(*a, sink);
    AddWaveletAnalysis(*a, sink);
    AddCorrelationAnalyses(*a, sink);
    AddSummaryAnalysis(*a, sink);
    AddSiteSpeedAnalysis(*a, sink);
    AddProposalAnalysis(*a, sink);
    AddMatchAnalysis(*a, sink);

    a->final_callback([&run] {
        run = [] {
            CTAV_AnalyserDoc doc;
            if (const int code = LoadProjectFor(doc, input.file, input.magnify == "on")) return code;
            return chosen ? chosen(doc, input) : int{kExitUsage};
        };
    });
}

}  // namespace tav::cli
