#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "output/report_data_file.hpp"
#include "output/report_library/report_builder.hpp"
#include "output/report_library_call.hpp"
#include "output/report_writer.hpp"
#include "tests/output/full_disk.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"

namespace tav {
namespace {

using testing::ReportPoint;
using testing::SmallBmp;
using testing::TempDir;

const std::string kTemplate = std::string(TAV_SOURCE_DIR) + "/data/Report";

// A data file of three checked test points (one with two defects) and their pictures.
std::string WriteDataFile(const TempDir& dir, const std::string& templateStem = kTemplate, int* total = nullptr,
                          int pictureWidth = 580, const std::function<void(ReportDataRequest&)>& more = {},
                          const std::string& name = "TAV.gwx") {
    CTAV_AnalyserDoc doc;
    doc.points = {ReportPoint("1-1", {}, true), ReportPoint("1-1", {{9, 3.0f, "离析"}}, true),
                  ReportPoint("2<&>", {{1, 2.0f, "缩径"}, {3, 7.5f, "断桩"}}, true)};
    doc.RebuildCheckedList();
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.facts.projectName = "某大厦";
    request.facts.reportNo = "R-9";
    request.facts.testUnit = "某检测中心";
    request.templatePath = templateStem;
    request.pictures = [&](std::int32_t index) -> std::optional<std::vector<std::uint8_t>> {
        return SmallBmp(pictureWidth, pictureWidth * 10 / 29, static_cast<std::uint8_t>(0x40 * index));
    };
    if (more) more(request);
    ReportDataResult result;
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteReportDataFile(path, doc, request, &result));
    if (total) *total = result.progressTotal;
    return path;
}

std::string Build(const std::string& library, const std::string& data, const std::string& document,
                  std::int32_t* progressOut = nullptr) {
    std::int32_t progress = -1;
    const std::string error = CallReportLibrary(library, data, document, progress);
    if (progressOut) *progressOut = progress;
    return error;
}

constexpr char kReadBack[] = R"(
import sys, docx
d = docx.Document(sys.argv[1])
for table in d.tables:
    if table.cell(0, 0).text == '序号':
        for row in table.rows:
            print('|'.join(c.text for c in row.cells))
print('pictures', len(d.inline_shapes))
for p in d.paragraphs:
    if p.text.startswith('图3.4-') or p.text.startswith('本次共检测'):
        print(p.text)
print('header', d.sections[0].header.paragraphs[0].text)
print('unfilled', sum('{{' in p.text for p in d.paragraphs))
)";

TEST(ReportLibrary, BuildsTheDocumentWithItsTableAndPictures) {
    TempDir dir;
    int total = 0;
    const auto data = WriteDataFile(dir, kTemplate, &total);
    std::int32_t progress = 0;
    const std::string document = dir.File("TAV.docx");
    ASSERT_EQ(Build(TAV_REPORT_LIBRARY, data, document, &progress), "");
    EXPECT_EQ(progress, total);
    EXPECT_EQ(total, 39 + 2 * 3);

    const auto names = testing::ZipMemberNames(document);
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const auto& n) { return n.starts_with("word/media/"); }), 3);
    const auto body = testing::ZipMember(document, "word/document.xml");
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("2&lt;&amp;&gt;"), std::string::npos);  // texts escaped

    if (!testing::PythonHas("docx")) GTEST_SKIP() << "python3-docx is not installed";
    const auto [ok, text] = testing::RunPython(kReadBack, {document});
    ASSERT_TRUE(ok) << text;
    EXPECT_EQ(text,
              "序号|桩号|桩径(mm)|桩长(m)|波速(m/s)|完整性类别|缺陷位置及描述\n"
              "1|1-1|800|12.50|3800|Ⅰ|\n"
              "2|1-1|800|12.50|3800|Ⅲ|3.0m: 离析\n"
              "3|2<&>|800|12.50|3800|Ⅳ|2.0m: 缩径\n7.5m: 断桩\n"
              "pictures 3\n"
              "图3.4-1  1-1桩低应变检测曲线图\n"
              "图3.4-2  1-1桩低应变检测曲线图\n"
              "图3.4-3  2<&>桩低应变检测曲线图\n"
              "本次共检测某大厦2根桩，其中Ⅰ类桩1根，占检测总桩数的50.0%，Ⅲ类桩1根，占检测总桩数的50.0%，"
              "Ⅳ类桩1根，占检测总桩数的50.0%，无Ⅱ类桩。检测结果详见表3.1。实测信号曲线详见图3.4-1～图3.4-3。\n"
              "header 某检测中心\t报告编号：R-9\n"
              "unfilled 0\n");
}

TEST(ReportLibrary, SignalMatchingPicturesFollowTheirCurvesAndCountInTheProgress) {
    TempDir dir;
    const auto matchPictures = [](ReportDataRequest& r) {
        r.matchPoints = {2, 0};
        r.matchPictures = [](std::int32_t index) -> std::optional<std::vector<std::uint8_t>> {
            return SmallBmp(580, 348, static_cast<std::uint8_t>(0x20 + index));
        };
    };
    int total = 0;
    const auto data = WriteDataFile(dir, kTemplate, &total, 580, matchPictures);
    EXPECT_EQ(total, 39 + 2 * 5);
    const auto bytes = ReadWholeFile(data);
    ASSERT_TRUE(bytes);
    const auto read = ReadReportData(*bytes);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->entries.size(), 39u + 2 * 5);
    EXPECT_EQ(read->entries[38].count, 5u);
    EXPECT_EQ(read->entries[41].file.size(), SmallBmp(580, 348, 0x20).size());
    EXPECT_EQ(Cp936ToUtf8(read->entries[42].text), "图3.4-1附  1-1桩信号拟合及桩身阻抗剖面图");
    EXPECT_EQ(Cp936ToUtf8(read->entries[44].text), "图3.4-2  1-1桩低应变检测曲线图");

    std::int32_t progress = 0;
    const std::string document = dir.File("TAV.docx");
    ASSERT_EQ(Build(TAV_REPORT_LIBRARY, data, document, &progress), "");
    EXPECT_EQ(progress, total);

    // Without a source, or for no test point, the data file is byte for byte the one without the choice.
    const auto plain = ReadWholeFile(WriteDataFile(dir, kTemplate, nullptr, 580, {}, "plain.gwx"));
    const auto noSource = ReadWholeFile(WriteDataFile(dir, kTemplate, nullptr, 580,
                                                      [](ReportDataRequest& r) { r.matchPoints = {0, 1, 2}; }, "a.gwx"));
    const auto noPoints = ReadWholeFile(WriteDataFile(dir, kTemplate, nullptr, 580, [&](ReportDataRequest& r) {
        matchPictures(r);
        r.matchPoints.clear();
    }, "b.gwx"));
    ASSERT_TRUE(plain && noSource && noPoints);
    EXPECT_EQ(*noSource, *plain);
    EXPECT_EQ(*noPoints, *plain);

    if (!testing::PythonHas("docx")) GTEST_SKIP() << "python3-docx is not installed";
    const auto [ok, text] = testing::RunPython(kReadBack, {document});
    ASSERT_TRUE(ok) << text;
    EXPECT_NE(text.find("pictures 5\n"
                        "图3.4-1  1-1桩低应变检测曲线图\n"
                        "图3.4-1附  1-1桩信号拟合及桩身阻抗剖面图\n"
                        "图3.4-2  1-1桩低应变检测曲线图\n"
                        "图3.4-3  2<&>桩低应变检测曲线图\n"
                        "图3.4-3附  2<&>桩信号拟合及桩身阻抗剖面图\n"),
              std::string::npos)
        << text;
}

TEST(ReportLibrary, ErrorsComeBackAsTextsThroughTheRealLoader) {
    TempDir dir;
    const auto data = WriteDataFile(dir);
    const std::string document = dir.File("out.docx");
    EXPECT_EQ(Build(dir.File("libnothing.so"), data, document), "未找到动态链接库");
    EXPECT_EQ(Build(TAV_REPORT_STUB_WITHOUT_BUILD, data, document), "未找到输出函数1");
    std::int32_t progress = 0;
    EXPECT_EQ(Build(TAV_REPORT_STUB_WITHOUT_TEXTS, data, document, &progress), "错误号：42，但未能获取错误描述");
    EXPECT_EQ(progress, 5);

    EXPECT_EQ(Build(TAV_REPORT_LIBRARY, dir.File("none.gwx"), document), "无法读取报告数据文件");
    EXPECT_EQ(Build(TAV_REPORT_LIBRARY, data, dir.File("no/folder.docx")), "无法写入报告文件");
    TempDir other;
    EXPECT_EQ(Build(TAV_REPORT_LIBRARY, WriteDataFile(other, dir.File("gone/Report")), document), "未找到报告模版文件");
    ASSERT_TRUE(WriteFileAtomically(dir.File("Bad.docx"), std::vector<std::uint8_t>{'P', 'K', 3, 4}));
    TempDir third;
    EXPECT_EQ(Build(TAV_REPORT_LIBRARY, WriteDataFile(third, dir.File("Bad")), document), "报告模版文件已损坏");
    // No failure left a document, finished or not, under the output name.
    EXPECT_FALSE(std::filesystem::exists(document));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".")) << e.path();
}

TEST(ReportLibrary, AFailedWriteLeavesTheOldFileAlone) {
    TempDir dir;
    const auto data = WriteDataFile(dir);
    const std::string document = dir.File("TAV.docx");
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    ASSERT_TRUE(WriteFileAtomically(document, old));
    // The disk fills up while the document is written: in the builder, and in
    // the library as the program loads it.
    {
        const testing::DiskFullBeyond full(4096);
        std::int32_t progress = 0;
        EXPECT_EQ(report::BuildReport(data, document, &progress), report::kReportDocumentUnwritable);
        EXPECT_EQ(Build(TAV_REPORT_LIBRARY, data, document), "无法写入报告文件");
    }
    EXPECT_EQ(ReadWholeFile(document), old);

    // A folder in the way of the document: nothing can take its place, and
    // that is what the user is told (not that the template is damaged).
    const std::string folder = dir.File("folder.docx");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    EXPECT_EQ(Build(TAV_REPORT_LIBRARY, data, folder), "无法写入报告文件");
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"TAV.docx", "TAV.gwx", "folder.docx"}));

    // The next report replaces the old document.
    ASSERT_EQ(Build(TAV_REPORT_LIBRARY, data, document), "");
    EXPECT_TRUE(testing::ZipMember(document, "word/document.xml"));
}

TEST(ReportLibrary, ADataFileCutAtAnyByteIsRefused) {
    TempDir dir;
    const auto whole = *ReadWholeFile(WriteDataFile(dir, kTemplate, nullptr, 8));
    const std::string document = dir.File("out.docx");
    // An old document stays as it was.
    ASSERT_TRUE(WriteFileAtomically(document, std::vector<std::uint8_t>{'o', 'l', 'd'}));
    // Every cut through the builder; a sample of them through the library.
    std::size_t refused = 0;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const std::string cut = dir.File("cut.gwx");
        std::ofstream(cut, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(n));
        std::int32_t progress = 0;
        const auto rc = report::BuildReport(cut, document, &progress);
        EXPECT_EQ(rc, report::kReportDataDamaged) << "cut at " << n;
        refused += rc == report::kReportDataDamaged;
        if (n % 300 == 0) {
            EXPECT_EQ(Build(TAV_REPORT_LIBRARY, cut, document), "报告数据文件不完整或已损坏");
        }
    }
    EXPECT_EQ(refused, whole.size());
    EXPECT_EQ(ReadWholeFile(document)->size(), 3u);
}

TEST(ReportLibrary, TwoThousandPointsMakeTwoThousandRows) {
    TempDir dir;
    CTAV_AnalyserDoc doc;
    for (int i = 0; i < 2000; ++i) doc.points.push_back(ReportPoint("P" + std::to_string(i), {{1, 1.5f, "缩径"}}, true));
    doc.RebuildCheckedList();
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.templatePath = kTemplate;
    ReportDataResult result;
    ASSERT_TRUE(WriteReportDataFile(dir.File("TAV.gwx"), doc, request, &result));
    std::int32_t progress = 0;
    ASSERT_EQ(Build(TAV_REPORT_LIBRARY, dir.File("TAV.gwx"), dir.File("TAV.docx"), &progress), "");
    EXPECT_EQ(progress, result.progressTotal);
    const auto body = *testing::ZipMember(dir.File("TAV.docx"), "word/document.xml");
    EXPECT_NE(body.find(">P1999<"), std::string::npos);
    EXPECT_NE(body.find(">2000<"), std::string::npos);
    EXPECT_EQ(body.find("{{"), std::string::npos);
}

// The program finds the library's two entry points by name; the base the
// library links stays inside it, where it cannot stand in for the program's.
TEST(ReportLibrary, ExportsItsTwoEntryPointsAndNothingElse) {
    std::FILE* pipe = ::popen(("nm -D --defined-only '" + std::string(TAV_REPORT_LIBRARY) + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        names.push_back(text.substr(text.rfind(' ') + 1));
    }
    if (::pclose(pipe) != 0) GTEST_SKIP() << "nm (binutils) is not installed";
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Fun001", "Fun002"}));
}

TEST(ReportLibrary, ErrorTextsFitTheBufferWithoutHalfCharacters) {
    void* library = ::dlopen(TAV_REPORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    const auto describe = reinterpret_cast<void (*)(std::int32_t, char*, std::int32_t)>(::dlsym(library, "Fun002"));
    const auto build = reinterpret_cast<std::int32_t (*)(const char*, const char*, std::int32_t*)>(::dlsym(library, "Fun001"));
    ASSERT_TRUE(describe && build);
    char text[64];
    describe(report::kReportDataDamaged, text, sizeof text);
    EXPECT_STREQ(text, "报告数据文件不完整或已损坏");
    describe(report::kReportDataDamaged, text, 8);  // room for two characters and a half
    EXPECT_STREQ(text, "报告");
    describe(12345, text, sizeof text);
    EXPECT_STREQ(text, "未知错误");
    EXPECT_EQ(build(nullptr, "x", nullptr), report::kReportBadArguments);
    ::dlclose(library);
}

}  // namespace
}  // namespace tav
