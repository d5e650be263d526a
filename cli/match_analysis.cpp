// `tavtool analyze FILE match --point K`: the pile's impedance profile fitted
// to the test point's record, with the soil, the fitted curve and its quality.
#include <cmath>
#include <iostream>

#include "analysis/signal_match.hpp"
#include "cli/analyze_command.hpp"
#include "cli/json_out.hpp"

namespace tav::cli {

namespace {

using nlohmann::json;

// Curves to five decimals of the peak: finer digits are noise and bulk.
json CurveJson(const std::vector<double>& values) {
    json out = json::array();
    for (const double v : values) out.push_back(DoubleJson(std::round(v * 1e5) / 1e5));
    return out;
}

json MatchJson(const MatchResult& r) {
    if (!r.ok())
        return {{"fit", false},
                {"reason", std::string(MatchFailureCode(r.failure))},
                {"message", std::string(MatchFailureText(r.failure))}};
    json segments = json::array();
    for (const auto& s : r.segments)
        segments.push_back({{"top", DoubleJson(s.top)}, {"bottom", DoubleJson(s.bottom)}, {"ratio", DoubleJson(s.ratio)}});
    return {{"fit", true},
            {"segments", std::move(segments)},
            {"soil",
             {{"shaftDamping", DoubleJson(r.soil.shaftDamping)},
              {"shaftFrequency", DoubleJson(r.soil.shaftFrequency)},
              {"toeDamping", DoubleJson(r.soil.toeDamping)},
              {"toeFrequency", DoubleJson(r.soil.toeFrequency)}}},
            {"quality", DoubleJson(r.quality)},
            {"echoQuality", DoubleJson(r.echoQuality)},
            {"windowStart", r.windowStart},
            {"windowEnd", r.windowEnd},
            {"forwardRuns", r.forwardRuns},
            {"measured", CurveJson(r.measured)},
            {"fitted", CurveJson(r.fitted)}};
}

}  // namespace

void AddMatchAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0;
    static double timeLimit = MatchOptions{}.timeLimit;
    auto* c = analyze.add_subcommand("match", "impedance profile of the pile fitted to a test point's record");
    c->add_option("--point", point, "test point index")->required();
    c->add_option("--time-limit", timeLimit, "seconds the fit may take");
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            MatchOptions options;
            options.timeLimit = timeLimit;
            const auto result = MatchSignal(doc.points[static_cast<std::size_t>(point)], options);
            std::cout << JsonText(MatchJson(result)) << "\n";
            return result.ok() ? int{kExitOk} : int{kExitInvalidData};
        });
    });
}

}  // namespace tav::cli
