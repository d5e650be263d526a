// `tavtool analyze` for the frequency, wavelet and statistics analyses: the
// results the display would show, as JSON.
#include <iostream>
#include <vector>

#include "analysis/correlation.hpp"
#include "analysis/spectrum.hpp"
#include "analysis/wavelet.hpp"
#include "cli/analyze_command.hpp"
#include "cli/json_out.hpp"

namespace tav::cli {

namespace {

using nlohmann::json;

json SpectrumJson(const AnalysisEntry& e, std::int32_t type) {
    json hz = json::array();
    for (std::int32_t k = 0; k < e.shownCount; ++k) hz.push_back(DoubleJson(LineFrequencyHz(e.copy, k)));
    return {{"type", type},
            {"n", e.copy.sampleCount()},
            {"shown", e.shownCount},
            {"values", FloatsJson(e.copy.samples)},
            {"lineHz", std::move(hz)},
            {"viewMax", FloatJson(e.copy.lastParams.viewMax)},
            {"viewMin", FloatJson(e.copy.lastParams.viewMin)}};
}

}  // namespace

void AddSpectrumAnalyses(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0, type = 0, a = 0, b = 0;
    auto* s = analyze.add_subcommand("spectrum", "spectrum of a test point's processed samples");
    s->add_option("--point", point, "test point index")->required();
    s->add_option("--type", type, "0 amplitude, 1 power, 3 cepstrum, 4 logarithmic");
    s->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (type == kSpectrumCrossPower) {
                ReportError(input.file, "spectrum type 2 is the cross power spectrum of two test points: use "
                                        "`analyze FILE cross-power --a K --b L`");
                return int{kExitUsage};
            }
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            const std::vector<std::int32_t> shown{static_cast<std::int32_t>(point)};
            auto t = static_cast<std::int32_t>(type);
            if (t != type) t = -1;  // beyond 32 bits: outside the table as well
            const auto entries = BuildSpectrumEntries(doc, shown, t, -1, -1, shown);
            std::cout << JsonText(SpectrumJson(entries.at(0), t)) << "\n";
            return int{kExitOk};
        });
    });

    auto* c = analyze.add_subcommand("cross-power", "cross power spectrum of test points A and B");
    c->add_option("--a", a, "test point A")->required();
    c->add_option("--b", b, "test point B")->required();
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, a) || !CheckPointIndex(doc, input, b)) return int{kExitInvalidData};
            const std::vector<std::int32_t> targets{static_cast<std::int32_t>(a), static_cast<std::int32_t>(b)};
            std::int32_t t = kSpectrumCrossPower;
            const auto entries = BuildSpectrumEntries(doc, {}, t, targets[0], targets[1], targets);
            std::cout << JsonText(SpectrumJson(entries.at(2), t)) << "\n";
            return int{kExitOk};
        });
    });
}

void AddWaveletAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0, family = 0, order = 0, levels = 1;
    auto* w = analyze.add_subcommand("wavelet", "wavelet sub-signals of a test point");
    w->add_option("--point", point, "test point index")->required();
    w->add_option("--family", family, "family index in the wavelet table")->required();
    w->add_option("--order", order, "order index within the family")->required();
    w->add_option("--levels", levels, "number of levels, 1..9")->required();
    w->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            const auto& table = AppWaveletTable();
            if (family < 0 || family >= static_cast<long>(table.Families().size())) {
                ReportError(input.file, "wavelet family " + std::to_string(family) + " is outside the table (0.." +
                                            std::to_string(table.Families().size() - 1) + ")");
                return int{kExitInvalidData};
            }
            const auto& orders = table.Families()[static_cast<std::size_t>(family)].orders;
            if (order < 0 || order >= static_cast<long>(orders.size())) {
                ReportError(input.file, "wavelet order " + std::to_string(order) + " is outside the family (0.." +
                                            std::to_string(orders.size() - 1) + ")");
                return int{kExitInvalidData};
            }
            if (levels < 1 || levels > kMaxWaveletLevels) {
                ReportError(input.file, "wavelet levels " + std::to_string(levels) + " outside 1..9");
                return int{kExitInvalidData};
            }
            const auto entries = BuildWaveletEntries(doc, static_cast<std::int32_t>(point), table,
                                                     static_cast<std::int32_t>(family), static_cast<std::int32_t>(order),
                                                     static_cast<std::int32_t>(levels - 1));
            if (entries.empty()) {
                ReportError(input.file, "test point " + std::to_string(point) + " has no samples to transform");
                return int{kExitInvalidData};
            }
            json list = json::array();
            for (const auto& e : entries)
                list.push_back({{"index", e.subSignal},
                                {"caption", e.caption},
                                {"kind", e.kind},
                                {"values", FloatsJson(e.copy.samples)},
                                {"viewMax", FloatJson(e.copy.lastParams.viewMax)},
                                {"viewMin", FloatJson(e.copy.lastParams.viewMin)}});
            std::cout << JsonText(json{{"subsignals", std::move(list)}}) << "\n";
            return int{kExitOk};
        });
    });
}

void AddCorrelationAnalyses(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0, a = 0, b = 0;
    static std::vector<long> points;

    const auto correlation = [](CTAV_AnalyserDoc& doc, const AnalyzeInput& input, const StatisticsSelection& sel) {
        const auto built = BuildStatisticsEntries(doc, sel, {});
        const auto& r = built.entries.back();
        std::cout << JsonText(json{{"values", FloatsJson(r.copy.samples)},
                                   {"templateStart", built.correlationTemplate.start},
                                   {"templateEnd", built.correlationTemplate.end},
                                   {"viewMax", FloatJson(r.copy.lastParams.viewMax)},
                                   {"viewMin", FloatJson(r.copy.lastParams.viewMin)}})
                  << "\n";
        (void)input;
        return int{kExitOk};
    };

    auto* ac = analyze.add_subcommand("autocorr", "autocorrelation of a test point");
    ac->add_option("--point", point, "test point index")->required();
    ac->callback([sink, correlation] {
        sink([correlation](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            StatisticsSelection sel;
            sel.analysis = kStatAutocorrelation;
            sel.autoPoint = static_cast<std::int32_t>(point);
            return correlation(doc, input, sel);
        });
    });

    auto* cc = analyze.add_subcommand("crosscorr", "cross-correlation of test points A and B");
    cc->add_option("--a", a, "test point A")->required();
    cc->add_option("--b", b, "test point B")->required();
    cc->callback([sink, correlation] {
        sink([correlation](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, a) || !CheckPointIndex(doc, input, b)) return int{kExitInvalidData};
            StatisticsSelection sel;
            sel.analysis = kStatCrossCorrelation;
            sel.crossA = static_cast<std::int32_t>(a);
            sel.crossB = static_cast<std::int32_t>(b);
            return correlation(doc, input, sel);
        });
    });

    auto* av = analyze.add_subcommand("average", "average of test points");
    av->add_option("--points", points, "test point indices")->required()->delimiter(',');
    av->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            std::vector<std::int32_t> targets;
            for (const long p : points) {
                if (!CheckPointIndex(doc, input, p)) return int{kExitInvalidData};
                targets.push_back(static_cast<std::int32_t>(p));
            }
            TestPoint result;
            CopyTestPoint(doc.points[static_cast<std::size_t>(targets.front())], result);
            AveragePoints(doc, targets, static_cast<std::int32_t>(targets.size()), result);
            std::cout << JsonText(json{{"values", FloatsJson(result.samples)},
                                       {"viewMax", FloatJson(result.lastParams.viewMax)},
                                       {"viewMin", FloatJson(result.lastParams.viewMin)}})
                      << "\n";
            return int{kExitOk};
        });
    });
}

}  // namespace tav::cli
