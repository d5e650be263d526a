// Signal matching for the pictures of `tavtool render --match` and
// `tavtool report --match`: every test point fitted in turn, progress on a
// terminal, and each test point that could not be fitted named on stderr.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "output/match_pictures.hpp"

namespace CLI {
class App;
}

namespace tav::cli {

// file names the project in the lines about test points that were not fitted;
// progress: show "正在信号拟合 k/n" on stderr when it is a terminal;
// timeLimit: the seconds each fit may take.
PointFits FitForPictures(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points, const std::string& file,
                         bool progress, double timeLimit);

// The option that sets that limit, shared by render and report.
void AddMatchTimeLimitOption(CLI::App& command, double& timeLimit);

}  // namespace tav::cli
