#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::RunTavtool;
using testing::TempDir;

void WriteProject(const std::string& path, bool version4) {
    auto a = testing::WaveformPoint("P1", 256, 1);
    a.checked = 1;
    const auto image = testing::ProjectImage(testing::MakeHeader("unit", "batch"), {a, testing::WaveformPoint("P2", 256, 2)},
                                             {}, version4);
    fs::create_directories(fs::path(path).parent_path());
    WriteFileAtomically(path, image);
}

void WriteBroken(const std::string& path) {
    WriteFileAtomically(path, std::vector<std::uint8_t>{'T', 'A', 'V', '9', '9', 0, 0, 0});
}

TEST(TavtoolBatch, ConvertsTheGoodFilesOfFoldersAndNamesEachBrokenOne) {
    TempDir dir;
    WriteProject(dir.File("site/a.tav"), true);
    WriteProject(dir.File("site/B.TAV"), false);
    WriteBroken(dir.File("site/broken.tav"));
    WriteFileAtomically(dir.File("site/notes.txt"), std::vector<std::uint8_t>{'x'});
    WriteProject(dir.File("site/deeper/c.tav"), false);  // sub-folders are not entered
    WriteProject(dir.File("other/a.tav"), false);         // same name as site/a.tav
    WriteProject(dir.File("single.tav"), true);

    const auto r = RunTavtool({"convert", "--out", dir.File("out"), dir.File("site"), dir.File("single.tav"),
                               dir.File("other/a.tav"), dir.File("missing.tav")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "已转换 3 个，失败 3 个\n");
    EXPECT_NE(r.err.find(dir.File("site/broken.tav") + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.File("missing.tav") + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.File("other/a.tav") + ": "), std::string::npos) << "a name already converted: " << r.err;
    EXPECT_EQ(r.err.find("\r"), std::string::npos) << "no progress bar off a terminal";

    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(dir.File("out"))) written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"B.TAV", "a.tav", "single.tav"}));

    // Each file is exactly what the one-file conversion writes.
    ASSERT_EQ(RunTavtool({"convert", dir.File("site/a.tav"), dir.File("one.tav")}).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(dir.File("one.tav")), ReadWholeFile(dir.File("out/a.tav")));
}

TEST(TavtoolBatch, ConvertUsage) {
    TempDir dir;
    WriteProject(dir.File("a.tav"), false);
    EXPECT_EQ(RunTavtool({"convert", dir.File("a.tav")}).exitCode, 1) << "one name without --out";
    EXPECT_EQ(RunTavtool({"convert", dir.File("a.tav"), dir.File("b.tav"), dir.File("c.tav")}).exitCode, 1);
    WriteFileAtomically(dir.File("file"), std::vector<std::uint8_t>{'x'});
    const auto r = RunTavtool({"convert", "--out", dir.File("file/out"), dir.File("a.tav")});
    EXPECT_EQ(r.exitCode, 3) << "the output folder cannot be made";
}

TEST(TavtoolBatch, RendersEachProjectIntoAFolderOfItsOwn) {
    TempDir dir;
    WriteProject(dir.File("in/one.tav"), false);
    WriteProject(dir.File("in/two.tav"), true);
    WriteBroken(dir.File("in/three.tav"));
    const auto r = RunTavtool({"render", dir.File("in"), "-o", dir.File("pictures"), "--format", "png"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "已绘图的工程 2 个，失败 1 个\n");
    EXPECT_NE(r.err.find(dir.File("in/three.tav") + ": "), std::string::npos) << r.err;
    for (const char* project : {"one", "two"}) {
        std::size_t pictures = 0;
        for (const auto& e : fs::directory_iterator(dir.File("pictures/") + project)) {
            EXPECT_EQ(e.path().extension(), ".png");
            ++pictures;
        }
        EXPECT_EQ(pictures, 1u) << project << ": the one ticked test point";
    }
    EXPECT_EQ(RunTavtool({"render", dir.File("in"), "--docx", dir.File("all.docx")}).exitCode, 1);
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The private temporary folder of the runs in a scope: a fresh one, so that
// what the reports leave in it can be seen.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder() : old_(std::getenv("XDG_RUNTIME_DIR")) {
        if (old_) kept_ = old_;
        ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    }
    ~PrivateRuntimeFolder() {
        if (old_) ::setenv("XDG_RUNTIME_DIR", kept_.c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::string WorkFolder() const { return dir_.File("tav-analyser/Quorvane"); }

private:
    TempDir dir_;
    const char* old_;
    std::string kept_;
};

// The pile numbers each report shows: the workbook's first column and the
// results table of the document, as openpyxl and python-docx read them.
constexpr char kPilesOfReports[] = R"(
import sys, openpyxl, docx
for path in sys.argv[1:]:
    if path.endswith('.xlsx'):
        sheet = openpyxl.load_workbook(path).worksheets[0]
        piles = [row[0].value for row in sheet.iter_rows(min_row=2)]
    else:
        table = [t for t in docx.Document(path).tables if t.cell(0, 0).text == '序号'][0]
        piles = [row.cells[1].text for row in table.rows[1:]]
    print(path.rsplit('/', 1)[1], ' '.join(piles))
)";

TEST(TavtoolBatch, ReportsEachProjectUnderItsOwnNameAndNamesEachBrokenOne) {
    TempDir dir;
    PrivateRuntimeFolder runtime;
    // Projects told apart by their pile numbers, enough of them that reports
    // run side by side: one that took another's work file would show its piles.
    constexpr int kProjects = 6;
    fs::create_directories(dir.File("site"));
    for (int k = 0; k < kProjects; ++k) {
        const std::string pile = "K" + std::to_string(k);
        const std::vector<TestPoint> points{testing::ReportPoint(pile + "-1", {}, true),
                                            testing::ReportPoint(pile + "-2", {{1, 2.0f, "缩径"}}, true)};
        WriteFileAtomically(dir.File("site/p" + std::to_string(k) + ".tav"),
                            testing::ProjectImage(testing::MakeHeader("unit", "site"), points, {}));
    }
    WriteBroken(dir.File("site/broken.tav"));
    WriteFileAtomically(dir.File("site/unticked.tav"),
                        testing::ProjectImage(testing::MakeHeader("unit", "site"), {testing::ReportPoint("U1", {}, false)}, {}));

    const auto r = RunTavtool({"report", "--out", dir.File("out"), dir.File("site"), "--field", "报告编号=B-1"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "已生成报告的工程 6 个，失败 2 个\n");
    EXPECT_NE(r.err.find(dir.File("site/broken.tav") + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir.File("site/unticked.tav") + ": no test point is checked"), std::string::npos) << r.err;

    std::vector<std::string> expected, reports;
    for (int k = 0; k < kProjects; ++k)
        for (const char* ext : {".docx", ".xlsx"}) {
            expected.push_back("p" + std::to_string(k) + ext);
            reports.push_back(dir.File("out/") + expected.back());
        }
    EXPECT_EQ(FileNames(dir.File("out")), expected);
    // Each report's work files went with it.
    EXPECT_EQ(FileNames(runtime.WorkFolder()), std::vector<std::string>{});
    for (int k = 0; k < kProjects; ++k) {
        const auto body = testing::ZipMember(dir.File("out/p" + std::to_string(k) + ".docx"), "word/document.xml");
        ASSERT_TRUE(body);
        EXPECT_NE(body->find("B-1"), std::string::npos) << "the typed field in every report";
    }

    if (!testing::PythonHas("openpyxl") || !testing::PythonHas("docx"))
        GTEST_SKIP() << "python3-openpyxl or python3-docx is not installed";
    const auto [ok, piles] = testing::RunPython(kPilesOfReports, reports);
    ASSERT_TRUE(ok) << piles;
    std::string want;
    for (int k = 0; k < kProjects; ++k)
        for (const char* ext : {".docx", ".xlsx"})
            want += "p" + std::to_string(k) + ext + " K" + std::to_string(k) + "-1 K" + std::to_string(k) + "-2\n";
    EXPECT_EQ(piles, want);
}

TEST(TavtoolBatch, ReportUsageAndChosenOutputs) {
    TempDir dir;
    WriteProject(dir.File("a.tav"), false);
    WriteProject(dir.File("b.tav"), true);
    EXPECT_EQ(RunTavtool({"report", dir.File("a.tav"), dir.File("b.tav"), "--xlsx", dir.File("x.xlsx")}).exitCode, 1)
        << "several projects without --out";
    EXPECT_EQ(RunTavtool({"report", "--out", dir.File("o"), "--docx", dir.File("x.docx"), dir.File("a.tav")}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"report", "--out", dir.File("o"), "--field", "桩长=3", dir.File("a.tav")}).exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.File("o"))) << "a bad field stops before any work";

    const auto r = RunTavtool(
        {"report", "--out", dir.File("o"), "--outputs", "gwx,xlsx", "--points", "1,0", dir.File("a.tav"), dir.File("b.tav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(dir.File("o")), (std::vector<std::string>{"a.gwx", "a.xlsx", "b.gwx", "b.xlsx"}));
}

}  // namespace
}  // namespace tav
