#include "ui/print_controller.hpp"

#include <QFileDialog>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/app_shell.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

PrintController::PrintController(CTAV_AnalyserDoc& doc, CTAV_AnalyserView& view, AppShell* shell, UserPrompts& prompts,
                                 std::function<QString()> filePath, QWidget* owner)
    : QObject(owner), doc_(doc), view_(view), shell_(shell), prompts_(prompts), filePath_(std::move(filePath)),
      owner_(owner) {
    if (shell_)
        if (const auto read = ReadPrintSettings(shell_->Settings())) settings_ = *read;
}

bool PrintController::Handles(int id) {
    return id == command_id::kFilePrint || id == command_id::kFilePrintPreview || id == command_id::kFilePrintSetup;
}

bool PrintController::Enabled(int id) const { return id == command_id::kFilePrintSetup || doc_.PointCount() > 0; }

void PrintController::Run(int id) {
    switch (id) {
        case command_id::kFilePrintSetup: EditSettings(QStringLiteral("确定")); break;
        case command_id::kFilePrintPreview: Preview(); break;
        case command_id::kFilePrint: Print(); break;
        default: break;
    }
}

bool PrintController::StoreSettings(const PrintSettings& settings) {
    settings_ = settings;
    return !shell_ || WritePrintSettings(shell_->Settings(), settings_);
}

bool PrintController::EditSettings(const QString& okText) {
    PrintSettingsDialog dialog(settings_, printer_, prompts_, okText, owner_);
    if (dialog.exec() != QDialog::Accepted) return false;
    printer_ = dialog.Printer();
    StoreSettings(dialog.Settings());
    return true;
}

render::PrintJob PrintController::Prepare(QSizeF sheetMm) {
    render::PrintJob job = render::PreparePrintJob(doc_, settings_, sheetMm, filePath_().toStdString(), &view_.Model());
    if (job.layout.pages <= 0) {
        if (!job.layout.message.empty()) prompts_.Message(job.layout.message);
        if (shell_) shell_->Log("打印取消：" + (job.layout.message.empty() ? job.layout.reason : job.layout.message));
    }
    return job;
}

void PrintController::SetUpPrinter(QPrinter& printer) const {
    if (printer_.ToPdf()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
    } else {
        printer.setPrinterName(printer_.printerName);
    }
    printer.setPageSize(QPageSize(printer_.paper));
    printer.setPageOrientation(printer_.orientation);
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("TAV Analyser"));
}

bool PrintController::PrintOn(QPrinter& printer) {
    printer.setFullPage(true);
    const render::PrintJob job = Prepare(printer.pageLayout().fullRect(QPageLayout::Millimeter).size());
    if (job.layout.pages <= 0) return false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        prompts_.Message("打印失败：无法使用打印机“" + printer.printerName().toStdString() + "”。");
        return false;
    }
    render::PaintPrintPages(painter, printer, doc_, job, 1, job.layout.pages);
    return painter.end();
}

bool PrintController::PrintToPdf(const QString& path) {
    const render::PrintJob job = Prepare(printer_.SheetMm());
    if (job.layout.pages <= 0) return false;
    std::string error;
    if (render::WritePrintPdf(path, doc_, job, &error)) return true;
    prompts_.Message("写PDF文件失败：" + path.toStdString() + "\n" + error);
    return false;
}

void PrintController::Print() {
    if (!EditSettings(QStringLiteral("打印"))) return;
    if (printer_.ToPdf()) {
        QString path = printer_.pdfPath;
        if (path.isEmpty())
            path = QFileDialog::getSaveFileName(owner_, QStringLiteral("打印到PDF文件"), {}, QStringLiteral("PDF文件(*.pdf)"));
        if (path.isEmpty()) return;
        if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
        printer_.pdfPath = path;
        PrintToPdf(path);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    PrintOn(printer);
}

std::unique_ptr<QPrintPreviewDialog> PrintController::MakePreview(QPrinter& printer) {
    // A job with nothing to print says so before the preview opens.
    if (Prepare(printer.pageLayout().fullRect(QPageLayout::Millimeter).size()).layout.pages <= 0) return nullptr;
    auto dialog = std::make_unique<QPrintPreviewDialog>(&printer, owner_);
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    connect(dialog.get(), &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintOn(*p); });
    dialog->resize(900, 1000);
    return dialog;
}

void PrintController::Preview() {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    if (auto dialog = MakePreview(printer)) dialog->exec();
}

}  // namespace tav::ui
