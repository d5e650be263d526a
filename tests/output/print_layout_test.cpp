#include "output/print_layout.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/byte_io.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

constexpr std::int32_t kA4Width = 210;
constexpr std::int32_t kA4Height = 297;

PrintLayoutInput A4Job(std::int32_t checked) {
    PrintLayoutInput in;
    in.paperWidthMm = kA4Width;
    in.paperHeightMm = kA4Height;
    in.pointCount = std::max(checked, 1);
    in.checkedCount = checked;
    return in;
}

std::int32_t I32At(const PrintSettingsPayload& p, std::size_t offset) {
    std::int32_t v = 0;
    LeLoad(p.bytes.data() + offset) >> v;
    return v;
}
float F32At(const PrintSettingsPayload& p, std::size_t offset) {
    float v = 0;
    LeLoad(p.bytes.data() + offset) >> v;
    return v;
}
void PutI32(PrintSettingsPayload& p, std::size_t offset, std::int32_t v) { LeStore(p.bytes.data() + offset) << v; }
void PutF32(PrintSettingsPayload& p, std::size_t offset, float v) { LeStore(p.bytes.data() + offset) << v; }

std::vector<std::string> TextsOf(const PagePlan& plan) {
    std::vector<std::string> out;
    for (const auto& t : plan.texts) out.push_back(t.text);
    return out;
}

TEST(PrintSettings, DefaultBlockSitsAtItsOffsets) {
    const PrintSettingsPayload p = PrintSettings{}.ToPayload();
    EXPECT_EQ(I32At(p, 0), 2);
    EXPECT_EQ(I32At(p, 4), 2);
    EXPECT_FLOAT_EQ(F32At(p, 8), 1.0f);
    EXPECT_EQ(p.bytes[16], 0);
    EXPECT_EQ(p.bytes[17], 1);
    EXPECT_EQ(p.bytes[18], 100);
    EXPECT_EQ(p.bytes[26], 2);
    EXPECT_EQ(p.bytes[27], 3);
    EXPECT_EQ(p.bytes[115], 100);
    EXPECT_EQ(I32At(p, 5116), 1);
    EXPECT_EQ(I32At(p, 5120), 0);
    EXPECT_EQ(I32At(p, 5140), 0);
    EXPECT_EQ(I32At(p, 5144), 12);
    EXPECT_EQ(I32At(p, 5160), 90);
    EXPECT_EQ(p.bytes[5144 + 27], 0x30);
    // "宋体" in code page 936.
    EXPECT_EQ(p.bytes[5172], 0xCB);
    EXPECT_EQ(p.bytes[5173], 0xCE);
    EXPECT_EQ(p.bytes[5174], 0xCC);
    EXPECT_EQ(p.bytes[5175], 0xE5);
    EXPECT_EQ(p.bytes[5176], 0);
    EXPECT_NE(p.bytes[5204], 0);  // the header text
    EXPECT_EQ(I32At(p, 5404), 0);
    EXPECT_EQ(I32At(p, 5408), 5);
    EXPECT_EQ(I32At(p, 5412), 1);
    for (std::size_t at = 5416; at <= 5428; at += 4) EXPECT_EQ(I32At(p, at), 1);
    EXPECT_EQ(I32At(p, 5432), 4);
    EXPECT_EQ(I32At(p, 5436), 1);
    EXPECT_EQ(I32At(p, 5440), 0);
    EXPECT_FLOAT_EQ(F32At(p, 5444), 2.0f);
    EXPECT_FLOAT_EQ(F32At(p, 5456), 1.5f);

    PrintSettings changed;
    changed.items = {0, 1, 0, 1, 0};
    changed.numberStyle = 3;
    SetText(changed.cellTexts[13], "abc");
    const PrintSettings back = PrintSettings::FromPayload(changed.ToPayload());
    EXPECT_EQ(back.ToPayload().bytes, changed.ToPayload().bytes);
    EXPECT_EQ(back.CellTextUtf8(1, 3), "abc");
}

TEST(PrintSettings, FileRoundTripAndForeignFile) {
    testing::TempDir dir;
    testing::RecordingPrompts prompts;
    SettingsFiles files(dir.path(), &prompts);
    EXPECT_FALSE(ReadPrintSettings(files).has_value());
    PrintSettings s;
    s.cellRows = 7;
    ASSERT_TRUE(WritePrintSettings(files, s));
    const auto read = ReadPrintSettings(files);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->cellRows, 7);

    // Another group's tag: not the print settings.
    const auto payload = s.ToPayload().bytes;
    auto image = SettingsFiles::MakeImage(SettingsGroup::Bmp, payload);
    EXPECT_FALSE(PrintSettingsOfImage(image).has_value());
    image = SettingsFiles::MakeImage(SettingsGroup::Print, std::span(payload).first(100));
    EXPECT_FALSE(PrintSettingsOfImage(image).has_value());
}

TEST(PrintSettings, ValuesOutOfRangeAreBroughtIntoTheDialogsRanges) {
    PrintSettingsPayload p = PrintSettings{}.ToPayload();
    PutI32(p, 0, 0);
    PutI32(p, 4, 99);
    PutF32(p, 8, std::numeric_limits<float>::quiet_NaN());
    PutI32(p, 5116, 7);
    PutI32(p, 5144, -500);
    PutI32(p, 5404, 9);
    PutI32(p, 5408, -1);
    PutI32(p, 5412, 0);
    PutI32(p, 5432, 0);
    PutI32(p, 5436, -3);
    PutF32(p, 5444, -1.0f);
    PutF32(p, 5448, 1e9f);
    PutF32(p, 5452, std::numeric_limits<float>::infinity());
    std::fill(p.bytes.begin() + 5204, p.bytes.begin() + 5304, 'A');  // no terminator
    const PrintSettings s = PrintSettings::FromPayload(p);
    EXPECT_EQ(s.tableRows, 1);
    EXPECT_EQ(s.tableColumns, 10);
    EXPECT_FLOAT_EQ(s.tableRowHeightCm, 1.0f);
    EXPECT_EQ(s.items[0], 1);
    EXPECT_EQ(s.font.height, -kMaxFontPoints);
    EXPECT_EQ(s.numberStyle, 4);
    EXPECT_EQ(s.numberPosition, 0);
    EXPECT_EQ(s.firstPage, 1);
    EXPECT_EQ(s.cellRows, 1);
    EXPECT_EQ(s.cellColumns, 1);
    EXPECT_FLOAT_EQ(s.topMarginCm, 0.0f);
    EXPECT_FLOAT_EQ(s.bottomMarginCm, 10.0f);
    EXPECT_FLOAT_EQ(s.leftMarginCm, 1.5f);
    EXPECT_EQ(s.HeaderUtf8().size(), 99u);

    // A zero row count in a file never reaches a division.
    PrintLayoutInput in = A4Job(3);
    in.settings = s;
    in.settings.cellRows = 0;
    in.settings.cellColumns = 0;
    const PrintLayout layout = LayOutPrintJob(in);
    EXPECT_EQ(layout.pages, 3);
    EXPECT_EQ(layout.cells.size(), 3u);
}

TEST(PrintLayout, FourCheckedPointsWithTwoItemsOnAFixedFourByOneGrid) {
    PrintLayoutInput in = A4Job(4);
    in.settings.items = {1, 1, 0, 0, 0};
    const PrintLayout layout = LayOutPrintJob(in);
    ASSERT_EQ(layout.pages, 2);
    EXPECT_TRUE(layout.message.empty());
    // Margins 1.5/2 cm, header and footer bands of a 12-point font (42 units),
    // a 2-row table of 1 cm rows.
    EXPECT_EQ(layout.area, (PrintRect{150, -200 - 94 - 200, 1950, -2770 + 77}));
    ASSERT_EQ(layout.cells.size(), 8u);
    const std::vector<std::pair<int, int>> order{{1, 0}, {2, 0}, {1, 1}, {2, 1}, {1, 2}, {2, 2}, {1, 3}, {2, 3}};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(layout.cells[i].item, order[i].first) << i;
        EXPECT_EQ(layout.cells[i].index, order[i].second) << i;
        EXPECT_EQ(layout.cells[i].page, i < 4 ? 1 : 2) << i;
    }
    // Height (B - T) / 4 = -549.75, products truncated, the last row ends at B.
    EXPECT_EQ(layout.cells[0].rect, (PrintRect{150, -494, 1950, -1043}));
    EXPECT_EQ(layout.cells[1].rect, (PrintRect{150, -1043, 1950, -1593}));
    EXPECT_EQ(layout.cells[2].rect, (PrintRect{150, -1593, 1950, -2143}));
    EXPECT_EQ(layout.cells[3].rect, (PrintRect{150, -2143, 1950, -2693}));
    EXPECT_EQ(layout.cells[4].rect, layout.cells[0].rect);
}

TEST(PrintLayout, ColumnsAndDisplayCellsFollowThePointCells) {
    PrintLayoutInput in = A4Job(2);
    in.settings.items = {0, 0, 1, 0, 1};
    in.settings.displayItem = 1;
    in.settings.cellColumns = 7;
    in.settings.cellRows = 1;
    in.display = {3, false, 800, 200, 600};
    const PrintLayout layout = LayOutPrintJob(in);
    ASSERT_EQ(layout.cells.size(), 7u);
    EXPECT_EQ(layout.pages, 1);
    EXPECT_EQ(layout.cells[0].item, 3);
    EXPECT_EQ(layout.cells[1].item, 5);
    EXPECT_EQ(layout.cells[3].index, 1);
    EXPECT_EQ(layout.cells[4].item, kPrintDisplayArea);
    EXPECT_EQ(layout.cells[6].index, 2);
    // 1800 / 7 = 257.14 units a column; the last one ends at R.
    EXPECT_EQ(layout.cells[1].rect.left, 407);
    EXPECT_EQ(layout.cells[1].rect.right, 664);
    EXPECT_EQ(layout.cells[6].rect.right, 1950);
    EXPECT_EQ(layout.cells[6].rect.bottom, layout.area.bottom);

    // A display of one test point's traces prints as one cell.
    in.display.singlePoint = true;
    EXPECT_EQ(LayOutPrintJob(in).cells.size(), 5u);
}

TEST(PrintLayout, AutomaticArrangementKeepsTheTraceProportion) {
    PrintLayoutInput in = A4Job(8);
    in.settings.automatic = 1;
    in.settings.cellColumns = 5;
    in.display = {1, true, 1000, 200, 200};
    PrintLayout layout = LayOutPrintJob(in);
    // 200 x 1800 / 1000 = 360 units a cell; 2199 / 360 = 6 rows.
    EXPECT_EQ(layout.columns, 1);
    EXPECT_EQ(layout.rows, 6);
    EXPECT_EQ(layout.pages, 2);
    EXPECT_EQ(layout.cells[0].rect, (PrintRect{150, -494, 1950, -854}));
    EXPECT_EQ(layout.cells[5].rect.bottom, -494 - 6 * 360);  // no stretching to B
    EXPECT_EQ(layout.cells[6].page, 2);

    // Without a display: a third of the printable width.
    in.display = {};
    layout = LayOutPrintJob(in);
    EXPECT_EQ(layout.rows, 3);
    EXPECT_EQ(layout.cells[0].rect.Height(), 600);

    // One display cell of a single test point: all its traces, at most the page.
    in.settings.items = {0, 0, 0, 0, 0};
    in.settings.displayItem = 1;
    in.display = {4, true, 1000, 200, 5000};
    layout = LayOutPrintJob(in);
    ASSERT_EQ(layout.cells.size(), 1u);
    EXPECT_EQ(layout.cells[0].rect.Height(), 2199);
}

TEST(PrintLayout, CancellationsAndTheirMessages) {
    PrintLayoutInput in = A4Job(2);

    PrintLayoutInput noPrinter = in;
    noPrinter.paperWidthMm = 0;
    EXPECT_EQ(LayOutPrintJob(noPrinter).pages, 0);
    EXPECT_TRUE(LayOutPrintJob(noPrinter).message.empty());

    PrintLayoutInput empty = in;
    empty.pointCount = 0;
    empty.checkedCount = 0;
    EXPECT_EQ(LayOutPrintJob(empty).pages, 0);
    EXPECT_TRUE(LayOutPrintJob(empty).message.empty());

    PrintLayoutInput unchecked = in;
    unchecked.checkedCount = 0;
    EXPECT_EQ(LayOutPrintJob(unchecked).pages, 0);
    EXPECT_EQ(LayOutPrintJob(unchecked).message, NothingCheckedText());
    EXPECT_NE(NothingCheckedText().find("显示区有波形显示"), std::string_view::npos);

    PrintLayoutInput blankDisplay = in;
    blankDisplay.settings.displayItem = 1;
    EXPECT_EQ(LayOutPrintJob(blankDisplay).message, NothingCheckedText());

    PrintLayoutInput noItems = in;
    noItems.settings.items = {0, 0, 0, 0, 0};
    EXPECT_EQ(LayOutPrintJob(noItems).pages, 0);
    EXPECT_EQ(LayOutPrintJob(noItems).message, NothingToPrintText());

    // Left and right margins wider than the paper: silent.
    PrintLayoutInput wide = in;
    wide.paperWidthMm = 150;
    wide.settings.leftMarginCm = 8.0f;
    wide.settings.rightMarginCm = 7.5f;
    EXPECT_EQ(LayOutPrintJob(wide).pages, 0);
    EXPECT_TRUE(LayOutPrintJob(wide).message.empty());

    // The bands alone eat a low page.
    PrintLayoutInput low = in;
    low.paperHeightMm = 210;
    low.settings.topMarginCm = 10.0f;
    low.settings.bottomMarginCm = 10.0f;
    EXPECT_EQ(LayOutPrintJob(low).pages, 0);
    low.settings.printHeader = 0;
    low.settings.printFooter = 0;
    low.settings.printNumber = 0;
    low.settings.printTable = 0;
    EXPECT_EQ(LayOutPrintJob(low).pages, 1);

    // A table block taller than the page: one page of decorations, no cells.
    PrintLayoutInput table = in;
    table.settings.tableRows = 10;
    table.settings.tableRowHeightCm = 10.0f;
    const PrintLayout full = LayOutPrintJob(table);
    EXPECT_EQ(full.pages, 1);
    EXPECT_TRUE(full.cells.empty());
}

TEST(PrintLayout, TwoThousandPointsWithEveryItem) {
    PrintLayoutInput in = A4Job(2000);
    in.settings.items = {1, 1, 1, 1, 1};
    const PrintLayout layout = LayOutPrintJob(in);
    EXPECT_EQ(layout.cells.size(), 10000u);
    EXPECT_EQ(layout.pages, 2500);
    const PagePlan last = PlanPage(in.settings, layout, kA4Width, kA4Height, {}, 2500);
    ASSERT_EQ(last.cells.size(), 4u);
    EXPECT_EQ(last.cells.back().index, 1999);
    EXPECT_EQ(last.cells.back().item, 5);
}

TEST(PrintPage, EveryNumberStyleWithAFirstPageOffset) {
    EXPECT_EQ(PageNumberText(0, 6, 8), "6");
    EXPECT_EQ(PageNumberText(1, 6, 8), ".6.");
    EXPECT_EQ(PageNumberText(2, 6, 8), "--6--");
    EXPECT_EQ(PageNumberText(3, 6, 8), "第6页");
    EXPECT_EQ(PageNumberText(4, 6, 8), "共8页 第6页");

    // First page 5, style 4, a 3-page job: the first sheet reads total 7, page 5.
    PrintLayoutInput in = A4Job(3);
    in.settings.firstPage = 5;
    in.settings.cellRows = 1;
    const PrintLayout layout = LayOutPrintJob(in);
    ASSERT_EQ(layout.pages, 3);
    for (int style = 0; style < kPageNumberStyleCount; ++style) {
        in.settings.numberStyle = style;
        const auto texts = TextsOf(PlanPage(in.settings, layout, kA4Width, kA4Height, {}, 1));
        EXPECT_NE(std::find(texts.begin(), texts.end(), PageNumberText(style, 5, 7)), texts.end()) << style;
    }
    const auto third = TextsOf(PlanPage(in.settings, layout, kA4Width, kA4Height, {}, 3));
    EXPECT_NE(std::find(third.begin(), third.end(), "共7页 第7页"), third.end());
}

TEST(PrintPage, NumberPositionsInTheBands) {
    PrintLayoutInput in = A4Job(1);
    in.settings.printTable = 0;
    in.settings.numberStyle = 3;
    const auto plan = [&](int position) {
        in.settings.numberPosition = position;
        return PlanPage(in.settings, LayOutPrintJob(in), kA4Width, kA4Height, {}, 1);
    };
    const std::string header = PrintSettings{}.HeaderUtf8();
    const std::string footer = PrintSettings{}.FooterUtf8();

    PagePlan p = plan(kNumberTopLeft);
    ASSERT_EQ(p.texts.size(), 3u);
    EXPECT_EQ(p.texts[0].text, header);
    EXPECT_EQ(p.texts[0].align, TextAlign::Centre);
    EXPECT_EQ(p.texts[1].text, "第1页");
    EXPECT_EQ(p.texts[1].align, TextAlign::Left);
    // Header band from the top margin down by the font height, its line 17 below.
    EXPECT_EQ(p.texts[1].band, (PrintRect{150, -200, 1950, -242}));
    ASSERT_EQ(p.lines.size(), 1u);
    EXPECT_EQ(p.lines[0].y, -259);

    p = plan(kNumberTopCentre);
    EXPECT_EQ(p.texts[0].text, header + " 第1页");

    p = plan(kNumberBottomCentre);
    EXPECT_EQ(p.texts[1].text, footer + " 第1页");
    EXPECT_EQ(p.texts[1].band, (PrintRect{150, -2770 + 42, 1950, -2770}));

    p = plan(kNumberBottomRight);
    EXPECT_EQ(p.texts.back().text, "第1页");
    EXPECT_EQ(p.texts.back().align, TextAlign::Right);

    // The number alone keeps its band when the texts are off.
    in.settings.printHeader = 0;
    in.settings.printFooter = 0;
    p = plan(kNumberTopCentre);
    ASSERT_EQ(p.texts.size(), 1u);
    EXPECT_EQ(p.texts[0].text, "第1页");
    EXPECT_EQ(p.lines.size(), 1u);
    in.settings.printNumber = 0;
    p = plan(kNumberTopCentre);
    EXPECT_TRUE(p.texts.empty());
    EXPECT_TRUE(p.lines.empty());
}

TEST(PrintPage, TableBlockTextsAndGrid) {
    PrintLayoutInput in = A4Job(4);
    in.settings.tableGrid = 1;
    in.settings.tableColumns = 3;
    in.settings.cellKinds[2] = kCellFileName;
    in.settings.cellKinds[kTableMaxColumns + 2] = kCellCustom;
    SetText(in.settings.cellTexts[kTableMaxColumns + 2], "\xBC\xEC\xB2\xE2");  // "检测" in code page 936
    const PrintLayout layout = LayOutPrintJob(in);
    PrintFacts facts{"大桥", "质检站", "/data/a.tav", 2026, 3, 9};
    const PagePlan p = PlanPage(in.settings, layout, kA4Width, kA4Height, facts, 1);
    const auto texts = TextsOf(p);
    for (const char* expected : {"工程名称：大桥", "检测单位：质检站", "文件名：/data/a.tav", "打印日期：2026.3.9",
                                 "波形数：4", "检测"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    // The outer frame under the header band, then six cell frames.
    ASSERT_EQ(p.frames.size(), 7u);
    EXPECT_EQ(p.frames[0].rect, (PrintRect{151, -294, 1949, -494}));
    EXPECT_EQ(p.frames[0].penWidth, 2);
    EXPECT_EQ(p.frames[1].rect, (PrintRect{151, -294, 750, -394}));
    // Texts are indented by the font height.
    EXPECT_EQ(p.texts[3].band.left, 151 + 42);
    EXPECT_EQ(p.cells.size(), 4u);

    // A table taller than the page stops above the footer band.
    in.settings.tableRows = 10;
    in.settings.tableRowHeightCm = 10.0f;
    const PagePlan tall = PlanPage(in.settings, LayOutPrintJob(in), kA4Width, kA4Height, facts, 1);
    EXPECT_EQ(tall.frames[0].rect.bottom, -2770 + 42 + 35);
}

}  // namespace
}  // namespace tav
