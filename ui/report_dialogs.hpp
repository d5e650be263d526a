// The word-processor report's dialogs: "工程信息" asks for the project facts
// and the standard followed; "请稍候" runs the report library on a worker
// thread and shows how far it has got.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "output/report_content.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tav::ui {

class ReportInfoDialog : public QDialog {
    Q_OBJECT
public:
    ReportInfoDialog(const ReportFields& initial, QWidget* parent = nullptr);
    ReportFields Fields() const;
    // The line of a label of the dialog ("报告编号", ..., "总 桩 数"); null for another.
    QLineEdit* Field(std::string_view label) const;
    QComboBox* StandardList() const { return standard_; }
    // "每个测点的曲线图后附信号拟合图": off unless chosen.
    QCheckBox* MatchBox() const { return match_; }

    void accept() override;

private:
    std::vector<QLineEdit*> lines_;  // in the order of ReportFieldLabels()
    QComboBox* standard_;
    QCheckBox* match_;
};

class ReportProgressDialog : public QDialog {
    Q_OBJECT
public:
    enum State { Running = 1, Failed = 2, Done = 3 };
    static constexpr int kTickMilliseconds = 100;

    ReportProgressDialog(std::string library, std::string dataFile, std::string document, int progressTotal,
                         QWidget* parent = nullptr);
    ~ReportProgressDialog() override;

    State CurrentState() const { return static_cast<State>(state_.load()); }
    QString ProgressText() const;
    QPushButton* OkButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Start();
    void Tick();

    std::string library_;
    std::string dataFile_;
    std::string document_;
    int total_;
    std::int32_t progress_ = 0;  // raised by the library on the worker thread
    std::atomic<int> state_{Running};
    std::string error_;          // written by the worker before it leaves Running
    std::thread worker_;
    bool started_ = false;
    QLabel* text_;
    QProgressBar* animation_;
    QPushButton* ok_;
    QTimer* timer_;
};

}  // namespace tav::ui
