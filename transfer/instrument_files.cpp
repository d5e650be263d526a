#include "transfer/instrument_files.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "model/project_header.hpp"
#include "model/test_point.hpp"
#include "transfer/wire_text.hpp"

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUniqueDash = "\xA1\xAA";  // "—" in code page 936
constexpr std::string_view kBlankName = "[]";
constexpr std::string_view kExtension = ".tav";

// Offsets in the instrument's test point file.
constexpr std::size_t kIntegrateAt = 46;
constexpr std::size_t kLowPassAt = 48;
constexpr std::size_t kReservedAt = 50;    // 46 bytes, the first 40 go on
constexpr std::size_t kReservedKept = 40;
constexpr std::size_t kWaveAt = 96;        // pile length through the samples
constexpr std::size_t kSmoothBlockAt = 192;
constexpr std::size_t kSamplesAt = 242;
constexpr std::string_view kUnreadMark = "quorvane";  // left in blocks a short file does not reach

constexpr std::int16_t kMinLowPass = 1;
constexpr std::int16_t kMaxLowPass = 5;

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::int16_t GetI16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | (p[1] << 8)); }
void PutI16(std::uint8_t* p, std::int16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
}

template <std::size_t N>
void SetCut(TextField<N>& field, std::string_view cp936) {
    SetText(field, cp936.substr(0, Cp936SafePrefix(cp936, N - 1)));
}

// A text field of `width` bytes holding at most `limit` bytes of text.
void PutPadded(ByteWriter& out, std::string_view cp936, std::size_t width, std::size_t limit) {
    const std::size_t n = Cp936SafePrefix(cp936, limit);
    out.Bytes(cp936.data(), n);
    out.Zeros(width - n);
}

// The downloaded files by name, found whatever the case the instrument gave
// them (an exact match first). The folder is read once.
class DownloadedFiles {
public:
    explicit DownloadedFiles(const fs::path& folder) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            exact_.emplace(name, entry.path());
            folded_.emplace(Folded(name), entry.path());
        }
    }
    std::optional<fs::path> Find(const std::string& name) const {
        if (const auto it = exact_.find(name); it != exact_.end()) return it->second;
        if (const auto it = folded_.find(Folded(name)); it != folded_.end()) return it->second;
        return std::nullopt;
    }

private:
    static std::string Folded(std::string s) {
        for (char& c : s) c = FoldAscii(c);
        return s;
    }
    std::map<std::string, fs::path> exact_;
    std::map<std::string, fs::path> folded_;
};

}  // namespace

std::vector<InstrumentProjectEntry> ParseInstrumentIndex(std::span<const std::uint8_t> bytes) {
    std::vector<InstrumentProjectEntry> entries;
    ByteReader in(bytes);
    std::int16_t count = 0;
    if (!in.I16(count) || count <= 0) return entries;
    const std::size_t present = std::min<std::size_t>(static_cast<std::size_t>(count),
                                                      in.Remaining() / kInstrumentEntryBytes);
    entries.resize(present);
    int counter = 1;  // shared by the whole index
    for (std::size_t i = 0; i < present; ++i) {
        auto& e = entries[i];
        in.Bytes(e.folder);
        in.Bytes(e.testDate);
        in.Bytes(e.pointCount);
        in.Bytes(e.projectName);
        const std::string_view trimmed = Trim(TextOf(e.projectName));
        const std::string base(trimmed.empty() ? kBlankName : trimmed);
        // A renamed entry is compared again from the first one, so that no two
        // projects ever share a file.
        std::string name = base;
        for (std::size_t j = 0; j < i; ++j) {
            if (entries[j].localName != name) continue;
            name = base + std::string(kUniqueDash) + std::to_string(counter++);
            j = static_cast<std::size_t>(-1);
        }
        e.localName = name;
    }
    for (auto& e : entries) e.localName += kExtension;
    return entries;
}

void WriteInstrumentEntry(ByteWriter& out, const InstrumentProjectEntry& entry) {
    out.Bytes(entry.folder);
    out.Bytes(entry.testDate);
    out.Bytes(entry.pointCount);
    out.Bytes(entry.projectName);
}

int EntryPointCount(const InstrumentProjectEntry& entry) {
    const BeginNotice n = ParseBeginNotice("     " + std::string(TextOf(entry.pointCount)));
    return static_cast<int>(std::clamp<std::int64_t>(n.size, INT32_MIN, INT32_MAX));
}

std::string LocalTargetPath(std::string_view localFolder, const InstrumentProjectEntry& entry) {
    std::string name = Cp936ToUtf8(entry.localName);
    std::replace(name.begin(), name.end(), '/', '_');
    if (name.size() < kExtension.size() || name.substr(name.size() - kExtension.size()) != kExtension)
        name += kExtension;
    std::string folder(localFolder);
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + name;
}

ConvertResult ConvertInstrumentProject(const std::string& folder, std::string_view instrumentFolder,
                                       const std::string& targetPath, std::string* error) {
    const DownloadedFiles files(folder);
    const auto headerFile = files.Find("tav.par");
    const auto header = headerFile ? ReadWholeFile(headerFile->string()) : std::nullopt;
    if (!header || header->size() < kInstrumentHeaderBytes) return ConvertResult::NotInstrumentData;
    std::error_code ec;
    fs::remove(*headerFile, ec);
    if (const auto pileIndex = files.Find("pindex.par")) fs::remove(*pileIndex, ec);

    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.Bytes("TAV02", 5);
    w.Bytes(header->data(), kInstrumentHeaderBytes);
    const std::int16_t count = GetI16(header->data());

    const std::string prefix = Cp936ToUtf8(instrumentFolder);
    for (int n = 1; n <= count; ++n) {
        const auto file = files.Find(prefix + std::to_string(n) + std::string(kExtension));
        const auto bytes = file ? ReadWholeFile(file->string()) : std::nullopt;
        if (!bytes) continue;
        fs::remove(*file, ec);

        std::array<std::uint8_t, kInstrumentPointBytes> in{};
        std::memcpy(in.data() + kReservedAt, kUnreadMark.data(), kUnreadMark.size());
        std::memcpy(in.data() + kSmoothBlockAt, kUnreadMark.data(), kUnreadMark.size());
        std::memcpy(in.data(), bytes->data(), std::min(bytes->size(), in.size()));

        const std::int16_t integrate = GetI16(in.data() + kIntegrateAt);
        if (integrate != 0 && integrate != 1) PutI16(in.data() + kIntegrateAt, 0);
        PutI16(in.data() + kLowPassAt, std::clamp(GetI16(in.data() + kLowPassAt), kMinLowPass, kMaxLowPass));

        w.Bytes(in.data(), kReservedAt);
        w.Zeros(3 * 2);  // front zeroing, rear zeroing, vertical shift
        w.Bytes(in.data() + kReservedAt, kReservedKept);
        w.Bytes(in.data() + kWaveAt, kInstrumentPointBytes - kWaveAt);
        w.I16(0);  // no spectrum marks
    }
    if (!WriteFileAtomically(targetPath, out, error)) return ConvertResult::WriteFailed;
    return ConvertResult::Converted;
}

std::vector<std::uint8_t> InstrumentPointBytes(const TestPoint& tp) {
    std::vector<std::uint8_t> out;
    out.reserve(kInstrumentPointBytes);
    ByteWriter w(out);
    w.I16(tp.recordNo);
    PutPadded(w, TextOf(tp.pileNo), 10, 10);
    w.I16(tp.pileTypeIndex);
    w.I16(tp.diameter);
    w.Bytes(tp.testDate);
    w.I16(tp.sensorType);
    w.I16(tp.gain);
    w.I16(tp.triggerLevel);
    w.Bytes(tp.instrumentValue);
    w.I16(0);  // no integration
    w.I16(1);  // one low-pass pass, without a cut-off it adds nothing
    w.Zeros(kWaveAt - kReservedAt);
    w.F32(tp.pileLength);
    w.I16(tp.waveSpeed);
    w.F32(tp.sampleInterval);
    w.I16(static_cast<std::int16_t>(kInstrumentSamples));
    w.I16(0);      // magnification mode
    w.Zeros(16);   // magnification factor and start, low- and high-pass cut-offs
    w.I16(0);      // rotation
    w.I16(tp.headIndex);
    w.I16(0);
    for (std::size_t i = 0; i < 10; ++i) {
        const bool has = i < tp.defects.size();
        w.I16(has ? static_cast<std::int16_t>(tp.defects[i].type) : 0);
        w.F32(has ? tp.defects[i].depth : 0.0f);
    }
    w.Zeros(kSamplesAt - kSmoothBlockAt);
    std::vector<float> samples(tp.rawSamples.begin(),
                               tp.rawSamples.begin() + std::min(tp.rawSamples.size(), kInstrumentSamples));
    samples.resize(kInstrumentSamples, 0.0f);
    w.F32Array(samples);
    return out;
}

bool WriteInstrumentStorage(const std::string& storage, std::span<const StorageProject> projects,
                            std::string* error) {
    const fs::path dat = fs::path(storage) / "DAT";
    std::error_code ec;
    fs::create_directories(dat, ec);
    if (ec) {
        if (error) *error = dat.string() + ": " + ec.message();
        return false;
    }
    std::vector<std::uint8_t> index;
    ByteWriter iw(index);
    iw.I16(static_cast<std::int16_t>(projects.size()));
    int number = 0;
    for (const auto& project : projects) {
        char folderName[16];
        std::snprintf(folderName, sizeof folderName, "XM%03d", ++number);
        const fs::path folder = dat / folderName;
        fs::create_directories(folder, ec);
        const auto count = static_cast<std::int16_t>(std::min<std::size_t>(project.points.size(), INT16_MAX));

        InstrumentProjectEntry entry;
        SetCut(entry.folder, folderName);
        if (!project.points.empty()) SetCut(entry.testDate, TextOf(project.points[0].testDate));
        SetCut(entry.pointCount, std::to_string(count));
        SetCut(entry.projectName, TextOf(project.header->projectName));
        WriteInstrumentEntry(iw, entry);

        std::vector<std::uint8_t> head;
        ByteWriter hw(head);
        hw.I16(count);
        PutPadded(hw, TextOf(project.header->testUnit), 50, 49);
        PutPadded(hw, TextOf(project.header->projectName), 20, 19);
        std::vector<std::uint8_t> piles;
        ByteWriter pw(piles);
        bool ok = !ec && WriteFileAtomically((folder / "TAV.PAR").string(), head, error);
        for (std::int16_t n = 0; ok && n < count; ++n) {
            const TestPoint& tp = project.points[static_cast<std::size_t>(n)];
            PutPadded(pw, TextOf(tp.pileNo), 10, 10);
            ok = WriteFileAtomically((folder / (std::string(folderName) + std::to_string(n + 1) + ".TAV")).string(),
                                     InstrumentPointBytes(tp), error);
        }
        if (ok) ok = WriteFileAtomically((folder / "PINDEX.PAR").string(), piles, error);
        if (!ok) {
            if (error && error->empty()) *error = folder.string() + ": " + ec.message();
            return false;
        }
    }
    return WriteFileAtomically((dat / "RSITE.PAR").string(), index, error);
}

}  // namespace tav
