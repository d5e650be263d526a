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

// Writes the document atomically (a temporary file beside the target, then
// renamed). false with error set when it cannot be written.
bool WriteDocx(const std::string& path, std::span<const DocxPicture> pictures, std::string* error = nullptr);

// A text made safe for XML character data: & < > " escaped, characters XML
// cannot carry (control characters, broken UTF-8) left out.
std::string XmlText(std::string_view utf8);

}  // namespace tav
