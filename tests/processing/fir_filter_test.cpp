#include "processing/fir_filter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "tests/processing/reference_ops.hpp"

namespace tav {
namespace {

const double kPi = 4.0 * std::atan(1.0);

double Sum(const std::vector<float>& h) {
    return std::accumulate(h.begin(), h.end(), 0.0);
}

std::vector<float> Taps(std::int32_t n, float dt, float lo, float hi, std::int32_t kind) {
    const auto plan = PlanFilter(n, dt, lo, hi, kind);
    std::vector<float> h;
    EXPECT_EQ(DesignFir(plan.length, kind, plan.f1, plan.f2, plan.fs, kHannWindow, h), 0);
    return h;
}

std::vector<float> Sine(int n, double hz, double dt, double amplitude = 1.0) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(2 * kPi * hz * i * dt * 1e-6));
    return x;
}

TEST(FilterLength, LowPass300HzAt20usHas167Taps) {
    const auto plan = PlanFilter(1024, 20.0f, 0.0f, 300.0f, kLowPass);
    EXPECT_EQ(plan.length, 167);
    EXPECT_EQ(plan.fs, 50000.0f);
    EXPECT_EQ(plan.f1, 300.0f);
}

TEST(FilterLength, HighPass10HzHas249Taps) {
    EXPECT_EQ(PlanFilter(1024, 20.0f, 10.0f, 0.0f, kHighPass).length, 249);
}

TEST(FilterLength, BandPassHas501TapsBelowTheBound) {
    EXPECT_EQ(PlanFilter(1024, 20.0f, 100.0f, 2000.0f, kBandPass).length, 501);
    const auto h = Taps(1024, 20.0f, 100.0f, 2000.0f, kBandPass);
    ASSERT_EQ(h.size(), 501u);
    EXPECT_FLOAT_EQ(h[250], 0.076f);  // (w2 - w1) / pi = 2 (2000 - 100) / 50000
}

TEST(FilterLength, ClampedToHalfTheRecordMadeOdd) {
    EXPECT_EQ(PlanFilter(1002, 20.0f, 0.0f, 1.0f, kLowPass).length, 499);
    EXPECT_EQ(PlanFilter(1024, 20.0f, 0.0f, 1.0f, kLowPass).length, 511);
    EXPECT_EQ(PlanFilter(1024, 20.0f, 0.0f, 0.0f, kLowPass).length, 511);  // raised to 0.0001 Hz
    EXPECT_EQ(PlanFilter(3, 20.0f, 0.0f, 300.0f, kLowPass).length, 1);
    EXPECT_EQ(PlanFilter(1, 20.0f, 0.0f, 300.0f, kLowPass).length, 1);
}

TEST(FilterDesign, CentreTapsAndSymmetry) {
    const auto h = Taps(1024, 20.0f, 0.0f, 300.0f, kLowPass);
    ASSERT_EQ(h.size(), 167u);
    EXPECT_FLOAT_EQ(h[83], 0.012f);  // w1 / pi * 2 pi = 2 * 300 / 50000
    for (std::size_t i = 0; i < h.size(); ++i) ASSERT_EQ(h[i], h[h.size() - 1 - i]);
    const auto hp = Taps(1024, 20.0f, 10.0f, 0.0f, kHighPass);
    EXPECT_FLOAT_EQ(hp[124], 1.0f - 0.0004f);
    const auto bs = Taps(1024, 20.0f, 100.0f, 2000.0f, kBandStop);
    EXPECT_FLOAT_EQ(bs[250], 1.0f - 0.076f);
}

// The taps are kept unnormalised: this is the DC gain every stored result has.
TEST(FilterDesign, CoefficientsAreNotNormalised) {
    EXPECT_NEAR(Sum(Taps(1024, 20.0f, 0.0f, 300.0f, kLowPass)), 0.81, 0.005);
    EXPECT_NEAR(Sum(Taps(1024, 20.0f, 10.0f, 0.0f, kHighPass)), 0.95, 0.005);
}

TEST(FilterDesign, AgreesWithDoubleEvaluation) {
    struct Case {
        int kind;
        float lo, hi;
    };
    for (const Case c : {Case{1, 0, 300}, Case{2, 10, 0}, Case{3, 100, 2000}, Case{4, 100, 2000}}) {
        const auto plan = PlanFilter(1024, 20.0f, c.lo, c.hi, c.kind);
        std::vector<float> h;
        DesignFir(plan.length, c.kind, plan.f1, plan.f2, plan.fs, kHannWindow, h);
        const auto want = reference::DesignTaps(plan.length, c.kind, plan.f1, plan.f2, plan.fs);
        for (std::size_t i = 0; i < h.size(); ++i)
            ASSERT_LE(reference::RoundingUnits(h[i], want[i]), 1.0) << c.kind << " " << i;
    }
}

TEST(FilterDesign, RefusalsLeaveZeros) {
    std::vector<float> h;
    EXPECT_EQ(DesignFir(4, kLowPass, 100, 0, 50000, kHannWindow, h), 1);
    EXPECT_EQ(DesignFir(5, 7, 100, 0, 50000, kHannWindow, h), 3);
    EXPECT_EQ(DesignFir(5, kLowPass, 30000, 0, 50000, kHannWindow, h), 4);
    EXPECT_EQ(DesignFir(5, kBandPass, 300, 300, 50000, kHannWindow, h), 4);
    EXPECT_EQ(DesignFir(5, kBandPass, 300, 25000, 50000, kHannWindow, h), 4);
    EXPECT_EQ(DesignFir(4, 7, 100, 0, 50000, kHannWindow, h), 3);  // the last failing check decides
    EXPECT_EQ(DesignFir(5, kLowPass, std::numeric_limits<float>::quiet_NaN(), 0, 50000, kHannWindow, h), 4);
    for (const float v : h) EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(DesignFir(0, kLowPass, 100, 0, 50000, kHannWindow, h), 1);
    EXPECT_TRUE(h.empty());
}

TEST(HannWindow, PeriodIsTheLength) {
    const auto w = HannWindow(8);
    EXPECT_EQ(w[0], 0.0);
    EXPECT_NEAR(w[4], 1.0, 1e-12);  // pi is the float one
    EXPECT_NEAR(w[2], 0.5, 1e-7);
    const auto w7 = HannWindow(7);
    EXPECT_NE(w7[2], w7[4]) << "period L: not symmetric about the centre tap";
}

std::vector<float> Uniform(std::size_t count, std::mt19937& rng) {
    std::uniform_real_distribution<float> v(-3.0f, 3.0f);
    std::vector<float> x(count);
    for (auto& s : x) s = v(rng);
    return x;
}

// Bit for bit, on every build and with either kernel: a float times a float is
// exact in double, so a fused multiply-add rounds each step exactly where the
// literal loop does. The lengths cross the kernels' blocks of outputs and
// groups of taps (and records shorter than a block).
TEST(ConvolveCausal, AgreesWithTheLiteralLoop) {
    std::mt19937 rng(4);
    for (const auto kernel : {ConvolveKernel::Fastest, ConvolveKernel::Portable}) {
        for (const int n : {1, 5, 17, 39, 40, 41, 100, 1024, 1031}) {
            for (const int L : {1, 2, 3, 4, 5, 6, 7, 8, 167, 501}) {
                if (L > n) continue;
                auto x = Uniform(static_cast<std::size_t>(n), rng);
                const auto h = Uniform(static_cast<std::size_t>(L), rng);
                std::vector<float> y(x.size());
                ConvolveCausal(x.data(), h.data(), n, L, y.data(), kernel);
                ASSERT_EQ(y, reference::Convolve(x, h)) << n << " " << L;
                ConvolveCausal(x.data(), h.data(), n, L, x.data(), kernel);  // in place
                ASSERT_EQ(x, y);
            }
        }
    }
}

// A long filter is split among the cores; every output is still summed whole
// in the literal order, also while other threads filter at the same time (the
// second and third callers find the helpers busy).
TEST(ConvolveCausal, SplitAmongThreadsGivesTheLiteralBits) {
    constexpr int kN = 4099, kL = 1001;  // about 4 million multiply-adds: split
    std::mt19937 rng(7);
    std::vector<std::vector<float>> inputs, taps, want;
    for (int c = 0; c < 3; ++c) {
        inputs.push_back(Uniform(kN, rng));
        taps.push_back(Uniform(kL, rng));
        want.push_back(reference::Convolve(inputs.back(), taps.back()));
    }
    for (const auto kernel : {ConvolveKernel::Fastest, ConvolveKernel::Portable}) {
        std::vector<std::vector<float>> got(3, std::vector<float>(kN));
        std::vector<std::thread> callers;
        for (std::size_t c = 0; c < 3; ++c)
            callers.emplace_back([&, c] {
                for (int round = 0; round < 3; ++round)
                    ConvolveCausal(inputs[c].data(), taps[c].data(), kN, kL, got[c].data(), kernel);
            });
        for (auto& t : callers) t.join();
        for (std::size_t c = 0; c < 3; ++c) ASSERT_EQ(got[c], want[c]) << c;
    }
}

TEST(ConvolveCausal, NonFiniteTapsStillFollowTheFormula) {
    std::vector<float> x{1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<float> h{1.0f, std::numeric_limits<float>::infinity(), 0.5f};
    std::vector<float> y(8);
    ConvolveCausal(x.data(), h.data(), 8, 3, y.data());
    EXPECT_EQ(y[0], 1.0f);  // the infinite tap meets no input yet
    EXPECT_TRUE(std::isinf(y[1]));
}

TEST(FilterWaveform, LowPassDelaysByHalfTheLengthAndZeroesTheTailInputs) {
    // An impulse response: input sample k appears at k + 83 scaled by the centre tap.
    std::vector<float> x(1024, 0.0f);
    x[100] = 1.0f;
    x[900] = 1.0f;  // inside the last 166 samples: treated as zero
    FilterWaveform(x.data(), 1024, 20.0f, 0.0f, 300.0f, kLowPass);
    const auto h = Taps(1024, 20.0f, 0.0f, 300.0f, kLowPass);
    for (int i = 0; i < 1024; ++i) {
        const int j = i - 100;
        const float want = j >= 0 && j < 167 ? static_cast<float>(double(h[static_cast<std::size_t>(j)])) : 0.0f;
        ASSERT_EQ(x[static_cast<std::size_t>(i)], want) << i;
    }
}

// Each thread keeps its last design: a filter that differs from the previous
// one in any single setting (kind, upper cut-off, sampling interval at the
// same length, length alone through a shorter record) is designed afresh, and
// asking again for an earlier one does not reuse a later one.
TEST(FilterWaveform, RepeatedAndAlternatingFiltersUseTheirOwnTaps) {
    struct Setting {
        std::int32_t n;
        float dt, lo, hi;
        std::int32_t kind;
    };
    const Setting settings[] = {{2048, 20, 0, 300, kLowPass},     {2048, 20, 0, 300, kLowPass},
                                {2048, 20, 300, 1000, kBandPass}, {2048, 20, 300, 2000, kBandPass},
                                {2048, 20, 300, 2000, kBandStop}, {2048, 20.05f, 300, 2000, kBandStop},
                                {2048, 20, 0, 1, kLowPass},       {1024, 20, 0, 1, kLowPass},
                                {2048, 20, 0, 300, kLowPass},     {2048, 20, 300, 1000, kBandPass}};
    std::mt19937 rng(11);
    const auto input = Uniform(2048, rng);
    for (const auto& s : settings) {
        const std::vector<float> x(input.begin(), input.begin() + s.n);
        auto got = x;
        FilterWaveform(got.data(), s.n, s.dt, s.lo, s.hi, s.kind);
        const auto h = Taps(s.n, s.dt, s.lo, s.hi, s.kind);
        std::vector<float> want(x.size());
        ConvolveCausal(x.data(), h.data(), s.n, static_cast<std::int32_t>(h.size()), want.data());
        ASSERT_EQ(got, want) << s.n << " samples, kind " << s.kind << " " << s.lo << "-" << s.hi << " at " << s.dt;
    }
}

TEST(FilterWaveform, LowPassKeepsASlowSineAndRemovesAFastOne) {
    const int n = 4096;
    const double dt = 20.0;
    const auto slow = Sine(n, 50.0, dt);
    const auto fast = Sine(n, 5000.0, dt);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = slow[static_cast<std::size_t>(i)] + fast[static_cast<std::size_t>(i)];
    FilterWaveform(x.data(), n, 20.0f, 0.0f, 300.0f, kLowPass);
    // Compare the settled middle with the slow sine delayed by 83 samples and
    // scaled by the filter's gain at 50 Hz.
    const auto h = Taps(n, 20.0f, 0.0f, 300.0f, kLowPass);
    double re = 0, im = 0;
    for (std::size_t k = 0; k < h.size(); ++k) {
        re += h[k] * std::cos(2 * kPi * 50.0 * double(k) * dt * 1e-6);
        im -= h[k] * std::sin(2 * kPi * 50.0 * double(k) * dt * 1e-6);
    }
    const double gain = std::hypot(re, im);
    EXPECT_GT(gain, 0.75);
    double worst = 0;
    for (int i = 400; i < n - 400; ++i) {
        const double want = gain * slow[static_cast<std::size_t>(i - 83)];
        worst = std::max(worst, std::fabs(x[static_cast<std::size_t>(i)] - want));
    }
    EXPECT_LT(worst, 0.01) << "the 5 kHz sine is gone and the 50 Hz one passes";
}

TEST(FilterWaveform, HighPassRemovesDriftFromALongRecord) {
    std::vector<float> x(8192, 1.0f);
    FilterWaveform(x.data(), 8192, 20.0f, 500.0f, 0.0f, kHighPass);  // 5 taps
    EXPECT_NEAR(x[100], 0.966, 0.001);  // a short high-pass passes most of DC: unnormalised as designed
}

TEST(FilterWaveform, CutOffAtOrAboveHalfTheRateLetsTheWaveformThrough) {
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> v(-1.0f, 1.0f);
    std::vector<float> c(256);
    for (auto& s : c) s = v(rng);
    auto x = c;
    FilterWaveform(x.data(), 256, 20.0f, 0.0f, 30000.0f, kLowPass);  // L = 1
    EXPECT_EQ(x, c);
    x = c;
    FilterWaveform(x.data(), 256, 20.0f, 0.0f, 25000.0f, kLowPass);  // exactly fs/2: L = 3, one sample later
    EXPECT_EQ(PlanFilter(256, 20.0f, 0.0f, 25000.0f, kLowPass).length, 3);
    for (int i = 1; i < 254; ++i)
        ASSERT_NEAR(x[static_cast<std::size_t>(i)], c[static_cast<std::size_t>(i - 1)], 1e-6) << i;
}

TEST(FilterWaveform, HighPassWithoutCutOffChangesNothing) {
    std::vector<float> x(300, 2.0f);
    FilterWaveform(x.data(), 300, 20.0f, 0.0f, 300.0f, kHighPass);
    for (const float v : x) ASSERT_EQ(v, 2.0f);
}

// Upper cut-off at the Nyquist frequency: lowered just below it instead of
// refusing the design and zeroing the record.
TEST(FilterWaveform, BandUpToHalfTheRateIsNotZeroed) {
    const auto plan = PlanFilter(1024, 20.0f, 100.0f, 25000.0f, kBandPass);
    EXPECT_LT(plan.f2, 25000.0f);
    EXPECT_EQ(plan.f2, std::nextafter(25000.0f, 0.0f));
    std::vector<float> h;
    EXPECT_EQ(DesignFir(plan.length, kBandPass, plan.f1, plan.f2, plan.fs, kHannWindow, h), 0);

    // A band-pass up to fs/2 keeps a fast sine; a band-stop up to fs/2 keeps a slow one.
    const int n = 4096;
    auto fast = Sine(n, 3000.0, 20.0);
    FilterWaveform(fast.data(), n, 20.0f, 100.0f, 60000.0f, kBandPass);
    double peak = 0;
    for (int i = 1000; i < 3000; ++i) peak = std::max(peak, std::fabs(double(fast[static_cast<std::size_t>(i)])));
    EXPECT_GT(peak, 0.8);
    auto slow = Sine(n, 20.0, 20.0);
    FilterWaveform(slow.data(), n, 20.0f, 200.0f, 25000.0f, kBandStop);
    peak = 0;
    for (int i = 1000; i < 3000; ++i) peak = std::max(peak, std::fabs(double(slow[static_cast<std::size_t>(i)])));
    EXPECT_GT(peak, 0.7);

    // Both cut-offs beyond fs/2: a band-stop stops nothing.
    std::vector<float> x(512, 1.5f);
    FilterWaveform(x.data(), 512, 20.0f, 30000.0f, 40000.0f, kBandStop);
    for (const float v : x) ASSERT_EQ(v, 1.5f);
}

TEST(FilterWaveform, NoIntervalNoFilter) {
    for (const float dt :
         {0.0f, -20.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<float> x(100, 1.0f);
        EXPECT_EQ(FilterWaveform(x.data(), 100, dt, 0.0f, 300.0f, kLowPass), 1);
        for (const float v : x) ASSERT_EQ(v, 1.0f);
    }
}

TEST(FilterWaveform, HostileParametersStayInBounds) {
    const float reals[] = {-std::numeric_limits<float>::infinity(),
                           -1e30f,
                           -1.0f,
                           0.0f,
                           1e-20f,
                           1.0f,
                           300.0f,
                           1e30f,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (const int n : {1, 2, 3, 9, 64}) {
        for (const int kind : {-1, 0, 1, 2, 3, 4, 5}) {
            for (const float dt : {1e-30f, 20.0f, 1e30f}) {
                for (const float lo : reals) {
                    for (const float hi : reals) {
                        std::vector<float> x(static_cast<std::size_t>(n), 1.0f);
                        EXPECT_EQ(FilterWaveform(x.data(), n, dt, lo, hi, kind), 1);
                        const auto plan = PlanFilter(n, dt, lo, hi, kind);
                        ASSERT_GE(plan.length, 1);
                        ASSERT_LE(plan.length, std::max(1, n / 2 - 1));
                        ASSERT_EQ(plan.length % 2, 1);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tav
