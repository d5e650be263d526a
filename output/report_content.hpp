// What both reports say about the checked test points: the rows of the
// spreadsheet, the tested and total piles, the class counts, the results
// table and the sentences of the conclusion. Texts here are UTF-8; the report
// data file converts them to code page 936 when it writes them.
//
// Counting rules, in the testing engineer's words:
// - a pile (a run of neighbouring test points with one pile number) is tested
//   when one of its test points is checked;
// - the total is the number typed in the project facts, never fewer than the
//   tested piles;
// - class counts count pile numbers, not test points: a pile with two checked
//   test points of class Ⅰ counts once in Ⅰ; one with a Ⅰ and a Ⅲ counts once in
//   each.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class CTAV_AnalyserDoc;
struct TestPoint;

// The standards a report may follow ("检测依据"); the index is the stored setting.
inline constexpr int kReportStandardCount = 4;
std::string_view ReportStandardText(int index);  // index outside 0..3: the first

// The facts of the "工程信息" dialog, UTF-8 as typed.
struct ReportFields {
    std::string reportNo;       // 报告编号
    std::string projectName;    // 工程名称
    std::string projectAddress; // 工程地址
    std::string owner;          // 建设单位
    std::string designer;       // 设计单位
    std::string builder;        // 施工单位
    std::string supervisor;     // 监理单位
    std::string client;         // 委托单位
    std::string totalPiles;     // 总 桩 数 (digits or empty)
    std::string testDate;       // 检测日期
    std::string testUnit;       // 检测单位
    std::string personnel;      // 检测人员
    int standard = 0;           // 检测依据
};

// The dialog's labels in its order, and the field each one edits; tavtool's
// --field takes the same labels (总桩数 without the blanks of the dialog).
struct ReportFieldLabel {
    std::string_view label;
    std::string ReportFields::* field;
};
std::span<const ReportFieldLabel> ReportFieldLabels();
// The typed total as a number: nothing when it is not a whole number of piles
// (empty counts as 0).
std::optional<int> TypedTotalPiles(std::string_view text);

// The checked test points in the order of the workspace list (piles in list
// order, within a pile its test points): indices ascending, each once,
// indices outside the project left out.
std::vector<std::int32_t> ReportWalk(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked);

struct ReportCounts {
    int testedPiles = 0;
    int totalPiles = 0;
    std::array<int, 4> classPiles{};  // Ⅰ..Ⅳ, distinct pile numbers
};
ReportCounts CountReport(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked, int typedTotal);

// "本次共检测…根桩，其中Ⅰ类桩…根，占检测总桩数的…%，无Ⅲ、Ⅳ类桩。"
std::string ConclusionSentence(std::string_view projectName, const ReportCounts& counts);
// "检测结果详见表3.1。实测信号曲线详见图3.4-1～图3.4-n。"
std::string ReferenceSentence(int checkedCount);
// Rows "n``pile``diameter``length``speed``class``defects^^" of the walk.
std::string ResultsTableText(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> walk);
// "图3.4-n  <pile>桩低应变检测曲线图"
std::string PictureCaption(int number, std::string_view pileNo);

// One spreadsheet row: the six cells of a test point.
struct SpreadsheetRow {
    std::string pileNo;
    int diameter = 0;
    double pileLength = 0;  // rounded to the two decimals shown
    int waveSpeed = 0;
    std::string integrityClass;
    std::string defects;  // "(1)深度2.5m 缩径  (2)…"
};
SpreadsheetRow SpreadsheetRowOf(const TestPoint& tp);

}  // namespace tav
