#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "model/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::RunTavtool;
using testing::TempDir;

void WriteProject(const std::string& path, bool version4) {
    auto a = testing::WaveformPoint("P1", 256, 1);
    a.checked = 1;
    const auto image = testing::ProjectImage(testing::MakeHeader("unit", "batch"), {a, testing::WaveformPoint("P2", 256, 2)},
                                             {}, version4);
    fs::create_directories(fs::path(path).parent_path());
    WriteFileAtomically(path, image);
}

void WriteBroken(const std::string& path) {
    WriteFileAtomically(path, std::vector<std::uint8_t>{'T', 'A', 'V', '9', '9', 0, 0, 0});
}

TEST(TavtoolBatch, ConvertsTheGoodFilesOfFoldersAndNamesEachBrokenOne) {
    TempDir dir;
    WriteProject(dir.File("site/a.tav"), true);
    WriteProject(dir.File("site/B.TAV"), false);
    WriteBroken(dir.File("site/broken.tav"));
    WriteFileAtomically(dir.File("site/notes.txt"), std::vector<std::uint8_t>{'x'});
    WriteProject(dir.File("site/deeper/c.tav"), false);  // sub-folders are not entered
    WriteProject(dir.File("other/a.tav"), false);         // same name as site/a.tav
    WriteProject(dir.File("single.tav"), true);

    const auto r = RunTavtool({"convert", "--out", dir.File("out"), dir.File("site"), dir.File("single.tav"),
                               dir.File("other/a.tav"), dir.File("missing.tav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "已转换 3 个，失败 3 个\n");
    EXPECT_NE(r.err.find(dir.File("site/broken.tav") + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.File("missing.tav") + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.File("other/a.tav") + ": "), std::string::npos) << "a name already converted: " << r.err;
    EXPECT_EQ(r.err.find("\r"), std::string::npos) << "no progress bar off a terminal";

    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(dir.File("out"))) written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"B.TAV", "a.tav", "single.tav"}));

    // Each file is exactly what the one-file conversion writes.
    ASSERT_EQ(RunTavtool({"convert", dir.File("site/a.tav"), dir.File("one.tav")}).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("one.tav")), ReadWholeFile(dir.File("out/a.tav")));
}

TEST(TavtoolBatch, ConvertUsage) {
    TempDir dir;
    WriteProject(dir.File("a.tav"), false);
    EXPECT_EQ(RunTavtool({"convert", dir.File("a.tav")}).exitCode, 1) << "one name without --out";
    EXPECT_EQ(RunTavtool({"convert", dir.File("a.tav"), dir.File("b.tav"), dir.File("c.tav")}).exitCode, 1);
    WriteFileAtomically(dir.File("file"), std::vector<std::uint8_t>{'x'});
    const auto r = RunTavtool({"convert", "--out", dir.File("file/out"), dir.File("a.tav")});
    EXPECT_EQ(r.exitCode, 3) << "the output folder cannot be made";
}

TEST(TavtoolBatch, RendersEachProjectIntoAFolderOfItsOwn) {
    TempDir dir;
    WriteProject(dir.File("in/one.tav"), false);
    WriteProject(dir.File("in/two.tav"), true);
    WriteBroken(dir.File("in/three.tav"));
    const auto r = RunTavtool({"render", dir.File("in"), "-o", dir.File("pictures"), "--format", "png"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "已绘图的工程 2 个，失败 1 个\n");
    EXPECT_NE(r.err.find(dir.File("in/three.tav") + ": "), std::string::npos) << r.err;
    for (const char* project : {"one", "two"}) {
        std::size_t pictures = 0;
        for (const auto& e : fs::directory_iterator(dir.File("pictures/") + project)) {
            EXPECT_EQ(e.path().extension(), ".png");
            ++pictures;
        }
        EXPECT_EQ(pictures, 1u) << project << ": the one ticked test point";
    }
    EXPECT_EQ(RunTavtool({"render", dir.File("in"), "--docx", dir.File("all.docx")}).exitCode, 1);
}

}  // namespace
}  // namespace tav
