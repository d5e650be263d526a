#include "ui/help_viewer.hpp"

#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace tav::ui {

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(QStringLiteral("帮助主题"));
    browser_->setOpenExternalLinks(true);
    auto* bar = new QToolBar;
    QAction* back = bar->addAction(QStringLiteral("后退"), browser_, &QTextBrowser::backward);
    QAction* forward = bar->addAction(QStringLiteral("前进"), browser_, &QTextBrowser::forward);
    bar->addAction(QStringLiteral("目录"), browser_, &QTextBrowser::home);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(browser_);
    resize(820, 680);
}

void HelpViewer::Open(const QString& path) {
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

}  // namespace tav::ui
