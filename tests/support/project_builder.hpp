// Builders of test points and project images for tests and benchmarks.
#pragma once

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "model/project_header.hpp"
#include "model/test_point.hpp"

namespace tav::testing {

// A plausible record: a head pulse, a toe echo and a little noise, valid head
// and toe, no chain.
TestPoint WaveformPoint(std::string_view pileNo, int samples = 1024, std::uint32_t seed = 1);

struct RandomShape {
    int maxSamples = 64;
    int maxSteps = 3;
    int maxDefects = 3;
    int maxMarks = 3;
};

// Every field random (texts with bytes after their terminator, odd floats),
// yet such that loading leaves it unchanged: the head is valid and non-zero,
// defect positions agree with their depths, and the stored display range is
// the one loading computes.
TestPoint RandomPoint(std::mt19937& rng, const RandomShape& shape = {});

ProjectHeader MakeHeader(std::string_view testUnit, std::string_view projectName);

// A "TAV15" image, or with version4 = true a "TAV04" image (short record heads).
std::vector<std::uint8_t> ProjectImage(const ProjectHeader& header, const std::vector<TestPoint>& points,
                                       const std::vector<TestPoint>& backup, bool version4 = false);

}  // namespace tav::testing
