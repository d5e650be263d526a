// merge: older single-record instrument files into "TAV02" project files, as
// the window's merge command does; folders given are checked like tree nodes.
#include <filesystem>
#include <iostream>

#include "cli/command.hpp"
#include "model/instrument_merge.hpp"
#include "model/merge_selection.hpp"

namespace tav::cli {

namespace {

struct MergeOptions {
    std::string mode = "pile";
    std::string out;
    std::vector<std::string> inputs;
};

int Merge(const MergeOptions& o) {
    MergeSelection selection;
    for (const auto& input : o.inputs) {
        std::error_code ec;
        // The folder levels are those of the absolute path; links are kept as named.
        const std::string path = std::filesystem::absolute(input, ec).lexically_normal().string();
        const auto status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status)) {
            ReportError(input, "no such file or folder");
            return kExitIo;
        }
        const bool folder = std::filesystem::is_directory(status);
        const int node = selection.AddTopLevel(path, folder ? MergeNodeKind::Folder : MergeNodeKind::File);
        const std::string warning = selection.SetChecked(node, true);
        if (!warning.empty()) ReportError(input, warning);
    }
    const MergeReport report =
        MergeInstrumentFiles(selection.ChosenList(), o.mode == "site" ? kMergePerSite : kMergePerPile, o.out);
    std::cout << report.message << "\n";
    for (const auto& file : report.written) std::cout << file << "\n";
    if (report.result >= 0) return kExitOk;
    ReportError(report.result == kMergeBadFolder ? o.out : std::string("merge"), report.message);
    return kExitIo;
}

}  // namespace

void RegisterMergeCommand(CLI::App& app, Runner& run) {
    static MergeOptions options;
    auto* m = app.add_subcommand("merge", "merge older instrument files (*.PID) into project files");
    m->add_option("--mode", options.mode, "one project file per pile or per site")
        ->check(CLI::IsMember({"pile", "site"}));
    m->add_option("--out", options.out, "folder that receives the project files");
    m->add_option("FILE_OR_FOLDER", options.inputs, "instrument files, or folders searched recursively");
    m->callback([&] { run = [] { return Merge(options); }; });
}

}  // namespace tav::cli
