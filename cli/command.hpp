// tavtool's commands: each file registers its sub-commands on the parser and
// leaves the code to run; exit codes follow the command-line contract.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.hpp"

namespace tav {
class CTAV_AnalyserDoc;
class FileEditLock;
}

namespace tav::cli {

using Runner = std::function<int()>;

// Sets `run` to the chosen command's code when that command is parsed.
void RegisterFileCommands(CLI::App& app, Runner& run);
void RegisterProcessCommand(CLI::App& app, Runner& run);
void RegisterSynthCommand(CLI::App& app, Runner& run);
void RegisterMergeCommand(CLI::App& app, Runner& run);
void RegisterMarkCommand(CLI::App& app, Runner& run);
void RegisterPrintCommand(CLI::App& app, Runner& run);
void RegisterTransferCommands(CLI::App& app, Runner& run);
void RegisterListCommand(CLI::App& app, Runner& run);
void RegisterRenderCommand(CLI::App& app, Runner& run);
void RegisterReportCommand(CLI::App& app, Runner& run);
void RegisterFoldersCommand(CLI::App& app, Runner& run);

// Runs body under a GUI application on the offscreen platform: QtGui draws
// text only under one, and tavtool has no screen.
int RunWithGui(const std::function<int()>& body);

// One clear line on stderr: "tavtool: <file>: <what>".
void ReportError(const std::string& file, const std::string& what);

// Loads a project for a command that needs it whole: kExitOk, or the reported
// exit code (3 unreadable, 2 not loaded as "ok"); `consequence` ends the line.
int LoadProjectFor(CTAV_AnalyserDoc& doc, const std::string& file, bool magnify, const std::string& consequence = {});
// kExitOk when index is a test point of the project, else reports it and gives 2.
int CheckPoint(const CTAV_AnalyserDoc& doc, const std::string& file, long index, const std::string& consequence = {});
// Before an in-place edit (load, change, save over the input): takes the
// file's edit lock, waiting a while for another editor; kExitOk, or reports
// and gives 3. The lock is held until `lock` is destroyed, after the save.
int LockForInPlaceEdit(FileEditLock& lock, const std::string& file);
// Saves atomically; kExitOk or the reported exit code 3.
int SaveProjectTo(CTAV_AnalyserDoc& doc, const std::string& file);
// Saves a project edited by a list of operations to `out`; when `refused` of
// the `total` operations were refused, says so and gives 2 although the
// others were saved.
int SaveEditedProject(CTAV_AnalyserDoc& doc, const std::string& input, const std::string& out, std::size_t refused,
                      std::size_t total);

// A command whose operations are ordered and repeatable: everything after its
// name is read by `parse` (which sets the exit code when it gives no request)
// and the request is carried out by `execute`.
template <typename Request>
void RegisterOperationsCommand(CLI::App& app, Runner& run, const char* name, const char* description,
                               const char* usage,
                               std::optional<Request> (*parse)(const std::vector<std::string>&, int&),
                               int (*execute)(const Request&)) {
    auto* c = app.add_subcommand(name, description);
    c->footer(usage);
    c->prefix_command();
    c->callback([c, &run, parse, execute] {
        const std::vector<std::string> args = c->remaining();
        run = [args, parse, execute] {
            int exitCode = kExitUsage;
            const auto request = parse(args, exitCode);
            return request ? execute(*request) : exitCode;
        };
    });
}

}  // namespace tav::cli
