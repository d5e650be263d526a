#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir) {
    const auto image = testing::ProjectImage(testing::MakeHeader("unit", "p"), {testing::WaveformPoint("P1", 256, 1)}, {});
    const std::string path = dir.File("p.tav");
    WriteFileAtomically(path, image);
    return path;
}

TEST(TavtoolSaving, ConcurrentInPlaceEditsAreAllKept) {
    TempDir dir;
    const auto path = WriteProject(dir);
    const auto clip = dir.File("clip.bin");
    ASSERT_EQ(RunTavtool({"list", path, "-o", dir.File("scratch.tav"), "--select", "point:0", "--copy", clip}).exitCode, 0);
    // Chain edits and list edits of the same file, all in place at once.
    constexpr int kEditors = 4;
    std::vector<testing::ToolResult> results(kEditors);
    std::vector<std::thread> editors;
    for (int i = 0; i < kEditors; ++i)
        editors.emplace_back([&, i] {
            results[i] = i % 2 == 0 ? RunTavtool({"process", path, "--in-place", "--append", "reverse"})
                                    : RunTavtool({"list", path, "--in-place", "--append", clip});
        });
    for (auto& t : editors) t.join();
    for (const auto& r : results) EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(RunTavtool({"dump", "--no-samples", path}).out);
    EXPECT_EQ(j["points"].size(), 1u + kEditors / 2) << "no appended test point is lost";
    EXPECT_EQ(j["points"][0]["steps"].size(), static_cast<std::size_t>(kEditors / 2)) << "no chain edit is lost";
}

TEST(TavtoolSaving, AnEditorThatCannotGetTheFileSaysSo) {
    TempDir dir;
    const auto path = WriteProject(dir);
    FileEditLock held;
    ASSERT_TRUE(held.Acquire(path, 0));
    // The mark command waits for the lock; a file that cannot be opened fails at once.
    const auto missing = RunTavtool({"mark", dir.File("missing.tav"), "--in-place", "--point", "0", "--head", "3"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("missing.tav: 无法打开"), std::string::npos) << missing.err;
    held.Release();
    EXPECT_EQ(RunTavtool({"mark", path, "--in-place", "--point", "0", "--clear-defects"}).exitCode, 0);
}

TEST(TavtoolSaving, SaveErrorsAreSaidOnce) {
    TempDir dir;
    const auto r = RunTavtool({"convert", WriteProject(dir), "/nonexistent-folder/x.tav"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "tavtool: /nonexistent-folder/x.tav: 无法在“/nonexistent-folder”中创建文件：文件或文件夹不存在\n");
}

TEST(TavtoolSaving, SynthReplacesProjectAndTruthTogether) {
    TempDir dir;
    const auto project = dir.File("site.tav");
    const auto truth = dir.File("site.truth.json");
    ASSERT_EQ(RunTavtool({"synth", "-o", project, "--piles", "1", "--seed", "1"}).exitCode, 0);
    const auto oldProject = *ReadWholeFile(project);
    const auto oldTruth = *ReadWholeFile(truth);

    // The truth cannot be written: neither file changes.
    const auto r = RunTavtool({"synth", "-o", project, "--piles", "2", "--seed", "2", "--truth",
                               dir.File("missing-folder/t.json")});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(*ReadWholeFile(project), oldProject);
    EXPECT_EQ(*ReadWholeFile(truth), oldTruth);
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".tav-save-")) << e.path();

    ASSERT_EQ(RunTavtool({"synth", "-o", project, "--piles", "2", "--seed", "2"}).exitCode, 0);
    EXPECT_NE(*ReadWholeFile(project), oldProject);
    EXPECT_NE(*ReadWholeFile(truth), oldTruth);
}

}  // namespace
}  // namespace tav
