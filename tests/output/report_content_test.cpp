#include "output/report_content.hpp"

#include <gtest/gtest.h>

#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "tests/output/report_project.hpp"

namespace tav {
namespace {

using testing::ReportPoint;

TEST(ReportContent, CountsTestedPilesTotalAndClassesByDistinctPile) {
    CTAV_AnalyserDoc doc;
    // Pile A: two checked test points, Ⅰ and Ⅲ; pile B: one unchecked; pile C: Ⅰ twice.
    doc.points = {ReportPoint("A", {}, true), ReportPoint("A", {{9, 3.0f, "离析"}}, true), ReportPoint("B", {}, false),
                  ReportPoint("C", {}, true), ReportPoint("C", {}, true)};
    doc.RebuildCheckedList();
    const auto counts = CountReport(doc, doc.checkedIndices, 1);
    EXPECT_EQ(counts.testedPiles, 2);
    EXPECT_EQ(counts.totalPiles, 2);  // a typed total below the tested piles gives way
    EXPECT_EQ(counts.classPiles, (std::array<int, 4>{2, 0, 1, 0}));
    EXPECT_EQ(CountReport(doc, doc.checkedIndices, 40).totalPiles, 40);

    EXPECT_EQ(ConclusionSentence("某工程", counts),
              "本次共检测某工程2根桩，其中Ⅰ类桩2根，占检测总桩数的100.0%，Ⅲ类桩1根，占检测总桩数的50.0%，无Ⅱ、Ⅳ类桩。");
    const ReportCounts all{4, 4, {1, 1, 1, 1}};
    EXPECT_EQ(ConclusionSentence("", all),
              "本次共检测4根桩，其中Ⅰ类桩1根，占检测总桩数的25.0%，Ⅱ类桩1根，占检测总桩数的25.0%，"
              "Ⅲ类桩1根，占检测总桩数的25.0%，Ⅳ类桩1根，占检测总桩数的25.0%。");
    EXPECT_EQ(ReferenceSentence(1), "检测结果详见表3.1。实测信号曲线详见图3.4-1。");
    EXPECT_EQ(ReferenceSentence(7), "检测结果详见表3.1。实测信号曲线详见图3.4-1～图3.4-7。");
}

TEST(ReportContent, ResultsTableAndSpreadsheetRowsDescribeTheDefects) {
    CTAV_AnalyserDoc doc;
    doc.points = {ReportPoint("P1", {}, true),
                  ReportPoint("P2", {{1, 2.54f, "缩径"}, {1, 4.0f, "扩径"}, {9, 6.25f, "离析"}, {3, 8.0f, "断桩"}}, true)};
    doc.RebuildCheckedList();
    // The walk is the list order whatever order the indices come in.
    const std::vector<std::int32_t> listed{1, 0, 1, 7};
    EXPECT_EQ(ReportWalk(doc, listed), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(ResultsTableText(doc, ReportWalk(doc, listed)),
              "1``P1``800``12.50``3800``Ⅰ``^^"
              "2``P2``800``12.50``3800``Ⅳ``2.5m: 缩径\n4.0m: 扩径\n6.2m: 离析\n8.0m: 断桩^^");

    const auto plain = SpreadsheetRowOf(doc.points[0]);
    EXPECT_EQ(plain.defects, "");
    EXPECT_EQ(plain.integrityClass, "Ⅰ");
    const auto four = SpreadsheetRowOf(doc.points[1]);
    EXPECT_EQ(four.defects, "(1)深度2.5m 缩径  (2)深度4.0m 扩径  (3)深度6.2m 离析  (4)深度8.0m 断桩  ");
    EXPECT_DOUBLE_EQ(four.pileLength, 12.5);
    EXPECT_EQ(PictureCaption(3, "P2"), "图3.4-3  P2桩低应变检测曲线图");
}

TEST(ReportContent, TypedTotalMustBeAWholeNumber) {
    EXPECT_EQ(TypedTotalPiles(""), 0);
    EXPECT_EQ(TypedTotalPiles(" 120 "), 120);
    EXPECT_FALSE(TypedTotalPiles("12根"));
    EXPECT_FALSE(TypedTotalPiles("-3"));
    EXPECT_FALSE(TypedTotalPiles("99999999999"));
    EXPECT_EQ(ReportStandardText(9), ReportStandardText(0));
}

}  // namespace
}  // namespace tav
