#include "analysis/display/annotation_selection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;

using Codes = std::vector<std::int32_t>;


TEST(AnnotationSelection, CatalogueHoldsEveryCodeThatGivesText) {
    // Every offered code gives a name; codes 0, 14, 15, 17 to 29 and beyond 45 are not offered.
    for (const auto code : AnnotationCatalogue()) EXPECT_FALSE(AnnotationItemName(code).empty()) << code;
    for (const std::int32_t code : {-1, 0, 14, 15, 17, 25, 26, 29, 46, 1000}) EXPECT_FALSE(IsAnnotationCode(code)) << code;
    EXPECT_EQ(AnnotationItemName(3), "数字滤波");
    EXPECT_EQ(AnnotationItemName(34), "波速");
    EXPECT_EQ(AnnotationItemName(45), "频率分辨率");
    EXPECT_EQ(AnnotationCatalogue().size(), 30u);
    // The default list is one the selection keeps as it is.
    EXPECT_EQ(AnnotationSelection(DefaultAnnotationItems()).Chosen(), DefaultAnnotationItems());
    EXPECT_EQ(DefaultAnnotationItems(), DisplayOptions{}.annotationItems);
}

TEST(AnnotationSelection, StoredListLosesCodesWithoutTextAndRepeats) {
    const Codes stored{31, 99, 31, 30, 14, 30, 44, -3, 44};
    AnnotationSelection s(stored);
    EXPECT_EQ(s.Chosen(), (Codes{31, 30, 30, 44}));
}

TEST(AnnotationSelection, AddRemoveAndMoveKeepTheOrder) {
    AnnotationSelection s(Codes{31, 32});
    // A chosen item is no longer offered; the empty line always is.
    auto avail = s.Available();
    EXPECT_EQ(std::count(avail.begin(), avail.end(), 31), 0);
    EXPECT_EQ(std::count(avail.begin(), avail.end(), 30), 1);
    EXPECT_EQ(avail.size(), 28u);

    EXPECT_EQ(s.Add(32), -1);            // already chosen
    EXPECT_EQ(s.Add(26), -1);            // gives no text
    EXPECT_EQ(s.Add(34, 1), 1);          // before row 1
    EXPECT_EQ(s.Add(30), 3);             // at the end
    EXPECT_EQ(s.Add(30, 99), 4);         // out of range: at the end, repeated empty line
    EXPECT_EQ(s.Chosen(), (Codes{31, 34, 32, 30, 30}));

    EXPECT_FALSE(s.MoveUp(0));
    EXPECT_FALSE(s.MoveDown(4));
    EXPECT_TRUE(s.MoveUp(2));
    EXPECT_TRUE(s.MoveDown(0));
    EXPECT_EQ(s.Chosen(), (Codes{32, 31, 34, 30, 30}));

    EXPECT_FALSE(s.Remove(5));
    EXPECT_FALSE(s.Remove(-1));
    EXPECT_TRUE(s.Remove(1));
    EXPECT_EQ(s.Chosen(), (Codes{32, 34, 30, 30}));
    // A removed item is offered again.
    avail = s.Available();
    EXPECT_EQ(std::count(avail.begin(), avail.end(), 31), 1);

    s.ResetToDefaults();
    EXPECT_EQ(s.Chosen(), DefaultAnnotationItems());
}

TEST(AnnotationSelection, ListIsBoundedAndCannotBeStoredEmpty) {
    AnnotationSelection s(Codes{});
    RecordingPrompts prompts;
    EXPECT_FALSE(s.Check(prompts));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "请至少选择一个参数项");

    for (int i = 0; i < kMaxAnnotationItems; ++i) ASSERT_GE(s.Add(kAnnotationEmptyLine), 0);
    EXPECT_EQ(s.Add(kAnnotationEmptyLine), -1);
    EXPECT_FALSE(s.CanAdd(31));
    EXPECT_TRUE(s.Check(prompts));
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST(AnnotationSelection, ChosenOrderIsTheOrderOfTheAnnotationColumn) {
    CTAV_AnalyserDoc doc;
    doc.points.push_back(testing::WaveformPoint("A7", 1024, 3));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
    FixedTextMeasure measure;
    WaveDisplayModel model(doc, measure);
    model.SetClientSize(900, 600);

    AnnotationSelection s(Codes{32, 31});
    ASSERT_TRUE(s.MoveUp(1));
    ASSERT_GE(s.Add(kAnnotationEmptyLine, 1), 0);
    model.options.annotationItems = s.Chosen();
    model.Rebuild();
    const auto& lines = model.Entries().at(0).annotation;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "桩号:A7");
    EXPECT_EQ(lines[1].text, "");
    EXPECT_EQ(lines[2].text.rfind("桩径=", 0), 0u);
    EXPECT_LT(lines[0].y, lines[2].y);
}

}  // namespace
}  // namespace tav
