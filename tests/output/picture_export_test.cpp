#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <minizip/unzip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "output/bmp_writer.hpp"
#include "output/docx_writer.hpp"
#include "output/picture_export.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::TempDir;
using testing::WaveformPoint;

void Build(CTAV_AnalyserDoc& doc, const std::vector<std::string>& piles, const std::vector<int>& checked) {
    for (std::size_t i = 0; i < piles.size(); ++i) {
        doc.points.push_back(WaveformPoint(piles[i], 64, static_cast<std::uint32_t>(i + 1)));
        doc.points.back().checked = 0;
    }
    for (const int c : checked) doc.points[static_cast<std::size_t>(c)].checked = 1;
    doc.RebuildCheckedList();
}

TEST(PictureNames, EveryForbiddenCharacterBecomesItsLookAlike) {
    EXPECT_EQ(CleanFileName("a\\b/c:d*e?f\"g<h>i|j"), "a╲b╱c∶d＊e？f＂g〈h〉i｜j");
    EXPECT_EQ(CleanFileName("桩\t1\n"), "桩_1_");
    EXPECT_EQ(CleanFileName("P-1.2 (东)"), "P-1.2 (东)");
}

TEST(PictureNames, CheckedItemsFollowTheCheckedListWithOrdinalsWithinTheirPile) {
    CTAV_AnalyserDoc doc;
    // Two runs of "A/1:2": the ordinal counts within a run of neighbours only.
    Build(doc, {"A/1:2", "A/1:2", "B", "A/1:2"}, {3, 1, 0, 2});
    const auto items = CheckedPictureItems(doc);
    ASSERT_EQ(items.size(), 4u);
    // The checked list is in project order, whatever order the ticks came in.
    EXPECT_EQ(items[0].fileStem, "A╱1∶2No.1");
    EXPECT_EQ(items[1].fileStem, "A╱1∶2No.2");
    EXPECT_EQ(items[2].fileStem, "BNo.1");
    EXPECT_EQ(items[3].fileStem, "A╱1∶2No.1");
    EXPECT_EQ(items[1].label, "A/1:2 No.2");
    EXPECT_EQ(items[1].caption, "NO2：A/1:2");
    EXPECT_EQ(items[3].number, 4);
    EXPECT_EQ(PictureFilePath("/tmp/x/", items[1], "bmp"), "/tmp/x/A╱1∶2No.2.bmp");
    EXPECT_EQ(PictureFilePath("/tmp/x", items[1], "jpg"), "/tmp/x/A╱1∶2No.2.jpg");
}

TEST(PictureNames, AFullPileNumberFieldIsNamedWhole) {
    CTAV_AnalyserDoc doc;
    const std::string twenty = "ABCDEFGHIJ0123456789";
    Build(doc, {twenty}, {0});
    const auto items = CheckedPictureItems(doc);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fileStem, twenty + "No.1");
}

TEST(PictureItemsOfTheDisplay, OnePerWaveformOrOneStackedPicture) {
    CTAV_AnalyserDoc doc;
    Build(doc, {"P1", "P1", "P2"}, {});
    const std::vector<std::int32_t> shown{0, 1, 2};
    EXPECT_FALSE(DisplayStacksPictures(0, 1, shown));
    const auto items = DisplayPictureItems(doc, shown, false);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].fileStem, "P1No.2");
    EXPECT_EQ(items[2].displayEntry, 2);
    EXPECT_EQ(items[2].caption, "NO3：P2");

    EXPECT_TRUE(DisplayStacksPictures(0, 5, shown));                          // wave train
    EXPECT_TRUE(DisplayStacksPictures(3, 0, std::vector<std::int32_t>{0, 0}));  // wavelet levels
    EXPECT_TRUE(DisplayStacksPictures(2, 0, std::vector<std::int32_t>{0, 1, -1}));  // cross power
    const auto stacked = DisplayPictureItems(doc, shown, true);
    ASSERT_EQ(stacked.size(), 1u);
    EXPECT_TRUE(stacked[0].stacked);
    EXPECT_EQ(PictureFilePath("/f", stacked[0], "bmp"), "/f/波列.bmp");
    EXPECT_TRUE(DisplayPictureItems(doc, {}, true).empty());
}

TEST(PictureSizes, FixedListParsingAndLimits) {
    EXPECT_EQ(FixedPictureSize(0), (PictureSize{530, 145}));
    EXPECT_EQ(FixedPictureSize(3), (PictureSize{530, 400}));
    EXPECT_EQ(FixedPictureSize(9), (PictureSize{530, 145}));
    EXPECT_EQ(PictureSizeText({530, 270}), "530×270");
    EXPECT_EQ(ParsePictureSize("530x200"), (PictureSize{530, 200}));
    EXPECT_EQ(ParsePictureSize("530×200"), (PictureSize{530, 200}));
    EXPECT_FALSE(ParsePictureSize("530"));
    EXPECT_FALSE(ParsePictureSize("x200"));
    EXPECT_FALSE(ParsePictureSize("53ax200"));
    EXPECT_TRUE(CheckPictureSize({530, 200}).empty());
    EXPECT_FALSE(CheckPictureSize({0, 200}).empty());
    EXPECT_FALSE(CheckPictureSize({100000, 200}).empty());
    EXPECT_FALSE(CheckPictureSize({9000, 9000}).empty());  // each side fits, the whole does not
}

TEST(PictureSettings, DefaultsTakeTheProjectFolder) {
    const auto withFile = DefaultPictureExportSettings(true, "/data/site/p.tav", "/home/u");
    EXPECT_EQ(withFile.dataChoice, kPictureDisplay);
    EXPECT_EQ(withFile.formatIndex, kPictureBmp);
    EXPECT_EQ(withFile.sizeIndex, 1);
    EXPECT_EQ(withFile.outputKind, kPictureDocument);
    EXPECT_EQ(withFile.Folder(), "/data/site");
    const auto noFile = DefaultPictureExportSettings(false, "", "/home/u");
    EXPECT_EQ(noFile.sizeIndex, 0);
    EXPECT_EQ(noFile.Folder(), "/home/u");
}

// A tiny BMP of the item's number as a stand-in for a drawn picture.
PictureEncoder FakeEncoder(std::vector<std::int32_t> failing = {}) {
    return [failing](const PictureItem& item) -> std::optional<EncodedPicture> {
        for (const auto f : failing)
            if (f == item.number) return std::nullopt;
        std::vector<std::uint8_t> px(4 * 3 * 2, static_cast<std::uint8_t>(item.number));
        const BitmapView view{3, 2, 32, px.data(), 12, {}};
        return EncodedPicture{EncodeBmp(view), 3, 2};
    };
}

TEST(PictureFiles, WritesEachItemAndKeepsGoingPastOneThatFails) {
    CTAV_AnalyserDoc doc;
    Build(doc, {"P/1", "P/1", "Q"}, {0, 1, 2});
    const auto items = CheckedPictureItems(doc);
    TempDir dir;
    const auto result = WritePictureFiles(items, dir.path(), "bmp", FakeEncoder({2}));
    ASSERT_EQ(result.written.size(), 2u);
    EXPECT_EQ(result.written[0], dir.File("P╱1No.1.bmp"));
    EXPECT_EQ(result.written[1], dir.File("QNo.1.bmp"));
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_TRUE(result.anyExists);
    // Nothing else in the folder: no temporary names left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u);
}

TEST(PictureFiles, AFolderThatCannotBeWrittenCreatesNothing) {
    CTAV_AnalyserDoc doc;
    Build(doc, {"P1"}, {0});
    TempDir dir;
    const auto result = WritePictureFiles(CheckedPictureItems(doc), dir.File("missing"), "bmp", FakeEncoder());
    EXPECT_TRUE(result.written.empty());
    EXPECT_EQ(result.failed.size(), 1u);
    EXPECT_FALSE(result.anyExists);
}

std::map<std::string, std::string> ZipMembers(const std::string& path) {
    std::map<std::string, std::string> members;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return members;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info{};
        unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        std::string data(info.uncompressed_size, '\0');
        unzOpenCurrentFile(zip);
        const int n = unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
        unzCloseCurrentFile(zip);
        if (n >= 0) data.resize(static_cast<std::size_t>(n));
        members[name] = data;
    }
    unzClose(zip);
    return members;
}

TEST(PictureDocument, IsAZipWhoseBodyNamesEveryPictureItHolds) {
    CTAV_AnalyserDoc doc;
    Build(doc, {"A<&>\"1", "B", "C"}, {0, 1, 2});
    TempDir dir;
    const std::string path = dir.File("pictures.docx");
    std::string error;
    const mode_t mask = ::umask(022);
    const bool written = WritePictureDocument(path, CheckedPictureItems(doc), "bmp", FakeEncoder({2}), &error);
    ::umask(mask);
    ASSERT_TRUE(written) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "the usual permissions, not the temporary file's 0600";
    const auto members = ZipMembers(path);
    ASSERT_TRUE(members.count("[Content_Types].xml"));
    ASSERT_TRUE(members.count("_rels/.rels"));
    ASSERT_TRUE(members.count("word/_rels/document.xml.rels"));
    ASSERT_TRUE(members.count(std::string(kDocxBodyMember)));
    const std::string& body = members.at(std::string(kDocxBodyMember));
    const std::string& rels = members.at("word/_rels/document.xml.rels");
    int media = 0;
    for (const auto& [name, data] : members) {
        if (name.rfind("word/media/", 0) != 0) continue;
        ++media;
        const std::string file = name.substr(std::string("word/media/").size());
        const auto relAt = rels.find("Target=\"media/" + file + "\"");
        ASSERT_NE(relAt, std::string::npos) << file;
        const auto idAt = rels.rfind("Id=\"", relAt);
        const std::string id = rels.substr(idAt + 4, rels.find('"', idAt + 4) - idAt - 4);
        EXPECT_NE(body.find("r:embed=\"" + id + "\""), std::string::npos) << id;
        EXPECT_EQ(data.substr(0, 2), "BM");
    }
    EXPECT_EQ(media, 2);  // the item that could not be drawn is left out
    // Captions in item order, escaped for XML.
    const auto first = body.find("NO1：A&lt;&amp;&gt;&quot;1");
    const auto third = body.find("NO3：C");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(third, std::string::npos);
    EXPECT_LT(first, third);
    EXPECT_EQ(body.find("NO2：B"), std::string::npos);
}

TEST(PictureDocument, NothingDrawnOrNowhereToWriteIsAFailure) {
    CTAV_AnalyserDoc doc;
    Build(doc, {"A"}, {0});
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WritePictureDocument(dir.File("a.docx"), CheckedPictureItems(doc), "bmp", FakeEncoder({1}), &error));
    EXPECT_FALSE(WritePictureDocument(dir.File("missing/a.docx"), CheckedPictureItems(doc), "bmp", FakeEncoder(), &error));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 0u);
}

TEST(PictureDocument, XmlTextDropsWhatXmlCannotCarry) {
    EXPECT_EQ(XmlText("a\x01" "b\x7f"), "ab\x7f");
    EXPECT_EQ(XmlText("桩\xff\xe6\xa1"), "桩");       // a stray byte, a cut sequence
    EXPECT_EQ(XmlText("\xed\xa0\x80x"), "x");          // a surrogate
    EXPECT_EQ(XmlText("\xc0\xafx"), "x");              // an overlong slash
    EXPECT_EQ(XmlText("\xf0\x9f\x98\x80"), "\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace tav
