// How printed pages look: the page settings kept in the PRINT settings file
// ("QRV_TAV4_PRINT_001.ini", one 5,460-byte block after the tag). Every value
// read from a file is brought into the range the settings dialog offers, so a
// damaged or hand-edited file never reaches the layout with a zero row count,
// a negative margin or a font nobody can read.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/settings_files.hpp"
#include "base/text_field.hpp"

namespace tav {

inline constexpr int kTableMaxRows = 10;
inline constexpr int kTableMaxColumns = 10;
inline constexpr int kCellTextSize = 50;
inline constexpr int kPageTextSize = 100;
inline constexpr int kPrintItemCount = 5;  // items 1..5, one per checked test point
inline constexpr int kMaxCellRows = 20;
inline constexpr int kMaxCellColumns = 20;
inline constexpr int kMaxFirstPage = 50;
inline constexpr float kMaxMarginCm = 10.0f;
inline constexpr float kMaxRowHeightCm = 10.0f;
inline constexpr int kMinFontPoints = 6;
inline constexpr int kMaxFontPoints = 72;

// Table cell kinds; any other value prints the cell's own text.
enum TableCellKind : std::uint8_t {
    kCellProjectName = 0,
    kCellTestUnit = 1,
    kCellPrintDate = 2,
    kCellWaveformCount = 3,
    kCellFileName = 4,
    kCellCustom = 100,
};
inline constexpr int kTableCellKindCount = 5;

enum PageNumberPosition : std::int32_t {
    kNumberTopLeft = 0,
    kNumberTopCentre = 1,
    kNumberTopRight = 2,
    kNumberBottomLeft = 3,
    kNumberBottomCentre = 4,
    kNumberBottomRight = 5,
};
inline constexpr int kPageNumberStyleCount = 5;
inline constexpr int kPageNumberPositionCount = 6;

// The print font as the Windows LOGFONT of the stored block (60 bytes); the
// height is in points.
struct PrintFont {
    static constexpr std::size_t kSize = 60;
    std::int32_t height = 12;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 90;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0x30;
    TextField<32> face{};  // code page 936

    PrintFont();
    std::string FaceUtf8() const;
    // The height in points, whatever its sign.
    int Points() const {
        const std::int64_t magnitude = height < 0 ? -static_cast<std::int64_t>(height) : height;
        return static_cast<int>(std::min<std::int64_t>(magnitude, std::numeric_limits<std::int32_t>::max()));
    }
};

struct PrintSettings {
    static constexpr std::size_t kSize = 5460;

    std::int32_t tableRows = 2;
    std::int32_t tableColumns = 2;
    float tableRowHeightCm = 1.0f;
    std::int32_t tableGrid = 0;
    std::array<std::uint8_t, kTableMaxRows * kTableMaxColumns> cellKinds{};
    std::array<TextField<kCellTextSize>, kTableMaxRows * kTableMaxColumns> cellTexts{};  // code page 936
    std::array<std::int32_t, kPrintItemCount> items{1, 0, 0, 0, 0};  // 波形, 幅值谱, 功率谱, 倒频谱, 对数谱
    std::int32_t reserved = 0;
    std::int32_t displayItem = 0;  // "当前显示"
    PrintFont font;
    TextField<kPageTextSize> headerText{};  // code page 936
    TextField<kPageTextSize> footerText{};
    std::int32_t numberStyle = 0;
    std::int32_t numberPosition = kNumberBottomRight;
    std::int32_t firstPage = 1;
    std::int32_t printTable = 1;
    std::int32_t printHeader = 1;
    std::int32_t printFooter = 1;
    std::int32_t printNumber = 1;
    std::int32_t cellRows = 4;
    std::int32_t cellColumns = 1;
    std::int32_t automatic = 0;
    float topMarginCm = 2.0f;
    float bottomMarginCm = 2.0f;
    float leftMarginCm = 1.5f;
    float rightMarginCm = 1.5f;

    // The defaults of a first start (and of the dialog's "默认").
    PrintSettings();

    std::uint8_t CellKind(int row, int column) const { return cellKinds[static_cast<std::size_t>(row * kTableMaxColumns + column)]; }
    std::string CellTextUtf8(int row, int column) const;
    std::string HeaderUtf8() const;
    std::string FooterUtf8() const;
    int ItemsOn() const;

    // Brings every value into the dialog's range (a non-finite margin or row
    // height takes its default).
    void Clamp();

    // The stored block, field by field; FromPayload clamps what it reads.
    static PrintSettings FromPayload(const PrintSettingsPayload& payload);
    PrintSettingsPayload ToPayload() const;
};

// The settings of the file, or nothing when it is missing, short or foreign
// (the caller keeps what it holds).
std::optional<PrintSettings> ReadPrintSettings(const SettingsFiles& files);
// Writes the file; a failure is reported through the files' prompts.
bool WritePrintSettings(const SettingsFiles& files, const PrintSettings& settings);
// The same from a file image of its own (tavtool's --settings FILE).
std::optional<PrintSettings> PrintSettingsOfImage(std::span<const std::uint8_t> image);

// The page number as printed: style 0..4 with this page and the job's total,
// both already offset by the first page number.
std::string PageNumberText(std::int32_t style, std::int32_t page, std::int32_t total);
// The samples the dialog lists the styles and positions by.
std::string_view PageNumberStyleSample(int style);
std::string_view PageNumberPositionName(int position);
// The dialog's names of the table cell kinds 0..4.
std::string_view TableCellKindName(int kind);

}  // namespace tav
