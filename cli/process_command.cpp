// `tavtool process IN (-o OUT | --in-place) [--point K ...] [--all] OP ...`:
// edits processing chains through the same paths as the window's commands and
// saves the result as the current version.
//
// Everything on the command line is checked before the file is touched:
// unknown names or fields and values that do not parse give exit 1 and nothing
// is written. Metre values are converted when their OP runs, with the first
// target's head, interval and wave speed at that moment.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.hpp"
#include "cli/command.hpp"
#include "cli/panel_op.hpp"
#include "model/document.hpp"
#include "model/positions.hpp"
#include "model/process_step.hpp"
#include "processing/chain.hpp"
#include "processing/operations.hpp"

namespace tav::cli {

namespace {

constexpr const char* kUsage =
    "tavtool process IN (-o OUT | --in-place) [--point K ...] [--all] [--magnify on|off] OP ...\n"
    "OPs, run in the order given:\n"
    "  --append STEP          new step, prefilled from the first target's lastParams\n"
    "  --replace POS STEP     edit the step at POS (0-based)\n"
    "  --insert POS STEP      insert a new step before the step at POS\n"
    "  --delete POS           delete the step at POS\n"
    "  --undo-last            delete the chain list's last row\n"
    "  --clear                delete every step\n"
    "  --panel PANEL [--form popup|docked] [--edit POS]\n"
    "                         type into an operation's panel and confirm it: a new\n"
    "                         step, or the step at POS edited\n"
    "STEP is NAME[:field=value,...]; NAME is integrate, differentiate, filter, linzero,\n"
    "nonlinzero, reverse, smooth, dc, frontzero, rearzero, shift, rotate, magnify,\n"
    "localscale or an operation code 1..16. Position fields take metres below the\n"
    "head as 3.5m; shiftX in metres is a length.\n"
    "A PANEL is NAME[:key=value,...] with the values as typed into the panel:\n"
    "  filter kind=low|high|band|stop,upper=Hz,lower=Hz   magnify mode=exp|linear,factor=,delay=m\n"
    "  dc mode=whole|part,start=m   smooth points=   rotate mode=whole|part,start=m,angle=degrees\n"
    "  linzero, nonlinzero mode=whole|part|toe,start=m   frontzero, rearzero position=m\n"
    "  localscale start=m,end=m,factor=   shift mode=whole|part,start=m,end=m,x=m,y=mV\n"
    "A refused panel prints 'refused: <message>', exits 2 and writes nothing.\n";

// ---- step fields ---------------------------------------------------------------

// The record's fields a step argument can set: the code, the parameter
// members of every operation, and the display range.
constexpr StepMember kOwnFields[] = {
    {"opType", &ProcessStep::opType},
    {"viewMax", nullptr, &ProcessStep::viewMax},
    {"viewMin", nullptr, &ProcessStep::viewMin},
};

const StepMember* FindField(std::string_view name) {
    for (const auto& f : kOwnFields)
        if (f.name == name) return &f;
    for (const auto& op : Operations())
        for (const StepMember* m : op.members)
            if (m->name == name) return m;
    return nullptr;
}

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseFloat(std::string_view text, float& value) {
    // from_chars reads "nan", "inf" and "infinity" but refuses a leading '+'.
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return ParseWhole(text, value);
}

struct FieldSetting {
    const StepMember* field = nullptr;
    bool metres = false;
    std::int32_t integer = 0;
    float real = 0.0f;  // the value, or the metres
};

struct StepArgs {
    std::int32_t opType = 0;
    std::vector<FieldSetting> settings;
};

// Parses NAME[:field=value,...]; on failure returns nothing and says why.
std::optional<StepArgs> ParseStepArgs(std::string_view text, std::string& why) {
    StepArgs stepArgs;
    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    stepArgs.opType = OperationOfToolName(name);
    if (stepArgs.opType == 0) {
        std::int32_t code = 0;
        if (!ParseWhole(name, code) || code < 1 || code >= kOperationTypeCount) {
            why = "unknown operation name '" + std::string(name) + "'";
            return std::nullopt;
        }
        stepArgs.opType = code;
    }
    if (colon == std::string_view::npos) return stepArgs;
    std::string_view rest = text.substr(colon + 1);
    while (true) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const auto eq = item.find('=');
        const std::string_view fieldName = item.substr(0, eq);
        FieldSetting setting;
        setting.field = FindField(fieldName);
        if (setting.field == nullptr) {
            why = "unknown field '" + std::string(fieldName) + "' in '" + std::string(text) + "'";
            return std::nullopt;
        }
        std::string_view value = eq == std::string_view::npos ? std::string_view{} : item.substr(eq + 1);
        bool ok;
        if (setting.field->unit != MemberUnit::Plain && !value.empty() && value.back() == 'm') {
            setting.metres = true;
            ok = ParseFloat(value.substr(0, value.size() - 1), setting.real);
        } else if (setting.field->integer != nullptr) {
            ok = ParseWhole(value, setting.integer);
        } else {
            ok = ParseFloat(value, setting.real);
        }
        if (eq == std::string_view::npos || !ok) {
            why = "value '" + std::string(value) + "' of field '" + std::string(fieldName) + "' does not parse as " +
                  (setting.metres                      ? "metres"
                   : setting.field->integer != nullptr ? "a 32-bit integer"
                                                       : "a float");
            return std::nullopt;
        }
        stepArgs.settings.push_back(setting);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    return stepArgs;
}

// Sets the opType and the fields named in the step argument on a step, converting metres with the
// first target as it is now, and remembering them as the panels do.
void ApplyStepArgs(const CTAV_AnalyserDoc& doc, const TargetSet& targets, const StepArgs& stepArgs, ProcessStep& step) {
    step.opType = stepArgs.opType;
    const TestPoint* first = targets.empty() ? nullptr : &doc.points[static_cast<std::size_t>(targets.front())];
    for (const auto& s : stepArgs.settings) {
        const StepMember& f = *s.field;
        if (!s.metres) {
            if (f.integer != nullptr)
                step.*f.integer = s.integer;
            else
                step.*f.real = s.real;
            continue;
        }
        const std::int32_t index = first == nullptr ? 0 : DepthToSample(*first, s.real, f.unit == MemberUnit::Length);
        step.*f.integer = index;
        step.Memorise(f.memoSlot, index, s.real);
    }
}

// ---- the command line ------------------------------------------------------------

enum class OpKind { Append, Replace, Insert, Delete, UndoLast, Clear, Panel };

struct Op {
    explicit Op(OpKind k) : kind(k) {}
    OpKind kind;
    std::int32_t position = 0;
    StepArgs stepArgs;
    PanelArgs panel;
};

struct Request {
    std::string input;
    std::string output;
    bool inPlace = false;
    bool all = false;
    std::vector<long> points;
    std::string magnify = "on";
    std::vector<Op> ops;
};

// Reports a usage error; the parse then gives up.
std::nullopt_t Usage(const std::string& what) {
    std::cerr << "tavtool: process: " << what << "\n";
    return std::nullopt;
}

// Parses the arguments after "process"; returns nothing after reporting a usage error.
std::optional<Request> ParseArguments(const std::vector<std::string>& args, int& exitCode) {
    Request r;
    exitCode = kExitUsage;
    std::size_t i = 0;
    const auto next = [&](const std::string& option) -> const std::string* {
        if (i + 1 >= args.size()) {
            Usage(option + " needs a value");
            return nullptr;
        }
        return &args[++i];
    };
    const auto position = [&](const std::string& option, std::int32_t& pos) {
        const std::string* v = next(option);
        if (v == nullptr) return false;
        if (!ParseWhole(std::string_view(*v), pos)) {
            Usage("position '" + *v + "' of " + option + " is not an integer");
            return false;
        }
        return true;
    };
    const auto readStep = [&](const std::string& option, StepArgs& out) {
        const std::string* v = next(option);
        if (v == nullptr) return false;
        std::string why;
        auto parsed = ParseStepArgs(*v, why);
        if (!parsed) {
            Usage(option + ": " + why);
            return false;
        }
        out = std::move(*parsed);
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            exitCode = kExitOk;
            return std::nullopt;
        } else if (a == "-o" || a == "--output") {
            const std::string* v = next(a);
            if (v == nullptr) return std::nullopt;
            r.output = *v;
        } else if (a == "--in-place") {
            r.inPlace = true;
        } else if (a == "--all") {
            r.all = true;
        } else if (a == "--point") {
            const std::string* v = next(a);
            if (v == nullptr) return std::nullopt;
            long k = 0;
            if (!ParseWhole(std::string_view(*v), k)) return Usage("test point '" + *v + "' is not an integer");
            r.points.push_back(k);
        } else if (a == "--magnify") {
            const std::string* v = next(a);
            if (v == nullptr) return std::nullopt;
            if (*v != "on" && *v != "off") return Usage("--magnify takes on or off");
            r.magnify = *v;
        } else if (a == "--append") {
            Op op(OpKind::Append);
            if (!readStep(a, op.stepArgs)) return std::nullopt;
            r.ops.push_back(std::move(op));
        } else if (a == "--replace" || a == "--insert") {
            Op op(a == "--replace" ? OpKind::Replace : OpKind::Insert);
            if (!position(a, op.position) || !readStep(a, op.stepArgs)) return std::nullopt;
            r.ops.push_back(std::move(op));
        } else if (a == "--delete") {
            Op op(OpKind::Delete);
            if (!position(a, op.position)) return std::nullopt;
            r.ops.push_back(std::move(op));
        } else if (a == "--panel") {
            Op op(OpKind::Panel);
            const std::string* v = next(a);
            if (v == nullptr) return std::nullopt;
            std::string why;
            auto parsed = ParsePanelArgs(*v, why);
            if (!parsed) return Usage("--panel: " + why);
            op.panel = std::move(*parsed);
            r.ops.push_back(std::move(op));
        } else if (a == "--form" || a == "--edit") {
            // Modifies the --panel just before it.
            if (r.ops.empty() || r.ops.back().kind != OpKind::Panel) return Usage(a + " belongs after a --panel");
            PanelArgs& panel = r.ops.back().panel;
            if (a == "--form") {
                const std::string* v = next(a);
                if (v == nullptr) return std::nullopt;
                if (*v != "popup" && *v != "docked") return Usage("--form takes popup or docked");
                panel.form = *v == "popup" ? PanelForm::Popup : PanelForm::Docked;
            } else {
                std::int32_t pos = 0;
                if (!position(a, pos)) return std::nullopt;
                panel.editPosition = pos;
            }
        } else if (a == "--undo-last") {
            r.ops.emplace_back(OpKind::UndoLast);
        } else if (a == "--clear") {
            r.ops.emplace_back(OpKind::Clear);
        } else if (!a.empty() && a.front() == '-') {
            return Usage("unknown option '" + a + "'");
        } else if (r.input.empty()) {
            r.input = a;
        } else {
            return Usage("unexpected argument '" + a + "'");
        }
    }
    if (r.input.empty()) return Usage("no input file (IN)");
    if (r.inPlace == !r.output.empty()) return Usage("give exactly one of -o OUT and --in-place");
    if (r.all && !r.points.empty()) return Usage("give either --point or --all");
    return r;
}

TargetSet CollectTargets(const CTAV_AnalyserDoc& doc, const Request& r) {
    TargetSet targets;
    if (r.all) {
        for (std::int32_t k = 0; k < doc.PointCount(); ++k) targets.push_back(k);
    } else if (r.points.empty()) {
        targets.push_back(0);
    } else {
        for (const long k : r.points) {
            const auto index = static_cast<std::int32_t>(k);
            if (std::find(targets.begin(), targets.end(), index) == targets.end()) targets.push_back(index);
        }
    }
    return targets;
}

// kExitOk, or the exit code of a panel that refused or had nothing to edit (reported).
int RunOp(CTAV_AnalyserDoc& doc, const TargetSet& targets, const Op& op, const std::string& file) {
    switch (op.kind) {
        case OpKind::Panel: {
            const PanelOutcome outcome = RunPanel(doc, targets, op.panel);
            if (outcome.kind == PanelOutcome::Refused) {
                std::cout << "refused: " << outcome.message << "\n";
                return kExitInvalidData;
            }
            if (outcome.kind == PanelOutcome::NothingToEdit) {
                ReportError(file, outcome.message + "; nothing written");
                return kExitInvalidData;
            }
            break;
        }
        case OpKind::Append: {
            ProcessStep step = PrefillNewStep(doc, targets, op.stepArgs.opType, std::nullopt);
            ApplyStepArgs(doc, targets, op.stepArgs, step);
            doc.stepInsertMode = 0;
            FinishNewStep(doc, targets, step, true);
            break;
        }
        case OpKind::Replace: {
            const TestPoint& first = doc.points[static_cast<std::size_t>(targets.front())];
            ProcessStep step;
            if (op.position >= 0 && op.position < first.stepCount())
                step = first.steps[static_cast<std::size_t>(op.position)];
            ApplyStepArgs(doc, targets, op.stepArgs, step);
            doc.stepInsertMode = 1;
            doc.stepInsertPos = op.position;
            FinishEditedStep(doc, targets, step, op.position, true);
            break;
        }
        case OpKind::Insert: {
            ProcessStep step;
            ApplyStepArgs(doc, targets, op.stepArgs, step);
            doc.stepInsertMode = 2;
            doc.stepInsertPos = op.position;
            FinishInsertedStep(doc, targets, step, op.position, true);
            break;
        }
        case OpKind::Delete:
            DeleteStepCommand(doc, targets, op.position);
            break;
        case OpKind::UndoLast:
            UndoLastStepCommand(doc, targets);
            break;
        case OpKind::Clear:
            ClearStepsCommand(doc, targets);
            break;
    }
    return kExitOk;
}

int Process(const Request& r) {
    FileEditLock lock;
    if (r.inPlace)
        if (const int code = LockForInPlaceEdit(lock, r.input)) return code;
    CTAV_AnalyserDoc doc;
    if (const int code = LoadProjectFor(doc, r.input, r.magnify == "on", "; nothing written")) return code;
    const TargetSet targets = CollectTargets(doc, r);
    for (const auto k : targets)
        if (const int code = CheckPoint(doc, r.input, k, "; nothing written")) return code;
    for (const auto& op : r.ops)
        if (const int code = RunOp(doc, targets, op, r.input)) return code;
    return SaveProjectTo(doc, r.inPlace ? r.input : r.output);
}

}  // namespace

void RegisterProcessCommand(CLI::App& app, Runner& run) {
    RegisterOperationsCommand<Request>(app, run, "process", "edit processing chains and save the result", kUsage,
                                       ParseArguments, Process);
}

}  // namespace tav::cli
