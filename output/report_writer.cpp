#include "output/report_writer.hpp"

#include <algorithm>
#include <cstdio>

#include "analysis/site_speed.hpp"
#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "output/match_pictures.hpp"
#include "output/report_data_file.hpp"

namespace tav {

namespace {

std::string Number(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Whole(int value) { return std::to_string(value); }

}  // namespace

bool WriteReportDataFile(const std::string& path, const CTAV_AnalyserDoc& doc, const ReportDataRequest& request,
                         ReportDataResult* result, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    AtomicFileWriter file(path);
    ReportDataWriter out([&](std::span<const std::uint8_t> bytes) { return file.Write(bytes); });
    const auto text = [&](std::string_view label, std::string_view utf8) { out.Text(Utf8ToCp936(label), Utf8ToCp936(utf8)); };

    const ReportFields& f = request.facts;
    const std::vector<std::int32_t> walk = ReportWalk(doc, request.checked);
    const ReportCounts counts = CountReport(doc, request.checked, TypedTotalPiles(f.totalPiles).value_or(0));
    const std::string standard(ReportStandardText(f.standard));
    const std::string conclusion = ConclusionSentence(f.projectName, counts);

    out.Begin(request.templatePath);
    text("报告编号", f.reportNo);
    text("工程名称", f.projectName);
    text("委托单位", f.client);
    text("检测单位", f.testUnit);
    text("检测日期", f.testDate);
    text("检测单位H", f.testUnit);
    text("报告编号H", f.reportNo);
    text("检测单位T", f.testUnit);
    text("工程名称TB", f.projectName);
    text("工程地址TB", f.projectAddress);
    text("施工单位TB", f.builder);
    text("设计单位TB", f.designer);
    text("监理单位TB", f.supervisor);
    text("方法依据", standard);
    text("判定依据", standard);
    text("检测日期TB", f.testDate);
    text("检测人员TB", f.personnel);
    text("检测单位TB", f.testUnit);
    text("工程名称GK", f.projectName);
    text("工程地址GK", f.projectAddress);
    text("建设单位GK", f.owner);
    text("委托单位GK", f.client);
    text("检测单位GK", f.testUnit);
    text("工程名称2GK", f.projectName);
    text("总桩数GK", Whole(counts.totalPiles));
    text("检测依据", standard);
    text("检测人员", f.personnel);
    out.Table(Utf8ToCp936("检测结果"), Utf8ToCp936(ResultsTableText(doc, walk)));
    text("总桩数TJ", Whole(counts.totalPiles));
    text("检测数TJ", Whole(counts.testedPiles));
    text("抽检比例TJ", Number("%.1f", counts.totalPiles > 0 ? counts.testedPiles * 100.0 / counts.totalPiles : 0.0));
    for (std::size_t k = 0; k < 4; ++k) {
        static constexpr std::string_view kLabels[] = {"一类数TJ", "二类数TJ", "三类数TJ", "四类数TJ"};
        text(kLabels[k], Whole(counts.classPiles[k]));
    }
    text("检测结论", conclusion);
    text("检测结论TB", conclusion + ReferenceSentence(static_cast<int>(walk.size())));
    // The site's wave speed, worked out over the whole project: the statistics
    // need sound piles whether or not they were ticked for the report.
    text("桩身波速统计", SiteSpeedParagraph(SiteSpeedStatistics(doc)));

    const bool drawn = static_cast<bool>(request.pictures);
    const auto hasMatch = [&](std::int32_t index) {
        return request.matchPictures &&
               std::find(request.matchPoints.begin(), request.matchPoints.end(), index) != request.matchPoints.end();
    };
    const auto matches = static_cast<std::size_t>(std::count_if(walk.begin(), walk.end(), hasMatch));
    out.PictureSet(Utf8ToCp936("测点图集"), drawn ? static_cast<std::uint32_t>(walk.size() + matches) : 0u);
    int pictures = 0;
    // One picture with its caption; the file is also kept beside the data
    // file for the engineer, as before; the data file carries its own copy,
    // so a file that cannot be kept is no failure.
    const auto picture = [&](const std::vector<std::uint8_t>& bmp, const std::string& fileName, const std::string& caption) {
        if (!request.pictureFolder.empty()) WriteFileAtomically(request.pictureFolder + fileName, bmp);
        out.Picture(Utf8ToCp936("曲线图"), bmp);
        text("曲线图说明", caption);
        ++pictures;
        if (request.pictureDone) request.pictureDone();
    };
    for (std::size_t k = 0; drawn && k < walk.size() && out.Ok(); ++k) {
        const std::int32_t index = walk[k];
        const std::string n = std::to_string(index + 1);
        const auto bmp = request.pictures(index);
        if (!bmp) return fail("无法绘制第" + n + "个测点的曲线图");
        // Numbered in the walk, as the reference sentence counts them.
        const std::string pileNo = Cp936ToUtf8(TextOf(doc.points[static_cast<std::size_t>(index)].pileNo));
        const int number = static_cast<int>(k) + 1;
        picture(*bmp, "TAV" + n + ".bmp", PictureCaption(number, pileNo));
        if (!hasMatch(index)) continue;
        const auto profile = request.matchPictures(index);
        if (!profile) return fail("无法绘制第" + n + "个测点的信号拟合图");
        picture(*profile, "TAV" + n + "_拟合.bmp", MatchReportCaption(number, pileNo));
    }
    if (!out.Ok() || !file.Commit()) return fail(file.Error().empty() ? "创建文件失败！" : file.Error());
    if (result) {
        result->pictures = pictures;
        result->progressTotal = kReportFixedEntries + kReportStepsPerPicture * pictures;
    }
    return true;
}

}  // namespace tav
