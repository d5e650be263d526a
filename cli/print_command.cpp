// `tavtool print IN -o OUT.pdf [--points K,... | --checked] [--settings FILE]
//  [--paper A4|A3|B5|Letter|WxH] [--landscape] [--layout-json]`: the pages of
// the print job as a PDF file, drawn by the same code as the window's printing.
// tavtool has no display area, so the "当前显示" item finds no waveform.
#include <QGuiApplication>
#include <charconv>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/atomic_file.hpp"
#include "cli/command.hpp"
#include "model/document.hpp"
#include "render/print_painter.hpp"

namespace tav::cli {

namespace {

struct PrintRequest {
    std::string input;
    std::string output;
    std::vector<long> points;
    bool checked = false;
    std::string settingsFile;
    std::string paper = "A4";
    bool landscape = false;
    bool layoutJson = false;
    std::string magnify = "on";
};

struct NamedPaper {
    const char* name;
    double widthMm;
    double heightMm;
};
constexpr NamedPaper kPapers[] = {{"A4", 210, 297}, {"A3", 297, 420}, {"B5", 182, 257}, {"Letter", 215.9, 279.4}};
constexpr double kLargestPaperMm = 5000;

bool ParseMm(std::string_view s, double& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc{} && r.ptr == s.data() + s.size() && std::isfinite(v) && v >= 1 &&
           v <= kLargestPaperMm;
}

std::optional<QSizeF> PaperOf(const std::string& text) {
    for (const auto& p : kPapers)
        if (QString::fromStdString(text).compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            return QSizeF(p.widthMm, p.heightMm);
    const auto x = text.find_first_of("xX");
    double w = 0;
    double h = 0;
    if (x == std::string::npos || !ParseMm(std::string_view(text).substr(0, x), w) ||
        !ParseMm(std::string_view(text).substr(x + 1), h))
        return std::nullopt;
    return QSizeF(w, h);
}

nlohmann::json RectJson(const PrintRect& r) {
    return {{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

nlohmann::json LayoutJson(const PrintLayout& layout) {
    nlohmann::json cells = nlohmann::json::array();
    for (const auto& c : layout.cells) {
        auto j = RectJson(c.rect);
        j["item"] = c.item;
        j["index"] = c.index;
        j["page"] = c.page;
        cells.push_back(std::move(j));
    }
    return {{"pages", layout.pages}, {"area", RectJson(layout.area)}, {"cells", std::move(cells)}};
}

int RunPrint(const PrintRequest& req) {
    const auto paper = PaperOf(req.paper);
    if (!paper) {
        std::cerr << "tavtool: print: --paper takes A4, A3, B5, Letter or WxH in mm, not \"" << req.paper << "\"\n";
        return kExitUsage;
    }
    if (req.output.empty() && !req.layoutJson) {
        std::cerr << "tavtool: print: -o OUT.pdf is required (or --layout-json)\n";
        return kExitUsage;
    }
    PrintSettings settings;
    if (!req.settingsFile.empty()) {
        if (const auto image = ReadWholeFile(req.settingsFile))
            if (const auto read = PrintSettingsOfImage(*image)) settings = *read;
    }
    CTAV_AnalyserDoc doc;
    if (const int code = LoadProjectFor(doc, req.input, req.magnify == "on", ", nothing printed")) return code;
    std::vector<std::int32_t> checked = doc.checkedIndices;
    if (!req.points.empty()) {
        checked.clear();
        for (const long k : req.points) {
            if (const int code = CheckPoint(doc, req.input, k, ", nothing printed")) return code;
            checked.push_back(static_cast<std::int32_t>(k));
        }
    }
    const QSizeF sheet = req.landscape ? paper->transposed() : *paper;
    return RunWithGui([&] {
        const render::PrintJob job = render::PreparePrintJob(doc, settings, sheet, req.input, nullptr, &checked);
        if (job.layout.pages <= 0) {
            ReportError(req.input, job.layout.message.empty() ? "printing cancelled: " + job.layout.reason
                                                              : job.layout.message);
            return int{kExitInvalidData};
        }
        if (req.layoutJson) {
            std::cout << LayoutJson(job.layout).dump() << "\n";
            return int{kExitOk};
        }
        std::string error;
        if (!render::WritePrintPdf(QString::fromStdString(req.output), doc, job, &error)) {
            ReportError(req.output, "cannot write: " + error);
            return int{kExitIo};
        }
        std::cout << req.output << ": " << job.layout.pages << " pages\n";
        return int{kExitOk};
    });
}

}  // namespace

void RegisterPrintCommand(CLI::App& app, Runner& run) {
    auto req = std::make_shared<PrintRequest>();
    auto* cmd = app.add_subcommand("print", "print the pages of the checked test points to a PDF file");
    cmd->add_option("IN", req->input, "project file")->required();
    cmd->add_option("-o", req->output, "the PDF file to write");
    // One comma list: a project file after it is not taken for more indices.
    auto* points = cmd->add_option("--points", req->points, "test point indices to print (the checked list)")
                       ->delimiter(',')
                       ->allow_extra_args(false);
    cmd->add_flag("--checked", req->checked, "print the ticked test points (the default)")->excludes(points);
    cmd->add_option("--settings", req->settingsFile, "a print settings file QRV_TAV4_PRINT_001.ini");
    cmd->add_option("--paper", req->paper, "A4, A3, B5, Letter or WxH in mm (default A4)");
    cmd->add_flag("--landscape", req->landscape, "turn the paper");
    cmd->add_flag("--layout-json", req->layoutJson, "print the layout as JSON and write no PDF");
    cmd->add_option("--magnify", req->magnify, "raw-data preprocessing flag for version 5 files")
        ->check(CLI::IsMember({"on", "off"}));
    cmd->callback([&run, req] { run = [req] { return RunPrint(*req); }; });
}

}  // namespace tav::cli
