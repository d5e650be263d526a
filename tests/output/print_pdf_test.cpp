// `tavtool print`: the layout it reports is the layout of the pages, and the
// PDF it writes opens in poppler with those pages and their texts.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "output/print_layout.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

// Four checked test points of a project "大桥" tested by "质检站".
std::string WriteProject(const TempDir& dir, int checked = 4) {
    std::vector<TestPoint> points;
    for (int i = 0; i < 4; ++i) {
        points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 1024, static_cast<std::uint32_t>(i + 1)));
        points.back().checked = i < checked ? 1 : 0;
    }
    const auto header = testing::MakeHeader(Utf8ToCp936("质检站"), Utf8ToCp936("大桥"));
    const std::string path = dir.File("site.tav");
    EXPECT_TRUE(WriteFileAtomically(path, testing::ProjectImage(header, points, points)));
    return path;
}

std::string WriteSettings(const TempDir& dir, const PrintSettings& s) {
    const std::string path = dir.File("QRV_TAV4_PRINT_001.ini");
    EXPECT_TRUE(WriteFileAtomically(path, SettingsFiles::MakeImage(SettingsGroup::Print, s.ToPayload().bytes)));
    return path;
}

bool Have(const char* program) { return std::filesystem::exists(std::string("/usr/bin/") + program); }

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

int PdfPages(const std::string& pdf) {
    const std::string info = Capture("pdfinfo '" + pdf + "'");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

std::string PageText(const std::string& pdf, int page) {
    const std::string n = std::to_string(page);
    return Capture("pdftotext -enc UTF-8 -f " + n + " -l " + n + " '" + pdf + "' -");
}

TEST(PrintTool, LayoutJsonIsTheLayoutOfTheJob) {
    TempDir dir;
    const std::string project = WriteProject(dir);
    PrintSettings s;
    s.items = {1, 1, 0, 0, 0};
    const std::string settings = WriteSettings(dir, s);
    const auto r = RunTavtool({"print", project, "--settings", settings, "--layout-json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);

    PrintLayoutInput in;
    in.settings = s;
    in.paperWidthMm = 210;
    in.paperHeightMm = 297;
    in.pointCount = 4;
    in.checkedCount = 4;
    const PrintLayout expected = LayOutPrintJob(in);
    EXPECT_EQ(j["pages"], 2);
    EXPECT_EQ(j["area"]["top"], expected.area.top);
    EXPECT_EQ(j["area"]["bottom"], expected.area.bottom);
    ASSERT_EQ(j["cells"].size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        const auto& c = j["cells"][i];
        const auto& e = expected.cells[i];
        EXPECT_EQ(c["left"], e.rect.left);
        EXPECT_EQ(c["top"], e.rect.top);
        EXPECT_EQ(c["right"], e.rect.right);
        EXPECT_EQ(c["bottom"], e.rect.bottom);
        EXPECT_EQ(c["item"], e.item);
        EXPECT_EQ(c["index"], e.index);
        EXPECT_EQ(c["page"], e.page);
    }

    // Listed test points stand for the checked list; a turned A3 sheet is wider.
    const auto listed = RunTavtool({"print", project, "--points", "3,1", "--paper", "A3", "--landscape", "--layout-json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto l = nlohmann::json::parse(listed.out);
    EXPECT_EQ(l["cells"].size(), 2u);
    EXPECT_EQ(l["area"]["right"], 4200 - 150);
    EXPECT_EQ(l["area"]["bottom"], 200 - 2970 + 42 + 35);

    // The project may follow the list.
    const auto before = RunTavtool({"print", "--points", "3,1", project, "--layout-json"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    EXPECT_EQ(nlohmann::json::parse(before.out)["cells"].size(), 2u);
}

TEST(PrintTool, PdfPagesAndTextsMatchTheLayout) {
    if (!Have("pdfinfo") || !Have("pdftotext")) GTEST_SKIP() << "poppler-utils are not installed";
    TempDir dir;
    const std::string project = WriteProject(dir);
    PrintSettings s;
    s.items = {1, 1, 0, 0, 0};
    s.numberStyle = 4;
    s.numberPosition = kNumberBottomCentre;
    s.firstPage = 5;
    s.cellKinds[kTableMaxColumns] = kCellFileName;
    const std::string settings = WriteSettings(dir, s);
    const std::string pdf = dir.File("pages.pdf");
    const auto r = RunTavtool({"print", project, "-o", pdf, "--settings", settings});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(PdfPages(pdf), 2);
    const std::string first = PageText(pdf, 1);
    for (const char* text : {"基桩动测法检测分析报告", "工程名称：大桥", "检测单位：质检站", "波形数：8", "共6页 第5页",
                             "site.tav", "P1", "P2"})
        EXPECT_NE(first.find(text), std::string::npos) << text << "\n" << first;
    EXPECT_EQ(first.find("P3"), std::string::npos);
    const std::string second = PageText(pdf, 2);
    EXPECT_NE(second.find("共6页 第6页"), std::string::npos) << second;
    EXPECT_NE(second.find("P4"), std::string::npos) << second;
}

TEST(PrintTool, CancelledJobsWriteNothing) {
    TempDir dir;
    const std::string project = WriteProject(dir, 0);
    const std::string pdf = dir.File("pages.pdf");
    ASSERT_TRUE(WriteFileAtomically(pdf, std::vector<std::uint8_t>{'o', 'l', 'd'}));

    // Nothing ticked.
    auto r = RunTavtool({"print", project, "-o", pdf});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("测点列表有被“√”选中的数据"), std::string::npos) << r.err;

    // No print item on.
    PrintSettings s;
    s.items = {0, 0, 0, 0, 0};
    const std::string noItems = WriteSettings(dir, s);
    r = RunTavtool({"print", project, "--points", "0", "-o", pdf, "--settings", noItems});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(std::string(NothingToPrintText())), std::string::npos) << r.err;

    // Margins wider than the paper: cancelled without a message of the layout's own.
    r = RunTavtool({"print", project, "--points", "0", "-o", pdf, "--paper", "25x297"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("printing cancelled: "), std::string::npos) << r.err;
    EXPECT_EQ(ReadWholeFile(pdf).value_or(std::vector<std::uint8_t>{}), (std::vector<std::uint8_t>{'o', 'l', 'd'}));

    EXPECT_EQ(RunTavtool({"print", project, "-o", pdf, "--paper", "A9"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"print", project, "-o", pdf, "--paper", "0x100"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"print", project, "--points", "9", "-o", pdf}).exitCode, 2);
}

TEST(PrintTool, DamagedSettingsFileStillPrints) {
    TempDir dir;
    const std::string project = WriteProject(dir);
    PrintSettingsPayload payload = PrintSettings{}.ToPayload();
    std::fill(payload.bytes.begin() + 5404, payload.bytes.end(), 0);  // rows, columns, margins 0
    const std::string settings = dir.File("QRV_TAV4_PRINT_001.ini");
    ASSERT_TRUE(WriteFileAtomically(settings, SettingsFiles::MakeImage(SettingsGroup::Print, payload.bytes)));
    const auto r = RunTavtool({"print", project, "--settings", settings, "--layout-json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["pages"], 4);  // one cell a page
    EXPECT_EQ(j["area"]["left"], 0);
}

}  // namespace
}  // namespace tav
