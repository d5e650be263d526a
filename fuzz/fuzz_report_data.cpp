// Any bytes as a report data file, as the report library reads it: the
// entries are read with every length checked, and the values fill a small
// template (table rows, pictures, captions) without a crash or a read out of
// bounds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "output/report_data_file.hpp"
#include "output/report_library/report_builder.hpp"

namespace {

constexpr char kTemplate[] =
    "<w:body><w:p><w:r><w:t>{{工程名称}}{{</w:t></w:r></w:p>"
    "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>{{检测结果.1}}{{检测结果.7}}{{检测结果.9}}</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
    "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:t>{{测点图集}}</w:t></w:r></w:p>{{检测结论TB}}</w:body>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)tav::ReadReportData(bytes);
    std::int32_t progress = 0;
    tav::report::ProgressCounter counter(&progress);
    tav::report::ReportValues values;
    if (tav::report::ReadValues(bytes, values, counter) != tav::report::kReportOk) return 0;
    (void)tav::report::FillDocumentBody(kTemplate, values);
    (void)tav::report::FillTexts(kTemplate, values);
    return 0;
}
