// Whole-file reading and the safe save: the new content goes to a temporary
// file in the target's folder and replaces the target only once complete.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

// Errors below are Chinese texts for the user (the window shows them as they
// are), complete in themselves: a caller names the file, not the failure again.

// A short Chinese description of a system error number (strerror's text for
// numbers without one of their own).
std::string SystemErrorText(int errorNumber);

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

// The safe save as a stream: bytes go to a hidden temporary file beside the
// target, which replaces the target on Commit. Without a Commit the target is
// untouched and the temporary file is removed, also when the process is
// stopped by SIGINT or SIGTERM while the writer exists (the handler removes
// it, then lets the signal take its usual course).
// The new file keeps the permission bits of the file it replaces; when they
// cannot be set the save fails rather than quietly narrowing them.
// Commit waits until the file and its folder entry are on the disk, so a
// power cut after a save leaves the new file, not an empty one.
//
// A library that writes a file by name (minizip, libxlsxwriter, Qt's image
// and PDF writers) gets the temporary file's path from HandOverPath(), writes
// and closes it, and the writer commits it, or drops it when the library fails:
//     AtomicFileWriter out(path);
//     if (!Library(out.HandOverPath()) || !out.Commit()) ... out.Error()
class AtomicFileWriter {
public:
    // OnDisk: Commit returns once the file is on the disk. WorkFile: for files
    // removed right after use (a hand-over to another program), which need
    // not wait for the disk; they are still whole or absent under their name.
    enum class Durability { OnDisk, WorkFile };

    explicit AtomicFileWriter(std::string path, Durability durability = Durability::OnDisk);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool Ok() const { return state_ != State::Failed && error_.empty(); }
    bool Write(std::span<const std::uint8_t> bytes);
    // The temporary file's path, for a library that opens the file by name
    // and truncates it; empty when the temporary file could not be made (Ok()
    // is false and Error() says why). Write is refused from then on. The
    // library must have closed the file before Finish or Commit.
    const std::string& HandOverPath();
    // Everything but the replacement: permissions, flush to disk, close. Files
    // that must appear together are all finished before any is committed.
    bool Finish();
    // Finishes when not yet done, then replaces the target.
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    enum class State { Open, HandedOver, Finished, Committed, Failed };
    void Fail(const std::string& what);

    std::string path_;
    std::string folder_;
    std::string temp_;
    Durability durability_;
    int fd_ = -1;
    bool created_ = false;
    int cleanupSlot_ = -1;
    State state_ = State::Open;
    std::string error_;
};

// Whether saves set their SIGINT/SIGTERM handler (on unless turned off).
// Code that is unloaded while the process goes on (the report library) turns
// it off: a handler of its own could be left in the chain of handlers, saved
// by one set over it, after its code is gone.
void RemoveTemporariesOnSignals(bool on);

// An advisory lock (flock) held while a file is edited in place: load, change,
// save. The save replaces the file, so a lock taken on the old file is
// checked against the path once granted and taken again on the new file when
// the two differ. Programs that take no lock are not stopped.
class FileEditLock {
public:
    FileEditLock() = default;
    ~FileEditLock();
    FileEditLock(const FileEditLock&) = delete;
    FileEditLock& operator=(const FileEditLock&) = delete;

    // Waits up to waitMilliseconds for another editor to finish (0: not at all).
    // false with a Chinese reason when the file cannot be opened or stays locked.
    bool Acquire(const std::string& path, int waitMilliseconds, std::string* error = nullptr);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace tav
