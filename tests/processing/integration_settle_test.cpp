// The integration keeps its running integral only when the integral has
// settled after its peak: the mean magnitude behind the peak at most a tenth
// of the peak. Cases on both sides of that line.
#include <gtest/gtest.h>

#include <vector>

#include "processing/calculus_ops.hpp"

namespace tav {
namespace {

using integration::IntegralSettles;

TEST(IntegrationSettled, TheTailMayReachOneTenthOfThePeak) {
    const std::vector<double> atTheLine = {0.0, -10.0, 1.0, -1.0, 1.0, 1.0};
    EXPECT_TRUE(IntegralSettles(atTheLine.data(), 6));
    const std::vector<double> justAbove = {0.0, -10.0, 1.0, -1.0, 1.0, 1.004};
    EXPECT_FALSE(IntegralSettles(justAbove.data(), 6));
    const std::vector<double> quiet = {0.0, 10.0, 0.0, 0.0, 0.0, 0.0};
    EXPECT_TRUE(IntegralSettles(quiet.data(), 6));
    // Only what follows the first peak counts: a loud lead-in does not.
    const std::vector<double> loudBefore = {9.0, 9.0, 10.0, 1.0, 1.0};
    EXPECT_TRUE(IntegralSettles(loudBefore.data(), 5));
    const std::vector<double> peakAtTheEnd = {0.0, 1.0, 2.0};
    EXPECT_FALSE(IntegralSettles(peakAtTheEnd.data(), 3)) << "nothing after the peak has settled";
    EXPECT_FALSE(IntegralSettles(quiet.data(), 0));
}

}  // namespace
}  // namespace tav
