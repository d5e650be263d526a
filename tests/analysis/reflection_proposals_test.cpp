#include "analysis/reflection_proposals.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "synth/site_builder.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

struct Record {
    TestPoint point;
    synth::TruthPoint truth;
};

Record Synthetic(std::uint64_t seed, synth::SensorChoice sensor, double noise,
                 std::vector<synth::DefectSpec> defects = {}) {
    synth::SiteOptions o;
    o.piles = 1;
    o.pointsPerPile = 1;
    o.seed = seed;
    o.sensor = sensor;
    o.noise = noise;
    o.defects = std::move(defects);
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    EXPECT_EQ(synth::BuildSite(o, doc, truth), "");
    return {doc.points.at(0), truth.at(0)};
}

TEST(ReflectionProposals, BadRecordsGetNoProposalAndSayWhy) {
    const TestPoint good = testing::WaveformPoint("P1", 1024, 1);
    std::vector<std::pair<TestPoint, std::string>> cases;
    auto add = [&](const char* why, auto change) {
        TestPoint tp = good;
        change(tp);
        cases.emplace_back(tp, why);
    };
    add("采样点太少", [](TestPoint& tp) { tp.samples.resize(1); tp.headIndex = 0; });
    add("采样点太少", [](TestPoint& tp) { tp.samples.clear(); });
    add("没有信号", [](TestPoint& tp) { std::fill(tp.samples.begin(), tp.samples.end(), 0.0f); });
    add("无效的采样值", [](TestPoint& tp) { tp.samples[500] = std::numeric_limits<float>::quiet_NaN(); });
    add("无效的采样值", [](TestPoint& tp) { tp.samples[3] = std::numeric_limits<float>::infinity(); });
    add("采样间隔为零", [](TestPoint& tp) { tp.sampleInterval = 0.0f; });
    add("采样间隔为零", [](TestPoint& tp) { tp.sampleInterval = std::numeric_limits<float>::quiet_NaN(); });
    add("波速为零", [](TestPoint& tp) { tp.waveSpeed = 0; });
    add("桩长为零", [](TestPoint& tp) { tp.pileLength = 0.0f; });
    add("未设桩头", [](TestPoint& tp) { tp.headValid = 0; });
    add("未设桩头", [](TestPoint& tp) { tp.headIndex = -5; });
    add("未设桩头", [](TestPoint& tp) { tp.headIndex = 2000; });
    for (const auto& [tp, why] : cases) {
        const auto p = ProposeReflections(tp);
        EXPECT_NE(p.noProposal.find(why), std::string::npos) << why << " / " << p.noProposal;
        EXPECT_FALSE(p.toeIndex);
        EXPECT_TRUE(p.defects.empty());
    }
    EXPECT_EQ(ProposeReflections(good).noProposal, "");
}

// Records as damaged files bring them: whatever the fields hold, proposals
// stay inside the record and between head and toe.
TEST(ReflectionProposals, AnyRecordGivesProposalsInsideIt) {
    std::mt19937 rng(19);
    std::uniform_int_distribution<int> size(0, 400), coin(0, 3);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const float odd[] = {0.0f, 1e-30f, 1e30f, -5.0f, 20.0f, 3e38f};
    for (int round = 0; round < 3000; ++round) {
        TestPoint tp = testing::WaveformPoint("P", std::max(1, size(rng)), static_cast<std::uint32_t>(round));
        auto pick = [&](float usual) { return coin(rng) == 0 ? odd[static_cast<std::size_t>(size(rng)) % 6] : usual; };
        tp.sampleInterval = pick(tp.sampleInterval);
        tp.pileLength = pick(tp.pileLength * (1.0f + unit(rng)));
        tp.waveSpeed = static_cast<std::int16_t>(coin(rng) == 0 ? size(rng) * 80 - 16000 : tp.waveSpeed);
        tp.headIndex = static_cast<std::int16_t>(coin(rng) == 0 ? size(rng) - 20 : tp.headIndex);
        tp.pileTypeIndex = static_cast<std::int16_t>(size(rng) % 14 - 2);
        tp.sensorType = static_cast<std::int16_t>(coin(rng) % 2);
        for (auto& s : tp.samples) s = coin(rng) == 0 ? pick(s) * unit(rng) : s;
        const auto p = ProposeReflections(tp);
        if (!p.noProposal.empty()) continue;
        ASSERT_GE(p.headIndex, 0);
        ASSERT_LT(p.headIndex, tp.sampleCount());
        if (p.toeIndex) {
            ASSERT_GT(*p.toeIndex, p.headIndex);
            ASSERT_LT(*p.toeIndex, tp.sampleCount());
            ASSERT_GE(p.toeConfidence, 0.0);
            ASSERT_LE(p.toeConfidence, 1.0);
        }
        for (const auto& d : p.defects) {
            ASSERT_GT(d.index, p.headIndex);
            ASSERT_LT(d.index, p.toeIndex.value_or(tp.sampleCount()));
            ASSERT_TRUE(std::isfinite(d.depth));
            ASSERT_GE(d.confidence, 0.0);
            ASSERT_LE(d.confidence, 1.0);
        }
    }
}

TEST(ReflectionProposals, CleanPilesGetTheirToeAndNoDefectWithEitherSensor) {
    for (const auto sensor : {synth::SensorChoice::Velocity, synth::SensorChoice::Acceleration})
        for (const std::uint64_t seed : {3u, 4u, 5u}) {
            const auto r = Synthetic(seed, sensor, 0.01);
            const auto p = ProposeReflections(r.point);
            ASSERT_EQ(p.noProposal, "");
            EXPECT_EQ(p.headIndex, r.truth.headIndex);
            ASSERT_TRUE(p.toeIndex);
            const double travel = r.truth.toeIndex - r.truth.headIndex;
            EXPECT_LE(std::abs(*p.toeIndex - r.truth.toeIndex), 0.02 * travel) << "seed " << seed;
            EXPECT_GT(p.toeConfidence, 0.3);
            EXPECT_NEAR(p.waveSpeed, r.truth.waveSpeed, 0.02 * r.truth.waveSpeed);
            EXPECT_TRUE(p.defects.empty()) << "seed " << seed << ": " << p.defects.front().depth << " m";
        }
}

TEST(ReflectionProposals, ANeckIsAReductionAndABulgeAnIncreaseAtTheirTops) {
    // A crack much thinner than the pulse echoes as the pulse's slope, whose
    // leading half is read as the echo: it comes out up to half a pulse high.
    for (const auto& [kind, ratio, expected, within] :
         {std::tuple{synth::DefectKind::Neck, 0.5, ReflectionKind::Reduction, 0.5},
          std::tuple{synth::DefectKind::Bulge, 1.6, ReflectionKind::Increase, 0.5},
          std::tuple{synth::DefectKind::Crack, 0.3, ReflectionKind::Reduction, 0.8}}) {
        const auto r = Synthetic(2, synth::SensorChoice::Velocity, 0.005, {{1, 5.0, kind, ratio}});
        const auto p = ProposeReflections(r.point);
        ASSERT_EQ(p.defects.size(), 1u) << synth::DefectKindName(kind) << ": the lower end is no second defect";
        const auto& d = p.defects.front();
        EXPECT_NEAR(d.depth, 5.0, within) << synth::DefectKindName(kind);
        EXPECT_EQ(d.kind, expected) << synth::DefectKindName(kind);
        EXPECT_GT(d.confidence, 0.5);
        EXPECT_LT(d.confidence, 1.0);
        EXPECT_GT(d.index, p.headIndex);
        EXPECT_LT(d.index, *p.toeIndex);
        EXPECT_LE(std::abs(*p.toeIndex - r.truth.toeIndex), 0.02 * (r.truth.toeIndex - r.truth.headIndex));
    }
}

TEST(ReflectionProposals, TheSiteSpeedNarrowsTheToeSearch) {
    auto r = Synthetic(3, synth::SensorChoice::Velocity, 0.0);
    // Recorded as steel: the type's speeds put the toe window far too early.
    r.point.pileTypeIndex = 7;
    const auto wrong = ProposeReflections(r.point);
    ASSERT_TRUE(wrong.toeIndex);
    EXPECT_GT(std::abs(*wrong.toeIndex - r.truth.toeIndex), 5);
    ProposalOptions site;
    site.siteSpeed = r.truth.waveSpeed * 1.03;
    const auto right = ProposeReflections(r.point, site);
    ASSERT_TRUE(right.toeIndex);
    EXPECT_LE(std::abs(*right.toeIndex - r.truth.toeIndex), 2);
}

TEST(ReflectionProposals, Tool) {
    testing::TempDir dir;
    const auto r = Synthetic(5, synth::SensorChoice::Acceleration, 0.01, {{1, 4.0, synth::DefectKind::Neck, 0.4}});
    TestPoint broken = r.point;
    broken.sampleInterval = 0.0f;
    const auto path = dir.File("p.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), {r.point, broken}, {}));

    const auto out = testing::RunTavtool({"analyze", path, "propose", "--point", "0"});
    ASSERT_EQ(out.exitCode, 0) << out.err;
    const auto j = nlohmann::json::parse(out.out);
    EXPECT_EQ(j["headIndex"], r.truth.headIndex);
    EXPECT_NEAR(j["toeIndex"].get<int>(), r.truth.toeIndex, 0.05 * (r.truth.toeIndex - r.truth.headIndex));
    EXPECT_GT(j["toeConfidence"].get<double>(), 0.0);
    ASSERT_GE(j["defects"].size(), 1u);
    EXPECT_EQ(j["defects"][0]["kind"], "reduction");
    EXPECT_NEAR(j["defects"][0]["depth"].get<double>(), 4.0, 0.5);
    EXPECT_FALSE(j.contains("noProposal"));

    const auto none = testing::RunTavtool({"analyze", path, "propose", "--point", "1"});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    const auto n = nlohmann::json::parse(none.out);
    EXPECT_EQ(n["noProposal"], "采样间隔为零，无法判读");
    EXPECT_TRUE(n["toeIndex"].is_null());
    EXPECT_TRUE(n["headIndex"].is_null());
    EXPECT_EQ(testing::RunTavtool({"analyze", path, "propose", "--point", "2"}).exitCode, 2);

    // The site speed narrows the toe window: far off, the toe is missed.
    const auto off = testing::RunTavtool({"analyze", path, "propose", "--point", "0", "--site-speed", "9000"});
    ASSERT_EQ(off.exitCode, 0) << off.err;
    EXPECT_GT(std::abs(nlohmann::json::parse(off.out)["toeIndex"].get<int>() - r.truth.toeIndex), 10);
    const auto own = testing::RunTavtool({"analyze", path, "propose", "--point", "0", "--site-speed", "auto"});
    EXPECT_EQ(nlohmann::json::parse(own.out)["toeIndex"], j["toeIndex"]) << "one pile is too few for a site mean";
    EXPECT_EQ(testing::RunTavtool({"analyze", path, "propose", "--point", "0", "--site-speed", "fast"}).exitCode, 1);
}

}  // namespace
}  // namespace tav
