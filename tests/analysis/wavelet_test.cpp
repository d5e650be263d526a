#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/wavelet.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

TEST(WaveletTransform, HaarOnAConstant) {
    // n = 4 sits at offsets 4..7 of an 8-point level 0: level 1 is 0, 0, r2, r2.
    const std::vector<float> x{1, 1, 1, 1};
    WaveletResult r;
    ASSERT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 4, r, 0, 0, 1), 1);
    ASSERT_GE(r.smooth.size(), 4u);
    EXPECT_FLOAT_EQ(r.smooth[0], std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(r.smooth[1], std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(r.detail[0], 0.0f);
    EXPECT_FLOAT_EQ(r.detail[1], 0.0f);
    for (float v : r.reconstructed) EXPECT_FLOAT_EQ(v, 1.0f);

    EXPECT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 4, r, 7, 0, 1), 0);
    EXPECT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 4, r, 1, 45, 1), 0);
    EXPECT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 0, r, 0, 0, 1), 0);
}

TEST(WaveletTransform, NotAPowerOfTwoAndTheLiteralForm) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(1000);
    for (auto& v : x) v = u(rng);
    WaveletResult fast, literal;
    ASSERT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 1000, fast, 1, 43, 9), 1);
    ASSERT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 1000, literal, 1, 43, 9, true), 1);
    EXPECT_EQ(fast.reconstructed, literal.reconstructed);
    EXPECT_EQ(fast.smooth, literal.smooth);
    EXPECT_EQ(fast.detail, literal.detail);
    for (int i = 0; i < 1000; ++i) ASSERT_NEAR(fast.reconstructed[i], x[i], 1e-5f);
    // q = 1024: 512 + 256 + ... + 2 values for nine levels, more than n.
    EXPECT_EQ(fast.smooth.size(), 1022u);
}

// Both pyramids, not just what the display keeps, equal the wrap-at-every-tap
// sums bit for bit: short and long filters, levels shorter than the filter
// (wrapped several times) and level sizes that are no multiple of the vector
// blocks.
TEST(WaveletPyramid, SameBitsAsTheWrapAtEveryTapSums) {
    std::mt19937 rng(22);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (const int taps : {2, 6, 7, 20, 88}) {
        std::vector<double> h(static_cast<std::size_t>(taps)), g(h.size());
        for (auto& v : h) v = u(rng);
        for (auto& v : g) v = u(rng);
        for (const int top : {8, 104, 2048}) {
            std::vector<std::int32_t> sizes{top};
            while (sizes.back() > 1) sizes.push_back(sizes.back() / 2);
            const auto levels = static_cast<std::int32_t>(sizes.size()) - 1;
            std::vector<double> a(static_cast<std::size_t>(2 * top), 0.0), d(a.size(), 0.0);
            for (int i = 0; i < top; ++i) a[static_cast<std::size_t>(i)] = u(rng) * 1000.0;
            auto a2 = a, d2 = d;
            WaveletDecompose(h.data(), g.data(), taps, a.data(), d.data(), levels, sizes.data());
            WaveletDecomposeLiteral(h.data(), g.data(), taps, a2.data(), d2.data(), levels, sizes.data());
            ASSERT_EQ(a, a2) << taps << " " << top;
            ASSERT_EQ(d, d2) << taps << " " << top;
            WaveletReconstruct(h.data(), g.data(), taps, a.data(), d.data(), levels, sizes.data());
            WaveletReconstructLiteral(h.data(), g.data(), taps, a2.data(), d2.data(), levels, sizes.data());
            ASSERT_EQ(a, a2) << taps << " " << top;
        }
    }
}

TEST(WaveletTransform, ThousandSamplesSitBehindAThousandZeros) {
    // X = 2048: the input occupies offsets 1024..2023, so level 1's second
    // half pairs the input samples and ends in zeros.
    std::vector<float> x(1000);
    for (int i = 0; i < 1000; ++i) x[i] = static_cast<float>(i % 13) - 6.0f;
    WaveletResult r;
    ASSERT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 1000, r, 0, 0, 1), 1);
    ASSERT_EQ(r.smooth.size(), 1000u);
    const float s = 1.0f / std::sqrt(2.0f);
    for (int j = 0; j < 500; ++j) {
        ASSERT_NEAR(r.smooth[j], (x[2 * j] + x[2 * j + 1]) * s, 1e-5f) << j;
        ASSERT_NEAR(r.detail[j], (x[2 * j + 1] - x[2 * j]) * s, 1e-5f) << j;
    }
    EXPECT_EQ(r.smooth[500], 0.0f);
    EXPECT_EQ(r.smooth[511], 0.0f);
    for (int i = 0; i < 1000; ++i) ASSERT_NEAR(r.reconstructed[i], x[i], 1e-5f);
}

TEST(WaveletTransform, BiorthogonalUsesTheSameFiltersBothWays) {
    std::vector<float> x(64);
    for (int i = 0; i < 64; ++i) x[i] = std::sin(0.3f * i);
    WaveletResult r;
    ASSERT_EQ(WaveletTransform(AppWaveletTable(), x.data(), 64, r, kWaveletBiorthogonal, 12, 2), 1);
    float diff = 0;
    for (int i = 0; i < 64; ++i) diff = std::max(diff, std::fabs(r.reconstructed[i] - x[i]));
    EXPECT_GT(diff, 1e-3f);
    for (float v : r.reconstructed) EXPECT_TRUE(std::isfinite(v));
}

TEST(WaveletDisplay, SubSignalsCaptionsBlocksRangesAndMarks) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("P7", 1000));
    auto& tp = doc.points[0];
    tp.waveletMarkLevels = {3, 2, 3, 3};
    tp.waveletMarkPositions = {10, 10, 9999, 20};
    const auto entries = BuildWaveletEntries(doc, 0, AppWaveletTable(), 1, 3, 8);
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries[0].caption, "P7 原始信号");
    EXPECT_EQ(entries[0].kind, kKindWaveform);
    EXPECT_EQ(entries[0].blockNumber, 0);
    EXPECT_EQ(entries[1].caption, "重构信号");
    EXPECT_EQ(entries[1].blockNumber, 6);
    EXPECT_EQ(entries[1].copy.sampleCount(), 1000);
    EXPECT_EQ(entries[2].caption, "第1级 平滑信号");
    EXPECT_EQ(entries[3].caption, "第1级 细节信号");
    EXPECT_EQ(entries[3].blockNumber, 8);
    EXPECT_EQ(entries[2].copy.sampleCount(), 512);
    EXPECT_EQ(entries[18].caption, "第9级 平滑信号");
    EXPECT_EQ(entries[19].copy.sampleCount(), 2);
    EXPECT_EQ(entries[19].blockNumber, 24);
    for (const auto& e : entries) {
        EXPECT_EQ(e.copy.lastParams.viewMin, -e.copy.lastParams.viewMax);
        float m = 0;
        for (float v : e.copy.samples) m = std::max(m, std::fabs(v));
        EXPECT_FLOAT_EQ(e.copy.lastParams.viewMax, 1.1f * m);
    }

    // A mark of sub-signal 3 is listed only with the level-1 detail signal;
    // the one past its end is skipped.
    EXPECT_EQ(WaveletMarkLines(entries[2]).size(), 2u);
    const auto detail = WaveletMarkLines(entries[3]);
    ASSERT_EQ(detail.size(), 3u);
    EXPECT_EQ(detail[0], "小波标记:");
    EXPECT_EQ(detail[1].substr(0, 4), "  1:");
    EXPECT_EQ(detail[2].substr(0, 4), "  2:");
    EXPECT_TRUE(WaveletMarkLines(entries[4]).empty());
    // 512 values span the 1000-sample record at 20 us: value 511 is at 19.98 ms.
    EXPECT_EQ(WaveletReadout(entries[3], 511)[0], "t=19.98ms");

    EXPECT_TRUE(BuildWaveletEntries(doc, 0, AppWaveletTable(), 7, 0, 0).empty());
    EXPECT_TRUE(BuildWaveletEntries(doc, 3, AppWaveletTable(), 0, 0, 0).empty());
}

}  // namespace
}  // namespace tav
