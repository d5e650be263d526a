// `--panel NAME[:key=value,...] [--form popup|docked] [--edit POS]` of tavtool
// process: an operation's parameter panel typed into and confirmed, as the
// engineer would in the window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/document.hpp"
#include "processing/chain.hpp"
#include "processing/operation_panel.hpp"

namespace tav::cli {

struct PanelArgs {
    std::int32_t opType = 0;
    PanelForm form = PanelForm::Popup;
    std::optional<std::int32_t> editPosition;
    std::optional<int> choice;
    std::vector<std::pair<std::string, std::string>> texts;  // field key, text as typed
};

// Parses NAME[:key=value,...]; unknown names, keys or choice values: nothing, and why.
std::optional<PanelArgs> ParsePanelArgs(std::string_view text, std::string& why);

struct PanelOutcome {
    enum Kind { Confirmed, Refused, NothingToEdit } kind = Confirmed;
    std::string message;  // the panel's refusal, or why there is nothing to edit
};

// Opens the panel on the first target, types the texts and confirms. When
// confirmed, the step is appended (or replaces the step at the edited
// position) through the window's paths; a refusal changes nothing.
PanelOutcome RunPanel(CTAV_AnalyserDoc& doc, const TargetSet& targets, const PanelArgs& args);

}  // namespace tav::cli
