#include "output/report_library/report_builder.hpp"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>

#include "base/atomic_file.hpp"
#include "base/bmp_header.hpp"
#include "base/text_codec.hpp"
#include "output/docx_writer.hpp"
#include "output/report_data_file.hpp"

namespace tav::report {

namespace {

constexpr std::string_view kTableMarker = "{{检测结果.1}}";
constexpr std::string_view kPicturesMarker = "{{测点图集}}";
constexpr std::string_view kTableLabel = "检测结果";
constexpr std::string_view kCaptionLabel = "曲线图说明";
constexpr std::string_view kBodyMember = "word/document.xml";
constexpr std::string_view kBodyRelsMember = "word/_rels/document.xml.rels";
constexpr std::string_view kContentTypesMember = "[Content_Types].xml";
// A template member larger than this is not a template of ours.
constexpr std::uint64_t kMaxTemplateMember = 64u << 20;

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const auto next = text.find(separator, at);
        parts.emplace_back(text.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
        if (next == std::string_view::npos) break;
        at = next + separator.size();
    }
    return parts;
}

std::vector<std::vector<std::string>> TableRows(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    for (auto& row : Split(text, "^^"))
        if (!row.empty()) rows.push_back(Split(row, "``"));
    return rows;
}

// Larger sides are not pictures of ours; the document would not show them.
constexpr int kMaxPictureSide = 30000;

// A value as the text of a run: escaped, line breaks as breaks.
std::string RunText(std::string_view utf8) {
    const std::string escaped = XmlText(utf8);
    std::string out;
    out.reserve(escaped.size());
    for (const char c : escaped) {
        if (c == '\n') {
            out += "</w:t><w:br/><w:t xml:space=\"preserve\">";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

// Appends xml with every "{{label}}" replaced by its value (empty when the
// data file has none).
void AppendFilled(std::string& out, std::string_view xml, const ReportValues& values,
                  const std::vector<std::string>* rowFields = nullptr) {
    std::size_t at = 0;
    while (true) {
        const auto open = xml.find("{{", at);
        const auto close = open == std::string_view::npos ? open : xml.find("}}", open + 2);
        if (close == std::string_view::npos) break;
        out.append(xml.substr(at, open - at));
        const std::string_view label = xml.substr(open + 2, close - open - 2);
        std::string_view value;
        if (rowFields && label.starts_with(kTableLabel) && label.size() == kTableLabel.size() + 2 &&
            label[kTableLabel.size()] == '.' && label.back() >= '1' && label.back() <= '7') {
            const auto k = static_cast<std::size_t>(label.back() - '1');
            if (k < rowFields->size()) value = (*rowFields)[k];
        } else if (const auto found = values.texts.find(label); found != values.texts.end()) {
            value = found->second;
        }
        out += RunText(value);
        at = close + 2;
    }
    out.append(xml.substr(at));
}

// The element (<w:tr>, <w:p>) around position at: [start, end).
std::optional<std::pair<std::size_t, std::size_t>> Enclosing(std::string_view xml, std::size_t at, std::string_view tag) {
    const std::string plain = "<" + std::string(tag) + ">";
    const std::string withAttributes = "<" + std::string(tag) + " ";
    const std::string closing = "</" + std::string(tag) + ">";
    const auto a = xml.rfind(plain, at);
    const auto b = xml.rfind(withAttributes, at);
    std::size_t start = std::string_view::npos;
    if (a != std::string_view::npos) start = a;
    if (b != std::string_view::npos && (start == std::string_view::npos || b > start)) start = b;
    const auto end = xml.find(closing, at);
    if (start == std::string_view::npos || end == std::string_view::npos) return std::nullopt;
    return std::pair{start, end + closing.size()};
}

void ResultsRows(std::string& out, std::string_view row, const ReportValues& values) {
    for (const auto& fields : values.tableRows) AppendFilled(out, row, values, &fields);
}

void PictureParagraphs(std::string& out, std::string_view paragraph, const ReportValues& values) {
    // Captions keep the template paragraph's look.
    std::string properties;
    if (const auto a = paragraph.find("<w:pPr>"); a != std::string_view::npos)
        if (const auto b = paragraph.find("</w:pPr>", a); b != std::string_view::npos)
            properties = std::string(paragraph.substr(a, b + 8 - a));
    for (std::size_t k = 0; k < values.pictures.size(); ++k) {
        const auto& p = values.pictures[k];
        const std::string n = std::to_string(k + 1);
        out += "<w:p><w:pPr><w:keepNext/><w:jc w:val=\"center\"/></w:pPr>" +
               DocxInlinePicture(static_cast<int>(1000 + k), "rIdTavPicture" + n, "TAV" + n + ".bmp", p.caption, p.width,
                                 p.height) +
               "</w:p>";
        out += "<w:p>" + properties + "<w:r><w:t xml:space=\"preserve\">" + RunText(p.caption) + "</w:t></w:r></w:p>";
    }
}

// The blocks of the document that the values repeat or replace.
struct Block {
    std::string_view marker;
    std::string_view element;
    void (*fill)(std::string& out, std::string_view element, const ReportValues& values);
};
constexpr Block kBlocks[] = {
    {kTableMarker, "w:tr", ResultsRows},
    {kPicturesMarker, "w:p", PictureParagraphs},
};

struct Member {
    std::string name;
    std::string bytes;
};

std::optional<std::vector<Member>> ReadTemplate(const std::string& path) {
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return std::nullopt;
    std::vector<Member> members;
    bool ok = true;
    for (int r = unzGoToFirstFile(zip); ok && r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        std::array<char, 512> name{};
        ok = unzGetCurrentFileInfo64(zip, &info, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) == UNZ_OK &&
             info.uncompressed_size <= kMaxTemplateMember && unzOpenCurrentFile(zip) == UNZ_OK;
        if (!ok) break;
        Member m{name.data(), std::string(static_cast<std::size_t>(info.uncompressed_size), '\0')};
        const int n = m.bytes.empty() ? 0 : unzReadCurrentFile(zip, m.bytes.data(), static_cast<unsigned>(m.bytes.size()));
        ok = unzCloseCurrentFile(zip) == UNZ_OK && n == static_cast<int>(m.bytes.size());
        members.push_back(std::move(m));
    }
    unzClose(zip);
    if (!ok) return std::nullopt;
    return members;
}

bool IsTextPart(std::string_view name) {
    return name.starts_with("word/header") || name.starts_with("word/footer");
}

std::string WithPictureRelationships(std::string_view rels, std::size_t count) {
    std::string extra;
    for (std::size_t k = 1; k <= count; ++k)
        extra += "<Relationship Id=\"rIdTavPicture" + std::to_string(k) +
                 "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
                 "Target=\"media/TAV" + std::to_string(k) + ".bmp\"/>";
    std::string out(rels);
    const auto end = out.rfind("</Relationships>");
    if (end != std::string::npos) out.insert(end, extra);
    return out;
}

std::string WithBitmapType(std::string_view types) {
    std::string out(types);
    if (out.find("Extension=\"bmp\"") != std::string::npos) return out;
    const auto end = out.rfind("</Types>");
    if (end != std::string::npos) out.insert(end, "<Default Extension=\"bmp\" ContentType=\"image/bmp\"/>");
    return out;
}

std::span<const std::uint8_t> BytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::int32_t WriteDocument(const std::string& document, const std::vector<Member>& parts, const ReportValues& values,
                           ProgressCounter& progress) {
    AtomicFileWriter out(document);
    if (!out.Ok()) return kReportDocumentUnwritable;
    zipFile zip = zipOpen64(out.HandOverPath().c_str(), APPEND_STATUS_CREATE);
    bool ok = zip != nullptr;
    bool hasBody = false;
    for (const auto& part : parts) {
        if (!ok) break;
        std::string filled;
        const std::string* bytes = &part.bytes;
        if (part.name == kBodyMember) {
            filled = FillDocumentBody(part.bytes, values);
            hasBody = true;
        } else if (part.name == kBodyRelsMember) {
            filled = WithPictureRelationships(part.bytes, values.pictures.size());
        } else if (part.name == kContentTypesMember) {
            filled = WithBitmapType(part.bytes);
        } else if (IsTextPart(part.name)) {
            filled = FillTexts(part.bytes, values);
        }
        if (!filled.empty()) bytes = &filled;
        ok = DocxZipMember(zip, part.name, BytesOf(*bytes), true);
    }
    for (std::size_t k = 0; ok && k < values.pictures.size(); ++k) {
        ok = DocxZipMember(zip, "word/media/TAV" + std::to_string(k + 1) + ".bmp", values.pictures[k].file, true);
        progress.Step();
    }
    if (zip && zipClose(zip, nullptr) != ZIP_OK) ok = false;
    if (!ok) return kReportDocumentUnwritable;
    // A template without a body makes no document; the writer, dropped, leaves nothing.
    if (!hasBody) return kReportTemplateDamaged;
    return out.Commit() ? kReportOk : kReportDocumentUnwritable;
}

}  // namespace

std::string_view ReportErrorText(std::int32_t error) {
    switch (error) {
        case kReportOk: return "成功";
        case kReportBadArguments: return "调用参数无效";
        case kReportDataUnreadable: return "无法读取报告数据文件";
        case kReportDataDamaged: return "报告数据文件不完整或已损坏";
        case kReportTemplateMissing: return "未找到报告模版文件";
        case kReportTemplateDamaged: return "报告模版文件已损坏";
        case kReportDocumentUnwritable: return "无法写入报告文件";
        case kReportOutOfMemory: return "内存不足，无法生成报告";
        default: return "未知错误";
    }
}

void ProgressCounter::Step() {
    if (counter_) std::atomic_ref<std::int32_t>(*counter_).fetch_add(1, std::memory_order_relaxed);
}

std::int32_t ReadValues(std::span<const std::uint8_t> bytes, ReportValues& values, ProgressCounter& progress) {
    const auto data = ReadReportData(bytes);
    if (!data) return kReportDataDamaged;
    values.templatePath = std::string(data->templatePath);
    // A whole data file ends with its picture set: as many pictures as it
    // announces, each with its caption. Anything less was cut short.
    std::optional<std::uint32_t> announced;
    std::size_t captions = 0;
    for (const auto& entry : data->entries) {
        switch (entry.kind) {
            case kReportEntryText:
            case kReportEntryTable: {
                std::string label = Cp936ToUtf8(entry.label);
                std::string text = Cp936ToUtf8(entry.text);
                if (entry.kind == kReportEntryTable && label == kTableLabel) values.tableRows = TableRows(text);
                // A caption belongs to the picture before it.
                if (label == kCaptionLabel && captions < values.pictures.size()) values.pictures[captions++].caption = text;
                values.texts[std::move(label)] = std::move(text);
                progress.Step();
                break;
            }
            case kReportEntryPictureSet:
                announced = entry.count;
                progress.Step();
                break;
            case kReportEntryPicture: {
                const auto size = ReadBmpSize(entry.file);
                if (!size || size->width > kMaxPictureSide || size->height > kMaxPictureSide || !announced)
                    return kReportDataDamaged;
                values.pictures.push_back({entry.file, size->width, size->height, {}});
                break;
            }
        }
    }
    if (!announced || values.pictures.size() != *announced || captions != values.pictures.size()) return kReportDataDamaged;
    return kReportOk;
}

std::string FillTexts(std::string_view xml, const ReportValues& values) {
    std::string out;
    out.reserve(xml.size());
    AppendFilled(out, xml, values);
    return out;
}

std::string FillDocumentBody(std::string_view xml, const ReportValues& values) {
    std::string out;
    out.reserve(xml.size() + values.tableRows.size() * 2048 + values.pictures.size() * 2048);
    std::size_t at = 0;
    while (true) {
        // The next block in the document, if any.
        const Block* next = nullptr;
        std::pair<std::size_t, std::size_t> span{};
        for (const auto& block : kBlocks) {
            const auto found = xml.find(block.marker, at);
            if (found == std::string_view::npos) continue;
            const auto element = Enclosing(xml, found, block.element);
            if (!element || element->first < at) continue;
            if (!next || element->first < span.first) {
                next = &block;
                span = *element;
            }
        }
        if (!next) break;
        AppendFilled(out, xml.substr(at, span.first - at), values);
        next->fill(out, xml.substr(span.first, span.second - span.first), values);
        at = span.second;
    }
    AppendFilled(out, xml.substr(at), values);
    return out;
}

std::int32_t BuildReport(const std::string& dataFile, const std::string& document, std::int32_t* progress) {
    ProgressCounter counter(progress);
    MappedFile input;
    if (!input.Open(dataFile)) return kReportDataUnreadable;
    ReportValues values;
    if (const auto rc = ReadValues(input.Bytes(), values, counter); rc != kReportOk) return rc;
    const std::string templateFile = values.templatePath + kReportTemplateExtension;
    const auto parts = ReadTemplate(templateFile);
    if (!parts) return ::access(templateFile.c_str(), R_OK) == 0 ? kReportTemplateDamaged : kReportTemplateMissing;
    return WriteDocument(document, *parts, values, counter);
}

}  // namespace tav::report
