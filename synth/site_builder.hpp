// A synthetic site: piles of the usual types laid out with several test
// points each, their records computed by the pile model, written as a project
// with the true head, toe, wave speed, length and defects kept beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/pile_model.hpp"

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::synth {

enum class DefectKind { Neck, Bulge, Crack, Break, Base };
inline constexpr int kDefectKindCount = 5;

std::string_view DefectKindName(DefectKind kind);  // "neck", "bulge", "crack", "break", "base"
std::optional<DefectKind> ParseDefectKind(std::string_view name);

// A defect asked for by the user: the stretch starts at depth and runs for
// the kind's usual length (an enlarged base runs to the toe).
struct DefectSpec {
    int pile = 1;  // from 1
    double depth = 0.0;  // m below the head
    DefectKind kind = DefectKind::Neck;
    double ratio = 0.5;  // impedance of the stretch ÷ the pile's
};

// "PILE:DEPTH:TYPE:RATIO"; nothing when the text has not that form.
std::optional<DefectSpec> ParseDefectSpec(std::string_view text);

enum class SensorChoice { Acceleration, Velocity, Mixed };  // Mixed: alternating by pile

struct SiteOptions {
    int piles = 12;
    int pointsPerPile = 3;
    std::uint64_t seed = 1;
    SensorChoice sensor = SensorChoice::Acceleration;
    double sampleInterval = 20.0;  // µs
    int samples = 1024;
    double noise = 0.01;  // noise RMS as a share of the blow's peak; 0 gives clean records
    bool randomDefects = false;
    std::vector<DefectSpec> defects;
    std::string testUnit = "合成数据检测中心";  // UTF-8
    std::string projectName = "合成桩基工程";
};

struct TruthDefect {
    float depth = 0.0f;   // top of the stretch, m below the head
    float length = 0.0f;  // m
    DefectKind kind = DefectKind::Neck;
    float ratio = 1.0f;
};

struct TruthPoint {
    int index = 0;
    std::string pileNo;
    SensorKind sensor = SensorKind::Velocity;
    int headIndex = 0;  // the incident velocity peak
    int toeIndex = 0;   // the toe echo's peak for a free toe
    int waveSpeed = 0;
    float pileLength = 0.0f;
    int pileTypeIndex = 0;
    int diameter = 0;
    bool rockToe = false;
    std::vector<TruthDefect> defects;
};

// Fills doc (cleared first) with the site; "" on success, else why the
// options cannot make one.
std::string BuildSite(const SiteOptions& options, CTAV_AnalyserDoc& doc, std::vector<TruthPoint>& truth);

// {"points": [{"index", "pileNo", "sensor", "headIndex", "toeIndex", "waveSpeed",
//   "pileLength", "pileTypeIndex", "diameter", "toe", "defects": [{"depth", "type",
//   "ratio", "length"}]}]}
std::string TruthJson(const std::vector<TruthPoint>& truth);

}  // namespace tav::synth
