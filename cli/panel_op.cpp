#include "cli/panel_op.hpp"

#include "processing/operations.hpp"

namespace tav::cli {

std::optional<PanelArgs> ParsePanelArgs(std::string_view text, std::string& why) {
    PanelArgs args;
    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const std::int32_t op = OperationOfToolName(name);
    if (Operation(op).panel != nullptr) args.opType = op;
    if (args.opType == 0) {
        why = "no panel named '" + std::string(name) + "'";
        return std::nullopt;
    }
    if (colon == std::string_view::npos) return args;
    const OperationPanel panel(args.opType, PanelForm::Popup, 0, nullptr);
    std::string_view rest = text.substr(colon + 1);
    while (true) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const auto eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        if (eq == std::string_view::npos) {
            why = "'" + std::string(item) + "' in '" + std::string(text) + "' has no '='";
            return std::nullopt;
        }
        const std::string_view value = item.substr(eq + 1);
        if (!panel.ChoiceKey().empty() && key == panel.ChoiceKey()) {
            const auto names = panel.ChoiceNames();
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i] == value) args.choice = static_cast<int>(i);
            if (!args.choice) {
                why = "unknown " + std::string(key) + " '" + std::string(value) + "' of panel '" + std::string(name) + "'";
                return std::nullopt;
            }
        } else if (panel.FieldIndex(key) >= 0) {
            args.texts.emplace_back(std::string(key), std::string(value));
        } else {
            why = "panel '" + std::string(name) + "' has no field '" + std::string(key) + "'";
            return std::nullopt;
        }
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    return args;
}

PanelOutcome RunPanel(CTAV_AnalyserDoc& doc, const TargetSet& targets, const PanelArgs& args) {
    const auto nothing = [](std::string why) { return PanelOutcome{PanelOutcome::NothingToEdit, std::move(why)}; };
    if (targets.empty() || !doc.ValidIndex(targets.front())) return nothing("no test point to work on");
    const TestPoint& first = doc.points[static_cast<std::size_t>(targets.front())];
    ProcessStep step;
    if (args.editPosition) {
        const std::int32_t pos = *args.editPosition;
        if (pos < 0 || pos >= first.stepCount()) return nothing("the chain has no step at position " + std::to_string(pos));
        step = first.steps[static_cast<std::size_t>(pos)];
        if (step.opType != args.opType)
            return nothing("the step at position " + std::to_string(pos) + " is " +
                           std::string(OperationName(step.opType)) + ", not this panel's operation");
    } else {
        // tavtool has no display cursor to preset positions from.
        step = PrefillNewStep(doc, targets, args.opType, std::nullopt);
    }
    OperationPanel panel(args.opType, args.form, args.editPosition ? 1 : 0, &first);
    panel.Open(step);
    if (args.choice) panel.SetChoice(*args.choice);
    for (const auto& [key, text] : args.texts) panel.SetText(panel.FieldIndex(key), text);
    // No analysis view: the rotation's scale keeps its value, as with no trace.
    if (auto refusal = panel.Confirm(step, std::nullopt)) return {PanelOutcome::Refused, std::move(*refusal)};
    if (args.editPosition) {
        doc.stepInsertMode = 1;
        doc.stepInsertPos = *args.editPosition;
        FinishEditedStep(doc, targets, step, *args.editPosition, true);
    } else {
        doc.stepInsertMode = 0;
        FinishNewStep(doc, targets, step, true);
    }
    return {};
}

}  // namespace tav::cli
