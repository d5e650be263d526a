// The site's wave speed after JGJ 106-2014 8.4.1: for each pile type, the mean
// of the speeds of sound piles whose toe reflection the engineer has marked.
//
// A pile's speed c = 2L/ΔT comes from its test points that have both head and
// toe set (toe after head) and integrity class Ⅰ; with several such test points
// the pile takes their mean. The site mean c_m of a pile type is the mean of
// at least kMinSitePiles pile speeds that each lie within 5 % of it: starting
// from every pile with a speed, the pile farthest from the mean is left out one
// at a time until all the rest qualify. When fewer than kMinSitePiles remain
// the group is "too few" and has no mean.
//
// Applying the mean to piles changes their speed as the pile parameter bar
// does (the toe follows from the pile length), recorded for undo as a record
// head edit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

class CTAV_AnalyserDoc;
struct Snapshot;

inline constexpr int kMinSitePiles = 5;
inline constexpr double kSiteSpeedTolerance = 0.05;  // |c_i − c_m| / c_m

struct PileSpeed {
    std::string pileNo;                  // UTF-8
    std::vector<std::int32_t> points;    // the pile's test points (of those looked at)
    std::optional<double> speed;         // m/s; none without a sound test point with head and toe
    bool used = false;                   // counted in the group's mean
};

struct SpeedGroup {
    std::string pileType;  // UTF-8 pile type name, as the list shows it
    std::vector<PileSpeed> piles;
    std::optional<double> mean;  // m/s; none when too few
    int count = 0;               // piles that remained when the leaving-out stopped
    bool TooFew() const { return !mean.has_value(); }
};

struct SiteSpeedStats {
    std::vector<SpeedGroup> groups;  // in the order their first pile appears
};

// The speed c = 2L/ΔT of one test point, or none when it does not qualify
// (head or toe not set, toe not after head, class worse than Ⅰ, no interval or length).
std::optional<double> PointSpeed(const CTAV_AnalyserDoc& doc, std::int32_t index);

// The mean of the speeds that qualify, leaving out the farthest one at a time;
// used[i] tells whether speeds[i] stayed. none when fewer than kMinSitePiles stay.
std::optional<double> SiteMean(std::span<const double> speeds, std::vector<bool>& used);

// Statistics over the given test points (all of them when the list is empty);
// indices outside the project are skipped.
SiteSpeedStats SiteSpeedStatistics(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points = {});

// The site mean of the test point's pile type over the whole project, when
// its group has one.
std::optional<double> SiteMeanFor(const CTAV_AnalyserDoc& doc, std::int32_t index);

// Sets the speed of every given test point to speed (rounded to whole m/s),
// the toe following from the pile length. The returned snapshot restores the
// record heads (kind 11, each held test point's index in its runtimeWord); it
// holds nothing when nothing changed.
Snapshot ApplySiteSpeed(CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points, double speed);

// The report's paragraph on the site's wave speed, UTF-8.
std::string SiteSpeedParagraph(const SiteSpeedStats& stats);

}  // namespace tav
