#include "ui/log_viewer.hpp"

#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tav::ui {

LogViewer::LogViewer(const QString& logPath, QWidget* parent) : QDialog(parent), text_(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("查看日志"));
    setObjectName(QStringLiteral("logViewer"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFile file(logPath);
    if (file.open(QIODevice::ReadOnly)) {
        text_->setPlainText(QString::fromUtf8(file.readAll()));
    } else {
        text_->setPlainText(QStringLiteral("日志文件“%1”无法读取：%2").arg(logPath, file.errorString()));
    }
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    resize(800, 500);
}

}  // namespace tav::ui
