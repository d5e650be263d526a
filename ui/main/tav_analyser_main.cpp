// The workstation's executable: start-up, the window, shutdown.
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "base/atomic_file.hpp"
#include "ui/main_window.hpp"
#include "ui/qt_translations.hpp"

namespace {

// A picture drawn without anyone at the screen: messages go to the error
// output and every question is answered no, so nothing waits for a click.
class UnattendedPrompts : public tav::UserPrompts {
public:
    void Message(std::string_view utf8Text) override {
        std::fprintf(stderr, "tav_analyser: %.*s\n", static_cast<int>(utf8Text.size()), utf8Text.data());
    }
    bool YesNo(std::string_view utf8Text) override {
        Message(utf8Text);
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tav-analyser"));
    tav::ui::InstallQtTranslations(app);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("project file to open"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("draw the window into a PNG file and exit"), QStringLiteral("png"));
    parser.addOption(screenshot);
    QCommandLineOption analysis(QStringLiteral("analysis"),
                                QStringLiteral("analysis type shown first: 0 time, 1 statistics, 2 frequency, 3 wavelet"),
                                QStringLiteral("type"));
    parser.addOption(analysis);
    parser.process(app);

    // Messages of the start-up itself have no window to sit on yet.
    tav::ui::MessageBoxPrompts startupPrompts(nullptr);
    UnattendedPrompts unattended;
    const bool drawOnly = parser.isSet(screenshot);
    tav::AppShellOptions options;
    for (const auto& a : parser.positionalArguments()) options.arguments.push_back(a.toStdString());
    options.prompts = drawOnly ? static_cast<tav::UserPrompts*>(&unattended) : &startupPrompts;
    tav::AppShell shell(options);
    if (!shell.Startup()) return 1;

    tav::ui::MainWindow window(&shell);
    if (drawOnly) window.SetPrompts(&unattended);
    if (!shell.FileArgument().empty()) window.OpenPath(QString::fromStdString(shell.FileArgument()));

    if (parser.isSet(analysis)) {
        if (auto* type = window.findChild<QComboBox*>(QStringLiteral("analysisType")))
            type->setCurrentIndex(parser.value(analysis).toInt());
    }
    if (drawOnly) {
        window.resize(1280, 800);
        window.show();
        QApplication::processEvents();
        const QString out = parser.value(screenshot);
        tav::AtomicFileWriter file(out.toStdString());
        if (!file.Ok() || !window.grab().save(QString::fromStdString(file.HandOverPath()), "PNG") || !file.Commit()) {
            std::fprintf(stderr, "tav_analyser: cannot write %s\n", qPrintable(out));
            return 3;
        }
        std::printf("%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
        shell.Shutdown();
        return 0;
    }
    window.showMaximized();
    const int code = QApplication::exec();
    shell.Shutdown();
    return code;
}
