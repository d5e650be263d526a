// Saving waveform pictures ("保存图形"): what is drawn, at which size, under
// which file names, and where the dialog's last choices are kept. The
// pictures themselves are drawn by the painter backend; this side only
// needs them as encoded bytes, handed over through PictureEncoder.
//
// Two data choices:
//   - the checked test points, in the order of the checked list, each drawn
//     as its time-domain waveform labelled "<pile number> No.<ordinal within
//     its pile>";
//   - the display area: one picture per shown waveform, or, when the display
//     shows traces that belong together (the wave train, a wavelet
//     decomposition, correlations, a cross power spectrum), one picture of
//     all of them stacked ("波列").
// Two output kinds: picture files in a folder, or one word-processor document
// holding the pictures inline, each followed by its caption "NO<n>：<pile>".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_files.hpp"

namespace tav {

class CTAV_AnalyserDoc;

enum PictureData : std::int32_t { kPictureDisplay = 0, kPictureChecked = 1 };
enum PictureOutput : std::int32_t { kPictureFiles = 0, kPictureDocument = 1 };
// Format index into the extension table ("bmp", "jpg", "gif", "png"). GIF is
// kept in the table for stored settings but never written.
enum PictureFormat : std::int32_t { kPictureBmp = 0, kPictureJpg = 1, kPictureGif = 2, kPicturePng = 3 };

// "bmp", "jpg", "gif", "png"; empty outside the table.
std::string_view PictureExtension(std::int32_t formatIndex);
// Whether pictures of the format are written at all (BMP, JPEG, PNG).
bool PictureFormatWritten(std::int32_t formatIndex);

// The dialog's last choices, in "QRV_TAV4_BMP_001.ini" after the 30-byte tag:
// data choice, format index, size index, output kind (int32 each), save folder (260 bytes).
using PictureExportSettings = PictureExportPayload;

// The "默认" choices: the display area, BMP, the second fixed size when the
// size list shows the fixed sizes (else its only entry), a document, and the
// folder of the project file (fallbackFolder when the project has no file).
PictureExportSettings DefaultPictureExportSettings(bool fixedSizes, std::string_view projectPath,
                                                   std::string_view fallbackFolder);

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

inline constexpr int kFixedPictureWidth = 530;
inline constexpr std::array<int, 4> kFixedPictureHeights{145, 200, 270, 400};
// Larger pictures are refused: nobody pastes them, and they would ask for gigabytes.
inline constexpr int kMaxPictureSide = 10000;
inline constexpr std::int64_t kMaxPicturePixels = 40'000'000;

// 530 wide and 145, 200, 270 or 400 high; an index outside the list gives the first.
PictureSize FixedPictureSize(std::int32_t sizeIndex);
// "530×145" and the like.
std::string PictureSizeText(PictureSize size);
// Empty when the size can be drawn, else the message for the user.
std::string CheckPictureSize(PictureSize size);
// "WxH" or "W×H" with positive integers; nothing when it does not read.
std::optional<PictureSize> ParsePictureSize(std::string_view text);

// A file name with each character the file systems of our users forbid
// replaced by its full-width look-alike: \ / : * ? " < > | become
// ╲ ╱ ∶ ＊ ？ ＂ 〈 〉 ｜. Control characters become "_". UTF-8 in and out.
std::string CleanFileName(std::string_view utf8);

// Position of the test point within its pile (a run of neighbours with the
// same pile number), from 1; 0 for an index outside the project.
std::int32_t OrdinalInPile(const CTAV_AnalyserDoc& doc, std::int32_t index);

// The label drawn on a checked test point's picture: "<pile number> No.<ordinal>".
std::string PointPictureLabel(const CTAV_AnalyserDoc& doc, std::int32_t index);

struct PictureItem {
    std::int32_t pointIndex = -1;    // the test point the picture shows or is named after
    std::int32_t displayEntry = -1;  // display-area pictures: the entry drawn; -1 for the others
    bool stacked = false;            // every displayed trace in one picture
    std::string label;               // drawn on a checked test point's picture: "%s No.%d"
    std::string fileStem;            // file name without folder or extension, cleaned
    std::int32_t number = 0;         // caption number in the document
    std::string caption;             // "NO%d：%s", or "波列"
    bool match = false;              // the test point's signal matching picture, not its curve
};

// A test point's item: named "<pile>No.<ordinal>", captioned "NO<number>：<pile>".
PictureItem PointPictureItem(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t number);

// The checked test points in the order of the checked list.
std::vector<PictureItem> CheckedPictureItems(const CTAV_AnalyserDoc& doc);
// The display area: one item per entry (entryPoints: each entry's test point),
// or one stacked item.
std::vector<PictureItem> DisplayPictureItems(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> entryPoints,
                                             bool stacked);
// Whether the display shows traces that belong together in one picture: any
// analysis other than the time and frequency analyses, the wave train, or
// entries that do not each show a test point of their own.
bool DisplayStacksPictures(std::int32_t analysisType, std::int32_t timeScope, std::span<const std::int32_t> entryPoints);

// "<folder>/<stem>.<extension>".
std::string PictureFilePath(std::string_view folder, const PictureItem& item, std::string_view extension);

struct EncodedPicture {
    std::vector<std::uint8_t> bytes;  // the whole file
    int width = 0;
    int height = 0;
};
// Draws and encodes one item; nothing when it cannot be drawn or encoded.
using PictureEncoder = std::function<std::optional<EncodedPicture>(const PictureItem& item)>;

struct PictureFilesResult {
    std::vector<std::string> written;  // paths, in item order
    std::vector<std::string> failed;   // paths that could not be written, with why: "path: reason"
    bool anyExists = false;            // at least one of the items' files exists afterwards
};
// Writes each item's picture to the folder, each file under a temporary name
// first, so a failure never leaves half a picture under the target name.
PictureFilesResult WritePictureFiles(std::span<const PictureItem> items, std::string_view folder,
                                     std::string_view extension, const PictureEncoder& encoder);

// One document (.docx) with every item's picture inline in item order, each
// followed by its caption. extension names the pictures' format. false with
// error set when nothing could be drawn or the document cannot be written.
bool WritePictureDocument(const std::string& path, std::span<const PictureItem> items, std::string_view extension,
                          const PictureEncoder& encoder, std::string* error = nullptr);

// The system's texts.
inline constexpr std::string_view kNoPictureItemsText =
    "   没有用于生成位图的备选项，请确保以\n下两项中至少一项满足：\n   1：测点列表有被“√”选中的数据；\n   2：显示区有波形显示。";
inline constexpr std::string_view kCreateFileFailedText = "创建文件失败！";
inline constexpr std::string_view kCreateDocumentFailedText = "创建Word2000服务失败!";
inline constexpr std::string_view kDocumentNoticeText = "正在创建Word报告，请稍候...";

}  // namespace tav
