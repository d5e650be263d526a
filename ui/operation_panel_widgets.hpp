// The operation parameter panels on screen: one editor that shows a panel
// model (processing/operation_panel.hpp) as a popup dialog's grid or as a
// docked strip's single row, the modal popup dialog, and the strip that the
// analysis view shows in its band above the waveform.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "processing/chain_controller.hpp"
#include "processing/operation_panel.hpp"

class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QSlider;

namespace tav::ui {

inline constexpr int kDockedStripHeight = 26;

// The fields, buttons and sliders of one panel. The model holds the values;
// the editor copies the typed texts into it before every use and shows the
// texts the model rewrote afterwards.
class PanelEditor : public QWidget {
    Q_OBJECT
public:
    PanelEditor(OperationPanel& model, bool switchAllowed, QWidget* parent = nullptr);

    // Typed texts and the chosen kind or mode into the model.
    void SyncToModel();
    // The model's texts into the fields and sliders.
    void SyncFromModel();
    QLineEdit* FieldEdit(int field) const { return edits_[static_cast<std::size_t>(field)]; }
    QSlider* FieldSlider(int field) const { return sliders_[static_cast<std::size_t>(field)]; }

signals:
    void previewRequested();
    void confirmRequested();
    void cancelRequested();
    void switchRequested();
    void cursorRequested();

private:
    void BuildPopup(bool switchAllowed);
    void BuildDocked(bool switchAllowed);
    QWidget* ChoiceButtons(QWidget* parent);
    QLineEdit* MakeEdit(int field);
    void ShowFields();

    OperationPanel& model_;
    QButtonGroup* choices_ = nullptr;
    std::vector<QLineEdit*> edits_;
    std::vector<QSlider*> sliders_;
    std::vector<std::vector<QWidget*>> fieldWidgets_;  // what hides with a field
};

// What a panel run needs from its surroundings.
struct PanelHost {
    StepPreview* preview = nullptr;
    ProcessStep* step = nullptr;
    std::function<std::optional<int>()> cursorSample;    // the display's static cursor
    std::function<std::optional<int>()> traceHeight;     // the current trace's drawing height
    std::function<void(const QString&)> showRefusal;     // a plain message box
    // False once the test points the panel works on were replaced: the panel
    // then ends as cancelled at the next thing the engineer does in it.
    std::function<bool()> targetsIntact;
};

// Runs one panel (popup or strip) until it ends; shared by both forms.
class PanelRun : public QObject {
    Q_OBJECT
public:
    PanelRun(OperationPanel& model, PanelHost host, PanelEditor* editor, QObject* parent = nullptr);
    PanelResult result() const { return result_; }
    // The model was re-targeted: its fields are read into the working step again.
    void Reread();

signals:
    void finished(int result);

private:
    void Preview();
    void Confirm();
    void End(PanelResult result);
    bool Gone();

    OperationPanel& model_;
    PanelHost host_;
    PanelEditor* editor_;
    PanelResult result_ = PanelResult::Cancelled;
};

// The floating form: modal; its position is kept under the panel's DlgPos key.
class PopupPanelDialog : public QDialog {
    Q_OBJECT
public:
    PopupPanelDialog(OperationPanel& model, PanelHost host, bool switchAllowed, QWidget* parent);
    PanelEditor* Editor() const { return editor_; }
    PanelRun* Run() const { return run_; }

private:
    PanelEditor* editor_;
    PanelRun* run_;
};

// The docked form: a strip 26 pixels high; Wait runs a local event loop (the
// rest of the window stays live) until the strip ends.
class DockedPanelStrip : public QWidget {
    Q_OBJECT
public:
    DockedPanelStrip(OperationPanel& model, PanelHost host, QWidget* parent);
    PanelEditor* Editor() const { return editor_; }
    PanelResult Wait();
    // Ends the strip as cancelled (the window closes, the document goes).
    void Cancel();
    // The strip now works on another test point (see PanelRun::Reread).
    void Reread() { run_->Reread(); }

private:
    PanelEditor* editor_;
    PanelRun* run_;
};

}  // namespace tav::ui
