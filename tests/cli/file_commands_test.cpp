#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir, const std::string& name, bool version4 = false) {
    auto a = testing::WaveformPoint("P1", 256, 1);
    auto b = testing::WaveformPoint("P2", 256, 2);
    a.checked = 1;
    DefectMark d;
    d.type = 2;
    SetText(d.name, "\xcb\xf5\xbe\xb6(\xa2\xf2)");  // 缩径(Ⅱ)
    d.depth = 3.0f;
    a.defects.push_back(d);
    ProcessStep s;
    s.opType = kOpFilter;
    s.filterUpperHz = 0.1f;
    a.steps.push_back(s);
    const auto image = testing::ProjectImage(testing::MakeHeader("\xb2\xe2\xca\xd4", "demo"), {a, b}, {a}, version4);
    const std::string path = dir.File(name);
    WriteFileAtomically(path, image);
    return path;
}

TEST(TavtoolFiles, DumpShowsEveryFieldAsJson) {
    TempDir dir;
    const auto path = WriteProject(dir, "p.tav");
    const auto r = RunTavtool({"dump", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["version"], 6);
    EXPECT_EQ(j["loadStatus"], "ok");
    EXPECT_EQ(j["header"]["magic"], "TAV15");
    EXPECT_EQ(j["header"]["testUnit"], "测试");
    ASSERT_EQ(j["points"].size(), 2u);
    const auto& p = j["points"][0];
    EXPECT_EQ(p["pileNo"], "P1");
    EXPECT_EQ(p["pileTypeName"], "钻孔灌注桩");
    EXPECT_EQ(p["instrumentValue"], "00000000");
    EXPECT_EQ(p["steps"][0]["filterUpperHz"].dump(), "0.1") << "floats in their shortest form";
    EXPECT_EQ(p["steps"][0]["displayBlocks"].size(), 26u);
    EXPECT_EQ(p["steps"][0]["displayBlocks"][0].size(), 9u);
    EXPECT_EQ(p["defects"][0]["name"], "缩径(Ⅱ)");
    EXPECT_EQ(p["rawSamples"].size(), 256u);
    EXPECT_EQ(j["backupPoints"].size(), 1u);
    EXPECT_FALSE(j.contains("faultyPoint"));

    const auto bare = nlohmann::json::parse(RunTavtool({"dump", "--no-samples", path}).out);
    EXPECT_FALSE(bare["points"][0].contains("samples"));
}

TEST(TavtoolFiles, ConvertOfTheCurrentVersionIsIdentical) {
    TempDir dir;
    const auto path = WriteProject(dir, "p.tav");
    const auto first = dir.File("first.tav");
    ASSERT_EQ(RunTavtool({"convert", path, first}).exitCode, 0);
    // Loading computes display ranges; a file the system saved comes back unchanged.
    const auto second = dir.File("second.tav");
    ASSERT_EQ(RunTavtool({"convert", first, second}).exitCode, 0);
    EXPECT_EQ(*ReadWholeFile(first), *ReadWholeFile(second));

    const auto v4 = WriteProject(dir, "old.tav", true);
    const auto fromV4 = dir.File("from4.tav");
    ASSERT_EQ(RunTavtool({"convert", v4, fromV4}).exitCode, 0);
    EXPECT_EQ(*ReadWholeFile(fromV4), *ReadWholeFile(first));
}

TEST(TavtoolFiles, BadInputGivesTheContractExitCodes) {
    TempDir dir;
    EXPECT_EQ(RunTavtool({"dump", dir.File("missing.tav")}).exitCode, 3);
    WriteFileAtomically(dir.File("junk.tav"), std::vector<std::uint8_t>{'J', 'U', 'N', 'K', '!', 1, 2});
    const auto junk = RunTavtool({"dump", dir.File("junk.tav")});
    EXPECT_EQ(junk.exitCode, 2);
    EXPECT_EQ(nlohmann::json::parse(junk.out)["loadStatus"], "unknown-version");
    EXPECT_NE(junk.err.find("junk.tav"), std::string::npos);

    auto image = *ReadWholeFile(WriteProject(dir, "p.tav"));
    image.resize(image.size() / 2);
    WriteFileAtomically(dir.File("cut.tav"), image);
    const auto cut = RunTavtool({"dump", "--no-samples", dir.File("cut.tav")});
    EXPECT_EQ(cut.exitCode, 2);
    const auto j = nlohmann::json::parse(cut.out);
    EXPECT_EQ(j["loadStatus"], "faulty-point");
    EXPECT_EQ(j["faultyPoint"], 1);
    EXPECT_EQ(j["points"].size(), 2u);
    EXPECT_EQ(RunTavtool({"convert", dir.File("cut.tav"), dir.File("never.tav")}).exitCode, 2);
    EXPECT_FALSE(ReadWholeFile(dir.File("never.tav")));

    EXPECT_EQ(RunTavtool({"frobnicate"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"dump", "--magnify", "maybe", dir.File("p.tav")}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"convert", dir.File("p.tav"), "/nonexistent-folder/x.tav"}).exitCode, 3);
}

TEST(TavtoolFiles, ADamagedBackupSetIsShownAndConvertedOnlyWhenAccepted) {
    TempDir dir;
    auto image = *ReadWholeFile(WriteProject(dir, "p.tav"));
    // The backup record is cut short.
    image.resize(image.size() - 600);
    WriteFileAtomically(dir.File("cut.tav"), image);

    const auto dump = RunTavtool({"dump", "--no-samples", dir.File("cut.tav")});
    EXPECT_EQ(dump.exitCode, 2);
    const auto j = nlohmann::json::parse(dump.out);
    EXPECT_EQ(j["loadStatus"], "faulty-backup-point");
    EXPECT_EQ(j["faultyBackupPoint"], 0);
    EXPECT_EQ(j["points"].size(), 2u);

    const auto refused = RunTavtool({"convert", dir.File("cut.tav"), dir.File("out.tav")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--accept-damaged"), std::string::npos) << refused.err;
    EXPECT_FALSE(ReadWholeFile(dir.File("out.tav")));

    ASSERT_EQ(RunTavtool({"convert", "--accept-damaged", dir.File("cut.tav"), dir.File("out.tav")}).exitCode, 0);
    const auto saved = nlohmann::json::parse(RunTavtool({"dump", "--no-samples", dir.File("out.tav")}).out);
    EXPECT_EQ(saved["loadStatus"], "ok");
    EXPECT_EQ(saved["points"].size(), 2u);
    EXPECT_EQ(saved["backupPoints"].size(), 0u) << "no empty records stand in for the damaged ones";
}

TEST(TavtoolFiles, InfoListsEveryTestPoint) {
    TempDir dir;
    const auto r = RunTavtool({"info", WriteProject(dir, "p.tav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("TAV15"), std::string::npos);
    EXPECT_NE(r.out.find("[0] 桩号=P1"), std::string::npos);
    EXPECT_NE(r.out.find("数字滤波"), std::string::npos);
    EXPECT_NE(r.out.find("类别=Ⅱ"), std::string::npos);
    EXPECT_NE(r.out.find("[1] 桩号=P2"), std::string::npos);
}

}  // namespace
}  // namespace tav
