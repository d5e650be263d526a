#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/fft.hpp"
#include "analysis/spectrum.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

TEST(Fft, ImpulseAndItsInverse) {
    std::vector<float> re(8, 0.0f), im(8, 0.0f), outRe(8), outIm(8);
    re[0] = 1.0f;
    Fft(re.data(), im.data(), 8, 3, outRe.data(), outIm.data(), false);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(outRe[i], 1.0f);
        EXPECT_FLOAT_EQ(outIm[i], 0.0f);
    }
    std::vector<float> backRe(8), backIm(8);
    auto re2 = outRe, im2 = outIm;
    Fft(re2.data(), im2.data(), 8, 3, backRe.data(), backIm.data(), true);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(backRe[i], i == 0 ? 1.0f : 0.0f, 1e-6f) << i;
        EXPECT_NEAR(backIm[i], 0.0f, 1e-6f) << i;
    }
}

TEST(Fft, AgreesWithTheDirectSumAndLeavesOnePointAlone) {
    for (const int log2m : {1, 2, 5, 10}) {
        const int m = 1 << log2m;
        std::vector<float> re(m), im(m);
        for (int i = 0; i < m; ++i) {
            re[i] = std::sin(0.3f * i) + 0.1f * (i % 7);
            im[i] = std::cos(0.11f * i * i) * 0.5f;
        }
        std::vector<double> dr(m), di(m);
        DirectDft(re.data(), im.data(), m, dr.data(), di.data(), false);
        std::vector<float> outRe(m), outIm(m);
        auto r = re, i = im;
        Fft(r.data(), i.data(), m, log2m, outRe.data(), outIm.data(), false);
        for (int k = 0; k < m; ++k) {
            EXPECT_NEAR(outRe[k], dr[k], 2e-4 * m) << m << " " << k;
            EXPECT_NEAR(outIm[k], di[k], 2e-4 * m) << m << " " << k;
        }
    }
    float re = 3.5f, im = -1.0f, outRe = 0.0f, outIm = 0.0f;
    Fft(&re, &im, 1, 0, &outRe, &outIm, false);
    EXPECT_EQ(outRe, 3.5f);
    EXPECT_EQ(outIm, -1.0f);
}

// The planned, vectorised transform must give the step-by-step transform's
// bits: stored spectra are compared against earlier results.
TEST(Fft, SameBitsAsTheStepByStepTransformAtEverySize) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int log2m = 0; log2m <= kMaxFftLog2; ++log2m) {
        const int m = 1 << log2m;
        std::vector<float> re(m), im(m);
        for (int i = 0; i < m; ++i) {
            // Wide magnitudes, so that (a + b)(c + d) and its roundings are exercised.
            re[i] = std::ldexp(value(rng), exponent(rng));
            im[i] = i % 5 == 0 ? -0.0f : std::ldexp(value(rng), exponent(rng) / 4);
        }
        for (const bool inverse : {false, true}) {
            auto r1 = re, i1 = im, r2 = re, i2 = im;
            std::vector<float> o1(m), p1(m), o2(m), p2(m);
            Fft(r1.data(), i1.data(), m, log2m, o1.data(), p1.data(), inverse);
            FftLiteral(r2.data(), i2.data(), m, log2m, o2.data(), p2.data(), inverse);
            ASSERT_EQ(std::memcmp(o1.data(), o2.data(), sizeof(float) * m), 0) << m << " " << inverse;
            ASSERT_EQ(std::memcmp(p1.data(), p2.data(), sizeof(float) * m), 0) << m << " " << inverse;
            // The scratch inputs end as the twiddle table in both.
            ASSERT_EQ(std::memcmp(r1.data(), r2.data(), sizeof(float) * m), 0) << m << " " << inverse;
            ASSERT_EQ(std::memcmp(i1.data(), i2.data(), sizeof(float) * m), 0) << m << " " << inverse;
        }
    }
}

TEST(SpectrumKernels, SineOnALineAndConstant) {
    const int n = 1024, k = 37;
    const float a = 3.0f;
    std::vector<float> x(n);
    for (int i = 0; i < n; ++i) x[i] = a * static_cast<float>(std::sin(2 * std::numbers::pi * k * i / n));
    std::vector<float> amp(n), pow(n);
    AmplitudeSpectrum(x.data(), amp.data(), n);
    PowerSpectrum(x.data(), pow.data(), n);
    EXPECT_NEAR(amp[k], a, 1e-3);
    EXPECT_NEAR(pow[k], a * a, 1e-2);
    EXPECT_NEAR(amp[k + 3], 0.0f, 1e-3);

    std::vector<float> c(100, 1.5f);
    AmplitudeSpectrum(c.data(), c.data(), 100);  // in place, M = 128
    EXPECT_NEAR(c[0], 2 * 1.5f * 100 / 128, 1e-5) << "zero padding spreads the constant over M";
    std::vector<float> c2(64, 1.5f);
    AmplitudeSpectrum(c2.data(), c2.data(), 64);
    EXPECT_NEAR(c2[0], 3.0f, 1e-5);

    std::vector<float> untouched(4, 7.0f);
    AmplitudeSpectrum(untouched.data(), untouched.data(), 0);
    EXPECT_EQ(untouched[0], 7.0f);
}

TEST(SpectrumKernels, ZeroPowerStaysDrawable) {
    std::vector<float> zeros(64, 0.0f), log(64), cep(64);
    LogSpectrum(zeros.data(), log.data(), 64);
    EXPECT_TRUE(std::isinf(log[0]) && log[0] < 0);
    Cepstrum(zeros.data(), cep.data(), 64);
    for (float v : cep) EXPECT_TRUE(std::isfinite(v));

    std::vector<float> mixed{1.0f, -INFINITY, 3.0f, NAN, -2.0f};
    float hi = 0, lo = 0;
    ArrayRange(mixed.data(), 5, hi, lo);
    EXPECT_EQ(hi, 3.0f);
    EXPECT_EQ(lo, -2.0f);
    ArrayRange(mixed.data(), 5, hi, lo, true);
    EXPECT_EQ(hi, 3.0f);
    EXPECT_EQ(lo, -3.0f);
    ArrayRange(mixed.data(), 5, hi, lo, false, 3, 5);
    EXPECT_EQ(hi, -2.0f);
    ArrayRange(log.data(), 64, hi, lo);
    EXPECT_EQ(hi, 0.0f);
    EXPECT_EQ(lo, 0.0f);
}

TEST(SpectrumKernels, CrossPowerReadsAShorterBAsZeros) {
    std::vector<float> a(100), b(40);
    for (int i = 0; i < 100; ++i) a[i] = std::sin(0.2f * i);
    for (int i = 0; i < 40; ++i) b[i] = a[i];
    std::vector<float> padded(a.begin(), a.begin() + 40);
    padded.resize(100, 0.0f);
    std::vector<float> viaShort(100), viaPadded(100), self(100), power(100);
    CrossPowerSpectrum(a.data(), b.data(), 40, viaShort.data(), 100);
    CrossPowerSpectrum(a.data(), padded.data(), 100, viaPadded.data(), 100);
    EXPECT_EQ(viaShort, viaPadded);
    CrossPowerSpectrum(a.data(), a.data(), 100, self.data(), 100);
    PowerSpectrum(a.data(), power.data(), 100);
    for (int k = 0; k < 100; ++k) EXPECT_NEAR(self[k], power[k], 1e-6f);
}

TEST(SpectrumRange, NiceTop) {
    EXPECT_EQ(NiceTop(0.5f), 2.0f);
    EXPECT_EQ(NiceTop(1.81f), 2.0f);
    EXPECT_EQ(NiceTop(1.9f), 4.0f);
    EXPECT_EQ(NiceTop(10.0f), 12.0f);
    EXPECT_EQ(NiceTop(0.0f), 0.0f);
}

TEST(SpectrumEntries, LengthsRangesFrequenciesAndTexts) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("P1", 1000));
    doc.points.push_back(testing::WaveformPoint("P2", 1000, 2));
    doc.points[0].headSampleCount = 1024;
    doc.points[0].spectrumMarks = {10, 5000};
    const std::vector<std::int32_t> shown{0};
    std::int32_t type = 7;
    auto entries = BuildSpectrumEntries(doc, shown, type, -1, -1, shown);
    EXPECT_EQ(type, 0) << "an unknown type is shown as the amplitude spectrum";
    ASSERT_EQ(entries.size(), 1u);
    const auto& e = entries[0];
    EXPECT_EQ(e.kind, kKindSpectrum);
    EXPECT_EQ(e.copy.sampleCount(), 1000);
    EXPECT_EQ(e.shownCount, 500);
    EXPECT_FLOAT_EQ(e.block.hScale, 6.2f);
    EXPECT_FLOAT_EQ(doc.points[0].lastParams.displayBlocks[4].hScale, 6.2f) << "zoom default written back";
    EXPECT_EQ(e.copy.lastParams.viewMin, 0.0f);
    EXPECT_GT(e.copy.lastParams.viewMax, 0.0f);
    EXPECT_EQ(std::fmod(e.copy.lastParams.viewMax, 2.0f), 0.0f);

    EXPECT_DOUBLE_EQ(LineFrequencyHz(e.copy, 10), 500.0);  // 10 * 1e6 / (1000 * 20)
    EXPECT_DOUBLE_EQ(LineFrequencyKHz(e.copy, 10), 0.5);
    EXPECT_EQ(FrequencyResolutionLines(e.copy), (std::vector<std::string>{"频率分辨率:", "  df=98Hz"}));
    const auto marks = SpectrumMarkLines(e);
    ASSERT_EQ(marks.size(), 2u) << "the mark past the computed lines is left out";
    EXPECT_EQ(marks[1].substr(0, 13), "  1:0.50 kHZ,");
    EXPECT_EQ(marks[1].substr(marks[1].size() - 2), "mV");
    const auto readout = SpectrumReadout(e, 10, kSpectrumLog);
    ASSERT_EQ(readout.size(), 2u);
    EXPECT_EQ(readout[0].substr(readout[0].size() - 2), "dB");
    EXPECT_EQ(readout[1], "F=0.50kHZ");

    type = kSpectrumLog;
    const auto log = BuildSpectrumEntries(doc, shown, type, -1, -1, shown);
    EXPECT_EQ(log[0].copy.lastParams.viewMin, -log[0].copy.lastParams.viewMax);

    type = kSpectrumCrossPower;
    EXPECT_TRUE(BuildSpectrumEntries(doc, shown, type, 0, 5, shown).empty());
    const std::vector<std::int32_t> both{0, 1};
    const auto cross = BuildSpectrumEntries(doc, shown, type, 0, 1, both);
    ASSERT_EQ(cross.size(), 3u);
    EXPECT_EQ(cross[2].caption, "互功率谱");
    EXPECT_EQ(cross[2].shownCount, 500);
    float hi = 0, lo = 0;
    ArrayRange(cross[2].copy.samples.data(), 1000, hi, lo);
    EXPECT_FLOAT_EQ(cross[2].copy.lastParams.viewMax, hi + 0.1f * std::fabs(hi));
}

}  // namespace
}  // namespace tav
