#include "processing/operation_panel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/format.hpp"
#include "model/positions.hpp"
#include "processing/chain_controller.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

// 20 µs and 4000 m/s: 25 samples per metre below the head at sample 40; pile 12 m.
const TestPoint kPoint = testing::WaveformPoint("P1", 1024);

ProcessStep Step(std::int32_t opType) {
    ProcessStep s;
    s.opType = opType;
    return s;
}

struct Typed {
    std::string_view key;
    std::string text;
};

// Opens a panel on the step, types the texts and confirms.
std::optional<std::string> TypeAndConfirm(ProcessStep& step, PanelForm form, std::initializer_list<Typed> typed,
                                          int choice = -1, int editFlag = 0) {
    OperationPanel panel(step.opType, form, editFlag, &kPoint);
    panel.Open(step);
    if (choice >= 0) panel.SetChoice(choice);
    for (const auto& t : typed) panel.SetText(panel.FieldIndex(t.key), t.text);
    return panel.Confirm(step, std::nullopt);
}

TEST(OperationPanel, MetreFieldsKeepTwoDecimalsAndRememberWhatWasTyped) {
    ProcessStep s = Step(kOpRemoveDc);
    OperationPanel panel(kOpRemoveDc, PanelForm::Popup, 0, &kPoint);
    panel.Open(s);
    panel.SetChoice(1);
    panel.SetText(0, "3.456");
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "3.46") << "the field shows what is used";
    EXPECT_EQ(s.dcMode, 2);
    EXPECT_EQ(s.dcStart, DepthToSample(kPoint, 3.46f, false));
    EXPECT_EQ(s.RememberedMetres(0, s.dcStart), 3.46f);

    // Opening again shows the typed metres while the memo still belongs to the index...
    OperationPanel again(kOpRemoveDc, PanelForm::Docked, 1, &kPoint);
    again.Open(s);
    EXPECT_EQ(again.Text(0), "3.46");
    EXPECT_EQ(again.Choice(), 1);
    // ...and recomputes them once the index was changed by other means.
    s.dcStart = 40 + 50;
    again.Open(s);
    EXPECT_EQ(again.Text(0), "2.00");

    // Fewer decimals stay as typed; negative depths are above the head.
    panel.SetText(0, "-0.4");
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "-0.4");
    EXPECT_EQ(s.dcStart, DepthToSample(kPoint, -0.4f, false));
}

TEST(OperationPanel, ShiftConvertsItsHorizontalAmountAsALength) {
    ProcessStep s = Step(kOpShift);
    ASSERT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"start", "1"}, {"end", "2"}, {"x", "0.2"}, {"y", "-1.5"}}, 1),
              std::nullopt);
    EXPECT_EQ(s.shiftMode, 1);
    EXPECT_EQ(s.shiftStart, DepthToSample(kPoint, 1.0f, false));
    EXPECT_EQ(s.shiftEnd, DepthToSample(kPoint, 2.0f, false));
    EXPECT_EQ(s.shiftX, DepthToSample(kPoint, 0.2f, true)) << "no head offset for the amount";
    EXPECT_LT(s.shiftX, 10);
    EXPECT_EQ(s.RememberedMetres(2, s.shiftX), 0.2f);
    EXPECT_EQ(s.RememberedMetres(1, s.shiftEnd), 2.0f);
    EXPECT_EQ(s.shiftY, -1.5f);
}

TEST(OperationPanel, PopupFilterCorrectsFrequenciesIntoItsLists) {
    ProcessStep s = Step(kOpFilter);
    OperationPanel panel(kOpFilter, PanelForm::Popup, 0, &kPoint);
    panel.Open(s);
    EXPECT_EQ(panel.Text(0), "") << "a new step's frequencies start empty";
    EXPECT_EQ(panel.Text(1), "");
    EXPECT_EQ(panel.SliderPosition(0), 3000);
    EXPECT_EQ(panel.SliderPosition(1), 100);
    panel.SetChoice(2);
    panel.SetText(0, "5000");
    panel.SetText(1, "10");
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "3000");
    EXPECT_EQ(panel.Text(1), "100");
    EXPECT_EQ(s.filterUpperHz, 3000.0f);
    EXPECT_EQ(s.filterLowerHz, 100.0f);
    EXPECT_EQ(s.filterKind, 3);
    panel.SetText(0, "1e999");
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "3000") << "an overflow is a value above the list";

    // The docked strip takes free real numbers.
    ProcessStep d = Step(kOpFilter);
    ASSERT_EQ(TypeAndConfirm(d, PanelForm::Docked, {{"upper", "5000"}, {"lower", "12.5"}}, 2), std::nullopt);
    EXPECT_EQ(d.filterUpperHz, 5000.0f);
    EXPECT_EQ(d.filterLowerHz, 12.5f);
}

TEST(OperationPanel, FilterChecksOnlyTheFrequenciesItsKindUses) {
    const auto refusal = "请设置为上限频率大于下限频率！";
    for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
        ProcessStep s = Step(kOpFilter);
        EXPECT_EQ(TypeAndConfirm(s, form, {{"upper", "300"}, {"lower", "300"}}, 2), refusal);
        EXPECT_EQ(TypeAndConfirm(s, form, {{"upper", "300"}, {"lower", "300"}}, 3), refusal);
        EXPECT_EQ(s.filterKind, 1) << "a refusal leaves the step as it was";
        EXPECT_EQ(TypeAndConfirm(s, form, {{"upper", "300"}, {"lower", "300"}}, 0), std::nullopt);
        // A hidden field is not read, whatever it holds.
        EXPECT_EQ(TypeAndConfirm(s, form, {{"upper", "400"}, {"lower", "abc"}}, 0), std::nullopt);
        EXPECT_EQ(s.filterUpperHz, 400.0f);
        EXPECT_EQ(TypeAndConfirm(s, form, {{"upper", "abc"}, {"lower", "200"}}, 1), std::nullopt);
        EXPECT_EQ(s.filterLowerHz, 200.0f);
    }
    ProcessStep s = Step(kOpFilter);
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"upper", "abc"}}, 0), "请在“上限(Hz)”中输入有效的数值！");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"upper", "nan"}}, 0), "请在“上限频率(Hz)”中输入有效的数值！");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"upper", "-1e999"}}, 0), "请在“上限(Hz)”中输入有效的数值！");
}

TEST(OperationPanel, EmptyFieldsOfANewStepKeepThePrefilledValues) {
    ProcessStep s = Step(kOpFilter);
    s.filterUpperHz = 800.0f;
    s.filterLowerHz = 150.0f;
    ASSERT_EQ(TypeAndConfirm(s, PanelForm::Popup, {}, 2), std::nullopt);
    EXPECT_EQ(s.filterUpperHz, 800.0f);
    EXPECT_EQ(s.filterLowerHz, 150.0f);

    // ...except the magnification delay, which an empty field puts at the head.
    ProcessStep m = Step(kOpMagnify);
    m.magnifyFactor = 7.0f;
    m.magnifyStart = 300;
    ASSERT_EQ(TypeAndConfirm(m, PanelForm::Popup, {}), std::nullopt);
    EXPECT_EQ(m.magnifyFactor, 7.0f);
    EXPECT_EQ(m.magnifyStart, kPoint.headIndex);
}

TEST(OperationPanel, EditedStepShowsItsValuesClampedIntoTheSliders) {
    ProcessStep s = Step(kOpFilter);
    s.filterKind = 4;
    s.filterUpperHz = 4500.0f;
    s.filterLowerHz = 50.0f;
    OperationPanel popup(kOpFilter, PanelForm::Popup, 1, &kPoint);
    popup.Open(s);
    EXPECT_EQ(popup.Choice(), 3);
    EXPECT_EQ(popup.Text(0), "3000");
    EXPECT_EQ(popup.Text(1), "100");
    OperationPanel docked(kOpFilter, PanelForm::Docked, 1, &kPoint);
    docked.Open(s);
    EXPECT_EQ(docked.Text(0), "4500");
    EXPECT_EQ(docked.Text(1), "50");

    ProcessStep r = Step(kOpRotate);
    r.rotateAngle = DegreesToRotateAngle(-25.0);
    OperationPanel rotate(kOpRotate, PanelForm::Popup, 1, &kPoint);
    rotate.Open(r);
    EXPECT_EQ(rotate.Text(1), "-10.0");
    EXPECT_EQ(rotate.SliderPosition(1), 0);
}

TEST(OperationPanel, MagnificationFactorAndDelay) {
    ProcessStep s = Step(kOpMagnify);
    OperationPanel panel(kOpMagnify, PanelForm::Popup, 0, &kPoint);
    panel.Open(s);
    panel.SetText(0, "0.5");
    panel.SetText(1, "-2");
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "1");
    EXPECT_EQ(s.magnifyFactor, 1.0f);
    EXPECT_EQ(panel.Text(1), "0.00");
    EXPECT_EQ(s.magnifyStart, kPoint.headIndex);
    panel.SetText(0, "5000");
    panel.SetText(1, "2");
    panel.SetChoice(1);
    ASSERT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    EXPECT_EQ(panel.Text(0), "1000");
    EXPECT_EQ(s.magnifyMode, 1);
    EXPECT_EQ(s.magnifyStart, DepthToSample(kPoint, 2.0f, false));
    EXPECT_EQ(panel.Confirm(s, std::nullopt), std::nullopt);
    panel.SetText(1, "1200");
    EXPECT_EQ(panel.Confirm(s, std::nullopt), "请在“放大延迟(m)”中输入0～1000之间的数值！");

    ProcessStep d = Step(kOpMagnify);
    EXPECT_EQ(TypeAndConfirm(d, PanelForm::Docked, {{"factor", "0.5"}}), "放大系数应在(1~1000)之间");
    EXPECT_EQ(TypeAndConfirm(d, PanelForm::Docked, {{"factor", "1001"}}), "放大系数应在(1~1000)之间");
    EXPECT_EQ(TypeAndConfirm(d, PanelForm::Docked, {{"factor", "1000"}}), std::nullopt);
}

TEST(OperationPanel, RotationRangesPerFormAndItsUnits) {
    ProcessStep s = Step(kOpRotate);
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"angle", "12"}}), "旋转角度应在(-10°~10°)之间");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"angle", "-90"}}), "旋转角度应在(-90°~90°)之间");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"angle", "-90"}}), "旋转角度应在(-10°~10°)之间");
    ASSERT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"angle", "12"}}), std::nullopt);
    const float pi = static_cast<float>(4.0 * std::atan(1.0));
    EXPECT_EQ(s.rotateAngle, pi * 12.0f * 0.0055555557f);
    EXPECT_EQ(s.rotateScale, 1.0f) << "no trace: the scale keeps its value";
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"angle", "90"}}), std::nullopt);

    // The scale follows the current trace: display range per pixel, 4 decimals.
    TestPoint tp = kPoint;
    tp.lastParams.viewMax = 1.0f;
    tp.lastParams.viewMin = -1.0f;
    OperationPanel panel(kOpRotate, PanelForm::Popup, 0, &tp);
    panel.Open(s);
    panel.SetText(1, "2.5");
    ProcessStep previewed = s;
    panel.Read(previewed, 150);
    EXPECT_EQ(previewed.rotateScale, 0.0133f) << "a preview draws the ramp the confirmed step will";
    ASSERT_EQ(panel.Confirm(s, 150), std::nullopt);
    EXPECT_EQ(s.rotateScale, 0.0133f);
    EXPECT_EQ(*RotateScaleFor(tp.lastParams, 16), 0.125f);
    tp.lastParams.viewMax = 0.00005f;  // exactly half a unit in the last place kept...
    tp.lastParams.viewMin = -0.00005f;
    EXPECT_NEAR(*RotateScaleFor(tp.lastParams, 1), 0.0001f, 1e-7f);
    EXPECT_EQ(RotateScaleFor(tp.lastParams, 0), std::nullopt);

    // Slider p shows (p - 100) x 0.1 degrees.
    panel.MoveSlider(1, 37);
    EXPECT_EQ(panel.Text(1), "-6.3");
    EXPECT_EQ(panel.SliderPosition(1), 37);
}

TEST(OperationPanel, FrontAndRearZeroingBounds) {
    ProcessStep f = Step(kOpFrontZero);
    EXPECT_EQ(TypeAndConfirm(f, PanelForm::Popup, {{"position", "0.01"}}), "前清零位置应在桩头之前！");
    ASSERT_EQ(TypeAndConfirm(f, PanelForm::Popup, {{"position", "0.00"}}), std::nullopt);
    ASSERT_EQ(TypeAndConfirm(f, PanelForm::Docked, {{"position", "-0.5"}}), std::nullopt);
    EXPECT_EQ(f.frontZeroPos, DepthToSample(kPoint, -0.5f, false));
    EXPECT_EQ(f.rearZeroPos, f.frontZeroPos) << "both fields get the position";

    ProcessStep r = Step(kOpRearZero);
    EXPECT_EQ(TypeAndConfirm(r, PanelForm::Docked, {{"position", "11.99"}}), "后清零位置应在桩尾之后！");
    ASSERT_EQ(TypeAndConfirm(r, PanelForm::Popup, {{"position", "12.00"}}), std::nullopt);
    EXPECT_EQ(r.rearZeroPos, DepthToSample(kPoint, 12.0f, false));
    EXPECT_EQ(r.frontZeroPos, r.rearZeroPos);
}

TEST(OperationPanel, LocalScaling) {
    ProcessStep s = Step(kOpLocalScale);
    ASSERT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"start", "5.00"}, {"end", "5.00"}, {"factor", "2"}}), std::nullopt);
    EXPECT_EQ(s.scaleStart, s.scaleEnd);
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"start", "6.00"}, {"end", "5.00"}}), "起始点应小于终止点！");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Popup, {{"factor", "150"}}), "缩放系数应在0~100之间！");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"factor", "150"}}), std::nullopt);
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"factor", "0"}}), "缩放系数应在（0.0001~10000）之间！");
    EXPECT_EQ(TypeAndConfirm(s, PanelForm::Docked, {{"factor", "20000"}}), "缩放系数应在（0.0001~10000）之间！");
    EXPECT_EQ(s.scaleFactor, 150.0f);

    // The slider: 0..100 hundredths, above 100 whole factors; a typed factor moves it.
    OperationPanel panel(kOpLocalScale, PanelForm::Popup, 1, &kPoint);
    panel.Open(s);
    const int factor = panel.FieldIndex("factor");
    panel.MoveSlider(factor, 45);
    EXPECT_EQ(panel.Text(factor), "0.45");
    panel.MoveSlider(factor, 130);
    EXPECT_EQ(panel.Text(factor), "30");
    panel.SetText(factor, "0.456");
    EXPECT_EQ(panel.SliderPosition(factor), 46);
    panel.SetText(factor, "7.6");
    EXPECT_EQ(panel.SliderPosition(factor), 108);
}

TEST(OperationPanel, SmoothingPointsOneToThirtyTwo) {
    for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
        ProcessStep s = Step(kOpSmooth);
        for (const char* bad : {"0", "33", "2.5", "-1", "abc", "1e999"})
            EXPECT_TRUE(TypeAndConfirm(s, form, {{"points", bad}}).has_value()) << bad;
        EXPECT_EQ(s.smoothPoints, 1);
        EXPECT_EQ(TypeAndConfirm(s, form, {{"points", "32"}}), std::nullopt);
        EXPECT_EQ(s.smoothPoints, 32);
    }
    // A preview with a count out of range keeps the last one.
    ProcessStep s = Step(kOpSmooth);
    s.smoothPoints = 5;
    OperationPanel panel(kOpSmooth, PanelForm::Popup, 0, &kPoint);
    panel.Open(s);
    panel.SetText(0, "100000");
    panel.Read(s);
    EXPECT_EQ(s.smoothPoints, 5);
}

// Whatever is typed into whatever field: a refusal leaves the step exactly as
// it was, an acceptance stores only finite values.
TEST(OperationPanel, AnyTextIsReadOrRefused) {
    const char* texts[] = {"", "abc", "-5", "nan", "inf", "1e999", "-1e999", "3.14159", "1e30", "0x10", " 7 ", "1,5"};
    for (const std::int32_t op : {kOpFilter, kOpMagnify, kOpRemoveDc, kOpSmooth, kOpRotate, kOpLinearZero,
                                  kOpNonlinearZero, kOpFrontZero, kOpRearZero, kOpLocalScale, kOpShift}) {
        for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
            OperationPanel probe(op, form, 0, &kPoint);
            for (int field = 0; field < probe.FieldCount(); ++field) {
                for (const char* text : texts) {
                    ProcessStep s = Step(op);
                    s.filterKind = 3;
                    s.filterUpperHz = 900.0f;
                    s.filterLowerHz = 200.0f;
                    s.scaleEnd = 100;
                    s.rearZeroPos = 1000;
                    const ProcessStep before = s;
                    OperationPanel panel(op, form, 1, &kPoint);
                    panel.Open(s);
                    panel.SetText(field, text);
                    const auto refusal = panel.Confirm(s, 100);
                    if (refusal) {
                        EXPECT_FALSE(refusal->empty());
                        EXPECT_TRUE(SameStepBytes(s, before)) << op << " " << field << " '" << text << "'";
                        continue;
                    }
                    for (const float v : {s.filterUpperHz, s.filterLowerHz, s.magnifyFactor, s.rotateAngle,
                                          s.rotateScale, s.scaleFactor, s.shiftY})
                        EXPECT_TRUE(std::isfinite(v)) << op << " " << field << " '" << text << "'";
                }
            }
        }
    }
}

// A vertical shift beyond any sensor's output is refused in both forms and
// left out of a preview, so neither the axis nor the head search sees it.
TEST(OperationPanel, VerticalShiftStaysWithinItsLimit) {
    for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
        for (const char* text : {"-1e30", "1e30", "10000.5", "-10001"}) {
            SCOPED_TRACE(text);
            ProcessStep s = Step(kOpShift);
            s.shiftY = 2.5f;
            const ProcessStep before = s;
            const std::string label = form == PanelForm::Popup ? "竖向平移(mV)" : "竖向(mV)";
            EXPECT_EQ(TypeAndConfirm(s, form, {{"y", text}}), "请在“" + label + "”中输入-10000～10000之间的数值！");
            EXPECT_TRUE(SameStepBytes(s, before));
            OperationPanel preview(kOpShift, form, 0, &kPoint);
            preview.Open(s);
            preview.SetText(preview.FieldIndex("y"), text);
            preview.Read(s);
            EXPECT_EQ(s.shiftY, 2.5f);
        }
        for (const float mv : {10000.0f, -10000.0f, -0.25f}) {
            ProcessStep s = Step(kOpShift);
            ASSERT_EQ(TypeAndConfirm(s, form, {{"y", Format("%g", static_cast<double>(mv))}}), std::nullopt);
            EXPECT_EQ(s.shiftY, mv);
        }
    }
}

TEST(OperationPanel, CursorFillsThePositionOfPopupsThatHaveTheButton) {
    OperationPanel rotate(kOpRotate, PanelForm::Popup, 0, &kPoint);
    rotate.Open(Step(kOpRotate));
    rotate.TakeCursor(40 + 130);
    EXPECT_EQ(rotate.Text(rotate.FieldIndex("start")), "5.20");
    EXPECT_EQ(OperationPanel(kOpRotate, PanelForm::Docked, 0, &kPoint).CursorField(), -1);
    EXPECT_EQ(OperationPanel(kOpFilter, PanelForm::Popup, 0, &kPoint).CursorField(), -1);
    EXPECT_EQ(OperationPanel(kOpLocalScale, PanelForm::Popup, 0, &kPoint).CursorField(), -1);
    OperationPanel magnify(kOpMagnify, PanelForm::Popup, 0, &kPoint);
    EXPECT_EQ(magnify.CursorField(), magnify.FieldIndex("delay"));
}

TEST(OperationPanel, SwitchingFormsKeepsWhatWasEntered) {
    ProcessStep s = Step(kOpFilter);
    std::optional<OperationPanel> carried;
    PanelRequest request;
    request.opType = kOpFilter;
    OperationPanel popup = OpenPanelModel(carried, request, &kPoint, s);
    popup.SetChoice(2);
    popup.SetText(0, "1200");
    popup.SetText(1, "100");
    carried = popup;  // the popup ended with the form switch
    request.form = PanelForm::Docked;
    OperationPanel docked = OpenPanelModel(carried, request, &kPoint, s);
    EXPECT_FALSE(carried.has_value());
    EXPECT_EQ(docked.form(), PanelForm::Docked);
    EXPECT_EQ(docked.Choice(), 2);
    EXPECT_EQ(docked.Text(0), "1200");
    EXPECT_EQ(docked.Label(0), "上限(Hz)");
    EXPECT_EQ(docked.ChoiceLabels()[2], "带通");
    EXPECT_EQ(docked.Slider(0), std::nullopt);

    // Nothing carried: a fresh panel on the step.
    request.form = PanelForm::Popup;
    OperationPanel fresh = OpenPanelModel(carried, request, &kPoint, s);
    EXPECT_EQ(fresh.Text(0), "");
}

}  // namespace
}  // namespace tav
