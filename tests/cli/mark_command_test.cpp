#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir) {
    const auto image = testing::ProjectImage(testing::MakeHeader("unit", "marks"),
                                             {testing::WaveformPoint("P1", 1024, 1)}, {});
    const std::string path = dir.File("p.tav");
    WriteFileAtomically(path, image);
    return path;
}

nlohmann::json Point(const std::string& path) {
    const auto r = RunTavtool({"dump", "--no-samples", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out)["points"][0];
}

TEST(TavtoolMark, OpsRunInOrderAndRefusalsAreReported) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const int head = Point(in)["headIndex"];
    const auto out = dir.File("out.tav");
    const auto r = RunTavtool({"mark", in, "-o", out, "--point", "0", "--toe", std::to_string(head + 600),
                               "--defect", std::to_string(head + 60) + ":3", "--defect",
                               std::to_string(head + 61) + ":1", "--defect",
                               std::to_string(head + 160) + ":8:空洞:有:冒号", "--mark", "spectrum:10", "--mark",
                               "wavelet:2:40", "--delete-defect", "5", "--head", "5000"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "ok\nok\nrefused: 缺陷间距过小！\nok\nok\nok\nrefused\nrefused: 设置位置错误\n");
    EXPECT_NE(r.err.find(in), std::string::npos);

    const auto p = Point(out);
    EXPECT_EQ(p["toeIndex"], head + 600);
    EXPECT_EQ(p["waveSpeed"], 2000) << "12 m over 600 samples of 20 µs";
    ASSERT_EQ(p["defects"].size(), 2u);
    EXPECT_EQ(p["defects"][0]["name"], "断桩(Ⅳ)");
    EXPECT_EQ(p["defects"][1]["name"], "空洞");
    EXPECT_EQ(p["defects"][1]["description"], "有:冒号");
    EXPECT_EQ(p["spectrumMarks"], nlohmann::json::array({10}));
    EXPECT_EQ(p["waveletMarks"][0]["level"], 2);

    const auto cls = RunTavtool({"analyze", out, "class", "--point", "0"});
    EXPECT_EQ(nlohmann::json::parse(cls.out)["class"], 3);
}

TEST(TavtoolMark, AnswerDecidesAboutDefectsOutsideThePile) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const int head = Point(in)["headIndex"];
    const auto defect = std::to_string(head + 20) + ":1";
    const auto newHead = std::to_string(head + 50);

    ASSERT_EQ(RunTavtool({"mark", in, "--in-place", "--point", "0", "--defect", defect, "--head", newHead}).exitCode,
              0);
    EXPECT_EQ(Point(in)["defects"].size(), 1u) << "the default answer is no";

    const auto r = RunTavtool({"mark", in, "--in-place", "--point", "0", "--answer", "yes", "--head", newHead,
                               "--mark", "correlation:7", "--delete-mark", "correlation:0", "--clear-defects"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ok\nok\nok\nok\n");
    EXPECT_TRUE(Point(in)["defects"].empty());
    EXPECT_TRUE(Point(in)["correlationMarks"].empty());
}

TEST(TavtoolMark, UsageErrorsWriteNothing) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    EXPECT_EQ(RunTavtool({"mark", in, "-o", out, "--head", "100"}).exitCode, 1) << "no --point";
    EXPECT_EQ(RunTavtool({"mark", in, "-o", out, "--point", "0", "--mark", "sideways:3"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"mark", in, "-o", out, "--point", "0", "--defect", "x:1"}).exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(RunTavtool({"mark", in, "-o", out, "--point", "3", "--head", "100"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(TavtoolMark, OneRefusedOperationIsEnoughToFail) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    const auto alone = RunTavtool({"mark", in, "-o", out, "--point", "0", "--head", "5000"});
    EXPECT_EQ(alone.exitCode, 2) << alone.err;
    EXPECT_EQ(alone.out, "refused: 设置位置错误\n");
    EXPECT_NE(alone.err.find("1 of 1 operations refused"), std::string::npos) << alone.err;

    const int head = Point(in)["headIndex"];
    const auto mixed = RunTavtool({"mark", in, "-o", out, "--point", "0", "--mark", "spectrum:10", "--head", "5000"});
    EXPECT_EQ(mixed.exitCode, 2);
    EXPECT_EQ(Point(out)["spectrumMarks"], nlohmann::json::array({10})) << "the others are saved";
    EXPECT_EQ(Point(out)["headIndex"], head);
    EXPECT_EQ(RunTavtool({"mark", in, "-o", out, "--point", "0", "--mark", "spectrum:10"}).exitCode, 0);
}

}  // namespace
}  // namespace tav
