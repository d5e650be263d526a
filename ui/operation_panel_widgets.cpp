#include "ui/operation_panel_widgets.hpp"

#include <QButtonGroup>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

const QString kDockTip = QStringLiteral("窗体停靠");
const QString kUndockTip = QStringLiteral("窗体弹出");
constexpr int kDockedEditWidth = 64;

QPushButton* Button(const QString& text, QWidget* parent, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

// ---- PanelEditor -------------------------------------------------------------------

PanelEditor::PanelEditor(OperationPanel& model, bool switchAllowed, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("panelEditor"));
    edits_.resize(static_cast<std::size_t>(model_.FieldCount()), nullptr);
    sliders_.resize(static_cast<std::size_t>(model_.FieldCount()), nullptr);
    fieldWidgets_.resize(static_cast<std::size_t>(model_.FieldCount()));
    if (model_.form() == PanelForm::Popup) {
        BuildPopup(switchAllowed);
    } else {
        BuildDocked(switchAllowed);
    }
    SyncFromModel();
}

QWidget* PanelEditor::ChoiceButtons(QWidget* parent) {
    const auto labels = model_.ChoiceLabels();
    if (labels.empty()) return nullptr;
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    choices_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        auto* radio = new QRadioButton(FromUtf8(labels[i]), box);
        radio->setObjectName(QStringLiteral("choice%1").arg(i));
        choices_->addButton(radio, static_cast<int>(i));
        row->addWidget(radio);
    }
    connect(choices_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.SetChoice(id);
        ShowFields();
    });
    return box;
}

QLineEdit* PanelEditor::MakeEdit(int field) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(FromUtf8(model_.Fields()[static_cast<std::size_t>(field)].key));
    edits_[static_cast<std::size_t>(field)] = edit;
    // A typed value moves its slider; only the slider and "预览" preview.
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        model_.SetText(field, text.toStdString());
        if (QSlider* s = FieldSlider(field)) {
            const QSignalBlocker block(s);
            s->setValue(model_.SliderPosition(field));
        }
    });
    return edit;
}

void PanelEditor::BuildPopup(bool switchAllowed) {
    auto* grid = new QGridLayout(this);
    int row = 0;
    if (QWidget* choices = ChoiceButtons(this)) grid->addWidget(choices, row++, 0, 1, 3);
    for (int f = 0; f < model_.FieldCount(); ++f, ++row) {
        auto* label = new QLabel(FromUtf8(model_.Label(f)), this);
        QLineEdit* edit = MakeEdit(f);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        auto& hides = fieldWidgets_[static_cast<std::size_t>(f)];
        hides = {label, edit};
        if (const auto range = model_.Slider(f)) {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setObjectName(edit->objectName() + QStringLiteral("Slider"));
            slider->setRange(range->min, range->max);
            slider->setSingleStep(range->lineStep);
            slider->setPageStep(range->pageStep);
            slider->setMinimumWidth(160);
            sliders_[static_cast<std::size_t>(f)] = slider;
            grid->addWidget(slider, row, 2);
            hides.push_back(slider);
            connect(slider, &QSlider::valueChanged, this, [this, f](int position) {
                SyncToModel();
                model_.MoveSlider(f, position);
                SyncFromModel();
                emit previewRequested();
            });
        }
    }
    auto* buttons = new QHBoxLayout;
    if (model_.CursorField() >= 0) {
        QPushButton* cursor = Button(QStringLiteral("游标"), this, "cursorButton");
        connect(cursor, &QPushButton::clicked, this, &PanelEditor::cursorRequested);
        buttons->addWidget(cursor);
    }
    QPushButton* preview = Button(QStringLiteral("预览"), this, "previewButton");
    QPushButton* ok = Button(QStringLiteral("确定"), this, "okButton");
    QPushButton* cancel = Button(QStringLiteral("取消"), this, "cancelButton");
    auto* dock = new QToolButton(this);
    dock->setObjectName(QStringLiteral("switchButton"));
    dock->setText(QStringLiteral("⇲"));
    dock->setToolTip(kDockTip);
    dock->setEnabled(switchAllowed);
    ok->setDefault(true);
    buttons->addWidget(preview);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(dock);
    grid->addLayout(buttons, row, 0, 1, 3);
    connect(preview, &QPushButton::clicked, this, &PanelEditor::previewRequested);
    connect(ok, &QPushButton::clicked, this, &PanelEditor::confirmRequested);
    connect(cancel, &QPushButton::clicked, this, &PanelEditor::cancelRequested);
    connect(dock, &QToolButton::clicked, this, &PanelEditor::switchRequested);
}

void PanelEditor::BuildDocked(bool switchAllowed) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    if (QWidget* choices = ChoiceButtons(this)) row->addWidget(choices);
    for (int f = 0; f < model_.FieldCount(); ++f) {
        auto* label = new QLabel(FromUtf8(model_.Label(f)), this);
        QLineEdit* edit = MakeEdit(f);
        edit->setFixedWidth(kDockedEditWidth);
        connect(edit, &QLineEdit::returnPressed, this, &PanelEditor::confirmRequested);
        row->addWidget(label);
        row->addWidget(edit);
        fieldWidgets_[static_cast<std::size_t>(f)] = {label, edit};
    }
    row->addStretch();
    QPushButton* preview = Button(QStringLiteral("预览"), this, "previewButton");
    QPushButton* ok = Button(QStringLiteral("确定"), this, "okButton");
    QPushButton* cancel = Button(QStringLiteral("取消"), this, "cancelButton");
    auto* undock = new QToolButton(this);
    undock->setObjectName(QStringLiteral("switchButton"));
    undock->setText(QStringLiteral("⇱"));
    undock->setToolTip(kUndockTip);
    undock->setEnabled(switchAllowed);
    for (QWidget* w : std::initializer_list<QWidget*>{preview, ok, cancel, undock}) {
        w->setFixedHeight(kDockedStripHeight - 4);
        row->addWidget(w);
    }
    connect(preview, &QPushButton::clicked, this, &PanelEditor::previewRequested);
    connect(ok, &QPushButton::clicked, this, &PanelEditor::confirmRequested);
    connect(cancel, &QPushButton::clicked, this, &PanelEditor::cancelRequested);
    connect(undock, &QToolButton::clicked, this, &PanelEditor::switchRequested);
}

void PanelEditor::ShowFields() {
    for (int f = 0; f < model_.FieldCount(); ++f)
        for (QWidget* w : fieldWidgets_[static_cast<std::size_t>(f)]) w->setVisible(model_.FieldShown(f));
}

void PanelEditor::SyncToModel() {
    if (choices_ && choices_->checkedId() >= 0) model_.SetChoice(choices_->checkedId());
    for (int f = 0; f < model_.FieldCount(); ++f) model_.SetText(f, FieldEdit(f)->text().toStdString());
}

void PanelEditor::SyncFromModel() {
    if (choices_)
        if (QAbstractButton* b = choices_->button(model_.Choice())) b->setChecked(true);
    for (int f = 0; f < model_.FieldCount(); ++f) {
        const QString text = FromUtf8(model_.Text(f));
        if (FieldEdit(f)->text() != text) FieldEdit(f)->setText(text);
        if (QSlider* s = FieldSlider(f)) {
            const QSignalBlocker block(s);
            s->setValue(model_.SliderPosition(f));
        }
    }
    ShowFields();
}

// ---- PanelRun ------------------------------------------------------------------------

PanelRun::PanelRun(OperationPanel& model, PanelHost host, PanelEditor* editor, QObject* parent)
    : QObject(parent), model_(model), host_(std::move(host)), editor_(editor) {
    connect(editor_, &PanelEditor::previewRequested, this, &PanelRun::Preview);
    connect(editor_, &PanelEditor::confirmRequested, this, &PanelRun::Confirm);
    connect(editor_, &PanelEditor::cancelRequested, this, [this] { End(PanelResult::Cancelled); });
    connect(editor_, &PanelEditor::switchRequested, this, [this] {
        if (Gone()) return;
        editor_->SyncToModel();
        End(PanelResult::SwitchForm);
    });
    connect(editor_, &PanelEditor::cursorRequested, this, [this] {
        const auto sample = host_.cursorSample ? host_.cursorSample() : std::nullopt;
        if (!sample || Gone()) return;
        editor_->SyncToModel();
        model_.TakeCursor(*sample);
        editor_->SyncFromModel();
    });
}

bool PanelRun::Gone() {
    if (!host_.targetsIntact || host_.targetsIntact()) return false;
    End(PanelResult::Cancelled);
    return true;
}

void PanelRun::Preview() {
    if (Gone()) return;
    editor_->SyncToModel();
    model_.Read(*host_.step, host_.traceHeight ? host_.traceHeight() : std::nullopt);
    editor_->SyncFromModel();
    if (host_.preview) host_.preview->Preview(*host_.step);
}

void PanelRun::Reread() {
    editor_->SyncToModel();
    model_.Read(*host_.step, host_.traceHeight ? host_.traceHeight() : std::nullopt);
    editor_->SyncFromModel();
}

void PanelRun::Confirm() {
    if (Gone()) return;
    editor_->SyncToModel();
    const auto height = host_.traceHeight ? host_.traceHeight() : std::nullopt;
    const auto refusal = model_.Confirm(*host_.step, height);
    editor_->SyncFromModel();
    if (refusal) {
        if (host_.showRefusal) host_.showRefusal(FromUtf8(*refusal));
        return;
    }
    End(PanelResult::Confirmed);
}

void PanelRun::End(PanelResult result) {
    result_ = result;
    emit finished(static_cast<int>(result));
}

// ---- the two forms -------------------------------------------------------------------

PopupPanelDialog::PopupPanelDialog(OperationPanel& model, PanelHost host, bool switchAllowed, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("popupPanel"));
    setWindowTitle(FromUtf8(model.Title()));
    auto* layout = new QHBoxLayout(this);
    editor_ = new PanelEditor(model, switchAllowed, this);
    layout->addWidget(editor_);
    run_ = new PanelRun(model, std::move(host), editor_, this);
    connect(run_, &PanelRun::finished, this, [this](int result) { done(result); });
}

DockedPanelStrip::DockedPanelStrip(OperationPanel& model, PanelHost host, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("dockedPanel"));
    setFixedHeight(kDockedStripHeight);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(FromUtf8(model.Title()), this);
    title->setStyleSheet(QStringLiteral("font-weight: bold; padding: 0 6px;"));
    layout->addWidget(title);
    editor_ = new PanelEditor(model, true, this);
    layout->addWidget(editor_, 1);
    run_ = new PanelRun(model, std::move(host), editor_, this);
}

PanelResult DockedPanelStrip::Wait() {
    QEventLoop loop;
    connect(run_, &PanelRun::finished, &loop, [&loop](int result) { loop.exit(result); });
    show();
    if (QWidget* first = editor_->FieldEdit(0)) first->setFocus();
    return static_cast<PanelResult>(loop.exec());
}

void DockedPanelStrip::Cancel() { editor_->cancelRequested(); }

}  // namespace tav::ui
