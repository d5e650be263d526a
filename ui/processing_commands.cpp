#include "ui/processing_commands.hpp"

#include <QAbstractScrollArea>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "app/app_shell.hpp"
#include "app/panel_position.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "ui/analysis_view.hpp"
#include "ui/message_boxes.hpp"
#include "ui/project_docks.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

// The DlgPos key of a floating panel; the other panels open where the platform puts them.
std::string_view PositionKey(std::int32_t opType) {
    switch (opType) {
        case kOpFilter: return kPanelKeyFilter;
        case kOpMagnify: return kPanelKeyMagnify;
        case kOpSmooth: return kPanelKeyFlat;
        case kOpRotate: return kPanelKeyRotate;
        case kOpRemoveDc: return kPanelKeyCutDc;
        default: return {};
    }
}

ScreenRect ToScreenRect(const QRect& r) { return {r.left(), r.top(), r.width(), r.height()}; }

}  // namespace

ProcessingCommands::ProcessingCommands(CTAV_AnalyserDoc& doc, CTAV_AnalyserView& view, ChainDock& chain,
                                       AppShell* shell, UserPrompts& prompts, QWidget* window)
    : QObject(window),
      doc_(doc),
      view_(view),
      chain_(chain),
      shell_(shell),
      prompts_(prompts),
      window_(window),
      controller_(doc, *this, *this) {
    window_->installEventFilter(this);
}

ProcessingCommands::~ProcessingCommands() = default;

bool ProcessingCommands::Handles(int id) {
    return ChainController::Handles(id) && id != command_id::kScopeCurrent && id != command_id::kScopeAll;
}

bool ProcessingCommands::Enabled(int id) const {
    return Handles(id) && !running_ && !DisplayedPoints().empty();
}

void ProcessingCommands::RunCommand(int id, bool scopeAll) {
    if (!Enabled(id)) return;
    openedOn_.clear();
    projectChanged_ = false;
    controller_.SetScope(scopeAll ? Scope::AllWaveforms : Scope::CurrentWaveform);
    controller_.OnCommand(id);
    emit changed();
}

void ProcessingCommands::CancelOpenPanel() {
    if (strip_) strip_->Cancel();
    if (popup_) popup_->reject();
}

void ProcessingCommands::ProjectChanging() {
    if (!running_) return;
    projectChanged_ = true;
    CancelOpenPanel();
}

void ProcessingCommands::FollowCurrentPoint() {
    // A popup is modal: only the docked strip lets the engineer pick another test point.
    if (!running_ || !strip_ || model_ == nullptr) return;
    const ChainController::Follow follow = controller_.FollowCurrentPoint();
    if (follow.refusal) {
        prompts_.Message(*follow.refusal);
        strip_->Cancel();
        return;
    }
    if (!follow.moved) return;
    const TargetSet targets = controller_.PanelTargets();
    model_->Retarget(&doc_.points[static_cast<std::size_t>(targets.front())]);
    NoteTargets(targets);
    strip_->Reread();
}

void ProcessingCommands::NoteTargets(const TargetSet& targets) {
    openedOn_.clear();
    openedWithCount_ = doc_.PointCount();
    for (const auto i : targets)
        if (doc_.ValidIndex(i)) openedOn_.emplace_back(i, doc_.points[static_cast<std::size_t>(i)].rawSamples.data());
}

bool ProcessingCommands::eventFilter(QObject* watched, QEvent* event) {
    // A window closing while a strip waits must not leave the strip's loop running.
    if (watched == window_ && event->type() == QEvent::Close && running_) CancelOpenPanel();
    return QObject::eventFilter(watched, event);
}

// ---- ChainView -------------------------------------------------------------------------

std::vector<std::int32_t> ProcessingCommands::DisplayedPoints() const { return view_.DisplayedPoints(); }

bool ProcessingCommands::SecondaryDisplayMode() const {
    // Statistics, frequency and wavelet analysis show other things than the waveform itself.
    return view_.Model().bar.analysisType != kAnalysisTime;
}

std::optional<std::int32_t> ProcessingCommands::CursorSample() const { return view_.Cursor(); }

bool ProcessingCommands::ChainListShown() const { return !chain_.isHidden(); }

std::int32_t ProcessingCommands::SelectedChainRow() const { return chain_.SelectedRow(); }

bool ProcessingCommands::AskOkCancel(std::string_view text, std::string_view caption) {
    return ui::AskOkCancel(window_, FromUtf8(text), FromUtf8(caption));
}

void ProcessingCommands::ChainChanged() { emit changed(); }

bool ProcessingCommands::TargetsReplaced() const {
    if (projectChanged_) return true;
    if (openedOn_.empty()) return false;
    if (doc_.PointCount() != openedWithCount_) return true;
    for (const auto& [index, samples] : openedOn_)
        if (!doc_.ValidIndex(index) || doc_.points[static_cast<std::size_t>(index)].rawSamples.data() != samples)
            return true;
    return false;
}

// ---- StepPanels ----------------------------------------------------------------------------

std::optional<int> ProcessingCommands::TraceHeight() const {
    const auto& model = view_.Model();
    const int current = model.CurrentEntry();
    if (current < 0 || current >= static_cast<int>(model.Entries().size())) return std::nullopt;
    return model.Entries()[static_cast<std::size_t>(current)].plot.Height();
}

PanelResult ProcessingCommands::Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) {
    const TestPoint* current =
        !request.targets.empty() && doc_.ValidIndex(request.targets.front())
            ? &doc_.points[static_cast<std::size_t>(request.targets.front())]
            : nullptr;
    OperationPanel model = OpenPanelModel(carried_, request, current, step);
    if (openedOn_.empty()) NoteTargets(request.targets);

    // Every change shows at once: the preview, then the view rebuilt from the document.
    class ViewPreview final : public StepPreview {
    public:
        ViewPreview(StepPreview& inner, CTAV_AnalyserView& view) : inner_(inner), view_(view) {}
        void Preview(const ProcessStep& s) override {
            inner_.Preview(s);
            view_.Refresh();
        }

    private:
        StepPreview& inner_;
        CTAV_AnalyserView& view_;
    } viewPreview(preview, view_);

    PanelHost host;
    host.preview = &viewPreview;
    host.step = &step;
    host.cursorSample = [this] { return view_.Cursor(); };
    host.traceHeight = [this] { return TraceHeight(); };
    host.showRefusal = [this](const QString& text) { prompts_.Message(text.toStdString()); };
    host.targetsIntact = [this] { return !TargetsReplaced(); };

    running_ = true;
    model_ = &model;
    emit changed();
    const PanelResult result =
        request.form == PanelForm::Popup ? RunPopup(model, request, std::move(host)) : RunDocked(model, std::move(host));
    model_ = nullptr;
    running_ = false;
    if (result == PanelResult::SwitchForm) carried_ = model;
    return result;
}

PanelResult ProcessingCommands::RunPopup(OperationPanel& model, const PanelRequest& request, PanelHost host) {
    PopupPanelDialog dialog(model, std::move(host), !request.formLocked, window_);
    popup_ = &dialog;
    dialog.adjustSize();
    const std::string_view key = PositionKey(request.opType);
    if (shell_ && !key.empty()) {
        QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
        const QWidget* wave = view_.Display()->viewport();
        const QRect waveRect(wave->mapToGlobal(QPoint(0, 0)), wave->size());
        const PanelPlacement place =
            RestorePanelPosition(shell_->Profile(), key, dialog.width(), dialog.height(),
                                 ToScreenRect(screen ? screen->geometry() : QRect()), ToScreenRect(waveRect));
        if (place.kind == PanelPlacementKind::MoveTo) dialog.move(place.x, place.y);
    }
    const int code = dialog.exec();
    popup_ = nullptr;
    const PanelResult result = code == static_cast<int>(PanelResult::Confirmed)    ? PanelResult::Confirmed
                               : code == static_cast<int>(PanelResult::SwitchForm) ? PanelResult::SwitchForm
                                                                                   : PanelResult::Cancelled;
    if (shell_ && !key.empty() && result != PanelResult::SwitchForm)
        SavePanelPosition(shell_->Profile(), key, dialog.frameGeometry().left(), dialog.frameGeometry().top());
    return result;
}

PanelResult ProcessingCommands::RunDocked(OperationPanel& model, PanelHost host) {
    auto* strip = new DockedPanelStrip(model, std::move(host), &view_);
    // The band above the waveform, at the top of the analysis view.
    if (auto* layout = qobject_cast<QVBoxLayout*>(view_.layout())) layout->insertWidget(0, strip);
    strip_ = strip;
    const PanelResult result = strip->Wait();
    strip_ = nullptr;
    strip->hide();
    strip->deleteLater();
    return result;
}

}  // namespace tav::ui
