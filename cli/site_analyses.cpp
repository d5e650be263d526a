// `tavtool analyze FILE site-speed [--points K,...]`: the site's wave speed
// statistics per pile type; `analyze FILE propose --point K`: the proposed
// toe and defects of a record.
#include <charconv>
#include <iostream>

#include "analysis/reflection_proposals.hpp"
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

nlohmann::json ProposalsJson(const ReflectionProposals& p) {
    nlohmann::json defects = nlohmann::json::array();
    for (const auto& d : p.defects)
        defects.push_back({{"index", d.index},
                           {"depth", FloatJson(d.depth)},
                           {"kind", ReflectionKindName(d.kind)},
                           {"confidence", DoubleJson(d.confidence)}});
    nlohmann::json j{{"headIndex", p.noProposal.empty() ? nlohmann::json(p.headIndex) : nlohmann::json(nullptr)},
                     {"toeIndex", p.toeIndex ? nlohmann::json(*p.toeIndex) : nlohmann::json(nullptr)},
                     {"toeConfidence", DoubleJson(p.toeConfidence)},
                     {"waveSpeed", DoubleJson(p.waveSpeed)},
                     {"defects", std::move(defects)}};
    if (!p.noProposal.empty()) j["noProposal"] = p.noProposal;
    return j;
}

void AddProposalAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0;
    static std::string siteSpeed;
    auto* c = analyze.add_subcommand("propose", "proposed toe and defect reflections of a test point");
    c->add_option("--point", point, "test point index")->required();
    c->add_option("--site-speed", siteSpeed,
                  "the site's mean speed (m/s) that narrows the toe search, or \"auto\": the file's own "
                  "statistics for the pile type, as the window uses them");
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            ProposalOptions options;
            if (siteSpeed == "auto") {
                options.siteSpeed = SiteMeanFor(doc, static_cast<std::int32_t>(point));
            } else if (!siteSpeed.empty()) {
                double speed = 0.0;
                const auto r = std::from_chars(siteSpeed.data(), siteSpeed.data() + siteSpeed.size(), speed);
                if (r.ec != std::errc() || r.ptr != siteSpeed.data() + siteSpeed.size() || !(speed > 0.0)) {
                    ReportError(input.file, "--site-speed takes a speed above 0 in m/s or \"auto\": " + siteSpeed);
                    return int{kExitUsage};
                }
                options.siteSpeed = speed;
            }
            const auto proposals = ProposeReflections(doc.points[static_cast<std::size_t>(point)], options);
            std::cout << JsonText(ProposalsJson(proposals)) << "\n";
            return int{kExitOk};
        });
    });
}

}  // namespace tav::cli
