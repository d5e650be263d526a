#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir, const std::string& name, std::initializer_list<const char*> piles) {
    std::vector<TestPoint> points;
    for (const char* p : piles) points.push_back(testing::WaveformPoint(p, 64, static_cast<std::uint32_t>(points.size() + 1)));
    const std::string path = dir.File(name);
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "list"), points, {}));
    return path;
}

std::vector<std::string> Piles(const std::string& path) {
    const auto r = RunTavtool({"dump", "--no-samples", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    std::vector<std::string> out;
    for (const auto& p : doc["points"]) out.push_back(p["pileNo"]);
    return out;
}

using Names = std::vector<std::string>;

TEST(TavtoolList, CopyInOneProjectPasteInAnother) {
    TempDir dir;
    const auto a = WriteProject(dir, "a.tav", {"A1", "A2", "A2"});
    const auto b = WriteProject(dir, "b.tav", {"B1", "B2"});
    const auto clip = dir.File("clip.bin");
    auto r = RunTavtool({"list", a, "-o", dir.File("a2.tav"), "--select", "pile:1", "--copy", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ok\nok\n");
    EXPECT_GT(std::filesystem::file_size(clip), 240u + 2u * 1376u);

    const auto out = dir.File("b2.tav");
    r = RunTavtool({"list", b, "-o", out, "--select", "pile:0", "--insert", clip, "--append", clip, "--undo",
                    "--redo", "--select", "pile:2", "--paste", clip, "--up", "--select", "pile:0", "--up"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ok\nok\nok\nok\nok\nok\nok\nok\nok\nunchanged\n");
    EXPECT_EQ(Piles(out), (Names{"A2", "A2", "B1", "B1", "A3", "A3", "B2"}))
        << "insert keeps A2, append renames it away from A2, paste takes the replaced pile's number";
}

TEST(TavtoolList, InsertedCopiesTakeNoNumberAnotherPileHas) {
    TempDir dir;
    const auto a = WriteProject(dir, "a.tav", {"P3", "P4", "P5"});
    const auto clip = dir.File("clip.bin");
    const auto out = dir.File("out.tav");
    const auto r = RunTavtool({"list", a, "-o", out, "--select", "pile:0", "--copy", clip, "--select", "pile:1",
                               "--insert", clip, "--select", "pile:0", "--append", clip, "--sort", "asc"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Piles(out), (Names{"P3", "P4", "P5", "P6", "P7"}))
        << "P3 before P4 becomes P6, not the taken P5; P3 after P3 steps past P4 to P6 and becomes P7";
}

TEST(TavtoolList, RefusalsAndEmptyClipboards) {
    TempDir dir;
    const auto a = WriteProject(dir, "a.tav", {"P1", "P2"});
    const auto junk = dir.File("junk.bin");
    std::ofstream(junk, std::ios::binary) << "not a clipboard block";
    const auto out = dir.File("out.tav");
    const auto r = RunTavtool({"list", a, "-o", out, "--paste", junk, "--save-ticked", dir.File("t.tav"),
                               "--pile-info", "no=P2", "--pile-info", "length=0.0005", "--pile-info",
                               "no=Q1,length=3,diameter=500,date=2024-02-03", "--sort", "asc", "--select",
                               "point:9", "--tick", "1", "--delete-ticked"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out,
              "unchanged\nrefused: 请选择要保存的测点\nrefused: 已存在该名称的桩号！\nrefused: 桩长必须大于0！\nok\nok\n"
              "refused: no test point 9\nok\nok\n");
    EXPECT_NE(r.err.find("refused"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("t.tav")));
    EXPECT_EQ(Piles(out), (Names{"P2"})) << "Q1 sorted behind P2, then ticked and deleted";
}

TEST(TavtoolList, PanelEditsAndTheirScope) {
    TempDir dir;
    const auto a = WriteProject(dir, "a.tav", {"P1", "P2", "P3"});
    const auto out = dir.File("out.tav");
    const auto r = RunTavtool({"list", a, "-o", out, "--scope", "1", "--edit-point", "diameter=750", "--edit-header",
                               "projectName=新名称", "--select", "point:2", "--edit-point", "pileNo=ABCDEFGHIJKL",
                               "--edit-point", "diameter=abc"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "ok\nok\nok\nok\nrefused: 桩径应为1～32767之间的整数！\n");
    const auto doc = nlohmann::json::parse(RunTavtool({"dump", "--no-samples", out}).out);
    EXPECT_EQ(doc["header"]["projectName"], "新名称");
    for (const auto& p : doc["points"]) {
        EXPECT_EQ(p["diameter"], 750);
        EXPECT_EQ(p["pileNo"], "ABCDEFGHI") << "scope 1 takes every listed test point";
    }
}

TEST(TavtoolList, UsageErrors) {
    TempDir dir;
    const auto a = WriteProject(dir, "a.tav", {"P1"});
    EXPECT_EQ(RunTavtool({"list", a, "--delete"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"list", a, "--in-place", "--frobnicate"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"list", a, "--in-place", "--copy"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"list", dir.File("missing.tav"), "--in-place", "--delete"}).exitCode, 3);
}

}  // namespace
}  // namespace tav
