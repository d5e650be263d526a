// The link to the field instrument over the first parallel port: a nibble
// handshake on three registers, length-checked packets on top of it, and on
// top of those a small text protocol in which the workstation asks and the
// instrument answers, with whole files moved in chunks.
//
// Rules the callers rely on:
// - Every wait is counted in status reads (kHandshakePolls), never in time, and
//   every loop has a bound: a silent, slow or garbling peer ends an operation
//   with a failure code, it never hangs the caller.
// - The protocol has no checksum: a flipped data bit can pass unnoticed. What
//   the link does see (a short packet, differing length copies, a chunk longer
//   than the buffer, chunks that do not add up to the announced size) is
//   reported in LastDownload(), so that no damaged file is taken for good.
// - A port that is not usable makes every operation fail without touching a
//   register; StatusText() then says why.
// - While the cancel flag reads 1, the long loops stop at their next round.
// - Not locked: one thread at a time (the transfer session sees to that).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/parallel_port.hpp"

namespace tav {

enum LinkOperation : int {
    kHello = 1,
    kQuit = 2,
    kListDirectory = 3,
    kChangeDirectory = 4,
    kDownloadFile = 5,
    kDownloadFolder = 6,
    kUploadFolder = 7,
};

// One file a download announced, and what arrived of it.
struct DownloadedFile {
    std::string localPath;
    std::int64_t announced = 0;
    std::int64_t received = 0;
    bool whole = false;  // every announced byte arrived, no more, and all were written
};

struct DownloadRecord {
    std::vector<DownloadedFile> files;
    // The instrument finished its list ("END", or the one file of DownloadFile)
    // and every file came whole.
    bool complete = false;
};

class ParallelLink {
public:
    static constexpr std::size_t kBufferBytes = 4096;
    static constexpr std::size_t kStatusBytes = 200;
    static constexpr std::uint32_t kHandshakePolls = 64000;
    static constexpr int kTextAttempts = 100;     // packets that did not start, for a text reply
    static constexpr int kChunkAttempts = 64000;  // the same for a file chunk
    // DownloadFolder gives up after this many failed replies in a row, or this
    // many replies in a row that announce no file.
    static constexpr int kFailedRepliesInRow = 8;
    static constexpr int kSkippedRepliesInRow = 1000;

    explicit ParallelLink(ParallelPort& port);

    void SetCancelFlag(const std::atomic<std::int32_t>* cancel) { cancel_ = cancel; }

    // Resets the port, then runs one LinkOperation. The remote argument is an
    // instrument path (code page 936) or receives a reply; the local one is a
    // folder here (UTF-8) or a text sent. Unknown operations return 1 and send
    // nothing.
    int Execute(int operation, std::string& remote, std::string_view local);

    // The last noteworthy outcome (UTF-8), at most kStatusBytes - 1 bytes.
    const std::string& StatusText() const { return status_; }
    // The files of the last DownloadFile or DownloadFolder.
    const DownloadRecord& LastDownload() const { return download_; }

    // The layers below Execute.
    void ResetPort();
    int SendBytes(std::span<const std::uint8_t> bytes);
    int ReceiveBytes(std::span<std::uint8_t> bytes);
    // 1 sent; -1 the receiver never took the first header nibble; -2 partly sent.
    int SendPacket(std::span<const std::uint8_t> payload);
    // 1 received; -1 nothing arrived; -2 incomplete, or longer than the buffer;
    // -3 the two length copies differ.
    int ReceivePacket(int& length, std::span<std::uint8_t> buffer);
    int SendText(std::string_view text);
    // The payload length (text up to its first zero byte in `text`), or -10.
    int ReceiveText(std::string& text);
    int SendFileData(std::int64_t size, std::FILE* file);
    // 1 when `size` bytes (or more) arrived; 0 after a garbled header (and
    // "quit" sent); else the failing ReceivePacket code. `received` counts the
    // bytes, `writeFailed` tells whether writing them failed.
    int ReceiveFileData(std::FILE* file, std::int64_t size, std::int64_t& received, bool& writeFailed);

private:
    int Hello(std::string& reply);
    int Quit();
    int ListDirectory(std::string& reply, std::string_view directory);
    int ChangeDirectory(std::string_view directory);
    int DownloadFile(std::string_view remotePath, std::string_view localFolder);
    int DownloadFolder(std::string_view remoteFolder, std::string_view localFolder);
    int UploadFolder(std::string_view remoteFolder, std::string_view localFolder);

    // Takes one announced file into localPath: creates it, asks for it, receives it.
    bool TakeFile(const std::string& localPath, std::int64_t size, bool& created);
    bool Cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed) == 1; }
    bool WaitLine(bool high);
    void Record(std::string text);

    ParallelPort& port_;
    const std::atomic<std::int32_t>* cancel_ = nullptr;
    std::array<std::uint8_t, kBufferBytes> buffer_{};
    std::string status_;
    DownloadRecord download_;
};

}  // namespace tav
