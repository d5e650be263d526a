// A plain view of one test point's processed samples with its head and toe
// lines. Clicking places the static cursor.
#pragma once

#include <QWidget>
#include <optional>

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::ui {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(const CTAV_AnalyserDoc& doc, QWidget* parent = nullptr);

    std::optional<int> Cursor() const { return cursor_; }
    // The defect of the current test point picked by the last click, if any.
    std::optional<int> SelectedDefect() const { return selectedDefect_; }
    void ClearCursor();
    // The sample index drawn at a widget x, for the current test point.
    std::optional<int> SampleAt(int x) const;
    // The widget x of a sample of the current test point.
    double XOf(int sample) const;

signals:
    void cursorMoved(int sample);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect Plot() const;

    const CTAV_AnalyserDoc& doc_;
    std::optional<int> cursor_;
    std::optional<int> selectedDefect_;
};

}  // namespace tav::ui
