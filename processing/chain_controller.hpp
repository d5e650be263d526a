// The processing commands of the analysis view and of the chain list, without
// any user interface: the window forwards its command ids here and supplies
// the view's state (ChainView) and the operation panels (StepPanels).
//
// Paths:
// - create (the operation commands): prefill from the first target's
//   lastParams, cursor presets, panel (stepInsertMode 0), then append;
// - edit (kStepEdit, kChainListEdit): the selected chain list row, panel
//   (mode 1), replace;
// - insert before (kInsert… and the chain list's kChainListInsert…): a
//   default step of the command's type, panel (mode 2), insert;
// - delete (kStepDelete, kChainListDelete), clear (kStepClear; the chain
//   list's kChainListClear asks first), undo the last step (kUndoLast);
// - scope (kScopeCurrent, kScopeAll).
// The ids are named in processing/command_ids.hpp.
// Integration, differentiation and reversal have no panel and count as
// confirmed at once; editing such a row has nothing to change and does nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/document.hpp"
#include "model/process_step.hpp"
#include "processing/chain.hpp"
#include "processing/chain_list.hpp"
#include "processing/command_ids.hpp"
#include "processing/operation_panel.hpp"

namespace tav {

// The operation code a create command makes, or 0.
std::int32_t OperationOfCreateCommand(int id);
// The operation code an insert command (main menu or chain list) makes, or 0.
std::int32_t OperationOfInsertCommand(int id);
// Integration, differentiation and reversal have no parameters and no panel,
// nor has a code without an operation (0, 14, 15).
bool HasPanel(std::int32_t opType);

enum class PanelResult : int { Confirmed = 1, Cancelled = 2, SwitchForm = 110 };
enum class Scope : int { CurrentWaveform = 0, AllWaveforms = 1 };

// Given to a panel so that every change of a value shows on the waveforms.
class StepPreview {
public:
    virtual ~StepPreview() = default;
    // Runs the step as the one under edit (PreviewStep for the targets), resets
    // their display ranges and redraws the views.
    virtual void Preview(const ProcessStep& step) = 0;
};

struct PanelRequest {
    std::int32_t opType = 0;
    TargetSet targets;  // the first is the current test point
    int editFlag = 0;   // 1 an existing step is edited, 0 a new or inserted step
    PanelForm form = PanelForm::Popup;
    bool formLocked = false;  // secondary display mode: popup forced, no dock button
};

// The operation parameter panels (implemented by the window).
class StepPanels {
public:
    virtual ~StepPanels() = default;
    // Runs the panel of request.opType on the working step, writing what the
    // user entered into it; calls preview.Preview on every change. Returns how
    // the panel ended; SwitchForm makes the controller flip the form and run
    // the panel again on the same step.
    virtual PanelResult Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) = 0;
};

// The panel model a run works on: after a switch of form the one carried
// over (everything entered so far, now in the requested form), else a fresh
// one opened on the working step. `carried` is emptied either way.
OperationPanel OpenPanelModel(std::optional<OperationPanel>& carried, const PanelRequest& request,
                              const TestPoint* current, const ProcessStep& step);

// What the controller needs to know of the analysis view and the chain list.
class ChainView {
public:
    virtual ~ChainView() = default;
    // Test point indices of the displayed traces (empty: nothing displayed).
    virtual std::vector<std::int32_t> DisplayedPoints() const = 0;
    // One of the secondary display modes: rotation, zeroing, local scaling,
    // shift and reversal are not available, panels are forced to popups.
    virtual bool SecondaryDisplayMode() const { return false; }
    // The display mode that restricts a new step to the first target.
    virtual bool RestrictToFirstTarget() const { return false; }
    // The sample index of the display's active cursor, if one is set.
    virtual std::optional<std::int32_t> CursorSample() const { return std::nullopt; }
    virtual bool ChainListShown() const { return true; }
    // The selected chain list row, -1 for none.
    virtual std::int32_t SelectedChainRow() const { return -1; }
    // The project's test points were replaced while a panel waited (a file
    // opened from the still-live window): the panel's step and its preset
    // values belong to none of them and are dropped unapplied.
    virtual bool TargetsReplaced() const { return false; }
    // An OK / Cancel question; true for OK.
    virtual bool AskOkCancel(std::string_view text, std::string_view caption) = 0;
    // The chain changed: rebuild the chain list and restore its selection.
    virtual void ChainChanged() {}
};

class ChainController {
public:
    ChainController(CTAV_AnalyserDoc& doc, ChainView& view, StepPanels& panels);

    // Runs the command; false when the id is not one of the processing commands.
    bool OnCommand(int id);
    static bool Handles(int id);

    Scope scope() const { return scope_; }
    void SetScope(Scope scope) { scope_ = scope; }
    // The panel form setting: popup at every start, never stored.
    PanelForm form() const { return form_; }

    // The targets of the next command, and the chain list over them.
    TargetSet Targets() const;
    ChainList CurrentChainList() const;

    // A docked panel stays open while the engineer picks another test point.
    // While a panel runs, this makes it follow the current one: when the
    // targets the command would now have differ from the panel's, any preview
    // on the old ones is dropped, the panel's targets become the new ones and
    // the working step is started afresh for them (the panel then reads its
    // fields into it again). When the new current test point cannot take the
    // step (no current one; an edited or insertion row its chain does not
    // have), nothing moves and the message says why: the panel is to end,
    // cancelled.
    struct Follow {
        bool moved = false;
        std::optional<std::string> refusal;
    };
    Follow FollowCurrentPoint();
    // The targets of the running panel (empty while none runs).
    TargetSet PanelTargets() const { return running_ ? *running_->targets : TargetSet{}; }

    // The chain list's clear question.
    static constexpr std::string_view kClearQuestion = "确实要清除所有处理过程吗？";
    static constexpr std::string_view kClearCaption = "提示";

private:
    void Create(std::int32_t opType);
    void Edit();
    void Insert(std::int32_t opType);
    void Delete();
    void Clear(bool ask);
    void UndoLast();
    // Runs the panel until it ends with confirm or cancel; true when confirmed.
    bool RunPanel(std::int32_t opType, TargetSet& targets, int editFlag, ProcessStep& step);

    // The panel being run: what FollowCurrentPoint re-targets.
    struct Running {
        std::int32_t opType = 0;
        int editFlag = 0;
        TargetSet* targets = nullptr;
        ProcessStep* step = nullptr;
    };

    CTAV_AnalyserDoc& doc_;
    ChainView& view_;
    StepPanels& panels_;
    std::optional<Running> running_;
    Scope scope_ = Scope::CurrentWaveform;
    PanelForm form_ = PanelForm::Popup;
};

}  // namespace tav
