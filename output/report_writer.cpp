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

namespace {

// The data file written in the order the report library reads it: the
// project facts, the results with what they add up to, then the pictures.
class ReportDataFileWriter {
public:
    ReportDataFileWriter(const std::string& path, const CTAV_AnalyserDoc& doc, const ReportDataRequest& request)
        : file_(path),
          out_([this](std::span<const std::uint8_t> bytes) { return file_.Write(bytes); }),
          doc_(doc),
          request_(request),
          facts_(request.facts),
          walk_(ReportWalk(doc, request.checked)),
          counts_(CountReport(doc, request.checked, TypedTotalPiles(facts_.totalPiles).value_or(0))),
          conclusion_(ConclusionSentence(facts_.projectName, counts_)) {}

    bool Write(ReportDataResult* result, std::string* error) {
        const auto fail = [&](const std::string& why) {
            if (error) *error = why;
            return false;
        };
        out_.Begin(request_.templatePath);
        WriteProjectFacts();
        WriteResults();
        if (auto problem = WritePictures()) return fail(*problem);
        if (!out_.Ok() || !file_.Commit()) return fail(file_.Error().empty() ? "创建文件失败！" : file_.Error());
        if (result) {
            result->pictures = pictures_;
            result->progressTotal = kReportFixedEntries + kReportStepsPerPicture * pictures_;
        }
        return true;
    }

private:
    void Text(std::string_view label, std::string_view utf8) { out_.Text(Utf8ToCp936(label), Utf8ToCp936(utf8)); }

    // The facts of the project on the cover, the title block and the survey.
    void WriteProjectFacts() {
        const ReportFields& f = facts_;
        const std::string standard(ReportStandardText(f.standard));
        Text("报告编号", f.reportNo);
        Text("工程名称", f.projectName);
        Text("委托单位", f.client);
        Text("检测单位", f.testUnit);
        Text("检测日期", f.testDate);
        Text("检测单位H", f.testUnit);
        Text("报告编号H", f.reportNo);
        Text("检测单位T", f.testUnit);
        Text("工程名称TB", f.projectName);
        Text("工程地址TB", f.projectAddress);
        Text("施工单位TB", f.builder);
        Text("设计单位TB", f.designer);
        Text("监理单位TB", f.supervisor);
        Text("方法依据", standard);
        Text("判定依据", standard);
        Text("检测日期TB", f.testDate);
        Text("检测人员TB", f.personnel);
        Text("检测单位TB", f.testUnit);
        Text("工程名称GK", f.projectName);
        Text("工程地址GK", f.projectAddress);
        Text("建设单位GK", f.owner);
        Text("委托单位GK", f.client);
        Text("检测单位GK", f.testUnit);
        Text("工程名称2GK", f.projectName);
        Text("总桩数GK", Whole(counts_.totalPiles));
        Text("检测依据", standard);
        Text("检测人员", f.personnel);
    }

    // The results table, the counts by class, the conclusion and the site's wave speed.
    void WriteResults() {
        out_.Table(Utf8ToCp936("检测结果"), Utf8ToCp936(ResultsTableText(doc_, walk_)));
        Text("总桩数TJ", Whole(counts_.totalPiles));
        Text("检测数TJ", Whole(counts_.testedPiles));
        Text("抽检比例TJ",
             Number("%.1f", counts_.totalPiles > 0 ? counts_.testedPiles * 100.0 / counts_.totalPiles : 0.0));
        for (std::size_t k = 0; k < 4; ++k) {
            static constexpr std::string_view kLabels[] = {"一类数TJ", "二类数TJ", "三类数TJ", "四类数TJ"};
            Text(kLabels[k], Whole(counts_.classPiles[k]));
        }
        Text("检测结论", conclusion_);
        Text("检测结论TB", conclusion_ + ReferenceSentence(static_cast<int>(walk_.size())));
        // The site's wave speed, worked out over the whole project: the statistics
        // need sound piles whether or not they were ticked for the report.
        Text("桩身波速统计", SiteSpeedParagraph(SiteSpeedStatistics(doc_)));
    }

    bool HasMatch(std::int32_t index) const {
        return request_.matchPictures &&
               std::find(request_.matchPoints.begin(), request_.matchPoints.end(), index) != request_.matchPoints.end();
    }

    // The picture set: each test point's curve picture, and its signal
    // matching picture when asked for. Why not, when one cannot be drawn.
    std::optional<std::string> WritePictures() {
        const bool drawn = static_cast<bool>(request_.pictures);
        const auto matches = static_cast<std::size_t>(
            std::count_if(walk_.begin(), walk_.end(), [&](std::int32_t index) { return HasMatch(index); }));
        out_.PictureSet(Utf8ToCp936("测点图集"), drawn ? static_cast<std::uint32_t>(walk_.size() + matches) : 0u);
        for (std::size_t k = 0; drawn && k < walk_.size() && out_.Ok(); ++k) {
            const std::int32_t index = walk_[k];
            const std::string n = std::to_string(index + 1);
            const auto bmp = request_.pictures(index);
            if (!bmp) return "无法绘制第" + n + "个测点的曲线图";
            // Numbered in the walk, as the reference sentence counts them.
            const std::string pileNo = Cp936ToUtf8(TextOf(doc_.points[static_cast<std::size_t>(index)].pileNo));
            const int number = static_cast<int>(k) + 1;
            WritePicture(*bmp, "TAV" + n + ".bmp", PictureCaption(number, pileNo));
            if (!HasMatch(index)) continue;
            const auto profile = request_.matchPictures(index);
            if (!profile) return "无法绘制第" + n + "个测点的信号拟合图";
            WritePicture(*profile, "TAV" + n + "_拟合.bmp", MatchReportCaption(number, pileNo));
        }
        return std::nullopt;
    }

    // One picture with its caption; the file is also kept beside the data
    // file for the engineer, as before; the data file carries its own copy,
    // so a file that cannot be kept is no failure.
    void WritePicture(const std::vector<std::uint8_t>& bmp, const std::string& fileName, const std::string& caption) {
        if (!request_.pictureFolder.empty()) WriteFileAtomically(request_.pictureFolder + fileName, bmp);
        out_.Picture(Utf8ToCp936("曲线图"), bmp);
        Text("曲线图说明", caption);
        ++pictures_;
        if (request_.pictureDone) request_.pictureDone();
    }

    AtomicFileWriter file_;
    ReportDataWriter out_;
    const CTAV_AnalyserDoc& doc_;
    const ReportDataRequest& request_;
    const ReportFields& facts_;
    const std::vector<std::int32_t> walk_;  // the test points reported, in the report's order
    const ReportCounts counts_;
    const std::string conclusion_;
    int pictures_ = 0;
};

}  // namespace

bool WriteReportDataFile(const std::string& path, const CTAV_AnalyserDoc& doc, const ReportDataRequest& request,
                         ReportDataResult* result, std::string* error) {
    return ReportDataFileWriter(path, doc, request).Write(result, error);
}

}  // namespace tav
