// "查看日志": the program's log in a read-only window, newest lines at the end.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tav::ui {

class LogViewer : public QDialog {
    Q_OBJECT
public:
    LogViewer(const QString& logPath, QWidget* parent = nullptr);
    QPlainTextEdit* Text() const { return text_; }

private:
    QPlainTextEdit* text_;
};

}  // namespace tav::ui
