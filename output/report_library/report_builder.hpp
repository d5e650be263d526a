// The report library's work: the report data file's values put into the
// document template. Kept apart from the C entry points so that tests and the
// fuzzer reach it directly.
//
// The template is an ordinary .docx whose texts hold placeholders "{{label}}"
// (the data file's labels, each within one run). Three kinds of place are
// filled, each by one entry of the block list in report_builder.cpp:
//   - a text placeholder takes the value of the text entry of that label
//     (a line break in the value becomes a line break in the document);
//   - the table row holding "{{检测结果.1}}" .. "{{检测结果.7}}" is repeated
//     for every row of the results table, its cells taking the row's fields;
//   - the paragraph holding "{{测点图集}}" becomes the curve pictures, each
//     followed by its caption.
// A further block (another table, a paragraph of statistics) is one more
// entry in that list and one more placeholder in the template.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tav::report {

enum ReportError : std::int32_t {
    kReportOk = 0,
    kReportBadArguments = 1,
    kReportDataUnreadable = 2,
    kReportDataDamaged = 3,
    kReportTemplateMissing = 4,
    kReportTemplateDamaged = 5,
    kReportDocumentUnwritable = 6,
    kReportOutOfMemory = 7,
};
std::string_view ReportErrorText(std::int32_t error);  // UTF-8, at most 63 bytes

struct ReportPicture {
    std::span<const std::uint8_t> file;  // a BMP file
    int width = 0;
    int height = 0;
    std::string caption;  // UTF-8
};

// The data file's content, texts in UTF-8.
struct ReportValues {
    std::string templatePath;  // without extension
    std::map<std::string, std::string, std::less<>> texts;
    std::vector<std::vector<std::string>> tableRows;  // the results table, seven fields a row
    std::vector<ReportPicture> pictures;
};

// Progress as the library reports it: raised by one a step, stored so that
// another thread may read it while the work goes on.
class ProgressCounter {
public:
    explicit ProgressCounter(std::int32_t* counter) : counter_(counter) {}
    void Step();

private:
    std::int32_t* counter_;
};

// The data file's bytes as values; kReportDataDamaged for anything that is
// not a whole report data file. One step per entry other than a picture.
std::int32_t ReadValues(std::span<const std::uint8_t> bytes, ReportValues& values, ProgressCounter& progress);

// The template's main part with the values filled in; pictures refer to the
// relationships "rIdTavPicture<n>" (n from 1).
std::string FillDocumentBody(std::string_view xml, const ReportValues& values);
// The other text parts (headers, footers): text placeholders only.
std::string FillTexts(std::string_view xml, const ReportValues& values);

// The whole job: reads the data file, fills its template, writes the document
// (through a temporary file beside it, so a failure leaves nothing under the
// document's name). One step per picture written.
std::int32_t BuildReport(const std::string& dataFile, const std::string& document, std::int32_t* progress);

}  // namespace tav::report
