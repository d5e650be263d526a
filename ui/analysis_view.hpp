// The analysis view: the analysis bar over the scrolling waveform display
// `CWaveDisp`. The view owns the display model, runs the display, mark and
// analysis commands, and keeps its settings in the SELT, DISP and CURS files.
#pragma once

#include <QAbstractScrollArea>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "render/wave_painter.hpp"
#include "ui/proposal_line.hpp"

namespace tav {
class AppShell;
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class AnalysisBar;

class CWaveDisp : public QAbstractScrollArea {
    Q_OBJECT
public:
    CWaveDisp(WaveDisplayModel& model, QWidget* parent = nullptr);
    // Rebuilds the model for the viewport's size and repaints.
    void Rebuild();
    int ScrollY() const;
    // The page point under a viewport point.
    QPoint ToPage(const QPoint& viewportPoint) const;
    // Dashed lines drawn over the waveforms of their test points.
    void SetProposalLines(std::vector<ProposalLine> lines);
    const std::vector<ProposalLine>& ProposalLines() const { return proposals_; }

signals:
    void cursorChanged();
    void documentChanged();
    void selectionChanged();
    void editRequested();
    void menuRequested(const QPoint& globalPos, bool onItem);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void UpdateScrollBars();
    void PaintProposals(QPainter& painter) const;

    WaveDisplayModel& model_;
    std::vector<ProposalLine> proposals_;
};

class CTAV_AnalyserView : public QWidget {
    Q_OBJECT
public:
    CTAV_AnalyserView(CTAV_AnalyserDoc& doc, AppShell* shell, UserPrompts& prompts, QWidget* parent = nullptr);
    ~CTAV_AnalyserView() override;

    // Display, mark and analysis commands.
    bool Handles(int id) const;
    bool Enabled(int id) const;
    bool Checked(int id) const;
    void Run(int commandId);

    // After the document changed elsewhere (selection, chain, file).
    void Refresh();
    std::vector<std::int32_t> DisplayedPoints() const;
    // The static cursor's sample index (head, toe, defect and processing commands).
    std::optional<int> Cursor() const;
    // The test point of the display's current entry; -1 when no entry is current.
    int CurrentPoint() const;
    std::optional<int> SelectedDefect() const;
    void ClearCursor();
    void SetScopeAll(bool all);
    void SetRecomputeMode(std::int32_t mode);
    // "选择参数项": asks for the annotation items, then applies them.
    void ChooseAnnotationItems();
    // Shows and keeps (in the DISP file) the annotation items in this order.
    void SetAnnotationItems(const std::vector<std::int32_t>& codes);

    WaveDisplayModel& Model() { return model_; }
    CWaveDisp* Display() { return disp_; }
    AnalysisBar* Bar() { return bar_; }

signals:
    void documentChanged();
    void selectionChanged();
    void cursorMoved(int sample);

private:
    void LoadSettings();
    void SaveBarSettings();
    void SaveCursorStyle();
    void SaveAnnotationItems();
    void EditSelectedDefect();
    void ShowMenu(const QPoint& globalPos, bool onItem);

    CTAV_AnalyserDoc& doc_;
    AppShell* shell_;
    UserPrompts& prompts_;
    std::unique_ptr<render::FontTextMeasure> measure_;
    WaveDisplayModel model_;
    AnalysisBar* bar_;
    CWaveDisp* disp_;
};

}  // namespace tav::ui
