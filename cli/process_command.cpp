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
#include "cli/ordered_options.hpp"
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
    EditedProject project;
    bool all = false;
    std::vector<long> points;
    std::string magnify = "on";
    std::vector<Op> ops;
};

// Reads an OP's position; false after reporting.
bool ReadPosition(OrderedOptions::Words& words, std::int32_t& position) {
    const std::string* v = words.Value();
    if (v == nullptr) return false;
    if (!ParseWhole(std::string_view(*v), position))
        return words.Usage("position '" + *v + "' of " + words.Option() + " is not an integer");
    return true;
}

// Reads an OP's STEP; false after reporting.
bool ReadStep(OrderedOptions::Words& words, StepArgs& stepArgs) {
    const std::string* v = words.Value();
    if (v == nullptr) return false;
    std::string why;
    auto parsed = ParseStepArgs(*v, why);
    if (!parsed) return words.Usage(words.Option() + ": " + why);
    stepArgs = std::move(*parsed);
    return true;
}

// --point K ..., --all and --magnify: which test points, loaded how.
void AddTargetOptions(OrderedOptions& options, Request& r) {
    options.Flag({"--all"}, [&r](const std::string&) { r.all = true; });
    options.Valued({"--point"}, [&r, &options](const std::string&, const std::string& v) {
        long k = 0;
        if (!ParseWhole(std::string_view(v), k)) return options.Usage("test point '" + v + "' is not an integer");
        r.points.push_back(k);
        return true;
    });
    options.Choice("--magnify", {"on", "off"}, [&r](const std::string& v) { r.magnify = v; });
}

// The chain's OPs: --append, --replace, --insert, --delete, --undo-last, --clear.
void AddStepOps(OrderedOptions& options, Request& r) {
    options.Custom({"--append"}, [&r](OrderedOptions::Words& words) {
        Op op(OpKind::Append);
        if (!ReadStep(words, op.stepArgs)) return false;
        r.ops.push_back(std::move(op));
        return true;
    });
    options.Custom({"--replace", "--insert"}, [&r](OrderedOptions::Words& words) {
        Op op(words.Option() == "--replace" ? OpKind::Replace : OpKind::Insert);
        if (!ReadPosition(words, op.position) || !ReadStep(words, op.stepArgs)) return false;
        r.ops.push_back(std::move(op));
        return true;
    });
    options.Custom({"--delete"}, [&r](OrderedOptions::Words& words) {
        Op op(OpKind::Delete);
        if (!ReadPosition(words, op.position)) return false;
        r.ops.push_back(std::move(op));
        return true;
    });
    options.Flag({"--undo-last"}, [&r](const std::string&) { r.ops.emplace_back(OpKind::UndoLast); });
    options.Flag({"--clear"}, [&r](const std::string&) { r.ops.emplace_back(OpKind::Clear); });
}

// --panel PANEL, and --form and --edit, which modify the --panel just before them.
void AddPanelOps(OrderedOptions& options, Request& r) {
    options.Valued({"--panel"}, [&r, &options](const std::string&, const std::string& v) {
        std::string why;
        auto parsed = ParsePanelArgs(v, why);
        if (!parsed) return options.Usage("--panel: " + why);
        Op op(OpKind::Panel);
        op.panel = std::move(*parsed);
        r.ops.push_back(std::move(op));
        return true;
    });
    const auto lastPanel = [&r](OrderedOptions::Words& words) -> PanelArgs* {
        if (r.ops.empty() || r.ops.back().kind != OpKind::Panel) {
            words.Usage(words.Option() + " belongs after a --panel");
            return nullptr;
        }
        return &r.ops.back().panel;
    };
    options.Custom({"--form"}, [lastPanel](OrderedOptions::Words& words) {
        PanelArgs* panel = lastPanel(words);
        if (panel == nullptr) return false;
        const std::string* v = words.Value();
        if (v == nullptr) return false;
        if (*v != "popup" && *v != "docked") return words.Usage("--form takes popup or docked");
        panel->form = *v == "popup" ? PanelForm::Popup : PanelForm::Docked;
        return true;
    });
    options.Custom({"--edit"}, [lastPanel](OrderedOptions::Words& words) {
        PanelArgs* panel = lastPanel(words);
        std::int32_t pos = 0;
        if (panel == nullptr || !ReadPosition(words, pos)) return false;
        panel->editPosition = pos;
        return true;
    });
}

// What only the whole command line shows.
bool CheckRequest(const OrderedOptions& options, const Request& r) {
    if (!CheckEditedProject(options, r.project)) return false;
    if (r.all && !r.points.empty()) return options.Usage("give either --point or --all");
    return true;
}

// Parses the arguments after "process"; returns nothing after reporting a usage error.
std::optional<Request> ParseArguments(const std::vector<std::string>& args, int& exitCode) {
    Request r;
    OrderedOptions options("process", kUsage);
    AddEditedProject(options, r.project);
    AddTargetOptions(options, r);
    AddStepOps(options, r);
    AddPanelOps(options, r);
    if (const auto end = options.Read(args)) {
        exitCode = *end;
        return std::nullopt;
    }
    exitCode = kExitUsage;
    if (!CheckRequest(options, r)) return std::nullopt;
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
    const std::string& input = r.project.input;
    if (r.project.inPlace)
        if (const int code = LockForInPlaceEdit(lock, input)) return code;
    CTAV_AnalyserDoc doc;
    if (const int code = LoadProjectFor(doc, input, r.magnify == "on", "; nothing written")) return code;
    const TargetSet targets = CollectTargets(doc, r);
    for (const auto k : targets)
        if (const int code = CheckPoint(doc, input, k, "; nothing written")) return code;
    for (const auto& op : r.ops)
        if (const int code = RunOp(doc, targets, op, input)) return code;
    return SaveProjectTo(doc, r.project.Destination());
}

}  // namespace

void RegisterProcessCommand(CLI::App& app, Runner& run) {
    RegisterOperationsCommand<Request>(app, run, "process", "edit processing chains and save the result", kUsage,
                                       ParseArguments, Process);
}

}  // namespace tav::cli
