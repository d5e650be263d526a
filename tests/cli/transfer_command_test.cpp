#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::RunTavtool;
using testing::TempDir;

// Two project files made into a simulated instrument's storage by tavtool.
struct Instrument {
    Instrument() {
        for (int p = 0; p < 2; ++p) {
            std::vector<TestPoint> points;
            for (int i = 0; i < 3; ++i)
                points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 1024, static_cast<unsigned>(p * 10 + i)));
            const auto image = testing::ProjectImage(
                testing::MakeHeader(Utf8ToCp936("单位"), Utf8ToCp936(p == 0 ? "桥梁" : "厂房")), points, {});
            files.push_back(dir.File("p" + std::to_string(p) + ".tav"));
            WriteFileAtomically(files.back(), image);
        }
        const auto r = RunTavtool({"instrument", dir.File("sd"), files[0], files[1]});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    TempDir dir;
    std::vector<std::string> files;
};

TEST(TransferCommand, ListsDownloadsAndConvertsFromTheSimulator) {
    Instrument in;
    auto r = RunTavtool({"transfer", "--sim", in.dir.File("sd"), "--list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list["entries"].size(), 2u);
    EXPECT_EQ(list["entries"][1]["name"], "厂房");
    EXPECT_EQ(list["entries"][1]["localName"], "厂房.tav");
    EXPECT_EQ(list["entries"][1]["folder"], "XM002");
    EXPECT_EQ(list["entries"][1]["count"], 3);

    r = RunTavtool({"transfer", "--sim", in.dir.File("sd"), "--all", "--out", in.dir.File("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ok " + in.dir.File("out/桥梁.tav") + "\nok " + in.dir.File("out/厂房.tav") + "\n");
    CTAV_AnalyserDoc original, converted;
    ASSERT_EQ(OpenFile(original, in.files[1]).status, LoadStatus::Ok);
    ASSERT_EQ(OpenFile(converted, in.dir.File("out/厂房.tav")).status, LoadStatus::Ok);
    ASSERT_EQ(converted.PointCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(converted.points[i].rawSamples, original.points[i].rawSamples) << i;
}

TEST(TransferCommand, FailuresAndMistakesHaveTheirExitCodes) {
    Instrument in;
    const std::string sd = in.dir.File("sd");
    // A peer that stalls at every nibble never delivers.
    auto r = RunTavtool({"transfer", "--sim", sd, "--faults", "stall=1,seed=4", "--all", "--out", in.dir.File("o")});
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_FALSE(fs::exists(in.dir.File("o/桥梁.tav")));

    r = RunTavtool({"transfer", "--sim", sd, "--projects", "0,5", "--out", in.dir.File("o")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("project 5"), std::string::npos) << r.err;
    EXPECT_EQ(RunTavtool({"transfer", "--sim", sd, "--port", "/dev/null", "--list"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"transfer", "--sim", sd, "--all"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"transfer", "--sim", sd, "--faults", "flip=2", "--list"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"transfer", "--sim", in.dir.File("none"), "--list"}).exitCode, 3);
    r = RunTavtool({"transfer", "--port", "/nonexistent/parport0", "--list"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("设备不存在"), std::string::npos) << r.err;
    // An output folder that cannot be made.
    WriteFileAtomically(in.dir.File("plain"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(RunTavtool({"transfer", "--sim", sd, "--all", "--out", in.dir.File("plain/x")}).exitCode, 3);
}

}  // namespace
}  // namespace tav
