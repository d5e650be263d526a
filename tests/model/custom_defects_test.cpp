#include "model/custom_defects.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using Recorder = testing::RecordingPrompts;

using testing::TempDir;
using Focus = CustomDefectDialogModel::Focus;


CustomDefect Entry(std::string_view cp936, std::int32_t counter, std::uint8_t grade) {
    CustomDefect d;
    SetText(d.name, cp936);
    d.counter = counter;
    d.grade = grade;
    return d;
}

std::vector<std::uint8_t> FileOf(const TempDir& dir) {
    return ReadWholeFile(CustomDefectFilePath(dir.path())).value_or(std::vector<std::uint8_t>{});
}

TEST(CustomDefectFile, RecordLayoutAndDamagedFiles) {
    const std::vector<CustomDefect> list{Entry("b", 0x01020304, 2), Entry("A", -1, 0)};
    const auto bytes = SerializeCustomDefects(list);
    ASSERT_EQ(bytes.size(), 112u);
    EXPECT_EQ(bytes[0], 'b');
    EXPECT_EQ(bytes[51], 0x04) << "counter little-endian at byte 51";
    EXPECT_EQ(bytes[54], 0x01);
    EXPECT_EQ(bytes[55], 2) << "grade in the last byte";

    auto read = ParseCustomDefects(bytes);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(TextOf(read[0].name), "A") << "sorted without regard to case";
    EXPECT_EQ(read[1].counter, 0x01020304);

    auto damaged = bytes;
    damaged.resize(111);
    EXPECT_EQ(ParseCustomDefects(damaged).size(), 1u) << "the short final record is ignored";

    std::vector<std::uint8_t> many;
    for (int k = 0; k < 25; ++k) {
        const auto one = SerializeCustomDefects(std::vector<CustomDefect>{Entry(std::to_string(k), k, 0)});
        many.insert(many.end(), one.begin(), one.end());
    }
    EXPECT_EQ(ParseCustomDefects(many).size(), kMaxCustomDefects);

    // A trail byte that looks like a letter is not folded: these are two different characters.
    EXPECT_NE(CompareNamesNoCase("\xb0\x41", "\xb0\x61"), 0);
    EXPECT_EQ(CompareNamesNoCase("Crack", "cRACK"), 0);

    TempDir dir;
    EXPECT_TRUE(LoadCustomDefects(dir.path()).empty()) << "no file, empty list";
}

TEST(CustomDefectDialog, NewNamesAndTheTwentyFirst) {
    TempDir dir;
    Recorder ask;
    for (int k = 0; k < 20; ++k) {
        CustomDefectDialogModel dialog(dir.path(), "n" + std::to_string(k + 10), 1);
        const auto r = dialog.Ok(ask);
        ASSERT_TRUE(r.close);
        EXPECT_EQ(r.grade, 1);
    }
    auto list = LoadCustomDefects(dir.path());
    ASSERT_EQ(list.size(), 20u);

    CustomDefectDialogModel dialog(dir.path(), "zz", 2);
    const std::string last = dialog.NamesUtf8().back();
    const std::int32_t firstCounter = dialog.List().front().counter;
    ASSERT_TRUE(dialog.Ok(ask).close);
    list = LoadCustomDefects(dir.path());
    ASSERT_EQ(FileOf(dir).size(), 20 * kCustomDefectRecordBytes);
    const auto names = CustomDefectDialogModel(dir.path(), "", -1).NamesUtf8();
    EXPECT_EQ(std::count(names.begin(), names.end(), last), 0) << "the last entry was overwritten";
    EXPECT_EQ(std::count(names.begin(), names.end(), "zz"), 1);
    EXPECT_EQ(list.back().counter, firstCounter + 1);
    EXPECT_TRUE(ask.messages.empty());
}

TEST(CustomDefectDialog, ExistingNameInOtherCaseIsUpdated) {
    TempDir dir;
    SaveCustomDefects(dir.path(), std::vector<CustomDefect>{Entry("Void", 4, 0), Entry(Utf8ToCp936("空洞"), 2, 1)});
    CustomDefectDialogModel dialog(dir.path(), "", -1);
    dialog.TypeName("  vOID ");
    dialog.SelectGrade(2);
    Recorder ask;
    const auto r = dialog.Ok(ask);
    ASSERT_TRUE(r.close);
    EXPECT_EQ(r.nameUtf8, "vOID") << "the entry takes the new spelling";
    const auto list = LoadCustomDefects(dir.path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(TextOf(list[0].name), "vOID");
    EXPECT_EQ(list[0].grade, 2);
    EXPECT_EQ(list[0].counter, 5);

    CustomDefectDialogModel again(dir.path(), "空洞", 0);
    EXPECT_EQ(again.Selected(), 1) << "the caller's name is selected";
    again.SelectName(0);
    EXPECT_EQ(again.Grade(), 2) << "choosing a name chooses its grade";
}

TEST(CustomDefectDialog, ChecksKeepTheDialogOpen) {
    TempDir dir;
    Recorder ask;
    CustomDefectDialogModel dialog(dir.path(), "   ", 0);
    auto r = dialog.Ok(ask);
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, Focus::NameList);

    dialog.TypeName(std::string(51, 'x'));
    r = dialog.Ok(ask);
    EXPECT_FALSE(r.close);

    dialog.TypeName(std::string(50, 'x'));
    dialog.SelectGrade(-1);
    r = dialog.Ok(ask);
    EXPECT_EQ(r.focus, Focus::GradeList);
    EXPECT_EQ(ask.messages, (std::vector<std::string>{"缺陷名称不能为空！", "缺陷名称的长度(=51)超过了限制(50)！",
                                                      "请选择缺陷等级！"}));
    EXPECT_TRUE(FileOf(dir).empty());

    dialog.SelectGrade(0);
    r = dialog.Ok(ask);
    ASSERT_TRUE(r.close);
    EXPECT_EQ(r.nameCp936, std::string(50, 'x'));
    EXPECT_EQ(LoadCustomDefects(dir.path())[0].counter, 1);
}

TEST(CustomDefectDialog, DeleteAsksAndWaitsForOk) {
    TempDir dir;
    SaveCustomDefects(dir.path(), std::vector<CustomDefect>{Entry("a", 1, 0), Entry("b", 2, 1), Entry("c", 3, 2)});
    const auto before = FileOf(dir);
    {
        CustomDefectDialogModel dialog(dir.path(), "c", -1);
        Recorder cancel(false);
        EXPECT_FALSE(dialog.DeleteSelected(cancel));
        EXPECT_EQ(cancel.questions, std::vector<std::string>{"确实要从列表删除该自定义缺陷吗？"});
        Recorder ok(true);
        ASSERT_TRUE(dialog.DeleteSelected(ok));
        EXPECT_EQ(dialog.NamesUtf8(), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(dialog.Selected(), 0) << "the removed entry was the last: the first is chosen";
        EXPECT_EQ(dialog.Grade(), 0);
        // The dialog is cancelled here: nothing was written.
    }
    EXPECT_EQ(FileOf(dir), before);

    CustomDefectDialogModel dialog(dir.path(), "a", -1);
    Recorder ok(true);
    ASSERT_TRUE(dialog.DeleteSelected(ok));
    EXPECT_EQ(dialog.EditText(), "b");
    ASSERT_TRUE(dialog.Ok(ok).close);
    EXPECT_EQ(LoadCustomDefects(dir.path()).size(), 2u);
}

TEST(CustomDefectDialog, FirstRunCreatesTheFolder) {
    TempDir dir;
    CustomDefectDialogModel dialog(dir.File("config/tav"), "new", 0);
    Recorder ask;
    EXPECT_TRUE(dialog.Ok(ask).close);
    EXPECT_EQ(LoadCustomDefects(dir.File("config/tav")).size(), 1u);
}

TEST(CustomDefectDialog, UnwritableFolderKeepsTheDialogAndTheList) {
    TempDir dir;
    const std::string folder = dir.File("plain-file");
    WriteFileAtomically(folder, std::vector<std::uint8_t>{1});
    CustomDefectDialogModel dialog(folder, "new", 0);
    Recorder ask;
    const auto r = dialog.Ok(ask);
    EXPECT_FALSE(r.close);
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_TRUE(dialog.List().empty());
}

}  // namespace
}  // namespace tav
