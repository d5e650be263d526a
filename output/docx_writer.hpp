// A small word-processor document (Office Open XML, .docx): centred
// paragraphs, each holding one picture inline (embedded, not linked) and
// followed by a caption paragraph. Enough for the picture export; the reports
// have their own template-based writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

struct DocxPicture {
    std::span<const std::uint8_t> bytes;  // the picture file as written to disk
    std::string_view extension;           // "bmp", "jpg", "png"
    int width = 0;                        // pixels; shown at 96 dots per inch,
    int height = 0;                       // scaled down to the text width when wider
    std::string caption;                  // UTF-8; empty: no caption line
};

// The zip members of the document, for tests and readers:
// "[Content_Types].xml", "_rels/.rels", "word/document.xml",
// "word/_rels/document.xml.rels", "word/media/image<N>.<ext>".
inline constexpr std::string_view kDocxBodyMember = "word/document.xml";

// Writes the document through the safe save (base/atomic_file.hpp): an
// existing file is replaced only by a whole document. false with a Chinese
// reason in *error when it cannot be written.
bool WriteDocx(const std::string& path, std::span<const DocxPicture> pictures, std::string* error = nullptr);

// Pieces for documents assembled elsewhere (the report library's template).
// A run holding a picture inline, shown at 96 dots per inch and scaled down
// to the text width; the picture part is the relationship's target. The
// document's root must declare the w, r, wp, a and pic namespaces.
std::string DocxInlinePicture(int id, std::string_view relationId, std::string_view name, std::string_view description,
                              int width, int height);
// One member of an open minizip zipFile; false when minizip refuses.
bool DocxZipMember(void* zip, const std::string& name, std::span<const std::uint8_t> data, bool compress);

// A text made safe for XML character data: & < > " escaped, characters XML
// cannot carry (control characters, broken UTF-8) left out.
std::string XmlText(std::string_view utf8);

}  // namespace tav
