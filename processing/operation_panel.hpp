// The parameter panel of one chain operation, without any widgets: what the
// engineer sees in its fields, how typed texts are read into the working step
// and what a confirmation refuses. The window's popup dialogs and docked strips
// and tavtool's typed operations all drive this one model. Which fields,
// buttons and checks an operation's panel has is its row's PanelDescription
// (processing/operations.hpp); this model reads and shows a field by its kind.
//
// Reading (every preview and the confirmation):
// - metre fields show two decimals; a value with more is rewritten as "%.2f"
//   in the field and that rounded value is used; positions become sample
//   indices below the head of the current test point (the first target), the
//   horizontal shift a plain length; the pair (index, metres) goes into the
//   step's position memo so the same metres are shown again later;
// - the popup's filter frequencies and magnification factor are corrected
//   into their lists' ranges silently; a negative magnification delay is 0 m;
// - an empty field keeps the working step's value, except the magnification
//   delay, which an empty field puts at the head (0 m);
// - a text that is no number (letters, "nan", a metre value beyond 1000 m, a
//   vertical shift beyond 10000 mV) is left out of a preview and refused on
//   confirmation with a message that names the field and its range, so
//   nothing unreadable is ever stored.
// A refused confirmation changes nothing: the caller keeps the panel open.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/process_step.hpp"
#include "model/test_point.hpp"
#include "processing/operations.hpp"  // the panel of each operation

namespace tav {

// Limits of the typed quantities the panels share with every caller that
// types them (the pile's own length and wave speed: model/pile_quantities.hpp).
inline constexpr double kMetresLimit = 1000.0;            // m, positions below the head: no pile reaches this deep
inline constexpr double kShiftMillivoltsLimit = 10000.0;  // mV, the vertical shift: beyond any sensor's output

enum class PanelForm : int { Popup = 0, Docked = 1 };

// A popup slider beside a field.
struct PanelSlider {
    int min = 0;
    int max = 0;
    int lineStep = 1;
    int pageStep = 1;
};

// The rotation's vertical scale: the display range of the test point
// (viewMax - viewMin of lastParams) per pixel of its trace's drawing
// rectangle, rounded to 4 decimals (ties to even). Nothing for no height.
std::optional<float> RotateScaleFor(const TraceFrame& trace);
std::optional<float> RotateScaleFor(const ProcessStep& lastParams, int traceHeightPx);

// Degrees to the step's radians with the record's single-precision 1/180.
float DegreesToRotateAngle(double degrees);
double RotateAngleToDegrees(float radians);

struct PanelFieldInput;  // a field's text while it is read

class OperationPanel {
public:
    // opType: an operation with a panel (HasPanelModel);
    // current: the first target, whose head, interval and wave speed convert
    // metres (nullptr: none, metres then give index 0). Its display range is
    // taken now, before anything is previewed on it: the rotation's scale
    // comes from the trace as the engineer saw it when the panel opened.
    OperationPanel(std::int32_t opType, PanelForm form, int editFlag, const TestPoint* current);

    // Another test point became the first target (a docked panel follows the
    // current one): metres are read on its record from now on, the rotation's
    // scale from its display range as it stands (without any preview).
    void Retarget(const TestPoint* current);

    static bool HasPanelModel(std::int32_t opType);

    // Fills the fields from the working step (the prefilled step of a new
    // operation, or the edited step).
    void Open(const ProcessStep& step);
    // The other form with everything entered so far.
    void SwitchForm(PanelForm form) { form_ = form; }

    std::int32_t opType() const { return opType_; }
    PanelForm form() const { return form_; }
    int editFlag() const { return editFlag_; }
    std::string_view Title() const;

    // The kind or mode buttons (none for smoothing, scaling and the zeroing of one end).
    std::string_view ChoiceKey() const;  // "kind" or "mode"; empty without buttons
    std::vector<std::string_view> ChoiceLabels() const;  // of the current form
    std::vector<std::string_view> ChoiceNames() const;   // tavtool's names
    int Choice() const { return choice_; }
    void SetChoice(int choice);

    const std::vector<PanelField>& Fields() const { return fields_; }
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    int FieldIndex(std::string_view key) const;  // -1 when the panel has no such field
    std::string_view Label(int field) const;
    // The filter's kind buttons show only the frequencies the kind uses.
    bool FieldShown(int field) const;
    const std::string& Text(int field) const { return texts_[static_cast<std::size_t>(field)]; }
    void SetText(int field, std::string text);

    // Popup sliders (none in the docked strips).
    std::optional<PanelSlider> Slider(int field) const;
    // Where a field's text puts its slider.
    int SliderPosition(int field) const;
    // A slider moved: its field shows the value of the new position.
    void MoveSlider(int field, int position);

    // The popup's "游标" button and the field it fills (-1 when there is none).
    int CursorField() const;
    void TakeCursor(std::int32_t sample);

    // Reads every readable field into the step (a preview uses whatever is
    // entered); texts are rewritten where the reading corrects them.
    // traceHeightPx: the current trace's drawing height, which gives the
    // rotation its scale (nothing keeps the step's), so that a preview shows
    // the ramp the confirmed step will draw.
    void Read(ProcessStep& step, std::optional<int> traceHeightPx = std::nullopt);
    // Reads and checks: the message of the first refusal, or nothing when the
    // step now holds the confirmed values.
    std::optional<std::string> Confirm(ProcessStep& step, std::optional<int> traceHeightPx);

private:
    std::optional<std::string> ReadAll(ProcessStep& step, bool confirming);
    std::optional<std::string> ReadField(int field, ProcessStep& step, PanelReading& r, bool confirming);
    std::optional<std::string> ReadMetres(PanelFieldInput& in, ProcessStep& step) const;
    void FitToTrace(ProcessStep& step, std::optional<int> traceHeightPx) const;
    std::string ShownText(const PanelField& f, const ProcessStep& step) const;
    std::string MetresText(const ProcessStep& step, int slot, std::int32_t index, bool length) const;

    std::int32_t opType_;
    const PanelDescription* panel_;  // an empty description for an operation without one
    PanelForm form_;
    int editFlag_;
    const TestPoint* current_;
    float shownMin_ = 0.0f;  // current_'s display range when it became the target
    float shownMax_ = 0.0f;
    int choice_ = 0;
    std::vector<PanelField> fields_;
    std::vector<std::string> texts_;
};

}  // namespace tav
