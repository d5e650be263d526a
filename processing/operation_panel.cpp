#include "processing/operation_panel.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/format.hpp"
#include "model/positions.hpp"

namespace tav {

namespace {

using K = PanelFieldKind;

// Ranges of the popup lists and sliders, and the checks on confirmation.
constexpr PanelSlider kUpperSlider{100, 3000, 1, 10};
constexpr PanelSlider kLowerSlider{100, 800, 10, 10};
constexpr PanelSlider kFactorSlider{1, 1000, 1, 2};
constexpr PanelSlider kSmoothSlider{1, 32, 1, 4};
constexpr PanelSlider kAngleSlider{0, 200, 1, 10};  // (p - 100) x 0.1 degrees
constexpr PanelSlider kScaleSlider{0, 200, 1, 10};  // p x 0.01 up to 100, then p - 100
constexpr int kSmoothMax = 32;
constexpr double kMagnifyMax = 1000.0;
constexpr double kMetresLimit = 1000.0;  // no pile reaches this deep
constexpr double kPopupAngleLimit = 10.0;
constexpr double kDockedAngleLimit = 90.0;
constexpr double kPopupScaleMax = 100.0;
constexpr double kDockedScaleMin = 0.0001;
constexpr double kDockedScaleMax = 10000.0;
constexpr float kOneOver180 = 0.0055555557f;

constexpr PanelField kStartField{K::Position, "start", "起始位置(m)", "起始位置(m)", 0};

std::vector<PanelField> FieldsOf(std::int32_t opType) {
    switch (opType) {
        case kOpFilter:
            return {{K::FilterUpper, "upper", "上限频率(Hz)", "上限(Hz)"},
                    {K::FilterLower, "lower", "下限频率(Hz)", "下限(Hz)"}};
        case kOpMagnify:
            return {{K::MagnifyFactor, "factor", "放 大 系 数", "系数"},
                    {K::MagnifyDelay, "delay", "放大延迟(m)", "延迟(m)", 0}};
        case kOpRemoveDc:
        case kOpLinearZero:
        case kOpNonlinearZero:
            return {kStartField};
        case kOpSmooth:
            return {{K::SmoothPoints, "points", "平滑点数：", "平滑点数"}};
        case kOpRotate:
            return {kStartField, {K::Angle, "angle", "旋转角度(°)", "角度(°)"}};
        case kOpFrontZero:
        case kOpRearZero:
            return {{K::Position, "position", "起始位置(m)", "起始位置(m)", 0}};
        case kOpLocalScale:
            return {{K::Position, "start", "起始点(m)", "起始点(m)", 0},
                    {K::Position, "end", "终止点(m)", "终止点(m)", 1},
                    {K::ScaleFactor, "factor", "缩放系数", "缩放系数"}};
        case kOpShift:
            return {{K::Position, "start", "起始点(m)", "起始(m)", 0},
                    {K::Position, "end", "终止点(m)", "终止(m)", 1},
                    {K::ShiftLength, "x", "横向平移(m)", "横向(m)", 2},
                    {K::Millivolts, "y", "竖向平移(mV)", "竖向(mV)"}};
        default:
            return {};
    }
}

struct ChoiceSet {
    std::string_view key;
    std::vector<std::string_view> popup;
    std::vector<std::string_view> docked;
    std::vector<std::string_view> names;
};

ChoiceSet ChoicesOf(std::int32_t opType) {
    switch (opType) {
        case kOpFilter:
            return {"kind",
                    {"低通滤波", "高通滤波", "带通滤波", "带阻滤波"},
                    {"低通", "高通", "带通", "带阻"},
                    {"low", "high", "band", "stop"}};
        case kOpMagnify:
            return {"mode", {"指数放大", "线性放大"}, {"指数", "线性"}, {"exp", "linear"}};
        case kOpRemoveDc:
            return {"mode", {"整个波形", "部分波形"}, {"整个", "部分"}, {"whole", "part"}};
        case kOpRotate:
            return {"mode", {"整体波形", "部分波形"}, {"整体", "部分"}, {"whole", "part"}};
        case kOpLinearZero:
        case kOpNonlinearZero:
            return {"mode",
                    {"整体波形", "部分波形", "桩尾以后"},
                    {"整体", "部分", "桩尾"},
                    {"whole", "part", "toe"}};
        case kOpShift:
            return {"mode", {"整体波形", "部分波形"}, {"整体波形", "部分波形"}, {"whole", "part"}};
        default:
            return {};
    }
}

// The step's sample index behind a position field.
std::int32_t* PositionOf(ProcessStep& s, std::int32_t opType, std::string_view key) {
    switch (opType) {
        case kOpMagnify: return &s.magnifyStart;
        case kOpRemoveDc: return &s.dcStart;
        case kOpRotate: return &s.rotateStart;
        case kOpLinearZero: return &s.linZeroStart;
        case kOpNonlinearZero: return &s.nonlinZeroStart;
        case kOpFrontZero: return &s.frontZeroPos;
        case kOpRearZero: return &s.rearZeroPos;
        case kOpLocalScale: return key == "end" ? &s.scaleEnd : &s.scaleStart;
        case kOpShift: return key == "end" ? &s.shiftEnd : key == "x" ? &s.shiftX : &s.shiftStart;
        default: return nullptr;
    }
}

std::int32_t PositionOf(const ProcessStep& s, std::int32_t opType, std::string_view key) {
    return *PositionOf(const_cast<ProcessStep&>(s), opType, key);
}

// A typed number: empty, a number (possibly infinite after an overflow, or
// NaN), or text that is not a number at all.
struct Typed {
    enum State { Empty, Number, Bad } state = Empty;
    double value = 0.0;
};

Typed ParseTyped(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return {};
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return {Typed::Bad, 0.0};
    return {Typed::Number, v};  // an overflow gives +-HUGE_VAL: infinite
}

bool FitsFloat(double v) {
    return std::isfinite(v) && std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max());
}

// Numbers in fields: whole numbers without decimals, others with up to seven digits.
std::string NumberText(double v) { return Format("%.7g", v); }
std::string WholeText(double v) { return Format("%d", static_cast<int>(v)); }

std::string BadNumber(std::string_view label) {
    return "请在“" + std::string(label) + "”中输入有效的数值！";
}
std::string OutOfRange(std::string_view label, const char* range) {
    return "请在“" + std::string(label) + "”中输入" + range + "之间的数值！";
}

}  // namespace

std::optional<float> RotateScaleFor(const ProcessStep& lastParams, int traceHeightPx) {
    if (traceHeightPx <= 0) return std::nullopt;
    const float perPixel = (lastParams.viewMax - lastParams.viewMin) / static_cast<float>(traceHeightPx);
    if (!std::isfinite(perPixel)) return std::nullopt;
    // nearbyint rounds ties to even under the default rounding mode.
    return static_cast<float>(std::nearbyint(static_cast<double>(perPixel) * 10000.0) / 10000.0);
}

float DegreesToRotateAngle(double degrees) {
    const float pi = static_cast<float>(4.0 * std::atan(1.0));
    return pi * static_cast<float>(degrees) * kOneOver180;
}

double RotateAngleToDegrees(float radians) {
    return static_cast<double>(radians) / (4.0 * std::atan(1.0)) * 180.0;
}

// What a reading found, for the checks that compare fields.
struct OperationPanel::Reading {
    std::array<double, 4> value{};  // per field: metres, Hz, degrees, factor, points
};

OperationPanel::OperationPanel(std::int32_t opType, PanelForm form, int editFlag, const TestPoint* current)
    : opType_(opType), form_(form), editFlag_(editFlag), current_(current), fields_(FieldsOf(opType)) {
    texts_.resize(fields_.size());
}

bool OperationPanel::HasPanelModel(std::int32_t opType) { return !FieldsOf(opType).empty(); }

std::string_view OperationPanel::Title() const {
    switch (opType_) {
        case kOpFilter: return "数字滤波";
        case kOpMagnify: return "波形放大";
        case kOpRemoveDc: return "去直流";
        case kOpSmooth: return "波形平滑";
        case kOpRotate: return "波形旋转";
        case kOpLinearZero: return "线性归零";
        case kOpNonlinearZero: return "非线性归零";
        case kOpFrontZero: return "前清零";
        case kOpRearZero: return "后清零";
        case kOpLocalScale: return "局部缩放";
        case kOpShift: return "数据平移";
        default: return {};
    }
}

std::string_view OperationPanel::ChoiceKey() const { return ChoicesOf(opType_).key; }

std::vector<std::string_view> OperationPanel::ChoiceLabels() const {
    ChoiceSet c = ChoicesOf(opType_);
    return form_ == PanelForm::Popup ? c.popup : c.docked;
}

std::vector<std::string_view> OperationPanel::ChoiceNames() const { return ChoicesOf(opType_).names; }

void OperationPanel::SetChoice(int choice) {
    const int n = static_cast<int>(ChoicesOf(opType_).names.size());
    choice_ = n == 0 ? 0 : std::clamp(choice, 0, n - 1);
}

int OperationPanel::FieldIndex(std::string_view key) const {
    for (int i = 0; i < FieldCount(); ++i)
        if (fields_[static_cast<std::size_t>(i)].key == key) return i;
    return -1;
}

std::string_view OperationPanel::Label(int field) const {
    const PanelField& f = fields_[static_cast<std::size_t>(field)];
    return form_ == PanelForm::Popup ? f.popupLabel : f.dockedLabel;
}

bool OperationPanel::FieldShown(int field) const {
    if (opType_ != kOpFilter) return true;
    const PanelFieldKind k = fields_[static_cast<std::size_t>(field)].kind;
    // choice 0 low-pass (upper only), 1 high-pass (lower only), 2 and 3 both.
    return k == K::FilterUpper ? choice_ != 1 : choice_ != 0;
}

void OperationPanel::SetText(int field, std::string text) {
    if (field >= 0 && field < FieldCount()) texts_[static_cast<std::size_t>(field)] = std::move(text);
}

// ---- opening ---------------------------------------------------------------------

std::string OperationPanel::MetresText(const ProcessStep& step, int slot, std::int32_t index, bool length) const {
    float metres = step.RememberedMetres(slot, index);
    if (metres == kMemoMissing)
        metres = current_ == nullptr ? 0.0f : length ? ShiftToLength(*current_, index) : SampleToDepth(*current_, index, false);
    return Format("%.2f", static_cast<double>(metres));
}

std::string OperationPanel::ShownText(const PanelField& f, const ProcessStep& step) const {
    const bool popup = form_ == PanelForm::Popup;
    const bool emptyWhenNew = popup && editFlag_ == 0;
    const auto listed = [&](float v, const PanelSlider& s) {
        return NumberText(popup ? std::clamp(static_cast<double>(v), static_cast<double>(s.min), static_cast<double>(s.max)) : v);
    };
    switch (f.kind) {
        case K::FilterUpper: return emptyWhenNew ? "" : listed(step.filterUpperHz, kUpperSlider);
        case K::FilterLower: return emptyWhenNew ? "" : listed(step.filterLowerHz, kLowerSlider);
        case K::MagnifyFactor: return emptyWhenNew ? "" : listed(step.magnifyFactor, kFactorSlider);
        case K::MagnifyDelay: return emptyWhenNew ? "" : MetresText(step, f.memoSlot, step.magnifyStart, false);
        case K::Position: return MetresText(step, f.memoSlot, PositionOf(step, opType_, f.key), false);
        case K::ShiftLength: return MetresText(step, f.memoSlot, step.shiftX, true);
        case K::Millivolts: return Format("%.2f", static_cast<double>(step.shiftY));
        case K::SmoothPoints: return Format("%d", step.smoothPoints);
        case K::Angle: {
            const double degrees = RotateAngleToDegrees(step.rotateAngle);
            if (!std::isfinite(degrees)) return "0.0";
            return popup ? Format("%.1f", std::clamp(degrees, -kPopupAngleLimit, kPopupAngleLimit))
                         : Format("%.2f", degrees);
        }
        case K::ScaleFactor:
            return NumberText(popup ? std::clamp(static_cast<double>(step.scaleFactor), 0.0, kPopupScaleMax)
                                    : step.scaleFactor);
    }
    return {};
}

void OperationPanel::Open(const ProcessStep& step) {
    switch (opType_) {
        case kOpFilter: SetChoice(step.filterKind - 1); break;
        case kOpMagnify: SetChoice(step.magnifyMode != 0 ? 1 : 0); break;
        case kOpRemoveDc: SetChoice(step.dcMode == 2 ? 1 : 0); break;
        case kOpRotate: SetChoice(step.rotateMode != 0 ? 1 : 0); break;
        case kOpLinearZero: SetChoice(step.linZeroMode); break;
        case kOpNonlinearZero: SetChoice(step.nonlinZeroMode); break;
        case kOpShift: SetChoice(step.shiftMode != 0 ? 1 : 0); break;
        default: break;
    }
    for (int i = 0; i < FieldCount(); ++i)
        texts_[static_cast<std::size_t>(i)] = ShownText(fields_[static_cast<std::size_t>(i)], step);
}

// ---- sliders and the cursor ----------------------------------------------------------

std::optional<PanelSlider> OperationPanel::Slider(int field) const {
    if (form_ != PanelForm::Popup || field < 0 || field >= FieldCount()) return std::nullopt;
    switch (fields_[static_cast<std::size_t>(field)].kind) {
        case K::FilterUpper: return kUpperSlider;
        case K::FilterLower: return kLowerSlider;
        case K::MagnifyFactor: return kFactorSlider;
        case K::SmoothPoints: return kSmoothSlider;
        case K::Angle: return kAngleSlider;
        case K::ScaleFactor: return kScaleSlider;
        default: return std::nullopt;
    }
}

int OperationPanel::SliderPosition(int field) const {
    const auto slider = Slider(field);
    if (!slider) return 0;
    const PanelFieldKind kind = fields_[static_cast<std::size_t>(field)].kind;
    const Typed t = ParseTyped(Text(field));
    if (t.state != Typed::Number || std::isnan(t.value)) {
        // An empty upper frequency stands at the top of its list, the others at the bottom.
        if (kind == K::FilterUpper) return slider->max;
        if (kind == K::Angle || kind == K::ScaleFactor) return 100;
        return slider->min;
    }
    double p = t.value;
    if (kind == K::Angle) p = t.value * 10.0 + 100.0;
    if (kind == K::ScaleFactor) p = t.value <= 1.0 ? t.value * 100.0 : t.value + 100.0;
    p = std::clamp(p, static_cast<double>(slider->min), static_cast<double>(slider->max));
    return static_cast<int>(std::lround(p));
}

void OperationPanel::MoveSlider(int field, int position) {
    const auto slider = Slider(field);
    if (!slider) return;
    const int p = std::clamp(position, slider->min, slider->max);
    switch (fields_[static_cast<std::size_t>(field)].kind) {
        case K::Angle: SetText(field, Format("%.1f", (p - 100) * 0.1)); break;
        case K::ScaleFactor: SetText(field, p <= 100 ? Format("%.2f", p * 0.01) : Format("%d", p - 100)); break;
        default: SetText(field, Format("%d", p)); break;
    }
}

int OperationPanel::CursorField() const {
    if (form_ != PanelForm::Popup) return -1;
    switch (opType_) {
        case kOpMagnify: return FieldIndex("delay");
        case kOpRemoveDc:
        case kOpRotate:
        case kOpLinearZero:
        case kOpNonlinearZero: return FieldIndex("start");
        case kOpFrontZero:
        case kOpRearZero: return FieldIndex("position");
        default: return -1;
    }
}

void OperationPanel::TakeCursor(std::int32_t sample) {
    const int field = CursorField();
    if (field < 0) return;
    const float metres = current_ == nullptr ? 0.0f : SampleToDepth(*current_, sample, false);
    SetText(field, Format("%.2f", static_cast<double>(metres)));
}

// ---- reading -------------------------------------------------------------------------

// A field's typed text as it is read: the text, rewritten where the reading
// corrects it, and the number it stands for in the checks.
struct PanelFieldInput {
    const PanelField& field;
    std::string& text;
    std::string_view label;
    double& value;
    Typed typed;
};

namespace {

using Refusal = std::optional<std::string>;

// Frequencies and the magnification factor: the popup's lists correct
// silently; an empty field keeps the step's value.
Refusal ReadListed(PanelFieldInput& in, float& member, const PanelSlider& s, bool popup) {
    Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = member;
        return std::nullopt;
    }
    if (std::isnan(t.value)) return BadNumber(in.label);
    if (popup && (t.value < s.min || t.value > s.max)) {
        t.value = std::clamp(t.value, static_cast<double>(s.min), static_cast<double>(s.max));
        in.text = WholeText(t.value);
    }
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    in.value = t.value;
    member = static_cast<float>(t.value);
    return std::nullopt;
}

// The vertical shift: an empty field keeps the step's.
Refusal ReadMillivolts(PanelFieldInput& in, ProcessStep& step) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) return std::nullopt;
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    step.shiftY = static_cast<float>(t.value);
    return std::nullopt;
}

Refusal ReadSmoothPoints(PanelFieldInput& in, ProcessStep& step, bool confirming) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = step.smoothPoints;
        return std::nullopt;
    }
    const bool whole = std::isfinite(t.value) && t.value == std::trunc(t.value);
    if (!whole || t.value < 1.0 || t.value > kSmoothMax) {
        // A preview keeps the last count rather than smoothing over a record's length.
        in.value = t.value;
        return confirming ? Refusal("平滑点数应在1~32之间！") : std::nullopt;
    }
    in.value = t.value;
    step.smoothPoints = static_cast<std::int32_t>(t.value);
    return std::nullopt;
}

Refusal ReadAngle(PanelFieldInput& in, ProcessStep& step) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = RotateAngleToDegrees(step.rotateAngle);
        return std::nullopt;
    }
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    in.value = t.value;
    step.rotateAngle = DegreesToRotateAngle(t.value);
    return std::nullopt;
}

Refusal ReadScaleFactor(PanelFieldInput& in, ProcessStep& step) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = step.scaleFactor;
        return std::nullopt;
    }
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    in.value = t.value;
    step.scaleFactor = static_cast<float>(t.value);
    return std::nullopt;
}

}  // namespace

// Positions, the magnification delay and the horizontal shift, in metres:
// rounded to two decimals in the field and used rounded, and turned into the
// step's sample index on the current record. An empty position keeps the
// step's; an empty delay starts at the head.
std::optional<std::string> OperationPanel::ReadMetres(PanelFieldInput& in, ProcessStep& step) const {
    const PanelField& f = in.field;
    Typed& t = in.typed;
    const bool length = f.kind == K::ShiftLength;
    std::int32_t* index = PositionOf(step, opType_, f.key);
    if (t.state == Typed::Empty) {
        if (f.kind != K::MagnifyDelay) {
            in.value = ParseTyped(MetresText(step, f.memoSlot, *index, length)).value;
            return std::nullopt;
        }
        t = {Typed::Number, 0.0};
    }
    if (std::isnan(t.value)) return BadNumber(in.label);
    if (f.kind == K::MagnifyDelay && t.value < 0.0) {
        t.value = 0.0;
        in.text = "0.00";
    }
    const double low = f.kind == K::MagnifyDelay ? 0.0 : -kMetresLimit;
    if (t.value < low || t.value > kMetresLimit)
        return OutOfRange(in.label, f.kind == K::MagnifyDelay ? "0～1000" : "-1000～1000");
    const std::string twoDecimals = Format("%.2f", t.value);
    const float typed = std::strtof(in.text.c_str(), nullptr);
    const float rounded = std::strtof(twoDecimals.c_str(), nullptr);
    if (typed != rounded) in.text = twoDecimals;
    in.value = rounded;
    const std::int32_t converted = current_ == nullptr ? 0 : DepthToSample(*current_, rounded, length);
    *index = converted;
    step.Memorise(f.memoSlot, converted, rounded);
    return std::nullopt;
}

std::optional<std::string> OperationPanel::ReadField(int field, ProcessStep& step, Reading& r, bool confirming) {
    std::string& text = texts_[static_cast<std::size_t>(field)];
    PanelFieldInput in{fields_[static_cast<std::size_t>(field)], text, Label(field),
                       r.value[static_cast<std::size_t>(field)], ParseTyped(text)};
    if (in.typed.state == Typed::Bad) return BadNumber(in.label);
    const bool popup = form_ == PanelForm::Popup;
    switch (in.field.kind) {
        case K::FilterUpper: return ReadListed(in, step.filterUpperHz, kUpperSlider, popup);
        case K::FilterLower: return ReadListed(in, step.filterLowerHz, kLowerSlider, popup);
        case K::MagnifyFactor: return ReadListed(in, step.magnifyFactor, kFactorSlider, popup);
        case K::MagnifyDelay:
        case K::Position:
        case K::ShiftLength: return ReadMetres(in, step);
        case K::Millivolts: return ReadMillivolts(in, step);
        case K::SmoothPoints: return ReadSmoothPoints(in, step, confirming);
        case K::Angle: return ReadAngle(in, step);
        case K::ScaleFactor: return ReadScaleFactor(in, step);
    }
    return std::nullopt;
}

std::optional<std::string> OperationPanel::ReadAll(ProcessStep& step, bool confirming) {
    switch (opType_) {
        case kOpFilter: step.filterKind = choice_ + 1; break;
        case kOpMagnify: step.magnifyMode = choice_; break;
        case kOpRemoveDc: step.dcMode = choice_ + 1; break;
        case kOpRotate: step.rotateMode = choice_; break;
        case kOpLinearZero: step.linZeroMode = choice_; break;
        case kOpNonlinearZero: step.nonlinZeroMode = choice_; break;
        case kOpShift: step.shiftMode = choice_; break;
        default: break;
    }
    Reading r;
    std::optional<std::string> firstRefusal;
    for (int i = 0; i < FieldCount(); ++i) {
        if (!FieldShown(i)) continue;
        auto refusal = ReadField(i, step, r, confirming);
        if (refusal && !firstRefusal) firstRefusal = std::move(refusal);
    }
    if (opType_ == kOpFrontZero) step.rearZeroPos = step.frontZeroPos;
    if (opType_ == kOpRearZero) step.frontZeroPos = step.rearZeroPos;
    if (firstRefusal || !confirming) return firstRefusal;
    return Check(r);
}

std::optional<std::string> OperationPanel::Check(const Reading& r) const {
    const bool popup = form_ == PanelForm::Popup;
    const auto at = [&](std::string_view key) { return r.value[static_cast<std::size_t>(FieldIndex(key))]; };
    switch (opType_) {
        case kOpFilter:
            if (choice_ >= 2 && !(at("upper") > at("lower"))) return "请设置为上限频率大于下限频率！";
            return std::nullopt;
        case kOpMagnify:
            if (at("factor") < 1.0 || at("factor") > kMagnifyMax)
                return popup ? Format("放大系数应在(%d～%d)之间", 1, static_cast<int>(kMagnifyMax))
                             : std::string("放大系数应在(1~1000)之间");
            return std::nullopt;
        case kOpRotate: {
            const double a = at("angle");
            if (popup && (a < -kPopupAngleLimit || a > kPopupAngleLimit))
                return Format("旋转角度应在(%d°~%d°)之间", -static_cast<int>(kPopupAngleLimit),
                              static_cast<int>(kPopupAngleLimit));
            if (!popup && !(a > -kDockedAngleLimit && a <= kDockedAngleLimit)) return "旋转角度应在(-90°~90°)之间";
            return std::nullopt;
        }
        case kOpFrontZero:
            if (at("position") > 0.0) return "前清零位置应在桩头之前！";
            return std::nullopt;
        case kOpRearZero:
            if (current_ != nullptr && static_cast<float>(at("position")) < current_->pileLength)
                return "后清零位置应在桩尾之后！";
            return std::nullopt;
        case kOpLocalScale: {
            if (at("start") > at("end")) return "起始点应小于终止点！";
            const double f = at("factor");
            if (popup && !(f >= 0.0 && f <= kPopupScaleMax)) return "缩放系数应在0~100之间！";
            if (!popup && !(f >= kDockedScaleMin && f <= kDockedScaleMax)) return "缩放系数应在（0.0001~10000）之间！";
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

void OperationPanel::ApplyRotateScale(ProcessStep& step, std::optional<int> traceHeightPx) const {
    if (opType_ == kOpRotate && current_ != nullptr && traceHeightPx)
        if (const auto scale = RotateScaleFor(current_->lastParams, *traceHeightPx)) step.rotateScale = *scale;
}

void OperationPanel::Read(ProcessStep& step, std::optional<int> traceHeightPx) {
    ReadAll(step, false);
    ApplyRotateScale(step, traceHeightPx);
}

std::optional<std::string> OperationPanel::Confirm(ProcessStep& step, std::optional<int> traceHeightPx) {
    ProcessStep read = step;
    if (auto refusal = ReadAll(read, true)) return refusal;
    ApplyRotateScale(read, traceHeightPx);
    step = read;
    return std::nullopt;
}

}  // namespace tav
