#include "ui/report_commands.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QWidget>

#include "app/app_shell.hpp"
#include "app/config_profile.hpp"
#include "app/temp_folder.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "output/report_data_file.hpp"
#include "output/report_library_call.hpp"
#include "output/report_writer.hpp"
#include "output/spreadsheet_report.hpp"
#include "render/point_pictures.hpp"
#include "ui/command_table.hpp"
#include "ui/match_fit_progress.hpp"
#include "ui/report_dialogs.hpp"

namespace tav::ui {

namespace {

// The first "报表N.xlsx" not yet in the folder: a workbook the user still has
// open in the spreadsheet program is never written over.
std::string FreeWorkbookName(const std::string& folder) {
    for (int n = 1;; ++n) {
        const std::string path = folder + "报表" + std::to_string(n) + ".xlsx";
        if (!QFileInfo::exists(QString::fromStdString(path))) return path;
    }
}

}  // namespace

ReportCommands::ReportCommands(ReportContext context, QWidget* owner)
    : QObject(owner), context_(std::move(context)), owner_(owner) {}

bool ReportCommands::Handles(int id) {
    return id == command_id::kSpreadsheetReport || id == command_id::kDocumentReport;
}

bool ReportCommands::Enabled(int /*id*/) const { return context_.doc.PointCount() > 0; }

void ReportCommands::Run(int id) {
    if (id == command_id::kSpreadsheetReport) SpreadsheetReport();
    if (id == command_id::kDocumentReport) DocumentReport();
}

std::string ReportCommands::WorkFolder() { return ReportWorkFolder(); }

std::optional<std::string> ReportCommands::SpreadsheetReport() {
    auto& doc = context_.doc;
    if (doc.PointCount() == 0) return std::nullopt;
    if (doc.checkedIndices.empty()) {
        context_.prompts.Message("请选择要生成报表的测点");
        return std::nullopt;
    }
    std::string error;
    const std::string folder = WorkFolder();
    if (folder.empty()) error = "没有可用的临时文件夹";
    const std::string path = folder.empty() ? std::string() : FreeWorkbookName(folder);
    if (folder.empty() || !WriteSpreadsheetReport(path, doc, doc.checkedIndices, &error)) {
        context_.prompts.Message("创建Excel服务失败!\n" + error);
        return std::nullopt;
    }
    if (context_.open) context_.open(QString::fromStdString(path));
    return path;
}

std::string ReportCommands::TemplateStem() const {
    const std::string data =
        context_.shell ? context_.shell->Folders().data : ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath()).data;
    return data + "Report";
}

std::optional<ReportCommands::DocumentJob> ReportCommands::PrepareDocumentReport(const ReportFields& facts,
                                                                                 bool matchPictures) {
    const std::string folder = WorkFolder();
    const std::string stem = TemplateStem();
    if (!QFileInfo::exists(QString::fromStdString(stem + kReportTemplateExtension))) {
        context_.prompts.Message("模版文件" + stem + kReportTemplateExtension + "不存在！");
        return std::nullopt;
    }
    DocumentJob job;
    job.dataFile = folder + "TAV.gwx";
    ReportDataRequest request;
    request.checked = context_.doc.checkedIndices;
    request.facts = facts;
    request.templatePath = stem;
    request.pictureFolder = folder;
    render::PointPictures pictures(context_.doc,
                                   context_.pictureOptions ? context_.pictureOptions() : render::PointPictureOptions{});
    render::PictureFitter fit;
    if (matchPictures)
        fit = [&](std::span<const std::int32_t> points) {
            return FitWithProgress(owner_, context_.doc, points, context_.watchFits);
        };
    if (!pictures.FillReport(request, fit)) return std::nullopt;
    job.unfitted = pictures.UnfittedSummary();
    ReportDataResult result;
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = !folder.empty() && WriteReportDataFile(job.dataFile, context_.doc, request, &result, &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        context_.prompts.Message(error.empty() || error == "创建文件失败！" ? "创建文件失败！" : "创建文件失败！\n" + error);
        return std::nullopt;
    }
    job.document = ReportDocumentPath(job.dataFile);
    job.progressTotal = result.progressTotal;
    return job;
}

void ReportCommands::DocumentReport() {
    auto& doc = context_.doc;
    if (doc.PointCount() == 0) return;
    if (doc.checkedIndices.empty()) {
        context_.prompts.Message("先请选择要生成报告的测点");
        return;
    }
    ReportFields initial;
    initial.projectName = Cp936ToUtf8(TextOf(doc.header.projectName));
    initial.testUnit = Cp936ToUtf8(TextOf(doc.header.testUnit));
    initial.standard = context_.shell ? context_.shell->ShellSettings().reportRuler : 0;
    ReportInfoDialog dialog(initial, owner_);
    if (dialog.exec() != QDialog::Accepted) return;
    const ReportFields facts = dialog.Fields();
    if (context_.shell && facts.standard != initial.standard) {
        SaveReportRuler(context_.shell->Profile(), facts.standard);
        context_.shell->ReloadShellSettings();
    }
    const auto job = PrepareDocumentReport(facts, dialog.MatchBox()->isChecked());
    if (!job) return;
    ReportProgressDialog progress(FindReportLibrary(CurrentExecutablePath()), job->dataFile, job->document,
                                  job->progressTotal, owner_);
    progress.exec();
    if (progress.CurrentState() == ReportProgressDialog::Done && context_.open)
        context_.open(QString::fromStdString(job->document));
    if (!job->unfitted.empty()) context_.prompts.Message(job->unfitted);
}

}  // namespace tav::ui
