// The workstation's executable: start-up, the window, shutdown.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "ui/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tav-analyser"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("project file to open"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("draw the window into a PNG file and exit"), QStringLiteral("png"));
    parser.addOption(screenshot);
    parser.process(app);

    tav::ui::MainWindow window;
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) window.OpenPath(files.back().trimmed());

    if (parser.isSet(screenshot)) {
        window.resize(1280, 800);
        window.show();
        QApplication::processEvents();
        const QString out = parser.value(screenshot);
        if (!window.grab().save(out, "PNG")) {
            std::fprintf(stderr, "tav_analyser: cannot write %s\n", qPrintable(out));
            return 3;
        }
        std::printf("%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
        return 0;
    }
    window.showMaximized();
    return QApplication::exec();
}
