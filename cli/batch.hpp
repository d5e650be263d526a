// Batch work over many project files: the files named and the *.tav files of
// the folders named, worked on in parallel, with a progress bar when stderr is
// a terminal and one line for each file that failed.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::cli {

struct BatchFailure {
    std::string file;
    std::string why;
};

struct BatchInputs {
    std::vector<std::string> files;      // in the order given, each folder's files sorted by name
    std::vector<BatchFailure> failures;  // names that are neither a file nor a folder
};

// Files are taken as named; a folder gives the regular files directly inside
// it whose names end in ".tav" in any letter case (sub-folders are not entered).
BatchInputs CollectProjectFiles(const std::vector<std::string>& names);

// One file's work: empty when it succeeded, else why it failed.
using BatchJob = std::function<std::string(const std::string& file)>;

struct BatchOptions {
    std::string label;     // shown before the progress bar
    unsigned workers = 0;  // 0: one per core
    bool progress = false; // draw the bar on stderr
};

// Runs job on every file on `workers` threads; the failures in input order.
std::vector<BatchFailure> RunBatch(const std::vector<std::string>& files, const BatchJob& job,
                                   const BatchOptions& options);

// Whether stderr is a terminal (the progress bar is drawn only then).
bool ProgressOnTerminal();

// Reports every failure on stderr, then the summary line on stdout; the exit
// code: 0 when none failed, 2 otherwise.
int ReportBatch(const std::string& doneText, std::size_t total, const std::vector<BatchFailure>& failures);

// Output names that two inputs would share: the later input fails instead of
// overwriting what the earlier one wrote. Returns the inputs that keep their
// name (in order) and adds the others to failures.
std::vector<std::string> WithoutNameClashes(const std::vector<std::string>& files,
                                            const std::function<std::string(const std::string&)>& outputName,
                                            std::vector<BatchFailure>& failures);

// One whole batch command: makes the output folder (exit 3 when it cannot be
// made), collects the inputs, fails the later of two inputs that would share an
// output name, runs the job on the rest and reports as ReportBatch does.
struct BatchCommand {
    std::vector<std::string> names;  // files and folders as given
    std::string outFolder;
    std::string label;     // before the progress bar
    std::string doneText;  // the summary's "<doneText> N 个，失败 M 个"
    std::function<std::string(const std::string& file)> outputName;
    BatchJob job;
};
int RunBatchCommand(const BatchCommand& command);

// Loads a project of a batch whole; when points are listed, checks them and
// makes them the checked list in that order. Empty, else why not.
std::string LoadBatchProject(CTAV_AnalyserDoc& doc, const std::string& file, bool magnify,
                             const std::vector<long>& points);

}  // namespace tav::cli
