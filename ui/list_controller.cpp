#include "ui/list_controller.hpp"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QTreeWidget>

#include "base/user_prompts.hpp"
#include "model/clipboard_block.hpp"
#include "model/document.hpp"
#include "model/list_commands.hpp"
#include "ui/command_table.hpp"
#include "ui/pile_info_dialog.hpp"
#include "ui/point_clipboard.hpp"
#include "ui/project_docks.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

bool HasSelection(const CTAV_AnalyserDoc& doc) {
    return doc.ValidIndex(doc.currentIndex) && (doc.selectionMode == kModePoint || doc.selectionMode == kModePile);
}

}  // namespace

ListController::ListController(CTAV_AnalyserDoc& doc, PointListDock& list, InfoDock& info, UserPrompts& prompts,
                               ActionLookup actions, std::function<int()> editScope, QWidget* owner)
    : QObject(owner), doc_(doc), list_(list), prompts_(prompts), actions_(std::move(actions)),
      editScope_(std::move(editScope)), owner_(owner), clipboard_(new PointClipboard(this)) {
    connect(clipboard_, &PointClipboard::changed, this, &ListController::statesChanged);

    // Queued: the list and the table are rebuilt afterwards, which must not
    // happen inside their own change signals.
    connect(
        &list, &PointListDock::tickClicked, this,
        [this](int index, bool ticked) {
            TickCommand(doc_, index, ticked);
            emit documentChanged();
        },
        Qt::QueuedConnection);
    list.Tree()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list.Tree(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ShowContextMenu(at); });

    connect(&info, &InfoDock::headerEdited, this, [this](bool projectName, const QString& text) {
        EditHeaderText(doc_, projectName, ToCp936(text));
        emit documentChanged();
    });
    connect(
        &info, &InfoDock::pointFieldEdited, this,
        [this](int row, int field, const QString& text) {
            const EditOutcome outcome =
                EditPointField(doc_, row, editScope_(), static_cast<PointField>(field), ToCp936(text));
            if (!outcome.refusal.empty()) prompts_.Message(outcome.refusal);
            emit documentChanged();
        },
        Qt::QueuedConnection);

    askSavePath = [this] {
        QString path = QFileDialog::getSaveFileName(owner_, QStringLiteral("选择保存"), {},
                                                    QStringLiteral("TAV数据文件(*.tav);;所有文件 (*.*)"));
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".tav");
        return path;
    };
}

bool ListController::Handles(int id) { return RuleOf(id) == Rule::PointList; }

bool ListController::Enabled(int id) const {
    const bool any = doc_.PointCount() > 0;
    switch (id) {
        case command_id::kEditCopy:
        case command_id::kEditCut:
        case command_id::kPointDelete:
        case command_id::kPileInfo: return HasSelection(doc_);
        case command_id::kEditPaste:
        case command_id::kPointInsert: return clipboard_->HoldsBlock() && HasSelection(doc_);
        case command_id::kPointAppend: return clipboard_->HoldsBlock() && (!any || HasSelection(doc_));
        case command_id::kPointUp: return CanMove(doc_, true);
        case command_id::kPointDown: return CanMove(doc_, false);
        case command_id::kEditUndo: return !doc_.undoList.empty();
        case command_id::kEditRedo: return !doc_.redoList.empty();
        case command_id::kSortAscending:
        case command_id::kSortDescending: return doc_.PointCount() > 1;
        case command_id::kDeleteTicked: return !doc_.checkedIndices.empty();
        default: return any;
    }
}

void ListController::Run(int id) {
    switch (id) {
        case command_id::kEditCopy: Copy(false); return;
        case command_id::kEditCut: Copy(true); break;
        case command_id::kEditPaste: Paste(kSnapPaste); break;
        case command_id::kPointInsert: Paste(kSnapInsert); break;
        case command_id::kPointAppend: Paste(kSnapAppend); break;
        case command_id::kPointDelete: DeleteCommand(doc_); break;
        case command_id::kPointUp: MoveCommand(doc_, true); break;
        case command_id::kPointDown: MoveCommand(doc_, false); break;
        case command_id::kEditUndo: Undo(doc_); break;
        case command_id::kEditRedo: Redo(doc_); break;
        case command_id::kSortAscending: SortCommand(doc_, true); break;
        case command_id::kSortDescending: SortCommand(doc_, false); break;
        case command_id::kTickAll: TicksCommand(doc_, kSnapTickAll); break;
        case command_id::kUntickAll: TicksCommand(doc_, kSnapUntickAll); break;
        case command_id::kInvertTicks: TicksCommand(doc_, kSnapInvertTicks); break;
        case command_id::kPileInfo: EditPileInfo(); break;
        case command_id::kOrderByPileNo: list_.SetPileOrder(PointListDock::PileOrder::ByPileNo); break;
        case command_id::kOrderByDate: list_.SetPileOrder(PointListDock::PileOrder::ByDate); break;
        case command_id::kDeleteTicked:
            if (!prompts_.YesNo(kAskDeleteTicked)) return;
            DeleteTickedPoints(doc_);
            break;
        case command_id::kSaveTicked: SaveTicked(); return;
        default: return;
    }
    emit documentChanged();
}

void ListController::Copy(bool cut) {
    const auto copied = CopySelection(doc_);
    if (!copied) return;
    clipboard_->Put(WriteClipboardBlock(*copied));
    if (cut) DeleteCommand(doc_);
}

void ListController::Paste(int kind) {
    auto held = clipboard_->Take();
    if (held) PasteCommand(doc_, std::move(*held), kind);
}

void ListController::EditPileInfo() {
    if (!HasSelection(doc_)) return;
    const std::int32_t pile = doc_.PileOrdinal(doc_.currentIndex);
    PileInfoDialog dialog(doc_, pile, prompts_, owner_);
    if (dialog.exec() != QDialog::Accepted) return;
    ApplyPileInfo(doc_, pile, dialog.Fields());
}

void ListController::SaveTicked() {
    if (doc_.PointCount() == 0) return;
    if (doc_.checkedIndices.empty()) {
        prompts_.Message(kNoneTickedToSave);
        return;
    }
    const QString path = askSavePath();
    if (path.isEmpty()) return;
    const auto result = SaveTickedPoints(doc_, path.toStdString());
    if (result == SaveTickedResult::NoneTicked) prompts_.Message(kNoneTickedToSave);
    if (result == SaveTickedResult::Saved) prompts_.Message(kSaveDone);
    if (result == SaveTickedResult::Failed) prompts_.Message(kSaveFailed);
}

void ListController::ShowContextMenu(const QPoint& at) {
    QMenu menu;
    for (const int id : PointListMenuCommands()) {
        if (id == 0) {
            menu.addSeparator();
        } else if (QAction* a = actions_(id)) {
            menu.addAction(a);
        }
    }
    menu.exec(list_.Tree()->viewport()->mapToGlobal(at));
}

}  // namespace tav::ui
