#include "output/docx_writer.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/output/full_disk.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"

namespace tav {
namespace {

using testing::TempDir;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DocxWriter, AFailedWriteLeavesTheOldFileAlone) {
    TempDir dir;
    const auto bmp = testing::SmallBmp(64, 32);
    const std::vector<DocxPicture> one{{bmp, "bmp", 64, 32, "NO1：A"}};
    const std::string path = dir.File("图形.docx");
    std::string error;
    ASSERT_TRUE(WriteDocx(path, one, &error)) << error;
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const auto old = ReadWholeFile(path);
    ASSERT_TRUE(old);

    // The disk fills up while a longer document is written.
    const std::vector<DocxPicture> three(3, one.front());
    {
        const testing::DiskFullBeyond full(old->size());
        EXPECT_FALSE(WriteDocx(path, three, &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"图形.docx"});

    EXPECT_FALSE(WriteDocx(dir.File("missing/a.docx"), one, &error));
    EXPECT_EQ(error, "无法在“" + dir.File("missing") + "”中创建文件：文件或文件夹不存在");

    // A whole document replaces the old one and keeps what the user allowed others.
    ASSERT_TRUE(WriteDocx(path, three, &error)) << error;
    EXPECT_EQ(testing::ZipMemberNames(path).size(), 4u + 3u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"图形.docx"});
}

}  // namespace
}  // namespace tav
