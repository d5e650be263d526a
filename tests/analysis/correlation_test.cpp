#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/correlation.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

TestPoint PointOf(std::vector<float> samples, float viewMax, float viewMin) {
    TestPoint tp = testing::WaveformPoint("P", 8);
    tp.samples = std::move(samples);
    tp.rawSamples = tp.samples;
    tp.lastParams.viewMax = viewMax;
    tp.lastParams.viewMin = viewMin;
    return tp;
}

TEST(AveragePoints, IdenticalDifferingAndMissingTargets) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(PointOf({1, 2, 3, 4}, 5, -1));
    doc.points.push_back(PointOf({1, 2, 3, 4}, 5, -1));
    doc.points.push_back(PointOf({3, 2, 1, 0}, 3, -3));
    doc.points.push_back(PointOf(std::vector<float>(8, 1.0f), 1, 0));

    TestPoint r = doc.points[0];
    const std::vector<std::int32_t> same{0, 1};
    AveragePoints(doc, same, 2, r);
    EXPECT_EQ(r.samples, doc.points[0].samples);
    EXPECT_EQ(r.lastParams.viewMax, 5.0f);
    EXPECT_EQ(r.lastParams.viewMin, -1.0f);

    const std::vector<std::int32_t> mixed{0, 2};
    AveragePoints(doc, mixed, 2, r);
    EXPECT_EQ(r.samples, (std::vector<float>{2, 2, 2, 2}));
    EXPECT_EQ(r.lastParams.viewMax, 4.0f);

    const std::vector<std::int32_t> lengths{0, 3};
    AveragePoints(doc, lengths, 2, r);
    EXPECT_EQ(r.samples, (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(r.lastParams.viewMax, 2.5f) << "the range keeps what was summed before the mismatch";

    const std::vector<std::int32_t> missing{0, 9};
    AveragePoints(doc, missing, 2, r);
    EXPECT_EQ(r.samples, (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(r.lastParams.viewMax, 0.0f);
}

TEST(AveragePoints, LongerRecordsOfTwoLengthsGiveZeros) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("P1", 1024));
    doc.points.push_back(testing::WaveformPoint("P1", 2048));
    doc.pileMembers = {0, 1};
    const auto built = BuildStatisticsEntries(doc, {}, {});
    ASSERT_EQ(built.entries.size(), 1u);
    EXPECT_EQ(built.entries[0].caption, "平均值");
    EXPECT_EQ(built.entries[0].kind, kKindAverage);
    for (float v : built.entries[0].copy.samples) ASSERT_EQ(v, 0.0f);
}

TEST(Correlation, TemplateSearch) {
    std::vector<float> positive(400, 1.0f);
    const auto never = FindTemplate(positive.data(), 400);
    EXPECT_EQ(never.start, 0);
    EXPECT_EQ(never.end, 40) << "no zero crossing: the first n/10 samples";

    // One sine period over 100..160: the first lobe's end is found once the
    // second lobe rises above the threshold.
    std::vector<float> x(400, 0.0f);
    for (int i = 100; i <= 160; ++i) x[i] = static_cast<float>(std::sin(std::numbers::pi * (i - 100) / 30.0));
    x[130] = 0.0f;
    x[160] = 0.0f;
    const auto t = FindTemplate(x.data(), 400);
    EXPECT_EQ(t.start, 101);
    EXPECT_EQ(t.end, 131);

    // With n = 2000 the same 30-sample lobe is shorter than n/40 = 50 and is refused.
    std::vector<float> longer(2000, 0.0f);
    std::copy(x.begin(), x.end(), longer.begin());
    const auto refused = FindTemplate(longer.data(), 2000);
    EXPECT_EQ(refused.start, 0);
    EXPECT_EQ(refused.end, 200);
}

TEST(Correlation, AutocorrelationPeaksAtOneWhereTheTemplateCoversThePulse) {
    const int n = 400;
    std::vector<float> x(n, 0.0f);
    for (int i = 10; i < 40; ++i) x[i] = static_cast<float>(std::sin(std::numbers::pi * (i - 9) / 31.0));
    std::vector<float> out(n);
    const auto t = Correlate(x.data(), x.data(), n, out.data(), n);
    ASSERT_EQ(t.start, 0);
    ASSERT_EQ(t.end, 40);
    const int lag = t.start + (t.end - t.start) / 2;
    EXPECT_NEAR(out[lag], 1.0f, 1e-6f);
    for (float v : out) EXPECT_LE(std::fabs(v), 1.0f + 1e-6f);
}

TEST(Correlation, WindowedSumsEqualTheLiteralFormBitForBit) {
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    const auto wave = testing::WaveformPoint("P", 2000, 3).samples;
    std::vector<float> other(1500);
    for (auto& v : other) v = noise(rng);
    for (const int n : {1, 7, 100, 2000}) {
        std::vector<float> fast(n), literal(n);
        const auto a = Correlate(wave.data(), other.data(), 1500, fast.data(), n);
        const auto b = CorrelateLiteral(wave.data(), other.data(), 1500, literal.data(), n);
        EXPECT_EQ(a.start, b.start);
        EXPECT_EQ(a.end, b.end);
        EXPECT_EQ(fast, literal) << n;
    }
}

TEST(Correlation, EntriesTextsAndMissingPoints) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("P1", 1024));
    doc.points.push_back(testing::WaveformPoint("P2", 512, 2));
    doc.points[0].correlationMarks = {0, 4000, 100};
    StatisticsSelection sel;
    sel.analysis = kStatCrossCorrelation;
    sel.crossA = 0;
    sel.crossB = 1;
    const std::vector<std::int32_t> targets{0, 1};
    const auto cross = BuildStatisticsEntries(doc, sel, targets);
    ASSERT_EQ(cross.entries.size(), 3u);
    const auto& r = cross.entries[2];
    EXPECT_EQ(r.caption, "互相关");
    EXPECT_EQ(r.kind, kKindCorrelation);
    EXPECT_EQ(r.copy.sampleCount(), 1024);
    float hi = -2, lo = 2;
    for (float v : r.copy.samples) hi = std::max(hi, v), lo = std::min(lo, v);
    EXPECT_EQ(r.copy.lastParams.viewMax, hi);
    EXPECT_EQ(r.copy.lastParams.viewMin, lo);

    const auto marks = CorrelationMarkLines(r);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0], "相关标记:");
    EXPECT_EQ(marks[2].substr(0, 11), "  2:2.00ms,");
    EXPECT_EQ(marks[2].substr(marks[2].size() - 2), "mV");
    EXPECT_EQ(CorrelationReadout(r, 100)[1], "t=2.00ms");

    sel.crossB = 2;
    EXPECT_TRUE(BuildStatisticsEntries(doc, sel, targets).entries.empty());
    sel.analysis = kStatAutocorrelation;
    sel.autoPoint = 1;
    const auto self = BuildStatisticsEntries(doc, sel, targets);
    ASSERT_EQ(self.entries.size(), 2u);
    EXPECT_EQ(self.entries[1].caption, "自相关");
}

TEST(Correlation, ShortExponent) {
    EXPECT_EQ(ShortExponent(0.123), "1.23e-1");
    EXPECT_EQ(ShortExponent(1234.0), "1.23e+3");
    EXPECT_EQ(ShortExponent(0.0), "0.00e+0");
    EXPECT_EQ(ShortExponent(-2.5e-12), "-2.50e-12") << "a two-digit exponent keeps both digits";
}

}  // namespace
}  // namespace tav
