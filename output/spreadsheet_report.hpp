// The spreadsheet report: a workbook with the sheet "报表1", a header row and
// one row per checked test point, for the client to sort and sum. Diameter,
// length and wave speed are numbers (shown as 0, 0.00 and 0), the pile number
// and the texts are text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tav {

class CTAV_AnalyserDoc;

inline constexpr char kSpreadsheetSheetName[] = "报表1";

// Rows in the order of `checked` (indices outside the project are left out).
// Written atomically; false with a Chinese reason in *error when the workbook
// cannot be written.
bool WriteSpreadsheetReport(const std::string& path, const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked,
                            std::string* error = nullptr);

}  // namespace tav
