// report: the spreadsheet report, the report data file and the report
// document of the checked (or listed) test points, as the window makes them.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/app_environment.hpp"
#include "app/settings_files.hpp"
#include "app/temp_folder.hpp"
#include "base/text_codec.hpp"
#include "cli/batch.hpp"
#include "cli/command.hpp"
#include "cli/match_fits.hpp"
#include "model/document.hpp"
#include "output/report_content.hpp"
#include "output/report_data_file.hpp"
#include "output/report_library_call.hpp"
#include "output/report_writer.hpp"
#include "output/spreadsheet_report.hpp"
#include "render/point_pictures.hpp"

namespace tav::cli {

namespace {

struct ReportOptions {
    std::vector<std::string> names;  // one project file, or with --out several files and folders of them
    std::string input;
    std::string out;
    std::vector<std::string> outputs{"xlsx", "docx"};
    std::vector<long> points;
    bool checked = false;
    std::string xlsx;
    std::string docx;
    std::string gwx;
    std::vector<std::string> fields;
    int standard = 0;
    bool match = false;  // each test point's signal matching picture after its curve picture
    double matchTimeLimit = MatchOptions{}.timeLimit;
};

// --field LABEL=VALUE into the facts: empty, or why not (an unknown label or a bad total).
std::string ApplyFields(const ReportOptions& o, ReportFields& facts) {
    for (const auto& f : o.fields) {
        const auto eq = f.find('=');
        const std::string label = f.substr(0, eq);
        bool known = false;
        for (const auto& l : ReportFieldLabels())
            if (eq != std::string::npos && l.label == label) {
                facts.*l.field = f.substr(eq + 1);
                known = true;
            }
        if (!known) return "--field " + f + ": expected LABEL=VALUE with a label of the project facts";
    }
    if (!TypedTotalPiles(facts.totalPiles)) return "--field 总桩数=" + facts.totalPiles + ": not a whole number of piles";
    facts.standard = o.standard;
    return {};
}

// The project's own name and test unit, then the typed fields.
ReportFields FactsOf(const CTAV_AnalyserDoc& doc) {
    ReportFields facts;
    facts.projectName = Cp936ToUtf8(TextOf(doc.header.projectName));
    facts.testUnit = Cp936ToUtf8(TextOf(doc.header.testUnit));
    return facts;
}

struct ReportMatch {
    bool on = false;
    std::string file;       // the project, as the lines about test points not fitted name it
    bool progress = false;  // show the fits' progress on a terminal
    double timeLimit = MatchOptions{}.timeLimit;  // of each fit
};

// Writes the report data file of the checked test points with their curve
// pictures, drawn as the analysis view draws them; the pictures are also kept
// as files in pictureFolder. With match, each test point's signal matching
// picture follows its curve picture (those that cannot be fitted are named on
// stderr, for file). Empty, else why not.
std::string WriteDataFile(const std::string& dataFile, const CTAV_AnalyserDoc& doc, const ReportFields& facts,
                          const std::string& templateStem, const std::vector<std::int32_t>& annotationItems,
                          const std::string& pictureFolder, int* progressTotal, const ReportMatch& match) {
    render::PointPictureOptions drawing;
    drawing.annotationItems = annotationItems;
    ReportDataRequest request;
    request.checked = doc.checkedIndices;
    request.facts = facts;
    request.templatePath = templateStem;
    request.pictureFolder = pictureFolder;
    render::PointPictures pictures(doc, drawing);
    render::PictureFitter fit;
    if (match.on)
        fit = [&](std::span<const std::int32_t> points) {
            return std::optional(FitForPictures(doc, points, match.file, match.progress, match.timeLimit));
        };
    pictures.FillReport(request, fit);
    ReportDataResult written;
    std::string error;
    if (!WriteReportDataFile(dataFile, doc, request, &written, &error)) return error.empty() ? "创建文件失败！" : error;
    *progressTotal = written.progressTotal;
    return {};
}

// A folder of one report's own in the private work folder, for its temporary
// data file and its curve pictures, so that reports made at the same time (a
// batch, a second tavtool, the window) never share a work file; removed with
// its content at the end. path is empty when it cannot be made.
struct ReportJobFolder {
    std::string path;
    ReportJobFolder() {
        const std::string work = ReportWorkFolder();
        if (work.empty()) return;
        std::string folder = work + "report-XXXXXX";
        if (::mkdtemp(folder.data())) path = folder + "/";
    }
    ~ReportJobFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    ReportJobFolder(const ReportJobFolder&) = delete;
    ReportJobFolder& operator=(const ReportJobFolder&) = delete;
};

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
    const ReportJobFolder work;
    const std::string dataFile = o.gwx.empty() ? work.path + "TAV.gwx" : o.gwx;
    if (o.gwx.empty() && work.path.empty()) {
        ReportError(o.docx, "no private temporary folder for the report data file");
        return kExitIo;
    }
    int progressTotal = 0;
    if (auto error = WriteDataFile(dataFile, doc, facts, templateStem, annotationItems, work.path, &progressTotal,
                                   {o.match, o.input, true, o.matchTimeLimit});
        !error.empty()) {
        ReportError(dataFile, error);
        return kExitIo;
    }
    if (!o.gwx.empty()) std::cout << o.gwx << "\n";
    if (o.docx.empty()) return kExitOk;
    if (const auto error = CallLibraryShowingProgress(dataFile, o.docx, progressTotal); !error.empty()) {
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
    ReportFields facts = FactsOf(doc);
    if (const auto why = ApplyFields(o, facts); !why.empty()) {
        ReportError(o.input, why);
        return kExitInvalidData;
    }

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

bool Wants(const ReportOptions& o, const std::string& kind) {
    return std::find(o.outputs.begin(), o.outputs.end(), kind) != o.outputs.end();
}

// One project of several: its reports go to <out>/<file name without .tav>.xlsx,
// .docx (and .gwx when asked for). Empty, else why not.
std::string ReportOne(const std::string& file, const ReportOptions& o, const std::string& templateStem,
                      const DisplaySettings& view) {
    CTAV_AnalyserDoc doc;
    if (auto why = LoadBatchProject(doc, file, view.magnifyRaw != 0, o.points); !why.empty()) return why;
    if (doc.checkedIndices.empty()) return "no test point is checked, no report written";
    ReportFields facts = FactsOf(doc);
    if (auto why = ApplyFields(o, facts); !why.empty()) return why;

    const std::string stem = (std::filesystem::path(o.out) / std::filesystem::path(file).stem()).string();
    std::string error;
    if (Wants(o, "xlsx") && !WriteSpreadsheetReport(stem + ".xlsx", doc, doc.checkedIndices, &error))
        return stem + ".xlsx: " + error;
    if (!Wants(o, "gwx") && !Wants(o, "docx")) return {};
    const ReportJobFolder work;
    if (!Wants(o, "gwx") && work.path.empty()) return "no private temporary folder for the report data file";
    const std::string dataFile = Wants(o, "gwx") ? stem + ".gwx" : work.path + "TAV.gwx";
    int progressTotal = 0;
    if (auto why = WriteDataFile(dataFile, doc, facts, templateStem, view.annotationItems, work.path, &progressTotal,
                                 {o.match, file, false, o.matchTimeLimit});
        !why.empty())
        return dataFile + ": " + why;
    if (!Wants(o, "docx")) return {};
    std::int32_t progress = 0;
    if (auto why = CallReportLibrary(FindReportLibrary(CurrentExecutablePath()), dataFile, stem + ".docx", progress);
        !why.empty())
        return stem + ".docx: " + why;
    return {};
}

int ReportMany(const ReportOptions& o) {
    if (!o.xlsx.empty() || !o.docx.empty() || !o.gwx.empty()) {
        std::cerr << "tavtool: report --out DIR names each project's reports itself; --xlsx, --docx and --gwx are for one project\n";
        return kExitUsage;
    }
    // The typed fields are the same for every project: checked once, before any work.
    ReportFields probe;
    if (const auto why = ApplyFields(o, probe); !why.empty()) {
        std::cerr << "tavtool: " << why << "\n";
        return kExitInvalidData;
    }
    const AppFolders folders = ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath());
    DisplaySettings view;
    SettingsFiles(folders.temp).Read(view);
    const std::string templateStem = folders.data + "Report";
    const std::string templateFile = templateStem + kReportTemplateExtension;
    if (Wants(o, "docx") && ::access(templateFile.c_str(), R_OK) != 0) {
        ReportError(templateFile, "the report template is missing, no report written");
        return kExitIo;
    }
    const auto stemOf = [](const std::string& file) { return std::filesystem::path(file).stem().string(); };
    return RunWithGui([&] {
        return RunBatchCommand({o.names, o.out, "报告", "已生成报告的工程", stemOf,
                                [&](const std::string& file) { return ReportOne(file, o, templateStem, view); }});
    });
}

}  // namespace

void RegisterReportCommand(CLI::App& app, Runner& run) {
    static ReportOptions options;
    auto* r = app.add_subcommand("report", "the spreadsheet report (.xlsx), the report data file (.gwx) and document (.docx)");
    r->footer("tavtool report IN --xlsx OUT --docx OUT ...\ntavtool report --out DIR [--outputs xlsx,docx,gwx] FILE_OR_FOLDER ...");
    r->add_option("IN", options.names, "project file; or with --out several files and folders of them")->required();
    // One comma list: the project files that follow are not taken for more indices.
    auto* points = r->add_option("--points", options.points, "test point indices, in this order")
                       ->delimiter(',')
                       ->allow_extra_args(false);
    r->add_flag("--checked", options.checked, "the ticked test points (the default)")->excludes(points);
    r->add_option("--xlsx", options.xlsx, "the spreadsheet report");
    r->add_option("--docx", options.docx, "the report document");
    r->add_option("--gwx", options.gwx, "the report data file");
    r->add_option("--out", options.out,
                  "report many projects at once into DIR, each named after its file: NAME.xlsx, NAME.docx (folders: their *.tav files)");
    r->add_option("--outputs", options.outputs, "with --out: the reports to write (default xlsx,docx)")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(CLI::IsMember({"xlsx", "docx", "gwx"}));
    r->add_option("--field", options.fields, "LABEL=VALUE of the project facts (报告编号, 工程名称, ...)");
    r->add_option("--standard", options.standard, "检测依据: 0..3")->check(CLI::Range(0, 3));
    r->add_flag("--match", options.match,
                "after each curve picture of the document the test point's signal matching picture; "
                "test points that cannot be fitted are named on stderr");
    AddMatchTimeLimitOption(*r, options.matchTimeLimit);
    r->callback([&] {
        if (!options.out.empty()) {
            run = [] { return ReportMany(options); };
            return;
        }
        if (options.names.size() != 1) throw CLI::ValidationError("report", "give one project, or --out DIR and the projects");
        options.input = options.names.front();
        run = [] { return Report(options); };
    });
}

}  // namespace tav::cli
