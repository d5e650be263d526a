#include "analysis/signal_match.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "synth/site_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using synth::DefectKind;
using synth::SensorChoice;

struct Site {
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
};

// One test point per pile; defects as "PILE:DEPTH:TYPE:RATIO" texts.
void Build(Site& site, std::uint64_t seed, int piles, SensorChoice sensor, const std::vector<std::string>& defects = {}) {
    synth::SiteOptions o;
    o.piles = piles;
    o.pointsPerPile = 1;
    o.seed = seed;
    o.sensor = sensor;
    for (const auto& d : defects) o.defects.push_back(*synth::ParseDefectSpec(d));
    EXPECT_EQ(synth::BuildSite(o, site.doc, site.truth), "");
}

void ExpectContiguousProfile(const MatchResult& r, double length) {
    ASSERT_FALSE(r.segments.empty());
    EXPECT_EQ(r.segments.front().top, 0.0);
    EXPECT_NEAR(r.segments.back().bottom, length, 1e-4);
    for (std::size_t i = 1; i < r.segments.size(); ++i) EXPECT_EQ(r.segments[i].top, r.segments[i - 1].bottom);
}

// Sanitizer and debug builds run the model many times slower; the fit's own
// time limit is not what these tests are about.
MatchOptions Unhurried() {
    MatchOptions options;
    options.timeLimit = 3600.0;
    return options;
}

TEST(SignalMatch, SoundPilesComeOutUniformAndTheCurveFollowsTheRecord) {
    for (const auto sensor : {SensorChoice::Velocity, SensorChoice::Acceleration}) {
        Site site;
        Build(site, 31, 3, sensor);
        for (std::size_t i = 0; i < site.truth.size(); ++i) {
            SCOPED_TRACE(i);
            const auto r = MatchSignal(site.doc.points[i], Unhurried());
            ASSERT_TRUE(r.ok()) << MatchFailureCode(r.failure);
            ExpectContiguousProfile(r, site.truth[i].pileLength);
            for (const auto& s : r.segments) EXPECT_GT(s.ratio, 0.9) << s.top;
            EXPECT_GT(r.quality, 0.99);
            EXPECT_GT(r.echoQuality, 0.9);
            // The window runs from the blow to beyond the toe echo.
            EXPECT_LT(r.windowStart, site.truth[i].headIndex);
            EXPECT_GT(r.windowEnd, site.truth[i].toeIndex);
            EXPECT_EQ(r.fitted.size(), static_cast<std::size_t>(r.windowEnd - r.windowStart + 1));
            EXPECT_EQ(r.measured.size(), r.fitted.size());
            EXPECT_GT(r.forwardRuns, 0);
        }
    }
}

TEST(SignalMatch, FindsANeckAndABulgeAtTheirDepthsWithEitherSensor) {
    for (const auto sensor : {SensorChoice::Velocity, SensorChoice::Acceleration}) {
        Site site;
        Build(site, 7, 2, sensor, {"1:4.5:neck:0.6", "2:6:bulge:1.4"});
        for (std::size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            const auto& truth = site.truth[i].defects.at(0);
            const auto r = MatchSignal(site.doc.points[i], Unhurried());
            ASSERT_TRUE(r.ok()) << MatchFailureCode(r.failure);
            ExpectContiguousProfile(r, site.truth[i].pileLength);
            const bool neck = truth.kind == DefectKind::Neck;
            const auto& found = *std::min_element(r.segments.begin(), r.segments.end(), [&](const auto& a, const auto& b) {
                return neck ? a.ratio < b.ratio : a.ratio > b.ratio;
            });
            EXPECT_NEAR(found.top, truth.depth, 0.5);
            EXPECT_NEAR(found.bottom, truth.depth + truth.length, 0.5);
            EXPECT_NEAR(found.ratio, truth.ratio, 0.1);
        }
    }
}

TEST(SignalMatch, AReversedRecordGivesTheSameProfile) {
    Site site;
    Build(site, 7, 1, SensorChoice::Velocity, {"1:4.5:neck:0.6"});
    const auto straight = MatchSignal(site.doc.points[0], Unhurried());
    auto& tp = site.doc.points[0];
    for (auto& x : tp.samples) x = -x;
    const auto reversed = MatchSignal(tp, Unhurried());
    ASSERT_TRUE(straight.ok() && reversed.ok());
    ASSERT_EQ(straight.segments.size(), reversed.segments.size());
    for (std::size_t i = 0; i < straight.segments.size(); ++i)
        EXPECT_NEAR(straight.segments[i].ratio, reversed.segments[i].ratio, 0.01);
}

TEST(SignalMatch, RecordsThatCannotBeFittedSayWhy) {
    Site site;
    Build(site, 31, 1, SensorChoice::Velocity);
    const TestPoint good = site.doc.points[0];
    struct Case {
        const char* what;
        void (*spoil)(TestPoint&);
        MatchFailure expected;
    };
    const Case cases[] = {
        {"one sample", [](TestPoint& t) { t.samples.resize(1); }, MatchFailure::kTooShort},
        {"no samples", [](TestPoint& t) { t.samples.clear(); t.rawSamples.clear(); }, MatchFailure::kTooShort},
        {"NaN", [](TestPoint& t) { t.samples[300] = std::numeric_limits<float>::quiet_NaN(); }, MatchFailure::kNotFinite},
        {"infinity", [](TestPoint& t) { t.samples[0] = std::numeric_limits<float>::infinity(); }, MatchFailure::kNotFinite},
        {"zeros", [](TestPoint& t) { std::fill(t.samples.begin(), t.samples.end(), 0.0f); }, MatchFailure::kNoBlow},
        {"zero interval", [](TestPoint& t) { t.sampleInterval = 0.0f; }, MatchFailure::kNoInterval},
        {"NaN interval", [](TestPoint& t) { t.sampleInterval = std::nanf(""); }, MatchFailure::kNoInterval},
        {"zero speed", [](TestPoint& t) { t.waveSpeed = 0; }, MatchFailure::kNoSpeed},
        {"negative speed", [](TestPoint& t) { t.waveSpeed = -4000; }, MatchFailure::kNoSpeed},
        {"zero length", [](TestPoint& t) { t.pileLength = 0.0f; }, MatchFailure::kNoLength},
        {"head not marked", [](TestPoint& t) { t.headValid = 0; }, MatchFailure::kNoHead},
        {"head beyond the record", [](TestPoint& t) { t.headIndex = 30000; }, MatchFailure::kNoHead},
        {"head before the record", [](TestPoint& t) { t.headIndex = -1; }, MatchFailure::kNoHead},
        {"pile longer than the record", [](TestPoint& t) { t.pileLength *= 4; }, MatchFailure::kToeBeyondRecord},
        {"integrated twice", [](TestPoint& t) { t.steps.resize(1); t.steps[0].opType = kOpIntegrate; },
         MatchFailure::kNotVelocity},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestPoint tp = good;
        c.spoil(tp);
        const auto r = MatchSignal(tp);
        EXPECT_EQ(r.failure, c.expected) << MatchFailureCode(r.failure);
        EXPECT_TRUE(r.segments.empty());
        EXPECT_FALSE(MatchFailureText(r.failure).empty());
    }
}

TEST(SignalMatch, AlwaysEndsAndCanBeCancelled) {
    Site site;
    Build(site, 31, 1, SensorChoice::Acceleration);
    const auto& tp = site.doc.points[0];

    std::atomic<int> cancel{1};
    MatchOptions cancelled;
    cancelled.cancel = &cancel;
    EXPECT_EQ(MatchSignal(tp, cancelled).failure, MatchFailure::kCancelled);

    MatchOptions noTime;
    noTime.timeLimit = 0.0;
    EXPECT_EQ(MatchSignal(tp, noTime).failure, MatchFailure::kTimedOut);

    MatchOptions fewRuns;
    fewRuns.maxForwardRuns = 40;
    const auto stopped = MatchSignal(tp, fewRuns);
    EXPECT_EQ(stopped.failure, MatchFailure::kTimedOut);
    EXPECT_LE(stopped.forwardRuns, 40);

    // Cancelled from the progress callback, as the window's worker does it.
    cancel = 0;
    std::vector<double> shares;
    MatchOptions watched;
    watched.cancel = &cancel;
    watched.progress = [&](double share) {
        shares.push_back(share);
        if (shares.size() == 2) cancel = 1;
    };
    EXPECT_EQ(MatchSignal(tp, watched).failure, MatchFailure::kCancelled);
    ASSERT_EQ(shares.size(), 2u);

    cancel = 0;
    shares.clear();
    ASSERT_TRUE(MatchSignal(tp, MatchOptions{.timeLimit = 3600.0, .cancel = &cancel, .progress = [&](double s) { shares.push_back(s); }}).ok());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 1.0);
}

TEST(SignalMatch, ToolPrintsTheProfileOrWhyThereIsNone) {
    testing::TempDir dir;
    Site site;
    Build(site, 7, 2, SensorChoice::Mixed, {"1:4.5:neck:0.6"});
    site.doc.points[1].waveSpeed = 0;
    const auto path = dir.File("m.tav");
    ASSERT_TRUE(site.doc.SaveToFile(path));

    const auto picture = dir.File("profile.png");
    const auto ok = testing::RunTavtool({"analyze", path, "match", "--point", "0", "--time-limit", "3600", "--picture", picture});
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    const auto j = nlohmann::json::parse(ok.out);
    EXPECT_TRUE(j["fit"].get<bool>());
    ASSERT_GE(j["segments"].size(), 2u);
    EXPECT_EQ(j["segments"][0]["top"].get<double>(), 0.0);
    for (const char* key : {"shaftDamping", "shaftFrequency", "toeDamping", "toeFrequency"})
        EXPECT_GT(j["soil"][key].get<double>(), 0.0) << key;
    EXPECT_GT(j["quality"].get<double>(), 0.99);
    EXPECT_EQ(j["fitted"].size(), j["windowEnd"].get<int>() - j["windowStart"].get<int>() + 1);
    const auto png = ReadWholeFile(picture);
    ASSERT_TRUE(png && png->size() > 8u);
    EXPECT_EQ(std::string(png->begin() + 1, png->begin() + 4), "PNG");

    const auto none = testing::RunTavtool({"analyze", path, "match", "--point", "1"});
    EXPECT_EQ(none.exitCode, 2);
    const auto k = nlohmann::json::parse(none.out);
    EXPECT_FALSE(k["fit"].get<bool>());
    EXPECT_EQ(k["reason"], "no-speed");
    EXPECT_EQ(testing::RunTavtool({"analyze", path, "match", "--point", "2"}).exitCode, 2);
}

}  // namespace
}  // namespace tav
