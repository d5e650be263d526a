#include "ui/analysis_view.hpp"

#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "analysis/pile_marks.hpp"
#include "analysis/wavelet_table.hpp"
#include "app/analysis_bar_store.hpp"
#include "app/app_shell.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "ui/analysis_bar.hpp"
#include "ui/command_table.hpp"
#include "ui/custom_defect_dialog.hpp"
#include "ui/qt_text.hpp"
#include "ui/select_items_dialog.hpp"

namespace tav::ui {

// ---- CWaveDisp -----------------------------------------------------------------

CWaveDisp::CWaveDisp(WaveDisplayModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model) {
    setObjectName(QStringLiteral("waveDisp"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

int CWaveDisp::ScrollY() const { return verticalScrollBar()->value(); }

QPoint CWaveDisp::ToPage(const QPoint& p) const { return {p.x(), p.y() + ScrollY()}; }

void CWaveDisp::Rebuild() {
    model_.SetClientSize(viewport()->width(), viewport()->height());
    model_.Rebuild();
    UpdateScrollBars();
    viewport()->update();
}

void CWaveDisp::UpdateScrollBars() {
    const int page = viewport()->height();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(std::max(model_.EntryHeight() / 4, 10));
    verticalScrollBar()->setRange(0, std::max(0, model_.PageHeight() - page));
}

void CWaveDisp::paintEvent(QPaintEvent*) {
    model_.SetVisibleRows(ScrollY(), ScrollY() + viewport()->height());
    QPainter painter(viewport());
    render::PaintOptions options;
    options.scrollY = ScrollY();
    render::PaintDisplay(painter, viewport()->rect(), model_, options);
    PaintProposals(painter);
}

void CWaveDisp::SetProposalLines(std::vector<ProposalLine> lines) {
    proposals_ = std::move(lines);
    viewport()->update();
}

void CWaveDisp::PaintProposals(QPainter& painter) const {
    if (proposals_.empty()) return;
    const auto& entries = model_.Entries();
    for (int e = 0; e < static_cast<int>(entries.size()); ++e) {
        const auto& entry = entries[static_cast<std::size_t>(e)];
        if (entry.kind != kKindWaveform) continue;
        for (const auto& line : proposals_) {
            if (line.point != entry.pointIndex) continue;
            const int x = model_.SampleToPixel(e, line.sample);
            if (x < entry.plot.left || x > entry.plot.right) continue;
            const int top = entry.plot.top - ScrollY();
            const int bottom = entry.plot.bottom - ScrollY();
            const QColor colour = line.toe ? QColor(0, 120, 215) : QColor(220, 90, 0);
            painter.setPen(QPen(colour, 1, Qt::DashLine));
            painter.drawLine(x, top, x, bottom);
            painter.setPen(colour);
            painter.drawText(x + 3, top + painter.fontMetrics().ascent() + 2, line.label);
        }
    }
}

void CWaveDisp::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    model_.SetClientSize(viewport()->width(), viewport()->height());
    model_.Relayout();
    UpdateScrollBars();
}

void CWaveDisp::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = ToPage(event->position().toPoint());
    if (model_.Press(p.x(), p.y())) {
        emit cursorChanged();
        emit selectionChanged();
    }
    viewport()->update();
}

void CWaveDisp::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = ToPage(event->position().toPoint());
    if (event->buttons() & Qt::LeftButton) model_.Drag(p.x(), p.y());
    else model_.MoveCursorTo(p.x(), p.y());
    viewport()->update();
}

void CWaveDisp::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = ToPage(event->position().toPoint());
    if (model_.Release(p.x(), p.y())) emit documentChanged();
    viewport()->update();
}

void CWaveDisp::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (model_.SelectedIsCustomDefect()) {
        emit editRequested();
        return;
    }
    const QPoint p = ToPage(event->position().toPoint());
    if (model_.DoubleClick(p.x(), p.y())) {
        UpdateScrollBars();
        emit selectionChanged();
    }
    viewport()->update();
}

void CWaveDisp::wheelEvent(QWheelEvent* event) {
    const QPoint p = ToPage(event->position().toPoint());
    const int delta = event->angleDelta().y();
    if (delta != 0 && model_.Wheel(p.x(), p.y(), delta > 0)) {
        // One repaint of the client area after the zoom.
        viewport()->update();
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void CWaveDisp::keyPressEvent(QKeyEvent* event) {
    bool changed = false;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            int move = 0;
            changed = model_.KeyHorizontal(event->key() == Qt::Key_Left ? -1 : 1, &move);
            if (move != 0) QCursor::setPos(QCursor::pos() + QPoint(move, 0));
            break;
        }
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (model_.Selection().valid()) break;
            model_.KeyVertical(event->key() == Qt::Key_Up ? -1 : 1);
            emit selectionChanged();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: changed = model_.KeyEnter(); break;
        case Qt::Key_Escape: model_.KeyEscape(); break;
        case Qt::Key_Delete: changed = model_.KeyDelete(); break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    if (changed) emit documentChanged();
    viewport()->update();
}

void CWaveDisp::leaveEvent(QEvent* event) {
    model_.LeaveWindow();
    viewport()->update();
    QAbstractScrollArea::leaveEvent(event);
}

void CWaveDisp::contextMenuEvent(QContextMenuEvent* event) {
    // A right click arrives from the viewport in its coordinates; the menu key on this frame.
    const QPoint local = event->reason() == QContextMenuEvent::Mouse ? event->pos() : viewport()->mapFrom(this, event->pos());
    const QPoint p = ToPage(local);
    const bool onItem = model_.Selection().valid() && model_.ItemAt(p.x(), p.y()).has_value();
    // The menu's head, toe, defect and mark commands act where the user
    // pointed, as a left click there would have placed the cursor.
    const int k = model_.EntryAt(p.x(), p.y());
    if (!onItem && k >= 0 && event->reason() == QContextMenuEvent::Mouse) {
        model_.ClearSelection();
        model_.SetCurrentEntry(k);
        model_.SetStaticCursor(k, model_.PixelToSample(k, p.x()));
        emit cursorChanged();
        emit selectionChanged();
        viewport()->update();
    }
    emit menuRequested(event->globalPos(), onItem);
}

// ---- CTAV_AnalyserView ---------------------------------------------------------

CTAV_AnalyserView::CTAV_AnalyserView(CTAV_AnalyserDoc& doc, AppShell* shell, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      shell_(shell),
      prompts_(prompts),
      measure_(std::make_unique<render::FontTextMeasure>(font())),
      model_(doc, *measure_) {
    setObjectName(QStringLiteral("analysisView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    bar_ = new AnalysisBar(doc_, this);
    disp_ = new CWaveDisp(model_, this);
    layout->addWidget(bar_);
    layout->addWidget(disp_, 1);
    LoadSettings();
    bar_->SetState(model_.bar, model_.options.waveTrainCount);

    connect(bar_, &AnalysisBar::changed, this, [this] {
        model_.bar = bar_->Settings();
        model_.options.waveTrainCount = bar_->WaveTrainCount();
        model_.ClearStaticCursor();
        model_.ClearSelection();
        SaveBarSettings();
        if (shell_) shell_->Log(AnalysisBarLogLine(bar_->ListsForLog()));
        disp_->Rebuild();
        emit selectionChanged();
    });
    connect(disp_, &CWaveDisp::cursorChanged, this, [this] {
        if (const auto c = Cursor()) emit cursorMoved(*c);
    });
    connect(disp_, &CWaveDisp::documentChanged, this, [this] {
        disp_->Rebuild();
        emit documentChanged();
    });
    connect(disp_, &CWaveDisp::selectionChanged, this, [this] {
        // Up/down and the double click change the current test point.
        const int k = model_.CurrentEntry();
        if (k >= 0) {
            const int point = model_.Entries()[static_cast<std::size_t>(k)].pointIndex;
            if (doc_.ValidIndex(point) && point != doc_.currentIndex) doc_.SelectPoint(point);
        }
        // The double click switches the scope: the bar shows and keeps it.
        if (bar_->Settings().timeScope != model_.bar.timeScope) {
            bar_->SetState(model_.bar, model_.options.waveTrainCount);
            SaveBarSettings();
        }
        emit selectionChanged();
    });
    connect(disp_, &CWaveDisp::editRequested, this, [this] { EditSelectedDefect(); });
    connect(disp_, &CWaveDisp::menuRequested, this, [this](const QPoint& at, bool onItem) { ShowMenu(at, onItem); });
}

CTAV_AnalyserView::~CTAV_AnalyserView() = default;

void CTAV_AnalyserView::LoadSettings() {
    if (!shell_) return;
    LoadAnalysisBarSettings(shell_->Settings(), model_.bar);
    NormaliseAnalysisBarSettings(model_.bar, AppWaveletTable(), doc_.PointCount());
    DisplaySettings display;
    shell_->Settings().Read(display);
    model_.options.waveTrainCount = display.waveTrainCount;
    model_.options.annotationItems = display.annotationItems;
    model_.options.scopeAll = display.operationScope == 1;
    CursorStyleSettings cursor;
    shell_->Settings().Read(cursor);
    model_.options.cursorStyle = cursor.cursorStyle;
    const auto& profile = shell_->ShellSettings();
    model_.options.fastSwitch = profile.fastSwitch;
    model_.options.wheelScale = profile.wheelScale;
    model_.options.storedHeight = profile.waveHeight;
}

void CTAV_AnalyserView::SaveBarSettings() {
    if (!shell_) return;
    SaveAnalysisBarSettings(shell_->Settings(), model_.bar);
    DisplaySettings display;
    shell_->Settings().Read(display);
    display.waveTrainCount = model_.options.waveTrainCount;
    display.annotationItems = model_.options.annotationItems;
    shell_->Settings().Write(display);
}

void CTAV_AnalyserView::SaveAnnotationItems() {
    if (!shell_) return;
    DisplaySettings display;
    shell_->Settings().Read(display);
    display.annotationItems = model_.options.annotationItems;
    shell_->Settings().Write(display);
}

void CTAV_AnalyserView::SaveCursorStyle() {
    if (!shell_) return;
    CursorStyleSettings cursor;
    cursor.cursorStyle = model_.options.cursorStyle;
    shell_->Settings().Write(cursor);
}

bool CTAV_AnalyserView::Handles(int id) const { return model_.Handles(id) || id == command_id::kMarkEdit; }

bool CTAV_AnalyserView::Enabled(int id) const {
    if (id == command_id::kMarkEdit) return shell_ != nullptr && model_.SelectedIsCustomDefect();
    return model_.Enabled(id);
}

bool CTAV_AnalyserView::Checked(int id) const { return model_.Checked(id); }

void CTAV_AnalyserView::Run(int commandId) {
    if (commandId == command_id::kMarkEdit) {
        EditSelectedDefect();
        return;
    }
    if (!model_.Handles(commandId)) return;
    const bool changed = model_.Run(commandId, prompts_);
    if (commandId == command_id::kCrossCursor || commandId == command_id::kLineCursor) SaveCursorStyle();
    disp_->Rebuild();
    if (changed) emit documentChanged();
}

void CTAV_AnalyserView::Refresh() {
    NormaliseAnalysisBarSettings(model_.bar, AppWaveletTable(), doc_.PointCount());
    bar_->SetState(model_.bar, model_.options.waveTrainCount);
    disp_->Rebuild();
}

std::vector<std::int32_t> CTAV_AnalyserView::DisplayedPoints() const { return model_.DisplayedPoints(); }

std::optional<int> CTAV_AnalyserView::Cursor() const { return model_.StaticSample(); }

int CTAV_AnalyserView::CurrentPoint() const {
    const int k = model_.CurrentEntry();
    if (k < 0 || k >= static_cast<int>(model_.Entries().size())) return -1;
    return model_.Entries()[static_cast<std::size_t>(k)].pointIndex;
}

std::optional<int> CTAV_AnalyserView::SelectedDefect() const { return model_.SelectedDefect(); }

void CTAV_AnalyserView::ClearCursor() {
    model_.ClearStaticCursor();
    model_.ClearSelection();
    disp_->viewport()->update();
}

void CTAV_AnalyserView::SetScopeAll(bool all) { model_.options.scopeAll = all; }

void CTAV_AnalyserView::SetRecomputeMode(std::int32_t mode) { model_.options.recomputeMode = mode; }

void CTAV_AnalyserView::ChooseAnnotationItems() {
    SelectItemsDialog dialog(model_.options.annotationItems, prompts_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    SetAnnotationItems(dialog.Chosen());
}

void CTAV_AnalyserView::SetAnnotationItems(const std::vector<std::int32_t>& codes) {
    model_.options.annotationItems = codes;
    SaveAnnotationItems();
    disp_->Rebuild();
}

void CTAV_AnalyserView::EditSelectedDefect() {
    if (!shell_ || !model_.SelectedIsCustomDefect()) return;
    const auto& sel = model_.Selection();
    const auto& e = model_.Entries()[static_cast<std::size_t>(sel.entry)];
    const int d = *model_.SelectedDefect();
    const auto& defect = e.copy.defects[static_cast<std::size_t>(d)];
    CustomDefectDialog dialog(shell_->ConfigFolder(), FromUtf8(DepthText(defect.depth)), FieldText(defect.name),
                              FieldText(defect.description), CustomDefectGrade(defect.type), prompts_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (EditCustomDefect(doc_, e.pointIndex, d, dialog.NameCp936(), dialog.RemarkCp936(),
                         dialog.Grade())) {
        doc_.MarkModified();
        disp_->Rebuild();
        emit documentChanged();
    }
}

void CTAV_AnalyserView::ShowMenu(const QPoint& globalPos, bool onItem) {
    QMenu menu(this);
    const auto add = [&](QMenu* m, int id) {
        const auto* info = FindCommand(id);
        QAction* a = m->addAction(info ? FromUtf8(info->menu) : QString::number(id));
        a->setEnabled(Enabled(id));
        connect(a, &QAction::triggered, this, [this, id] { Run(id); });
    };
    if (onItem) {
        QAction* del = menu.addAction(QStringLiteral("删除(&S)"));
        connect(del, &QAction::triggered, this, [this] { Run(command_id::kMarkDelete); });
        if (model_.SelectedIsCustomDefect()) {
            QAction* edit = menu.addAction(QStringLiteral("编辑(&I)"));
            connect(edit, &QAction::triggered, this, [this] { Run(command_id::kMarkEdit); });
        }
    } else {
        menu.setTitle(QStringLiteral("显示区操作"));
        const auto& st = model_.Static();
        const bool wave = !st.valid || model_.Entries()[static_cast<std::size_t>(st.entry)].kind <= kKindAverage;
        if (wave) {
            add(&menu, command_id::kPileHead);
            add(&menu, command_id::kPileToe);
            QMenu* defects = menu.addMenu(QStringLiteral("缺陷"));
            for (const int id : WaveformMenuDefects()) add(defects, id);
        } else {
            add(&menu, command_id::kMarkLine);
        }
        menu.addSeparator();
        for (const int id : WaveformMenuDisplay()) add(&menu, id);
        menu.addSeparator();
        QAction* items = menu.addAction(QStringLiteral("选择参数项..."));
        connect(items, &QAction::triggered, this, [this] { ChooseAnnotationItems(); });
    }
    menu.exec(globalPos);
}

}  // namespace tav::ui
