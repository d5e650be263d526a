#include "app/settings_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/analysis_bar_store.hpp"
#include "base/atomic_file.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;

using testing::TempDir;


std::vector<std::uint8_t> Ints(std::initializer_list<std::int32_t> values) {
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    for (auto v : values) out.I32(v);
    return bytes;
}

void WriteImage(const std::string& path, std::string_view tag, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> image(30, 0);
    std::copy(tag.begin(), tag.end(), image.begin());
    image.insert(image.end(), payload.begin(), payload.end());
    ASSERT_TRUE(WriteFileAtomically(path, image));
}

std::vector<std::uint8_t> FileBytes(const std::string& path) { return ReadWholeFile(path).value_or(std::vector<std::uint8_t>{}); }

TEST(SettingsFiles, MissingFilesAreCreatedWithTheirDefaults) {
    TempDir dir;
    SettingsFiles files(dir.path());
    EXPECT_EQ(files.PathOf(SettingsGroup::Disp), dir.path() + "/QRV_TAV4_DISP_001.ini");

    DisplaySettings disp;
    EXPECT_FALSE(files.LoadOrCreate(disp));
    std::vector<std::uint8_t> expected(30, 0);
    const std::string tag = "QRV_TAV4_DISP_001";
    std::copy(tag.begin(), tag.end(), expected.begin());
    const auto payload = Ints({0, 1, 1, 1, 3, 9, 31, 32, 36, 35, 3, 30, 33, 34, 13, 1});
    expected.insert(expected.end(), payload.begin(), payload.end());
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Disp)), expected);

    EditScopeSettings edit;
    CursorStyleSettings curs;
    AnalysisBarPayload selt;
    PictureExportPayload bmp;
    PrintSettingsPayload print;
    EXPECT_FALSE(files.LoadOrCreate(edit));
    EXPECT_FALSE(files.LoadOrCreate(curs));
    EXPECT_FALSE(files.LoadOrCreate(selt));
    EXPECT_FALSE(files.LoadOrCreate(bmp));
    EXPECT_FALSE(files.LoadOrCreate(print));
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Edit)).size(), 34u);
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Curs))[30], 1);
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Selt)).size(), 30u + 56u);
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Bmp)).size(), 30u + 276u);
    EXPECT_EQ(FileBytes(files.PathOf(SettingsGroup::Print)).size(), 30u + 5460u);

    // A second start reads what the first wrote.
    DisplaySettings again;
    again.annotationItems = {7};
    EXPECT_TRUE(files.LoadOrCreate(again));
    EXPECT_EQ(again.annotationItems, disp.annotationItems);
    EXPECT_TRUE(files.LoadOrCreate(curs));
}

TEST(SettingsFiles, ForeignOrShortFileIsReplacedByCurrentValues) {
    TempDir dir;
    SettingsFiles files(dir.path());
    // Another group's file under this name.
    WriteImage(files.PathOf(SettingsGroup::Curs), "QRV_TAV4_EDIT_001", Ints({2}));
    CursorStyleSettings curs;
    EXPECT_FALSE(files.LoadOrCreate(curs));
    EXPECT_EQ(curs.cursorStyle, 1);
    EXPECT_TRUE(SettingsFiles::PayloadOfImage(SettingsGroup::Curs, FileBytes(files.PathOf(SettingsGroup::Curs))));

    // A longer tag is another tag; text after the terminating zero is not part of it.
    WriteImage(files.PathOf(SettingsGroup::Edit), "QRV_TAV4_EDIT_0012", Ints({1}));
    EditScopeSettings edit;
    EXPECT_FALSE(files.Read(edit));
    auto image = SettingsFiles::MakeImage(SettingsGroup::Edit, Ints({1}));
    image[25] = 'x';
    ASSERT_TRUE(WriteFileAtomically(files.PathOf(SettingsGroup::Edit), image));
    EXPECT_TRUE(files.Read(edit));
    EXPECT_EQ(edit.editScope, 1);

    // A payload cut short is not read at all.
    WriteImage(files.PathOf(SettingsGroup::Bmp), "QRV_TAV4_BMP_001", Ints({1, 1, 0}));
    PictureExportPayload bmp;
    EXPECT_FALSE(files.Read(bmp));
    EXPECT_EQ(bmp.dataChoice, 0);
    EXPECT_EQ(bmp.outputKind, 1);
}

TEST(SettingsFiles, DisplayReadingRules) {
    TempDir dir;
    SettingsFiles files(dir.path());
    const std::string path = files.PathOf(SettingsGroup::Disp);

    // The stored wave train count is replaced by 3; the file ends after the codes.
    WriteImage(path, "QRV_TAV4_DISP_001", Ints({1, 0, 2, 0, 0, 2, 33, 34}));
    DisplaySettings disp;
    disp.magnifyRaw = 0;
    ASSERT_TRUE(files.Read(disp));
    EXPECT_EQ(disp.operationScope, 1);
    EXPECT_EQ(disp.viewOption2, 0);
    EXPECT_EQ(disp.viewOption3, 2);
    EXPECT_EQ(disp.waveTrainCount, 3);
    EXPECT_EQ(disp.annotationItems, (std::vector<std::int32_t>{33, 34}));
    EXPECT_EQ(disp.magnifyRaw, 1);

    // A count of zero or below keeps the previous codes; the final flag is read.
    for (std::int32_t count : {0, -4}) {
        WriteImage(path, "QRV_TAV4_DISP_001", Ints({0, 1, 1, 1, 7, count, 0}));
        DisplaySettings d;
        d.annotationItems = {5, 6};
        ASSERT_TRUE(files.Read(d));
        EXPECT_EQ(d.annotationItems, (std::vector<std::int32_t>{5, 6}));
        EXPECT_EQ(d.magnifyRaw, 0);
        EXPECT_EQ(d.waveTrainCount, 3);
    }

    // A count beyond the file's end fails without touching the record (and allocates nothing).
    WriteImage(path, "QRV_TAV4_DISP_001", Ints({1, 1, 1, 1, 3, 0x7FFFFFFF, 1}));
    DisplaySettings d;
    d.magnifyRaw = 0;
    EXPECT_FALSE(files.Read(d));
    EXPECT_EQ(d.operationScope, 0);
    EXPECT_EQ(d.annotationItems.size(), 9u);
    EXPECT_EQ(d.magnifyRaw, 1);  // every read starts by setting the flag

    // Round trip of a changed record.
    d.operationScope = 1;
    d.waveTrainCount = 5;
    d.annotationItems = {13};
    d.magnifyRaw = 0;
    ASSERT_TRUE(files.Write(d));
    DisplaySettings back;
    ASSERT_TRUE(files.Read(back));
    EXPECT_EQ(back.operationScope, 1);
    EXPECT_EQ(back.waveTrainCount, 3);
    EXPECT_EQ(back.annotationItems, (std::vector<std::int32_t>{13}));
    EXPECT_EQ(back.magnifyRaw, 0);
}

TEST(SettingsFiles, FixedPayloadsKeepTheirLayout) {
    TempDir dir;
    SettingsFiles files(dir.path());

    AnalysisBarPayload selt;
    selt.SetValue(0, 3);
    selt.SetValue(13, -2);
    EXPECT_EQ(selt.bytes[0], 3);
    EXPECT_EQ(selt.bytes[52], 0xFE);
    EXPECT_EQ(selt.bytes[55], 0xFF);
    ASSERT_TRUE(files.Write(selt));
    AnalysisBarPayload seltBack;
    ASSERT_TRUE(files.Read(seltBack));
    EXPECT_EQ(seltBack.Value(13), -2);

    PictureExportPayload bmp;
    bmp.dataChoice = 1;
    bmp.formatIndex = 1;
    bmp.SetFolder("/home/工程/图形");
    ASSERT_TRUE(files.Write(bmp));
    const auto image = FileBytes(files.PathOf(SettingsGroup::Bmp));
    ASSERT_EQ(image.size(), 306u);
    EXPECT_EQ(image[30], 1);  // data choice at offset 30
    EXPECT_EQ(image[34], 1);  // format index at offset 34
    EXPECT_EQ(image[46], '/');  // folder at offset 46
    PictureExportPayload bmpBack;
    ASSERT_TRUE(files.Read(bmpBack));
    EXPECT_EQ(bmpBack.Folder(), "/home/工程/图形");

    // A folder too long for its field is cut on a character boundary and stays terminated.
    std::string longFolder(258, 'a');
    longFolder += "图";
    bmp.SetFolder(longFolder);
    EXPECT_EQ(bmp.Folder(), std::string(258, 'a'));
    EXPECT_EQ(bmp.folder[259], '\0');
}

TEST(SettingsFiles, TheSignalMatchingChoiceFollowsTheFolderOnlyWhenOn) {
    TempDir dir;
    SettingsFiles files(dir.path());
    PictureExportPayload bmp;
    bmp.dataChoice = 1;
    bmp.SetFolder("/home/图形");
    ASSERT_TRUE(files.Write(bmp));
    const auto without = FileBytes(files.PathOf(SettingsGroup::Bmp));
    ASSERT_EQ(without.size(), 306u);

    bmp.matchPictures = 1;
    ASSERT_TRUE(files.Write(bmp));
    const auto with = FileBytes(files.PathOf(SettingsGroup::Bmp));
    ASSERT_EQ(with.size(), 314u);
    EXPECT_TRUE(std::equal(without.begin(), without.end(), with.begin()));  // the older fields as they were
    PictureExportPayload back;
    ASSERT_TRUE(files.Read(back));
    EXPECT_EQ(back.matchPictures, 1);
    EXPECT_EQ(back.dataChoice, 1);

    // A file without the choice reads it as off, whatever the record held before;
    // bytes after the folder that are not the choice are ignored as before.
    ASSERT_TRUE(WriteFileAtomically(files.PathOf(SettingsGroup::Bmp), without));
    ASSERT_TRUE(files.Read(back));
    EXPECT_EQ(back.matchPictures, 0);
    auto foreign = without;
    foreign.insert(foreign.end(), {'M', 'T', 'C', 'X', 1, 0, 0, 0});
    ASSERT_TRUE(WriteFileAtomically(files.PathOf(SettingsGroup::Bmp), foreign));
    back.matchPictures = 1;
    ASSERT_TRUE(files.Read(back));
    EXPECT_EQ(back.matchPictures, 0);
    auto cut = with;
    cut.pop_back();
    ASSERT_TRUE(WriteFileAtomically(files.PathOf(SettingsGroup::Bmp), cut));
    ASSERT_TRUE(files.Read(back));
    EXPECT_EQ(back.matchPictures, 0);
}

TEST(SettingsFiles, FailedWriteIsReportedAndValuesStayInForce) {
    TempDir dir;
    // The settings folder is a file: nothing can be created below it.
    ASSERT_TRUE(WriteFileAtomically(dir.File("blocked"), std::vector<std::uint8_t>{1}));
    RecordingPrompts prompts;
    SettingsFiles files(dir.File("blocked"), &prompts);
    CursorStyleSettings curs;
    curs.cursorStyle = 2;
    EXPECT_FALSE(files.LoadOrCreate(curs));
    EXPECT_EQ(curs.cursorStyle, 2);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "写设置文件失败！");
}

TEST(SettingsFiles, AnalysisBarSelectionsSurviveARestart) {
    testing::TempDir dir;
    SettingsFiles files(dir.path());
    AnalysisBarSettings bar;
    EXPECT_FALSE(LoadAnalysisBarSettings(files, bar));
    bar.analysisType = kAnalysisWavelet;
    bar.waveletLevel = 8;
    ASSERT_TRUE(SaveAnalysisBarSettings(files, bar));

    AnalysisBarPayload raw;
    ASSERT_TRUE(files.Read(raw));
    EXPECT_EQ(raw.Value(0), 3);
    EXPECT_EQ(raw.Value(13), 8);
    AnalysisBarSettings back;
    EXPECT_TRUE(LoadAnalysisBarSettings(files, back));
    EXPECT_EQ(back, bar);
}

}  // namespace
}  // namespace tav
