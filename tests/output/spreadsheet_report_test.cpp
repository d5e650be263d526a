#include "output/spreadsheet_report.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "tests/output/full_disk.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"

namespace tav {
namespace {

using testing::ReportPoint;

// Every cell of the first sheet as "A1=value" lines, with the sheet's name,
// its column widths and the number formats, as openpyxl reads them.
constexpr char kDumpCells[] = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print("sheet=" + sheet.title)
for c in "ABCDEF":
    # Stored with the padding of the default font (5 pixels), as Excel stores
    # the width it shows in characters.
    print("width %s=%d" % (c, sheet.column_dimensions[c].width))
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is not None:
            print("%s=%r %s" % (cell.coordinate, cell.value, cell.number_format))
)";

TEST(SpreadsheetReport, CellsReadBackAsTheReportShowsThem) {
    testing::TempDir dir;
    CTAV_AnalyserDoc doc;
    doc.points = {ReportPoint("1-3", {}, true), ReportPoint("2", {{1, 2.5f, "缩径"}, {9, 6.0f, "离析"}}, true),
                  ReportPoint("3", {}, false)};
    doc.points[0].pileLength = 9.876f;
    // The rows follow the checked list's order.
    const std::vector<std::int32_t> checked{1, 0};
    const std::string path = dir.File("r.xlsx");
    std::string error;
    ASSERT_TRUE(WriteSpreadsheetReport(path, doc, checked, &error)) << error;

    const auto workbook = testing::ZipMember(path, "xl/workbook.xml");
    ASSERT_TRUE(workbook);
    EXPECT_NE(workbook->find("name=\"报表1\""), std::string::npos);
    if (!testing::PythonHas("openpyxl")) GTEST_SKIP() << "python3-openpyxl is not installed";
    const auto [ok, cells] = testing::RunPython(kDumpCells, {path});
    ASSERT_TRUE(ok) << cells;
    EXPECT_EQ(cells,
              "sheet=报表1\n"
              "width A=6\nwidth B=12\nwidth C=7\nwidth D=9\nwidth E=12\nwidth F=15\n"
              "A1='桩号' General\nB1='设计桩径(mm)' General\nC1='桩长(m)' General\nD1='声速(m/s)' General\n"
              "E1='桩身质量评价' General\nF1='缺陷位置及类型' General\n"
              "A2='2' General\nB2=800 0\nC2=12.5 0.00\nD2=3800 0\nE2='Ⅲ' General\n"
              "F2='(1)深度2.5m 缩径  (2)深度6.0m 离析  ' General\n"
              "A3='1-3' General\nB3=800 0\nC3=9.88 0.00\nD3=3800 0\nE3='Ⅰ' General\n");
}

// Only the entries a test left in its folder: a save that failed leaves no
// hidden temporary file behind.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SpreadsheetReport, AFailedWriteLeavesTheOldFileAlone) {
    testing::TempDir dir;
    CTAV_AnalyserDoc doc;
    doc.points = {ReportPoint("1", {}, true)};
    const std::vector<std::int32_t> checked{0};
    const std::string path = dir.File("r.xlsx");
    std::string error;
    ASSERT_TRUE(WriteSpreadsheetReport(path, doc, checked, &error)) << error;
    const auto old = ReadWholeFile(path);
    ASSERT_TRUE(old);

    // The disk fills up while the new workbook is written.
    doc.points.push_back(ReportPoint("2", {{1, 2.5f, "缩径"}}, true));
    const std::vector<std::int32_t> both{0, 1};
    {
        const testing::DiskFullBeyond full(1000);
        EXPECT_FALSE(WriteSpreadsheetReport(path, doc, both, &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"r.xlsx"});

    EXPECT_FALSE(WriteSpreadsheetReport(dir.File("missing/r.xlsx"), doc, checked, &error));
    EXPECT_FALSE(error.empty());

    // A folder in the way: the workbook cannot take its place, and no
    // temporary file is left beside it.
    const std::string folder = dir.File("f.xlsx");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_FALSE(WriteSpreadsheetReport(folder, doc, checked, &error));
    EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"f.xlsx", "r.xlsx"}));
}

}  // namespace
}  // namespace tav
