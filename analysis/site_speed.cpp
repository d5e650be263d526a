#include "analysis/site_speed.hpp"

#include <cmath>
#include <cstdio>
#include <map>

#include "analysis/integrity_class.hpp"
#include "analysis/pile_parameter_bar.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/snapshot.hpp"

namespace tav {

namespace {

// The list operation that exchanges record heads (pile parameters, head and toe).
constexpr std::int32_t kRecordHeadEdit = 11;

}  // namespace

std::optional<double> PointSpeed(const CTAV_AnalyserDoc& doc, std::int32_t index) {
    if (!doc.ValidIndex(index)) return std::nullopt;
    const TestPoint& tp = doc.points[static_cast<std::size_t>(index)];
    if (!tp.headValid || !ToeSet(tp) || tp.headIndex < 0) return std::nullopt;
    if (IntegrityClass(tp) != 0) return std::nullopt;
    if (!std::isfinite(tp.sampleInterval) || tp.sampleInterval <= 0.0f || !std::isfinite(tp.pileLength) ||
        tp.pileLength <= 0.0f)
        return std::nullopt;
    const double travelSeconds = (tp.toeIndex - tp.headIndex) * static_cast<double>(tp.sampleInterval) * 1e-6;
    return 2.0 * tp.pileLength / travelSeconds;
}

std::optional<double> SiteMean(std::span<const double> speeds, std::vector<bool>& used) {
    used.assign(speeds.size(), true);
    std::size_t remaining = speeds.size();
    while (remaining >= static_cast<std::size_t>(kMinSitePiles)) {
        double sum = 0.0;
        for (std::size_t i = 0; i < speeds.size(); ++i)
            if (used[i]) sum += speeds[i];
        const double mean = sum / static_cast<double>(remaining);
        std::size_t farthest = speeds.size();
        double worst = -1.0;
        for (std::size_t i = 0; i < speeds.size(); ++i) {
            if (!used[i]) continue;
            const double deviation = std::fabs(speeds[i] - mean);
            if (deviation > worst) {
                worst = deviation;
                farthest = i;
            }
        }
        if (worst <= kSiteSpeedTolerance * mean) return mean;
        used[farthest] = false;
        --remaining;
    }
    used.assign(speeds.size(), false);
    return std::nullopt;
}

SiteSpeedStats SiteSpeedStatistics(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points) {
    std::vector<std::int32_t> chosen;
    if (points.empty()) {
        for (std::int32_t i = 0; i < doc.PointCount(); ++i) chosen.push_back(i);
    } else {
        for (const std::int32_t i : points)
            if (doc.ValidIndex(i)) chosen.push_back(i);
    }

    SiteSpeedStats stats;
    std::map<std::string, std::size_t> groupOf;
    std::map<std::int32_t, std::pair<std::size_t, std::size_t>> pileOf;  // pile ordinal → group, pile
    for (const std::int32_t i : chosen) {
        const std::int32_t ordinal = doc.PileOrdinal(i);
        auto found = pileOf.find(ordinal);
        if (found == pileOf.end()) {
            const std::string type = doc.PileTypeText(i);
            auto [g, isNew] = groupOf.emplace(type, stats.groups.size());
            if (isNew) stats.groups.push_back({type, {}, std::nullopt, 0});
            auto& group = stats.groups[g->second];
            PileSpeed pile;
            pile.pileNo = Cp936ToUtf8(TextOf(doc.points[static_cast<std::size_t>(i)].pileNo));
            group.piles.push_back(std::move(pile));
            found = pileOf.emplace(ordinal, std::pair{g->second, group.piles.size() - 1}).first;
        }
        stats.groups[found->second.first].piles[found->second.second].points.push_back(i);
    }

    for (auto& group : stats.groups) {
        std::vector<double> speeds;
        std::vector<PileSpeed*> measured;
        for (auto& pile : group.piles) {
            double sum = 0.0;
            int n = 0;
            for (const std::int32_t i : pile.points)
                if (const auto c = PointSpeed(doc, i)) {
                    sum += *c;
                    ++n;
                }
            if (n == 0) continue;
            pile.speed = sum / n;
            speeds.push_back(*pile.speed);
            measured.push_back(&pile);
        }
        std::vector<bool> used;
        group.mean = SiteMean(speeds, used);
        for (std::size_t k = 0; k < measured.size(); ++k) measured[k]->used = used[k];
        group.count = 0;
        if (group.mean) {
            for (const bool u : used) group.count += u ? 1 : 0;
        } else {
            // How many were left when the leaving-out had to stop.
            group.count = std::min(static_cast<int>(speeds.size()), kMinSitePiles - 1);
        }
    }
    return stats;
}

std::optional<double> SiteMeanFor(const CTAV_AnalyserDoc& doc, std::int32_t index) {
    if (!doc.ValidIndex(index)) return std::nullopt;
    const std::string type = doc.PileTypeText(index);
    for (const auto& g : SiteSpeedStatistics(doc).groups)
        if (g.pileType == type) return g.mean;
    return std::nullopt;
}

Snapshot ApplySiteSpeed(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points, double speed) {
    Snapshot undo;
    undo.kind = kRecordHeadEdit;
    if (!std::isfinite(speed)) return undo;
    const auto rounded = std::lround(speed);
    if (rounded <= 0 || rounded > 32767) return undo;
    std::vector<std::int32_t> targets;
    for (const std::int32_t i : points)
        if (doc.ValidIndex(i) && doc.points[static_cast<std::size_t>(i)].waveSpeed != rounded) targets.push_back(i);
    if (targets.empty()) return undo;
    for (const std::int32_t i : targets) {
        TestPoint before;
        CopyTestPoint(doc.points[static_cast<std::size_t>(i)], before);
        before.runtimeWord = i;
        undo.points.push_back(std::move(before));
    }
    // The bar's all-waveforms path: every point takes the speed, the toe follows the length.
    BarScope scope;
    scope.shown = targets;
    scope.current = targets.front();
    scope.allWaveforms = true;
    if (targets.size() == 1) {
        TestPoint& tp = doc.points[static_cast<std::size_t>(targets.front())];
        const auto toeValid = tp.toeValid;
        EditWaveSpeed(doc, scope, static_cast<std::int32_t>(rounded));
        tp.toeValid = toeValid;  // as on the all-waveforms path: a site speed does not mark the toe
    } else {
        EditWaveSpeed(doc, scope, static_cast<std::int32_t>(rounded));
    }
    return undo;
}

std::string SiteSpeedParagraph(const SiteSpeedStats& stats) {
    std::string text =
        "桩身波速平均值按JGJ 106-2014第8.4.1条确定：选取同一工程中桩型相同、桩身完整性为Ⅰ类且桩底反射清晰的桩，"
        "按c=2L/ΔT计算各桩的桩身波速，取不少于5根、与平均值之差均不超过5%的桩身波速的平均值。";
    if (stats.groups.empty()) return text + "本工程无可参与统计的测点。";
    char buf[256];
    for (const auto& g : stats.groups) {
        int measured = 0;
        double low = 0.0, high = 0.0;
        for (const auto& p : g.piles) {
            if (!p.used || !p.speed) continue;
            low = measured ? std::min(low, *p.speed) : *p.speed;
            high = measured ? std::max(high, *p.speed) : *p.speed;
            ++measured;
        }
        const std::string type = g.pileType.empty() ? std::string("未定桩型") : g.pileType;
        if (g.mean) {
            std::snprintf(buf, sizeof buf, "%s：参与统计%d根，波速%.0f～%.0fm/s，平均波速%.0fm/s。", type.c_str(),
                          g.count, low, high, *g.mean);
        } else {
            int withSpeed = 0;
            for (const auto& p : g.piles) withSpeed += p.speed ? 1 : 0;
            std::snprintf(buf, sizeof buf, "%s：符合条件的桩不足5根（%d根有实测波速），未统计平均波速。", type.c_str(),
                          withSpeed);
        }
        text += buf;
    }
    return text;
}

}  // namespace tav
