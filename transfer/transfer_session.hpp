// The transfer session behind the "数据传输" dialog and `tavtool transfer`:
// probing the instrument, its list of projects with local file names, the
// queue the user builds, and the worker that downloads each queued project and
// converts it into a "TAV02" project file in the chosen folder.
//
// Threads: the probe and the queue commands run on the caller's thread, the
// transfer on a worker thread; the probe does nothing while the worker runs,
// so the link is used by one thread at a time. The cancel state is 0 (none),
// 1 (the user asked) or 2 (the worker stopped). The worker is always stopped
// and joined before the session (and the link it uses) goes away, on a forced
// close too; the link's long loops watch the cancel state, so that is prompt.
//
// Downloads land in a private work folder given by the caller, never in the
// user's folder: only whole, converted projects reach it. A project any of
// whose files did not arrive whole is reported as failed and leaves no file.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "transfer/instrument_files.hpp"
#include "transfer/parallel_link.hpp"

namespace tav {

inline constexpr std::string_view kNotConnectedText = "尚未连接。";
inline constexpr std::string_view kInstrumentFolderText = "C:\\DAT";
inline constexpr std::string_view kChooseFilesText = "请选择所要传输的文件!";
inline constexpr std::string_view kTransferDoneText = "TAV文件传输结束!";
inline constexpr std::string_view kNotInstrumentDataText = "所传输的文件不是测桩仪数据文件！";
inline constexpr std::string_view kAbortQuestion = "传输尚未完成，是否终止尚未完成的传输？";
inline constexpr std::string_view kForceQuestion = "正在结束操作，是否强行终止操作？\n警告：强行终止将导致软件异常退出！";
// "获取文件%s失败！" with the local folder.
std::string DownloadFailedText(std::string_view localFolder);

inline constexpr std::int32_t kCancelNone = 0;
inline constexpr std::int32_t kCancelRequested = 1;
inline constexpr std::int32_t kCancelAcknowledged = 2;

struct ProjectOutcome {
    int entry = -1;
    std::string target;   // the project file (UTF-8 path)
    bool converted = false;
    bool localIoError = false;
    std::string message;  // why it failed, for the user
};

// What the worker tells; called on the worker's thread.
class TransferEvents {
public:
    virtual ~TransferEvents() = default;
    virtual void QueueChanged() {}
    virtual void ProgressChanged(int /*percent*/) {}
    virtual void ProjectFinished(const ProjectOutcome& /*outcome*/) {}
    // The queue is done (cancelled false) or the worker stopped on a cancel.
    virtual void WorkerEnded(bool /*cancelled*/) {}
};

class TransferSession {
public:
    // workFolder: an existing folder private to the user, for downloads.
    TransferSession(ParallelLink& link, std::string workFolder, TransferEvents* events = nullptr);
    ~TransferSession();
    TransferSession(const TransferSession&) = delete;
    TransferSession& operator=(const TransferSession&) = delete;

    // One tick of the connection probe; nothing while busy.
    void Probe();
    bool Connected() const { return connected_; }
    // True once after each change of the connected flag: the lists must be
    // rebuilt. On a disconnection the queue is emptied here.
    bool TakeRefresh();
    const std::vector<InstrumentProjectEntry>& Entries() const { return entries_; }

    // Queue commands; each is refused (false) while busy or cancelling.
    bool Editable() const { return !busy_ && cancel_ == kCancelNone; }
    std::vector<int> Queue() const;
    bool AddSelected(std::span<const int> rows);
    bool RemoveSelected(std::span<const int> queuePositions);
    bool AddAll();
    bool RemoveAll();
    // For tavtool: the queue as given (invalid indices are skipped by the worker).
    void SetQueue(std::vector<int> entries);

    void SetLocalFolder(std::string folder) { localFolder_ = std::move(folder); }
    const std::string& LocalFolder() const { return localFolder_; }
    // The local folder of the last transfer started, empty before.
    const std::string& OpenedFolder() const { return openedFolder_; }

    enum class StartResult { Ignored, EmptyQueue, Started };
    // Starts the worker thread.
    StartResult Start();
    // Runs the worker's loop on this thread (tavtool).
    StartResult RunHere();

    bool Busy() const { return busy_ != 0; }
    std::int32_t CancelState() const { return cancel_; }

    enum class CloseStep { CloseNow, AskAbort, AskForce };
    CloseStep RequestClose() const;
    // The user agreed to end the transfer: the worker stops at its next chance.
    void RequestCancel();
    // Leaves the instrument: stops and joins a worker still running (asking it
    // to cancel), then sends Quit. Safe to call more than once.
    void Close();

private:
    bool Prepare();
    void Work();
    void RunProject(int index, int total, int step);
    void Notify(void (TransferEvents::*event)());

    ParallelLink& link_;
    std::string workFolder_;
    TransferEvents* events_;

    bool connected_ = false;
    bool refreshed_ = false;
    std::vector<InstrumentProjectEntry> entries_;

    mutable std::mutex queueMutex_;
    std::vector<int> queue_;

    std::string localFolder_;
    std::string openedFolder_;
    std::atomic<std::int32_t> busy_{0};
    std::atomic<std::int32_t> cancel_{kCancelNone};
    std::thread worker_;
    bool closed_ = false;
};

}  // namespace tav
