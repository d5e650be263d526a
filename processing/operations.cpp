#include "processing/operations.hpp"

#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "base/format.hpp"
#include "model/document.hpp"
#include "model/positions.hpp"
#include "processing/calculus_ops.hpp"
#include "processing/chain.hpp"
#include "processing/fir_filter.hpp"
#include "processing/operation_panel.hpp"
#include "processing/pointwise_ops.hpp"

namespace tav {

// ---- texts ---------------------------------------------------------------------------

void TextLines::Add(std::string_view text) {
    ++count_;
    if (out_ != nullptr) out_->emplace_back(text);
}

void TextLines::Printf(const char* format, ...) {
    ++count_;
    if (out_ == nullptr) return;
    va_list args;
    va_start(args, format);
    out_->push_back(FormatV(format, args));
    va_end(args);
}

double PanelReading::At(std::string_view key) const {
    for (std::size_t i = 0; i < fields.size() && i < values.size(); ++i)
        if (fields[i].key == key) return values[i];
    return 0.0;
}

namespace {

using K = PanelFieldKind;
using M = MemberUnit;

constexpr StepMember Int(std::string_view name, std::int32_t ProcessStep::*m) { return {name, m, nullptr}; }
constexpr StepMember Real(std::string_view name, float ProcessStep::*m) { return {name, nullptr, m}; }
constexpr StepMember Pos(std::string_view name, std::int32_t ProcessStep::*m, int slot) {
    return {name, m, nullptr, M::Position, slot};
}

constexpr unsigned kAllChoices = ~0u;

// Summaries: positions are metres below the head, two decimals.
double Metres(const SummaryInput& in, std::int32_t position) {
    return static_cast<double>(SampleToDepth(in.tp, position, false));
}
double D(float v) { return static_cast<double>(v); }

// Detail texts: the metres typed for a position while its memo slot still
// belongs to the index, else the metres the index gives.
void DetailMetres(const DetailInput& in, TextLines& out, const char* label, int slot, std::int32_t index) {
    float metres = in.step.RememberedMetres(slot, index);
    if (metres == kMemoMissing) metres = SampleToDepth(in.doc, in.point, index, false);
    out.Printf("%s:%.2fm", label, D(metres));
}

int NonZeroMode(std::int32_t mode) { return mode != 0 ? 1 : 0; }

// Most panels with buttons have a whole / part mode.
constexpr std::string_view kWholePartNames[] = {"whole", "part"};

// ---- 1 integration -------------------------------------------------------------------

void RunIntegrate(TestPoint& tp, const ProcessStep&) {
    Integrate(tp.samples.data(), tp.sampleCount(), tp.sampleInterval);
}
void SummaryIntegrate(const SummaryInput& in, TextLines& out) {
    out.Printf("积分次数:%d", static_cast<int>(in.count));
}

constexpr OperationDescription kIntegrateOp{
    .type = kOpIntegrate, .name = "积分", .toolName = "integrate", .run = RunIntegrate, .summary = SummaryIntegrate};

// ---- 2 differentiation ---------------------------------------------------------------

void RunDifferentiate(TestPoint& tp, const ProcessStep&) { Differentiate(tp.samples.data(), tp.sampleCount()); }
void SummaryDifferentiate(const SummaryInput& in, TextLines& out) {
    out.Printf("微分次数:%d", static_cast<int>(in.count));
}

constexpr OperationDescription kDifferentiateOp{.type = kOpDifferentiate,
                                                .name = "微分",
                                                .toolName = "differentiate",
                                                .run = RunDifferentiate,
                                                .summary = SummaryDifferentiate};

// ---- 3 digital filter ------------------------------------------------------------------

constexpr StepMember kFilterKind = Int("filterKind", &ProcessStep::filterKind);
constexpr StepMember kFilterUpper = Real("filterUpperHz", &ProcessStep::filterUpperHz);
constexpr StepMember kFilterLower = Real("filterLowerHz", &ProcessStep::filterLowerHz);
constexpr const StepMember* kFilterMembers[] = {&kFilterKind, &kFilterUpper, &kFilterLower};

void RunFilter(TestPoint& tp, const ProcessStep& s) {
    FilterWaveform(tp.samples.data(), tp.sampleCount(), tp.sampleInterval, s.filterLowerHz, s.filterUpperHz,
                   s.filterKind, kHannWindow);
}

void SummaryFilter(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    switch (p.filterKind) {
        case kLowPass: out.Printf("低通:%0.2fHz", D(p.filterUpperHz)); break;
        case kHighPass: out.Printf("高通:%0.2fHz", D(p.filterLowerHz)); break;
        case kBandPass:
        case kBandStop:
            out.Add(p.filterKind == kBandPass ? "带通:" : "带阻:");
            out.Printf("  (%0.2f,%0.2f)Hz", D(p.filterLowerHz), D(p.filterUpperHz));
            break;
        default: break;
    }
}

void DetailFilter(const DetailInput& in, TextLines& out) {
    static constexpr const char* kKinds[] = {"低通", "高通", "带通", "带阻"};
    const ProcessStep& s = in.step;
    out.Add(s.filterKind >= 1 && s.filterKind <= 4 ? kKinds[s.filterKind - 1] : "");
    if (s.filterKind != kHighPass) out.Printf("上限频率:%0.2fHZ", D(s.filterUpperHz));
    if (s.filterKind != kLowPass) out.Printf("下限频率:%0.2fHZ", D(s.filterLowerHz));
}

constexpr std::string_view kFilterPopup[] = {"低通滤波", "高通滤波", "带通滤波", "带阻滤波"};
constexpr std::string_view kFilterDocked[] = {"低通", "高通", "带通", "带阻"};
constexpr std::string_view kFilterNames[] = {"low", "high", "band", "stop"};
constexpr PanelChoices kFilterChoices{"kind", kFilterPopup, kFilterDocked, kFilterNames,
                                      [](const ProcessStep& s) { return s.filterKind - 1; },
                                      [](ProcessStep& s, int c) { s.filterKind = c + 1; }};
// Low-pass (button 0) uses the upper frequency only, high-pass (1) the lower only.
constexpr PanelField kFilterFields[] = {
    {K::FilterUpper, "upper", "上限频率(Hz)", "上限(Hz)", &kFilterUpper, kAllChoices & ~(1u << 1)},
    {K::FilterLower, "lower", "下限频率(Hz)", "下限(Hz)", &kFilterLower, kAllChoices & ~(1u << 0)},
};

std::optional<std::string> CheckFilter(const PanelReading& r) {
    if (r.choice >= 2 && !(r.At("upper") > r.At("lower"))) return "请设置为上限频率大于下限频率！";
    return std::nullopt;
}

constexpr PanelDescription kFilterPanel{
    .title = "数字滤波", .fields = kFilterFields, .choices = &kFilterChoices, .check = CheckFilter};

constexpr OperationDescription kFilterOp{.type = kOpFilter,
                                         .name = "数字滤波",
                                         .toolName = "filter",
                                         .members = kFilterMembers,
                                         .run = RunFilter,
                                         .summary = SummaryFilter,
                                         .detail = DetailFilter,
                                         .panel = &kFilterPanel};

// ---- 4 and 5 linear and non-linear zeroing ----------------------------------------------

constexpr StepMember kLinZeroMode = Int("linZeroMode", &ProcessStep::linZeroMode);
constexpr StepMember kLinZeroStart = Pos("linZeroStart", &ProcessStep::linZeroStart, 0);
constexpr const StepMember* kLinZeroMembers[] = {&kLinZeroMode, &kLinZeroStart};
constexpr StepMember kNonlinZeroMode = Int("nonlinZeroMode", &ProcessStep::nonlinZeroMode);
constexpr StepMember kNonlinZeroStart = Pos("nonlinZeroStart", &ProcessStep::nonlinZeroStart, 0);
constexpr const StepMember* kNonlinZeroMembers[] = {&kNonlinZeroMode, &kNonlinZeroStart};

// The zeroing modes that need the toe take it as the step runs.
void RunLinearZero(TestPoint& tp, const ProcessStep& s) {
    ZeroLinear(tp.samples.data(), tp.sampleCount(), tp.toeIndex, s.linZeroMode, s.linZeroStart);
}
void RunNonlinearZero(TestPoint& tp, const ProcessStep& s) {
    ZeroNonlinear(tp.samples.data(), tp.sampleCount(), tp.toeIndex, s.nonlinZeroMode, s.nonlinZeroStart);
}

void SummaryZero(const SummaryInput& in, TextLines& out, const char* title, std::int32_t mode, std::int32_t start) {
    out.Add(title);
    if (mode != 0 && start > 0) out.Printf("  起始点:%0.2fm", Metres(in, start));
}
void SummaryLinearZero(const SummaryInput& in, TextLines& out) {
    SummaryZero(in, out, "线性归零:是", in.params.linZeroMode, in.params.linZeroStart);
}
void SummaryNonlinearZero(const SummaryInput& in, TextLines& out) {
    SummaryZero(in, out, "非线性归零:是", in.params.nonlinZeroMode, in.params.nonlinZeroStart);
}

void DetailZero(const DetailInput& in, TextLines& out, std::int32_t mode, std::int32_t start) {
    static constexpr const char* kModes[] = {"整体归零", "部分归零", "桩尾后归零"};
    out.Add(mode >= 0 && mode <= 2 ? kModes[mode] : "");
    if (mode == 1) DetailMetres(in, out, "起始位置", 0, start);
}
void DetailLinearZero(const DetailInput& in, TextLines& out) {
    DetailZero(in, out, in.step.linZeroMode, in.step.linZeroStart);
}
void DetailNonlinearZero(const DetailInput& in, TextLines& out) {
    DetailZero(in, out, in.step.nonlinZeroMode, in.step.nonlinZeroStart);
}

constexpr std::string_view kZeroPopup[] = {"整体波形", "部分波形", "桩尾以后"};
constexpr std::string_view kZeroDocked[] = {"整体", "部分", "桩尾"};
constexpr std::string_view kZeroNames[] = {"whole", "part", "toe"};
constexpr PanelChoices kLinZeroChoices{"mode", kZeroPopup, kZeroDocked, kZeroNames,
                                       [](const ProcessStep& s) { return static_cast<int>(s.linZeroMode); },
                                       [](ProcessStep& s, int c) { s.linZeroMode = c; }};
constexpr PanelChoices kNonlinZeroChoices{"mode", kZeroPopup, kZeroDocked, kZeroNames,
                                          [](const ProcessStep& s) { return static_cast<int>(s.nonlinZeroMode); },
                                          [](ProcessStep& s, int c) { s.nonlinZeroMode = c; }};
constexpr PanelField kLinZeroFields[] = {{K::Position, "start", "起始位置(m)", "起始位置(m)", &kLinZeroStart}};
constexpr PanelField kNonlinZeroFields[] = {{K::Position, "start", "起始位置(m)", "起始位置(m)", &kNonlinZeroStart}};

constexpr PanelDescription kLinZeroPanel{
    .title = "线性归零", .fields = kLinZeroFields, .choices = &kLinZeroChoices, .cursorField = "start"};
constexpr PanelDescription kNonlinZeroPanel{
    .title = "非线性归零", .fields = kNonlinZeroFields, .choices = &kNonlinZeroChoices, .cursorField = "start"};

constexpr OperationDescription kLinearZeroOp{.type = kOpLinearZero,
                                             .name = "线性归零",
                                             .toolName = "linzero",
                                             .members = kLinZeroMembers,
                                             .cursorPreset = &ProcessStep::linZeroStart,
                                             .timeDomainOnly = true,
                                             .run = RunLinearZero,
                                             .summary = SummaryLinearZero,
                                             .detail = DetailLinearZero,
                                             .panel = &kLinZeroPanel};

constexpr OperationDescription kNonlinearZeroOp{.type = kOpNonlinearZero,
                                                .name = "非线性归零",
                                                .toolName = "nonlinzero",
                                                .members = kNonlinZeroMembers,
                                                .cursorPreset = &ProcessStep::nonlinZeroStart,
                                                .timeDomainOnly = true,
                                                .run = RunNonlinearZero,
                                                .summary = SummaryNonlinearZero,
                                                .detail = DetailNonlinearZero,
                                                .panel = &kNonlinZeroPanel};

// ---- 6 reversal ------------------------------------------------------------------------

void RunReverse(TestPoint& tp, const ProcessStep&) { Reverse(tp.samples.data(), tp.sampleCount()); }
// Two reversals cancel: the line tells whether the record is upside down.
void SummaryReverse(const SummaryInput& in, TextLines& out) { out.Add(in.count % 2 == 1 ? "反向:是" : "反向:否"); }

constexpr OperationDescription kReverseOp{.type = kOpReverse,
                                          .name = "波形反向",
                                          .toolName = "reverse",
                                          .timeDomainOnly = true,
                                          .run = RunReverse,
                                          .summary = SummaryReverse,
                                          .summaryWithoutSteps = true};

// ---- 7 smoothing -----------------------------------------------------------------------

constexpr StepMember kSmoothPoints = Int("smoothPoints", &ProcessStep::smoothPoints);
constexpr const StepMember* kSmoothMembers[] = {&kSmoothPoints};

void RunSmooth(TestPoint& tp, const ProcessStep& s) { Smooth(tp.samples.data(), tp.sampleCount(), s.smoothPoints); }
void SummarySmooth(const SummaryInput& in, TextLines& out) { out.Printf("平滑点数:%d", in.params.smoothPoints); }
void DetailSmooth(const DetailInput& in, TextLines& out) { out.Printf("平滑点数:%d", in.step.smoothPoints); }

constexpr PanelField kSmoothFields[] = {{K::SmoothPoints, "points", "平滑点数：", "平滑点数", &kSmoothPoints}};
constexpr PanelDescription kSmoothPanel{.title = "波形平滑", .fields = kSmoothFields};

constexpr OperationDescription kSmoothOp{.type = kOpSmooth,
                                         .name = "平滑",
                                         .toolName = "smooth",
                                         .members = kSmoothMembers,
                                         .run = RunSmooth,
                                         .summary = SummarySmooth,
                                         .detail = DetailSmooth,
                                         .panel = &kSmoothPanel};

// ---- 8 DC removal ----------------------------------------------------------------------

constexpr StepMember kDcMode = Int("dcMode", &ProcessStep::dcMode);
constexpr StepMember kDcStart = Pos("dcStart", &ProcessStep::dcStart, 0);
constexpr const StepMember* kDcMembers[] = {&kDcMode, &kDcStart};

void RunRemoveDc(TestPoint& tp, const ProcessStep& s) {
    RemoveDc(tp.samples.data(), tp.sampleCount(), s.dcMode, s.dcStart);
}

void SummaryRemoveDc(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    out.Add(in.count >= 1 ? "去直流:是" : "去直流:否");
    if (p.dcMode == 2 && p.dcStart > 0 && in.count > 0) out.Printf("  起始点:%0.2fm", Metres(in, p.dcStart));
}

void DetailRemoveDc(const DetailInput& in, TextLines& out) {
    const ProcessStep& s = in.step;
    out.Add(s.dcMode == 1 ? "整体去直流" : s.dcMode == 2 ? "部分去直流" : "");
    if (s.dcMode == 2) DetailMetres(in, out, "起始位置", 0, s.dcStart);
}

constexpr std::string_view kDcPopup[] = {"整个波形", "部分波形"};
constexpr std::string_view kDcDocked[] = {"整个", "部分"};
constexpr PanelChoices kDcChoices{"mode", kDcPopup, kDcDocked, kWholePartNames,
                                  [](const ProcessStep& s) { return s.dcMode == 2 ? 1 : 0; },
                                  [](ProcessStep& s, int c) { s.dcMode = c + 1; }};
constexpr PanelField kDcFields[] = {{K::Position, "start", "起始位置(m)", "起始位置(m)", &kDcStart}};
constexpr PanelDescription kDcPanel{
    .title = "去直流", .fields = kDcFields, .choices = &kDcChoices, .cursorField = "start"};

constexpr OperationDescription kRemoveDcOp{.type = kOpRemoveDc,
                                           .name = "去直流",
                                           .toolName = "dc",
                                           .members = kDcMembers,
                                           .cursorPreset = &ProcessStep::dcStart,
                                           .run = RunRemoveDc,
                                           .summary = SummaryRemoveDc,
                                           .summaryWithoutSteps = true,
                                           .detail = DetailRemoveDc,
                                           .panel = &kDcPanel};

// ---- 9 and 10 front and rear zeroing -------------------------------------------------------

constexpr StepMember kFrontZeroPos = Pos("frontZeroPos", &ProcessStep::frontZeroPos, 0);
constexpr const StepMember* kFrontZeroMembers[] = {&kFrontZeroPos};
constexpr StepMember kRearZeroPos = Pos("rearZeroPos", &ProcessStep::rearZeroPos, 0);
constexpr const StepMember* kRearZeroMembers[] = {&kRearZeroPos};

void RunFrontZero(TestPoint& tp, const ProcessStep& s) {
    ZeroFront(tp.samples.data(), tp.sampleCount(), s.frontZeroPos);
}
void RunRearZero(TestPoint& tp, const ProcessStep& s) {
    ZeroRear(tp.samples.data(), tp.sampleCount(), s.rearZeroPos);
}

void SummaryFrontZero(const SummaryInput& in, TextLines& out) {
    out.Printf("前清零:%0.2fm", Metres(in, in.params.frontZeroPos));
}
void SummaryRearZero(const SummaryInput& in, TextLines& out) {
    out.Printf("后清零:%0.2fm", Metres(in, in.params.rearZeroPos));
}
void DetailFrontZero(const DetailInput& in, TextLines& out) {
    DetailMetres(in, out, "前清零位置", 0, in.step.frontZeroPos);
}
void DetailRearZero(const DetailInput& in, TextLines& out) {
    DetailMetres(in, out, "后清零位置", 0, in.step.rearZeroPos);
}

constexpr PanelField kFrontZeroFields[] = {{K::Position, "position", "起始位置(m)", "起始位置(m)", &kFrontZeroPos}};
constexpr PanelField kRearZeroFields[] = {{K::Position, "position", "起始位置(m)", "起始位置(m)", &kRearZeroPos}};

std::optional<std::string> CheckFrontZero(const PanelReading& r) {
    if (r.At("position") > 0.0) return "前清零位置应在桩头之前！";
    return std::nullopt;
}
std::optional<std::string> CheckRearZero(const PanelReading& r) {
    if (r.current != nullptr && static_cast<float>(r.At("position")) < r.current->pileLength)
        return "后清零位置应在桩尾之后！";
    return std::nullopt;
}

// One position field serves both ends: the step keeps it in both members.
constexpr PanelDescription kFrontZeroPanel{.title = "前清零",
                                           .fields = kFrontZeroFields,
                                           .cursorField = "position",
                                           .check = CheckFrontZero,
                                           .afterRead = [](ProcessStep& s) { s.rearZeroPos = s.frontZeroPos; }};
constexpr PanelDescription kRearZeroPanel{.title = "后清零",
                                          .fields = kRearZeroFields,
                                          .cursorField = "position",
                                          .check = CheckRearZero,
                                          .afterRead = [](ProcessStep& s) { s.frontZeroPos = s.rearZeroPos; }};

constexpr OperationDescription kFrontZeroOp{.type = kOpFrontZero,
                                            .name = "前置零",
                                            .toolName = "frontzero",
                                            .members = kFrontZeroMembers,
                                            .cursorPreset = &ProcessStep::frontZeroPos,
                                            .timeDomainOnly = true,
                                            .run = RunFrontZero,
                                            .summary = SummaryFrontZero,
                                            .detail = DetailFrontZero,
                                            .panel = &kFrontZeroPanel};

constexpr OperationDescription kRearZeroOp{.type = kOpRearZero,
                                           .name = "后置零",
                                           .toolName = "rearzero",
                                           .members = kRearZeroMembers,
                                           .cursorPreset = &ProcessStep::rearZeroPos,
                                           .timeDomainOnly = true,
                                           .run = RunRearZero,
                                           .summary = SummaryRearZero,
                                           .detail = DetailRearZero,
                                           .panel = &kRearZeroPanel};

// ---- 11 data shift ---------------------------------------------------------------------

constexpr StepMember kShiftX{"shiftX", &ProcessStep::shiftX, nullptr, M::Length, 2};
constexpr StepMember kShiftY = Real("shiftY", &ProcessStep::shiftY);
constexpr StepMember kShiftMode = Int("shiftMode", &ProcessStep::shiftMode);
constexpr StepMember kShiftStart = Pos("shiftStart", &ProcessStep::shiftStart, 0);
constexpr StepMember kShiftEnd = Pos("shiftEnd", &ProcessStep::shiftEnd, 1);
constexpr const StepMember* kShiftMembers[] = {&kShiftX, &kShiftY, &kShiftMode, &kShiftStart, &kShiftEnd};

void RunShift(TestPoint& tp, const ProcessStep& s) {
    ShiftData(tp.samples.data(), tp.sampleCount(), s.shiftX, s.shiftY, s.shiftMode, s.shiftStart, s.shiftEnd);
}

void SummaryShift(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    out.Add("数据平移:");
    out.Printf("  横向:%0.2fm", D(ShiftToLength(in.tp, p.shiftX)));
    out.Printf("  纵向:%0.2fmV", D(p.shiftY));
    if (p.shiftMode == 1) out.Printf("  范围(%0.2f,%0.2f)m", Metres(in, p.shiftStart), Metres(in, p.shiftEnd));
}

void DetailShift(const DetailInput& in, TextLines& out) {
    const ProcessStep& s = in.step;
    out.Add(s.shiftMode == 1 ? "部分平移" : "整体平移");
    if (s.shiftMode == 1) {
        DetailMetres(in, out, "起始位置", 0, s.shiftStart);
        DetailMetres(in, out, "终止位置", 1, s.shiftEnd);
    }
    float shift = s.RememberedMetres(2, s.shiftX);
    if (shift == kMemoMissing)
        shift = in.doc.ValidIndex(in.point) ? ShiftToLength(in.doc.points[static_cast<std::size_t>(in.point)], s.shiftX)
                                            : 0.0f;
    out.Printf("横向平移:%.2fm", D(shift));
    out.Printf("竖向平移:%0.2fmV", D(s.shiftY));
}

constexpr std::string_view kShiftLabels[] = {"整体波形", "部分波形"};
constexpr PanelChoices kShiftChoices{"mode", kShiftLabels, kShiftLabels, kWholePartNames,
                                     [](const ProcessStep& s) { return NonZeroMode(s.shiftMode); },
                                     [](ProcessStep& s, int c) { s.shiftMode = c; }};
constexpr PanelField kShiftFields[] = {
    {K::Position, "start", "起始点(m)", "起始(m)", &kShiftStart},
    {K::Position, "end", "终止点(m)", "终止(m)", &kShiftEnd},
    {K::ShiftLength, "x", "横向平移(m)", "横向(m)", &kShiftX},
    {K::Millivolts, "y", "竖向平移(mV)", "竖向(mV)", &kShiftY},
};
constexpr PanelDescription kShiftPanel{.title = "数据平移", .fields = kShiftFields, .choices = &kShiftChoices};

constexpr OperationDescription kShiftOp{.type = kOpShift,
                                        .name = "数据平移",
                                        .toolName = "shift",
                                        .members = kShiftMembers,
                                        .timeDomainOnly = true,
                                        .run = RunShift,
                                        .summary = SummaryShift,
                                        .detail = DetailShift,
                                        .panel = &kShiftPanel};

// ---- 12 rotation -----------------------------------------------------------------------

constexpr StepMember kRotateMode = Int("rotateMode", &ProcessStep::rotateMode);
constexpr StepMember kRotateStart = Pos("rotateStart", &ProcessStep::rotateStart, 0);
constexpr StepMember kRotateAngle = Real("rotateAngle", &ProcessStep::rotateAngle);
constexpr StepMember kRotateScale = Real("rotateScale", &ProcessStep::rotateScale);
constexpr const StepMember* kRotateMembers[] = {&kRotateMode, &kRotateStart, &kRotateAngle, &kRotateScale};

constexpr double kDockedAngleLimit = 90.0;

void RunRotate(TestPoint& tp, const ProcessStep& s) {
    Rotate(tp.samples.data(), tp.sampleCount(), s.rotateMode, s.rotateStart, s.rotateAngle, s.rotateScale);
}

void SummaryRotate(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    out.Printf("波形旋转:%0.2frad", D(p.rotateAngle));
    if (p.rotateMode == 1 && p.rotateStart > 0) out.Printf("  起始点:%0.2fm", Metres(in, p.rotateStart));
}

void DetailRotate(const DetailInput& in, TextLines& out) {
    const ProcessStep& s = in.step;
    out.Add(s.rotateMode != 0 ? "部分旋转" : "整体旋转");
    if (s.rotateMode != 0) DetailMetres(in, out, "起始位置", 0, s.rotateStart);
    const double pi = 4.0 * std::atan(1.0);
    out.Printf("旋转角度:%0.2f°", D(s.rotateAngle) / pi * 180.0);
}

constexpr std::string_view kRotatePopup[] = {"整体波形", "部分波形"};
constexpr std::string_view kRotateDocked[] = {"整体", "部分"};
constexpr PanelChoices kRotateChoices{"mode", kRotatePopup, kRotateDocked, kWholePartNames,
                                      [](const ProcessStep& s) { return NonZeroMode(s.rotateMode); },
                                      [](ProcessStep& s, int c) { s.rotateMode = c; }};
constexpr PanelField kRotateFields[] = {
    {K::Position, "start", "起始位置(m)", "起始位置(m)", &kRotateStart},
    {K::Angle, "angle", "旋转角度(°)", "角度(°)", &kRotateAngle},
};

std::optional<std::string> CheckRotate(const PanelReading& r) {
    const double a = r.At("angle");
    if (r.popup && (a < -kPopupAngleLimit || a > kPopupAngleLimit))
        return Format("旋转角度应在(%d°~%d°)之间", -static_cast<int>(kPopupAngleLimit), static_cast<int>(kPopupAngleLimit));
    if (!r.popup && !(a > -kDockedAngleLimit && a <= kDockedAngleLimit)) return "旋转角度应在(-90°~90°)之间";
    return std::nullopt;
}

// The ramp is drawn in the trace's own units: its scale follows the height the trace is drawn at.
void FitRotateToTrace(ProcessStep& s, const TraceFrame& trace) {
    if (const auto scale = RotateScaleFor(trace)) s.rotateScale = *scale;
}

constexpr PanelDescription kRotatePanel{.title = "波形旋转",
                                        .fields = kRotateFields,
                                        .choices = &kRotateChoices,
                                        .cursorField = "start",
                                        .check = CheckRotate,
                                        .fitToTrace = FitRotateToTrace};

constexpr OperationDescription kRotateOp{.type = kOpRotate,
                                         .name = "波形旋转",
                                         .toolName = "rotate",
                                         .members = kRotateMembers,
                                         .cursorPreset = &ProcessStep::rotateStart,
                                         .timeDomainOnly = true,
                                         .run = RunRotate,
                                         .summary = SummaryRotate,
                                         .detail = DetailRotate,
                                         .panel = &kRotatePanel};

// ---- 13 magnification ------------------------------------------------------------------

constexpr StepMember kMagnifyMode = Int("magnifyMode", &ProcessStep::magnifyMode);
constexpr StepMember kMagnifyFactor = Real("magnifyFactor", &ProcessStep::magnifyFactor);
constexpr StepMember kMagnifyStart = Pos("magnifyStart", &ProcessStep::magnifyStart, 0);
constexpr const StepMember* kMagnifyMembers[] = {&kMagnifyMode, &kMagnifyFactor, &kMagnifyStart};

constexpr double kMagnifyMax = 1000.0;

void RunMagnify(TestPoint& tp, const ProcessStep& s) {
    Magnify(tp.samples.data(), tp.sampleCount(), s.magnifyFactor, s.magnifyStart, s.magnifyMode, MagnifyLimitIndex(tp));
}

void SummaryMagnify(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    out.Printf(p.magnifyMode == 0 ? "指数放大:%0.2f" : "线性放大:%0.2f", D(p.magnifyFactor));
    if (p.magnifyStart > 0) out.Printf("  起始点:%0.2fm", Metres(in, p.magnifyStart));
}

void DetailMagnify(const DetailInput& in, TextLines& out) {
    const ProcessStep& s = in.step;
    out.Add(s.magnifyMode == 0 ? "指数放大" : "线性放大");
    out.Printf("放大系数:%0.2f", D(s.magnifyFactor));
    if (s.magnifyStart > 0) DetailMetres(in, out, "放大延迟", 0, s.magnifyStart);
}

constexpr std::string_view kMagnifyPopup[] = {"指数放大", "线性放大"};
constexpr std::string_view kMagnifyDocked[] = {"指数", "线性"};
constexpr std::string_view kMagnifyNames[] = {"exp", "linear"};
constexpr PanelChoices kMagnifyChoices{"mode", kMagnifyPopup, kMagnifyDocked, kMagnifyNames,
                                       [](const ProcessStep& s) { return NonZeroMode(s.magnifyMode); },
                                       [](ProcessStep& s, int c) { s.magnifyMode = c; }};
constexpr PanelField kMagnifyFields[] = {
    {K::MagnifyFactor, "factor", "放 大 系 数", "系数", &kMagnifyFactor},
    {K::MagnifyDelay, "delay", "放大延迟(m)", "延迟(m)", &kMagnifyStart},
};

std::optional<std::string> CheckMagnify(const PanelReading& r) {
    if (r.At("factor") < 1.0 || r.At("factor") > kMagnifyMax)
        return r.popup ? Format("放大系数应在(%d～%d)之间", 1, static_cast<int>(kMagnifyMax))
                       : std::string("放大系数应在(1~1000)之间");
    return std::nullopt;
}

constexpr PanelDescription kMagnifyPanel{.title = "波形放大",
                                         .fields = kMagnifyFields,
                                         .choices = &kMagnifyChoices,
                                         .cursorField = "delay",
                                         .check = CheckMagnify};

// A new magnification starts at the head and, unlike every other step, leaves the head where it is.
constexpr OperationDescription kMagnifyOp{.type = kOpMagnify,
                                          .name = "波形放大",
                                          .toolName = "magnify",
                                          .members = kMagnifyMembers,
                                          .headPreset = &ProcessStep::magnifyStart,
                                          .keepsHead = true,
                                          .run = RunMagnify,
                                          .summary = SummaryMagnify,
                                          .detail = DetailMagnify,
                                          .panel = &kMagnifyPanel};

// ---- 15 dynamic scaling: a name in the chain list, nothing more ------------------------

constexpr OperationDescription kDynamicScaleOp{.type = kOpDynamicScale, .name = "动态缩放"};

// ---- 16 local scaling ------------------------------------------------------------------

constexpr StepMember kScaleStart = Pos("scaleStart", &ProcessStep::scaleStart, 0);
constexpr StepMember kScaleEnd = Pos("scaleEnd", &ProcessStep::scaleEnd, 1);
constexpr StepMember kScaleFactor = Real("scaleFactor", &ProcessStep::scaleFactor);
constexpr const StepMember* kScaleMembers[] = {&kScaleStart, &kScaleEnd, &kScaleFactor};

constexpr double kDockedScaleMin = 0.0001;
constexpr double kDockedScaleMax = 10000.0;

void RunLocalScale(TestPoint& tp, const ProcessStep& s) {
    LocalScale(tp.samples.data(), tp.sampleCount(), s.scaleStart, s.scaleEnd, s.scaleFactor);
}

void SummaryLocalScale(const SummaryInput& in, TextLines& out) {
    const ProcessStep& p = in.params;
    out.Printf("局部缩放:%0.2f", D(p.scaleFactor));
    out.Printf("  范围(%0.2f,%0.2f)m", Metres(in, p.scaleStart), Metres(in, p.scaleEnd));
}

void DetailLocalScale(const DetailInput& in, TextLines& out) {
    out.Printf("缩放系数:%0.2f", D(in.step.scaleFactor));
    DetailMetres(in, out, "起始点", 0, in.step.scaleStart);
    DetailMetres(in, out, "终止点", 1, in.step.scaleEnd);
}

constexpr PanelField kScaleFields[] = {
    {K::Position, "start", "起始点(m)", "起始点(m)", &kScaleStart},
    {K::Position, "end", "终止点(m)", "终止点(m)", &kScaleEnd},
    {K::ScaleFactor, "factor", "缩放系数", "缩放系数", &kScaleFactor},
};

std::optional<std::string> CheckLocalScale(const PanelReading& r) {
    if (r.At("start") > r.At("end")) return "起始点应小于终止点！";
    const double f = r.At("factor");
    if (r.popup && !(f >= 0.0 && f <= kPopupScaleMax)) return "缩放系数应在0~100之间！";
    if (!r.popup && !(f >= kDockedScaleMin && f <= kDockedScaleMax)) return "缩放系数应在（0.0001~10000）之间！";
    return std::nullopt;
}

constexpr PanelDescription kScalePanel{.title = "局部缩放", .fields = kScaleFields, .check = CheckLocalScale};

constexpr OperationDescription kLocalScaleOp{.type = kOpLocalScale,
                                             .name = "局部缩放",
                                             .toolName = "localscale",
                                             .members = kScaleMembers,
                                             .timeDomainOnly = true,
                                             .run = RunLocalScale,
                                             .summary = SummaryLocalScale,
                                             .detail = DetailLocalScale,
                                             .panel = &kScalePanel};

// ---- the table -------------------------------------------------------------------------

// Codes 0 (a chain list row that differs between targets) and 14 name nothing.
constexpr OperationDescription kNothing{};
constexpr OperationDescription kNothingAt14{.type = kOpNoEffect14};

constexpr std::array<OperationDescription, kOperationTypeCount> kTable = {
    kNothing,     kIntegrateOp, kDifferentiateOp, kFilterOp,   kLinearZeroOp,   kNonlinearZeroOp,
    kReverseOp,   kSmoothOp,    kRemoveDcOp,      kFrontZeroOp, kRearZeroOp,    kShiftOp,
    kRotateOp,    kMagnifyOp,   kNothingAt14,     kDynamicScaleOp, kLocalScaleOp,
};

// What the rest of the program relies on without looking: each row sits at
// its code, and every panel field shows a parameter member of its own
// operation of the type its kind reads.
constexpr bool OwnMember(const OperationDescription& op, const StepMember* m) {
    for (const StepMember* own : op.members)
        if (own == m) return true;
    return false;
}

constexpr bool FieldFitsMember(const PanelField& f) {
    const StepMember& m = *f.member;
    switch (f.kind) {
        case K::Position:
        case K::MagnifyDelay: return m.integer != nullptr && m.unit == M::Position;
        case K::ShiftLength: return m.integer != nullptr && m.unit == M::Length;
        case K::SmoothPoints: return m.integer != nullptr && m.unit == M::Plain;
        default: return m.real != nullptr && m.unit == M::Plain;
    }
}

constexpr bool TableHolds() {
    for (std::size_t code = 0; code < kTable.size(); ++code) {
        const OperationDescription& op = kTable[code];
        if (static_cast<std::size_t>(op.type) != code) return false;
        if (op.panel == nullptr) continue;
        for (const PanelField& f : op.panel->fields)
            if (f.member == nullptr || !OwnMember(op, f.member) || !FieldFitsMember(f)) return false;
    }
    return true;
}
static_assert(TableHolds());

}  // namespace

const OperationDescription& Operation(std::int32_t opType) {
    if (opType < 0 || opType >= kOperationTypeCount) return kNothing;
    return kTable[static_cast<std::size_t>(opType)];
}

std::span<const OperationDescription> Operations() { return kTable; }

std::string_view OperationName(std::int32_t opType) { return Operation(opType).name; }

std::int32_t OperationOfToolName(std::string_view toolName) {
    if (toolName.empty()) return 0;
    for (const auto& op : kTable)
        if (op.toolName == toolName) return op.type;
    return 0;
}

void CopyParameters(ProcessStep& to, const ProcessStep& from, const OperationDescription& op) {
    for (const StepMember* m : op.members) {
        if (m->integer != nullptr) to.*(m->integer) = from.*(m->integer);
        if (m->real != nullptr) to.*(m->real) = from.*(m->real);
    }
}

}  // namespace tav
