// The printed pages without a printer: where the waveform pictures of a print
// job go and what each page carries around them.
//
// Page units are tenths of a millimetre from the paper's top left corner, x to
// the right and y upwards, so everything on the paper has y <= 0 (a rectangle's
// top is greater than its bottom). Margins come in cm (x 100), the paper in mm
// (x 10). The layout runs once when printing is prepared: it decides the page
// count and the cell of every picture; pages are then drawn one by one from the
// same result, so the preview, the printer and a PDF file show the same pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/print_settings.hpp"

namespace tav {

class WaveDisplayModel;

// Print item codes of a cell: 0 a waveform of the display area, 1..5 the
// per-test-point items (波形, 幅值谱, 功率谱, 倒频谱, 对数谱).
enum PrintItem : std::int32_t {
    kPrintDisplayArea = 0,
    kPrintWaveform = 1,
    kPrintAmplitude = 2,
    kPrintPower = 3,
    kPrintCepstrum = 4,
    kPrintLogarithmic = 5,
};

struct PrintRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return top - bottom; }  // positive for a rectangle on the page
    bool operator==(const PrintRect&) const = default;
};

struct PrintCell {
    PrintRect rect;
    std::int32_t item = 0;
    // Items 1..5: the ordinal (from 0) of the test point in the checked list;
    // item 0: the ordinal of the waveform in the display area.
    std::int32_t index = 0;
    std::int32_t page = 1;  // from 1
    bool operator==(const PrintCell&) const = default;
};

// What the display area shows, as far as the layout needs it.
struct PrintDisplayState {
    std::int32_t waveformCount = 0;  // entries of the display
    bool singlePoint = false;        // every entry belongs to one test point
    std::int32_t width = 0;          // the display's client width, 0 without a display
    std::int32_t traceHeight = 0;    // one entry's height
    std::int32_t allTracesHeight = 0;
};
PrintDisplayState DisplayStateOf(const WaveDisplayModel& display);

struct PrintLayoutInput {
    PrintSettings settings;
    std::int32_t paperWidthMm = 0;  // 0: no printer to ask
    std::int32_t paperHeightMm = 0;
    std::int32_t pointCount = 0;    // test points of the project
    std::int32_t checkedCount = 0;  // entries of the checked list
    PrintDisplayState display;
};

struct PrintLayout {
    std::int32_t pages = 0;  // 0: printing is cancelled
    std::string message;     // the message shown for a cancel, empty for a silent one
    std::string reason;      // why a silent cancel happened (for logs and tavtool)
    PrintRect area;          // the printable area left for the cells
    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::vector<PrintCell> cells;

    std::int32_t CellsPerPage() const { return rows * columns; }
};

// The layout of a print job; pages == 0 cancels it.
PrintLayout LayOutPrintJob(const PrintLayoutInput& input);

// The two messages of a cancelled job.
std::string_view NothingCheckedText();
std::string_view NothingToPrintText();

// ---- what a page carries besides its cells ----

struct PrintFacts {
    std::string projectName;  // UTF-8
    std::string testUnit;
    std::string filePath;
    int year = 1970;
    int month = 1;
    int day = 1;
};
// Today's date from the system clock, in universal time.
void SetPrintDateToday(PrintFacts& facts);

enum class TextAlign { Left, Centre, Right };

// A text in a band: horizontally as aligned, vertically centred.
struct PageText {
    PrintRect band;
    TextAlign align = TextAlign::Left;
    std::string text;  // UTF-8
};

struct PageFrame {
    PrintRect rect;
    std::int32_t penWidth = 1;
};

struct PageLine {
    std::int32_t x0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y = 0;
    std::int32_t penWidth = 1;
};

struct PagePlan {
    std::int32_t fontHeight = 0;  // the print font's height in page units
    std::vector<PageText> texts;
    std::vector<PageLine> lines;
    std::vector<PageFrame> frames;
    std::vector<PrintCell> cells;
};

// The print font's height in page units.
std::int32_t FontHeightUnits(const PrintFont& font);
// Page n (from 1) of a laid-out job: header, footer, page number, table block
// and the cells that fall on it.
PagePlan PlanPage(const PrintSettings& settings, const PrintLayout& layout, std::int32_t paperWidthMm,
                  std::int32_t paperHeightMm, const PrintFacts& facts, std::int32_t page);

}  // namespace tav
