#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/pile_head.hpp"
#include "model/vocabulary.hpp"
#include "processing/project_loading.hpp"
#include "synth/site_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav::synth {
namespace {

using tav::testing::RunTavtool;
using tav::testing::TempDir;

std::vector<std::uint8_t> Build(const SiteOptions& o, std::vector<TruthPoint>* truthOut = nullptr) {
    CTAV_AnalyserDoc doc;
    std::vector<TruthPoint> truth;
    EXPECT_EQ(BuildSite(o, doc, truth), "");
    if (truthOut) *truthOut = truth;
    return doc.SaveProject();
}

TEST(SiteBuilder, SameSeedGivesTheSameBytesAndAnotherSeedAnotherSite) {
    SiteOptions o;
    o.piles = 5;
    o.pointsPerPile = 2;
    o.randomDefects = true;
    o.sensor = SensorChoice::Mixed;
    std::vector<TruthPoint> t1, t2;
    const auto a = Build(o, &t1);
    EXPECT_EQ(a, Build(o, &t2));
    EXPECT_EQ(TruthJson(t1), TruthJson(t2));
    o.seed = 2;
    EXPECT_NE(a, Build(o));
}

TEST(SiteBuilder, ProjectLoadsUnchangedWithItsPileParameters) {
    SiteOptions o;
    o.piles = 6;
    o.pointsPerPile = 2;
    o.sensor = SensorChoice::Mixed;
    std::vector<TruthPoint> truth;
    const auto bytes = Build(o, &truth);

    CTAV_AnalyserDoc doc;
    ASSERT_EQ(LoadProject(doc, bytes).status, LoadStatus::Ok);
    ASSERT_EQ(doc.PointCount(), 12);
    EXPECT_EQ(doc.SaveProject(), bytes) << "loading changes nothing: head, toe and display range are as stored";
    EXPECT_EQ(doc.PileCount(), 6);
    ASSERT_EQ(doc.backupPoints.size(), 12u);

    for (std::int32_t i = 0; i < doc.PointCount(); ++i) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        const auto& t = truth[static_cast<std::size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(TextOf(tp.pileNo), t.pileNo);
        ASSERT_GE(tp.pileTypeIndex, 0);
        ASSERT_LT(tp.pileTypeIndex, 10);
        EXPECT_EQ(Cp936ToUtf8(TextOf(tp.pileTypeName)),
                  AppVocabulary().pileTypes[static_cast<std::size_t>(tp.pileTypeIndex)]);
        int y = 0, m = 0, d = 0;
        EXPECT_EQ(std::sscanf(std::string(TextOf(tp.testDate)).c_str(), "%d-%d-%d", &y, &m, &d), 3);
        EXPECT_EQ(tp.sensorType, static_cast<int>(t.sensor));
        EXPECT_EQ(tp.sensorType, i / 2 % 2 == 0 ? 0 : 1) << "mixed sensors alternate by pile";
        EXPECT_GT(tp.gain, 0);
        EXPECT_EQ(tp.gain & (tp.gain - 1), 0);
        EXPECT_EQ(tp.sampleInterval, 20.0f);
        EXPECT_EQ(tp.headSampleCount, 1024);
        EXPECT_EQ(tp.waveSpeed, t.waveSpeed);
        EXPECT_EQ(tp.pileLength, t.pileLength);
        EXPECT_EQ(tp.headIndex, t.headIndex);
        EXPECT_EQ(tp.toeIndex, t.toeIndex);
        EXPECT_NEAR(tp.toeIndex, DefaultToe(tp), 1);
        EXPECT_LT(tp.toeIndex, 1024);
        EXPECT_EQ(tp.headValid, 1);
        EXPECT_EQ(tp.toeValid, 1);
        EXPECT_EQ(tp.rawSamples, tp.samples);
        EXPECT_TRUE(tp.steps.empty());
        const auto range = WindowDisplayRange(tp.samples.data(), tp.sampleCount(), tp.headIndex, tp.toeIndex);
        EXPECT_EQ(tp.lastParams.viewMax, RoundDisplayMax(range.max));
        EXPECT_EQ(tp.lastParams.viewMin, -tp.lastParams.viewMax);
        EXPECT_LE(range.max, 1100.0f) << "the gain keeps the record in range";
    }
}

TEST(SiteBuilder, CleanVelocityRecordsPeakAtTheTrueHeadAndToe) {
    SiteOptions o;
    o.piles = 8;
    o.pointsPerPile = 1;
    o.noise = 0;
    o.sensor = SensorChoice::Velocity;
    o.seed = 11;
    CTAV_AnalyserDoc doc;
    std::vector<TruthPoint> truth;
    ASSERT_EQ(BuildSite(o, doc, truth), "");
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const auto& x = doc.points[i].samples;
        const auto& t = truth[i];
        auto peakNear = [&](int at, int halfWidth) {
            int best = at - halfWidth;
            for (int k = at - halfWidth; k <= at + halfWidth; ++k)
                if (std::fabs(x[static_cast<std::size_t>(k)]) > std::fabs(x[static_cast<std::size_t>(best)])) best = k;
            return best;
        };
        EXPECT_EQ(peakNear(t.headIndex, 20), t.headIndex) << i;
        EXPECT_GT(x[static_cast<std::size_t>(t.headIndex)], 0.0f);
        if (t.defects.empty()) {
            EXPECT_NEAR(peakNear(t.toeIndex, 10), t.toeIndex, 2) << i;
        }
    }
}

TEST(SiteBuilder, DefectsGivenOrDrawnReachTheTruth) {
    SiteOptions o;
    o.piles = 3;
    o.pointsPerPile = 2;
    o.defects.push_back({2, 5.0, DefectKind::Neck, 0.6});
    o.defects.push_back({2, 9.5, DefectKind::Base, 1.8});
    std::vector<TruthPoint> truth;
    Build(o, &truth);
    ASSERT_EQ(truth.size(), 6u);
    EXPECT_TRUE(truth[0].defects.empty());
    for (const auto i : {2, 3}) {
        const auto& t = truth[static_cast<std::size_t>(i)];
        ASSERT_EQ(t.defects.size(), 2u);
        EXPECT_EQ(t.defects[0].kind, DefectKind::Neck);
        EXPECT_FLOAT_EQ(t.defects[0].depth, 5.0f);
        EXPECT_FLOAT_EQ(t.defects[0].ratio, 0.6f);
        EXPECT_EQ(t.defects[1].kind, DefectKind::Base);
        EXPECT_FLOAT_EQ(t.defects[1].depth + t.defects[1].length, t.pileLength) << "a base runs to the toe";
        EXPECT_GE(t.pileLength, 9.8f);
    }

    o.defects.clear();
    o.randomDefects = true;
    o.piles = 12;
    o.pointsPerPile = 1;
    Build(o, &truth);
    std::set<DefectKind> kinds;
    int sound = 0;
    for (const auto& t : truth) {
        sound += t.defects.empty();
        for (const auto& d : t.defects) {
            kinds.insert(d.kind);
            EXPECT_GT(d.depth, 0.0f);
            EXPECT_LE(d.depth + d.length, t.pileLength + 1e-3f);
        }
    }
    EXPECT_EQ(kinds.size(), 5u) << "every kind shows on a dozen piles";
    EXPECT_GE(sound, 3);
}

TEST(SiteBuilder, RefusesWhatCannotBeBuilt) {
    CTAV_AnalyserDoc doc;
    std::vector<TruthPoint> truth;
    SiteOptions o;
    o.defects.push_back({13, 3.0, DefectKind::Crack, 0.3});
    EXPECT_NE(BuildSite(o, doc, truth), "") << "no pile 13 among 12";
    o.defects = {{1, 300.0, DefectKind::Neck, 0.5}};
    EXPECT_NE(BuildSite(o, doc, truth), "") << "300 m do not fit 1024 samples";
    o.defects = {{1, 3.0, DefectKind::Neck, 0.0}};
    EXPECT_NE(BuildSite(o, doc, truth), "");
    o.defects.clear();
    o.samples = 16;
    EXPECT_NE(BuildSite(o, doc, truth), "");
    o.samples = 1024;
    o.piles = 9000;
    o.pointsPerPile = 2;
    EXPECT_NE(BuildSite(o, doc, truth), "") << "more test points than a project holds";
    EXPECT_EQ(doc.PointCount(), 0);

    EXPECT_TRUE(ParseDefectSpec("3:4.5:crack:0.3").has_value());
    for (const char* bad : {"3:4.5:crack", "3:4.5:crack:0.3:1", "x:4.5:neck:0.5", "3:4.5:hole:0.5", "3:4.5m:neck:0.5", ""})
        EXPECT_FALSE(ParseDefectSpec(bad).has_value()) << bad;
}

TEST(TavtoolSynth, WritesTheSameProjectAndTruthForTheSameSeed) {
    TempDir dir;
    const std::vector<std::string> args = {"synth", "--piles", "3", "--points-per-pile", "2", "--seed", "5",
                                           "--sensor", "velocity", "--defect", "1:4:neck:0.6", "--noise", "0.02"};
    auto first = args;
    first.insert(first.end(), {"-o", dir.File("a.tav")});
    auto second = args;
    second.insert(second.end(), {"-o", dir.File("b.tav"), "--truth", dir.File("b.json")});
    const auto r1 = RunTavtool(first);
    ASSERT_EQ(r1.exitCode, 0) << r1.err;
    ASSERT_EQ(RunTavtool(second).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("a.tav")), ReadWholeFile(dir.File("b.tav")));
    const auto truthA = ReadWholeFile(dir.File("a.truth.json"));
    ASSERT_TRUE(truthA.has_value());
    EXPECT_EQ(truthA, ReadWholeFile(dir.File("b.json")));

    const auto j = nlohmann::json::parse(truthA->begin(), truthA->end());
    ASSERT_EQ(j["points"].size(), 6u);
    EXPECT_EQ(j["points"][1]["pileNo"], "P1");
    EXPECT_EQ(j["points"][1]["sensor"], "velocity");
    EXPECT_EQ(j["points"][1]["defects"][0]["type"], "neck");
    EXPECT_EQ(j["points"][1]["defects"][0]["ratio"].get<double>(), 0.6);

    const auto dump = RunTavtool({"dump", "--no-samples", dir.File("a.tav")});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const auto d = nlohmann::json::parse(dump.out);
    EXPECT_EQ(d["points"][2]["pileNo"], "P2");
    EXPECT_EQ(d["points"][2]["headIndex"], j["points"][2]["headIndex"]);
}

TEST(TavtoolSynth, ExitCodesTellUsageDataAndIoApart) {
    TempDir dir;
    EXPECT_EQ(RunTavtool({"synth", "-o", dir.File("x.tav"), "--defect", "1:2:hole:0.5"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"synth", "-o", dir.File("x.tav"), "--sensor", "laser"}).exitCode, 1);
    const auto bad = RunTavtool({"synth", "-o", dir.File("x.tav"), "--piles", "2", "--defect", "3:2:neck:0.5"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("pile 3"), std::string::npos) << bad.err;
    EXPECT_FALSE(ReadWholeFile(dir.File("x.tav")).has_value()) << "nothing written";
    EXPECT_EQ(RunTavtool({"synth", "-o", dir.File("missing/x.tav"), "--piles", "1"}).exitCode, 3);
}

TEST(SiteBuilder, ADefectMustLieBelowTheHead) {
    CTAV_AnalyserDoc doc;
    std::vector<TruthPoint> truth;
    SiteOptions o;
    o.piles = 1;
    for (const double depth : {0.0, -0.5}) {
        o.defects = {{1, depth, DefectKind::Neck, 0.5}};
        EXPECT_EQ(BuildSite(o, doc, truth), "defect on pile 1: the depth must be above 0") << depth;
    }
    o.defects = {{1, 0.1, DefectKind::Neck, 0.5}};
    EXPECT_EQ(BuildSite(o, doc, truth), "");
    const auto r = RunTavtool({"synth", "-o", "/nonexistent/x.tav", "--piles", "1", "--defect", "1:0:neck:0.5"});
    EXPECT_EQ(r.exitCode, 2) << "refused as bad data before anything is written";
}

}  // namespace
}  // namespace tav::synth
