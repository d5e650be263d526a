// A walk over the operations table: what each row promises to the chain
// engine, the chain list, the display and the panels.
#include "processing/operations.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "model/document.hpp"
#include "processing/chain.hpp"
#include "processing/operation_panel.hpp"
#include "processing/step_summary.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

double Get(const ProcessStep& s, const StepMember& m) {
    return m.integer != nullptr ? static_cast<double>(s.*m.integer) : static_cast<double>(s.*m.real);
}

void Set(ProcessStep& s, const StepMember& m, double v) {
    if (m.integer != nullptr) s.*m.integer = static_cast<std::int32_t>(v);
    if (m.real != nullptr) s.*m.real = static_cast<float>(v);
}

// The record's parameter fields: everything but the code, the display
// settings and the memo of typed metres.
constexpr StepMember kRecordFields[] = {
    {"filterKind", &ProcessStep::filterKind},         {"filterUpperHz", nullptr, &ProcessStep::filterUpperHz},
    {"filterLowerHz", nullptr, &ProcessStep::filterLowerHz}, {"magnifyMode", &ProcessStep::magnifyMode},
    {"magnifyFactor", nullptr, &ProcessStep::magnifyFactor}, {"magnifyStart", &ProcessStep::magnifyStart},
    {"smoothPoints", &ProcessStep::smoothPoints},     {"dcMode", &ProcessStep::dcMode},
    {"dcStart", &ProcessStep::dcStart},               {"rotateMode", &ProcessStep::rotateMode},
    {"rotateStart", &ProcessStep::rotateStart},       {"rotateAngle", nullptr, &ProcessStep::rotateAngle},
    {"rotateScale", nullptr, &ProcessStep::rotateScale}, {"linZeroMode", &ProcessStep::linZeroMode},
    {"linZeroStart", &ProcessStep::linZeroStart},     {"nonlinZeroMode", &ProcessStep::nonlinZeroMode},
    {"nonlinZeroStart", &ProcessStep::nonlinZeroStart}, {"frontZeroPos", &ProcessStep::frontZeroPos},
    {"rearZeroPos", &ProcessStep::rearZeroPos},       {"scaleStart", &ProcessStep::scaleStart},
    {"scaleEnd", &ProcessStep::scaleEnd},             {"scaleFactor", nullptr, &ProcessStep::scaleFactor},
    {"shiftX", &ProcessStep::shiftX},                 {"shiftY", nullptr, &ProcessStep::shiftY},
    {"shiftMode", &ProcessStep::shiftMode},           {"shiftStart", &ProcessStep::shiftStart},
    {"shiftEnd", &ProcessStep::shiftEnd},
};

bool Same(const StepMember& a, const StepMember& b) { return a.integer == b.integer && a.real == b.real; }

bool OwnMember(const OperationDescription& op, const StepMember& m) {
    for (const StepMember* own : op.members)
        if (Same(*own, m)) return true;
    return false;
}

// The rows of the codes that name an operation.
std::vector<const OperationDescription*> Listed() {
    std::vector<const OperationDescription*> out;
    for (const auto& op : Operations())
        if (!op.name.empty()) out.push_back(&op);
    return out;
}

TEST(Operations, EveryRowSitsAtItsCodeWithTheNamesTheFilesAndToolsUse) {
    // The chain list's names (tavtool's info prints them in a file's chain text).
    const std::vector<std::string_view> names = {"",         "积分",     "微分",     "数字滤波", "线性归零", "非线性归零",
                                                 "波形反向", "平滑",     "去直流",   "前置零",   "后置零",   "数据平移",
                                                 "波形旋转", "波形放大", "",         "动态缩放", "局部缩放"};
    ASSERT_EQ(Operations().size(), names.size());
    for (std::int32_t code = 0; code < kOperationTypeCount; ++code) {
        const OperationDescription& op = Operation(code);
        EXPECT_EQ(op.type, code);
        EXPECT_EQ(OperationName(code), names[static_cast<std::size_t>(code)]) << code;
        if (op.run != nullptr) {
            EXPECT_FALSE(op.name.empty()) << code;
            EXPECT_NE(op.summary, nullptr) << code << ": an operation that runs tells so beside the waveform";
            EXPECT_EQ(OperationOfToolName(op.toolName), code) << code << ": tavtool reaches it by name";
        } else {
            EXPECT_EQ(op.summary, nullptr) << code;
            EXPECT_EQ(op.panel, nullptr) << code;
            EXPECT_TRUE(op.members.empty()) << code;
        }
    }
    // Dynamic scaling is listed in chains but never applied.
    EXPECT_EQ(Operation(kOpDynamicScale).run, nullptr);
    for (const std::int32_t code : {-1, 17, 25, 1000}) {
        EXPECT_TRUE(OperationName(code).empty()) << code;
        EXPECT_EQ(Operation(code).run, nullptr) << code;
        EXPECT_EQ(Operation(code).panel, nullptr) << code;
    }
    EXPECT_EQ(OperationOfToolName(""), 0);
    EXPECT_EQ(OperationOfToolName("nosuch"), 0);
}

TEST(Operations, EachParameterBelongsToOneOperation) {
    // An operation that missed one of its fields would not remember it in
    // lastParams; two sharing one would overwrite each other's.
    std::size_t listed = 0;
    for (const auto& op : Operations()) listed += op.members.size();
    EXPECT_EQ(listed, std::size(kRecordFields));
    for (const StepMember& field : kRecordFields) {
        int owners = 0;
        for (const auto& op : Operations())
            for (const StepMember* m : op.members)
                if (Same(*m, field)) {
                    ++owners;
                    EXPECT_EQ(m->name, field.name) << "tavtool's name for the field";
                }
        EXPECT_EQ(owners, 1) << field.name;
    }
}

TEST(Operations, ParametersRoundTripThroughLastParams) {
    for (const OperationDescription* op : Listed()) {
        SCOPED_TRACE(std::string(op->name));
        CTAV_AnalyserDoc doc;
        doc.InsertPoint(0, testing::WaveformPoint("P1"));
        TestPoint& tp = doc.points[0];
        // Every parameter of every operation already remembered with other values.
        for (std::size_t i = 0; i < std::size(kRecordFields); ++i)
            Set(tp.lastParams, kRecordFields[i], -7.0 - static_cast<double>(i));
        tp.lastParams.viewMax = 42.0f;
        const ProcessStep before = tp.lastParams;

        ProcessStep step;
        step.opType = op->type;
        for (std::size_t i = 0; i < op->members.size(); ++i) Set(step, *op->members[i], 100.0 + static_cast<double>(i));
        step.viewMax = 5.0f;
        CopyToLastParams(tp, step);

        ProcessStep expected = before;
        expected.opType = op->type;
        for (const StepMember* m : op->members) Set(expected, *m, Get(step, *m));
        EXPECT_TRUE(SameStepBytes(tp.lastParams, expected)) << "only the code and the operation's own members change";

        // A new step of the operation starts from what was remembered.
        const ProcessStep next = PrefillNewStep(doc, TargetSet{0}, op->type, std::nullopt);
        for (const StepMember* m : op->members) {
            if (op->headPreset == m->integer && m->integer != nullptr) continue;
            EXPECT_EQ(Get(next, *m), Get(step, *m)) << m->name;
        }
    }
}

TEST(Operations, SummariesCountTheLinesTheyPrint) {
    std::mt19937 rng(7);
    const std::vector<double> values = {-1, 0, 1, 2, 3, 4, 5, 60, 1.5};
    std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
    for (const OperationDescription* op : Listed()) {
        if (op->summary == nullptr) continue;
        SCOPED_TRACE(std::string(op->name));
        for (const int steps : {0, 1, 2}) {
            CTAV_AnalyserDoc doc;
            doc.InsertPoint(0, testing::WaveformPoint("P1"));
            for (int k = 0; k < steps; ++k) {
                ProcessStep s;
                s.opType = op->type;
                doc.points[0].steps.push_back(s);
            }
            // A new record's parameters tell whether the chain holds the operation.
            const bool shown = !StepSummary(doc, 0, ProcessStep{}, op->type).empty();
            EXPECT_EQ(shown, steps > 0 || op->summaryWithoutSteps) << steps << " steps";
            for (int round = 0; round < 40; ++round) {
                ProcessStep params;
                for (const StepMember* m : op->members) Set(params, *m, values[pick(rng)]);
                const auto lines = StepSummary(doc, 0, params, op->type);
                ASSERT_EQ(StepSummaryLineCount(doc, 0, params, op->type), lines.size()) << steps << " steps";
                if (steps == 0 && !op->summaryWithoutSteps) {
                    EXPECT_TRUE(lines.empty());
                }
                for (const auto& line : lines) EXPECT_EQ(line.find('%'), std::string::npos) << line;
            }
        }
    }
}

// Opens the operation's panel on a test point, types "1.00" into every metre
// field and reads it.
ProcessStep ReadMetres(const OperationDescription& op, const TestPoint& current) {
    ProcessStep step;
    step.opType = op.type;
    OperationPanel panel(op.type, PanelForm::Docked, 1, &current);
    panel.Open(step);
    panel.SetChoice(1);  // "part": the start and end fields count
    for (int f = 0; f < panel.FieldCount(); ++f) {
        const PanelFieldKind kind = panel.Fields()[static_cast<std::size_t>(f)].kind;
        if (kind == PanelFieldKind::Position || kind == PanelFieldKind::MagnifyDelay ||
            kind == PanelFieldKind::ShiftLength)
            panel.SetText(f, "1.00");
    }
    panel.Read(step);
    return step;
}

TEST(Operations, PositionMembersAreTheOnesThatMoveWithTheHead) {
    const TestPoint atHead = testing::WaveformPoint("P1");
    TestPoint later = atHead;
    later.headIndex = static_cast<std::int16_t>(atHead.headIndex + 7);
    for (const OperationDescription* op : Listed()) {
        SCOPED_TRACE(std::string(op->name));
        if (op->panel == nullptr) {
            for (const StepMember* m : op->members) EXPECT_EQ(m->unit, MemberUnit::Plain) << m->name;
            continue;
        }
        // The same metres below a head 7 samples later.
        const ProcessStep a = ReadMetres(*op, atHead);
        const ProcessStep b = ReadMetres(*op, later);
        for (const StepMember* m : op->members) {
            const double moved = Get(b, *m) - Get(a, *m);
            EXPECT_EQ(moved, m->unit == MemberUnit::Position ? 7.0 : 0.0) << m->name;
            if (m->unit != MemberUnit::Plain) {
                EXPECT_EQ(a.RememberedMetres(m->memoSlot, a.*m->integer), 1.0f) << m->name << ": metres remembered";
            }
        }
    }

    // The display's cursor and the head preset a new step's positions.
    CTAV_AnalyserDoc doc;
    doc.InsertPoint(0, atHead);
    for (const OperationDescription* op : Listed()) {
        const ProcessStep s = PrefillNewStep(doc, TargetSet{0}, op->type, 123);
        for (const auto preset : {op->cursorPreset, op->headPreset}) {
            if (preset == nullptr) continue;
            bool position = false;
            for (const StepMember* m : op->members)
                position = position || (m->integer == preset && m->unit == MemberUnit::Position);
            EXPECT_TRUE(position) << op->name << ": presets a position of its own";
        }
        if (op->cursorPreset != nullptr) {
            EXPECT_EQ(s.*op->cursorPreset, 123) << op->name;
        }
        if (op->headPreset != nullptr) {
            EXPECT_EQ(s.*op->headPreset, atHead.headIndex) << op->name;
        }
    }
}

// A value of the field's kind that differs from a new record's.
std::string Typed(PanelFieldKind kind, std::string_view key) {
    switch (kind) {
        case PanelFieldKind::FilterUpper: return "900";
        case PanelFieldKind::FilterLower: return "150";
        case PanelFieldKind::MagnifyFactor: return "7";
        case PanelFieldKind::MagnifyDelay: return "1.5";
        case PanelFieldKind::Position: return key == "end" ? "2" : "0.5";
        case PanelFieldKind::ShiftLength: return "0.3";
        case PanelFieldKind::Millivolts: return "2.5";
        case PanelFieldKind::SmoothPoints: return "5";
        case PanelFieldKind::Angle: return "3";
        case PanelFieldKind::ScaleFactor: return "2";
    }
    return {};
}

TEST(Operations, PanelFieldsSetTheOperationsOwnMembers) {
    TestPoint current = testing::WaveformPoint("P1");
    current.lastParams.viewMax = 10.0f;  // gives the rotation a scale of its own
    current.lastParams.viewMin = -10.0f;
    for (const OperationDescription* op : Listed()) {
        SCOPED_TRACE(std::string(op->name));
        EXPECT_EQ(OperationPanel::HasPanelModel(op->type), op->panel != nullptr);
        if (op->panel == nullptr) continue;
        std::set<std::string_view> keys;
        for (const PanelField& f : op->panel->fields) {
            EXPECT_TRUE(keys.insert(f.key).second) << f.key;
            EXPECT_TRUE(OwnMember(*op, *f.member)) << f.key;
        }

        const ProcessStep fresh = [&] {
            ProcessStep s;
            s.opType = op->type;
            return s;
        }();
        ProcessStep step = fresh;
        OperationPanel panel(op->type, PanelForm::Docked, 1, &current);
        panel.Open(step);
        panel.SetChoice(static_cast<int>(panel.ChoiceNames().size()) - 1);  // the last kind or mode shows every field
        for (int f = 0; f < panel.FieldCount(); ++f) {
            const PanelField& field = panel.Fields()[static_cast<std::size_t>(f)];
            panel.SetText(f, Typed(field.kind, field.key));
        }
        panel.Read(step, 200);

        // The panel reaches every parameter of its operation and no other's
        // (the zeroing of one end keeps its position in both ends' members).
        for (const StepMember& m : kRecordFields) {
            const bool changed = Get(step, m) != Get(fresh, m);
            if (OwnMember(*op, m)) {
                EXPECT_TRUE(changed) << m.name << " cannot be set in the panel";
            } else if (op->type == kOpFrontZero && m.integer == &ProcessStep::rearZeroPos) {
                EXPECT_EQ(step.rearZeroPos, step.frontZeroPos);
            } else if (op->type == kOpRearZero && m.integer == &ProcessStep::frontZeroPos) {
                EXPECT_EQ(step.frontZeroPos, step.rearZeroPos);
            } else {
                EXPECT_FALSE(changed) << m.name << " belongs to another operation";
            }
        }
    }
}

}  // namespace
}  // namespace tav
