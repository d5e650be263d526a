#include "processing/pointwise_ops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/processing/reference_ops.hpp"

namespace tav {
namespace {

std::vector<float> Noise(int n, std::uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> v(-5.0f, 5.0f);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (auto& s : x) s = v(rng);
    return x;
}

std::vector<float> Ramp(int n) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = static_cast<float>(i) + 0.5f;
    return x;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Reverse, TwiceRestoresEveryBit) {
    auto x = Noise(1000);
    x[3] = 0.0f;
    x[4] = -0.0f;
    const auto before = x;
    EXPECT_EQ(Reverse(x.data(), 1000), 1);
    EXPECT_EQ(x[10], -before[10]);
    Reverse(x.data(), 1000);
    EXPECT_TRUE(SameBits(x, before));
}

TEST(PointwiseOps, CountBelowOneChangesNothing) {
    auto x = Noise(8);
    const auto before = x;
    EXPECT_EQ(Reverse(x.data(), 0), 0);
    EXPECT_EQ(RemoveDc(x.data(), -3, 1, 0), 0);
    EXPECT_EQ(ShiftData(x.data(), 0, 2, 1.0f, 0, 0, 0), 0);
    EXPECT_EQ(Rotate(x.data(), 0, 0, 0, 0.3f, 1.0f), 0);
    EXPECT_EQ(Magnify(x.data(), 0, 3.0f, 0, 0, 0), 0);
    EXPECT_EQ(LocalScale(x.data(), 0, 0, 5, 2.0f), 0);
    EXPECT_EQ(ZeroFront(x.data(), 0, 5), 0);
    EXPECT_EQ(ZeroRear(x.data(), 0, 0), 0);
    EXPECT_EQ(ZeroLinear(x.data(), 0, 0, 0, 0), 0);
    EXPECT_EQ(ZeroNonlinear(x.data(), 0, 0, 0, 0), 0);
    EXPECT_TRUE(SameBits(x, before));
}

TEST(RemoveDc, PartialLeavesTheStartAndSubtractsTheTailMean) {
    auto x = Noise(1024);
    for (auto& v : x) v += 3.0f;
    const auto c = x;
    RemoveDc(x.data(), 1024, 2, 300);
    double mean = 0;
    for (int i = 300; i < 1024; ++i) mean += c[static_cast<std::size_t>(i)];
    mean /= 724.0;
    for (int i = 0; i < 300; ++i) ASSERT_EQ(x[static_cast<std::size_t>(i)], c[static_cast<std::size_t>(i)]);
    for (int i = 300; i < 1024; ++i)
        ASSERT_EQ(x[static_cast<std::size_t>(i)], static_cast<float>(c[static_cast<std::size_t>(i)] - mean));
}

TEST(RemoveDc, ModesAndStarts) {
    auto x = Ramp(10);
    RemoveDc(x.data(), 10, 0, 7);  // mode 0 behaves as 1: the whole record
    EXPECT_FLOAT_EQ(x[0], -4.5f);
    EXPECT_FLOAT_EQ(x[9], 4.5f);
    auto y = Ramp(10);
    RemoveDc(y.data(), 10, 2, 10);  // a start at the end: unchanged
    EXPECT_TRUE(SameBits(y, Ramp(10)));
    RemoveDc(y.data(), 10, 2, -50);  // negative start: from 0
    EXPECT_FLOAT_EQ(y[0], -4.5f);
    auto one = Ramp(10);
    RemoveDc(one.data(), 10, 2, 9);  // a single sample is its own mean
    EXPECT_EQ(one[9], 0.0f);
    EXPECT_EQ(one[8], 8.5f);
}

TEST(ShiftData, WholeRecordLaterAndEarlier) {
    const auto c = Ramp(10);
    auto x = c;
    ShiftData(x.data(), 10, 3, 0.0f, 0, 0, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], c[0]);
    EXPECT_EQ(x[3], c[0]);
    EXPECT_EQ(x[9], c[6]);
    x = c;
    ShiftData(x.data(), 10, -3, 0.0f, 0, 0, 0);
    EXPECT_EQ(x[0], c[3]);
    EXPECT_EQ(x[6], c[9]);
    for (int i = 7; i < 10; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], c[9]);
}

TEST(ShiftData, PartialRangeAndVerticalShift) {
    const auto c = Ramp(10);
    auto x = c;
    EXPECT_EQ(ShiftData(x.data(), 10, 1, 2.0f, 1, 2, 6), 1);
    EXPECT_EQ(x[1], c[1]);
    EXPECT_EQ(x[2], c[2] + 2.0f);
    EXPECT_EQ(x[3], c[2] + 2.0f);
    EXPECT_EQ(x[5], c[4] + 2.0f);
    EXPECT_EQ(x[6], c[6]);
    // Clamped to the range's length: everything becomes the first value.
    x = c;
    ShiftData(x.data(), 10, 1000, 0.0f, 1, 2, 6);
    for (int i = 2; i < 6; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], c[2]);
}

TEST(ShiftData, InvalidRangeChangesNothingNotEvenVertically) {
    auto x = Ramp(10);
    EXPECT_EQ(ShiftData(x.data(), 10, 2, 5.0f, 1, 2, 11), 0);
    EXPECT_EQ(ShiftData(x.data(), 10, 2, 5.0f, 1, -1, 5), 0);
    EXPECT_EQ(ShiftData(x.data(), 10, 2, 5.0f, 1, 6, 5), 0);
    EXPECT_TRUE(SameBits(x, Ramp(10)));
    EXPECT_EQ(ShiftData(x.data(), 10, 2, 5.0f, 1, 10, 10), 1);  // empty range at the end
    EXPECT_TRUE(SameBits(x, Ramp(10)));
}

TEST(Rotate, RampFromTheStart) {
    auto x = std::vector<float>(100, 1.0f);
    Rotate(x.data(), 100, 1, 40, 0.25f, 2.0f);
    const double step = std::tan(0.25) * 2.0 * 0.55;
    EXPECT_EQ(x[39], 1.0f);
    EXPECT_EQ(x[40], 1.0f);
    EXPECT_EQ(x[99], static_cast<float>(1.0 + 59 * step));
    auto y = std::vector<float>(100, 1.0f);
    Rotate(y.data(), 100, 1, 100, 0.25f, 2.0f);  // start at the end: unchanged
    EXPECT_EQ(y[99], 1.0f);
}

TEST(Rotate, RightAngleIsHeldBelowItAsAFloat) {
    const double pi = 4.0 * std::atan(1.0);
    const float limit = static_cast<float>(static_cast<double>(static_cast<float>(pi / 2)) - 0.001);
    for (const float angle : {static_cast<float>(pi / 2), 3.0f, std::numeric_limits<float>::infinity()}) {
        auto x = std::vector<float>(10, 0.0f);
        Rotate(x.data(), 10, 0, 0, angle, 1.0f);
        EXPECT_TRUE(std::isfinite(x[9]));
        EXPECT_EQ(x[9], static_cast<float>(9 * std::tan(static_cast<double>(limit)) * 0.55)) << angle;
    }
    auto x = std::vector<float>(10, 0.0f);
    Rotate(x.data(), 10, 0, 0, -static_cast<float>(pi / 2), 1.0f);
    EXPECT_EQ(x[9], static_cast<float>(-9 * std::tan(static_cast<double>(limit)) * 0.55));
}

TEST(Magnify, ExponentialFactorOneChangesNothing) {
    auto x = Noise(500);
    const auto before = x;
    Magnify(x.data(), 500, 1.0f, 20, 0, 0);
    EXPECT_TRUE(SameBits(x, before));
}

TEST(Magnify, ExponentialGrowsToTheLimitAndHoldsAfterIt) {
    const int n = 1000, s = 100, toe = 600;
    std::vector<float> x(n, 1.0f);
    Magnify(x.data(), n, 8.0f, s, 0, toe);
    const double r = std::log(8.0) / (n - s);
    EXPECT_EQ(x[99], 1.0f);
    EXPECT_EQ(x[100], 1.0f);
    EXPECT_EQ(x[300], static_cast<float>(std::exp(r * 200)));
    for (int i = toe; i < n; ++i)
        ASSERT_EQ(x[static_cast<std::size_t>(i)], static_cast<float>(std::exp(r * (toe - s))));
    // Without a limit the gain nearly reaches the factor at the end.
    std::vector<float> y(n, 1.0f);
    Magnify(y.data(), n, 8.0f, s, 0, 0);
    EXPECT_NEAR(y[n - 1], 8.0f, 0.03f);
    // A limit at or before the start leaves the record as it is.
    std::vector<float> z(n, 1.0f);
    Magnify(z.data(), n, 8.0f, s, 0, 50);
    EXPECT_EQ(z[n - 1], 1.0f);
}

TEST(Magnify, LinearUsesTheFloatSlopeAndIgnoresTheLimit) {
    const int n = 1000, s = 0;
    std::vector<float> x(n, 1.0f);
    Magnify(x.data(), n, 3.0f, s, 1, 400);
    const double k = static_cast<float>(3.0 / n);
    EXPECT_EQ(x[999], static_cast<float>(999 * k + 1.0));
    EXPECT_GT(x[999], x[500]);
}

TEST(LocalScale, EndsIncludedAndClamped) {
    auto x = Ramp(20);
    LocalScale(x.data(), 20, 5, 5, 3.0f);
    EXPECT_TRUE(SameBits(x, Ramp(20)));
    LocalScale(x.data(), 20, 0, 25, 2.0f);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(x[static_cast<std::size_t>(i)], 2.0f * Ramp(20)[static_cast<std::size_t>(i)]);
    auto y = Ramp(20);
    LocalScale(y.data(), 20, 3, 6, 0.5f);
    EXPECT_EQ(y[2], 2.5f);
    EXPECT_EQ(y[3], 1.75f);
    EXPECT_EQ(y[6], 3.25f);
    EXPECT_EQ(y[7], 7.5f);
}

TEST(ZeroFrontAndRear, Positions) {
    auto x = Ramp(10);
    ZeroFront(x.data(), 10, 0);
    EXPECT_TRUE(SameBits(x, Ramp(10)));
    ZeroFront(x.data(), 10, 3);
    EXPECT_EQ(x[2], 0.0f);
    EXPECT_EQ(x[3], 3.5f);
    ZeroFront(x.data(), 10, 50);
    EXPECT_TRUE(SameBits(x, std::vector<float>(10, 0.0f)));
    auto y = Ramp(10);
    ZeroRear(y.data(), 10, 7);
    EXPECT_EQ(y[6], 6.5f);
    EXPECT_EQ(y[7], 0.0f);
    EXPECT_EQ(y[9], 0.0f);
    ZeroRear(y.data(), 10, -4);
    EXPECT_TRUE(SameBits(y, std::vector<float>(10, 0.0f)));
}

TEST(ZeroLinear, EndsAtVOverDNotAtZero) {
    std::vector<float> x(1000, 0.0f);
    x[999] = 2.0f;
    ZeroLinear(x.data(), 1000, 0, 0, 0);
    EXPECT_FLOAT_EQ(x[999], 0.002f);
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_FLOAT_EQ(x[500], -1.0f);
}

TEST(ZeroLinear, ModesPickTheStart) {
    std::vector<float> x(100, 1.0f);
    ZeroLinear(x.data(), 100, 60, 2, 10);  // from the toe
    EXPECT_EQ(x[60], 1.0f);
    EXPECT_NEAR(x[99], 1.0 - 39.0 / 40.0, 1e-7);
    EXPECT_EQ(x[59], 1.0f);
    std::vector<float> y(100, 1.0f);
    ZeroLinear(y.data(), 100, 60, 1, 80);  // from the start field
    EXPECT_EQ(y[79], 1.0f);
    EXPECT_NEAR(y[99], 1.0 - 19.0 / 20.0, 1e-7);
    std::vector<float> z(100, 1.0f);
    ZeroLinear(z.data(), 100, 60, 1, 100);  // at the end: unchanged
    EXPECT_EQ(z[99], 1.0f);
}

TEST(ZeroNonlinear, QuadraticRamp) {
    std::vector<float> x(100, 1.0f);
    ZeroNonlinear(x.data(), 100, 0, 1, 50);
    EXPECT_EQ(x[50], 1.0f);
    EXPECT_FLOAT_EQ(x[99], static_cast<float>(1.0 - 49.0 * 49.0 / 2500.0));
    EXPECT_FLOAT_EQ(x[75], static_cast<float>(1.0 - 25.0 * 25.0 / 2500.0));
}

// Every point-wise result is the float rounding of the double formula.
TEST(PointwiseOps, AgreeWithDoubleEvaluation) {
    const auto c = Noise(777, 3);
    const int n = 777;
    auto check = [&](const std::vector<float>& got, auto&& want) {
        for (int i = 0; i < n; ++i) ASSERT_EQ(got[static_cast<std::size_t>(i)], static_cast<float>(want(i))) << i;
    };
    auto x = c;
    Rotate(x.data(), n, 1, 100, 0.1f, 0.37f);
    const double step = std::tan(static_cast<double>(0.1f)) * static_cast<double>(0.37f) * 0.55;
    check(x, [&](int i) {
        return i < 100 ? c[static_cast<std::size_t>(i)] : c[static_cast<std::size_t>(i)] + (i - 100) * step;
    });
    x = c;
    ZeroNonlinear(x.data(), n, 0, 0, 0);
    const double v = c[776];
    check(x, [&](int i) { return c[static_cast<std::size_t>(i)] + double(i) * i * (-v / n / n); });
    x = c;
    LocalScale(x.data(), n, 10, 500, 1.7f);
    check(x, [&](int i) {
        return i >= 10 && i <= 500 ? c[static_cast<std::size_t>(i)] * static_cast<double>(1.7f)
                                   : c[static_cast<std::size_t>(i)];
    });
}

// No parameter value makes an operation touch memory outside the record (the
// sanitizer build checks every access); the results may be anything finite or not.
TEST(PointwiseOps, HostileParametersStayInBounds) {
    const std::int32_t ints[] = {std::numeric_limits<std::int32_t>::min(), -1000000, -1, 0, 1, 6, 7, 1000000,
                                 std::numeric_limits<std::int32_t>::max()};
    const float reals[] = {-std::numeric_limits<float>::infinity(),
                           -1e30f,
                           -1.0f,
                           0.0f,
                           1.0f,
                           1e30f,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (const int n : {1, 2, 7}) {
        for (const auto a : ints) {
            for (const auto b : ints) {
                for (const auto r : reals) {
                    std::vector<float> x(static_cast<std::size_t>(n), 1.0f);
                    RemoveDc(x.data(), n, a % 3, b);
                    ShiftData(x.data(), n, a, r, 1, a, b);
                    ShiftData(x.data(), n, b, r, 0, a, b);
                    Rotate(x.data(), n, a, b, r, r);
                    Magnify(x.data(), n, r, a, 0, b);
                    Magnify(x.data(), n, r, a, 1, b);
                    LocalScale(x.data(), n, a, b, r);
                    ZeroFront(x.data(), n, a);
                    ZeroRear(x.data(), n, b);
                    ZeroLinear(x.data(), n, a, 2, b);
                    ZeroNonlinear(x.data(), n, b, 1, a);
                }
            }
        }
    }
}

TEST(Magnify, NoLogarithmNoNaN) {
    std::vector<float> x(50, 1.0f);
    Magnify(x.data(), 50, 0.0f, 0, 0, 0);
    Magnify(x.data(), 50, -2.0f, 0, 0, 0);
    Magnify(x.data(), 50, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0);
    for (const float v : x) EXPECT_EQ(v, 1.0f);
}

}  // namespace
}  // namespace tav
