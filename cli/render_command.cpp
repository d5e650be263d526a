// render: pictures of test points as the picture export draws the checked
// test points, as files or as one document. Draws without a display: Qt runs
// on its offscreen platform.
#include <filesystem>
#include <iostream>

#include "app/app_environment.hpp"
#include "app/settings_files.hpp"
#include "cli/batch.hpp"
#include "cli/command.hpp"
#include "cli/match_fits.hpp"
#include "model/document.hpp"
#include "output/picture_export.hpp"
#include "render/point_pictures.hpp"

namespace tav::cli {

namespace {

struct RenderOptions {
    std::vector<std::string> names;  // one project file, or several files and folders
    std::string input;
    std::string out;
    std::vector<long> points;
    bool checked = false;
    std::string size = "530x200";
    std::string format = "bmp";
    std::string docx;
    bool match = false;  // each test point's signal matching picture after its curve
    double matchTimeLimit = MatchOptions{}.timeLimit;
};

std::int32_t FormatIndex(const std::string& format) {
    if (format == "jpg") return kPictureJpg;
    if (format == "png") return kPicturePng;
    return kPictureBmp;
}

// The pictures of the items, with --match each followed by its test point's
// signal matching picture (the test points that could not be fitted are named
// on stderr, for file).
struct RenderJob {
    RenderJob(const RenderOptions& o, const CTAV_AnalyserDoc& doc, const std::string& file,
              std::vector<PictureItem> curveItems, PictureSize size, const std::vector<std::int32_t>& annotationItems,
              bool progress)
        : pictures(doc, Drawing(annotationItems)), items(std::move(curveItems)) {
        if (o.match)
            pictures.AddMatchPictures(items, {}, [&](std::span<const std::int32_t> points) {
                return std::optional(FitForPictures(doc, points, file, progress, o.matchTimeLimit));
            });
        encoder = pictures.Encoder(size, FormatIndex(o.format));
    }
    static render::PointPictureOptions Drawing(const std::vector<std::int32_t>& annotationItems) {
        render::PointPictureOptions drawing;
        drawing.annotationItems = annotationItems;
        return drawing;
    }

    render::PointPictures pictures;
    std::vector<PictureItem> items;
    PictureEncoder encoder;
};

// Draws and writes the items (under the GUI application).
int Draw(const RenderOptions& o, const CTAV_AnalyserDoc& doc, const std::vector<PictureItem>& curveItems,
         PictureSize size, const std::vector<std::int32_t>& annotationItems) {
    const RenderJob job(o, doc, o.input, curveItems, size, annotationItems, true);
    const auto extension = PictureExtension(FormatIndex(o.format));
    if (!o.docx.empty()) {
        std::string error;
        if (!WritePictureDocument(o.docx, job.items, extension, job.encoder, &error)) {
            ReportError(o.docx, error);
            return kExitIo;
        }
        std::cout << o.docx << "\n";
        return kExitOk;
    }
    const auto result = WritePictureFiles(job.items, o.out, extension, job.encoder);
    for (const auto& path : result.written) std::cout << path << "\n";
    for (const auto& failure : result.failed) std::cerr << "tavtool: " << failure << "\n";
    return result.written.empty() ? kExitIo : kExitOk;
}

// The ticked test points, or those listed, as picture items; empty when there
// is nothing to draw.
std::vector<PictureItem> ItemsToDraw(CTAV_AnalyserDoc& doc, const RenderOptions& o) {
    if (!o.points.empty()) {
        doc.checkedIndices.clear();
        for (const long k : o.points) doc.checkedIndices.push_back(static_cast<std::int32_t>(k));
    }
    return CheckedPictureItems(doc);
}

int Render(const RenderOptions& o, PictureSize size, const DisplaySettings& view) {
    CTAV_AnalyserDoc doc;
    if (const int rc = LoadProjectFor(doc, o.input, view.magnifyRaw != 0, "nothing drawn"); rc != kExitOk) return rc;
    for (const long k : o.points)
        if (const int rc = CheckPoint(doc, o.input, k, "nothing drawn"); rc != kExitOk) return rc;
    const auto items = ItemsToDraw(doc, o);
    if (items.empty()) {
        ReportError(o.input, "no test point to draw (none is ticked)");
        return kExitInvalidData;
    }
    return RunWithGui([&] { return Draw(o, doc, items, size, view.annotationItems); });
}

// One project of several: its pictures go to <out>/<file name without .tav>/.
std::string RenderOne(const std::string& file, const RenderOptions& o, PictureSize size, const DisplaySettings& view) {
    CTAV_AnalyserDoc doc;
    if (auto why = LoadBatchProject(doc, file, view.magnifyRaw != 0, o.points); !why.empty()) return why;
    const auto items = CheckedPictureItems(doc);
    if (items.empty()) return "no test point to draw (none is ticked)";
    const std::string folder = (std::filesystem::path(o.out) / std::filesystem::path(file).stem()).string();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const RenderJob job(o, doc, file, items, size, view.annotationItems, false);
    const auto result = WritePictureFiles(job.items, folder, PictureExtension(FormatIndex(o.format)), job.encoder);
    if (result.failed.empty()) return {};
    std::string why =
        std::to_string(result.failed.size()) + " of " + std::to_string(job.items.size()) + " pictures not written: ";
    return why + result.failed.front();
}

int RenderMany(const RenderOptions& o, PictureSize size, const DisplaySettings& view) {
    if (o.out.empty() || !o.docx.empty()) {
        std::cerr << "tavtool: render of several projects needs -o DIR (each project gets a folder of its own there)\n";
        return kExitUsage;
    }
    const auto folderOf = [](const std::string& file) { return std::filesystem::path(file).stem().string(); };
    return RunWithGui([&] {
        return RunBatchCommand({o.names, o.out, "绘图", "已绘图的工程", folderOf,
                                [&](const std::string& file) { return RenderOne(file, o, size, view); }});
    });
}

int RenderCommand(RenderOptions& o) {
    const auto size = ParsePictureSize(o.size);
    if (!size) {
        std::cerr << "tavtool: --size " << o.size << ": expected WIDTHxHEIGHT in pixels\n";
        return kExitUsage;
    }
    if (const auto why = CheckPictureSize(*size); !why.empty()) {
        ReportError(o.names.front(), "--size " + o.size + ": " + why);
        return kExitInvalidData;
    }
    if (o.out.empty() && o.docx.empty()) {
        std::cerr << "tavtool: render needs -o DIR or --docx FILE\n";
        return kExitUsage;
    }

    // The user's display settings choose the annotation items and the
    // preprocessing of old files, as in the window.
    const AppFolders folders = ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath());
    DisplaySettings view;
    SettingsFiles(folders.temp).Read(view);

    std::error_code ec;
    if (o.names.size() > 1 || std::filesystem::is_directory(o.names.front(), ec)) return RenderMany(o, *size, view);
    o.input = o.names.front();
    return Render(o, *size, view);
}

}  // namespace

void RegisterRenderCommand(CLI::App& app, Runner& run) {
    static RenderOptions options;
    auto* r = app.add_subcommand("render", "pictures of test points (BMP, JPEG, PNG) or one .docx of them");
    r->add_option("IN", options.names, "project file; or several files and folders of them, each drawn into a folder of its own in DIR")
        ->required();
    r->add_option("-o", options.out, "folder that receives the pictures");
    // One comma list: the project files that follow are not taken for more indices.
    auto* points = r->add_option("--points", options.points, "test point indices, in this order")
                       ->delimiter(',')
                       ->allow_extra_args(false);
    r->add_flag("--checked", options.checked, "the ticked test points (the default)")->excludes(points);
    r->add_option("--size", options.size, "WIDTHxHEIGHT in pixels (default 530x200)");
    r->add_option("--format", options.format, "bmp, jpg or png")->check(CLI::IsMember({"bmp", "jpg", "png"}));
    r->add_option("--docx", options.docx, "one document with the pictures inline instead of files");
    r->add_flag("--match", options.match,
                "after each curve picture the test point's signal matching picture (\"<name>_拟合\"); "
                "test points that cannot be fitted are named on stderr");
    AddMatchTimeLimitOption(*r, options.matchTimeLimit);
    r->callback([&] { run = [] { return RenderCommand(options); }; });
}

}  // namespace tav::cli
