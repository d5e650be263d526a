#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/synth_project.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

// Three test points: P/1:A twice (one pile), then Q; the first and last ticked.
std::string WriteProject(const TempDir& dir, bool tick = true) {
    std::vector<TestPoint> points{testing::WaveformPoint("P/1:A", 1024, 1), testing::WaveformPoint("P/1:A", 1024, 2),
                                  testing::WaveformPoint("Q", 1024, 3)};
    points[0].checked = tick ? 1 : 0;
    points[1].checked = 0;
    points[2].checked = tick ? 1 : 0;
    const auto image = testing::ProjectImage(testing::MakeHeader("检测单位", "图形"), points, {});
    const std::string path = dir.File("p.tav");
    WriteFileAtomically(path, image);
    return path;
}

std::uintmax_t SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

std::string Head(const std::string& path, std::size_t n) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) return {};
    return std::string(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes->size())));
}

// Output of a shell command, and whether it ran and exited 0.
std::pair<bool, std::string> Shell(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {false, out};
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    return {::pclose(pipe) == 0, out};
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

TEST(TavtoolRender, WritesTheTickedTestPointsInEveryFormat) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const auto bmp = RunTavtool({"render", in, "-o", dir.path()});
    ASSERT_EQ(bmp.exitCode, 0) << bmp.err;
    const std::string first = dir.File("P╱1∶ANo.1.bmp");
    EXPECT_EQ(bmp.out, first + "\n" + dir.File("QNo.1.bmp") + "\n");
    EXPECT_EQ(SizeOf(first), 58u + 530u * 200u * 4u);

    const auto jpg = RunTavtool({"render", in, "-o", dir.path(), "--points", "1,0", "--format", "jpg", "--size", "300x120"});
    ASSERT_EQ(jpg.exitCode, 0) << jpg.err;
    EXPECT_EQ(jpg.out, dir.File("P╱1∶ANo.2.jpg") + "\n" + dir.File("P╱1∶ANo.1.jpg") + "\n");
    EXPECT_EQ(Head(dir.File("P╱1∶ANo.2.jpg"), 3), "\xFF\xD8\xFF");

    const auto png = RunTavtool({"render", in, "-o", dir.path(), "--points", "2", "--format", "png"});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    EXPECT_EQ(Head(dir.File("QNo.1.png"), 8), "\x89PNG\r\n\x1a\n");
}

TEST(TavtoolRender, RefusesWhatItCannotDraw) {
    TempDir dir;
    const auto in = WriteProject(dir, false);
    EXPECT_EQ(RunTavtool({"render", in, "-o", dir.path()}).exitCode, 2);  // nothing ticked
    EXPECT_EQ(RunTavtool({"render", in, "-o", dir.path(), "--points", "7"}).exitCode, 2);
    const auto huge = RunTavtool({"render", in, "-o", dir.path(), "--points", "0", "--size", "100000x200"});
    EXPECT_EQ(huge.exitCode, 2);
    EXPECT_NE(huge.err.find("10000"), std::string::npos) << huge.err;
    EXPECT_EQ(RunTavtool({"render", in, "-o", dir.path(), "--points", "0", "--size", "0x200"}).exitCode, 2);
    EXPECT_EQ(RunTavtool({"render", in, "-o", dir.path(), "--points", "0", "--size", "big"}).exitCode, 1);
    EXPECT_EQ(RunTavtool({"render", in, "-o", dir.path(), "--format", "gif"}).exitCode, 1);
    const auto unwritable = RunTavtool({"render", in, "-o", dir.File("missing"), "--points", "0"});
    EXPECT_EQ(unwritable.exitCode, 3);
    EXPECT_FALSE(unwritable.err.empty());
    // Nothing but the project in the folder: no picture, no temporary file.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1u);
}

TEST(TavtoolRender, DocumentOpensInPythonDocxAndLibreOfficeWithEveryPicture) {
    TempDir dir;
    const auto in = WriteProject(dir);
    const std::string docx = dir.File("图形.docx");
    const auto r = RunTavtool({"render", in, "--docx", docx, "--points", "0,1,2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, docx + "\n");
    EXPECT_EQ(Head(docx, 2), "PK");

    if (Shell("/usr/bin/python3 -c 'import docx' 2>/dev/null").first) {
        const auto [ok, out] = Shell("/usr/bin/python3 -c \"import docx,sys; d=docx.Document(sys.argv[1]); "
                                     "print(len(d.inline_shapes)); "
                                     "print('|'.join(p.text for p in d.paragraphs if p.text))\" '" +
                                     docx + "'");
        ASSERT_TRUE(ok) << out;
        EXPECT_EQ(out, "3\nNO1：P/1:A|NO2：P/1:A|NO3：Q\n");
    } else {
        std::cout << "python3-docx is not installed: that check is skipped\n";
    }

    if (Shell("command -v soffice >/dev/null").first) {
        const std::string profile = "file://" + dir.File("lo-profile");
        const auto [ok, out] = Shell("cd '" + dir.path() + "' && soffice -env:UserInstallation=" + profile +
                                     " --headless --convert-to fodt --outdir '" + dir.path() + "' '" + docx +
                                     "' 2>&1");
        ASSERT_TRUE(ok) << out;
        std::ifstream flat(dir.File("图形.fodt"));
        std::stringstream text;
        text << flat.rdbuf();
        const std::string fodt = text.str();
        EXPECT_EQ(Count(fodt, "<draw:image"), 3u) << "LibreOffice shows every picture";
        EXPECT_EQ(Count(fodt, "<office:binary-data>"), 3u) << "each with its pixels";
        EXPECT_NE(fodt.find("NO3：Q"), std::string::npos);
    } else {
        std::cout << "LibreOffice is not installed: that check is skipped\n";
    }
}

// The size libjpeg decodes a file to; nothing when it cannot decode it whole.
std::optional<std::pair<int, int>> DecodedJpegSize(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes || bytes->empty()) return std::nullopt;
    struct Failure {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
    } failure;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Failure*>(c->err)->jump, 1); };
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return std::nullopt;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes->data(), static_cast<unsigned long>(bytes->size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(cinfo.output_width * cinfo.output_components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    const std::pair<int, int> size{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height)};
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return size;
}

TEST(TavtoolRender, MatchAddsEachFittedTestPointsPictureAndNamesTheOthers) {
    TempDir dir;
    const std::string in = dir.File("site.tav");
    testing::WriteSynthProject(in, 2, {1});  // P1 No.2 has no pile length
    const auto r = RunTavtool({"render", in, "-o", dir.path(), "--points", "0,1,2", "--format", "jpg", "--match", "--match-time-limit", "3600"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> names{"P1No.1.jpg", "P1No.1_拟合.jpg", "P1No.2.jpg", "P2No.1.jpg", "P2No.1_拟合.jpg"};
    std::string expected;
    for (const auto& name : names) expected += dir.File(name) + "\n";
    EXPECT_EQ(r.out, expected);
    for (const auto& name : names) {
        const auto size = DecodedJpegSize(dir.File(name));
        ASSERT_TRUE(size) << name;
        EXPECT_EQ(*size, (std::pair<int, int>{530, name.find("_拟合") != std::string::npos ? 318 : 200})) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("P1No.2_拟合.jpg")));
    EXPECT_NE(r.err.find("P1 No.2 (test point 1)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("桩长不大于0"), std::string::npos) << r.err;

    // The document holds the same pictures in the same order, each with its caption.
    const std::string docx = dir.File("拟合.docx");
    const auto d = RunTavtool({"render", in, "--docx", docx, "--points", "0,1", "--match", "--match-time-limit", "3600"});
    ASSERT_EQ(d.exitCode, 0) << d.err;
    if (Shell("/usr/bin/python3 -c 'import docx' 2>/dev/null").first) {
        const auto [ok, out] = Shell("/usr/bin/python3 -c \"import docx,sys; d=docx.Document(sys.argv[1]); "
                                     "print(len(d.inline_shapes)); "
                                     "print('|'.join(p.text for p in d.paragraphs if p.text))\" '" +
                                     docx + "'");
        ASSERT_TRUE(ok) << out;
        EXPECT_EQ(out, "3\nNO1：P1|NO1：P1 信号拟合|NO2：P1\n");
    } else {
        std::cout << "python3-docx is not installed: that check is skipped\n";
    }
}

}  // namespace
}  // namespace tav
