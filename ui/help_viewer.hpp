// The program's own window for the manual. It needs no desktop browser, so
// F1 works also where none starts (a root session, a bare workstation).
#pragma once

#include <QWidget>

class QTextBrowser;

namespace tav::ui {

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // Shows the page (an HTML file); links within the manual open here, links
    // to the web in the desktop's browser.
    void Open(const QString& path);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace tav::ui
