#include "transfer/transfer_session.hpp"

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kIndexPath = "c:\\dat\\rsite.par";
constexpr std::string_view kIndexName = "rsite.par";
constexpr std::string_view kProjectsFolder = "C:\\DAT\\";

// An empty folder at path (whatever was there before is removed); false when
// it cannot be made.
bool FreshFolder(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path, ec);
    return !ec;
}

}  // namespace

std::string DownloadFailedText(std::string_view localFolder) {
    return "获取文件" + std::string(localFolder) + "失败！";
}

TransferSession::TransferSession(ParallelLink& link, std::string workFolder, TransferEvents* events)
    : link_(link), workFolder_(std::move(workFolder)), events_(events) {
    link_.SetCancelFlag(&cancel_);
}

TransferSession::~TransferSession() {
    if (worker_.joinable()) {
        std::int32_t none = kCancelNone;
        cancel_.compare_exchange_strong(none, kCancelRequested);
        worker_.join();
    }
    link_.SetCancelFlag(nullptr);
    std::error_code ec;
    fs::remove_all(fs::path(workFolder_) / "index", ec);
    fs::remove_all(fs::path(workFolder_) / "download", ec);
}

void TransferSession::Probe() {
    if (busy_) return;
    const bool wasConnected = connected_;
    connected_ = false;
    const fs::path folder = fs::path(workFolder_) / "index";
    std::error_code ec;
    fs::create_directories(folder, ec);
    // An index left from an earlier tick must never pass for a new one.
    fs::remove(folder / kIndexName, ec);

    std::string remote(kIndexPath);
    if (link_.Execute(kDownloadFile, remote, folder.string()) == 0) {
        entries_.clear();
        return;
    }
    connected_ = true;
    if (wasConnected) return;

    entries_.clear();
    const auto bytes = ReadWholeFile((folder / kIndexName).string());
    if (!bytes || !link_.LastDownload().complete) {
        connected_ = false;
        return;
    }
    entries_ = ParseInstrumentIndex(*bytes);
}

bool TransferSession::TakeRefresh() {
    if (connected_ == refreshed_) return false;
    refreshed_ = connected_;
    if (!connected_) {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    return true;
}

std::vector<int> TransferSession::Queue() const {
    std::lock_guard lock(queueMutex_);
    return queue_;
}

bool TransferSession::AddSelected(std::span<const int> rows) {
    if (!Editable()) return false;
    std::vector<int> sorted(rows.begin(), rows.end());
    std::sort(sorted.begin(), sorted.end());
    std::lock_guard lock(queueMutex_);
    for (const int row : sorted)
        if (row >= 0 && row < static_cast<int>(entries_.size()) &&
            std::find(queue_.begin(), queue_.end(), row) == queue_.end())
            queue_.push_back(row);
    return true;
}

bool TransferSession::RemoveSelected(std::span<const int> queuePositions) {
    if (!Editable()) return false;
    std::lock_guard lock(queueMutex_);
    std::vector<int> kept;
    for (int i = 0; i < static_cast<int>(queue_.size()); ++i)
        if (std::find(queuePositions.begin(), queuePositions.end(), i) == queuePositions.end())
            kept.push_back(queue_[static_cast<std::size_t>(i)]);
    queue_ = std::move(kept);
    return true;
}

bool TransferSession::AddAll() {
    if (!Editable()) return false;
    std::lock_guard lock(queueMutex_);
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i)
        if (std::find(queue_.begin(), queue_.end(), i) == queue_.end()) queue_.push_back(i);
    return true;
}

bool TransferSession::RemoveAll() {
    if (!Editable()) return false;
    std::lock_guard lock(queueMutex_);
    queue_.clear();
    return true;
}

void TransferSession::SetQueue(std::vector<int> entries) {
    std::lock_guard lock(queueMutex_);
    queue_ = std::move(entries);
}

bool TransferSession::Prepare() {
    if (busy_ || cancel_ != kCancelNone) return false;
    if (worker_.joinable()) worker_.join();  // the last worker has ended; collect it
    busy_ = 1;
    cancel_ = kCancelNone;
    openedFolder_ = localFolder_;
    if (events_) events_->ProgressChanged(0);
    return true;
}

TransferSession::StartResult TransferSession::Start() {
    if (busy_ || cancel_ != kCancelNone) return StartResult::Ignored;
    if (Queue().empty()) return StartResult::EmptyQueue;
    if (!Prepare()) return StartResult::Ignored;
    worker_ = std::thread([this] { Work(); });
    return StartResult::Started;
}

TransferSession::StartResult TransferSession::RunHere() {
    if (busy_ || cancel_ != kCancelNone) return StartResult::Ignored;
    if (Queue().empty()) return StartResult::EmptyQueue;
    if (!Prepare()) return StartResult::Ignored;
    Work();
    return StartResult::Started;
}

void TransferSession::Notify(void (TransferEvents::*event)()) {
    if (events_) (events_->*event)();
}

void TransferSession::Work() {
    const int total = static_cast<int>(Queue().size());
    int step = 0;
    while (cancel_ != kCancelRequested) {
        int index = 0;
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty()) break;
            index = queue_.front();
        }
        ++step;
        if (index < 0 || index >= static_cast<int>(entries_.size())) {
            {
                std::lock_guard lock(queueMutex_);
                queue_.erase(queue_.begin());
            }
            Notify(&TransferEvents::QueueChanged);
            continue;
        }
        RunProject(index, total, step);
    }
    if (cancel_ == kCancelRequested) {
        cancel_ = kCancelAcknowledged;
        if (events_) events_->WorkerEnded(true);
        return;
    }
    busy_ = 0;
    if (events_) events_->WorkerEnded(false);
}

void TransferSession::RunProject(int index, int total, int step) {
    const InstrumentProjectEntry& entry = entries_[static_cast<std::size_t>(index)];
    ProjectOutcome outcome;
    outcome.entry = index;
    outcome.target = LocalTargetPath(openedFolder_, entry);
    const fs::path download = fs::path(workFolder_) / "download";

    if (!FreshFolder(download)) {
        outcome.localIoError = true;
        outcome.message = DownloadFailedText(openedFolder_);
    } else {
        std::string remote = std::string(kProjectsFolder) + std::string(TextOf(entry.folder)) + "\\";
        const int sent = link_.Execute(kDownloadFolder, remote, download.string());
        // A cancelled project is not finished: it stays queued and nothing is written.
        if (cancel_ == kCancelRequested) return;
        if (sent == 0 || !link_.LastDownload().complete) {
            outcome.message = DownloadFailedText(openedFolder_);
        } else {
            std::string error;
            switch (ConvertInstrumentProject(download.string(), TextOf(entry.folder), outcome.target, &error)) {
                case ConvertResult::Converted:
                    outcome.converted = true;
                    break;
                case ConvertResult::NotInstrumentData:
                    outcome.message = std::string(kNotInstrumentDataText);
                    break;
                case ConvertResult::WriteFailed:
                    outcome.localIoError = true;
                    outcome.message = error;
                    break;
            }
        }
    }
    std::error_code ec;
    fs::remove_all(download, ec);
    {
        std::lock_guard lock(queueMutex_);
        if (!queue_.empty()) queue_.erase(queue_.begin());
    }
    Notify(&TransferEvents::QueueChanged);
    if (outcome.converted && events_) events_->ProgressChanged((100 / total) * step);
    if (events_) events_->ProjectFinished(outcome);
}

TransferSession::CloseStep TransferSession::RequestClose() const {
    if (cancel_ == kCancelRequested) return CloseStep::AskForce;
    if (busy_ && cancel_ == kCancelNone) return CloseStep::AskAbort;
    return CloseStep::CloseNow;
}

void TransferSession::RequestCancel() {
    std::int32_t none = kCancelNone;
    cancel_.compare_exchange_strong(none, kCancelRequested);
}

void TransferSession::Close() {
    if (closed_) return;
    closed_ = true;
    if (worker_.joinable()) {
        if (busy_) RequestCancel();
        worker_.join();
    }
    std::string unused;
    link_.Execute(kQuit, unused, {});
}

}  // namespace tav
