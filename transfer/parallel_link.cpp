#include "transfer/parallel_link.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/text_codec.hpp"
#include "transfer/wire_text.hpp"

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kPeerLine = 0x80;   // status bit 7
constexpr std::uint8_t kOwnLine = 0x10;    // data bit 4
constexpr int kStatusNibbleShift = 3;      // status bits 3..6

std::string SendFailed(int code) { return "数据传输失败" + std::to_string(code) + "！"; }
std::string ReceiveFailed(int code) { return "数据接收失败 " + std::to_string(code) + "！"; }
constexpr std::string_view kCannotWrite = "CANNOT WRITE THE TARGET NAME";
constexpr std::string_view kFileFailed = "接收文件失败！";

std::string WithSlash(std::string_view folder) {
    std::string f(folder);
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

// A name a peer may give a file in our folder: nothing that climbs out of it.
bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

ParallelLink::ParallelLink(ParallelPort& port) : port_(port) {}

void ParallelLink::Record(std::string text) {
    // Cut to the field without splitting a character.
    if (text.size() >= kStatusBytes) {
        std::size_t n = kStatusBytes - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        text.resize(n);
    }
    status_ = std::move(text);
}

bool ParallelLink::WaitLine(bool high) { return port_.WaitStatus(kPeerLine, high ? kPeerLine : 0, kHandshakePolls); }

void ParallelLink::ResetPort() {
    if (!port_.Usable()) return;
    port_.WriteControl(0);
    port_.WriteData(0);
}

int ParallelLink::SendBytes(std::span<const std::uint8_t> bytes) {
    if (!port_.Usable()) return 0;
    int sent = 0;
    for (const std::uint8_t b : bytes) {
        if (!WaitLine(true)) return sent;
        port_.WriteData(static_cast<std::uint8_t>((b & 0x0F) | kOwnLine));
        if (!WaitLine(false)) return sent;
        port_.WriteData(static_cast<std::uint8_t>(b >> 4));
        ++sent;
    }
    // The peer raises its line once it has taken the last nibble; without
    // that the last byte is not known to have arrived.
    if (sent > 0 && !WaitLine(true)) return sent - 1;
    return sent;
}

int ParallelLink::ReceiveBytes(std::span<std::uint8_t> bytes) {
    if (!port_.Usable()) return 0;
    int received = 0;
    for (std::uint8_t& b : bytes) {
        if (!WaitLine(false)) return received;
        const std::uint8_t low = (port_.ReadStatus() >> kStatusNibbleShift) & 0x0F;
        port_.WriteData(kOwnLine);
        if (!WaitLine(true)) return received;
        const std::uint8_t high = (port_.ReadStatus() >> kStatusNibbleShift) & 0x0F;
        port_.WriteData(0);
        b = static_cast<std::uint8_t>((high << 4) | low);
        ++received;
    }
    return received;
}

int ParallelLink::SendPacket(std::span<const std::uint8_t> payload) {
    const auto length = static_cast<std::uint16_t>(payload.size());
    const std::array<std::uint8_t, 4> header = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                                static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
    const int headerSent = SendBytes(header);
    if (headerSent == 0) return -1;
    if (headerSent < 4) return -2;
    return SendBytes(payload) == static_cast<int>(payload.size()) ? 1 : -2;
}

int ParallelLink::ReceivePacket(int& length, std::span<std::uint8_t> buffer) {
    std::array<std::uint8_t, 4> header{};
    const int got = ReceiveBytes(header);
    if (got == 0) return -1;
    if (got < 4) return -2;
    const auto first = static_cast<std::int16_t>(header[0] | (header[1] << 8));
    const auto second = static_cast<std::int16_t>(header[2] | (header[3] << 8));
    if (first != second) return -3;
    // A length the buffer cannot hold is a broken packet, never stored.
    if (first < 0 || static_cast<std::size_t>(first) > buffer.size()) return -2;
    if (ReceiveBytes(buffer.first(static_cast<std::size_t>(first))) < first) return -2;
    length = first;
    return 1;
}

int ParallelLink::SendText(std::string_view text) {
    // A text longer than the transfer buffer is never put on the wire.
    const int code = text.size() > kBufferBytes ? -1 : SendPacket(Bytes(text));
    if (code != 1) {
        Record(SendFailed(code));
        ResetPort();
    }
    return code;
}

int ParallelLink::ReceiveText(std::string& text) {
    text.clear();
    int code = -1;
    for (int attempt = 0; attempt < kTextAttempts && !Cancelled(); ++attempt) {
        int length = 0;
        code = ReceivePacket(length, buffer_);
        if (code == 1) {
            const auto* begin = reinterpret_cast<const char*>(buffer_.data());
            text.assign(begin, static_cast<std::size_t>(length));
            text.resize(std::strlen(text.c_str()));
            return length;
        }
        if (code != -1) break;
    }
    Record(ReceiveFailed(code));
    ResetPort();
    return -10;
}

int ParallelLink::SendFileData(std::int64_t size, std::FILE* file) {
    while (size > 0) {
        if (Cancelled()) return -1;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(size, kBufferBytes));
        buffer_.fill(0);  // a file that shrank meanwhile sends zeros, not old bytes
        if (file) (void)std::fread(buffer_.data(), 1, n, file);
        ResetPort();
        const int code = SendPacket(std::span<const std::uint8_t>(buffer_.data(), n));
        if (code != 1) {
            Record(SendFailed(code));
            ResetPort();
            return code;
        }
        size -= static_cast<std::int64_t>(n);
    }
    return 1;
}

int ParallelLink::ReceiveFileData(std::FILE* file, std::int64_t size, std::int64_t& received, bool& writeFailed) {
    received = 0;
    writeFailed = false;
    int emptyChunks = 0;
    while (size > 0) {
        ResetPort();
        int code = -1;
        int length = 0;
        for (int attempt = 0; attempt < kChunkAttempts && !Cancelled(); ++attempt) {
            code = ReceivePacket(length, buffer_);
            if (code != -1) break;
        }
        if (code == -3) {
            SendText("quit");
            return 0;
        }
        // Empty chunks carry nothing; a peer that sends only those is as good as silent.
        if (code == 1 && length == 0 && ++emptyChunks >= kChunkAttempts) code = -1;
        if (code != 1) {
            Record(ReceiveFailed(code));
            ResetPort();
            return code;
        }
        if (length > 0) emptyChunks = 0;
        if (file && std::fwrite(buffer_.data(), 1, static_cast<std::size_t>(length), file) !=
                        static_cast<std::size_t>(length))
            writeFailed = true;
        received += length;
        size -= length;
    }
    return 1;
}

int ParallelLink::Execute(int operation, std::string& remote, std::string_view local) {
    if (!port_.Usable()) {
        Record(port_.Problem());
        download_ = {};
        return 0;
    }
    ResetPort();
    switch (operation) {
        case kHello: return Hello(remote);
        case kQuit: return Quit();
        case kListDirectory: return ListDirectory(remote, local);
        case kChangeDirectory: return ChangeDirectory(local);
        case kDownloadFile: return DownloadFile(remote, local);
        case kDownloadFolder: return DownloadFolder(remote, local);
        case kUploadFolder: return UploadFolder(remote, local);
        default: return 1;
    }
}

int ParallelLink::Hello(std::string& reply) {
    ResetPort();
    std::string text;
    if (SendText("HI") != 1 || ReceiveText(text) < 0 || !StartsWithIgnoringCase(text, "HI")) {
        Record("Bad response from server");
        ResetPort();
        return 0;
    }
    Record("Server is alive and well");
    reply = text.size() > 3 ? text.substr(3) : std::string();
    return 1;
}

int ParallelLink::Quit() {
    const int code = SendText("quit");
    ResetPort();
    return code;
}

int ParallelLink::ListDirectory(std::string& reply, std::string_view directory) {
    ResetPort();
    reply.clear();
    if (SendText("DIR " + std::string(directory)) != 1) return 0;
    return ReceiveText(reply) > 0 ? 1 : 0;
}

int ParallelLink::ChangeDirectory(std::string_view directory) {
    std::string reply;
    if (SendText("CD " + std::string(directory)) != 1) return 0;
    if (ReceiveText(reply) >= 0 && StartsWithIgnoringCase(reply, "OK")) {
        if (SendText("PWD") == 1 && ReceiveText(reply) >= 0) Record("Directory on server is now " + reply);
    }
    return 0;
}

bool ParallelLink::TakeFile(const std::string& localPath, std::int64_t size, bool& created) {
    DownloadedFile record{localPath, size, 0, false};
    std::FILE* file = std::fopen(localPath.c_str(), "wb");
    created = file != nullptr;
    if (!file) {
        Record(std::string(kCannotWrite));
        download_.files.push_back(record);
        return false;
    }
    int code = 0;
    bool writeFailed = false;
    if (SendText("SEND") == 1) code = ReceiveFileData(file, size, record.received, writeFailed);
    if (std::fclose(file) != 0) writeFailed = true;
    record.whole = code == 1 && record.received == std::max<std::int64_t>(size, 0) && !writeFailed;
    download_.files.push_back(record);
    return record.whole;
}

int ParallelLink::DownloadFile(std::string_view remotePath, std::string_view localFolder) {
    download_ = {};
    const std::size_t cut = remotePath.find_last_of("\\/:");
    const std::string name = Cp936ToUtf8(cut == std::string_view::npos ? remotePath : remotePath.substr(cut + 1));
    const std::string localPath = WithSlash(localFolder) + name;
    if (SendText("DOWNF " + std::string(remotePath)) != 1) return 0;
    std::string reply;
    if (ReceiveText(reply) < 0 || !StartsWithIgnoringCase(reply, "BEGIN")) return 1;
    const BeginNotice notice = ParseBeginNotice(reply);
    if (!PlainName(name)) {
        Record(std::string(kCannotWrite));
        return 1;
    }
    bool created = false;
    const bool whole = TakeFile(localPath, notice.size, created);
    if (!created) return 1;
    Record("Received: " + localPath);
    download_.complete = whole;
    return 1;
}

int ParallelLink::DownloadFolder(std::string_view remoteFolder, std::string_view localFolder) {
    download_ = {};
    const std::string folder = WithSlash(localFolder);
    if (SendText("DOWND " + std::string(remoteFolder)) != 1) return 0;
    int failedInRow = 0;
    int skippedInRow = 0;
    bool allWhole = true;
    while (!Cancelled()) {
        std::string reply;
        if (ReceiveText(reply) < 0) {
            if (++failedInRow >= kFailedRepliesInRow) break;
            continue;
        }
        failedInRow = 0;
        if (StartsWithIgnoringCase(reply, "END")) {
            download_.complete = allWhole;
            return 1;
        }
        if (!StartsWithIgnoringCase(reply, "BEGIN")) {
            if (++skippedInRow >= kSkippedRepliesInRow) break;
            continue;
        }
        skippedInRow = 0;
        const BeginNotice notice = ParseBeginNotice(reply);
        const std::string name = Cp936ToUtf8(notice.name);
        if (!PlainName(name)) {
            Record(std::string(kCannotWrite));
            return 1;
        }
        bool created = false;
        if (!TakeFile(folder + name, notice.size, created)) {
            if (!created) return 1;  // the remaining files are not taken
            Record(std::string(kFileFailed));
            allWhole = false;
        }
    }
    return 1;
}

int ParallelLink::UploadFolder(std::string_view remoteFolder, std::string_view localFolder) {
    const std::string folder = WithSlash(localFolder);
    if (SendText("GETD " + std::string(remoteFolder)) != 1) return 0;
    std::vector<fs::path> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    if (entries.empty()) Record("当前文件夹中无任何文件！");
    for (const auto& path : entries) {
        if (Cancelled()) break;
        const std::string name = Utf8ToCp936(path.filename().string());
        std::FILE* file = fs::is_regular_file(path, ec) ? std::fopen(path.c_str(), "rb") : nullptr;
        if (!file) {
            SendText(name + " CANNOT OPEN");
            continue;
        }
        const auto size = static_cast<std::int64_t>(fs::file_size(path, ec));
        std::string reply;
        if (SendText("BEGIN" + std::to_string(ec ? 0 : size) + " " + name) == 1 && ReceiveText(reply) >= 0 &&
            StartsWithIgnoringCase(reply, "SEND"))
            SendFileData(ec ? 0 : size, file);
        std::fclose(file);
    }
    SendText("END");
    return 1;
}

}  // namespace tav
