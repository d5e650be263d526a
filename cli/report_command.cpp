// report: the spreadsheet report, the report data file and the report
// document of the checked (or listed) test points, as the window makes them.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

#include "app/app_environment.hpp"
#include "app/settings_files.hpp"
#include "app/temp_folder.hpp"
#include "cli/command.hpp"
#include "model/document.hpp"
#include "model/text_codec.hpp"
#include "output/report_content.hpp"
#include "output/report_data_file.hpp"
#include "output/report_library_call.hpp"
#include "output/report_writer.hpp"
#include "output/spreadsheet_report.hpp"
#include "render/report_pictures.hpp"

namespace tav::cli {

namespace {

struct ReportOptions {
    std::string input;
    std::vector<long> points;
    bool checked = false;
    std::string xlsx;
    std::string docx;
    std::string gwx;
    std::vector<std::string> fields;
    int standard = 0;
};

// --field LABEL=VALUE into the facts; false (reported) for an unknown label or a bad total.
bool ApplyFields(const ReportOptions& o, ReportFields& facts) {
    for (const auto& f : o.fields) {
        const auto eq = f.find('=');
        const std::string label = f.substr(0, eq);
        bool known = false;
        for (const auto& l : ReportFieldLabels())
            if (eq != std::string::npos && l.label == label) {
                facts.*l.field = f.substr(eq + 1);
                known = true;
            }
        if (!known) {
            ReportError(o.input, "--field " + f + ": expected LABEL=VALUE with a label of the project facts");
            return false;
        }
    }
    if (!TypedTotalPiles(facts.totalPiles)) {
        ReportError(o.input, "--field 总桩数=" + facts.totalPiles + ": not a whole number of piles");
        return false;
    }
    facts.standard = o.standard;
    return true;
}

// Prints the library's progress on stderr while it works, when that is a terminal.
std::string CallLibraryShowingProgress(const std::string& dataFile, const std::string& document, int total) {
    std::int32_t progress = 0;
    if (!::isatty(STDERR_FILENO) || total <= 0)
        return CallReportLibrary(FindReportLibrary(CurrentExecutablePath()), dataFile, document, progress);
    std::atomic<bool> done{false};
    std::string error;
    std::thread worker([&] {
        error = CallReportLibrary(FindReportLibrary(CurrentExecutablePath()), dataFile, document, progress);
        done = true;
    });
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long long percent = std::min<long long>(100, ReadReportProgress(progress) * 100LL / total);
        std::cerr << "\r正在生成报告，已完成" << percent << "%" << std::flush;
    }
    worker.join();
    std::cerr << "\n";
    return error;
}

// The data file (and the document built from it), under the GUI application.
int WordReport(const ReportOptions& o, const CTAV_AnalyserDoc& doc, const ReportFields& facts, const AppFolders& folders,
               const std::vector<std::int32_t>& annotationItems) {
    const std::string templateStem = folders.data + "Report";
    const std::string templateFile = templateStem + kReportTemplateExtension;
    if (!o.docx.empty() && ::access(templateFile.c_str(), R_OK) != 0) {
        ReportError(templateFile, "the report template is missing, no report written");
        return kExitIo;
    }
    const std::string work = ReportWorkFolder();
    std::string dataFile = o.gwx;
    if (dataFile.empty()) {
        // A data file of its own, so that two reports made at once never share one.
        if (work.empty()) {
            ReportError(o.docx, "no private temporary folder for the report data file");
            return kExitIo;
        }
        dataFile = work + "TAV-XXXXXX";
        const int fd = ::mkstemp(dataFile.data());
        if (fd < 0) {
            ReportError(dataFile, "cannot create the report data file");
            return kExitIo;
        }
        ::close(fd);
    }
    struct RemoveLater {
        std::string path;
        ~RemoveLater() {
            if (!path.empty()) ::unlink(path.c_str());
        }
    } temporary{o.gwx.empty() ? dataFile : std::string()};

    render::PointPictureOptions drawing;
    drawing.annotationItems = annotationItems;
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.facts = facts;
    request.templatePath = templateStem;
    request.pictures = render::MakeReportPictureSource(doc, drawing);
    request.pictureFolder = work;
    ReportDataResult written;
    std::string error;
    if (!WriteReportDataFile(dataFile, doc, request, &written, &error)) {
        ReportError(dataFile, error);
        return kExitIo;
    }
    if (!o.gwx.empty()) std::cout << o.gwx << "\n";
    if (o.docx.empty()) return kExitOk;
    error = CallLibraryShowingProgress(dataFile, o.docx, written.progressTotal);
    if (!error.empty()) {
        ReportError(o.docx, error);
        return kExitIo;
    }
    std::cout << o.docx << "\n";
    return kExitOk;
}

int Report(const ReportOptions& o) {
    if (o.xlsx.empty() && o.docx.empty() && o.gwx.empty()) {
        std::cerr << "tavtool: report needs --xlsx, --gwx or --docx\n";
        return kExitUsage;
    }
    // The user's display settings choose the annotation items of the pictures
    // and the preprocessing of old files, as in the window.
    const AppFolders folders = ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath());
    DisplaySettings view;
    SettingsFiles(folders.temp).Read(view);

    CTAV_AnalyserDoc doc;
    if (const int rc = LoadProjectFor(doc, o.input, view.magnifyRaw != 0, "no report written"); rc != kExitOk) return rc;
    if (!o.points.empty()) {
        doc.checkedIndices.clear();
        for (const long k : o.points) {
            if (const int rc = CheckPoint(doc, o.input, k, "no report written"); rc != kExitOk) return rc;
            doc.checkedIndices.push_back(static_cast<std::int32_t>(k));
        }
    }
    if (doc.checkedIndices.empty()) {
        ReportError(o.input, "no test point is checked, no report written");
        return kExitInvalidData;
    }
    ReportFields facts;
    facts.projectName = Cp936ToUtf8(TextOf(doc.header.projectName));
    facts.testUnit = Cp936ToUtf8(TextOf(doc.header.testUnit));
    if (!ApplyFields(o, facts)) return kExitInvalidData;

    if (!o.xlsx.empty()) {
        std::string error;
        if (!WriteSpreadsheetReport(o.xlsx, doc, doc.checkedIndices, &error)) {
            ReportError(o.xlsx, error);
            return kExitIo;
        }
        std::cout << o.xlsx << "\n";
    }
    if (o.gwx.empty() && o.docx.empty()) return kExitOk;
    return RunWithGui([&] { return WordReport(o, doc, facts, folders, view.annotationItems); });
}

}  // namespace

void RegisterReportCommand(CLI::App& app, Runner& run) {
    static ReportOptions options;
    auto* r = app.add_subcommand("report", "the spreadsheet report (.xlsx), the report data file (.gwx) and document (.docx)");
    r->add_option("IN", options.input, "project file")->required();
    auto* points = r->add_option("--points", options.points, "test point indices, in this order")->delimiter(',');
    r->add_flag("--checked", options.checked, "the ticked test points (the default)")->excludes(points);
    r->add_option("--xlsx", options.xlsx, "the spreadsheet report");
    r->add_option("--docx", options.docx, "the report document");
    r->add_option("--gwx", options.gwx, "the report data file");
    r->add_option("--field", options.fields, "LABEL=VALUE of the project facts (报告编号, 工程名称, ...)");
    r->add_option("--standard", options.standard, "检测依据: 0..3")->check(CLI::Range(0, 3));
    r->callback([&] { run = [] { return Report(options); }; });
}

}  // namespace tav::cli
