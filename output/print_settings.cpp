#include "output/print_settings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/byte_io.hpp"
#include "base/text_codec.hpp"

namespace tav {

namespace {

constexpr std::string_view kDefaultHeader = "基桩动测法检测分析报告";
constexpr std::string_view kDefaultFooter = "TAV Analyser 基桩低应变反射波法检测分析系统";
constexpr std::string_view kDefaultFace = "宋体";

static_assert(PrintSettingsPayload::kPayloadSize == PrintSettings::kSize);
static_assert(4 + 4 + 4 + 4 + kTableMaxRows * kTableMaxColumns * (1 + kCellTextSize) + 7 * 4 + PrintFont::kSize +
                  2 * kPageTextSize + 14 * 4 ==
              PrintSettings::kSize);
static_assert(5 * 4 + 8 + 32 == PrintFont::kSize);

template <std::size_t N>
void SetUtf8(TextField<N>& field, std::string_view utf8) {
    const std::string cp936 = Utf8ToCp936(utf8);
    SetText(field, std::string_view(cp936).substr(0, Cp936SafePrefix(cp936, N - 1)));
}

std::int32_t ClampInt(std::int32_t v, std::int32_t lo, std::int32_t hi) { return std::clamp(v, lo, hi); }
std::int32_t Switch(std::int32_t v) { return v != 0 ? 1 : 0; }
float ClampFloat(float v, float lo, float hi, float fallback) {
    if (!std::isfinite(v)) return fallback;
    return std::clamp(v, lo, hi);
}

}  // namespace

PrintFont::PrintFont() { SetUtf8(face, kDefaultFace); }

std::string PrintFont::FaceUtf8() const { return Cp936ToUtf8(TextOf(face)); }

PrintSettings::PrintSettings() {
    cellKinds.fill(kCellCustom);
    cellKinds[0] = kCellProjectName;
    cellKinds[1] = kCellTestUnit;
    cellKinds[kTableMaxColumns] = kCellPrintDate;
    cellKinds[kTableMaxColumns + 1] = kCellWaveformCount;
    SetUtf8(headerText, kDefaultHeader);
    SetUtf8(footerText, kDefaultFooter);
}

std::string PrintSettings::CellTextUtf8(int row, int column) const {
    return Cp936ToUtf8(TextOf(cellTexts[static_cast<std::size_t>(row * kTableMaxColumns + column)]));
}
std::string PrintSettings::HeaderUtf8() const { return Cp936ToUtf8(TextOf(headerText)); }
std::string PrintSettings::FooterUtf8() const { return Cp936ToUtf8(TextOf(footerText)); }

int PrintSettings::ItemsOn() const {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](std::int32_t v) { return v != 0; }));
}

void PrintSettings::Clamp() {
    const PrintSettings defaults;
    tableRows = ClampInt(tableRows, 1, kTableMaxRows);
    tableColumns = ClampInt(tableColumns, 1, kTableMaxColumns);
    tableRowHeightCm = ClampFloat(tableRowHeightCm, 0.0f, kMaxRowHeightCm, defaults.tableRowHeightCm);
    tableGrid = Switch(tableGrid);
    for (auto& item : items) item = Switch(item);
    displayItem = Switch(displayItem);
    const int points = std::clamp(font.Points(), kMinFontPoints, kMaxFontPoints);
    font.height = font.height < 0 ? -points : points;
    // A face without its terminator would run into the next field.
    font.face.back() = '\0';
    headerText.back() = '\0';
    footerText.back() = '\0';
    for (auto& t : cellTexts) t.back() = '\0';
    numberStyle = ClampInt(numberStyle, 0, kPageNumberStyleCount - 1);
    numberPosition = ClampInt(numberPosition, 0, kPageNumberPositionCount - 1);
    firstPage = ClampInt(firstPage, 1, kMaxFirstPage);
    printTable = Switch(printTable);
    printHeader = Switch(printHeader);
    printFooter = Switch(printFooter);
    printNumber = Switch(printNumber);
    cellRows = ClampInt(cellRows, 1, kMaxCellRows);
    cellColumns = ClampInt(cellColumns, 1, kMaxCellColumns);
    automatic = Switch(automatic);
    topMarginCm = ClampFloat(topMarginCm, 0.0f, kMaxMarginCm, defaults.topMarginCm);
    bottomMarginCm = ClampFloat(bottomMarginCm, 0.0f, kMaxMarginCm, defaults.bottomMarginCm);
    leftMarginCm = ClampFloat(leftMarginCm, 0.0f, kMaxMarginCm, defaults.leftMarginCm);
    rightMarginCm = ClampFloat(rightMarginCm, 0.0f, kMaxMarginCm, defaults.rightMarginCm);
}

PrintSettings PrintSettings::FromPayload(const PrintSettingsPayload& payload) {
    PrintSettings s;
    LeLoad in(payload.bytes.data());
    in >> s.tableRows >> s.tableColumns >> s.tableRowHeightCm >> s.tableGrid >> s.cellKinds;
    for (auto& t : s.cellTexts) in >> t;
    for (auto& item : s.items) in >> item;
    in >> s.reserved >> s.displayItem;
    auto& f = s.font;
    in >> f.height >> f.width >> f.escapement >> f.orientation >> f.weight >> f.italic >> f.underline >> f.strikeOut >>
        f.charSet >> f.outPrecision >> f.clipPrecision >> f.quality >> f.pitchAndFamily >> f.face;
    in >> s.headerText >> s.footerText >> s.numberStyle >> s.numberPosition >> s.firstPage >> s.printTable >>
        s.printHeader >> s.printFooter >> s.printNumber >> s.cellRows >> s.cellColumns >> s.automatic >>
        s.topMarginCm >> s.bottomMarginCm >> s.leftMarginCm >> s.rightMarginCm;
    s.Clamp();
    return s;
}

PrintSettingsPayload PrintSettings::ToPayload() const {
    PrintSettingsPayload payload;
    LeStore out(payload.bytes.data());
    out << tableRows << tableColumns << tableRowHeightCm << tableGrid << cellKinds;
    for (const auto& t : cellTexts) out << t;
    for (const auto item : items) out << item;
    out << reserved << displayItem;
    const auto& f = font;
    out << f.height << f.width << f.escapement << f.orientation << f.weight << f.italic << f.underline << f.strikeOut
        << f.charSet << f.outPrecision << f.clipPrecision << f.quality << f.pitchAndFamily << f.face;
    out << headerText << footerText << numberStyle << numberPosition << firstPage << printTable << printHeader
        << printFooter << printNumber << cellRows << cellColumns << automatic << topMarginCm << bottomMarginCm
        << leftMarginCm << rightMarginCm;
    return payload;
}

std::optional<PrintSettings> ReadPrintSettings(const SettingsFiles& files) {
    PrintSettingsPayload payload;
    if (!files.Read(payload)) return std::nullopt;
    return PrintSettings::FromPayload(payload);
}

bool WritePrintSettings(const SettingsFiles& files, const PrintSettings& settings) {
    return files.Write(settings.ToPayload());
}

std::optional<PrintSettings> PrintSettingsOfImage(std::span<const std::uint8_t> image) {
    const auto bytes = SettingsFiles::PayloadOfImage(SettingsGroup::Print, image);
    if (!bytes) return std::nullopt;
    ByteReader in(*bytes);
    PrintSettingsPayload payload;
    if (!payload.Load(in)) return std::nullopt;
    return PrintSettings::FromPayload(payload);
}

std::string PageNumberText(std::int32_t style, std::int32_t page, std::int32_t total) {
    char text[64];
    switch (style) {
        case 1: std::snprintf(text, sizeof text, ".%d.", page); break;
        case 2: std::snprintf(text, sizeof text, "--%d--", page); break;
        case 3: std::snprintf(text, sizeof text, "第%d页", page); break;
        case 4: std::snprintf(text, sizeof text, "共%d页 第%d页", total, page); break;
        default: std::snprintf(text, sizeof text, "%d", page); break;
    }
    return text;
}

std::string_view PageNumberStyleSample(int style) {
    static constexpr std::string_view kSamples[] = {"1", ".1.", "--1--", "第1页", "共1页 第1页"};
    return style >= 0 && style < kPageNumberStyleCount ? kSamples[style] : std::string_view{};
}

std::string_view PageNumberPositionName(int position) {
    static constexpr std::string_view kNames[] = {"顶部居左", "顶部居中", "顶部居右", "底部居左", "底部居中", "底部居右"};
    return position >= 0 && position < kPageNumberPositionCount ? kNames[position] : std::string_view{};
}

std::string_view TableCellKindName(int kind) {
    static constexpr std::string_view kNames[] = {"工程名称", "检测单位", "打印日期", "波形数", "文件名"};
    return kind >= 0 && kind < kTableCellKindCount ? kNames[kind] : std::string_view{};
}

}  // namespace tav
