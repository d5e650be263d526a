#include "output/spreadsheet_report.hpp"

#include <xlsxwriter.h>

#include <mutex>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "output/report_content.hpp"

namespace tav {

namespace {

enum class CellKind { Text, Whole, TwoDecimals };

struct Column {
    const char* header;
    double width;  // in characters of the default font
    CellKind kind;
};

constexpr Column kColumns[] = {
    {"桩号", 6, CellKind::Text},         {"设计桩径(mm)", 12, CellKind::Whole}, {"桩长(m)", 7, CellKind::TwoDecimals},
    {"声速(m/s)", 9, CellKind::Whole},   {"桩身质量评价", 12, CellKind::Text}, {"缺陷位置及类型", 15, CellKind::Text},
};

}  // namespace

bool WriteSpreadsheetReport(const std::string& path, const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked,
                            std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    // The workbook is assembled in the safe save's hidden file beside the
    // target and replaces it only once complete.
    AtomicFileWriter out(path);
    if (!out.Ok()) return fail(out.Error());
    const std::string& temp = out.HandOverPath();

    // libxlsxwriter stamps each workbook through gmtime's one shared buffer:
    // a batch writes its workbooks one at a time.
    static std::mutex oneWorkbookAtATime;
    std::unique_lock<std::mutex> hold(oneWorkbookAtATime);
    lxw_workbook* book = workbook_new(temp.c_str());
    lxw_worksheet* sheet = book ? workbook_add_worksheet(book, kSpreadsheetSheetName) : nullptr;
    if (!sheet) {
        if (book) workbook_close(book);
        return fail("无法创建工作簿");
    }
    lxw_format* whole = workbook_add_format(book);
    format_set_num_format(whole, "0");
    lxw_format* twoDecimals = workbook_add_format(book);
    format_set_num_format(twoDecimals, "0.00");

    lxw_error status = LXW_NO_ERROR;
    const auto keep = [&](lxw_error e) {
        if (status == LXW_NO_ERROR) status = e;
    };
    for (lxw_col_t c = 0; c < std::size(kColumns); ++c) {
        keep(worksheet_write_string(sheet, 0, c, kColumns[c].header, nullptr));
        keep(worksheet_set_column(sheet, c, c, kColumns[c].width, nullptr));
    }
    lxw_row_t r = 1;
    for (const auto i : checked) {
        if (!doc.ValidIndex(i)) continue;
        const SpreadsheetRow row = SpreadsheetRowOf(doc.points[static_cast<std::size_t>(i)]);
        keep(worksheet_write_string(sheet, r, 0, row.pileNo.c_str(), nullptr));
        keep(worksheet_write_number(sheet, r, 1, row.diameter, whole));
        keep(worksheet_write_number(sheet, r, 2, row.pileLength, twoDecimals));
        keep(worksheet_write_number(sheet, r, 3, row.waveSpeed, whole));
        keep(worksheet_write_string(sheet, r, 4, row.integrityClass.c_str(), nullptr));
        if (!row.defects.empty()) keep(worksheet_write_string(sheet, r, 5, row.defects.c_str(), nullptr));
        ++r;
    }
    keep(workbook_close(book));
    hold.unlock();
    if (status != LXW_NO_ERROR) return fail(std::string("无法写入工作簿：") + lxw_strerror(status));
    if (!out.Commit()) return fail(out.Error());
    return true;
}

}  // namespace tav
