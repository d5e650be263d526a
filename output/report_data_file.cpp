#include "output/report_data_file.hpp"

#include <cstring>

namespace tav {

namespace {

std::span<const std::uint8_t> BytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

bool ReportDataWriter::Put(std::span<const std::uint8_t> bytes) {
    if (ok_ && !bytes.empty()) ok_ = sink_(bytes);
    return ok_;
}

bool ReportDataWriter::PutText(std::string_view text) {
    static constexpr std::uint8_t kZero[1] = {0};
    Put(BytesOf(UpToZero(text)));
    return Put(kZero);
}

bool ReportDataWriter::PutU32(std::uint32_t value) {
    const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return Put(le);
}

bool ReportDataWriter::Begin(std::string_view templatePath) {
    PutText(kReportDataMagic);
    return PutText(templatePath);
}

bool ReportDataWriter::Text(std::string_view label, std::string_view cp936Value) {
    const std::uint8_t kind[1] = {kReportEntryText};
    Put(kind);
    PutText(label);
    return PutText(cp936Value);
}

bool ReportDataWriter::Table(std::string_view label, std::string_view cp936Rows) {
    const std::uint8_t kind[1] = {kReportEntryTable};
    Put(kind);
    PutText(label);
    return PutText(cp936Rows);
}

bool ReportDataWriter::PictureSet(std::string_view label, std::uint32_t count) {
    const std::uint8_t kind[1] = {kReportEntryPictureSet};
    Put(kind);
    PutText(label);
    PutU32(count);
    return PutText({});
}

bool ReportDataWriter::Picture(std::string_view label, std::span<const std::uint8_t> file) {
    const std::uint8_t kind[1] = {kReportEntryPicture};
    if (file.size() > 0xFFFFFFFFu) return ok_ = false;
    Put(kind);
    PutText(label);
    PutU32(static_cast<std::uint32_t>(file.size()));
    Put(file);
    return PutText({});
}

namespace {

// A cursor over the stream that never moves past its end.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Offset() const { return at_; }
    bool AtEnd() const { return at_ == bytes_.size(); }
    std::size_t Left() const { return bytes_.size() - at_; }

    // A text up to its 0 byte (consumed); nothing when the stream ends first.
    std::optional<std::string_view> Text() {
        if (Left() == 0) return std::nullopt;  // an empty stream may have no storage at all
        const auto* start = bytes_.data() + at_;
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(start, 0, Left()));
        if (!zero) return std::nullopt;
        const auto length = static_cast<std::size_t>(zero - start);
        at_ += length + 1;
        return std::string_view(reinterpret_cast<const char*>(start), length);
    }
    std::optional<std::uint8_t> Byte() {
        if (Left() < 1) return std::nullopt;
        return bytes_[at_++];
    }
    std::optional<std::uint32_t> U32() {
        if (Left() < 4) return std::nullopt;
        const auto* p = bytes_.data() + at_;
        at_ += 4;
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    std::optional<std::span<const std::uint8_t>> Take(std::size_t n) {
        if (Left() < n) return std::nullopt;
        const auto piece = bytes_.subspan(at_, n);
        at_ += n;
        return piece;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<ReportData> ReadReportData(std::span<const std::uint8_t> bytes, ReportDataProblem* problem,
                                         std::size_t* offset) {
    Cursor in(bytes);
    const auto fail = [&](ReportDataProblem why) -> std::optional<ReportData> {
        if (problem) *problem = why;
        if (offset) *offset = in.Offset();
        return std::nullopt;
    };
    if (problem) *problem = ReportDataProblem::None;
    const auto magic = in.Text();
    if (!magic || *magic != kReportDataMagic) return fail(ReportDataProblem::NotReportData);
    const auto templatePath = in.Text();
    if (!templatePath) return fail(ReportDataProblem::CutShort);

    ReportData data;
    data.templatePath = *templatePath;
    while (!in.AtEnd()) {
        ReportDataEntry entry;
        const auto kind = in.Byte();
        if (*kind != kReportEntryText && *kind != kReportEntryTable && *kind != kReportEntryPictureSet &&
            *kind != kReportEntryPicture)
            return fail(ReportDataProblem::UnknownKind);
        entry.kind = static_cast<ReportEntryKind>(*kind);
        const auto label = in.Text();
        if (!label) return fail(ReportDataProblem::CutShort);
        entry.label = *label;
        if (entry.kind == kReportEntryText || entry.kind == kReportEntryTable) {
            const auto text = in.Text();
            if (!text) return fail(ReportDataProblem::CutShort);
            entry.text = *text;
        } else {
            const auto number = in.U32();
            if (!number) return fail(ReportDataProblem::CutShort);
            if (entry.kind == kReportEntryPicture) {
                const auto file = in.Take(*number);
                if (!file) return fail(ReportDataProblem::CutShort);
                entry.file = *file;
            } else {
                entry.count = *number;
            }
            const auto end = in.Byte();
            if (!end) return fail(ReportDataProblem::CutShort);
            if (*end != 0) return fail(ReportDataProblem::MissingTerminator);
        }
        data.entries.push_back(entry);
    }
    return data;
}

}  // namespace tav
