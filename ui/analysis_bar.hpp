// The analysis bar above the waveform display: analysis type and the lists
// of each type (scopes, statistics with their test points "[%d] %s",
// spectrum types, wavelet family, order and levels), and the wave train's
// entry count. Changes go to the display model's state.
#pragma once

#include <QWidget>
#include <array>

#include "analysis/analysis_bar.hpp"

class QComboBox;
class QLabel;
class QSpinBox;

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::ui {

class AnalysisBar : public QWidget {
    Q_OBJECT
public:
    AnalysisBar(const CTAV_AnalyserDoc& doc, QWidget* parent = nullptr);

    // Fills the lists from the settings and the project (no signal).
    void SetState(const AnalysisBarSettings& settings, int waveTrainCount);
    const AnalysisBarSettings& Settings() const { return settings_; }
    int WaveTrainCount() const { return trainCount_; }
    // The bar's lists as the log line names them: index and text of each.
    std::vector<std::pair<std::int32_t, std::string>> ListsForLog() const;

signals:
    void changed();

private:
    void Refill();
    void Read();

    const CTAV_AnalyserDoc& doc_;
    AnalysisBarSettings settings_;
    int trainCount_ = 3;
    bool filling_ = false;
    QComboBox* type_;
    std::array<QLabel*, 4> labels_{};
    std::array<QComboBox*, 4> lists_{};
    QLabel* countLabel_;
    QSpinBox* count_;
};

}  // namespace tav::ui
