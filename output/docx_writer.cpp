#include "output/docx_writer.hpp"

#include <minizip/zip.h>

#include <algorithm>

#include "base/atomic_file.hpp"

namespace tav {

namespace {

constexpr std::int64_t kEmuPerPixel = 9525;  // 914400 per inch at 96 pixels per inch
// A4 with margins of 3.17 cm left and right: 8306 twentieths of a point.
constexpr std::int64_t kTextWidthEmu = 8306LL * 635;

std::string_view ContentType(std::string_view ext) {
    if (ext == "png") return "image/png";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    return "image/bmp";
}

std::string ContentTypes(std::span<const DocxPicture> pictures) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    std::vector<std::string_view> seen;
    for (const auto& p : pictures) {
        if (std::find(seen.begin(), seen.end(), p.extension) != seen.end()) continue;
        seen.push_back(p.extension);
        xml += "<Default Extension=\"" + XmlText(p.extension) + "\" ContentType=\"" +
               std::string(ContentType(p.extension)) + "\"/>";
    }
    xml +=
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
        "</Types>";
    return xml;
}

constexpr std::string_view kPackageRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/></Relationships>";

std::string MediaName(std::size_t k, std::string_view ext) {
    return "image" + std::to_string(k + 1) + "." + std::string(ext);
}

std::string DocumentRels(std::span<const DocxPicture> pictures) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (std::size_t k = 0; k < pictures.size(); ++k)
        xml += "<Relationship Id=\"rId" + std::to_string(k + 1) +
               "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
               "Target=\"media/" +
               XmlText(MediaName(k, pictures[k].extension)) + "\"/>";
    xml += "</Relationships>";
    return xml;
}

std::string CentredParagraph(const std::string& runs) {
    return "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" + runs + "</w:p>";
}

std::string InlinePicture(std::size_t k, const DocxPicture& p) {
    return DocxInlinePicture(static_cast<int>(k + 1), "rId" + std::to_string(k + 1), MediaName(k, p.extension), p.caption,
                             p.width, p.height);
}

std::string DocumentBody(std::span<const DocxPicture> pictures) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><w:body>";
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        xml += CentredParagraph(InlinePicture(k, pictures[k]));
        if (!pictures[k].caption.empty())
            xml += CentredParagraph("<w:r><w:t xml:space=\"preserve\">" + XmlText(pictures[k].caption) + "</w:t></w:r>");
        xml += CentredParagraph("");
    }
    xml +=
        "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" w:bottom=\"1440\" "
        "w:left=\"1800\" w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";
    return xml;
}

bool AddText(zipFile zip, const std::string& name, std::string_view text) {
    return DocxZipMember(zip, name, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, true);
}

}  // namespace

bool DocxZipMember(void* zip, const std::string& name, std::span<const std::uint8_t> data, bool compress) {
    std::size_t size = data.size();
    zip_fileinfo info{};
    if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, compress ? Z_DEFLATED : 0,
                              compress ? Z_DEFAULT_COMPRESSION : 0, size >= 0xFFFFFFFFu ? 1 : 0) != ZIP_OK)
        return false;
    const std::uint8_t* p = data.data();
    bool ok = true;
    // zipWriteInFileInZip takes an unsigned length: write large members in pieces.
    while (ok && size > 0) {
        const auto piece = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
        ok = zipWriteInFileInZip(zip, p, piece) == ZIP_OK;
        p += piece;
        size -= piece;
    }
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

std::string DocxInlinePicture(int id, std::string_view relationId, std::string_view name, std::string_view description,
                              int width, int height) {
    std::int64_t cx = std::max(width, 1) * kEmuPerPixel;
    std::int64_t cy = std::max(height, 1) * kEmuPerPixel;
    if (cx > kTextWidthEmu) {
        cy = cy * kTextWidthEmu / cx;
        cx = kTextWidthEmu;
    }
    const std::string docPrId = std::to_string(id);
    const std::string ext = "cx=\"" + std::to_string(cx) + "\" cy=\"" + std::to_string(cy) + "\"";
    const std::string shownName = XmlText(name);
    return "<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"><wp:extent " + ext +
           "/><wp:docPr id=\"" + docPrId + "\" name=\"" + shownName + "\" descr=\"" + XmlText(description) +
           "\"/><wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\"/></wp:cNvGraphicFramePr>"
           "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
           "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"" +
           docPrId + "\" name=\"" + shownName +
           "\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"" + XmlText(relationId) +
           "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext " +
           ext + "/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
                 "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
}

std::string XmlText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                default:
                    if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A whole, well-formed UTF-8 sequence is kept; anything else is left out.
        const std::size_t len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        bool whole = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; whole && k < len; ++k) whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (whole && len == 3) {
            const unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            // Overlong forms, surrogates and the two non-characters XML forbids.
            whole = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF;
        }
        if (whole && len == 4) {
            const unsigned b1 = static_cast<unsigned char>(s[i + 1]);
            whole = !(c == 0xF0 && b1 < 0x90) && !(c == 0xF4 && b1 >= 0x90);
        }
        if (whole) {
            out.append(s.substr(i, len));
            i += len;
        } else {
            ++i;
        }
    }
    return out;
}

bool WriteDocx(const std::string& path, std::span<const DocxPicture> pictures, std::string* error) {
    AtomicFileWriter out(path);
    zipFile zip = out.Ok() ? zipOpen64(out.HandOverPath().c_str(), APPEND_STATUS_CREATE) : nullptr;
    bool ok = zip != nullptr;
    ok = ok && AddText(zip, "[Content_Types].xml", ContentTypes(pictures));
    ok = ok && AddText(zip, "_rels/.rels", kPackageRels);
    ok = ok && AddText(zip, std::string(kDocxBodyMember), DocumentBody(pictures));
    ok = ok && AddText(zip, "word/_rels/document.xml.rels", DocumentRels(pictures));
    for (std::size_t k = 0; ok && k < pictures.size(); ++k) {
        // Bitmaps shrink well; JPEG and PNG are compressed already.
        const bool compress = pictures[k].extension == "bmp";
        ok = DocxZipMember(zip, "word/media/" + MediaName(k, pictures[k].extension), pictures[k].bytes, compress);
    }
    if (zip && zipClose(zip, nullptr) != ZIP_OK) ok = false;
    if (ok && out.Commit()) return true;
    if (error) *error = out.Error().empty() ? "无法写入文档" : out.Error();
    return false;
}

}  // namespace tav
