// dump, info and convert: loading any project file with the window's rules.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "analysis/integrity_class.hpp"
#include "app/app_environment.hpp"
#include "app/settings_files.hpp"
#include "app/temp_folder.hpp"
#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "cli/batch.hpp"
#include "cli/command.hpp"
#include "cli/json_out.hpp"
#include "model/document.hpp"
#include "model/project_file.hpp"
#include "processing/operations.hpp"
#include "processing/project_loading.hpp"

namespace tav::cli {

void ReportError(const std::string& file, const std::string& what) {
    std::cerr << "tavtool: " << file << ": " << what << "\n";
}

int LoadProjectFor(CTAV_AnalyserDoc& doc, const std::string& file, bool magnify, const std::string& consequence) {
    doc.magnifyOldRecords = magnify;
    const LoadResult r = OpenFile(doc, file);
    if (r.status == LoadStatus::IoError) {
        ReportError(file, r.message);
        return kExitIo;
    }
    if (r.status != LoadStatus::Ok) {
        ReportError(file, std::string(LoadStatusName(r.status)) + ": " + r.message + consequence);
        return kExitInvalidData;
    }
    return kExitOk;
}

int CheckPoint(const CTAV_AnalyserDoc& doc, const std::string& file, long index, const std::string& consequence) {
    if (index >= 0 && index < doc.PointCount()) return kExitOk;
    ReportError(file, "test point " + std::to_string(index) + " is outside the project (0.." +
                          std::to_string(doc.PointCount() - 1) + ")" + consequence);
    return kExitInvalidData;
}

int LockForInPlaceEdit(FileEditLock& lock, const std::string& file) {
    // Long enough for another tavtool edit of a large project to finish.
    constexpr int kWaitMilliseconds = 60000;
    std::string error;
    if (lock.Acquire(file, kWaitMilliseconds, &error)) return kExitOk;
    ReportError(file, error + "; nothing written");
    return kExitIo;
}

int SaveProjectTo(CTAV_AnalyserDoc& doc, const std::string& file) {
    std::string error;
    if (doc.SaveToFile(file, &error)) return kExitOk;
    ReportError(file, error);
    return kExitIo;
}

int SaveEditedProject(CTAV_AnalyserDoc& doc, const std::string& input, const std::string& out, std::size_t refused,
                      std::size_t total) {
    if (const int code = SaveProjectTo(doc, out)) return code;
    if (refused == 0) return kExitOk;
    ReportError(input, std::to_string(refused) + " of " + std::to_string(total) +
                           " operations refused; the others were saved to " + out);
    return kExitInvalidData;
}

namespace {

struct FileOptions {
    std::string input;
    std::string output;
    std::vector<std::string> names;  // convert: IN OUT, or with --out the files and folders
    std::string outFolder;
    std::string magnify;  // empty: the user's view settings decide
    bool noSamples = false;
    bool acceptDamaged = false;
};

void AddMagnifyOption(CLI::App* cmd, FileOptions& o) {
    cmd->add_option("--magnify", o.magnify, "raw-data preprocessing flag for version 5 files")
        ->check(CLI::IsMember({"on", "off"}));
}

// The window's "波形放大" flag from the view settings file; on without one.
bool ViewSettingsMagnify() {
    const AppFolders folders = ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath());
    DisplaySettings view;
    SettingsFiles(ExistingPrivateTempFolder(folders)).Read(view);
    return view.magnifyRaw != 0;
}

// Loads the file into doc; an I/O failure is reported and gives exit code 3.
int Load(CTAV_AnalyserDoc& doc, const FileOptions& o, LoadResult& result) {
    doc.magnifyOldRecords = o.magnify.empty() ? ViewSettingsMagnify() : o.magnify == "on";
    result = OpenFile(doc, o.input);
    if (result.status == LoadStatus::IoError) {
        ReportError(o.input, result.message);
        return kExitIo;
    }
    return kExitOk;
}

int ExitFor(const LoadResult& r, const std::string& file) {
    if (r.status == LoadStatus::Ok) return kExitOk;
    ReportError(file, std::string(LoadStatusName(r.status)) + ": " + r.message);
    return kExitInvalidData;
}

int Dump(const FileOptions& o) {
    CTAV_AnalyserDoc doc;
    LoadResult r;
    if (int code = Load(doc, o, r)) return code;
    nlohmann::json out = {{"file", o.input}, {"version", r.version}, {"loadStatus", LoadStatusName(r.status)}};
    if (r.status == LoadStatus::FaultyPoint) out["faultyPoint"] = r.faultyPoint;
    if (r.status == LoadStatus::FaultyBackupPoint) out["faultyBackupPoint"] = r.faultyBackupPoint;
    out["header"] = HeaderJson(doc.header);
    nlohmann::json points = nlohmann::json::array();
    for (const auto& tp : doc.points) points.push_back(PointJson(tp, !o.noSamples));
    out["points"] = std::move(points);
    out["backupHeader"] = HeaderJson(doc.backupHeader);
    nlohmann::json backup = nlohmann::json::array();
    for (const auto& tp : doc.backupPoints) backup.push_back(PointJson(tp, !o.noSamples));
    out["backupPoints"] = std::move(backup);
    std::cout << JsonText(out, 1) << "\n";
    return ExitFor(r, o.input);
}

std::string ChainText(const TestPoint& tp) {
    std::string chain;
    for (const auto& s : tp.steps) {
        if (!chain.empty()) chain += ',';
        const auto name = OperationName(s.opType);
        chain += name.empty() ? std::to_string(s.opType) : std::string(name);
    }
    return chain.empty() ? "-" : chain;
}

int Info(const FileOptions& o) {
    CTAV_AnalyserDoc doc;
    LoadResult r;
    if (int code = Load(doc, o, r)) return code;
    std::ostringstream out;
    out << "文件: " << o.input << "\n";
    out << "版本: " << (r.version ? std::string(VersionTag(r.version)) : std::string("?")) << " (" << r.version
        << ")\n";
    out << "状态: " << LoadStatusName(r.status) << "\n";
    out << "检测单位: " << Cp936ToUtf8(TextOf(doc.header.testUnit)) << "\n";
    out << "工程名称: " << Cp936ToUtf8(TextOf(doc.header.projectName)) << "\n";
    out << "测点数: " << doc.PointCount() << " (备份 " << doc.backupPoints.size() << ")\n";
    for (std::int32_t i = 0; i < doc.PointCount(); ++i) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        char line[512];
        std::snprintf(line, sizeof line, "[%d] 桩号=%s 采样=%d/%d 处理=%s 桩头=%d 桩底=%d 波速=%d 类别=%s\n", i,
                      Cp936ToUtf8(TextOf(tp.pileNo)).c_str(), tp.rawCount(), tp.sampleCount(), ChainText(tp).c_str(),
                      tp.headIndex, tp.toeIndex, tp.waveSpeed, std::string(IntegrityClassText(IntegrityClass(tp))).c_str());
        out << line;
    }
    std::cout << out.str();
    return ExitFor(r, o.input);
}

// Why a loaded file is not converted; empty when it is. A damaged backup set
// that is accepted loses the records that could not be read rather than
// being written with empty ones.
std::string ConversionRefusal(CTAV_AnalyserDoc& doc, const LoadResult& r, bool acceptDamaged) {
    const bool salvage = acceptDamaged && r.status == LoadStatus::FaultyBackupPoint;
    if (!r.Whole() && !salvage)
        return std::string(LoadStatusName(r.status)) + ": " + r.message + "; nothing written" +
               (r.status == LoadStatus::FaultyBackupPoint ? " (--accept-damaged keeps what was read)" : "");
    if (salvage) doc.backupPoints.resize(static_cast<std::size_t>(r.faultyBackupPoint));
    return {};
}

int Convert(const FileOptions& o) {
    CTAV_AnalyserDoc doc;
    LoadResult r;
    if (int code = Load(doc, o, r)) return code;
    if (const auto why = ConversionRefusal(doc, r, o.acceptDamaged); !why.empty()) {
        ReportError(o.input, why);
        return kExitInvalidData;
    }
    std::string error;
    if (!doc.SaveToFile(o.output, &error)) {
        ReportError(o.output, error);
        return kExitIo;
    }
    return kExitOk;
}

// One file of a batch: empty when it was written, else why not.
std::string ConvertOne(const std::string& input, const std::string& output, bool magnify, bool acceptDamaged) {
    CTAV_AnalyserDoc doc;
    doc.magnifyOldRecords = magnify;
    const LoadResult r = OpenFile(doc, input);
    if (r.status == LoadStatus::IoError) return r.message;
    if (auto why = ConversionRefusal(doc, r, acceptDamaged); !why.empty()) return why;
    std::string error;
    if (!doc.SaveToFile(output, &error)) return output + ": " + error;
    return {};
}

// Many files at once, each to the output folder under its own name.
int ConvertMany(const FileOptions& o) {
    const bool magnify = o.magnify.empty() ? ViewSettingsMagnify() : o.magnify == "on";
    const auto outputOf = [&](const std::string& file) {
        return (std::filesystem::path(o.outFolder) / std::filesystem::path(file).filename()).string();
    };
    return RunBatchCommand({o.names, o.outFolder, "转换", "已转换", outputOf, [&](const std::string& file) {
                                return ConvertOne(file, outputOf(file), magnify, o.acceptDamaged);
                            }});
}

}  // namespace

void RegisterFileCommands(CLI::App& app, Runner& run) {
    static FileOptions dump, info, convert;

    auto* d = app.add_subcommand("dump", "print a project file as JSON");
    d->add_option("FILE", dump.input, "project file")->required();
    d->add_flag("--no-samples", dump.noSamples, "leave the sample arrays out");
    AddMagnifyOption(d, dump);
    d->callback([&] { run = [] { return Dump(dump); }; });

    auto* i = app.add_subcommand("info", "print a readable summary of a project file");
    i->add_option("FILE", info.input, "project file")->required();
    AddMagnifyOption(i, info);
    i->callback([&] { run = [] { return Info(info); }; });

    auto* c = app.add_subcommand("convert", "save project files of any version as the current version");
    c->footer("tavtool convert IN OUT\ntavtool convert --out DIR FILE_OR_FOLDER ...");
    c->add_option("FILES", convert.names, "IN OUT, or with --out: project files and folders of them")->required();
    c->add_option("--out", convert.outFolder,
                  "convert many files at once, each into DIR under its own name (folders: their *.tav files)");
    c->add_flag("--accept-damaged", convert.acceptDamaged,
                "write a file whose backup set is damaged, keeping the backup records read before the damage");
    AddMagnifyOption(c, convert);
    c->callback([&] {
        if (!convert.outFolder.empty()) {
            run = [] { return ConvertMany(convert); };
            return;
        }
        if (convert.names.size() != 2) throw CLI::ValidationError("convert", "give IN OUT, or --out DIR and the files");
        convert.input = convert.names[0];
        convert.output = convert.names[1];
        run = [] { return Convert(convert); };
    });
}

}  // namespace tav::cli
