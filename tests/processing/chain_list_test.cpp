#include "processing/chain_list.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "processing/chain_controller.hpp"
#include "processing/operations.hpp"
#include "processing/step_summary.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

using Lines = std::vector<std::string>;

ProcessStep Step(std::int32_t opType) {
    ProcessStep s;
    s.opType = opType;
    return s;
}

void AddPoints(CTAV_AnalyserDoc& doc, int count) {
    for (int i = 0; i < count; ++i)
        doc.InsertPoint(doc.PointCount(), testing::WaveformPoint("P1", 1024, static_cast<std::uint32_t>(i + 1)));
    doc.SelectPoint(0);
}

TestPoint& Tp(CTAV_AnalyserDoc& doc, int i) {
    return doc.points[static_cast<std::size_t>(i)];
}

// ---- the chain list ----------------------------------------------------------

TEST(ChainList, DifferingStepsGetCodeZeroAndAnEmptyName) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 3);
    ProcessStep smooth = Step(kOpSmooth);
    smooth.smoothPoints = 5;
    ProcessStep other = smooth;
    other.smoothPoints = 6;
    Tp(doc, 0).steps = {Step(kOpIntegrate), smooth, Step(kOpFilter)};
    Tp(doc, 1).steps = {Step(kOpIntegrate), other, Step(kOpFilter), Step(15)};
    Tp(doc, 2).steps = {Step(kOpIntegrate), smooth, Step(kOpFilter), Step(15)};
    const ChainList list = BuildChainList(doc, TargetSet{0, 1, 2});
    ASSERT_EQ(list.RowCount(), 4);  // the longest chain
    EXPECT_EQ(list.RowName(0), "积分");
    EXPECT_EQ(list.RowName(1), "");
    EXPECT_EQ(list.rows[1].opType, 0);
    EXPECT_FALSE(list.Editable(1));
    EXPECT_EQ(list.RowName(2), "数字滤波");
    EXPECT_EQ(list.RowName(3), "");  // missing in the first target
    EXPECT_EQ(list.RowName(9), "");
    // One target alone: its own chain, a code 15 row named.
    const ChainList single = BuildChainList(doc, TargetSet{2});
    EXPECT_EQ(single.RowName(3), "动态缩放");
    EXPECT_TRUE(single.Editable(1));
    EXPECT_EQ(BuildChainList(doc, TargetSet{}).RowCount(), 0);
}

TEST(ChainList, DisplayBlocksCountInTheComparison) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    ProcessStep a = Step(kOpReverse);
    ProcessStep b = a;
    b.displayBlocks[25].hOffset = 1;
    Tp(doc, 0).steps = {a};
    Tp(doc, 1).steps = {b};
    EXPECT_EQ(BuildChainList(doc, TargetSet{0, 1}).rows[0].opType, 0);
}

// ---- detail texts -----------------------------------------------------------------

TEST(DetailText, EveryCode) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);  // head 40, 20 µs, 4000 m/s: 0.04 m per sample
    ProcessStep s;
    s.opType = kOpFilter;
    s.filterKind = 1;
    s.filterUpperHz = 300.0f;
    EXPECT_EQ(StepDetailText(doc, 0, s), "低通\r\n上限频率:300.00HZ");
    s.filterKind = 2;
    s.filterLowerHz = 10.0f;
    EXPECT_EQ(StepDetailText(doc, 0, s), "高通\r\n下限频率:10.00HZ");
    s.filterKind = 4;
    EXPECT_EQ(StepDetailText(doc, 0, s), "带阻\r\n上限频率:300.00HZ\r\n下限频率:10.00HZ");

    s.opType = kOpLinearZero;
    s.linZeroMode = 1;
    s.linZeroStart = 140;
    EXPECT_EQ(StepDetailText(doc, 0, s), "部分归零\r\n起始位置:4.00m");
    s.opType = kOpNonlinearZero;
    s.nonlinZeroMode = 2;
    EXPECT_EQ(StepDetailText(doc, 0, s), "桩尾后归零");

    s.opType = kOpSmooth;
    s.smoothPoints = 7;
    EXPECT_EQ(StepDetailText(doc, 0, s), "平滑点数:7");

    s.opType = kOpRemoveDc;
    s.dcMode = 0;
    EXPECT_EQ(StepDetailText(doc, 0, s), "");
    s.dcMode = 1;
    EXPECT_EQ(StepDetailText(doc, 0, s), "整体去直流");
    s.dcMode = 2;
    s.dcStart = 65;
    EXPECT_EQ(StepDetailText(doc, 0, s), "部分去直流\r\n起始位置:1.00m");

    s.opType = kOpFrontZero;
    s.frontZeroPos = 15;
    EXPECT_EQ(StepDetailText(doc, 0, s), "前清零位置:-1.00m");
    s.opType = kOpRearZero;
    s.rearZeroPos = 340;
    EXPECT_EQ(StepDetailText(doc, 0, s), "后清零位置:12.00m");

    s.opType = kOpShift;
    s.shiftMode = 1;
    s.shiftStart = 40;
    s.shiftEnd = 90;
    s.shiftX = 25;
    s.shiftY = -1.5f;
    EXPECT_EQ(StepDetailText(doc, 0, s),
              "部分平移\r\n起始位置:0.00m\r\n终止位置:2.00m\r\n横向平移:1.00m\r\n竖向平移:-1.50mV");
    s.shiftMode = 0;
    EXPECT_EQ(StepDetailText(doc, 0, s), "整体平移\r\n横向平移:1.00m\r\n竖向平移:-1.50mV");

    s.opType = kOpRotate;
    s.rotateMode = 1;
    s.rotateStart = 90;
    s.rotateAngle = static_cast<float>(4.0 * std::atan(1.0) / 36.0);  // 5°
    EXPECT_EQ(StepDetailText(doc, 0, s), "部分旋转\r\n起始位置:2.00m\r\n旋转角度:5.00°");
    s.rotateMode = 0;
    EXPECT_EQ(StepDetailText(doc, 0, s), "整体旋转\r\n旋转角度:5.00°");

    s.opType = kOpMagnify;
    s.magnifyMode = 1;
    s.magnifyFactor = 20.0f;
    s.magnifyStart = 0;
    EXPECT_EQ(StepDetailText(doc, 0, s), "线性放大\r\n放大系数:20.00");
    s.magnifyMode = 0;
    s.magnifyStart = 115;
    EXPECT_EQ(StepDetailText(doc, 0, s), "指数放大\r\n放大系数:20.00\r\n放大延迟:3.00m");

    s.opType = kOpLocalScale;
    s.scaleFactor = 0.5f;
    s.scaleStart = 65;
    s.scaleEnd = 115;
    EXPECT_EQ(StepDetailText(doc, 0, s), "缩放系数:0.50\r\n起始点:1.00m\r\n终止点:3.00m");

    for (const std::int32_t code : {1, 2, 6, 14, 15}) EXPECT_EQ(StepDetailText(doc, 0, Step(code)), "") << code;
}

TEST(DetailText, PositionMemoWhileItsSlotMatches) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    ProcessStep s = Step(kOpLocalScale);
    s.scaleStart = 65;
    s.scaleEnd = 115;
    s.Memorise(0, 65, 1.013f);
    s.Memorise(1, 114, 2.99f);  // no longer the index of the field
    EXPECT_EQ(StepDetailText(doc, 0, s), "缩放系数:1.00\r\n起始点:1.01m\r\n终止点:3.00m");
}

// ---- step summaries ----------------------------------------------------------------

TEST(StepSummary, EveryLine) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    ProcessStep p;
    // Nothing without a step of the type, except reversal and DC removal.
    for (std::int32_t code = 1; code <= 16; ++code) {
        const auto lines = StepSummary(doc, 0, p, code);
        if (code == kOpReverse)
            EXPECT_EQ(lines, (Lines{"反向:否"}));
        else if (code == kOpRemoveDc)
            EXPECT_EQ(lines, (Lines{"去直流:否"}));
        else
            EXPECT_TRUE(lines.empty()) << code;
    }
    tp.steps = {Step(1), Step(1), Step(2), Step(3),  Step(4),  Step(5),  Step(6),  Step(6),
                Step(7), Step(8), Step(9), Step(10), Step(11), Step(12), Step(13), Step(16)};
    EXPECT_EQ(StepSummary(doc, 0, p, 1), (Lines{"积分次数:2"}));
    EXPECT_EQ(StepSummary(doc, 0, p, 2), (Lines{"微分次数:1"}));
    p.filterUpperHz = 300.0f;
    p.filterLowerHz = 20.0f;
    p.filterKind = 1;
    EXPECT_EQ(StepSummary(doc, 0, p, 3), (Lines{"低通:300.00Hz"}));
    p.filterKind = 2;
    EXPECT_EQ(StepSummary(doc, 0, p, 3), (Lines{"高通:20.00Hz"}));
    p.filterKind = 3;
    EXPECT_EQ(StepSummary(doc, 0, p, 3), (Lines{"带通:", "  (20.00,300.00)Hz"}));
    p.filterKind = 4;
    EXPECT_EQ(StepSummary(doc, 0, p, 3), (Lines{"带阻:", "  (20.00,300.00)Hz"}));
    EXPECT_EQ(StepSummary(doc, 0, p, 4), (Lines{"线性归零:是"}));
    p.linZeroMode = 1;
    p.linZeroStart = 90;
    EXPECT_EQ(StepSummary(doc, 0, p, 4), (Lines{"线性归零:是", "  起始点:2.00m"}));
    p.nonlinZeroMode = 2;
    p.nonlinZeroStart = 140;
    EXPECT_EQ(StepSummary(doc, 0, p, 5), (Lines{"非线性归零:是", "  起始点:4.00m"}));
    EXPECT_EQ(StepSummary(doc, 0, p, 6), (Lines{"反向:否"}));  // two reversals
    p.smoothPoints = 12;
    EXPECT_EQ(StepSummary(doc, 0, p, 7), (Lines{"平滑点数:12"}));
    EXPECT_EQ(StepSummary(doc, 0, p, 8), (Lines{"去直流:是"}));
    p.dcMode = 2;
    p.dcStart = 65;
    EXPECT_EQ(StepSummary(doc, 0, p, 8), (Lines{"去直流:是", "  起始点:1.00m"}));
    p.frontZeroPos = 40;
    EXPECT_EQ(StepSummary(doc, 0, p, 9), (Lines{"前清零:0.00m"}));
    p.rearZeroPos = 340;
    EXPECT_EQ(StepSummary(doc, 0, p, 10), (Lines{"后清零:12.00m"}));
    p.shiftX = 50;
    p.shiftY = 0.25f;
    EXPECT_EQ(StepSummary(doc, 0, p, 11), (Lines{"数据平移:", "  横向:2.00m", "  纵向:0.25mV"}));
    p.shiftMode = 1;
    p.shiftStart = 65;
    p.shiftEnd = 90;
    EXPECT_EQ(StepSummary(doc, 0, p, 11), (Lines{"数据平移:", "  横向:2.00m", "  纵向:0.25mV", "  范围(1.00,2.00)m"}));
    p.rotateAngle = 0.125f;
    EXPECT_EQ(StepSummary(doc, 0, p, 12), (Lines{"波形旋转:0.12rad"}));
    p.rotateMode = 1;
    p.rotateStart = 65;
    EXPECT_EQ(StepSummary(doc, 0, p, 12), (Lines{"波形旋转:0.12rad", "  起始点:1.00m"}));
    p.magnifyFactor = 5.0f;
    EXPECT_EQ(StepSummary(doc, 0, p, 13), (Lines{"指数放大:5.00"}));
    p.magnifyMode = 1;
    p.magnifyStart = 90;
    EXPECT_EQ(StepSummary(doc, 0, p, 13), (Lines{"线性放大:5.00", "  起始点:2.00m"}));
    p.scaleFactor = 2.0f;
    p.scaleStart = 65;
    p.scaleEnd = 140;
    EXPECT_EQ(StepSummary(doc, 0, p, 16), (Lines{"局部缩放:2.00", "  范围(1.00,4.00)m"}));
    tp.steps.push_back(Step(6));
    EXPECT_EQ(StepSummary(doc, 0, p, 6), (Lines{"反向:是"}));
    EXPECT_TRUE(StepSummary(doc, 5, p, 6).empty());
}

// ---- the controller -----------------------------------------------------------------

class FakeView : public ChainView {
public:
    std::vector<std::int32_t> shown{0};
    bool secondary = false;
    bool restrict = false;
    std::optional<std::int32_t> cursor;
    bool listShown = true;
    std::int32_t row = -1;
    bool answer = true;
    int questions = 0;
    std::string lastQuestion;
    int chainChanges = 0;

    std::vector<std::int32_t> DisplayedPoints() const override { return shown; }
    bool SecondaryDisplayMode() const override { return secondary; }
    bool RestrictToFirstTarget() const override { return restrict; }
    std::optional<std::int32_t> CursorSample() const override { return cursor; }
    bool ChainListShown() const override { return listShown; }
    std::int32_t SelectedChainRow() const override { return row; }
    bool AskOkCancel(std::string_view text, std::string_view caption) override {
        ++questions;
        lastQuestion = std::string(text) + "|" + std::string(caption);
        return answer;
    }
    void ChainChanged() override { ++chainChanges; }
};

// Plays back scripted outcomes; each run may change the step and preview it.
class FakePanels : public StepPanels {
public:
    struct Script {
        PanelResult result;
        std::function<void(ProcessStep&)> edit;
    };
    std::deque<Script> scripts;
    std::vector<PanelRequest> requests;
    std::vector<ProcessStep> seen;

    PanelResult Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) override {
        requests.push_back(request);
        seen.push_back(step);
        if (scripts.empty()) return PanelResult::Cancelled;
        Script s = scripts.front();
        scripts.pop_front();
        if (s.edit) {
            s.edit(step);
            preview.Preview(step);
        }
        return s.result;
    }
};

struct Fixture {
    CTAV_AnalyserDoc doc;
    FakeView view;
    FakePanels panels;
    ChainController controller{doc, view, panels};
    Fixture() { AddPoints(doc, 3); }
};

TEST(ChainController, CreateConfirmedAppendsToEveryShownTarget) {
    Fixture f;
    f.view.shown = {0, 1, 2};
    f.doc.SelectPoint(1);
    f.controller.OnCommand(command_id::kScopeAll);
    Tp(f.doc, 1).lastParams.filterUpperHz = 500.0f;
    f.panels.scripts.push_back({PanelResult::Confirmed, [](ProcessStep& s) { s.filterUpperHz = 400.0f; }});
    EXPECT_TRUE(f.controller.OnCommand(command_id::kFilter));
    ASSERT_EQ(f.panels.requests.size(), 1u);
    EXPECT_EQ(f.panels.requests[0].targets, (TargetSet{1, 0, 2}));
    EXPECT_EQ(f.panels.requests[0].editFlag, 0);
    EXPECT_EQ(f.panels.seen[0].filterUpperHz, 500.0f);  // prefilled from the current test point
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Tp(f.doc, i).stepCount(), 1);
        EXPECT_EQ(Tp(f.doc, i).steps[0].filterUpperHz, 400.0f);
        EXPECT_EQ(Tp(f.doc, i).lastParams.filterUpperHz, 400.0f);
    }
    EXPECT_TRUE(f.doc.Modified());
    EXPECT_EQ(f.doc.stepInsertMode, 0);
    EXPECT_EQ(f.view.chainChanges, 2);  // the scope change, then the new step
}

TEST(ChainController, CreateCancelledLeavesTheChainAndTheSamples) {
    Fixture f;
    const auto before = Tp(f.doc, 0).samples;
    f.panels.scripts.push_back({PanelResult::Cancelled, [](ProcessStep& s) { s.smoothPoints = 9; }});
    f.controller.OnCommand(command_id::kSmooth);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 0);
    EXPECT_EQ(Tp(f.doc, 0).samples, before);
    EXPECT_FALSE(f.doc.Modified());
    EXPECT_EQ(Tp(f.doc, 0).lastParams.smoothPoints, 9);  // the working step still lands in lastParams
}

TEST(ChainController, SwitchingTheFormReopensTheSamePanel) {
    Fixture f;
    f.panels.scripts.push_back({PanelResult::SwitchForm, [](ProcessStep& s) { s.smoothPoints = 6; }});
    f.panels.scripts.push_back({PanelResult::Confirmed, nullptr});
    f.controller.OnCommand(command_id::kSmooth);
    ASSERT_EQ(f.panels.requests.size(), 2u);
    EXPECT_EQ(f.panels.requests[0].form, PanelForm::Popup);
    EXPECT_EQ(f.panels.requests[1].form, PanelForm::Docked);
    EXPECT_EQ(f.panels.seen[1].smoothPoints, 6);
    EXPECT_EQ(f.controller.form(), PanelForm::Docked);
    EXPECT_EQ(Tp(f.doc, 0).steps[0].smoothPoints, 6);
}

TEST(ChainController, PanelLessOperationsAreConfirmedAtOnce) {
    Fixture f;
    f.controller.OnCommand(command_id::kIntegrate);
    f.controller.OnCommand(command_id::kReverse);
    EXPECT_TRUE(f.panels.requests.empty());
    ASSERT_EQ(Tp(f.doc, 0).stepCount(), 2);
    EXPECT_EQ(Tp(f.doc, 0).steps[1].opType, kOpReverse);
}

TEST(ChainController, CursorAndMagnifyPresets) {
    Fixture f;
    f.view.cursor = 222;
    f.panels.scripts.push_back({PanelResult::Confirmed, nullptr});
    f.panels.scripts.push_back({PanelResult::Confirmed, nullptr});
    f.controller.OnCommand(command_id::kLinearZero);
    f.controller.OnCommand(command_id::kMagnify);
    EXPECT_EQ(f.panels.seen[0].linZeroStart, 222);
    EXPECT_EQ(f.panels.seen[1].magnifyStart, Tp(f.doc, 0).headIndex);
}

TEST(ChainController, SecondaryModeRefusesTimeDomainOperationsAndForcesPopups) {
    Fixture f;
    f.view.secondary = true;
    f.controller.OnCommand(command_id::kReverse);
    f.controller.OnCommand(command_id::kRotate);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 0);
    f.panels.scripts.push_back({PanelResult::Confirmed, nullptr});
    f.controller.OnCommand(command_id::kFilter);
    ASSERT_EQ(f.panels.requests.size(), 1u);
    EXPECT_TRUE(f.panels.requests[0].formLocked);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 1);
}

TEST(ChainController, NothingDisplayedNothingDone) {
    Fixture f;
    f.view.shown.clear();
    f.controller.OnCommand(command_id::kIntegrate);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 0);
}

TEST(ChainController, RestrictToTheFirstTarget) {
    Fixture f;
    f.view.shown = {0, 1};
    f.view.restrict = true;
    f.controller.SetScope(Scope::AllWaveforms);
    f.controller.OnCommand(command_id::kIntegrate);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 1);
    EXPECT_EQ(Tp(f.doc, 1).stepCount(), 0);
}

TEST(ChainController, EditInsertDeleteOnTheListsRows) {
    Fixture f;
    f.view.shown = {0, 1};
    f.controller.SetScope(Scope::AllWaveforms);
    ProcessStep a = Step(kOpSmooth);
    a.smoothPoints = 3;
    ProcessStep b = a;
    b.smoothPoints = 4;
    Tp(f.doc, 0).steps = {Step(kOpReverse), a, Step(kOpFilter)};
    Tp(f.doc, 1).steps = {Step(kOpReverse), b, Step(kOpFilter)};
    // Edit of a differing row is refused.
    f.view.row = 1;
    f.controller.OnCommand(command_id::kStepEdit);
    EXPECT_TRUE(f.panels.requests.empty());
    // Edit of a common row: mode 1, the row's step, replaced in both.
    f.view.row = 2;
    f.panels.scripts.push_back({PanelResult::Confirmed, [](ProcessStep& s) { s.filterUpperHz = 700.0f; }});
    f.controller.OnCommand(command_id::kChainListEdit);
    ASSERT_EQ(f.panels.requests.size(), 1u);
    EXPECT_EQ(f.panels.requests[0].editFlag, 1);
    EXPECT_EQ(f.doc.stepInsertMode, 1);
    EXPECT_EQ(f.doc.stepInsertPos, 2);
    EXPECT_EQ(Tp(f.doc, 0).steps[2].filterUpperHz, 700.0f);
    EXPECT_EQ(Tp(f.doc, 1).steps[2].filterUpperHz, 700.0f);
    EXPECT_EQ(Tp(f.doc, 1).lastParams.filterUpperHz, 700.0f);
    // Insert before the differing row acts on both.
    f.view.row = 1;
    f.controller.OnCommand(command_id::kChainListInsertIntegrate);
    EXPECT_EQ(f.doc.stepInsertMode, 2);
    EXPECT_EQ(Tp(f.doc, 0).steps[1].opType, kOpIntegrate);
    EXPECT_EQ(Tp(f.doc, 1).steps[1].opType, kOpIntegrate);
    // A default step of the command's type, not lastParams.
    f.panels.scripts.push_back({PanelResult::Confirmed, nullptr});
    f.controller.OnCommand(command_id::kInsertFilter);
    EXPECT_EQ(f.panels.seen.back().opType, kOpFilter);
    EXPECT_EQ(f.panels.seen.back().filterUpperHz, 300.0f);
    EXPECT_EQ(f.panels.requests.back().editFlag, 0);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 5);
    // Delete the differing row (now row 3) from both.
    f.view.row = 3;
    f.controller.OnCommand(command_id::kStepDelete);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 4);
    EXPECT_EQ(Tp(f.doc, 1).stepCount(), 4);
    EXPECT_EQ(Tp(f.doc, 0).steps[3].opType, kOpFilter);
    // Without the list shown these do nothing.
    f.view.listShown = false;
    f.controller.OnCommand(command_id::kStepDelete);
    f.controller.OnCommand(command_id::kStepClear);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 4);
}

TEST(ChainController, ClearFromTheListAsksFirst) {
    Fixture f;
    Tp(f.doc, 0).steps = {Step(kOpReverse)};
    f.view.answer = false;
    f.controller.OnCommand(command_id::kChainListClear);
    EXPECT_EQ(f.view.lastQuestion, "确实要清除所有处理过程吗？|提示");
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 1);
    f.view.answer = true;
    f.controller.OnCommand(command_id::kChainListClear);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 0);
    Tp(f.doc, 0).steps = {Step(kOpReverse)};
    f.controller.OnCommand(command_id::kStepClear);  // the main menu does not ask
    EXPECT_EQ(f.view.questions, 2);
    EXPECT_EQ(Tp(f.doc, 0).stepCount(), 0);
}

TEST(ChainController, UndoRemovesTheLastRow) {
    Fixture f;
    f.controller.OnCommand(command_id::kUndoLast);  // empty list: nothing
    EXPECT_FALSE(f.doc.Modified());
    f.controller.OnCommand(command_id::kIntegrate);
    f.controller.OnCommand(command_id::kReverse);
    f.controller.OnCommand(command_id::kUndoLast);
    ASSERT_EQ(Tp(f.doc, 0).stepCount(), 1);
    EXPECT_EQ(Tp(f.doc, 0).steps[0].opType, kOpIntegrate);
}

// Drives the real panel model as the window does: each preview reads the
// fields into the working step and runs it; the confirmation reads them again.
class ModelPanels : public StepPanels {
public:
    ModelPanels(CTAV_AnalyserDoc& doc, int previews) : doc_(doc), previews_(previews) {}
    std::vector<std::vector<float>> previewed;  // the current test point after each preview
    std::optional<std::string> refusal;
    std::vector<PanelForm> forms;
    bool switchFirst = false;  // open as a popup, switch to the docked strip

    PanelResult Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) override {
        if (switchFirst) {
            switchFirst = false;
            return PanelResult::SwitchForm;
        }
        forms.push_back(request.form);
        const auto front = static_cast<std::size_t>(request.targets.front());
        OperationPanel panel(request.opType, request.form, request.editFlag, &doc_.points[front]);
        panel.Open(step);
        // Values that make every operation change the trace.
        for (int k = 0; k < panel.FieldCount(); ++k) {
            switch (panel.Fields()[static_cast<std::size_t>(k)].kind) {
                case PanelFieldKind::Angle: panel.SetText(k, "9"); break;
                case PanelFieldKind::ScaleFactor: panel.SetText(k, "2"); break;
                case PanelFieldKind::MagnifyFactor: panel.SetText(k, "3"); break;
                case PanelFieldKind::Millivolts: panel.SetText(k, "0.25"); break;
                case PanelFieldKind::SmoothPoints: panel.SetText(k, "5"); break;
                case PanelFieldKind::FilterUpper: panel.SetText(k, "1000"); break;
                case PanelFieldKind::ShiftLength: panel.SetText(k, "0.5"); break;
                default: break;
            }
        }
        // The zeroing of one end: before the head, after the toe.
        if (request.opType == kOpFrontZero) panel.SetText(panel.FieldIndex("position"), "-0.5");
        if (request.opType == kOpRearZero) panel.SetText(panel.FieldIndex("position"), "13");
        if (request.opType == kOpLocalScale) panel.SetText(panel.FieldIndex("end"), "5");
        for (int k = 0; k < previews_; ++k) {
            panel.Read(step, kTraceHeight);
            preview.Preview(step);
            previewed.push_back(doc_.points[front].samples);
        }
        refusal = panel.Confirm(step, kTraceHeight);
        return refusal ? PanelResult::Cancelled : PanelResult::Confirmed;
    }

private:
    static constexpr int kTraceHeight = 100;  // a short trace: a steep ramp per pixel
    CTAV_AnalyserDoc& doc_;
    int previews_;
};

// The same fields always preview the same curve, and the confirmed step is the
// one last previewed: nothing read from the trace may feed on a preview.
TEST(ChainController, EveryPanelPreviewsTheSameCurveAndConfirmsIt) {
    const int commands[] = {command_id::kFilter,     command_id::kMagnify,       command_id::kSmooth,
                            command_id::kRemoveDc,   command_id::kRotate,        command_id::kLinearZero,
                            command_id::kNonlinearZero, command_id::kFrontZero,  command_id::kRearZero,
                            command_id::kLocalScale, command_id::kShift};
    std::vector<std::int32_t> covered;
    for (const int id : commands) covered.push_back(OperationOfCreateCommand(id));
    for (const auto& op : Operations()) {
        if (op.panel == nullptr) continue;
        EXPECT_NE(std::find(covered.begin(), covered.end(), op.type), covered.end()) << op.type;
    }

    for (const int id : commands) {
        for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
            CTAV_AnalyserDoc doc;
            AddPoints(doc, 1);
            doc.ResetDisplayRange(std::vector<std::int32_t>{0});
            FakeView view;
            ModelPanels panels(doc, 3);
            ChainController controller(doc, view, panels);
            panels.switchFirst = form == PanelForm::Docked;
            const std::string what = std::to_string(OperationOfCreateCommand(id)) +
                                     (form == PanelForm::Popup ? " popup" : " docked");
            controller.OnCommand(id);
            ASSERT_EQ(panels.refusal, std::nullopt) << what;
            ASSERT_EQ(panels.forms, std::vector<PanelForm>{form}) << what;
            ASSERT_EQ(panels.previewed.size(), 3u) << what;
            EXPECT_TRUE(panels.previewed[0] != Tp(doc, 0).rawSamples) << what << ": the typed values change the trace";
            EXPECT_TRUE(panels.previewed[1] == panels.previewed[0]) << what << ": a second preview differs";
            EXPECT_TRUE(panels.previewed[2] == panels.previewed[0]) << what << ": a third preview differs";
            ASSERT_EQ(Tp(doc, 0).stepCount(), 1) << what;
            EXPECT_TRUE(Tp(doc, 0).samples == panels.previewed[2]) << what << ": the confirmed step is not the preview";
        }
    }
}

struct CallbackPanels : StepPanels {
    std::function<PanelResult(const PanelRequest&, ProcessStep&, StepPreview&)> run;
    PanelResult Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) override {
        return run(request, step, preview);
    }
};

// The engineer picks another test point while a docked panel waits.
TEST(ChainController, APanelFollowsTheCurrentTestPoint) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    FakeView view;
    CallbackPanels panels;
    ChainController controller(doc, view, panels);
    EXPECT_FALSE(controller.FollowCurrentPoint().moved) << "no panel runs";

    Tp(doc, 1).lastParams.smoothPoints = 7;
    ChainController::Follow follow;
    panels.run = [&](const PanelRequest& request, ProcessStep& step, StepPreview& preview) {
        EXPECT_EQ(request.targets, TargetSet{0});
        step.smoothPoints = 5;
        preview.Preview(step);
        EXPECT_NE(Tp(doc, 0).samples, Tp(doc, 0).rawSamples);
        EXPECT_FALSE(controller.FollowCurrentPoint().moved) << "the same test point: nothing to follow";
        doc.SelectPoint(1);
        follow = controller.FollowCurrentPoint();
        EXPECT_EQ(controller.PanelTargets(), TargetSet{1});
        EXPECT_EQ(Tp(doc, 0).samples, Tp(doc, 0).rawSamples) << "the old preview is dropped";
        EXPECT_EQ(step.smoothPoints, 7) << "the working step starts again from the new test point";
        step.smoothPoints = 5;  // the panel reads its fields again
        preview.Preview(step);
        EXPECT_NE(Tp(doc, 1).samples, Tp(doc, 1).rawSamples) << "the preview shows on the new test point";
        return PanelResult::Confirmed;
    };
    controller.OnCommand(command_id::kSmooth);
    EXPECT_TRUE(follow.moved);
    EXPECT_EQ(follow.refusal, std::nullopt);
    EXPECT_EQ(Tp(doc, 0).stepCount(), 0);
    ASSERT_EQ(Tp(doc, 1).stepCount(), 1) << "the step lands on the new test point";
    EXPECT_EQ(Tp(doc, 1).steps[0].smoothPoints, 5);
    EXPECT_TRUE(controller.PanelTargets().empty());

    // An edited row the new test point does not have: the panel ends, nothing moves.
    ProcessStep smooth = Step(kOpSmooth);
    smooth.smoothPoints = 3;
    Tp(doc, 0).steps = {Step(kOpReverse), smooth};
    Tp(doc, 1).steps = {Step(kOpReverse), Step(kOpFilter)};
    ReapplyChain(doc, std::vector<std::int32_t>{0, 1});
    doc.SelectPoint(0);
    view.row = 1;
    panels.run = [&](const PanelRequest&, ProcessStep& step, StepPreview& preview) {
        step.smoothPoints = 9;
        preview.Preview(step);
        doc.SelectPoint(1);
        follow = controller.FollowCurrentPoint();
        EXPECT_EQ(controller.PanelTargets(), TargetSet{0});
        return follow.refusal ? PanelResult::Cancelled : PanelResult::Confirmed;
    };
    const auto before0 = Tp(doc, 0).samples;
    controller.OnCommand(command_id::kStepEdit);
    EXPECT_FALSE(follow.moved);
    EXPECT_EQ(follow.refusal, "当前测点的第2步处理不是“平滑”，无法修改，参数面板已关闭。");
    EXPECT_EQ(Tp(doc, 0).steps[1].smoothPoints, 3);
    EXPECT_EQ(Tp(doc, 0).samples, before0) << "the preview on the old test point is dropped";
    EXPECT_EQ(Tp(doc, 1).steps[1].opType, kOpFilter);

    // An insertion before a row the new test point's chain does not reach.
    Tp(doc, 1).steps = {Step(kOpReverse)};
    doc.SelectPoint(0);
    panels.run = [&](const PanelRequest&, ProcessStep&, StepPreview&) {
        doc.SelectPoint(1);
        follow = controller.FollowCurrentPoint();
        return follow.refusal ? PanelResult::Cancelled : PanelResult::Confirmed;
    };
    controller.OnCommand(command_id::kInsertSmooth);
    EXPECT_EQ(follow.refusal, "当前测点没有第2步处理，无法在其前插入，参数面板已关闭。");
    EXPECT_EQ(Tp(doc, 0).stepCount(), 2);
    EXPECT_EQ(Tp(doc, 1).stepCount(), 1);

    // An edited row the new test point has too: it is edited there.
    Tp(doc, 1).steps = {Step(kOpFilter), smooth};
    doc.SelectPoint(0);
    panels.run = [&](const PanelRequest&, ProcessStep& step, StepPreview&) {
        doc.SelectPoint(1);
        follow = controller.FollowCurrentPoint();
        step.smoothPoints = 4;
        return PanelResult::Confirmed;
    };
    controller.OnCommand(command_id::kStepEdit);
    EXPECT_TRUE(follow.moved);
    EXPECT_EQ(Tp(doc, 0).steps[1].smoothPoints, 3);
    EXPECT_EQ(Tp(doc, 1).steps[1].smoothPoints, 4);
    EXPECT_EQ(Tp(doc, 1).steps[0].opType, kOpFilter);
}

TEST(ChainController, CommandTables) {
    EXPECT_EQ(OperationOfCreateCommand(command_id::kFilter), kOpFilter);
    EXPECT_EQ(OperationOfCreateCommand(command_id::kReverse), kOpReverse);
    EXPECT_EQ(OperationOfInsertCommand(command_id::kInsertReverse), kOpReverse);
    EXPECT_EQ(OperationOfInsertCommand(command_id::kInsertRotate), kOpRotate);
    EXPECT_EQ(OperationOfInsertCommand(command_id::kChainListInsertRotate), kOpRotate);
    EXPECT_EQ(OperationOfInsertCommand(command_id::kChainListInsertReverse), kOpReverse);
    EXPECT_EQ(OperationOfCreateCommand(command_id::kAlignHead), 0);
    EXPECT_TRUE(ChainController::Handles(command_id::kScopeCurrent));
    EXPECT_FALSE(ChainController::Handles(command_id::kPileHead));
    Fixture f;
    EXPECT_FALSE(f.controller.OnCommand(command_id::kPileHead));
}

}  // namespace
}  // namespace tav
