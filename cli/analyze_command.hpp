// `tavtool analyze FILE ANALYSIS ...`: each analysis is a sub-command of
// `analyze` that works on the loaded document and prints one JSON object.
#pragma once

#include <functional>
#include <string>

#include "cli/command.hpp"
#include "model/document.hpp"

namespace tav::cli {

struct AnalyzeInput {
    std::string file;
    std::string magnify = "on";
};

// The analysis's code: gets the loaded document, returns the exit code.
using AnalysisRunner = std::function<int(CTAV_AnalyserDoc& doc, const AnalyzeInput& input)>;
// Called by each analysis's callback to hand its code to the `analyze` command.
using AnalysisSink = std::function<void(AnalysisRunner)>;

void RegisterAnalyzeCommand(CLI::App& app, Runner& run);

// A test point index given on the command line; reports and returns false when
// it lies outside the project.
bool CheckPointIndex(const CTAV_AnalyserDoc& doc, const AnalyzeInput& input, long index);

// The analyses, one registration per family of them.
void AddClassAnalysis(CLI::App& analyze, const AnalysisSink& sink);
void AddSpectrumAnalyses(CLI::App& analyze, const AnalysisSink& sink);
void AddWaveletAnalysis(CLI::App& analyze, const AnalysisSink& sink);
void AddCorrelationAnalyses(CLI::App& analyze, const AnalysisSink& sink);
void AddSummaryAnalysis(CLI::App& analyze, const AnalysisSink& sink);
void AddSiteSpeedAnalysis(CLI::App& analyze, const AnalysisSink& sink);
void AddProposalAnalysis(CLI::App& analyze, const AnalysisSink& sink);
void AddMatchAnalysis(CLI::App& analyze, const AnalysisSink& sink);

}  // namespace tav::cli
