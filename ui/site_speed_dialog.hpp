// "桩身波速统计": every pile of the project with its wave speed and whether it
// counts in its pile type's site mean, and the command that gives the mean to
// the piles the engineer ticks. Each apply is one undoable record head edit.
#pragma once

#include <QDialog>

#include "analysis/site_speed.hpp"

class QTreeWidget;
class QPushButton;

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::ui {

class SiteSpeedDialog : public QDialog {
    Q_OBJECT
public:
    explicit SiteSpeedDialog(CTAV_AnalyserDoc& doc, QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return tree_; }
    const SiteSpeedStats& Stats() const { return stats_; }
    // Ticks or unticks the pile row (group, pile) for the apply command.
    void SetChosen(int group, int pile, bool chosen);
    // Gives each ticked pile the mean of its pile type; the number of test points changed.
    int ApplyMean();

signals:
    // The document changed (the undo list holds the edit).
    void applied();

private:
    void Rebuild();
    void UpdateButton();

    CTAV_AnalyserDoc& doc_;
    SiteSpeedStats stats_;
    QTreeWidget* tree_;
    QPushButton* apply_;
};

}  // namespace tav::ui
