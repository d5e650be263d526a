// The report data file (TAV.gwx): everything the report library needs to
// build the report document, handed over as one byte stream.
//
//   "GWordExData" 0
//   template path without its extension, 0
//   entries, each a kind byte and then:
//     0 text      label 0, value 0
//     4 table     label 0, rows 0      (fields split by "``", rows ended by "^^")
//     7 pictures  label 0, count (u32 LE), 0
//     2 picture   label 0, length L (u32 LE), L bytes of a BMP file, 0
//
// Labels and texts are code page 936 (GB2312 and its extension), so they
// cannot hold a 0 byte; the template path is the file system's bytes.
// The reader is given files from outside: every length is checked against
// the bytes that remain, and entries refer into the caller's bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

inline constexpr std::string_view kReportDataMagic = "GWordExData";
// The data file names its template without the extension; ours is a .docx.
inline constexpr char kReportTemplateExtension[] = ".docx";

enum ReportEntryKind : std::uint8_t {
    kReportEntryText = 0,
    kReportEntryPicture = 2,
    kReportEntryTable = 4,
    kReportEntryPictureSet = 7,
};

// Writes the stream through a sink (a file being written, a buffer); every
// call is false once the sink has refused bytes. Texts are cut at a 0 byte,
// which the format cannot carry.
class ReportDataWriter {
public:
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;
    explicit ReportDataWriter(Sink sink) : sink_(std::move(sink)) {}

    bool Begin(std::string_view templatePath);
    bool Text(std::string_view label, std::string_view cp936Value);
    bool Table(std::string_view label, std::string_view cp936Rows);
    bool PictureSet(std::string_view label, std::uint32_t count);
    bool Picture(std::string_view label, std::span<const std::uint8_t> file);
    bool Ok() const { return ok_; }

private:
    bool Put(std::span<const std::uint8_t> bytes);
    bool PutText(std::string_view text);  // with its 0 byte
    bool PutU32(std::uint32_t value);

    Sink sink_;
    bool ok_ = true;
};

struct ReportDataEntry {
    ReportEntryKind kind = kReportEntryText;
    std::string_view label;
    std::string_view text;                // text and table entries
    std::uint32_t count = 0;              // picture set
    std::span<const std::uint8_t> file;   // picture
};

struct ReportData {
    std::string_view templatePath;
    std::vector<ReportDataEntry> entries;
};

// Why a stream is not a report data file.
enum class ReportDataProblem { None, NotReportData, CutShort, UnknownKind, MissingTerminator };

// The stream's entries; nothing with the problem and the byte offset where it
// was found when the bytes are not a whole report data file.
std::optional<ReportData> ReadReportData(std::span<const std::uint8_t> bytes, ReportDataProblem* problem = nullptr,
                                         std::size_t* offset = nullptr);

}  // namespace tav
