// "信号拟合": the pile model fitted to the current test point's record on a
// worker thread (analysis/signal_match.hpp), with progress and cancel; then
// the measured and fitted curves over the pile's profile, the segments and the
// soil, and the picture saved on request.
#pragma once

#include <QDialog>
#include <QWidget>
#include <atomic>
#include <thread>

#include "analysis/signal_match.hpp"
#include "model/test_point.hpp"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace tav::ui {

// The curves and the profile, drawn by render/match_picture.
class MatchPictureWidget : public QWidget {
    Q_OBJECT
public:
    explicit MatchPictureWidget(QWidget* parent = nullptr);
    void SetResult(const MatchResult& result, const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MatchResult result_;
    QString caption_;
};

class SignalMatchDialog : public QDialog {
    Q_OBJECT
public:
    // Starts the fit of a copy of the test point at once.
    explicit SignalMatchDialog(const TestPoint& point, QWidget* parent = nullptr);
    ~SignalMatchDialog() override;

    bool Running() const { return worker_.joinable(); }
    const MatchResult& Result() const { return result_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* StatusLine() const { return status_; }
    QTableWidget* SegmentTable() const { return segments_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* SaveButton() const { return save_; }

    void Cancel();
    // Closing stops the fit and waits for the worker.
    void reject() override;
    // Writes the picture (format by the extension: bmp, jpg or png); "" or why not.
    QString SavePicture(const QString& path) const;

private:
    void Poll();
    void Finish();
    void AskAndSave();

    TestPoint point_;
    MatchResult result_;
    std::thread worker_;
    std::atomic<int> cancelFlag_{0};
    std::atomic<int> progressPermille_{0};
    std::atomic<int> done_{0};

    MatchPictureWidget* picture_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QTableWidget* segments_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* save_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace tav::ui
