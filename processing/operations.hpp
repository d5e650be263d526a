// One description per processing operation. What the chain engine, the chain
// list, the display's summaries, the parameter panels and tavtool need to know
// of an operation is one row of one table, indexed by the operation code:
// its names, the members of the step record that hold its parameters (and
// which of them are positions below the head), how it runs on the samples,
// its summary and detail texts, and its panel.
//
// Adding an operation: give it a code (and its fields, if it needs new ones)
// in the step record, then write its row in operations.cpp. Everything that
// switches on the code reads the row; the walk over the table in
// tests/processing/operations_test.cpp checks what a row promises.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/process_step.hpp"

namespace tav {

class CTAV_AnalyserDoc;
struct TestPoint;

// ---- parameter members -----------------------------------------------------------

enum class MemberUnit {
    Plain,     // a number, entered as it is stored
    Position,  // a sample index entered as metres below the head: it moves with the head
    Length,    // a sample count entered as metres without the head (the horizontal shift)
};

// One member of the step record that holds a parameter of an operation.
struct StepMember {
    std::string_view name{};  // the record's name for it, as tavtool takes it
    std::int32_t ProcessStep::*integer = nullptr;
    float ProcessStep::*real = nullptr;
    MemberUnit unit = MemberUnit::Plain;
    int memoSlot = -1;  // positions and lengths: the memo slot of the metres typed for it
};

// ---- texts ---------------------------------------------------------------------------

// The lines of a summary or a detail text. Without a vector they are only
// counted, so that the display can lay out a long page without formatting it.
class TextLines {
public:
    explicit TextLines(std::vector<std::string>* out = nullptr) : out_(out) {}
    void Add(std::string_view text);
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::size_t Count() const { return count_; }

private:
    std::vector<std::string>* out_;
    std::size_t count_ = 0;
};

// What the display's summary of an operation reads.
struct SummaryInput {
    const TestPoint& tp;
    const ProcessStep& params;  // a copy of the test point's lastParams
    std::int64_t count;         // steps of this operation in the test point's chain
};

// What the chain list's detail text of a step reads.
struct DetailInput {
    const CTAV_AnalyserDoc& doc;
    std::int32_t point;  // positions are shown below this test point's head
    const ProcessStep& step;
};

// ---- panels ----------------------------------------------------------------------------

enum class PanelFieldKind {
    FilterUpper,    // Hz; popup list 100..3000
    FilterLower,    // Hz; popup list 100..800
    MagnifyFactor,  // popup list 1..1000
    MagnifyDelay,   // metres below the head, not negative
    Position,       // metres below the head
    ShiftLength,    // metres as a length
    Millivolts,
    SmoothPoints,   // 1..32
    Angle,          // degrees
    ScaleFactor,
};

struct PanelField {
    PanelFieldKind kind;
    std::string_view key{};  // tavtool's name for it
    std::string_view popupLabel{};
    std::string_view dockedLabel{};
    const StepMember* member = nullptr;  // what the field shows and writes
    unsigned shownForChoices = ~0u;      // bit c: shown while button c is chosen
    int memoSlot() const { return member->memoSlot; }
};

// The kind or mode buttons of a panel.
struct PanelChoices {
    std::string_view key{};  // "kind" or "mode"
    std::span<const std::string_view> popup{};
    std::span<const std::string_view> docked{};
    std::span<const std::string_view> names{};  // tavtool's
    int (*of)(const ProcessStep&) = nullptr;            // the button a step opens with
    void (*write)(ProcessStep&, int choice) = nullptr;  // what the chosen button sets
};

// The popup's ranges that both the fields and the confirmation checks use.
inline constexpr double kPopupAngleLimit = 10.0;  // degrees either way
inline constexpr double kPopupScaleMax = 100.0;

// What a confirmation read: the value of each field (metres, Hz, degrees, a
// factor, points), for the checks that compare fields.
struct PanelReading {
    std::span<const PanelField> fields{};
    std::vector<double> values{};  // one per field
    int choice = 0;  // the kind or mode button
    bool popup = true;
    const TestPoint* current = nullptr;  // the first target, when there is one
    double At(std::string_view key) const;
};

// The current trace as the panel found it: its display range before anything
// was previewed on it, and the height it is drawn at.
struct TraceFrame {
    float viewMin = 0.0f;
    float viewMax = 0.0f;
    int heightPx = 0;
};

struct PanelDescription {
    std::string_view title{};
    std::span<const PanelField> fields{};
    const PanelChoices* choices = nullptr;  // nullptr: no buttons
    std::string_view cursorField{};         // the field the popup's "游标" fills; empty: no button
    // The message refusing a confirmation, or nothing.
    std::optional<std::string> (*check)(const PanelReading&) = nullptr;
    // After every reading (a field that writes a second member).
    void (*afterRead)(ProcessStep&) = nullptr;
    // Values that follow from the current trace as drawn (never from a preview
    // of this panel, or each preview would feed on the one before).
    void (*fitToTrace)(ProcessStep&, const TraceFrame&) = nullptr;
};

// ---- operations ------------------------------------------------------------------------

struct OperationDescription {
    OperationType type = kOpNone;
    std::string_view name{};      // the chain list's; empty: no operation has this code
    std::string_view toolName{};  // tavtool's; empty: reached only by its code
    std::span<const StepMember* const> members{};  // its parameters, the ones copied into lastParams
    // A new step: the member the display's active cursor presets, and the one set at the head (0 m).
    std::int32_t ProcessStep::*cursorPreset = nullptr;
    std::int32_t ProcessStep::*headPreset = nullptr;
    bool keepsHead = false;       // appending it leaves the head where it is (no search)
    bool timeDomainOnly = false;  // not offered in the view's secondary display modes
    void (*run)(TestPoint&, const ProcessStep&) = nullptr;  // nullptr: the samples stay as they are
    // The display's summary; without a step of the operation only when summaryWithoutSteps.
    void (*summary)(const SummaryInput&, TextLines&) = nullptr;
    bool summaryWithoutSteps = false;
    void (*detail)(const DetailInput&, TextLines&) = nullptr;  // the chain list's detail text
    const PanelDescription* panel = nullptr;  // nullptr: no parameters to set
};

// The row of a code; a code without an operation (0, 14, any other) gives a
// row that names nothing and does nothing.
const OperationDescription& Operation(std::int32_t opType);
// Every row, indexed by code.
std::span<const OperationDescription> Operations();

// The name the chain list shows for a code ("" for 0, 14 and unknown codes).
std::string_view OperationName(std::int32_t opType);

// The operation tavtool calls `toolName`, or 0.
std::int32_t OperationOfToolName(std::string_view toolName);

// Copies the operation's parameter members from one record to another.
void CopyParameters(ProcessStep& to, const ProcessStep& from, const OperationDescription& op);

}  // namespace tav
