// "导入TAV2015原始数据": choose instrument files in a folder tree and a save
// folder, then merge them into project files.
#pragma once

#include <QDialog>
#include <optional>

#include "model/merge_selection.hpp"

class QTreeWidget;
class QTreeWidgetItem;
class QLineEdit;
class QRadioButton;

namespace tav::ui {

class MergeDialog : public QDialog {
    Q_OBJECT
public:
    // drives: the tree's top level (tests give their own folders).
    explicit MergeDialog(const std::vector<std::string>& drives, QWidget* parent = nullptr);

    // After the merge button: the merge's report.
    const std::optional<MergeReport>& Report() const { return report_; }
    MergeSelection& Selection() { return selection_; }
    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* SaveFolderField() const { return folder_; }
    void PressMerge();

private:
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, int node);
    void Fill(QTreeWidgetItem* item);
    void SyncChecks(QTreeWidgetItem* item);

    MergeSelection selection_;
    QTreeWidget* tree_;
    QLineEdit* folder_;
    QRadioButton* perPile_;
    std::optional<MergeReport> report_;
    bool syncing_ = false;
};

}  // namespace tav::ui
