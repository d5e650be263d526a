// `tavtool analyze FILE site-speed [--points K,...]`: the site's wave speed
// statistics per pile type.
#include <iostream>

#include "analysis/site_speed.hpp"
#include "cli/analyze_command.hpp"
#include "cli/json_out.hpp"

namespace tav::cli {

namespace {

nlohmann::json SpeedJson(const std::optional<double>& speed) {
    return speed ? DoubleJson(*speed) : nlohmann::json(nullptr);
}

}  // namespace

void AddSiteSpeedAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static std::vector<long> points;
    auto* c = analyze.add_subcommand("site-speed", "site wave speed statistics per pile type");
    c->add_option("--points", points, "test point indices (default: all)")->delimiter(',');
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            std::vector<std::int32_t> chosen;
            for (const long p : points) {
                if (!CheckPointIndex(doc, input, p)) return int{kExitInvalidData};
                chosen.push_back(static_cast<std::int32_t>(p));
            }
            const auto stats = SiteSpeedStatistics(doc, chosen);
            nlohmann::json groups = nlohmann::json::array();
            for (const auto& g : stats.groups) {
                nlohmann::json piles = nlohmann::json::array();
                for (const auto& p : g.piles)
                    piles.push_back({{"pileNo", p.pileNo}, {"speed", SpeedJson(p.speed)}, {"used", p.used}});
                groups.push_back({{"pileType", g.pileType},
                                  {"piles", std::move(piles)},
                                  {"mean", SpeedJson(g.mean)},
                                  {"count", g.count},
                                  {"status", g.TooFew() ? "too-few" : "ok"}});
            }
            std::cout << JsonText(nlohmann::json{{"groups", std::move(groups)}}) << "\n";
            return int{kExitOk};
        });
    });
}

}  // namespace tav::cli
