#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string Project(const TempDir& dir) {
    const auto a = testing::WaveformPoint("P1", 1000, 1);
    const auto b = testing::WaveformPoint("P2", 600, 2);
    const auto path = dir.File("p.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), {a, b}, {}));
    return path;
}

nlohmann::json Analyze(const std::vector<std::string>& args) {
    const auto r = RunTavtool(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out);
}

TEST(AnalyzeTool, Spectra) {
    TempDir dir;
    const auto path = Project(dir);
    const auto s = Analyze({"analyze", path, "spectrum", "--point", "0", "--type", "9"});
    EXPECT_EQ(s["type"], 0);
    EXPECT_EQ(s["n"], 1000);
    EXPECT_EQ(s["shown"], 500);
    EXPECT_EQ(s["values"].size(), 1000u);
    ASSERT_EQ(s["lineHz"].size(), 500u);
    EXPECT_DOUBLE_EQ(s["lineHz"][10].get<double>(), 500.0);
    EXPECT_EQ(s["viewMin"], 0);

    const auto log = Analyze({"analyze", path, "spectrum", "--point", "1", "--type", "4"});
    EXPECT_EQ(log["type"], 4);
    EXPECT_EQ(log["viewMin"].get<double>(), -log["viewMax"].get<double>());

    const auto cross = Analyze({"analyze", path, "cross-power", "--a", "0", "--b", "1"});
    EXPECT_EQ(cross["type"], 2);
    EXPECT_EQ(cross["n"], 1000) << "A's length; the shorter B reads as zeros";

    EXPECT_EQ(RunTavtool({"analyze", path, "spectrum", "--point", "0", "--type", "2"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"analyze", path, "spectrum", "--point", "5"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"analyze", path, "cross-power", "--a", "0", "--b", "2"}).exitCode, 2);
}

TEST(AnalyzeTool, Wavelet) {
    TempDir dir;
    const auto path = Project(dir);
    const auto w = Analyze({"analyze", path, "wavelet", "--point", "0", "--family", "5", "--order", "7", "--levels", "3"});
    const auto& subs = w["subsignals"];
    ASSERT_EQ(subs.size(), 8u);
    EXPECT_EQ(subs[0]["caption"], "P1 原始信号");
    EXPECT_EQ(subs[0]["kind"], 0);
    EXPECT_EQ(subs[1]["kind"], 4);
    EXPECT_EQ(subs[7]["index"], 7);
    EXPECT_EQ(subs[7]["caption"], "第3级 细节信号");
    EXPECT_EQ(subs[7]["values"].size(), 128u);

    EXPECT_EQ(RunTavtool({"analyze", path, "wavelet", "--point", "0", "--family", "7", "--order", "0", "--levels", "1"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"analyze", path, "wavelet", "--point", "0", "--family", "0", "--order", "1", "--levels", "1"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"analyze", path, "wavelet", "--point", "0", "--family", "0", "--order", "0", "--levels", "10"}).exitCode, 2);
}

TEST(AnalyzeTool, CorrelationAndAverage) {
    TempDir dir;
    const auto path = Project(dir);
    const auto ac = Analyze({"analyze", path, "autocorr", "--point", "0"});
    EXPECT_EQ(ac["values"].size(), 1000u);
    EXPECT_LT(ac["templateStart"].get<int>(), ac["templateEnd"].get<int>());
    EXPECT_LE(ac["viewMax"].get<double>(), 1.0 + 1e-6);

    const auto cc = Analyze({"analyze", path, "crosscorr", "--a", "1", "--b", "0"});
    EXPECT_EQ(cc["values"].size(), 600u);

    const auto same = Analyze({"analyze", path, "average", "--points", "0,0"});
    const auto one = Analyze({"dump", path})["points"][0];
    EXPECT_EQ(same["values"], one["samples"]);
    const auto mixed = Analyze({"analyze", path, "average", "--points", "0,1"});
    for (const auto& v : mixed["values"]) ASSERT_EQ(v.get<double>(), 0.0);
    EXPECT_EQ(RunTavtool({"analyze", path, "average", "--points", "0,3"}).exitCode, 2);
}

}  // namespace
}  // namespace tav
