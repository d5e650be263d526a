#include "processing/chain_controller.hpp"

#include "base/format.hpp"
#include "processing/operations.hpp"

namespace tav {

namespace {

struct CommandOp {
    int id;
    std::int32_t opType;
};

constexpr CommandOp kCreate[] = {
    {command_id::kFilter, kOpFilter},
    {command_id::kMagnify, kOpMagnify},
    {command_id::kSmooth, kOpSmooth},
    {command_id::kIntegrate, kOpIntegrate},
    {command_id::kDifferentiate, kOpDifferentiate},
    {command_id::kRemoveDc, kOpRemoveDc},
    {command_id::kRotate, kOpRotate},
    {command_id::kLinearZero, kOpLinearZero},
    {command_id::kNonlinearZero, kOpNonlinearZero},
    {command_id::kFrontZero, kOpFrontZero},
    {command_id::kRearZero, kOpRearZero},
    {command_id::kLocalScale, kOpLocalScale},
    {command_id::kShift, kOpShift},
    {command_id::kReverse, kOpReverse},
};

constexpr CommandOp kInsert[] = {
    {command_id::kInsertFilter, kOpFilter},
    {command_id::kInsertMagnify, kOpMagnify},
    {command_id::kInsertRemoveDc, kOpRemoveDc},
    {command_id::kInsertSmooth, kOpSmooth},
    {command_id::kInsertIntegrate, kOpIntegrate},
    {command_id::kInsertDifferentiate, kOpDifferentiate},
    {command_id::kInsertRotate, kOpRotate},
    {command_id::kInsertLinearZero, kOpLinearZero},
    {command_id::kInsertNonlinearZero, kOpNonlinearZero},
    {command_id::kInsertFrontZero, kOpFrontZero},
    {command_id::kInsertRearZero, kOpRearZero},
    {command_id::kInsertLocalScale, kOpLocalScale},
    {command_id::kInsertShift, kOpShift},
    {command_id::kInsertReverse, kOpReverse},
    {command_id::kChainListInsertFilter, kOpFilter},
    {command_id::kChainListInsertMagnify, kOpMagnify},
    {command_id::kChainListInsertRemoveDc, kOpRemoveDc},
    {command_id::kChainListInsertSmooth, kOpSmooth},
    {command_id::kChainListInsertIntegrate, kOpIntegrate},
    {command_id::kChainListInsertRotate, kOpRotate},
    {command_id::kChainListInsertReverse, kOpReverse},
};

template <std::size_t N>
std::int32_t Lookup(const CommandOp (&table)[N], int id) {
    for (const auto& c : table)
        if (c.id == id) return c.opType;
    return 0;
}

class DocumentPreview final : public StepPreview {
public:
    DocumentPreview(CTAV_AnalyserDoc& doc, const TargetSet& targets) : doc_(doc), targets_(targets) {}
    void Preview(const ProcessStep& step) override {
        PreviewStep(doc_, targets_, step);
        doc_.ResetDisplayRange(targets_);
        doc_.Events().RefreshViews();
    }

private:
    CTAV_AnalyserDoc& doc_;
    const TargetSet& targets_;
};

}  // namespace

std::int32_t OperationOfCreateCommand(int id) {
    return Lookup(kCreate, id);
}
std::int32_t OperationOfInsertCommand(int id) {
    return Lookup(kInsert, id);
}

bool HasPanel(std::int32_t opType) { return Operation(opType).panel != nullptr; }

OperationPanel OpenPanelModel(std::optional<OperationPanel>& carried, const PanelRequest& request,
                              const TestPoint* current, const ProcessStep& step) {
    std::optional<OperationPanel> taken;
    taken.swap(carried);
    if (taken && taken->opType() == request.opType && taken->editFlag() == request.editFlag) {
        taken->SwitchForm(request.form);
        return *taken;
    }
    OperationPanel fresh(request.opType, request.form, request.editFlag, current);
    fresh.Open(step);
    return fresh;
}

ChainController::ChainController(CTAV_AnalyserDoc& doc, ChainView& view, StepPanels& panels)
    : doc_(doc), view_(view), panels_(panels) {}

bool ChainController::Handles(int id) {
    using namespace command_id;
    return OperationOfCreateCommand(id) != 0 || OperationOfInsertCommand(id) != 0 || id == kStepEdit ||
           id == kChainListEdit || id == kStepDelete || id == kChainListDelete || id == kStepClear ||
           id == kChainListClear || id == kUndoLast || id == kScopeCurrent || id == kScopeAll;
}

bool ChainController::OnCommand(int id) {
    using namespace command_id;
    if (const std::int32_t op = OperationOfCreateCommand(id)) {
        Create(op);
    } else if (const std::int32_t inserted = OperationOfInsertCommand(id)) {
        Insert(inserted);
    } else if (id == kStepEdit || id == kChainListEdit) {
        Edit();
    } else if (id == kStepDelete || id == kChainListDelete) {
        Delete();
    } else if (id == kStepClear || id == kChainListClear) {
        Clear(id == kChainListClear);
    } else if (id == kUndoLast) {
        UndoLast();
    } else if (id == kScopeCurrent || id == kScopeAll) {
        scope_ = id == kScopeAll ? Scope::AllWaveforms : Scope::CurrentWaveform;
        view_.ChainChanged();  // the chain list follows the targets
    } else {
        return false;
    }
    return true;
}

TargetSet ChainController::Targets() const {
    return BuildTargetSet(doc_, view_.DisplayedPoints(), scope_ == Scope::AllWaveforms);
}

ChainList ChainController::CurrentChainList() const {
    return BuildChainList(doc_, Targets());
}

bool ChainController::RunPanel(std::int32_t opType, TargetSet& targets, int editFlag, ProcessStep& step) {
    if (!HasPanel(opType)) return true;
    PanelRequest request;
    request.opType = opType;
    request.editFlag = editFlag;
    request.formLocked = view_.SecondaryDisplayMode();
    // The preview follows `targets` as FollowCurrentPoint changes them.
    DocumentPreview preview(doc_, targets);
    running_ = Running{opType, editFlag, &targets, &step};
    for (;;) {
        request.targets = targets;
        request.form = request.formLocked ? PanelForm::Popup : form_;
        const PanelResult result = panels_.Run(request, step, preview);
        if (result != PanelResult::SwitchForm) {
            running_.reset();
            return result == PanelResult::Confirmed;
        }
        if (!request.formLocked) form_ = form_ == PanelForm::Popup ? PanelForm::Docked : PanelForm::Popup;
    }
}

ChainController::Follow ChainController::FollowCurrentPoint() {
    if (!running_ || view_.TargetsReplaced()) return {};
    TargetSet& targets = *running_->targets;
    const std::int32_t opType = running_->opType;
    const std::int32_t row = doc_.stepInsertPos;
    const bool creating = doc_.stepInsertMode != 1 && doc_.stepInsertMode != 2;
    TargetSet now = Targets();
    if (creating && view_.RestrictToFirstTarget() && now.size() > 1) now.resize(1);
    if (now == targets) return {};
    if (now.empty()) return {false, "没有选中的测点，参数面板已关闭。"};
    ProcessStep fresh;
    fresh.opType = opType;
    if (!creating) {
        const ChainList list = BuildChainList(doc_, now);
        if (doc_.stepInsertMode == 1) {
            if (!list.Editable(row) || list.rows[static_cast<std::size_t>(row)].opType != opType)
                return {false, Format("当前测点的第%d步处理不是“%s”，无法修改，参数面板已关闭。", row + 1,
                                      std::string(OperationName(opType)).c_str())};
            fresh = list.rows[static_cast<std::size_t>(row)];
        } else if (!list.ValidRow(row)) {
            return {false, Format("当前测点没有第%d步处理，无法在其前插入，参数面板已关闭。", row + 1)};
        }
    } else {
        fresh = PrefillNewStep(doc_, now, opType, view_.CursorSample());
    }
    // The old targets get their stored chains back, as after a cancelled panel.
    ReapplyChain(doc_, targets);
    doc_.ResetDisplayRange(targets);
    targets = std::move(now);
    *running_->step = fresh;
    doc_.Events().RefreshViews();
    return {true, std::nullopt};
}

void ChainController::Create(std::int32_t opType) {
    if (doc_.PointCount() == 0 || view_.DisplayedPoints().empty()) return;
    if (view_.SecondaryDisplayMode() && Operation(opType).timeDomainOnly) return;
    TargetSet targets = Targets();
    if (targets.empty()) return;
    ProcessStep step = PrefillNewStep(doc_, targets, opType, view_.CursorSample());
    if (view_.RestrictToFirstTarget()) targets.resize(1);
    doc_.stepInsertMode = 0;
    const bool confirmed = RunPanel(opType, targets, 0, step);
    if (view_.TargetsReplaced()) {
        view_.ChainChanged();
        return;
    }
    FinishNewStep(doc_, targets, step, confirmed);
    view_.ChainChanged();
}

void ChainController::Edit() {
    if (!view_.ChainListShown()) return;
    const ChainList list = CurrentChainList();
    const std::int32_t row = view_.SelectedChainRow();
    if (!list.Editable(row)) return;
    ProcessStep step = list.rows[static_cast<std::size_t>(row)];
    if (!HasPanel(step.opType)) return;
    doc_.stepInsertMode = 1;
    doc_.stepInsertPos = row;
    TargetSet targets = list.targets;
    const bool confirmed = RunPanel(step.opType, targets, 1, step);
    if (view_.TargetsReplaced()) {
        view_.ChainChanged();
        return;
    }
    FinishEditedStep(doc_, targets, step, row, confirmed);
    view_.ChainChanged();
}

void ChainController::Insert(std::int32_t opType) {
    if (!view_.ChainListShown()) return;
    const ChainList list = CurrentChainList();
    const std::int32_t row = view_.SelectedChainRow();
    if (!list.ValidRow(row)) return;
    ProcessStep step;
    step.opType = opType;
    doc_.stepInsertMode = 2;
    doc_.stepInsertPos = row;
    TargetSet targets = list.targets;
    const bool confirmed = RunPanel(opType, targets, 0, step);
    if (view_.TargetsReplaced()) {
        view_.ChainChanged();
        return;
    }
    FinishInsertedStep(doc_, targets, step, row, confirmed);
    view_.ChainChanged();
}

void ChainController::Delete() {
    if (!view_.ChainListShown()) return;
    const ChainList list = CurrentChainList();
    const std::int32_t row = view_.SelectedChainRow();
    if (!list.ValidRow(row)) return;
    DeleteStepCommand(doc_, list.targets, row);
    view_.ChainChanged();
}

void ChainController::Clear(bool ask) {
    if (!view_.ChainListShown()) return;
    if (ask && !view_.AskOkCancel(kClearQuestion, kClearCaption)) return;
    ClearStepsCommand(doc_, Targets());
    view_.ChainChanged();
}

void ChainController::UndoLast() {
    if (CurrentChainList().RowCount() == 0) return;
    UndoLastStepCommand(doc_, Targets());
    view_.ChainChanged();
}

}  // namespace tav
