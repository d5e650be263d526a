// tavtool process --panel: the parameter panels typed into from a script.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

// Three test points: head 40, 20 µs, 4000 m/s (25 samples a metre), pile 12 m.
std::string WriteProject(const TempDir& dir) {
    std::vector<TestPoint> points;
    for (int i = 0; i < 3; ++i) points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 512, i + 1U));
    const std::string path = dir.File("in.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"), points, {}));
    return path;
}

nlohmann::json Steps(const std::string& path, int point = 0) {
    const auto r = RunTavtool({"dump", "--no-samples", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out)["points"][point]["steps"];
}

// Each panel on a fresh copy: the head a step re-locates would move the metres of the next.
TEST(TavtoolPanel, EveryPanelTypesAndConfirms) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    const auto step = [&](std::vector<std::string> panel) {
        std::vector<std::string> args{"process", in, "-o", out, "--panel"};
        args.insert(args.end(), panel.begin(), panel.end());
        const auto r = RunTavtool(args);
        EXPECT_EQ(r.exitCode, 0) << panel[0] << ": " << r.err << r.out;
        const auto steps = Steps(out);
        return steps.size() == 1 ? steps[0] : nlohmann::json::object();
    };
    auto s = step({"filter:kind=band,upper=1200,lower=100"});
    EXPECT_EQ(s["filterKind"], 3);
    EXPECT_EQ(s["filterUpperHz"], 1200);
    EXPECT_EQ(s["filterLowerHz"], 100);
    s = step({"magnify:mode=linear,factor=5000,delay=-1"});
    EXPECT_EQ(s["magnifyMode"], 1);
    EXPECT_EQ(s["magnifyFactor"], 1000) << "the popup's list ends at 1000";
    EXPECT_EQ(s["magnifyStart"], 40) << "a negative delay is the head";
    s = step({"dc:mode=part,start=1.004"});
    EXPECT_EQ(s["dcMode"], 2);
    EXPECT_EQ(s["dcStart"], 65) << "1.004 m is read as 1.00 m";
    EXPECT_EQ(step({"smooth:points=8"})["smoothPoints"], 8);
    s = step({"rotate:mode=part,start=2,angle=-3.5"});
    EXPECT_EQ(s["rotateMode"], 1);
    EXPECT_EQ(s["rotateStart"], 90);
    EXPECT_NEAR(s["rotateAngle"].get<double>(), -3.5 * M_PI / 180.0, 1e-6);
    EXPECT_EQ(s["rotateScale"], 1) << "no view: the scale keeps its value";
    EXPECT_EQ(step({"linzero:mode=toe"})["linZeroMode"], 2);
    s = step({"nonlinzero:mode=part,start=4", "--form", "docked"});
    EXPECT_EQ(s["nonlinZeroMode"], 1);
    EXPECT_EQ(s["nonlinZeroStart"], 140);
    EXPECT_EQ(step({"frontzero:position=-0.4"})["frontZeroPos"], 30);
    EXPECT_EQ(step({"rearzero:position=12"})["rearZeroPos"], 340);
    s = step({"localscale:start=1,end=3.5,factor=2"});
    EXPECT_EQ(s["scaleStart"], 65);
    EXPECT_EQ(s["scaleEnd"], 127);
    EXPECT_EQ(s["scaleFactor"], 2);
    s = step({"shift:mode=part,start=1,end=2,x=0.4,y=-1.5", "--form", "docked"});
    EXPECT_EQ(s["shiftMode"], 1);
    EXPECT_EQ(s["shiftStart"], 65);
    EXPECT_EQ(s["shiftX"], 10) << "the shift amount is a length";
    EXPECT_EQ(s["shiftY"], -1.5);
}

TEST(TavtoolPanel, ARefusalPrintsThePanelsMessageAndWritesNothing) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--panel", "filter:kind=band,upper=300,lower=300"}, "请设置为上限频率大于下限频率！"},
        {{"--panel", "rotate:angle=12"}, "旋转角度应在(-10°~10°)之间"},
        {{"--panel", "rotate:angle=-90", "--form", "docked"}, "旋转角度应在(-90°~90°)之间"},
        {{"--panel", "magnify:factor=0.5", "--form", "docked"}, "放大系数应在(1~1000)之间"},
        {{"--panel", "frontzero:position=0.01"}, "前清零位置应在桩头之前！"},
        {{"--panel", "rearzero:position=11.99"}, "后清零位置应在桩尾之后！"},
        {{"--panel", "localscale:start=6,end=5"}, "起始点应小于终止点！"},
        {{"--panel", "localscale:factor=0", "--form", "docked"}, "缩放系数应在（0.0001~10000）之间！"},
        {{"--panel", "smooth:points=33"}, "平滑点数应在1~32之间！"},
        {{"--panel", "dc:start=abc"}, "请在“起始位置(m)”中输入有效的数值！"},
        {{"--panel", "shift:y=1e999"}, "请在“竖向平移(mV)”中输入有效的数值！"},
        {{"--panel", "dc:start=nan"}, "请在“起始位置(m)”中输入有效的数值！"},
    };
    for (const auto& [ops, message] : refused) {
        // An accepted panel before the refused one is not written either.
        std::vector<std::string> args{"process", in, "-o", out, "--panel", "smooth:points=3"};
        args.insert(args.end(), ops.begin(), ops.end());
        const auto r = RunTavtool(args);
        EXPECT_EQ(r.exitCode, 2) << ops[1];
        EXPECT_EQ(r.out, "refused: " + message + "\n");
        EXPECT_FALSE(ReadWholeFile(out).has_value()) << ops[1];
    }
    // What the docked strip accepts.
    EXPECT_EQ(RunTavtool({"process", in, "-o", out, "--panel", "rotate:angle=12", "--form", "docked"}).exitCode, 0);
}

TEST(TavtoolPanel, EditOpensOnTheStepAndReplacesIt) {
    TempDir dir;
    const auto in = WriteProject(dir);
    ASSERT_EQ(RunTavtool({"process", in, "--in-place", "--all", "--panel", "filter:kind=low,upper=800", "--panel",
                          "smooth:points=4"})
                  .exitCode,
              0);
    // Keys left out keep what the edited step shows: the kind and the upper frequency.
    auto r = RunTavtool({"process", in, "--in-place", "--all", "--panel", "filter:lower=200", "--edit", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (int k = 0; k < 3; ++k) {
        const auto s = Steps(in, k);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0]["filterKind"], 1);
        EXPECT_EQ(s[0]["filterUpperHz"], 800);
        EXPECT_EQ(s[1]["smoothPoints"], 4);
    }
    r = RunTavtool({"process", in, "--in-place", "--panel", "filter:kind=high,lower=250", "--edit", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Steps(in)[0]["filterKind"], 2);
    EXPECT_EQ(Steps(in)[0]["filterLowerHz"], 250);

    // Nothing to edit: the wrong operation or no such step.
    const auto out = dir.File("out.tav");
    for (const char* pos : {"1", "5", "-1"}) {
        r = RunTavtool({"process", in, "-o", out, "--panel", "filter:upper=900", "--edit", pos});
        EXPECT_EQ(r.exitCode, 2) << pos;
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(ReadWholeFile(out).has_value());
    }
}

TEST(TavtoolPanel, UsageErrorsExitOne) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    for (const std::vector<std::string>& ops : std::vector<std::vector<std::string>>{
             {"--panel", "integrate"},
             {"--panel", "filter:kind=wide"},
             {"--panel", "filter:filterUpperHz=300"},
             {"--panel", "filter:upper"},
             {"--panel", "smooth", "--form", "floating"},
             {"--form", "docked", "--panel", "smooth"},
             {"--panel", "smooth", "--edit", "x"},
         }) {
        std::vector<std::string> args{"process", in, "-o", out};
        args.insert(args.end(), ops.begin(), ops.end());
        const auto r = RunTavtool(args);
        EXPECT_EQ(r.exitCode, 1) << ops[1];
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(ReadWholeFile(out).has_value());
    }
}

}  // namespace
}  // namespace tav
