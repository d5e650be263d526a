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
constexpr float kOneOver180 = 0.0055555557f;

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
    return RotateScaleFor(TraceFrame{lastParams.viewMin, lastParams.viewMax, traceHeightPx});
}

std::optional<float> RotateScaleFor(const TraceFrame& trace) {
    if (trace.heightPx <= 0) return std::nullopt;
    const float perPixel = (trace.viewMax - trace.viewMin) / static_cast<float>(trace.heightPx);
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

namespace {

const PanelDescription kNoPanel{};

const PanelDescription& PanelOf(std::int32_t opType) {
    const PanelDescription* panel = Operation(opType).panel;
    return panel != nullptr ? *panel : kNoPanel;
}

// The buttons' texts as the panel hands them out.
std::vector<std::string_view> Texts(const PanelChoices* choices,
                                    std::span<const std::string_view> PanelChoices::*which) {
    if (choices == nullptr) return {};
    const auto texts = choices->*which;
    return {texts.begin(), texts.end()};
}

}  // namespace

OperationPanel::OperationPanel(std::int32_t opType, PanelForm form, int editFlag, const TestPoint* current)
    : opType_(opType),
      panel_(&PanelOf(opType)),
      form_(form),
      editFlag_(editFlag),
      current_(current),
      fields_(panel_->fields.begin(), panel_->fields.end()) {
    texts_.resize(fields_.size());
    Retarget(current);
}

void OperationPanel::Retarget(const TestPoint* current) {
    current_ = current;
    shownMin_ = current != nullptr ? current->lastParams.viewMin : 0.0f;
    shownMax_ = current != nullptr ? current->lastParams.viewMax : 0.0f;
}

bool OperationPanel::HasPanelModel(std::int32_t opType) { return !PanelOf(opType).fields.empty(); }

std::string_view OperationPanel::Title() const { return panel_->title; }

std::string_view OperationPanel::ChoiceKey() const {
    return panel_->choices != nullptr ? panel_->choices->key : std::string_view{};
}

std::vector<std::string_view> OperationPanel::ChoiceLabels() const {
    return Texts(panel_->choices, form_ == PanelForm::Popup ? &PanelChoices::popup : &PanelChoices::docked);
}

std::vector<std::string_view> OperationPanel::ChoiceNames() const {
    return Texts(panel_->choices, &PanelChoices::names);
}

void OperationPanel::SetChoice(int choice) {
    const int n = panel_->choices != nullptr ? static_cast<int>(panel_->choices->names.size()) : 0;
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
    const unsigned shown = fields_[static_cast<std::size_t>(field)].shownForChoices;
    return choice_ < 0 || choice_ >= 32 || ((shown >> choice_) & 1u) != 0;
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
    const auto integer = f.member->integer;
    const auto real = f.member->real;
    const auto listed = [&](float v, const PanelSlider& s) {
        return NumberText(popup ? std::clamp(static_cast<double>(v), static_cast<double>(s.min), static_cast<double>(s.max)) : v);
    };
    switch (f.kind) {
        case K::FilterUpper: return emptyWhenNew ? "" : listed(step.*real, kUpperSlider);
        case K::FilterLower: return emptyWhenNew ? "" : listed(step.*real, kLowerSlider);
        case K::MagnifyFactor: return emptyWhenNew ? "" : listed(step.*real, kFactorSlider);
        case K::MagnifyDelay: return emptyWhenNew ? "" : MetresText(step, f.memoSlot(), step.*integer, false);
        case K::Position: return MetresText(step, f.memoSlot(), step.*integer, false);
        case K::ShiftLength: return MetresText(step, f.memoSlot(), step.*integer, true);
        case K::Millivolts: return Format("%.2f", static_cast<double>(step.*real));
        case K::SmoothPoints: return Format("%d", step.*integer);
        case K::Angle: {
            const double degrees = RotateAngleToDegrees(step.*real);
            if (!std::isfinite(degrees)) return "0.0";
            return popup ? Format("%.1f", std::clamp(degrees, -kPopupAngleLimit, kPopupAngleLimit))
                         : Format("%.2f", degrees);
        }
        case K::ScaleFactor:
            return NumberText(popup ? std::clamp(static_cast<double>(step.*real), 0.0, kPopupScaleMax) : step.*real);
    }
    return {};
}

void OperationPanel::Open(const ProcessStep& step) {
    if (panel_->choices != nullptr) SetChoice(panel_->choices->of(step));
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
    if (form_ != PanelForm::Popup || panel_->cursorField.empty()) return -1;
    return FieldIndex(panel_->cursorField);
}

void OperationPanel::TakeCursor(std::int32_t sample) {
    const int field = CursorField();
    if (field < 0) return;
    const float metres = current_ == nullptr ? 0.0f : SampleToDepth(*current_, sample, false);
    SetText(field, Format("%.2f", static_cast<double>(metres)));
}

// ---- reading -------------------------------------------------------------------------

// A field's typed text as it is read: the text, rewritten where the reading
// corrects it, and the number it stands for in the panel's checks.
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
Refusal ReadMillivolts(PanelFieldInput& in, float& member) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) return std::nullopt;
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    if (std::fabs(t.value) > kShiftMillivoltsLimit)
        return OutOfRange(in.label, Format("%g～%g", -kShiftMillivoltsLimit, kShiftMillivoltsLimit).c_str());
    member = static_cast<float>(t.value);
    return std::nullopt;
}

Refusal ReadSmoothPoints(PanelFieldInput& in, std::int32_t& member, bool confirming) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = member;
        return std::nullopt;
    }
    const bool whole = std::isfinite(t.value) && t.value == std::trunc(t.value);
    in.value = t.value;
    if (!whole || t.value < 1.0 || t.value > kSmoothMax) {
        // A preview keeps the last count rather than smoothing over a record's length.
        return confirming ? Refusal("平滑点数应在1~32之间！") : std::nullopt;
    }
    member = static_cast<std::int32_t>(t.value);
    return std::nullopt;
}

// The rotation angle, typed in degrees, kept in radians.
Refusal ReadAngle(PanelFieldInput& in, float& member) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = RotateAngleToDegrees(member);
        return std::nullopt;
    }
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    in.value = t.value;
    member = DegreesToRotateAngle(t.value);
    return std::nullopt;
}

Refusal ReadScaleFactor(PanelFieldInput& in, float& member) {
    const Typed& t = in.typed;
    if (t.state == Typed::Empty) {
        in.value = member;
        return std::nullopt;
    }
    if (!FitsFloat(t.value)) return BadNumber(in.label);
    in.value = t.value;
    member = static_cast<float>(t.value);
    return std::nullopt;
}

}  // namespace

// Positions, the magnification delay and the horizontal shift, typed in
// metres: two decimals at most (a finer value is rounded in the field and used
// rounded), turned into the step's sample index on the current record. An
// empty position keeps the step's; an empty delay starts at the head.
std::optional<std::string> OperationPanel::ReadMetres(PanelFieldInput& in, ProcessStep& step) const {
    const PanelField& f = in.field;
    Typed& t = in.typed;
    const bool length = f.kind == K::ShiftLength;
    std::int32_t& index = step.*(f.member->integer);
    if (t.state == Typed::Empty) {
        if (f.kind != K::MagnifyDelay) {
            in.value = ParseTyped(MetresText(step, f.memoSlot(), index, length)).value;
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
        return OutOfRange(in.label, f.kind == K::MagnifyDelay ? Format("0～%g", kMetresLimit).c_str()
                                                              : Format("%g～%g", -kMetresLimit, kMetresLimit).c_str());
    const std::string twoDecimals = Format("%.2f", t.value);
    const float typed = std::strtof(in.text.c_str(), nullptr);
    const float rounded = std::strtof(twoDecimals.c_str(), nullptr);
    if (typed != rounded) in.text = twoDecimals;
    in.value = rounded;
    const std::int32_t converted = current_ == nullptr ? 0 : DepthToSample(*current_, rounded, length);
    index = converted;
    step.Memorise(f.memoSlot(), converted, rounded);
    return std::nullopt;
}

std::optional<std::string> OperationPanel::ReadField(int field, ProcessStep& step, PanelReading& r, bool confirming) {
    const auto k = static_cast<std::size_t>(field);
    const PanelField& f = fields_[k];
    PanelFieldInput in{f, texts_[k], Label(field), r.values[k], ParseTyped(texts_[k])};
    if (in.typed.state == Typed::Bad) return BadNumber(in.label);
    const bool popup = form_ == PanelForm::Popup;
    switch (f.kind) {
        case K::FilterUpper: return ReadListed(in, step.*(f.member->real), kUpperSlider, popup);
        case K::FilterLower: return ReadListed(in, step.*(f.member->real), kLowerSlider, popup);
        case K::MagnifyFactor: return ReadListed(in, step.*(f.member->real), kFactorSlider, popup);
        case K::MagnifyDelay:
        case K::Position:
        case K::ShiftLength: return ReadMetres(in, step);
        case K::Millivolts: return ReadMillivolts(in, step.*(f.member->real));
        case K::SmoothPoints: return ReadSmoothPoints(in, step.*(f.member->integer), confirming);
        case K::Angle: return ReadAngle(in, step.*(f.member->real));
        case K::ScaleFactor: return ReadScaleFactor(in, step.*(f.member->real));
    }
    return std::nullopt;
}

std::optional<std::string> OperationPanel::ReadAll(ProcessStep& step, bool confirming) {
    if (panel_->choices != nullptr) panel_->choices->write(step, choice_);
    PanelReading r;
    r.fields = panel_->fields;
    r.values.assign(fields_.size(), 0.0);
    r.choice = choice_;
    r.popup = form_ == PanelForm::Popup;
    r.current = current_;
    std::optional<std::string> firstRefusal;
    for (int i = 0; i < FieldCount(); ++i) {
        if (!FieldShown(i)) continue;
        auto refusal = ReadField(i, step, r, confirming);
        if (refusal && !firstRefusal) firstRefusal = std::move(refusal);
    }
    if (panel_->afterRead != nullptr) panel_->afterRead(step);
    if (firstRefusal || !confirming || panel_->check == nullptr) return firstRefusal;
    return panel_->check(r);
}

void OperationPanel::FitToTrace(ProcessStep& step, std::optional<int> traceHeightPx) const {
    if (panel_->fitToTrace != nullptr && current_ != nullptr && traceHeightPx)
        panel_->fitToTrace(step, TraceFrame{shownMin_, shownMax_, *traceHeightPx});
}

void OperationPanel::Read(ProcessStep& step, std::optional<int> traceHeightPx) {
    ReadAll(step, false);
    FitToTrace(step, traceHeightPx);
}

std::optional<std::string> OperationPanel::Confirm(ProcessStep& step, std::optional<int> traceHeightPx) {
    ProcessStep read = step;
    if (auto refusal = ReadAll(read, true)) return refusal;
    FitToTrace(read, traceHeightPx);
    step = read;
    return std::nullopt;
}

}  // namespace tav
