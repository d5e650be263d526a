#include "model/instrument_merge.hpp"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "base/text_field.hpp"
#include "model/project_file.hpp"

namespace tav {

namespace {

constexpr std::size_t kPiece = 1024;
constexpr std::size_t kCountOffset = 5;

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void WritePadded(ByteWriter& out, std::string_view text, std::size_t size) {
    const std::size_t n = std::min(text.size(), size);
    out.Bytes(text.data(), n);
    out.Zeros(size - n);
}

// A source file opened for reading; closed on every way out.
class SourceFile {
public:
    explicit SourceFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~SourceFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    bool Ok() const { return fd_ >= 0; }
    std::int64_t Size() const {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : -1;
    }
    // Reads up to n bytes; fewer only at the end of the file or on an error.
    std::size_t Read(std::uint8_t* p, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::read(fd_, p + got, n - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        return got;
    }

private:
    int fd_;
};

// One output project file being assembled. The bytes are kept until the file
// is finished, then saved in one piece, so a stopped merge never leaves a
// half-written record behind.
struct OutputFile {
    std::unique_ptr<AtomicFileWriter> writer;
    std::string path;
    std::vector<std::uint8_t> bytes;
    std::size_t completeSize = 0;  // bytes of the records finished so far
    std::int32_t counter = 1;      // the next record number
};

class Merger {
public:
    Merger(int mode, std::string folder) : mode_(mode), folder_(std::move(folder)) {}

    MergeReport Run(std::span<const std::string> chosen) {
        for (const auto& path : chosen)
            if (!MergeOne(path)) break;
        if (report_.result >= 0) {
            if (!Finish()) Stop(kMergeWriteFailed, "写文件失败");
        } else {
            Finish();
        }
        if (report_.result >= 0) {
            char text[160];
            if (merged_ > 0 || skipped_ > 0) {
                if (skipped_ == 0)
                    std::snprintf(text, sizeof text, "成功合并%d条数据。", merged_);
                else
                    std::snprintf(text, sizeof text, "成功合并%d条数据。因为以下原因，跳过%d条数据：", merged_, skipped_);
                report_.message = text + reasons_;
            } else {
                report_.message = "没有数据文件被选中";
            }
        }
        return std::move(report_);
    }

private:
    void Skip(int reason, const char* text, const std::string& path) {
        ++skipped_;
        if ((report_.result & reason) == 0) reasons_ += text + path;
        report_.result |= reason;
    }

    bool Stop(int result, const char* text) {
        report_.result = result;
        report_.message = text;
        return false;
    }

    bool MergeOne(const std::string& path) {
        const InstrumentPath names = InstrumentPathComponents(path);
        if (names.testUnit.empty() || names.site.empty() || names.pileNo.empty()) {
            Skip(kSkippedIncompletePath, "\n目录信息不全(缺失检测单位、工地名称、桩号)，比如", path);
            return true;
        }
        const std::string unit = Utf8ToCp936(names.testUnit);
        const std::string site = Utf8ToCp936(names.site);
        const std::string pile = Utf8ToCp936(names.pileNo);
        if (unit.size() > kMaxMergeTestUnit || site.size() > kMaxMergeSite || pile.size() > kMaxMergePileNo) {
            Skip(kSkippedNameTooLong, "\n检测单位(50)、工地名称(20)、桩号(20)中，有命名超长的。比如", path);
            return true;
        }

        SourceFile source(path);
        const std::int64_t size = source.Ok() ? source.Size() : -1;
        if (size < 0) return Stop(kMergeReadFailed, "读文件失败");
        std::uint8_t tag[kInstrumentTag.size()] = {};
        if (source.Read(tag, sizeof tag) != sizeof tag || std::memcmp(tag, kInstrumentTag.data(), sizeof tag) != 0) {
            Skip(kSkippedForeignTag, "\n有文件头不是Q-TAV2015的数据，比如", path);
            return true;
        }

        if (NeedsNewOutput(names) && !StartOutput(names, unit, site)) return false;

        ByteWriter out(output_.bytes);
        out.I16(static_cast<std::int16_t>(output_.counter));
        WritePadded(out, MergedPileNumber(pile), kMergedPileNoBytes);
        std::uint8_t piece[kPiece];
        for (std::int64_t left = size - static_cast<std::int64_t>(sizeof tag); left > 0;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kPiece));
            if (source.Read(piece, want) != want) {
                output_.bytes.resize(output_.completeSize);
                return Stop(kMergeReadFailed, "读文件失败");
            }
            out.Bytes(piece, want);
            left -= static_cast<std::int64_t>(want);
        }
        out.I16(0);  // spectrum mark count
        ++output_.counter;
        output_.completeSize = output_.bytes.size();
        ++merged_;
        return true;
    }

    bool NeedsNewOutput(const InstrumentPath& names) const {
        if (!output_.writer) return true;
        // A file holds at most as many test points as a project may have.
        if (output_.counter - 1 >= kMaxPointCount) return true;
        if (!SameName(names.testUnit, previous_.testUnit) || !SameName(names.site, previous_.site)) return true;
        return mode_ == kMergePerPile && !SameName(names.pileNo, previous_.pileNo);
    }

    std::string OutputName(const InstrumentPath& n) const {
        const std::string stem = folder_ + n.testUnit + "_" + n.site + (mode_ == kMergePerPile ? "_" + n.pileNo : "");
        std::string name = stem + ".tav";
        for (int k = 2; FileExists(name); ++k) name = stem + " (" + std::to_string(k) + ").tav";
        return name;
    }

    bool StartOutput(const InstrumentPath& names, const std::string& unit, const std::string& site) {
        previous_ = names;
        if (!Finish()) return Stop(kMergeWriteFailed, "写文件失败");
        output_ = OutputFile{};
        output_.path = OutputName(names);
        output_.writer = std::make_unique<AtomicFileWriter>(output_.path);
        if (!output_.writer->Ok()) {
            output_.writer.reset();
            return Stop(kMergeCreateFailed, "创建文件失败");
        }
        ByteWriter out(output_.bytes);
        WriteMergeHeader(out, 1, unit, site);
        output_.completeSize = output_.bytes.size();
        return true;
    }

    // Saves the open output with the count of the records it holds; an output
    // without a complete record is dropped.
    bool Finish() {
        if (!output_.writer) return true;
        auto writer = std::move(output_.writer);
        const std::int32_t count = output_.counter - 1;
        if (count < 1) return true;
        output_.bytes.resize(output_.completeSize);
        if (count > 1) {
            output_.bytes[kCountOffset] = static_cast<std::uint8_t>(count & 0xFF);
            output_.bytes[kCountOffset + 1] = static_cast<std::uint8_t>((count >> 8) & 0xFF);
        }
        if (!writer->Write(output_.bytes) || !writer->Commit()) return false;
        report_.written.push_back(output_.path);
        return true;
    }

    int mode_;
    std::string folder_;
    MergeReport report_;
    std::string reasons_;
    int merged_ = 0;
    int skipped_ = 0;
    InstrumentPath previous_;
    OutputFile output_;
};

}  // namespace

InstrumentPath InstrumentPathComponents(std::string_view path) {
    InstrumentPath names;
    std::string* levels[] = {&names.pileNo, &names.site, &names.testUnit};
    std::size_t end = path.rfind('/');
    for (std::string* level : levels) {
        if (end == std::string_view::npos || end == 0) break;
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
        *level = std::string(path.substr(start, end - start));
        end = slash;
    }
    return names;
}

std::string MergedPileNumber(std::string_view cp936PileNo) {
    return std::string(cp936PileNo.substr(0, Cp936SafePrefix(cp936PileNo, kMergedPileNoBytes)));
}

std::optional<std::span<const std::uint8_t>> InstrumentBody(std::span<const std::uint8_t> file) {
    if (file.size() < kInstrumentTag.size() ||
        std::memcmp(file.data(), kInstrumentTag.data(), kInstrumentTag.size()) != 0)
        return std::nullopt;
    return file.subspan(kInstrumentTag.size());
}

void WriteMergeHeader(ByteWriter& out, std::int16_t count, std::string_view testUnit, std::string_view site) {
    out.Bytes("TAV02", 5);
    out.I16(count);
    WritePadded(out, testUnit, 50);
    WritePadded(out, site, 20);
}

void WriteMergedPoint(ByteWriter& out, std::int16_t recordNo, std::string_view cp936PileNo,
                      std::span<const std::uint8_t> body) {
    out.I16(recordNo);
    WritePadded(out, MergedPileNumber(cp936PileNo), kMergedPileNoBytes);
    out.Bytes(body.data(), body.size());
    out.I16(0);
}

MergeReport MergeInstrumentFiles(std::span<const std::string> chosen, int mode, std::string saveFolder) {
    if (saveFolder.empty() || !IsFolder(saveFolder)) {
        MergeReport report;
        report.result = kMergeBadFolder;
        report.message = "保存位置有误！";
        return report;
    }
    if (saveFolder.back() != '/') saveFolder += '/';
    return Merger(mode, std::move(saveFolder)).Run(chosen);
}

}  // namespace tav
