#include "analysis/site_speed.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "model/snapshot.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

// A test point of a 12 m pile whose toe gives the wanted speed at 20 µs.
TestPoint PileAt(const std::string& pileNo, int speed, int type = 1) {
    TestPoint tp = testing::WaveformPoint(pileNo, 1024, 1);
    tp.pileTypeIndex = static_cast<std::int16_t>(type);
    tp.waveSpeed = static_cast<std::int16_t>(speed);
    tp.toeIndex = static_cast<std::int16_t>(tp.headIndex + std::lround(2.0 * 12.0 / (speed * 20e-6)));
    return tp;
}

void Fill(CTAV_AnalyserDoc& doc, std::vector<TestPoint> points) {
    doc.points = std::move(points);
    doc.header.pointCount = doc.PointCount();
}

TEST(SiteSpeed, LeavesOutTheFarthestUntilAllAreWithinFivePercent) {
    std::vector<bool> used;
    // 3000 is far out; once it is gone, 3700 is still more than 5 % below the rest.
    const std::vector<double> speeds = {4000, 4050, 3000, 3980, 4020, 3700, 3990};
    const auto mean = SiteMean(speeds, used);
    ASSERT_TRUE(mean);
    EXPECT_NEAR(*mean, (4000 + 4050 + 3980 + 4020 + 3990) / 5.0, 1e-9);
    EXPECT_EQ(used, (std::vector<bool>{true, true, false, true, true, false, true}));

    // Four piles are never enough, however close; leaving out down to four is "too few".
    EXPECT_FALSE(SiteMean(std::vector<double>{4000, 4000, 4000, 4000}, used));
    EXPECT_FALSE(SiteMean(std::vector<double>{4000, 4010, 3990, 4005, 3000, 5000}, used)) << "3000 and 5000 go, four stay";
    EXPECT_EQ(used, std::vector<bool>(6, false));
    // 4200 lies 4 % above the mean of 4040.
    EXPECT_TRUE(SiteMean(std::vector<double>{4000, 4000, 4000, 4000, 4200}, used));
}

TEST(SiteSpeed, PilesQualifyBySoundRecordsWithHeadAndToe) {
    CTAV_AnalyserDoc doc;
    std::vector<TestPoint> points;
    for (int i = 0; i < 5; ++i) points.push_back(PileAt("A" + std::to_string(i), 4000 + 20 * i));
    // A pile of two test points takes their mean.
    points.push_back(PileAt("B", 3900));
    points.push_back(PileAt("B", 4100));
    auto defect = PileAt("C", 4000);  // class Ⅱ: no speed
    defect.defects.push_back({.position = 200, .type = 1});
    points.push_back(defect);
    auto noToe = PileAt("D", 4000);
    noToe.toeValid = 0;
    points.push_back(noToe);
    points.push_back(PileAt("E", 3600, 5));  // another pile type
    Fill(doc, points);

    const auto stats = SiteSpeedStatistics(doc);
    ASSERT_EQ(stats.groups.size(), 2u);
    const auto& bored = stats.groups[0];
    EXPECT_EQ(bored.pileType, "钻孔灌注桩");
    ASSERT_EQ(bored.piles.size(), 8u);
    EXPECT_EQ(bored.piles[5].pileNo, "B");
    EXPECT_EQ(bored.piles[5].points, (std::vector<std::int32_t>{5, 6}));
    ASSERT_TRUE(bored.piles[5].speed);
    EXPECT_NEAR(*bored.piles[5].speed, 4000, 15);
    EXPECT_FALSE(bored.piles[6].speed);
    EXPECT_FALSE(bored.piles[7].speed);
    ASSERT_TRUE(bored.mean);
    EXPECT_EQ(bored.count, 6);
    EXPECT_TRUE(bored.piles[0].used);
    EXPECT_FALSE(bored.piles[6].used);
    const auto& other = stats.groups[1];
    EXPECT_TRUE(other.TooFew());
    EXPECT_EQ(other.count, 1);

    // Only the chosen test points count: three piles are too few.
    const std::vector<std::int32_t> some = {0, 1, 2, 99};
    const auto partial = SiteSpeedStatistics(doc, some);
    ASSERT_EQ(partial.groups.size(), 1u);
    EXPECT_EQ(partial.groups[0].piles.size(), 3u);
    EXPECT_TRUE(partial.groups[0].TooFew());

    const auto text = SiteSpeedParagraph(stats);
    EXPECT_NE(text.find("钻孔灌注桩：参与统计6根"), std::string::npos) << text;
    EXPECT_NE(text.find("不足5根"), std::string::npos) << text;
}

TEST(SiteSpeed, ApplyingTheMeanMovesTheToeAndKeepsWhatUndoNeeds) {
    CTAV_AnalyserDoc doc;
    Fill(doc, {PileAt("A", 4000), PileAt("B", 3800), PileAt("C", 4100)});
    auto c = doc.points[2];
    const std::vector<std::int32_t> targets = {1, 2};
    const Snapshot undo = ApplySiteSpeed(doc, targets, 3999.6);
    EXPECT_EQ(undo.kind, 11);
    ASSERT_EQ(undo.points.size(), 2u);
    EXPECT_EQ(undo.points[0].runtimeWord, 1);
    EXPECT_EQ(undo.points[0].waveSpeed, 3800);
    EXPECT_EQ(undo.points[1].toeIndex, c.toeIndex);
    for (const int i : targets) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        EXPECT_EQ(tp.waveSpeed, 4000);
        EXPECT_EQ(tp.toeIndex, tp.headIndex + 300) << "12 m at 4000 m/s and 20 µs";
        EXPECT_EQ(tp.pileLength, 12.0f);
    }
    EXPECT_TRUE(doc.Modified());

    // Nothing to change, or a speed no record can hold: nothing recorded.
    const std::vector<std::int32_t> first = {0};
    EXPECT_TRUE(ApplySiteSpeed(doc, first, 4000).points.empty());
    EXPECT_TRUE(ApplySiteSpeed(doc, first, std::nan("")).points.empty());
    EXPECT_TRUE(ApplySiteSpeed(doc, first, 0.0).points.empty());
    EXPECT_TRUE(ApplySiteSpeed(doc, first, 1e6).points.empty());
    EXPECT_EQ(doc.points[0].waveSpeed, 4000);
}

TEST(SiteSpeed, Tool) {
    testing::TempDir dir;
    std::vector<TestPoint> points;
    for (int i = 0; i < 6; ++i) points.push_back(PileAt("P" + std::to_string(i + 1), i == 5 ? 3000 : 4000 + 10 * i));
    const auto path = dir.File("site.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), points, {}));

    const auto r = testing::RunTavtool({"analyze", path, "site-speed"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["groups"].size(), 1u);
    const auto& g = j["groups"][0];
    EXPECT_EQ(g["pileType"], "钻孔灌注桩");
    EXPECT_EQ(g["status"], "ok");
    EXPECT_EQ(g["count"], 5);
    EXPECT_NEAR(g["mean"].get<double>(), 4020, 10);
    EXPECT_EQ(g["piles"][5]["pileNo"], "P6");
    EXPECT_FALSE(g["piles"][5]["used"].get<bool>());

    const auto few = nlohmann::json::parse(testing::RunTavtool({"analyze", path, "site-speed", "--points", "0,1"}).out);
    EXPECT_EQ(few["groups"][0]["status"], "too-few");
    EXPECT_TRUE(few["groups"][0]["mean"].is_null());
    EXPECT_EQ(testing::RunTavtool({"analyze", path, "site-speed", "--points", "0,9"}).exitCode, 2);
}

}  // namespace
}  // namespace tav
