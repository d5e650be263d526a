// "自动判读": the proposed toe and defects of the current test point, listed
// with their depth and confidence and drawn on its waveform as dashed lines.
// Nothing is written until the engineer accepts a proposal: accepting runs the
// ordinary toe or defect operation at its sample, dismissing drops it.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "analysis/reflection_proposals.hpp"
#include "ui/proposal_line.hpp"

class QListWidget;
class QLabel;
class QPushButton;

namespace tav {
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class ProposalPanel : public QDialog {
    Q_OBJECT
public:
    ProposalPanel(CTAV_AnalyserDoc& doc, UserPrompts& prompts, QWidget* parent = nullptr);

    // Proposes for the test point (the site's mean speed of its pile type narrows the toe search).
    void ProposeFor(std::int32_t index);
    std::int32_t Point() const { return point_; }
    // The lines still open, for the display.
    const std::vector<ProposalLine>& Lines() const { return lines_; }
    QListWidget* List() const { return list_; }
    QLabel* Status() const { return status_; }
    // Accepts or dismisses the proposal in the given row. Accepting returns
    // whether the operation took it (the system's own messages say why not).
    bool Accept(int row);
    void Dismiss(int row);
    // RecomputeMode for an accepted toe.
    void SetRecomputeMode(std::int32_t mode) { recomputeMode_ = mode; }

signals:
    void linesChanged();
    void documentChanged();

private:
    void Fill();

    CTAV_AnalyserDoc& doc_;
    UserPrompts& prompts_;
    std::int32_t point_ = -1;
    std::int32_t recomputeMode_ = 1;
    std::vector<ProposalLine> lines_;
    std::vector<ReflectionKind> kinds_;  // per defect line
    QListWidget* list_;
    QLabel* status_;
    QPushButton* accept_;
    QPushButton* dismiss_;
};

}  // namespace tav::ui
