#include "model/atomic_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tav {

namespace {

void SetError(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "cannot open");
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "not a regular file";
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
            SetError(error, "cannot read");
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
        SetError(error, "cannot open");
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "not a regular file";
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

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
    const auto slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
    temp_ = folder + "/.tav-save-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) SetError(&error_, "cannot create a file in " + folder);
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

bool AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
    if (!Ok()) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(&error_, "cannot write");
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (!Ok()) return false;
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        ::fchmod(fd_, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed) {
        SetError(&error_, "cannot write");
        ::unlink(temp_.c_str());
        return false;
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        SetError(&error_, "cannot replace");
        ::unlink(temp_.c_str());
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    AtomicFileWriter out(path);
    const bool ok = out.Write(bytes) && out.Commit();
    if (!ok && error) *error = out.Error();
    return ok;
}

}  // namespace tav
