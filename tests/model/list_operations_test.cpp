#include <gtest/gtest.h>

#include <filesystem>

#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/list_commands.hpp"
#include "model/pile_quantities.hpp"
#include "model/snapshot.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::WaveformPoint;

// One test point per pile number given; recordNo numbers them in order.
void Fill(CTAV_AnalyserDoc& doc, std::initializer_list<const char*> piles) {
    for (const char* p : piles) {
        TestPoint tp = WaveformPoint(p, 32, static_cast<std::uint32_t>(doc.PointCount() + 1));
        tp.recordNo = static_cast<std::int16_t>(doc.PointCount());
        doc.InsertPoint(doc.PointCount(), tp);
    }
    doc.header = testing::MakeHeader("单位", "工程");
}

std::vector<std::string> Piles(const CTAV_AnalyserDoc& doc) {
    std::vector<std::string> out;
    for (const auto& tp : doc.points) out.emplace_back(TextOf(tp.pileNo));
    return out;
}

std::vector<int> Records(const CTAV_AnalyserDoc& doc) {
    std::vector<int> out;
    for (const auto& tp : doc.points) out.push_back(tp.recordNo);
    return out;
}

using Names = std::vector<std::string>;
using Ints = std::vector<int>;

TEST(PileNames, SuccessorCharactersFormOneCycle) {
    EXPECT_EQ(NextPileChar('0'), '1');
    EXPECT_EQ(NextPileChar('9'), 'a');
    EXPECT_EQ(NextPileChar('y'), 'z');
    EXPECT_EQ(NextPileChar('z'), 'A');
    EXPECT_EQ(NextPileChar('Y'), 'Z');
    EXPECT_EQ(NextPileChar('Z'), '0');
    EXPECT_EQ(NextPileChar(' '), '0');
    EXPECT_EQ(NextPileChar('-'), '0');
    EXPECT_EQ(NextPileChar(static_cast<char>(0xB0)), '0');
}

TEST(PileNames, NewNamesDifferFromBothNeighbours) {
    EXPECT_EQ(NewPileName("P2", "P3", "P3"), "P4");
    EXPECT_EQ(NewPileName("", "A9", "A9"), "Aa");
    EXPECT_EQ(NewPileName("", "", ""), "1");
    EXPECT_EQ(NewPileName("A2", "A3", "A1"), "A4") << "base advanced hits the previous: next advanced";
    EXPECT_EQ(NewPileName("B5", "B1", "B4"), "B6") << "base advanced hits the previous: previous advanced";
    EXPECT_EQ(NewPileName("Q", "Q", "Q"), "R");
}

class ListOps : public ::testing::Test {
protected:
    CTAV_AnalyserDoc doc;
    std::vector<std::uint8_t> Saved() { return doc.SaveProject(); }
};

TEST_F(ListOps, PastingAPileOverAPileOfAnotherSizeAndUndoingIt) {
    Fill(doc, {"A", "B", "B", "C"});
    CTAV_AnalyserDoc source;
    Fill(source, {"X", "X", "X"});
    source.SelectPile(0);
    const auto clip = CopySelection(source);
    ASSERT_TRUE(clip.has_value());
    ASSERT_EQ(clip->count(), 3);

    doc.SelectPile(1);
    const auto before = Saved();
    ASSERT_EQ(PasteCommand(doc, *clip, kSnapPaste), 1);
    EXPECT_EQ(Piles(doc), (Names{"A", "B", "B", "B", "C"}));
    EXPECT_EQ(Records(doc), (Ints{0, 0, 1, 2, 3})) << "the pasted records under the old pile number";
    EXPECT_EQ(doc.selectionMode, kModePile);
    EXPECT_EQ(doc.pileMembers, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_TRUE(doc.Modified());

    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), before);
    ASSERT_EQ(Redo(doc), 1);
    EXPECT_EQ(Piles(doc), (Names{"A", "B", "B", "B", "C"}));
}

TEST_F(ListOps, PastingOnePointReplacesItWhole) {
    Fill(doc, {"A", "B"});
    CTAV_AnalyserDoc source;
    Fill(source, {"Z"});
    source.SelectPoint(0);
    doc.SelectPoint(1);
    const auto before = Saved();
    ASSERT_EQ(PasteCommand(doc, *CopySelection(source), kSnapPaste), 1);
    EXPECT_EQ(Piles(doc), (Names{"A", "Z"})) << "the pile number comes with the test point";
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), before);
}

TEST_F(ListOps, CopyWithoutSelectionCopiesNothing) {
    Fill(doc, {"A"});
    doc.SelectPoint(-1);
    EXPECT_FALSE(CopySelection(doc).has_value());
    EXPECT_EQ(PasteCommand(doc, Snapshot{.mode = kModePoint, .points = {WaveformPoint("Q", 8)}}, kSnapPaste), 0);
    EXPECT_TRUE(doc.undoList.empty());
}

TEST_F(ListOps, InsertedPilesAreRenamedAwayFromTheirNeighbours) {
    Fill(doc, {"P2", "P3", "P3"});
    doc.SelectPile(1);
    auto clip = CopySelection(doc);
    ASSERT_EQ(PasteCommand(doc, *clip, kSnapInsert), 1);
    EXPECT_EQ(Piles(doc), (Names{"P2", "P4", "P4", "P3", "P3"}));
    EXPECT_EQ(doc.currentIndex, 1);

    CTAV_AnalyserDoc first;
    Fill(first, {"A9", "B"});
    first.SelectPile(0);
    ASSERT_EQ(PasteCommand(first, *CopySelection(first), kSnapInsert), 1);
    EXPECT_EQ(Piles(first), (Names{"Aa", "A9", "B"}));

    // Appending after the last pile compares with it alone.
    first.SelectPile(2);
    ASSERT_EQ(PasteCommand(first, *CopySelection(first), kSnapAppend), 1);
    EXPECT_EQ(Piles(first), (Names{"Aa", "A9", "B", "C"}));
    EXPECT_EQ(first.currentPile, 3);

    // Undoing an insert or append removes exactly what it added.
    ASSERT_EQ(Undo(first), 1);
    EXPECT_EQ(Piles(first), (Names{"Aa", "A9", "B"}));
    ASSERT_EQ(Undo(first), 1);
    EXPECT_EQ(Piles(first), (Names{"A9", "B"}));
}

// A renamed pile must not take a number that a pile further away already
// has: a later sort would merge the two into one pile.
TEST_F(ListOps, RenamedPilesSkipNumbersUsedElsewhereInTheProject) {
    Fill(doc, {"P3", "P4", "P5", "P6"});
    doc.SelectPile(0);
    auto clip = CopySelection(doc);
    doc.SelectPile(1);
    ASSERT_EQ(PasteCommand(doc, *clip, kSnapInsert), 1);
    EXPECT_EQ(Piles(doc), (Names{"P3", "P7", "P4", "P5", "P6"})) << "P5 and P6 are taken further down";
    ASSERT_EQ(SortCommand(doc, true), 1);
    EXPECT_EQ(doc.PileCount(), 5) << "no two piles merged by the sort";

    // Appending: P1 after P1 advances to P2, which is taken further down.
    CTAV_AnalyserDoc appended;
    Fill(appended, {"P1", "Q", "P2", "P3"});
    appended.SelectPile(0);
    ASSERT_EQ(PasteCommand(appended, *CopySelection(appended), kSnapAppend), 1);
    EXPECT_EQ(Piles(appended), (Names{"P1", "P4", "Q", "P2", "P3"}));

    // A held pile that differs from both neighbours keeps its number even
    // when the project has it elsewhere: only the rule's names move on.
    CTAV_AnalyserDoc kept;
    Fill(kept, {"A", "B", "C", "A"});
    kept.SelectPile(0);
    clip = CopySelection(kept);
    kept.SelectPile(2);
    ASSERT_EQ(PasteCommand(kept, *clip, kSnapInsert), 1);
    EXPECT_EQ(Piles(kept), (Names{"A", "B", "A", "C", "A"}));
}

TEST_F(ListOps, AppendingIntoAnEmptyProject) {
    CTAV_AnalyserDoc source;
    Fill(source, {"K", "K"});
    source.SelectPile(0);
    ASSERT_EQ(PasteCommand(doc, *CopySelection(source), kSnapPaste), 0);
    ASSERT_EQ(PasteCommand(doc, *CopySelection(source), kSnapInsert), 0);
    ASSERT_EQ(PasteCommand(doc, *CopySelection(source), kSnapAppend), 1);
    EXPECT_EQ(Piles(doc), (Names{"K", "K"})) << "an empty project has no neighbour to differ from";
    EXPECT_EQ(doc.currentPile, 0);
    EXPECT_EQ(doc.hasPoints, 1);
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(doc.PointCount(), 0);
    EXPECT_EQ(doc.hasPoints, 0);
}

TEST_F(ListOps, DeleteThenUndoAtTheEndAndInTheMiddle) {
    Fill(doc, {"A", "B", "B", "C"});
    const auto original = Saved();

    doc.SelectPoint(3);
    ASSERT_EQ(DeleteCommand(doc), 1);
    EXPECT_EQ(doc.undoList.back().kind, kSnapAppend);
    EXPECT_EQ(doc.undoList.back().target, 2);
    EXPECT_EQ(doc.currentIndex, -1) << "no neighbour of the same pile";
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);

    doc.SelectPoint(1);
    ASSERT_EQ(DeleteCommand(doc), 1);
    EXPECT_EQ(doc.undoList.back().kind, kSnapInsert);
    EXPECT_EQ(doc.currentIndex, 1) << "the next test point of the same pile takes its place";
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);

    doc.SelectPile(1);
    ASSERT_EQ(DeleteCommand(doc), 1);
    EXPECT_EQ(Piles(doc), (Names{"A", "C"}));
    EXPECT_EQ(doc.selectionMode, 0);
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);

    // The only test point.
    CTAV_AnalyserDoc one;
    Fill(one, {"S"});
    one.SelectPoint(0);
    ASSERT_EQ(DeleteCommand(one), 1);
    EXPECT_EQ(one.hasPoints, 0);
    ASSERT_EQ(Undo(one), 1);
    EXPECT_EQ(Piles(one), (Names{"S"}));
}

TEST_F(ListOps, UndoingADeleteThatJoinedTwoPilesPutsThePileBackInPlace) {
    Fill(doc, {"Y", "A", "Y", "A"});
    const auto original = Saved();
    doc.SelectPile(2);
    ASSERT_EQ(DeleteCommand(doc), 1);
    EXPECT_EQ(doc.PileCount(), 2) << "the two A now form one pile";
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);
}

TEST_F(ListOps, MovesAtTheEdgesRecordNothing) {
    Fill(doc, {"A", "B", "C"});
    doc.SelectPoint(0);
    EXPECT_FALSE(CanMove(doc, true));
    EXPECT_EQ(MoveCommand(doc, true), 0);
    doc.SelectPoint(2);
    EXPECT_EQ(MoveCommand(doc, false), 0);
    doc.SelectPile(0);
    EXPECT_EQ(MoveCommand(doc, true), 0);
    doc.SelectPile(2);
    EXPECT_EQ(MoveCommand(doc, false), 0);
    doc.SelectPoint(-1);
    EXPECT_EQ(MoveCommand(doc, false), 0);
    EXPECT_TRUE(doc.undoList.empty());
    EXPECT_FALSE(doc.Modified());
}

TEST_F(ListOps, MovesFollowTheSelectionAndUndo) {
    Fill(doc, {"A", "B", "B", "C"});
    const auto original = Saved();
    doc.SelectPoint(1);
    ASSERT_EQ(MoveCommand(doc, true), 1);
    EXPECT_EQ(Records(doc), (Ints{1, 0, 2, 3}));
    EXPECT_EQ(doc.currentIndex, 0);

    doc.SelectPile(2);  // B (the one left at index 2)
    ASSERT_EQ(MoveCommand(doc, false), 1);
    EXPECT_EQ(Records(doc), (Ints{1, 0, 3, 2}));
    EXPECT_EQ(doc.currentPile, 3);

    doc.SelectPile(1);  // A
    ASSERT_EQ(MoveCommand(doc, true), 1);
    EXPECT_EQ(Records(doc), (Ints{0, 1, 3, 2}));
    EXPECT_EQ(doc.currentPile, 0);
    EXPECT_EQ(doc.currentIndex, 0);

    while (Undo(doc)) {}
    EXPECT_EQ(Saved(), original);
}

TEST_F(ListOps, UndoingAPileMoveThatJoinedTwoPilesSplitsThemAgain) {
    Fill(doc, {"X", "B", "X"});
    const auto original = Saved();
    doc.SelectPile(2);
    ASSERT_EQ(MoveCommand(doc, true), 1);
    EXPECT_EQ(Piles(doc), (Names{"X", "X", "B"}));
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);
    ASSERT_EQ(Redo(doc), 1);
    EXPECT_EQ(Records(doc), (Ints{0, 2, 1}));
}

TEST_F(ListOps, SortingIsStableAndRecordsOnlyAChange) {
    Fill(doc, {"B1", "A1", "B1"});
    const auto original = Saved();
    ASSERT_EQ(SortCommand(doc, true), 1);
    EXPECT_EQ(Piles(doc), (Names{"A1", "B1", "B1"}));
    EXPECT_EQ(Records(doc), (Ints{1, 0, 2}));
    EXPECT_EQ(SortCommand(doc, true), 0) << "already sorted";
    EXPECT_EQ(doc.undoList.size(), 1u);
    ASSERT_EQ(SortCommand(doc, false), 1);
    EXPECT_EQ(Records(doc), (Ints{0, 2, 1}));
    ASSERT_EQ(Undo(doc), 1);
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(Saved(), original);
}

TEST_F(ListOps, TicksRecordOnlyChangesAndInvertingAlwaysRecords) {
    Fill(doc, {"A", "B", "C"});
    ASSERT_EQ(TicksCommand(doc, kSnapTickAll), 1);
    EXPECT_EQ(doc.checkedIndices, (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(TicksCommand(doc, kSnapTickAll), 0);
    EXPECT_EQ(TickCommand(doc, 1, true), 0);
    EXPECT_EQ(doc.undoList.size(), 1u);
    ASSERT_EQ(TickCommand(doc, 1, false), 1);
    ASSERT_EQ(TicksCommand(doc, kSnapInvertTicks), 1);
    EXPECT_EQ(doc.checkedIndices, (std::vector<std::int32_t>{1}));
    ASSERT_EQ(TicksCommand(doc, kSnapUntickAll), 1);
    EXPECT_TRUE(doc.checkedIndices.empty());
    EXPECT_EQ(TicksCommand(doc, kSnapUntickAll), 0);
    ASSERT_EQ(Undo(doc), 1);
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(doc.checkedIndices, (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(TickCommand(doc, 7, true), 0) << "outside the project";
}

// A run of every kind of undoable edit; undoing all of it and redoing all of
// it passes through the same documents, byte for byte.
TEST_F(ListOps, UndoAndRedoRestoreWholeDocuments) {
    Fill(doc, {"C", "A", "A", "B", "D"});
    doc.SelectPile(1);
    const auto clip = CopySelection(doc);
    std::vector<std::vector<std::uint8_t>> states{Saved()};
    const auto step = [&](int changed) {
        ASSERT_EQ(changed, 1);
        states.push_back(Saved());
    };
    step(PasteCommand(doc, *clip, kSnapInsert));
    step(PasteCommand(doc, *clip, kSnapAppend));
    doc.SelectPoint(4);
    step(DeleteCommand(doc));
    doc.SelectPoint(2);
    step(MoveCommand(doc, false));
    step(SortCommand(doc, false));
    step(TicksCommand(doc, kSnapInvertTicks));
    step(TickCommand(doc, 0, false));
    step(EditHeaderText(doc, true, Utf8ToCp936("新工程")).changed);
    doc.SelectPoint(3);
    step(EditPointField(doc, 3, 1, PointField::Diameter, "650").changed);
    step(EditPointField(doc, 3, 0, PointField::PileType, Utf8ToCp936("扩底桩")).changed);
    doc.SelectPile(0);
    step(PasteCommand(doc, *clip, kSnapPaste));
    doc.SelectPile(1);
    step(DeleteCommand(doc));

    for (std::size_t k = states.size() - 1; k > 0; --k) {
        ASSERT_EQ(Undo(doc), 1) << k;
        ASSERT_EQ(Saved(), states[k - 1]) << "undo to state " << k - 1;
    }
    EXPECT_EQ(Undo(doc), 0);
    for (std::size_t k = 1; k < states.size(); ++k) {
        ASSERT_EQ(Redo(doc), 1) << k;
        ASSERT_EQ(Saved(), states[k]) << "redo to state " << k;
    }
    EXPECT_EQ(Redo(doc), 0);

    // A new command empties the redo list; clearing the document empties both.
    Undo(doc);
    ASSERT_FALSE(doc.redoList.empty());
    step(SortCommand(doc, true));
    EXPECT_TRUE(doc.redoList.empty());
    doc.ClearDocument();
    EXPECT_TRUE(doc.undoList.empty());
}

TEST_F(ListOps, PileInformationIsCheckedInOrder) {
    Fill(doc, {"P1", "P2", "P2"});
    const auto check = [&](PileInfoFields f) { return CheckPileInfo(doc, 1, f); };
    PileInfoFields f = PileInfoDefaults(doc, 1);
    EXPECT_EQ(f.pileNo, "P2");
    f.lengthText = "12.5";
    f.diameterText = "600";
    EXPECT_EQ(check(f).ok, 1);

    PileInfoFields bad = f;
    bad.pileNo = std::string(21, 'x');
    bad.lengthText = "0";
    bad.diameterText = "0";
    EXPECT_EQ(check(bad).message, "桩号的长度应为1～20个字符！") << "the first failing field speaks";
    EXPECT_EQ(check(bad).field, PileInfoField::PileNo);
    bad.pileNo = "";
    EXPECT_EQ(check(bad).message, "桩号的长度应为1～20个字符！");
    bad.pileNo = "p1";
    EXPECT_EQ(check(bad).message, "已存在该名称的桩号！");
    bad.pileNo = "p2";
    EXPECT_EQ(check(bad).message, "桩长必须大于0！") << "its own number in another case is fine";
    bad.lengthText = "0.0005";
    EXPECT_EQ(check(bad).message, "桩长必须大于0！");
    bad.lengthText = "0.001";
    EXPECT_EQ(check(bad).message, "桩径必须大于0！");
    EXPECT_EQ(check(bad).field, PileInfoField::Diameter);
    bad.diameterText = "70000";
    EXPECT_EQ(check(bad).message, "桩径应为1～32767之间的整数！") << "never wrapped into 16 bits";
    bad.diameterText = "1";
    EXPECT_EQ(check(bad).ok, 1);

    // Two-byte characters whose second byte is a letter are not folded.
    EXPECT_NE(CompareNoCase("\xB0\x41", "\xB0\x61"), 0);
    EXPECT_EQ(CompareNoCase("Ab\xB0\x41", "aB\xB0\x41"), 0);
}

TEST_F(ListOps, PileInformationAppliesToThePileAndTheTickedFields) {
    Fill(doc, {"P1", "P2", "P2", "P3", "P4"});
    doc.points[3].checked = 1;  // P3 is ticked, P4 is not
    doc.points[2].checked = 1;  // and a member of the edited pile
    const TestPoint p3 = doc.points[3];
    PileInfoFields f = PileInfoDefaults(doc, 1);
    f.pileNo = "Q2";
    f.pileTypeIndex = 3;
    f.lengthText = "15";
    f.diameterText = "900";
    f.date = {2024, 3, 7};
    f.applyToTicked = true;
    f.applyDiameter = true;
    ASSERT_EQ(ApplyPileInfo(doc, 1, f).ok, 1);
    for (int i : {1, 2}) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        EXPECT_EQ(TextOf(tp.pileNo), "Q2");
        EXPECT_EQ(tp.pileTypeIndex, 3);
        EXPECT_EQ(tp.diameter, 900);
        EXPECT_FLOAT_EQ(tp.pileLength, 15.0f);
        EXPECT_EQ(TextOf(tp.testDate), "2024-03-07");
    }
    EXPECT_EQ(doc.points[3].diameter, 900);
    EXPECT_EQ(doc.points[3].pileLength, p3.pileLength) << "only the ticked field";
    EXPECT_EQ(doc.points[3].testDate, p3.testDate);
    EXPECT_EQ(TextOf(doc.points[3].pileNo), "P3") << "never the pile number";
    EXPECT_NE(doc.points[4].diameter, 900) << "not ticked";
    EXPECT_TRUE(doc.undoList.empty()) << "not recorded";
}

// The dialog takes the pile lengths the parameter bar takes, and a changed
// length takes each test point's wave speed with it as the bar does.
TEST_F(ListOps, PileInformationLengthKeepsTheSpeedInStep) {
    Fill(doc, {"P1", "P2", "P2", "P3"});
    for (auto& tp : doc.points) {
        tp.headIndex = 4;
        tp.toeIndex = 29;  // 25 samples of 20 µs: 1 m gives 4000 m/s
    }
    doc.points[3].checked = 1;
    doc.points[3].toeIndex = 5;  // 1 sample: 1 m gives 100000 m/s
    const std::vector<TestPoint> before = doc.points;
    const auto unchanged = [&] {
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(doc.points[i].pileLength, before[i].pileLength);
            EXPECT_EQ(doc.points[i].waveSpeed, before[i].waveSpeed);
        }
    };
    PileInfoFields f = PileInfoDefaults(doc, 1);
    EXPECT_EQ(f.lengthText, "12") << "shown as typed";
    for (const char* text : {"99999", "1000.5", "inf", "8.2"}) {  // 8.2 m: 32800 m/s
        SCOPED_TRACE(text);
        f.lengthText = text;
        const PileInfoOutcome outcome = ApplyPileInfo(doc, 1, f);
        EXPECT_EQ(outcome.ok, 0);
        EXPECT_EQ(outcome.field, PileInfoField::Length);
        EXPECT_EQ(outcome.message, PileLengthRefusal());
        unchanged();
    }
    f.lengthText = "0.0005";
    EXPECT_EQ(ApplyPileInfo(doc, 1, f).message, "桩长必须大于0！");
    unchanged();

    // Handed on to the ticked P3, whose head and toe lie one sample apart.
    f.lengthText = "8";
    f.applyToTicked = f.applyLength = true;
    EXPECT_EQ(ApplyPileInfo(doc, 1, f).message, PileLengthRefusal());
    unchanged();
    f.applyToTicked = f.applyLength = false;

    f.lengthText = "8.1";
    ASSERT_EQ(ApplyPileInfo(doc, 1, f).ok, 1);
    for (int i : {1, 2}) {
        EXPECT_FLOAT_EQ(doc.points[static_cast<std::size_t>(i)].pileLength, 8.1f);
        EXPECT_EQ(doc.points[static_cast<std::size_t>(i)].waveSpeed, 32400);
    }
    EXPECT_EQ(PileInfoDefaults(doc, 1).lengthText, "8.1");
    doc.points[1].waveSpeed = 3000;
    ASSERT_EQ(ApplyPileInfo(doc, 1, f).ok, 1);
    EXPECT_EQ(doc.points[1].waveSpeed, 3000) << "an unchanged length leaves the speed alone";
}

TEST_F(ListOps, InformationPanelEdits) {
    Fill(doc, {"A", "B", "C"});
    doc.SelectPoint(1);
    ASSERT_EQ(EditPointField(doc, 1, 0, PointField::PileNo, "ABCDEFGHIJKL").changed, 1);
    EXPECT_EQ(Piles(doc), (Names{"A", "ABCDEFGHI", "C"}));
    EXPECT_EQ(EditPointField(doc, 1, 0, PointField::PileNo, "ABCDEFGHI").changed, 0) << "nothing differs";
    EXPECT_EQ(EditPointField(doc, 1, 0, PointField::Diameter, "12x").refusal, "桩径应为1～32767之间的整数！");
    EXPECT_EQ(EditPointField(doc, 1, 0, PointField::TestDate, "yesterday").refusal, "检测日期应为“年-月-日”！");
    ASSERT_EQ(EditPointField(doc, 1, 1, PointField::TestDate, "2023-1-5").changed, 1);
    for (const auto& tp : doc.points) EXPECT_EQ(TextOf(tp.testDate), "2023-01-05");
    ASSERT_EQ(EditPointField(doc, 0, 0, PointField::PileType, Utf8ToCp936("  管桩X ")).changed, 1);
    EXPECT_EQ(doc.points[0].pileTypeIndex, 100);
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.points[0].pileTypeName)), "管桩X");

    ASSERT_EQ(EditHeaderText(doc, false, std::string(60, 'u')).changed, 1);
    EXPECT_EQ(TextOf(doc.header.testUnit), std::string(49, 'u'));
    EXPECT_EQ(EditHeaderText(doc, false, std::string(49, 'u')).changed, 0);
    ASSERT_EQ(Undo(doc), 1);
    EXPECT_EQ(doc.header.testUnit, testing::MakeHeader("单位", "工程").testUnit);

    CTAV_AnalyserDoc empty;
    EXPECT_EQ(EditHeaderText(empty, true, "x").changed, 0) << "a project without test points";
}

TEST_F(ListOps, DeletingTheTickedTestPoints) {
    Fill(doc, {"A", "B", "B", "C"});
    doc.points[1].checked = 1;
    doc.points[3].checked = 1;
    doc.SelectPoint(2);
    DeleteCommand(doc);
    Undo(doc);
    ASSERT_EQ(DeleteTickedPoints(doc), 2);
    EXPECT_EQ(Records(doc), (Ints{0, 2}));
    EXPECT_EQ(doc.selectionMode, 0);
    EXPECT_TRUE(doc.undoList.empty() && doc.redoList.empty()) << "their positions no longer hold";
    EXPECT_EQ(DeleteTickedPoints(doc), 0);
}

TEST_F(ListOps, SavingTheTickedTestPoints) {
    testing::TempDir dir;
    const auto path = dir.File("ticked.tav");
    EXPECT_EQ(SaveTickedPoints(doc, path), SaveTickedResult::EmptyProject);
    Fill(doc, {"A", "B", "C"});
    EXPECT_EQ(SaveTickedPoints(doc, path), SaveTickedResult::NoneTicked);
    EXPECT_FALSE(std::filesystem::exists(path));
    doc.points[2].checked = 1;
    doc.points[0].checked = 1;
    ASSERT_EQ(SaveTickedPoints(doc, path), SaveTickedResult::Saved);
    CTAV_AnalyserDoc back;
    ASSERT_EQ(OpenFile(back, path).status, LoadStatus::Ok);
    EXPECT_EQ(Piles(back), (Names{"A", "C"}));
}

TEST(PileEntrySort, DateKeysAndComparisons) {
    EXPECT_EQ(PileDateKey("2023-1-5"), "2023-01-05");
    EXPECT_EQ(PileDateKey("2023-11-25 10:00"), "2023-11-25");
    EXPECT_EQ(PileDateKey("20231-123-456"), "2023-12-45") << "each part cut to its width";
    EXPECT_EQ(PileDateKey("2023/1/5"), "");
    EXPECT_EQ(PileDateKey(""), "");
    EXPECT_TRUE(PileEntryBefore("a1", "B1"));
    EXPECT_FALSE(PileEntryBefore("b1", "B1"));
    EXPECT_TRUE(PileEntryBeforeByDate("2023-01-05", "Z", "2023-01-06", "A"));
    EXPECT_TRUE(PileEntryBeforeByDate("2023-01-05", "a", "2023-01-05", "B"));
}

}  // namespace
}  // namespace tav
