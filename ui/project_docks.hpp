// The docked panels beside the waveform: the test point list, the chain list
// and the information panel. They show the document and report the user's
// choices; the main window carries the choices out.
#pragma once

#include <QDockWidget>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::ui {

class PointListDock : public QDockWidget {
    Q_OBJECT
public:
    PointListDock(CTAV_AnalyserDoc& doc, QWidget* parent);
    void Rebuild();
    QTreeWidget* Tree() const { return tree_; }

signals:
    void pointChosen(int index);
    void pileChosen(int ordinal);
    void checksChanged();

private:
    void OnCurrentChanged(QTreeWidgetItem* item);
    void OnItemChanged(QTreeWidgetItem* item, int column);

    CTAV_AnalyserDoc& doc_;
    QTreeWidget* tree_;
    bool rebuilding_ = false;
};

class ChainDock : public QDockWidget {
    Q_OBJECT
public:
    ChainDock(const CTAV_AnalyserDoc& doc, QWidget* parent);
    // Shows the chain list of the targets; keeps the selected row where it can.
    void Rebuild(const std::vector<int>& targets);
    int SelectedRow() const;
    int RowCount() const;
    QListWidget* List() const { return list_; }

signals:
    void commandRequested(int id);

private:
    void ShowDetail();

    const CTAV_AnalyserDoc& doc_;
    QListWidget* list_;
    QPlainTextEdit* detail_;
    std::vector<int> targets_;
};

class InfoDock : public QDockWidget {
    Q_OBJECT
public:
    InfoDock(const CTAV_AnalyserDoc& doc, QWidget* parent);
    void Rebuild();
    QTableWidget* Table() const { return table_; }

private:
    const CTAV_AnalyserDoc& doc_;
    QTableWidget* table_;
};

}  // namespace tav::ui
