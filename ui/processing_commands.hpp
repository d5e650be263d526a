// The window's processing commands: the 波形处理 menu, the toolbar and the
// chain list's edit, insert, delete and clear, run through the chain
// controller with the analysis view and the chain list as its view and the
// popup dialogs and docked strips as its panels.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "processing/chain_controller.hpp"
#include "ui/operation_panel_widgets.hpp"

class QWidget;

namespace tav {
class AppShell;
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class CTAV_AnalyserView;
class ChainDock;

class ProcessingCommands : public QObject, public ChainView, public StepPanels {
    Q_OBJECT
public:
    ProcessingCommands(CTAV_AnalyserDoc& doc, CTAV_AnalyserView& view, ChainDock& chain, AppShell* shell,
                       UserPrompts& prompts, QWidget* window);
    ~ProcessingCommands() override;

    // The processing commands this runs (the scope commands stay with the window).
    static bool Handles(int id);
    // Every processing command works while a test point is shown; none while a panel is open.
    bool Enabled(int id) const;
    void RunCommand(int id, bool scopeAll);

    // The panel being shown, if any (tests type into it).
    PopupPanelDialog* OpenPopup() const { return popup_; }
    DockedPanelStrip* OpenStrip() const { return strip_; }
    bool PanelOpen() const { return running_; }
    // Ends an open panel as cancelled (the window is closing).
    void CancelOpenPanel();
    // The window is about to replace or extend the project's test points (a
    // file opened while a docked strip waits): an open panel ends, its step dropped.
    void ProjectChanging();
    // The current test point may have changed (the list, the view): an open
    // docked strip follows it, or ends with a message when it cannot.
    void FollowCurrentPoint();

    // ChainView
    std::vector<std::int32_t> DisplayedPoints() const override;
    bool SecondaryDisplayMode() const override;
    std::optional<std::int32_t> CursorSample() const override;
    bool ChainListShown() const override;
    std::int32_t SelectedChainRow() const override;
    bool AskOkCancel(std::string_view text, std::string_view caption) override;
    void ChainChanged() override;
    bool TargetsReplaced() const override;

    // StepPanels
    PanelResult Run(const PanelRequest& request, ProcessStep& step, StepPreview& preview) override;

signals:
    // A panel opened or closed, or the chain changed: the window refreshes.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelResult RunPopup(OperationPanel& model, const PanelRequest& request, PanelHost host);
    PanelResult RunDocked(OperationPanel& model, PanelHost host);
    std::optional<int> TraceHeight() const;
    void NoteTargets(const TargetSet& targets);

    CTAV_AnalyserDoc& doc_;
    CTAV_AnalyserView& view_;
    ChainDock& chain_;
    AppShell* shell_;
    UserPrompts& prompts_;
    QWidget* window_;
    ChainController controller_;
    std::optional<OperationPanel> carried_;  // across a switch of form
    OperationPanel* model_ = nullptr;        // of the panel being shown
    QPointer<PopupPanelDialog> popup_;
    QPointer<DockedPanelStrip> strip_;
    bool running_ = false;
    // The targets of the running command as they were when its panel opened:
    // index and sample buffer of each, and the number of test points.
    std::vector<std::pair<std::int32_t, const float*>> openedOn_;
    std::int32_t openedWithCount_ = 0;
    bool projectChanged_ = false;
};

}  // namespace tav::ui
