#include "cli/batch.hpp"
#include "processing/project_loading.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/command.hpp"
#include "model/document.hpp"

namespace tav::cli {

namespace fs = std::filesystem;

namespace {

bool HasProjectExtension(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".tav";
}

// The bar redrawn in place: "<label> [#####-----] done/total".
class ProgressBar {
public:
    ProgressBar(std::string label, std::size_t total, bool shown) : label_(std::move(label)), total_(total), shown_(shown) {
        Draw(0);
    }
    void Advance() {
        const std::size_t done = ++done_;
        Draw(done);
    }
    ~ProgressBar() {
        if (shown_) std::fputc('\n', stderr);
    }

private:
    void Draw(std::size_t done) {
        if (!shown_) return;
        constexpr std::size_t kWidth = 30;
        const std::size_t filled = total_ == 0 ? kWidth : done * kWidth / total_;
        const std::lock_guard<std::mutex> hold(mutex_);
        std::fprintf(stderr, "\r%s [%s%s] %zu/%zu", label_.c_str(), std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '-').c_str(), done, total_);
        std::fflush(stderr);
    }

    std::string label_;
    std::size_t total_;
    bool shown_;
    std::atomic<std::size_t> done_{0};
    std::mutex mutex_;
};

}  // namespace

BatchInputs CollectProjectFiles(const std::vector<std::string>& names) {
    BatchInputs in;
    for (const auto& name : names) {
        std::error_code ec;
        const auto status = fs::status(name, ec);
        if (fs::is_regular_file(status)) {
            in.files.push_back(name);
        } else if (fs::is_directory(status)) {
            std::vector<std::string> found;
            for (fs::directory_iterator it(name, ec), end; !ec && it != end; it.increment(ec))
                if (HasProjectExtension(it->path()) && it->is_regular_file(ec)) found.push_back(it->path().string());
            if (ec) {
                in.failures.push_back({name, "无法读取文件夹: " + ec.message()});
                continue;
            }
            std::sort(found.begin(), found.end());
            in.files.insert(in.files.end(), found.begin(), found.end());
        } else {
            in.failures.push_back({name, "没有这个文件或文件夹"});
        }
    }
    return in;
}

std::vector<BatchFailure> RunBatch(const std::vector<std::string>& files, const BatchJob& job,
                                   const BatchOptions& options) {
    std::vector<std::optional<std::string>> outcome(files.size());
    {
        ProgressBar bar(options.label, files.size(), options.progress);
        std::atomic<std::size_t> next{0};
        const auto work = [&] {
            for (std::size_t i = next++; i < files.size(); i = next++) {
                std::string why;
                try {
                    why = job(files[i]);
                } catch (const std::exception& e) {
                    why = e.what();
                }
                if (!why.empty()) outcome[i] = std::move(why);
                bar.Advance();
            }
        };
        unsigned workers = options.workers ? options.workers : std::max(1u, std::thread::hardware_concurrency());
        workers = static_cast<unsigned>(std::min<std::size_t>(workers, files.size()));
        std::vector<std::thread> threads;
        for (unsigned w = 1; w < workers; ++w) threads.emplace_back(work);
        work();
        for (auto& t : threads) t.join();
    }
    std::vector<BatchFailure> failures;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (outcome[i]) failures.push_back({files[i], *outcome[i]});
    return failures;
}

bool ProgressOnTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int ReportBatch(const std::string& doneText, std::size_t total, const std::vector<BatchFailure>& failures) {
    for (const auto& f : failures) std::cerr << "tavtool: " << f.file << ": " << f.why << "\n";
    std::cout << doneText << " " << (total - std::min(total, failures.size())) << " 个，失败 " << failures.size()
              << " 个\n";
    return failures.empty() ? kExitOk : kExitInvalidData;
}

std::vector<std::string> WithoutNameClashes(const std::vector<std::string>& files,
                                            const std::function<std::string(const std::string&)>& outputName,
                                            std::vector<BatchFailure>& failures) {
    std::map<std::string, std::string> taken;  // output name -> the input that has it
    std::vector<std::string> kept;
    for (const auto& file : files) {
        const auto [it, fresh] = taken.emplace(outputName(file), file);
        if (fresh)
            kept.push_back(file);
        else
            failures.push_back({file, "与 " + it->second + " 的输出同名，已跳过"});
    }
    return kept;
}

int RunBatchCommand(const BatchCommand& command) {
    std::error_code ec;
    fs::create_directories(command.outFolder, ec);
    if (!fs::is_directory(command.outFolder, ec)) {
        ReportError(command.outFolder, "无法创建输出文件夹");
        return kExitIo;
    }
    BatchInputs in = CollectProjectFiles(command.names);
    const std::size_t total = in.files.size() + in.failures.size();
    const auto files = WithoutNameClashes(in.files, command.outputName, in.failures);
    const auto failed = RunBatch(files, command.job, {command.label, 0, ProgressOnTerminal()});
    in.failures.insert(in.failures.end(), failed.begin(), failed.end());
    return ReportBatch(command.doneText, total, in.failures);
}

std::string LoadBatchProject(CTAV_AnalyserDoc& doc, const std::string& file, bool magnify,
                             const std::vector<long>& points) {
    doc.magnifyOldRecords = magnify;
    const LoadResult r = OpenFile(doc, file);
    if (r.status == LoadStatus::IoError) return r.message;
    if (!r.Whole()) return std::string(LoadStatusName(r.status)) + ": " + r.message;
    if (points.empty()) return {};
    doc.checkedIndices.clear();
    for (const long k : points) {
        if (k < 0 || k >= doc.PointCount()) return "test point " + std::to_string(k) + " is outside the project";
        doc.checkedIndices.push_back(static_cast<std::int32_t>(k));
    }
    return {};
}

}  // namespace tav::cli
