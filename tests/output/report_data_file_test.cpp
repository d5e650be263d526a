#include "output/report_data_file.hpp"

#include <gtest/gtest.h>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "output/report_writer.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::ReportPoint;
using testing::SmallBmp;

// The bytes of a small report, built up entry by entry as the format reads.
struct Expected {
    std::string bytes;
    void Text(std::string_view label, std::string_view utf8, char kind = 0) {
        bytes += kind;
        bytes += Utf8ToCp936(label) + '\0' + Utf8ToCp936(utf8) + '\0';
    }
    void Number(std::string_view label, std::uint32_t n, char kind) {
        bytes += kind;
        bytes += Utf8ToCp936(label) + '\0';
        for (int k = 0; k < 4; ++k) bytes += static_cast<char>(n >> (8 * k));
    }
};

TEST(ReportDataFile, ASmallProjectIsWrittenExactly) {
    testing::TempDir dir;
    CTAV_AnalyserDoc doc;
    // Pile 1 (one checked point of class Ⅰ), pile 2 (unchecked), pile 3 (class Ⅱ).
    doc.points = {ReportPoint("1", {}, true), ReportPoint("2", {}, false),
                  ReportPoint("3", {{1, 2.0f, "缩径"}, {1, 5.5f, "扩径"}}, true)};
    doc.RebuildCheckedList();
    const auto bmp1 = SmallBmp(4, 2, 0x10);
    const auto bmp3 = SmallBmp(4, 2, 0x30);
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.facts.reportNo = "R-01";
    request.facts.projectName = "某楼";
    request.facts.projectAddress = "某路1号";
    request.facts.owner = "甲";
    request.facts.designer = "乙";
    request.facts.builder = "丙";
    request.facts.supervisor = "丁";
    request.facts.client = "戊";
    request.facts.totalPiles = "8";
    request.facts.testDate = "2024-05-01";
    request.facts.testUnit = "某检测";
    request.facts.personnel = "张三";
    request.facts.standard = 1;
    request.templatePath = "/opt/tav/Report";
    request.pictures = [&](std::int32_t index) -> std::optional<std::vector<std::uint8_t>> {
        return index == 0 ? bmp1 : bmp3;
    };
    request.pictureFolder = dir.path() + "/";
    int drawn = 0;
    request.pictureDone = [&] { ++drawn; };
    ReportDataResult result;
    std::string error;
    ASSERT_TRUE(WriteReportDataFile(dir.File("TAV.gwx"), doc, request, &result, &error)) << error;
    EXPECT_EQ(result.pictures, 2);
    EXPECT_EQ(result.progressTotal, 43);
    EXPECT_EQ(drawn, 2);

    const std::string standard = "《公路工程基桩检测技术规程》JTG/T 3512-2020";
    const std::string conclusion = "本次共检测某楼2根桩，其中Ⅰ类桩1根，占检测总桩数的50.0%，Ⅱ类桩1根，占检测总桩数的50.0%，无Ⅲ、Ⅳ类桩。";
    Expected e;
    e.bytes = std::string("GWordExData\0/opt/tav/Report\0", 28);
    for (const auto& [label, value] : std::vector<std::pair<std::string, std::string>>{
             {"报告编号", "R-01"},   {"工程名称", "某楼"},     {"委托单位", "戊"},         {"检测单位", "某检测"},
             {"检测日期", "2024-05-01"}, {"检测单位H", "某检测"}, {"报告编号H", "R-01"},   {"检测单位T", "某检测"},
             {"工程名称TB", "某楼"}, {"工程地址TB", "某路1号"}, {"施工单位TB", "丙"},     {"设计单位TB", "乙"},
             {"监理单位TB", "丁"},   {"方法依据", standard},   {"判定依据", standard},     {"检测日期TB", "2024-05-01"},
             {"检测人员TB", "张三"}, {"检测单位TB", "某检测"}, {"工程名称GK", "某楼"},     {"工程地址GK", "某路1号"},
             {"建设单位GK", "甲"},   {"委托单位GK", "戊"},     {"检测单位GK", "某检测"},   {"工程名称2GK", "某楼"},
             {"总桩数GK", "8"},      {"检测依据", standard},   {"检测人员", "张三"}})
        e.Text(label, value);
    e.Text("检测结果", "1``1``800``12.50``3800``Ⅰ``^^2``3``800``12.50``3800``Ⅱ``2.0m: 缩径\n5.5m: 扩径^^", 4);
    e.Text("总桩数TJ", "8");
    e.Text("检测数TJ", "2");
    e.Text("抽检比例TJ", "25.0");
    e.Text("一类数TJ", "1");
    e.Text("二类数TJ", "1");
    e.Text("三类数TJ", "0");
    e.Text("四类数TJ", "0");
    e.Text("检测结论", conclusion);
    e.Text("检测结论TB", conclusion + "检测结果详见表3.1。实测信号曲线详见图3.4-1～图3.4-2。");
    // Two piles with a speed are fewer than the five the site statistics need.
    e.Text("桩身波速统计",
           "桩身波速平均值按JGJ 106-2014第8.4.1条确定：选取同一工程中桩型相同、桩身完整性为Ⅰ类且桩底反射清晰的桩，"
           "按c=2L/ΔT计算各桩的桩身波速，取不少于5根、与平均值之差均不超过5%的桩身波速的平均值。"
           "钻孔灌注桩：符合条件的桩不足5根（2根有实测波速），未统计平均波速。");
    e.Number("测点图集", 2, 7);
    e.bytes += '\0';
    e.Number("曲线图", static_cast<std::uint32_t>(bmp1.size()), 2);
    e.bytes.append(bmp1.begin(), bmp1.end());
    e.bytes += '\0';
    e.Text("曲线图说明", "图3.4-1  1桩低应变检测曲线图");
    e.Number("曲线图", static_cast<std::uint32_t>(bmp3.size()), 2);
    e.bytes.append(bmp3.begin(), bmp3.end());
    e.bytes += '\0';
    e.Text("曲线图说明", "图3.4-2  3桩低应变检测曲线图");

    const auto written = ReadWholeFile(dir.File("TAV.gwx"));
    ASSERT_TRUE(written);
    EXPECT_EQ(std::string(written->begin(), written->end()), e.bytes);
    // The pictures stay beside it, named by their place in the project.
    EXPECT_EQ(ReadWholeFile(dir.File("TAV1.bmp")), bmp1);
    EXPECT_EQ(ReadWholeFile(dir.File("TAV3.bmp")), bmp3);
}

TEST(ReportDataFile, TextsTheCodePageLacksAreReplacedWhole) {
    testing::TempDir dir;
    CTAV_AnalyserDoc doc;
    doc.points = {ReportPoint("1", {{1, 1.0f, "缩径"}}, true)};
    doc.RebuildCheckedList();
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.facts.projectName = "楼😀A\xE2\x82";  // an emoji and a cut UTF-8 sequence
    request.facts.reportNo = "";
    ASSERT_TRUE(WriteReportDataFile(dir.File("d.gwx"), doc, request));
    const auto bytes = *ReadWholeFile(dir.File("d.gwx"));
    const auto data = ReadReportData(bytes);
    ASSERT_TRUE(data);
    ASSERT_EQ(data->entries.size(), 39u);  // no view: the picture set is empty
    EXPECT_EQ(data->entries[0].text, "");
    EXPECT_EQ(Cp936ToUtf8(data->entries[1].text).substr(0, 3), "楼");
    EXPECT_EQ(Cp936ToUtf8(data->entries[1].text).find("\xEF\xBF\xBD"), std::string::npos);  // valid code page 936 throughout
    EXPECT_EQ(data->entries[38].kind, kReportEntryPictureSet);
    EXPECT_EQ(data->entries[38].count, 0u);
}

TEST(ReportDataFile, TheReaderRefusesEveryCutAndStrayByte) {
    std::vector<std::uint8_t> bytes;
    ReportDataWriter out([&](std::span<const std::uint8_t> b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return true;
    });
    const auto bmp = SmallBmp();
    out.Begin("/t/Report");
    out.Text("a", "b");
    out.Table("t", "1``2^^");
    out.PictureSet("s", 1);
    out.Picture("p", bmp);
    out.Text("c", std::string("x\0y", 3));  // cut at the 0 byte
    ASSERT_TRUE(out.Ok());

    const auto whole = ReadReportData(bytes);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->entries.size(), 5u);
    EXPECT_EQ(whole->templatePath, "/t/Report");
    EXPECT_EQ(whole->entries[2].count, 1u);
    EXPECT_TRUE(std::equal(whole->entries[3].file.begin(), whole->entries[3].file.end(), bmp.begin(), bmp.end()));
    EXPECT_EQ(whole->entries[4].text, "x");

    // Cut short inside any entry: refused, never read past the end.
    std::size_t refused = 0;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        if (!ReadReportData(cut)) ++refused;
    }
    EXPECT_EQ(refused, bytes.size() - 5);  // all but the cuts after the template path and each whole entry

    ReportDataProblem problem;
    std::size_t offset = 0;
    auto stray = bytes;
    stray.push_back(9);
    EXPECT_FALSE(ReadReportData(stray, &problem, &offset));
    EXPECT_EQ(problem, ReportDataProblem::UnknownKind);
    EXPECT_EQ(offset, bytes.size() + 1);
    auto huge = bytes;
    // The picture's length claims more than the file holds.
    const std::size_t lengthAt = 12 + 10 + 5 + 10 + 8 + 3;
    ASSERT_EQ(huge[lengthAt - 2], 'p');
    huge[lengthAt + 3] = 0x7F;
    EXPECT_FALSE(ReadReportData(huge, &problem));
    EXPECT_EQ(problem, ReportDataProblem::CutShort);
    EXPECT_FALSE(ReadReportData(std::vector<std::uint8_t>{'G', 'W', 0}, &problem));
    EXPECT_EQ(problem, ReportDataProblem::NotReportData);
}

}  // namespace
}  // namespace tav
