#include "output/print_layout.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "analysis/display/display_model.hpp"

namespace tav {

namespace {

constexpr std::string_view kNothingChecked =
    "   没有用于打印的备选项，请确保以下信息\n和“打印设置”中的相关设置相符：\n   1：测点列表有被“√”选中的数据；\n"
    "   2：显示区有波形显示。";
constexpr std::string_view kNothingToPrint = "无可打印数据，请在“打印设置”→“页面”中设置打印项。";

// Gaps between the header band and its line, and around the bands, in page units.
constexpr std::int32_t kHeaderGap = 52;
constexpr std::int32_t kHeaderLineGap = 17;
constexpr std::int32_t kFooterGap = 35;
constexpr float kPointToUnits = 3.5277777f;

std::int32_t Cm(float cm) { return static_cast<std::int32_t>(std::lround(static_cast<double>(cm) * 100.0)); }

bool HeaderBand(const PrintSettings& s) {
    return (s.printHeader && !TextOf(s.headerText).empty()) || (s.printNumber && s.numberPosition <= kNumberTopRight);
}
bool FooterBand(const PrintSettings& s) {
    return (s.printFooter && !TextOf(s.footerText).empty()) || (s.printNumber && s.numberPosition >= kNumberBottomLeft);
}
std::int32_t TableHeight(const PrintSettings& s) {
    return static_cast<std::int32_t>(std::lround(static_cast<double>(s.tableRows) * s.tableRowHeightCm * 100.0));
}

PrintLayout Cancel(std::string message, std::string reason) {
    PrintLayout layout;
    layout.message = std::move(message);
    layout.reason = std::move(reason);
    return layout;
}

// The cell height of the automatic arrangement: a trace of the display keeps
// its shape at the printable width.
std::int32_t AutomaticHeight(const PrintLayoutInput& in, std::int32_t width, std::int32_t available, std::size_t count) {
    const auto& d = in.display;
    double height = width / 3.0;
    if (d.width > 0) {
        const bool wholeDisplay = d.singlePoint && count == 1 && in.settings.displayItem;
        const std::int32_t trace = wholeDisplay ? d.allTracesHeight : d.traceHeight;
        if (trace > 0) height = static_cast<double>(trace) * width / d.width;
    }
    return std::clamp(static_cast<std::int32_t>(height), std::int32_t{1}, available);
}

}  // namespace

std::string_view NothingCheckedText() { return kNothingChecked; }
std::string_view NothingToPrintText() { return kNothingToPrint; }

std::int32_t FontHeightUnits(const PrintFont& font) {
    return static_cast<std::int32_t>(static_cast<float>(font.Points()) * kPointToUnits);
}

PrintDisplayState DisplayStateOf(const WaveDisplayModel& display) {
    PrintDisplayState state;
    const auto& entries = display.Entries();
    state.waveformCount = static_cast<std::int32_t>(entries.size());
    state.singlePoint = !entries.empty() && std::all_of(entries.begin(), entries.end(), [&](const DisplayEntry& e) {
        return e.pointIndex == entries.front().pointIndex;
    });
    state.width = display.ClientWidth();
    state.traceHeight = entries.empty() ? 0 : entries.front().rect.Height();
    state.allTracesHeight = display.PageHeight();
    return state;
}

PrintLayout LayOutPrintJob(const PrintLayoutInput& in) {
    PrintSettings s = in.settings;
    s.Clamp();
    if (in.paperWidthMm <= 0 || in.paperHeightMm <= 0) return Cancel({}, "no printer");
    if (in.pointCount <= 0) return Cancel({}, "the project has no test points");
    if ((s.displayItem && in.display.waveformCount <= 0) || (s.ItemsOn() > 0 && in.checkedCount <= 0))
        return Cancel(std::string(kNothingChecked), {});

    PrintLayout layout;
    std::int32_t L = Cm(s.leftMarginCm);
    std::int32_t T = -Cm(s.topMarginCm);
    std::int32_t R = in.paperWidthMm * 10 - Cm(s.rightMarginCm);
    std::int32_t B = Cm(s.bottomMarginCm) - in.paperHeightMm * 10;
    if (R - L < 1 || B >= T) return Cancel({}, "the margins leave no printable area");
    const std::int32_t fh = FontHeightUnits(s.font);
    if (HeaderBand(s)) T -= fh + kHeaderGap;
    if (FooterBand(s)) B += fh + kFooterGap;
    if (B >= T) return Cancel({}, "the header and footer leave no printable area");
    if (s.printTable) T -= TableHeight(s);
    layout.area = {L, T, R, B};
    if (B >= T) {
        // The table block fills the page: one page of decorations alone.
        layout.pages = 1;
        return layout;
    }

    const std::size_t perPoint = static_cast<std::size_t>(s.ItemsOn()) * static_cast<std::size_t>(std::max(in.checkedCount, 0));
    const std::size_t shown = s.displayItem ? (in.display.singlePoint ? 1u : static_cast<std::size_t>(in.display.waveformCount)) : 0u;
    const std::size_t count = perPoint + shown;
    if (count == 0) return Cancel(std::string(kNothingToPrint), {});

    double width = 0;
    double height = 0;  // negative: downwards
    if (s.automatic) {
        layout.columns = 1;
        width = R - L;
        const std::int32_t h = AutomaticHeight(in, R - L, T - B, count);
        height = -h;
        layout.rows = std::max<std::int32_t>(1, (T - B) / h);
    } else {
        layout.columns = s.cellColumns;
        layout.rows = s.cellRows;
        width = static_cast<double>(R - L) / layout.columns;
        height = static_cast<double>(B - T) / layout.rows;
    }
    const std::size_t perPage = static_cast<std::size_t>(layout.CellsPerPage());
    layout.pages = static_cast<std::int32_t>((count + perPage - 1) / perPage);

    layout.cells.reserve(count);
    const auto at = [](std::int32_t origin, std::int32_t k, double size) {
        return origin + static_cast<std::int32_t>(k * size);
    };
    for (std::size_t i = 0; i < count; ++i) {
        PrintCell c;
        if (i < perPoint) {
            const auto ordinal = i / static_cast<std::size_t>(s.ItemsOn());
            const auto nth = i % static_cast<std::size_t>(s.ItemsOn());
            std::size_t seen = 0;
            for (int item = 0; item < kPrintItemCount; ++item) {
                if (!s.items[static_cast<std::size_t>(item)]) continue;
                if (seen++ == nth) c.item = item + 1;
            }
            c.index = static_cast<std::int32_t>(ordinal);
        } else {
            c.item = kPrintDisplayArea;
            c.index = static_cast<std::int32_t>(i - perPoint);
        }
        const auto column = static_cast<std::int32_t>(i % static_cast<std::size_t>(layout.columns));
        const auto row = static_cast<std::int32_t>((i / static_cast<std::size_t>(layout.columns)) % static_cast<std::size_t>(layout.rows));
        c.page = static_cast<std::int32_t>(i / perPage) + 1;
        c.rect.left = at(L, column, width);
        c.rect.right = column == layout.columns - 1 ? R : at(L, column + 1, width);
        c.rect.top = at(T, row, height);
        c.rect.bottom = (!s.automatic && row == layout.rows - 1) ? B : at(T, row + 1, height);
        layout.cells.push_back(c);
    }
    return layout;
}

void SetPrintDateToday(PrintFacts& facts) {
    const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    const std::chrono::year_month_day ymd{today};
    facts.year = static_cast<int>(ymd.year());
    facts.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    facts.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

namespace {

std::string TableCellText(const PrintSettings& s, const PrintFacts& facts, std::size_t cellCount, int row, int column) {
    char text[64];
    switch (s.CellKind(row, column)) {
        case kCellProjectName: return "工程名称：" + facts.projectName;
        case kCellTestUnit: return "检测单位：" + facts.testUnit;
        case kCellPrintDate:
            std::snprintf(text, sizeof text, "打印日期：%04d.%d.%d", facts.year, facts.month, facts.day);
            return text;
        case kCellWaveformCount: std::snprintf(text, sizeof text, "波形数：%zu", cellCount); return text;
        case kCellFileName: return "文件名：" + facts.filePath;
        default: return s.CellTextUtf8(row, column);
    }
}

// The page number and the band's own text, placed left, centred or right;
// at the centre position the number follows the text after one blank.
void PlaceBandTexts(PagePlan& plan, const PrintRect& band, const std::string& text, const std::string* number,
                    TextAlign numberAlign) {
    if (number && numberAlign == TextAlign::Centre) {
        plan.texts.push_back({band, TextAlign::Centre, text.empty() ? *number : text + " " + *number});
        return;
    }
    if (!text.empty()) plan.texts.push_back({band, TextAlign::Centre, text});
    if (number) plan.texts.push_back({band, numberAlign, *number});
}

}  // namespace

PagePlan PlanPage(const PrintSettings& settings, const PrintLayout& layout, std::int32_t paperWidthMm,
                  std::int32_t paperHeightMm, const PrintFacts& facts, std::int32_t page) {
    PrintSettings s = settings;
    s.Clamp();
    PagePlan plan;
    const std::int32_t fh = FontHeightUnits(s.font);
    plan.fontHeight = fh;
    const std::int32_t L = Cm(s.leftMarginCm);
    const std::int32_t R = paperWidthMm * 10 - Cm(s.rightMarginCm);
    const std::int32_t top = -Cm(s.topMarginCm);
    const std::int32_t bottom = Cm(s.bottomMarginCm) - paperHeightMm * 10;

    const std::string number =
        PageNumberText(s.numberStyle, page + s.firstPage - 1, layout.pages + s.firstPage - 1);
    const bool numberOn = s.printNumber != 0;
    const auto alignOf = [](std::int32_t position) {
        const int column = position % 3;
        return column == 0 ? TextAlign::Left : column == 1 ? TextAlign::Centre : TextAlign::Right;
    };
    const bool header = HeaderBand(s);
    if (header) {
        const PrintRect band{L, top, R, top - fh};
        const bool here = numberOn && s.numberPosition <= kNumberTopRight;
        PlaceBandTexts(plan, band, s.printHeader ? s.HeaderUtf8() : std::string{}, here ? &number : nullptr,
                       alignOf(s.numberPosition));
        plan.lines.push_back({L, R, top - fh - kHeaderLineGap, 1});
    }
    if (FooterBand(s)) {
        const PrintRect band{L, bottom + fh, R, bottom};
        const bool here = numberOn && s.numberPosition >= kNumberBottomLeft;
        PlaceBandTexts(plan, band, s.printFooter ? s.FooterUtf8() : std::string{}, here ? &number : nullptr,
                       alignOf(s.numberPosition));
    }
    if (s.printTable) {
        const std::int32_t tableTop = top - (header ? fh + kHeaderGap : 0);
        const std::int32_t tableBottom = std::max(tableTop - TableHeight(s), bottom + fh + kFooterGap);
        const PrintRect outer{L + 1, tableTop, R - 1, tableBottom};
        plan.frames.push_back({outer, 2});
        const double w = static_cast<double>(outer.Width()) / s.tableColumns;
        const double h = static_cast<double>(outer.Height()) / s.tableRows;
        for (int row = 0; row < s.tableRows; ++row) {
            for (int column = 0; column < s.tableColumns; ++column) {
                const PrintRect cell{outer.left + static_cast<std::int32_t>(column * w), outer.top - static_cast<std::int32_t>(row * h),
                                     outer.left + static_cast<std::int32_t>((column + 1) * w),
                                     outer.top - static_cast<std::int32_t>((row + 1) * h)};
                if (s.tableGrid) plan.frames.push_back({cell, 1});
                PrintRect band = cell;
                band.left += fh;
                plan.texts.push_back({band, TextAlign::Left, TableCellText(s, facts, layout.cells.size(), row, column)});
            }
        }
    }
    // Cells come in page order.
    PrintCell key;
    key.page = page;
    const auto onPage = std::equal_range(layout.cells.begin(), layout.cells.end(), key,
                                         [](const PrintCell& a, const PrintCell& b) { return a.page < b.page; });
    plan.cells.assign(onPage.first, onPage.second);
    return plan;
}

}  // namespace tav
