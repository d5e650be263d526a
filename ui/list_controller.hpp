// The test point list's commands in the window: clipboard, undo and redo,
// delete, move, sort and ticks (recorded for undo), the pile information
// dialog, the list's own pile orders, deleting and saving the ticked test
// points, and the information panel's edits. The main window hands it the
// commands it handles and refreshes everything after each one.
#pragma once

#include <QObject>
#include <functional>

class QAction;
class QPoint;
class QWidget;

namespace tav {
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class PointClipboard;
class PointListDock;
class InfoDock;

class ListController : public QObject {
    Q_OBJECT
public:
    using ActionLookup = std::function<QAction*(int id)>;

    // editScope gives the information panel's edit scope (0 the edited row, 1 every row).
    ListController(CTAV_AnalyserDoc& doc, PointListDock& list, InfoDock& info, UserPrompts& prompts,
                   ActionLookup actions, std::function<int()> editScope, QWidget* owner);

    // The commands the table gives to the point list.
    static bool Handles(int id);
    bool Enabled(int id) const;
    void Run(int id);

    // Where "选择保存" writes; a save-file dialog unless replaced (tests).
    std::function<QString()> askSavePath;

signals:
    // The document (or the list's view of it) changed: refresh everything.
    void documentChanged();
    // Only the enabled state of commands may have changed.
    void statesChanged();

private:
    void Copy(bool cut);
    void Paste(int kind);
    void EditPileInfo();
    void SaveTicked();
    void ShowContextMenu(const QPoint& at);

    CTAV_AnalyserDoc& doc_;
    PointListDock& list_;
    UserPrompts& prompts_;
    ActionLookup actions_;
    std::function<int()> editScope_;
    QWidget* owner_;
    PointClipboard* clipboard_;
};

}  // namespace tav::ui
