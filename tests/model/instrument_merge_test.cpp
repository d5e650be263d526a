#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/instrument_merge.hpp"
#include "model/merge_selection.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/old_layout_writer.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

namespace fs = std::filesystem;
using testing::OldPoint;
using testing::TempDir;

// Instrument files below a source folder; each carries a distinct waveform.
class MergeTree {
public:
    MergeTree() { fs::create_directories(out()); }
    std::string out() const { return dir_.File("out"); }

    std::string Add(const std::string& relative, float level = 1.0f, bool goodTag = true) {
        const std::string path = dir_.File("src/" + relative);
        fs::create_directories(fs::path(path).parent_path());
        OldPoint p;
        p.samples = testing::PulseSamples(64, 20, level, 50, level * 0.2f);
        auto bytes = testing::InstrumentFileBytes(p);
        if (!goodTag) bytes[0] = 'X';
        WriteFileAtomically(path, bytes);
        return path;
    }

private:
    TempDir dir_;
};

std::vector<std::string> Names(const MergeReport& r) {
    std::vector<std::string> names;
    for (const auto& p : r.written) names.push_back(fs::path(p).filename().string());
    return names;
}

struct Loaded {
    LoadResult result;
    std::vector<std::string> piles;
    std::vector<int> recordNos;
    std::vector<float> heights;
    std::string unit, site;
};

Loaded Load(const std::string& path) {
    CTAV_AnalyserDoc doc;
    Loaded l;
    l.result = OpenFile(doc, path);
    for (const auto& tp : doc.points) {
        l.piles.emplace_back(TextOf(tp.pileNo));
        l.recordNos.push_back(tp.recordNo);
        l.heights.push_back(tp.rawSamples.at(20));
    }
    l.unit = Cp936ToUtf8(TextOf(doc.header.testUnit));
    l.site = Cp936ToUtf8(TextOf(doc.header.projectName));
    return l;
}

TEST(InstrumentMerge, PathComponentsAreTheThreeFoldersAbove) {
    auto c = InstrumentPathComponents("/data/UnitA/SiteB/P7/001.PID");
    EXPECT_EQ(c.testUnit, "UnitA");
    EXPECT_EQ(c.site, "SiteB");
    EXPECT_EQ(c.pileNo, "P7");
    c = InstrumentPathComponents("/SiteB/P7/001.PID");
    EXPECT_EQ(c.testUnit, "");
    EXPECT_EQ(c.site, "SiteB");
    c = InstrumentPathComponents("001.PID");
    EXPECT_EQ(c.pileNo, "");
}

TEST(InstrumentMerge, PerPileFilesAreNamedAndNumbered) {
    MergeTree t;
    const std::vector<std::string> chosen{t.Add("UnitA/SiteB/P7/001.PID", 1), t.Add("UnitA/SiteB/P7/002.pid", 2),
                                          t.Add("UnitA/SiteB/P8/001.PID", 3)};
    auto r = MergeInstrumentFiles(chosen, kMergePerPile, t.out());
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.message, "成功合并3条数据。");
    EXPECT_EQ(Names(r), (std::vector<std::string>{"UnitA_SiteB_P7.tav", "UnitA_SiteB_P8.tav"}));
    const Loaded p7 = Load(r.written[0]);
    ASSERT_EQ(p7.result.status, LoadStatus::Ok) << p7.result.message;
    EXPECT_EQ(p7.result.version, 2);
    EXPECT_EQ(p7.recordNos, (std::vector<int>{1, 2}));
    EXPECT_EQ(p7.piles, (std::vector<std::string>{"P7", "P7"}));
    EXPECT_EQ(p7.heights, (std::vector<float>{1, 2}));
    EXPECT_EQ(p7.unit, "UnitA");
    EXPECT_EQ(p7.site, "SiteB");
    EXPECT_EQ(Load(r.written[1]).recordNos, (std::vector<int>{1}));

    // The same merge again never overwrites: the numbered names follow.
    r = MergeInstrumentFiles(chosen, kMergePerPile, t.out() + "/");
    EXPECT_EQ(Names(r), (std::vector<std::string>{"UnitA_SiteB_P7 (2).tav", "UnitA_SiteB_P8 (2).tav"}));
    r = MergeInstrumentFiles(chosen, kMergePerSite, t.out());
    EXPECT_EQ(Names(r), (std::vector<std::string>{"UnitA_SiteB.tav"}));
    const Loaded site = Load(r.written[0]);
    EXPECT_EQ(site.piles, (std::vector<std::string>{"P7", "P7", "P8"}));
    EXPECT_EQ(site.recordNos, (std::vector<int>{1, 2, 3}));
}

TEST(InstrumentMerge, FilesOfOnePileApartGiveTwoOutputs) {
    MergeTree t;
    const std::vector<std::string> chosen{t.Add("U/S/P1/a.PID"), t.Add("U/S/P2/a.PID"), t.Add("U/S/P1/b.PID")};
    const auto r = MergeInstrumentFiles(chosen, kMergePerPile, t.out());
    EXPECT_EQ(Names(r), (std::vector<std::string>{"U_S_P1.tav", "U_S_P2.tav", "U_S_P1 (2).tav"}));
    EXPECT_EQ(Load(r.written[2]).recordNos, (std::vector<int>{1}));
}

TEST(InstrumentMerge, SkippedFilesAreCountedAndEachReasonNamedOnce) {
    MergeTree t;
    const std::string shallow = "/S/P/x.PID";
    const std::vector<std::string> chosen{
        shallow,
        t.Add("U/S/P1/good.PID"),
        t.Add("U/" + std::string(21, 's') + "/P1/a.PID"),
        t.Add("U/S/P2/bad.PID", 1.0f, false),
        t.Add("U/S/P3/bad.PID", 1.0f, false),
        "/P9/a.PID",
    };
    const auto r = MergeInstrumentFiles(chosen, kMergePerPile, t.out());
    EXPECT_EQ(r.result, kSkippedIncompletePath | kSkippedNameTooLong | kSkippedForeignTag);
    EXPECT_EQ(r.message, "成功合并1条数据。因为以下原因，跳过5条数据：\n目录信息不全(缺失检测单位、工地名称、桩号)，比如" +
                             shallow + "\n检测单位(50)、工地名称(20)、桩号(20)中，有命名超长的。比如" + chosen[2] +
                             "\n有文件头不是Q-TAV2015的数据，比如" + chosen[3]);
    EXPECT_EQ(Names(r), (std::vector<std::string>{"U_S_P1.tav"}));
}

TEST(InstrumentMerge, NoOutputHoldsMoreTestPointsThanAProjectMay) {
    TempDir dir;
    fs::create_directories(dir.File("U/S/P1"));
    std::vector<std::string> chosen;
    for (int k = 0; k < 16384; ++k) {
        chosen.push_back(dir.File("U/S/P1/" + std::to_string(k)));
        std::ofstream(chosen.back(), std::ios::binary) << "Q-TAV2015x";  // no sync: thousands of files
    }
    const auto r = MergeInstrumentFiles(chosen, kMergePerPile, dir.path());
    EXPECT_EQ(r.message, "成功合并16384条数据。");
    ASSERT_EQ(Names(r), (std::vector<std::string>{"U_S_P1.tav", "U_S_P1 (2).tav"}));
    const auto first = ReadWholeFile(r.written[0]).value();
    EXPECT_EQ(first[5] | first[6] << 8, 16383);
    EXPECT_EQ(ReadWholeFile(r.written[1]).value()[5], 1);
}

TEST(InstrumentMerge, FolderAndEmptySelectionMessages) {
    MergeTree t;
    const std::vector<std::string> none;
    auto r = MergeInstrumentFiles(none, kMergePerPile, t.out());
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.message, "没有数据文件被选中");
    r = MergeInstrumentFiles(none, kMergePerPile, t.out() + "/missing");
    EXPECT_EQ(r.result, kMergeBadFolder);
    EXPECT_EQ(r.message, "保存位置有误！");
    EXPECT_EQ(MergeInstrumentFiles(none, kMergePerPile, "").result, kMergeBadFolder);
}

TEST(InstrumentMerge, LongPileNumbersKeepWholeCharactersInTenBytes) {
    EXPECT_EQ(MergedPileNumber("P123456789AB"), "P123456789");
    const std::string mixed = Utf8ToCp936("A桩一二三四五");  // 13 bytes
    EXPECT_EQ(Cp936ToUtf8(MergedPileNumber(mixed)), "A桩一二三");

    MergeTree t;
    const std::vector<std::string> chosen{t.Add("U/S/桩号一二三四五六/a.PID")};
    const auto r = MergeInstrumentFiles(chosen, kMergePerPile, t.out());
    ASSERT_EQ(Names(r), (std::vector<std::string>{"U_S_桩号一二三四五六.tav"}));
    EXPECT_EQ(Cp936ToUtf8(Load(r.written[0]).piles.at(0)), "桩号一二三");
}

TEST(MergeSelection, CheckingFoldersChoosesTheFilesBelowInPathOrder) {
    MergeTree t;
    const std::string b = t.Add("U/S/P2/b.PID");
    const std::string a = t.Add("U/S/P1/a.pid");
    const std::string c = t.Add("U/S/P1/c.PID");
    t.Add("U/S/P1/notes.txt");
    MergeSelection sel;
    const int top = sel.AddTopLevel(fs::path(a).parent_path().parent_path().string() + "/", MergeNodeKind::Folder);
    sel.Expand(top);
    ASSERT_EQ(sel.Node(top).children.size(), 2u);
    EXPECT_EQ(sel.Node(sel.Node(top).children[0]).name, "P1");
    EXPECT_EQ(sel.SetChecked(top, true), "");
    EXPECT_EQ(sel.ChosenList(), (std::vector<std::string>{a, c, b}));

    const int p1 = sel.Node(top).children[0];
    ASSERT_EQ(sel.Node(p1).children.size(), 2u);  // the text file is not listed
    sel.SetChecked(p1, false);
    EXPECT_FALSE(sel.Node(sel.Node(p1).children[1]).checked);
    EXPECT_EQ(sel.ChosenList(), (std::vector<std::string>{b}));
    sel.SetChecked(sel.Node(p1).children[1], true);
    EXPECT_EQ(sel.ChosenList(), (std::vector<std::string>{c, b}));

    // The merge button: an empty save folder runs nothing.
    auto pressed = PressMergeButton(sel, "", true);
    EXPECT_FALSE(pressed.merged);
    EXPECT_EQ(pressed.warning, "先请设置保存位置！");
    pressed = PressMergeButton(sel, SaveFolderFieldText(t.out()), false);
    EXPECT_TRUE(pressed.merged);
    EXPECT_EQ(Names(pressed.report), (std::vector<std::string>{"U_S.tav"}));

    sel.AddDrives(std::vector<std::string>{"/", "/no/such/drive"});
    ASSERT_EQ(sel.TopLevel().size(), 2u);
    const int drive = sel.TopLevel()[1];
    EXPECT_EQ(sel.SetChecked(drive, true), "");
    EXPECT_TRUE(sel.Node(drive).checked);
    EXPECT_EQ(sel.ChosenList().size(), 2u);
}

TEST(MergeSelection, MoreThan600SubfoldersCheckOnlyTheFolder) {
    TempDir dir;
    // 20 folders with 29 each below them: 600 folders below "big".
    for (int d = 0; d < 20; ++d)
        for (int k = 0; k < 29; ++k) fs::create_directories(dir.File("big/d" + std::to_string(d) + "/" + std::to_string(k)));
    WriteFileAtomically(dir.File("big/d0/0/x.PID"), std::vector<std::uint8_t>{1});
    MergeSelection sel;
    const int big = sel.AddTopLevel(dir.File("big"), MergeNodeKind::Folder);
    EXPECT_EQ(sel.SetChecked(big, true), "");
    EXPECT_EQ(sel.ChosenList(), (std::vector<std::string>{dir.File("big/d0/0/x.PID")}));

    sel.SetChecked(big, false);
    EXPECT_TRUE(sel.ChosenList().empty());
    fs::create_directories(dir.File("big/one-more"));
    MergeSelection fresh;
    const int again = fresh.AddTopLevel(dir.File("big"), MergeNodeKind::Folder);
    EXPECT_EQ(fresh.SetChecked(again, true), "该文件夹下有太多的子目录，请做更精确的选择！");
    EXPECT_TRUE(fresh.Node(again).checked);
    EXPECT_TRUE(fresh.Node(again).children.empty());
    EXPECT_TRUE(fresh.ChosenList().empty());
}

TEST(InstrumentMerge, TavtoolMergesAFolderTree) {
    MergeTree t;
    t.Add("U/S/P1/a.PID");
    t.Add("U/S/P2/a.PID");
    const std::string src = fs::path(t.out()).parent_path().string() + "/src";
    auto r = testing::RunTavtool({"merge", "--mode", "site", "--out", t.out(), src});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "成功合并2条数据。\n" + t.out() + "/U_S.tav\n");
    EXPECT_EQ(Load(t.out() + "/U_S.tav").piles, (std::vector<std::string>{"P1", "P2"}));

    r = testing::RunTavtool({"merge", "--out", t.out() + "/nowhere", src});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "保存位置有误！\n");
    EXPECT_EQ(testing::RunTavtool({"merge", "--mode", "tree", "--out", t.out(), src}).exitCode, 1);
}

}  // namespace
}  // namespace tav
