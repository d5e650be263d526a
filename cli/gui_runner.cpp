#include <QGuiApplication>
#include <iostream>

#include "cli/command.hpp"

namespace tav::cli {

int RunWithGui(const std::function<int()>& body) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder and the like) would only
    // clutter the one-line-per-problem stderr; its errors still come through.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "tavtool: " << message.toStdString() << "\n";
    });
    int argc = 1;
    char name[] = "tavtool";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    return body();
}

}  // namespace tav::cli
