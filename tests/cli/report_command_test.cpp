#include <gtest/gtest.h>

#include <filesystem>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "output/report_data_file.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/synth_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"

namespace tav {
namespace {

using testing::ReportPoint;
using testing::RunTavtool;
using testing::TempDir;

std::string WriteProject(const TempDir& dir, bool tick = true) {
    std::vector<TestPoint> points{ReportPoint("A1", {}, tick), ReportPoint("A1", {{9, 3.0f, "离析"}}, false),
                                  ReportPoint("B2", {{1, 2.0f, "缩径"}}, tick)};
    const std::string path = dir.File("p.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader(Utf8ToCp936("某检测公司"), Utf8ToCp936("某大楼")), points, {}));
    return path;
}

TEST(ReportCommand, WritesTheWorkbookOfTheCheckedOrListedPoints) {
    TempDir dir;
    const auto project = WriteProject(dir);
    const auto checked = RunTavtool({"report", project, "--xlsx", dir.File("a.xlsx")});
    ASSERT_EQ(checked.exitCode, 0) << checked.err;
    const auto strings = testing::ZipMember(dir.File("a.xlsx"), "xl/sharedStrings.xml");
    ASSERT_TRUE(strings);
    EXPECT_NE(strings->find("B2"), std::string::npos);
    EXPECT_NE(strings->find("(1)深度2.0m 缩径  "), std::string::npos);
    EXPECT_EQ(strings->find("离析"), std::string::npos);

    const auto listed = RunTavtool({"report", project, "--points", "1", "--xlsx", dir.File("b.xlsx")});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(testing::ZipMember(dir.File("b.xlsx"), "xl/sharedStrings.xml")->find("(1)深度3.0m 离析  "), std::string::npos);
}

TEST(ReportCommand, WritesTheDataFileAndTheDocument) {
    TempDir dir;
    const auto project = WriteProject(dir);
    const auto r = RunTavtool({"report", project, "--gwx", dir.File("r.gwx"), "--docx", dir.File("r.docx"), "--field",
                               "报告编号=R-7", "--field", "总桩数=9", "--standard", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, dir.File("r.gwx") + "\n" + dir.File("r.docx") + "\n");
    const auto bytes = ReadWholeFile(dir.File("r.gwx"));
    ASSERT_TRUE(bytes);
    const auto data = ReadReportData(*bytes);
    ASSERT_TRUE(data);
    ASSERT_EQ(data->entries.size(), 39u + 2 * 2);
    EXPECT_EQ(Cp936ToUtf8(data->entries[0].text), "R-7");
    EXPECT_EQ(Cp936ToUtf8(data->entries[13].text), "《水运工程基桩试验检测技术规范》JTS 240-2020");
    EXPECT_EQ(Cp936ToUtf8(data->entries[24].text), "9");
    // The curve pictures: 580 x 200 bitmaps.
    const auto& picture = data->entries[39].file;
    ASSERT_GT(picture.size(), 26u);
    EXPECT_EQ(picture[0], 'B');
    EXPECT_EQ(picture[18] | picture[19] << 8, 580);
    EXPECT_EQ(picture[22] | picture[23] << 8, 200);
    EXPECT_EQ(Cp936ToUtf8(data->entries[42].text), "图3.4-2  B2桩低应变检测曲线图");

    const auto body = testing::ZipMember(dir.File("r.docx"), "word/document.xml");
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("本次共检测某大楼2根桩"), std::string::npos);
    EXPECT_NE(body->find("桩身波速平均值按JGJ 106-2014第8.4.1条确定"), std::string::npos);  // the site speed paragraph
    EXPECT_TRUE(testing::ZipMember(dir.File("r.docx"), "word/media/TAV2.bmp"));
}

TEST(ReportCommand, MatchPutsEachFittedTestPointsProfileAfterItsCurve) {
    TempDir dir;
    const std::string project = dir.File("site.tav");
    testing::WriteSynthProject(project, 2, {1});  // P1 No.2 has no pile length
    const auto r = RunTavtool({"report", project, "--points", "0,1,2", "--gwx", dir.File("r.gwx"), "--docx",
                               dir.File("r.docx"), "--match", "--match-time-limit", "3600"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("P1 No.2 (test point 1)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("桩长不大于0"), std::string::npos) << r.err;
    const auto bytes = ReadWholeFile(dir.File("r.gwx"));
    ASSERT_TRUE(bytes);
    const auto data = ReadReportData(*bytes);
    ASSERT_TRUE(data);
    ASSERT_EQ(data->entries.size(), 39u + 2 * 5);
    EXPECT_EQ(data->entries[38].count, 5u);
    std::vector<std::string> captions;
    for (const auto& e : data->entries)
        if (Cp936ToUtf8(e.label) == "曲线图说明") captions.push_back(Cp936ToUtf8(e.text));
    EXPECT_EQ(captions, (std::vector<std::string>{"图3.4-1  P1桩低应变检测曲线图", "图3.4-1附  P1桩信号拟合及桩身阻抗剖面图",
                                                  "图3.4-2  P1桩低应变检测曲线图", "图3.4-3  P2桩低应变检测曲线图",
                                                  "图3.4-3附  P2桩信号拟合及桩身阻抗剖面图"}));
    const auto& profile = data->entries[41].file;  // after the first curve and its caption
    ASSERT_GT(profile.size(), 26u);
    EXPECT_EQ(profile[18] | profile[19] << 8, 580);
    EXPECT_EQ(profile[22] | profile[23] << 8, 348);

    if (!testing::PythonHas("docx")) GTEST_SKIP() << "python3-docx is not installed";
    const auto [ok, text] = testing::RunPython("import sys, docx\nprint(len(docx.Document(sys.argv[1]).inline_shapes))\n",
                                               {dir.File("r.docx")});
    ASSERT_TRUE(ok) << text;
    EXPECT_EQ(text, "5\n");
}

TEST(ReportCommand, RefusesWhatCannotMakeAReport) {
    TempDir dir;
    const auto none = RunTavtool({"report", WriteProject(dir, false), "--xlsx", dir.File("a.xlsx")});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("checked"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.xlsx")));

    const auto project = WriteProject(dir);
    EXPECT_EQ(RunTavtool({"report", project, "--xlsx", dir.File("a.xlsx"), "--field", "总桩数=十二"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"report", project, "--xlsx", dir.File("a.xlsx"), "--field", "桩长=3"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"report", project, "--xlsx", dir.File("a.xlsx"), "--standard", "4"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"report", project}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"report", project, "--xlsx", dir.File("no/a.xlsx")}).exitCode, 3);
}

}  // namespace
}  // namespace tav
