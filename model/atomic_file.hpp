// Whole-file reading and the safe save: the new content goes to a temporary
// file in the target's folder and replaces the target only once complete.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string* error = nullptr);

// true on success; on failure the existing target is untouched and error says why.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error = nullptr);

// A file's bytes mapped read-only (or read, where mapping is not possible).
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool Open(const std::string& path, std::string* error = nullptr);
    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    // The reader is done with the bytes before `offset`: their memory goes back
    // to the system (they stay readable, read again from the file if touched),
    // so a file that is being turned into a document is never held whole
    // beside it. Reading front to back, call it as the reader moves on.
    void Release(std::size_t offset);

private:
    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::size_t released_ = 0;
    std::vector<std::uint8_t> copy_;
    std::span<const std::uint8_t> bytes_;
};

// The safe save as a stream: bytes go to a temporary file beside the target,
// which replaces the target on Commit. Without a Commit the target is untouched.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool Ok() const { return fd_ >= 0 && error_.empty(); }
    bool Write(std::span<const std::uint8_t> bytes);
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace tav
