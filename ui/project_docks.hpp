// The docked panels beside the waveform: the test point list, the chain list
// and the information panel. They show the document and report the user's
// choices; the main window carries the choices out.
#pragma once

#include <QDockWidget>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QListWidget;
class QLabel;
class QPlainTextEdit;
class QTableWidget;
class QLineEdit;

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::ui {

class PointListDock : public QDockWidget {
    Q_OBJECT
public:
    // The order of the pile entries; the test points stay in list order.
    enum class PileOrder { List, ByPileNo, ByDate };

    PointListDock(CTAV_AnalyserDoc& doc, QWidget* parent);
    void Rebuild();
    QTreeWidget* Tree() const { return tree_; }
    void SetPileOrder(PileOrder order);

signals:
    void pointChosen(int index);
    void pileChosen(int ordinal);
    // A test point's tick box was clicked; the document is not changed yet.
    void tickClicked(int index, bool ticked);

private:
    void OnCurrentChanged(QTreeWidgetItem* item);
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void SortPileEntries();

    CTAV_AnalyserDoc& doc_;
    QTreeWidget* tree_;
    bool rebuilding_ = false;
    PileOrder order_ = PileOrder::List;
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
    // "步骤参数：" with the chosen step; empty while no step is chosen.
    QString DetailTitle() const;

signals:
    void commandRequested(int id);

private:
    void ShowDetail();

    const CTAV_AnalyserDoc& doc_;
    QListWidget* list_;
    QPlainTextEdit* detail_;
    QWidget* detailPanel_;
    QLabel* detailTitle_;
    std::vector<int> targets_;
};

class InfoDock : public QDockWidget {
    Q_OBJECT
public:
    InfoDock(const CTAV_AnalyserDoc& doc, QWidget* parent);
    void Rebuild();
    QTableWidget* Table() const { return table_; }
    QLineEdit* TestUnitField() const { return testUnit_; }
    QLineEdit* ProjectNameField() const { return projectName_; }

signals:
    // The engineer changed the test unit or project name; the document is not changed yet.
    void headerEdited(bool projectName, const QString& text);
    // A cell of the table was edited: row = test point, field = a PointField.
    void pointFieldEdited(int row, int field, const QString& text);
    // A row of the table was chosen: that test point becomes current.
    void pointChosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Del in the table: empties the current cell where an empty value is an edit the table takes.
    void ClearCurrentCell();

    const CTAV_AnalyserDoc& doc_;
    QLineEdit* testUnit_;
    QLineEdit* projectName_;
    QTableWidget* table_;
    bool rebuilding_ = false;
};

}  // namespace tav::ui
