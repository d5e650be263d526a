// The window's printing: "打印设置", "打印预览" and "打印". Holds the page
// settings (kept in the PRINT settings file) and the printer chosen last, lays
// the job out when printing is prepared, and draws the pages on a CUPS printer,
// a preview or a PDF file through the same page painter as tavtool.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "output/print_settings.hpp"
#include "render/print_painter.hpp"
#include "ui/print_settings_dialog.hpp"

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace tav {
class AppShell;
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class CTAV_AnalyserView;

class PrintController : public QObject {
    Q_OBJECT
public:
    // filePath: the open project's path, for the table's "文件名".
    PrintController(CTAV_AnalyserDoc& doc, CTAV_AnalyserView& view, AppShell* shell, UserPrompts& prompts,
                    std::function<QString()> filePath, QWidget* owner);

    static bool Handles(int id);
    bool Enabled(int id) const;
    void Run(int id);

    PrintSettings& Settings() { return settings_; }
    PrinterChoice& Printer() { return printer_; }

    // The steps the commands are made of (tests run them without dialogs).
    // Keeps new settings: in memory, and in the settings file when there is one.
    bool StoreSettings(const PrintSettings& settings);
    // Lays the job out for a sheet; a cancelled job shows its message, if any.
    render::PrintJob Prepare(QSizeF sheetMm);
    // Prints every page of the job on a printer (or the preview's printer).
    bool PrintOn(QPrinter& printer);
    bool PrintToPdf(const QString& path);
    // The printer of the current choice: the named CUPS printer, or a PDF one.
    void SetUpPrinter(QPrinter& printer) const;
    // The preview of the job on that printer, not yet shown; nothing when the
    // job has nothing to print (its message has then been shown).
    std::unique_ptr<QPrintPreviewDialog> MakePreview(QPrinter& printer);

private:
    bool EditSettings(const QString& okText);
    void Print();
    void Preview();

    CTAV_AnalyserDoc& doc_;
    CTAV_AnalyserView& view_;
    AppShell* shell_;
    UserPrompts& prompts_;
    std::function<QString()> filePath_;
    QWidget* owner_;
    PrintSettings settings_;
    PrinterChoice printer_;
};

}  // namespace tav::ui
