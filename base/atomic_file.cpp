#include "base/atomic_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/creation_mask.hpp"

namespace tav {

std::string SystemErrorText(int e) {
    switch (e) {
        case EACCES:
        case EPERM: return "没有权限";
        case ENOENT: return "文件或文件夹不存在";
        case ENOSPC: return "磁盘空间不足";
        case EDQUOT: return "超出磁盘配额";
        case EROFS: return "文件系统只读";
        case EIO: return "输入输出错误";
        case ENOTDIR: return "路径中有一项不是文件夹";
        case EISDIR: return "这是一个文件夹";
        case EEXIST: return "文件已存在";
        case EMFILE:
        case ENFILE: return "打开的文件过多";
        case ENAMETOOLONG: return "文件名过长";
        case EXDEV: return "不在同一个文件系统中";
        case EBUSY: return "文件正忙";
        case EAGAIN: return "资源暂时不可用";
        case ELOOP: return "符号链接层数过多";
        case EFBIG: return "文件过大";
        case EINTR: return "操作被中断";
        default: return std::string(std::strerror(e)) + "（错误号 " + std::to_string(e) + "）";
    }
}

namespace {

void SetError(std::string* error, const std::string& what) {
    if (error) *error = what + "：" + SystemErrorText(errno);
}

// Hidden temporaries of saves in progress, for the SIGINT/SIGTERM handler.
// The handler may only touch what is async-signal-safe: fixed buffers, atomic
// flags, unlink, sigaction and raise.
constexpr int kCleanupSlots = 16;
constexpr std::size_t kCleanupPathBytes = 4096;
struct CleanupSlot {
    std::atomic<bool> used{false};
    char path[kCleanupPathBytes];
};
CleanupSlot gCleanupSlots[kCleanupSlots];
std::mutex gCleanupMutex;
int gCleanupCount = 0;
// Per signal: what was in force before ours, whether ours is in force,
// whether ours was left beneath a handler set over it meanwhile, and whether
// ours ran (it then put back what was before it, so it is in force nowhere).
struct SignalState {
    struct sigaction previous {};
    bool installed = false;
    bool displaced = false;
    std::atomic<bool> ran{false};
};
SignalState gInt;
SignalState gTerm;

extern "C" void RemoveTemporariesAndReraise(int signalNumber) {
    const int saved = errno;
    for (auto& slot : gCleanupSlots)
        if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
    // Whatever was in force before the save (usually: end the process) now
    // deals with the signal, raised again once this handler returns.
    SignalState& state = signalNumber == SIGINT ? gInt : gTerm;
    state.ran.store(true);
    ::sigaction(signalNumber, &state.previous, nullptr);
    ::raise(signalNumber);
    errno = saved;
}

void InstallHandler(int signalNumber, SignalState& state) {
    struct sigaction current {};
    const bool ran = state.ran.exchange(false);
    if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
    // Ours is still in force: the handler that had been set over it put it back.
    if (current.sa_handler == RemoveTemporariesAndReraise) {
        state.installed = true;
        state.displaced = false;
        return;
    }
    // Ours is still beneath a handler set over it during a save, one that
    // passes the signal on to what it replaced. Set over that one once more,
    // ours would pass the signal up to it and it back down to ours, for ever.
    // Ours, once it has run, is beneath nothing.
    if (state.displaced && !ran) return;
    state.displaced = false;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    state.installed = ::sigaction(signalNumber, &action, &state.previous) == 0;
}

void RestoreHandler(int signalNumber, SignalState& state) {
    struct sigaction current {};
    // Only ours is put back: a handler set by someone else meanwhile stays.
    if (state.installed && !state.ran.exchange(false) && ::sigaction(signalNumber, nullptr, &current) == 0) {
        if (current.sa_handler == RemoveTemporariesAndReraise)
            ::sigaction(signalNumber, &state.previous, nullptr);
        else
            state.displaced = true;
    }
    state.installed = false;
}

std::atomic<bool> gRemoveOnSignals{true};

int RegisterTemporary(const std::string& path) {
    if (path.size() >= kCleanupPathBytes || !gRemoveOnSignals.load()) return -1;
    const std::lock_guard lock(gCleanupMutex);
    for (int i = 0; i < kCleanupSlots; ++i) {
        auto& slot = gCleanupSlots[i];
        if (slot.used.load(std::memory_order_relaxed)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used.store(true, std::memory_order_release);
        if (gCleanupCount++ == 0) {
            InstallHandler(SIGINT, gInt);
            InstallHandler(SIGTERM, gTerm);
        }
        return i;
    }
    return -1;
}

void UnregisterTemporary(int index) {
    if (index < 0) return;
    const std::lock_guard lock(gCleanupMutex);
    gCleanupSlots[index].used.store(false, std::memory_order_release);
    if (--gCleanupCount == 0) {
        RestoreHandler(SIGINT, gInt);
        RestoreHandler(SIGTERM, gTerm);
    }
}

}  // namespace

void RemoveTemporariesOnSignals(bool on) { gRemoveOnSignals.store(on); }

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "无法打开");
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "不是普通文件";
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // the file grew
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "读取失败");
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

MappedFile::~MappedFile() {
    if (map_) ::munmap(map_, mapSize_);
}

bool MappedFile::Open(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "无法打开");
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "不是普通文件";
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) {
        void* m = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            ::close(fd);
            map_ = m;
            mapSize_ = static_cast<std::size_t>(st.st_size);
            ::madvise(m, mapSize_, MADV_SEQUENTIAL);  // read ahead; pages behind may go
            bytes_ = {static_cast<const std::uint8_t*>(m), mapSize_};
            return true;
        }
    }
    ::close(fd);
    auto bytes = ReadWholeFile(path, error);
    if (!bytes) return false;
    copy_ = std::move(*bytes);
    bytes_ = copy_;
    return true;
}

void MappedFile::Release(std::size_t offset) {
    if (!map_) return;
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = std::min(offset, mapSize_) / page * page;
    // Dropping memory costs a system call; do it a megabyte at a time.
    constexpr std::size_t kStep = std::size_t{1} << 20;
    if (end < released_ + kStep && end < mapSize_ / page * page) return;
    if (end <= released_) return;
    ::madvise(static_cast<std::uint8_t*>(map_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

AtomicFileWriter::AtomicFileWriter(std::string path, Durability durability)
    : path_(std::move(path)), durability_(durability) {
    const auto slash = path_.rfind('/');
    folder_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
    temp_ = folder_ + "/.tav-save-XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail("无法在“" + folder_ + "”中创建文件");
        return;
    }
    created_ = true;
    cleanupSlot_ = RegisterTemporary(temp_);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && state_ != State::Committed) ::unlink(temp_.c_str());
    UnregisterTemporary(cleanupSlot_);
}

void AtomicFileWriter::Fail(const std::string& what) {
    SetError(&error_, what);
    state_ = State::Failed;
}

bool AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
    if (!Ok() || state_ != State::Open) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("写入失败");
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

const std::string& AtomicFileWriter::HandOverPath() {
    static const std::string kNone;
    if (state_ == State::HandedOver) return temp_;
    if (!Ok() || state_ != State::Open) return kNone;
    // The library opens the file afresh; our descriptor would only keep a
    // second, stale view of it.
    ::close(fd_);
    fd_ = -1;
    state_ = State::HandedOver;
    return temp_;
}

bool AtomicFileWriter::Finish() {
    if (state_ == State::Finished) return true;
    if (!Ok() || (state_ != State::Open && state_ != State::HandedOver)) return false;
    if (state_ == State::HandedOver) {
        // Whatever the library made under the name, if it is a file, is what
        // gets finished: it may have replaced the file rather than written into it.
        fd_ = ::open(temp_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0) {
            Fail("写入失败");
            return false;
        }
        struct stat written {};
        if (::fstat(fd_, &written) != 0 || !S_ISREG(written.st_mode)) {
            error_ = "写入失败：不是普通文件";
            state_ = State::Failed;
            return false;
        }
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    mode_t wanted = 0;
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        wanted = st.st_mode & 07777;
    } else {
        const mode_t mask = FileCreationMask();
        wanted = 0666 & ~mask;
    }
    if (::fchmod(fd_, wanted) != 0) {
        // Some file systems refuse the call yet already show the mode asked for.
        struct stat now {};
        if (::fstat(fd_, &now) != 0 || (now.st_mode & 07777) != wanted) {
            Fail("无法保留文件的访问权限");
            return false;
        }
    }
    if (durability_ == Durability::OnDisk && ::fsync(fd_) != 0) {
        Fail("写入失败");
        return false;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail("写入失败");
        return false;
    }
    state_ = State::Finished;
    return true;
}

bool AtomicFileWriter::Commit() {
    if (!Finish()) return false;
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        Fail("无法替换原文件");
        return false;
    }
    state_ = State::Committed;
    UnregisterTemporary(cleanupSlot_);
    cleanupSlot_ = -1;
    if (durability_ == Durability::WorkFile) return true;
    // The new name is on the disk only once the folder is. A folder we may
    // not open, or a file system that cannot flush one, is left as it is:
    // only a flush that fails says the disk did not take the change.
    const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return true;
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP;
    if (!synced) SetError(&error_, "文件已替换，但无法确认已写入磁盘");
    ::close(folder);
    return synced;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    AtomicFileWriter out(path);
    const bool ok = out.Write(bytes) && out.Commit();
    if (!ok && error) *error = out.Error();
    return ok;
}

FileEditLock::~FileEditLock() { Release(); }

void FileEditLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FileEditLock::Acquire(const std::string& path, int waitMilliseconds, std::string* error) {
    Release();
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            SetError(error, "无法打开");
            return false;
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK || Clock::now() >= deadline) {
                if (errno == EWOULDBLOCK) {
                    if (error) *error = "文件正被另一个程序编辑，请稍后再试";
                } else {
                    SetError(error, "无法锁定文件");
                }
                ::close(fd);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The editor before us may have replaced the file while we waited:
        // the lock counts only on the file the path names now.
        struct stat locked {}, named {};
        const bool same = ::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
                          locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
        if (same) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
}

}  // namespace tav
