#include "output/report_content.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <set>

#include "analysis/integrity_class.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

constexpr std::array<std::string_view, kReportStandardCount> kStandards = {
    "《建筑基桩检测技术规范》JGJ 106-2014",
    "《公路工程基桩检测技术规程》JTG/T 3512-2020",
    "《铁路工程基桩检测技术规程》TB10218-2019",
    "《水运工程基桩试验检测技术规范》JTS 240-2020",
};

constexpr ReportFieldLabel kFieldLabels[] = {
    {"报告编号", &ReportFields::reportNo},     {"工程名称", &ReportFields::projectName},
    {"工程地址", &ReportFields::projectAddress}, {"建设单位", &ReportFields::owner},
    {"设计单位", &ReportFields::designer},     {"施工单位", &ReportFields::builder},
    {"监理单位", &ReportFields::supervisor},   {"委托单位", &ReportFields::client},
    {"总桩数", &ReportFields::totalPiles},     {"检测日期", &ReportFields::testDate},
    {"检测单位", &ReportFields::testUnit},     {"检测人员", &ReportFields::personnel},
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
}

std::string PileNoText(const TestPoint& tp) { return Cp936ToUtf8(TextOf(tp.pileNo)); }
std::string DefectName(const DefectMark& d) { return Cp936ToUtf8(TextOf(d.name)); }

std::string DefectDescription(const TestPoint& tp) {
    std::string text;
    for (const auto& d : tp.defects) {
        if (!text.empty()) text += "\n";
        text += Format("%0.1fm: ", static_cast<double>(d.depth)) + DefectName(d);
    }
    return text;
}

}  // namespace

std::string_view ReportStandardText(int index) {
    return index >= 0 && index < kReportStandardCount ? kStandards[static_cast<std::size_t>(index)] : kStandards[0];
}

std::span<const ReportFieldLabel> ReportFieldLabels() { return kFieldLabels; }

std::optional<int> TypedTotalPiles(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return 0;
    if (text.size() > 9) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::vector<std::int32_t> ReportWalk(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked) {
    std::vector<std::int32_t> walk;
    for (const auto i : checked)
        if (doc.ValidIndex(i)) walk.push_back(i);
    std::sort(walk.begin(), walk.end());
    walk.erase(std::unique(walk.begin(), walk.end()), walk.end());
    return walk;
}

ReportCounts CountReport(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> checked, int typedTotal) {
    ReportCounts counts;
    std::set<std::int32_t> testedPiles;
    std::array<std::set<std::string>, 4> classPiles;
    for (const auto i : ReportWalk(doc, checked)) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        testedPiles.insert(doc.PileOrdinal(i));
        classPiles[static_cast<std::size_t>(IntegrityClass(tp))].insert(std::string(TextOf(tp.pileNo)));
    }
    counts.testedPiles = static_cast<int>(testedPiles.size());
    counts.totalPiles = std::max(typedTotal, counts.testedPiles);
    for (std::size_t k = 0; k < 4; ++k) counts.classPiles[k] = static_cast<int>(classPiles[k].size());
    return counts;
}

std::string ConclusionSentence(std::string_view projectName, const ReportCounts& counts) {
    std::string text = "本次共检测" + std::string(projectName) + Format("%d根桩，其中", counts.testedPiles);
    std::string present, absent;
    for (int k = 0; k < 4; ++k) {
        const int n = counts.classPiles[static_cast<std::size_t>(k)];
        const std::string classText(IntegrityClassText(k));
        if (n > 0) {
            if (!present.empty()) present += "，";
            const double share = counts.testedPiles > 0 ? n * 100.0 / counts.testedPiles : 0.0;
            present += classText + Format("类桩%d根，占检测总桩数的%0.1f%%", n, share);
        } else {
            if (!absent.empty()) absent += "、";
            absent += classText;
        }
    }
    text += present;
    text += absent.empty() ? "。" : "，无" + absent + "类桩。";
    return text;
}

std::string ReferenceSentence(int checkedCount) {
    if (checkedCount < 2) return "检测结果详见表3.1。实测信号曲线详见图3.4-1。";
    return Format("检测结果详见表3.1。实测信号曲线详见图3.4-1～图3.4-%d。", checkedCount);
}

std::string ResultsTableText(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> walk) {
    std::string text;
    int row = 0;
    for (const auto i : walk) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        text += Format("%d", ++row) + "``" + PileNoText(tp) + "``" + Format("%d", tp.diameter) + "``" +
                Format("%0.2f", static_cast<double>(tp.pileLength)) + "``" + Format("%d", tp.waveSpeed) + "``" +
                std::string(IntegrityClassText(IntegrityClass(tp))) + "``" + DefectDescription(tp) + "^^";
    }
    return text;
}

std::string PictureCaption(int number, std::string_view pileNo) {
    return Format("图3.4-%d  ", number) + std::string(pileNo) + "桩低应变检测曲线图";
}

SpreadsheetRow SpreadsheetRowOf(const TestPoint& tp) {
    SpreadsheetRow row;
    row.pileNo = PileNoText(tp);
    row.diameter = tp.diameter;
    // The cell holds the number the sheet shows, so sums agree with the page.
    row.pileLength = std::round(static_cast<double>(tp.pileLength) * 100.0) / 100.0;
    row.waveSpeed = tp.waveSpeed;
    row.integrityClass = std::string(IntegrityClassText(IntegrityClass(tp)));
    int n = 0;
    for (const auto& d : tp.defects)
        row.defects += Format("(%d)深度%0.1fm ", ++n, static_cast<double>(d.depth)) + DefectName(d) + "  ";
    return row;
}

}  // namespace tav
