#include "processing/calculus_ops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/processing/reference_ops.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

std::vector<float> Noise(int n, std::uint32_t seed = 11) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> v(-2.0f, 2.0f);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (auto& s : x) s = v(rng);
    return x;
}

TEST(Differentiate, ConstantGivesItsFirstValueThenZeros) {
    std::vector<float> x(64, 2.5f);
    EXPECT_EQ(Differentiate(x.data(), 64), 1);
    EXPECT_EQ(x[0], 2.5f);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], 0.0f);
}

TEST(Differentiate, PlainDifferences) {
    const auto c = Noise(100);
    auto x = c;
    Differentiate(x.data(), 100);
    for (int i = 1; i < 100; ++i)
        ASSERT_EQ(x[static_cast<std::size_t>(i)],
                  static_cast<float>(double(c[static_cast<std::size_t>(i)]) - c[static_cast<std::size_t>(i - 1)]));
}

TEST(Smooth, ShortRecordOrOnePointChangesNothing) {
    auto x = Noise(21);
    const auto before = x;
    Smooth(x.data(), 21, 1);
    EXPECT_EQ(x, before);
    auto y = Noise(500);
    const auto y0 = y;
    Smooth(y.data(), 500, 1);
    EXPECT_EQ(y, y0);
}

TEST(Smooth, FourPointsTouchExactlySamples20To1019) {
    const auto c = Noise(1024);
    auto x = c;
    Smooth(x.data(), 1024, 4);
    for (int i = 0; i < 1024; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i < 20 || i >= 1020) {
            ASSERT_EQ(x[k], c[k]) << i;
        } else {
            const double want = (double(c[k]) + c[k + 1] + c[k + 2] + c[k + 3]) / 4.0;
            ASSERT_EQ(x[k], static_cast<float>(want)) << i;
            ASSERT_NE(x[k], c[k]) << i;
        }
    }
}

TEST(Smooth, AnyPointCountStaysInBounds) {
    for (const int N : {std::numeric_limits<int>::min(), -5, 0, 3, 1000, std::numeric_limits<int>::max()}) {
        auto x = Noise(40);
        const auto before = x;
        Smooth(x.data(), 40, N);
        if (N <= 0 || N >= 20) {
            EXPECT_EQ(x, before) << N;
        }
    }
}

TEST(Integrate, ZerosGiveZeros) {
    std::vector<float> x(300, 0.0f);
    EXPECT_EQ(Integrate(x.data(), 300, 20.0f), 1);
    for (const float v : x) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(integration::FindTailStart(std::vector<double>(300, 0.0).data(), 300), 299);
}

TEST(Integrate, LastTwoIntegralValuesAreEqual) {
    const auto x = Noise(200);
    const auto r = integration::RunningIntegral(x.data(), 200, 20.0f);
    EXPECT_EQ(r[199], r[198]);
    EXPECT_EQ(r[0], 0.0);
    const double w = double(x[0]) + 4.0 * x[1] + x[2];
    EXPECT_EQ(r[1], w * 20.0 * static_cast<double>(0.00016666666f));
}

TEST(Integrate, PeakAtTheLastSampleFallsBackToTheTrapezoidMean) {
    // A rising ramp: the integral grows to the end and its tail is never cut.
    std::vector<float> x(200);
    for (int i = 0; i < 200; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(i * i);
    const auto want = integration::RunningTrapezoidMean(x.data(), 200);
    auto r = integration::RunningIntegral(x.data(), 200, 20.0f);
    EXPECT_FALSE(integration::IntegralSettles(r.data(), 200));
    auto y = x;
    Integrate(y.data(), 200, 20.0f);
    EXPECT_EQ(y, want);
    EXPECT_EQ(y[0], x[0]);
    EXPECT_EQ(y[1], static_cast<float>((double(x[0]) + x[1]) * 0.5 / 2.0));
}

TEST(Integrate, RunningTrapezoidMeanEqualsTheSumFormedAfresh) {
    const auto x = Noise(3000, 5);
    const auto q = integration::RunningTrapezoidMean(x.data(), 3000);
    for (const int i : {1, 2, 17, 999, 2999}) {
        double sum = 0;
        for (int k = 0; k < i; ++k)
            sum += (double(x[static_cast<std::size_t>(k)]) + x[static_cast<std::size_t>(k + 1)]) * 0.5;
        EXPECT_EQ(q[static_cast<std::size_t>(i)], static_cast<float>(sum / (i + 1))) << i;
    }
}

TEST(Integrate, ShortRecordsGiveFiniteValues) {
    for (const int n : {1, 2, 3}) {
        std::vector<float> x(static_cast<std::size_t>(n), 3.0f);
        Integrate(x.data(), n, 20.0f);
        for (const float v : x) EXPECT_TRUE(std::isfinite(v)) << n;
    }
    std::vector<float> one{4.0f};
    Integrate(one.data(), 1, 20.0f);
    EXPECT_EQ(one[0], 4.0f);  // the trapezoid mean of one sample is the sample
    std::vector<float> two{4.0f, -1.0f};
    Integrate(two.data(), 2, 20.0f);
    EXPECT_EQ(two[0], 0.0f);
    EXPECT_EQ(two[1], 0.0f);
    EXPECT_EQ(integration::FitLine(std::vector<double>{5.0}.data(), 1).slope, 0.0);
}

TEST(Integrate, FitLineIsLeastSquares) {
    std::vector<double> y(50);
    for (int j = 0; j < 50; ++j) y[static_cast<std::size_t>(j)] = 3.0 - 0.25 * j;
    const auto line = integration::FitLine(y.data(), 50);
    EXPECT_NEAR(line.intercept, 3.0, 1e-9);
    EXPECT_NEAR(line.slope, -0.25, 1e-12);
}

TEST(Integrate, AgreesWithTheLiteralDoubleEvaluation) {
    // A real-looking record (settling integral) and noise (either path).
    std::vector<std::vector<float>> inputs;
    inputs.push_back(testing::WaveformPoint("P", 1024, 3).rawSamples);
    inputs.push_back(Noise(1024, 9));
    std::vector<float> ramp(700);
    for (int i = 0; i < 700; ++i) ramp[static_cast<std::size_t>(i)] = static_cast<float>(i) * 0.01f;
    inputs.push_back(ramp);
    for (const auto& input : inputs) {
        const auto want = reference::Integrate(input, 20.0f);
        auto got = input;
        Integrate(got.data(), static_cast<std::int32_t>(got.size()), 20.0f);
        double peak = 0;
        for (const float v : want) peak = std::max(peak, std::fabs(double(v)));
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_LE(reference::RoundingUnits(got[i], want[i], peak * 1e-6), 2.0) << i;
    }
}

TEST(Integrate, HostileIntervalsStayFiniteOrPropagate) {
    for (const float dt : {0.0f, -20.0f, 1e30f, std::numeric_limits<float>::quiet_NaN()}) {
        auto x = Noise(64);
        EXPECT_EQ(Integrate(x.data(), 64, dt), 1);
    }
}

}  // namespace
}  // namespace tav
