// The two report commands of the window: "生成报表" writes the spreadsheet
// report and opens it with the desktop's spreadsheet program; "生成报告" asks
// for the project facts, writes the report data file with the curve pictures
// and has the report library build the document while "请稍候" shows how far
// it has got.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "output/report_content.hpp"
#include "render/picture_drawing.hpp"

class QProgressDialog;
class QWidget;

namespace tav {
class AppShell;
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

struct ReportContext {
    CTAV_AnalyserDoc& doc;
    AppShell* shell;        // the Report/Ruler setting and the data folder; null: neither kept nor found
    UserPrompts& prompts;
    std::function<void(const QString& path)> open;  // the desktop's default application
    std::function<render::PointPictureOptions()> pictureOptions;  // as the display settings draw
    // Sees the signal matching progress dialog once it is shown; tests cancel there.
    std::function<void(QProgressDialog&)> watchFits = {};
};

class ReportCommands : public QObject {
    Q_OBJECT
public:
    ReportCommands(ReportContext context, QWidget* owner);

    static bool Handles(int id);
    bool Enabled(int id) const;
    void Run(int id);

    // The steps the commands are made of (tests run them without dialogs).
    // The workbook written and opened; nothing when there was nothing to do or
    // it failed (the user has been told).
    std::optional<std::string> SpreadsheetReport();
    // Where the report's work files go: the private temporary folder + "Quorvane/".
    static std::string WorkFolder();

    // The word-processor report up to the library: the facts' dialog has been
    // answered; checks the template, writes the data file and its pictures
    // (with matchPictures, after the fits, made with progress; a cancel stops
    // the report). Nothing when it cannot go on (the user has been told, or
    // cancelled).
    struct DocumentJob {
        std::string dataFile;
        std::string document;
        int progressTotal = 0;
        std::string unfitted;  // the test points that got no matching picture, and why; told at the end
    };
    std::optional<DocumentJob> PrepareDocumentReport(const ReportFields& facts, bool matchPictures = false);
    // The whole command: dialog, data file, then "请稍候" with the library.
    void DocumentReport();
    // The template without its extension, as the data file names it.
    std::string TemplateStem() const;

private:
    ReportContext context_;
    QWidget* owner_;
};

}  // namespace tav::ui
