// tavtool process and tavtool analyze summary, run as a user would.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "processing/chain.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir, const std::string& name = "in.tav") {
    std::vector<TestPoint> points;
    for (int i = 0; i < 3; ++i) points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 512, i + 1U));
    const std::string path = dir.File(name);
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"), points, {}));
    return path;
}

nlohmann::json Dump(const std::string& path) {
    const auto r = RunTavtool({"dump", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out);
}

TEST(TavtoolProcess, AppendRunsTheWindowsCreatePath) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    const auto r = RunTavtool({"process", in, "-o", out, "--point", "1", "--point", "2", "--append",
                               "filter:filterKind=1,filterUpperHz=500", "--append", "magnify:magnifyFactor=5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = Dump(out);
    EXPECT_TRUE(j["points"][0]["steps"].empty());
    for (const int k : {1, 2}) {
        const auto& p = j["points"][k];
        ASSERT_EQ(p["steps"].size(), 2u);
        EXPECT_EQ(p["steps"][0]["opType"], 3);
        EXPECT_EQ(p["steps"][0]["filterUpperHz"], 500);
        EXPECT_EQ(p["steps"][1]["opType"], 13);
        EXPECT_EQ(p["steps"][1]["magnifyStart"], p["headIndex"]) << "magnification starts at the first target's head";
        EXPECT_EQ(p["lastParams"]["opType"], 13);
        EXPECT_EQ(p["lastParams"]["filterUpperHz"], 500);
    }

    // The same through the library gives the same samples.
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(OpenFile(doc, in).status, LoadStatus::Ok);
    const TargetSet targets{1, 2};
    ProcessStep f = PrefillNewStep(doc, targets, kOpFilter, std::nullopt);
    f.filterUpperHz = 500.0f;
    FinishNewStep(doc, targets, f, true);
    ProcessStep m = PrefillNewStep(doc, targets, kOpMagnify, std::nullopt);
    m.magnifyFactor = 5.0f;
    FinishNewStep(doc, targets, m, true);
    const auto& samples = j["points"][1]["samples"];
    ASSERT_EQ(samples.size(), 512u);
    for (std::size_t i = 0; i < 512; ++i) ASSERT_EQ(samples[i].get<float>(), doc.points[1].samples[i]) << i;
    EXPECT_EQ(j["points"][1]["headIndex"], doc.points[1].headIndex);
    EXPECT_EQ(j["points"][1]["waveSpeed"], doc.points[1].waveSpeed);
}

TEST(TavtoolProcess, EveryOperationCodeRuns) {
    TempDir dir;
    const auto in = WriteProject(dir);
    std::vector<std::string> args{"process", in, "--in-place"};
    for (const char* step :
         {"integrate", "differentiate", "filter", "linzero", "nonlinzero", "reverse", "smooth", "dc", "frontzero",
          "rearzero", "shift:shiftX=2", "rotate:rotateAngle=0.01", "magnify", "14", "15", "localscale:scaleEnd=100"}) {
        args.push_back("--append");
        args.push_back(step);
    }
    const auto r = RunTavtool(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = Dump(in);
    const auto& steps = j["points"][0]["steps"];
    ASSERT_EQ(steps.size(), 16u);
    for (int code = 1; code <= 16; ++code) EXPECT_EQ(steps[code - 1]["opType"], code);
}

TEST(TavtoolProcess, MetresAreConvertedWithTheFirstTarget) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto out = dir.File("out.tav");
    // Head 40, 20 µs, 4000 m/s: 0.04 m per sample.
    const auto r =
        RunTavtool({"process", in, "-o", out, "--append", "localscale:scaleStart=1m,scaleEnd=3.5m,scaleFactor=2",
                    "--append", "shift:shiftX=0.4m,shiftY=-1.5,shiftMode=1,shiftStart=40,shiftEnd=400"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto steps = Dump(out)["points"][0]["steps"];
    EXPECT_EQ(steps[0]["scaleStart"], 65);
    EXPECT_EQ(steps[0]["scaleEnd"], 127);
    EXPECT_EQ(steps[1]["shiftX"], 10) << "a shift in metres is a length, not a depth";
    EXPECT_EQ(steps[1]["shiftY"], -1.5);
}

TEST(TavtoolProcess, ReplaceInsertDeleteUndoClear) {
    TempDir dir;
    const auto in = WriteProject(dir);
    ASSERT_EQ(RunTavtool({"process", in, "--in-place", "--all", "--append", "reverse", "--append",
                          "smooth:smoothPoints=4", "--append", "dc"})
                  .exitCode,
              0);
    auto r = RunTavtool({"process", in, "--in-place", "--all", "--replace", "1", "smooth:smoothPoints=8", "--insert",
                         "0", "differentiate", "--delete", "3", "--replace", "9", "smooth"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto j = Dump(in);
    for (const auto& p : j["points"]) {
        ASSERT_EQ(p["steps"].size(), 3u);
        EXPECT_EQ(p["steps"][0]["opType"], 2);
        EXPECT_EQ(p["steps"][1]["opType"], 6);
        EXPECT_EQ(p["steps"][2]["smoothPoints"], 8);
        EXPECT_EQ(p["lastParams"]["smoothPoints"], 8);
    }
    ASSERT_EQ(RunTavtool({"process", in, "--in-place", "--point", "2", "--undo-last"}).exitCode, 0);
    j = Dump(in);
    EXPECT_EQ(j["points"][2]["steps"].size(), 2u);
    EXPECT_EQ(j["points"][0]["steps"].size(), 3u);
    ASSERT_EQ(RunTavtool({"process", in, "--in-place", "--point", "0", "--clear"}).exitCode, 0);
    j = Dump(in);
    EXPECT_TRUE(j["points"][0]["steps"].empty());
    EXPECT_EQ(j["points"][0]["samples"], j["points"][0]["rawSamples"]);
}

TEST(TavtoolProcess, BadStepArgumentsExitOneAndWriteNothing) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto before = *ReadWholeFile(in);
    const auto out = dir.File("out.tav");
    const std::vector<std::vector<std::string>> bad{
        {"--append", "wobble"},
        {"--append", "filter:filterUpperHz"},
        {"--append", "filter:noSuchField=3"},
        {"--append", "filter:filterKind=1.5"},
        {"--append", "filter:filterUpperHz=fast"},
        {"--append", "smooth:smoothPoints=99999999999"},
        {"--append", "filter:filterUpperHz=3m"},
        {"--append", "17"},
        {"--delete", "x"},
        {"--replace", "1"},
        {"--frobnicate"},
    };
    for (const auto& ops : bad) {
        std::vector<std::string> args{"process", in, "-o", out};
        args.insert(args.end(), ops.begin(), ops.end());
        const auto r = RunTavtool(args);
        EXPECT_EQ(r.exitCode, 1) << ops[0] << " " << (ops.size() > 1 ? ops[1] : "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(ReadWholeFile(out).has_value());
    }
    EXPECT_EQ(RunTavtool({"process", in, "--append", "dc"}).exitCode, 1);  // neither -o nor --in-place
    EXPECT_EQ(RunTavtool({"process", in, "-o", out, "--in-place"}).exitCode, 1);
    EXPECT_EQ(*ReadWholeFile(in), before);
    // Values that parse as floats: nan and inf.
    EXPECT_EQ(RunTavtool({"process", in, "-o", out, "--append", "rotate:rotateAngle=nan,rotateScale=inf"}).exitCode, 0);
    // A test point outside the project: bad data, nothing written.
    const auto other = dir.File("other.tav");
    EXPECT_EQ(RunTavtool({"process", in, "-o", other, "--point", "7", "--append", "dc"}).exitCode, 2);
    EXPECT_FALSE(ReadWholeFile(other).has_value());
    EXPECT_EQ(RunTavtool({"process", dir.File("missing.tav"), "-o", other}).exitCode, 3);
}

TEST(TavtoolProcess, HelpPrintsTheUsage) {
    const auto r = RunTavtool({"process", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--append STEP"), std::string::npos);
}

TEST(TavtoolAnalyzeSummary, LinesForEveryCode) {
    TempDir dir;
    const auto in = WriteProject(dir);
    ASSERT_EQ(RunTavtool({"process", in, "--in-place", "--append", "filter:filterUpperHz=300", "--append", "reverse",
                          "--append", "reverse", "--append", "integrate"})
                  .exitCode,
              0);
    const auto r = RunTavtool({"analyze", in, "summary", "--point", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out)["summary"];
    ASSERT_EQ(j.size(), 16u);
    EXPECT_EQ(j["1"], nlohmann::json::array({"积分次数:1"}));
    EXPECT_EQ(j["3"], nlohmann::json::array({"低通:300.00Hz"}));
    EXPECT_EQ(j["6"], nlohmann::json::array({"反向:否"}));
    EXPECT_EQ(j["8"], nlohmann::json::array({"去直流:否"}));
    EXPECT_TRUE(j["2"].empty());
    EXPECT_EQ(RunTavtool({"analyze", in, "summary", "--point", "3"}).exitCode, 2);
}

}  // namespace
}  // namespace tav
