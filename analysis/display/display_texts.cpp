// Texts of the waveform display: annotation items, cursor readouts, defect list.
#include <algorithm>
#include <cmath>

#include "analysis/correlation.hpp"
#include "analysis/display/display_model.hpp"
#include "analysis/spectrum.hpp"
#include "analysis/wavelet.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/pile_quantities.hpp"
#include "model/positions.hpp"
#include "processing/command_ids.hpp"
#include "processing/step_summary.hpp"

namespace tav {

namespace {

bool IsWaveKindForList(std::int32_t kind) { return kind == kKindWaveform || kind == kKindAverage; }

}  // namespace

int FixedTextMeasure::Width(std::string_view utf8) const {
    int units = 0;
    for (const unsigned char ch : utf8) {
        if (ch < 0x80) units += 1;
        else if (ch >= 0xC0) units += 2;  // a lead byte: one wide character
    }
    return units * unit_;
}

std::string DefectListLine(float depth, std::string_view name) {
    const std::string n(name);
    return Format(depth < 10.0f ? " %.2fm:%s" : "%.2fm:%s", static_cast<double>(depth), n.c_str());
}

std::int32_t DefectCodeOfCommand(int id) {
    using namespace command_id;
    switch (id) {
        case kBulgeGrade2: return 1;
        case kNeckGrade2: return 2;
        case kBreakGrade4: return 3;
        case kCrackGrade2: return 4;
        case kMudGrade2: return 5;
        case kSegregationGrade2: return 6;
        case kBaseBulgeGrade2: return 7;
        case kBulgeGrade3: return 11;
        case kNeckGrade3: return 12;
        case kCrackGrade3: return 14;
        case kMudGrade3: return 15;
        case kSegregationGrade3: return 16;
        case kBaseBulgeGrade3: return 17;
        case kMinorDefect: return 18;
        case kOrdinaryDefect: return 19;
        case kSevereDefect: return 20;
        default: return 0;
    }
}

std::vector<std::string> AnnotationLines(const CTAV_AnalyserDoc& doc, const AnalysisEntry& entry, std::int32_t code) {
    const TestPoint& tp = entry.copy;
    if (code >= 0 && code <= 25) {
        if (!doc.ValidIndex(entry.pointIndex)) return {};
        return StepSummary(doc, entry.pointIndex, tp.lastParams, code);
    }
    switch (code) {
        case 30: return {""};
        case 31: return {"桩号:" + Cp936ToUtf8(TextOf(tp.pileNo))};
        case 32: return {Format("桩径=%dmm", tp.diameter)};
        case 33:
            return {"桩长=" + FormatLength(tp.pileLength) + "m"};
        case 34: return {tp.toeValid ? Format("波速=%dm/s", tp.waveSpeed) : std::string("波速=")};
        case 35: {
            const std::string date = Cp936ToUtf8(TextOf(tp.testDate));
            // The first ten characters: the date without its time.
            std::size_t bytes = 0;
            for (int chars = 0; bytes < date.size() && chars < 10; ++chars) {
                const unsigned char ch = static_cast<unsigned char>(date[bytes]);
                bytes += ch < 0x80 ? 1 : ch >= 0xF0 ? 4 : ch >= 0xE0 ? 3 : 2;
            }
            return {date.substr(0, std::min(bytes, date.size()))};
        }
        case 36: return {doc.ValidIndex(entry.pointIndex) ? doc.PileTypeText(entry.pointIndex) : std::string()};
        case 37: return {doc.ValidIndex(entry.pointIndex) ? doc.SensorTypeText(entry.pointIndex) : std::string()};
        case 38: return {Format("采样间隔=%0.2fus", static_cast<double>(tp.sampleInterval))};
        case 39: return {Format("采样长度=%d", tp.headSampleCount)};
        case 40: return {Format("增益=%d", tp.gain)};
        case 41: return {Format("触发电平=%d", tp.triggerLevel)};
        case 42: return {"检测单位:" + Cp936ToUtf8(TextOf(doc.header.testUnit))};
        case 43: return {"工程名称:" + Cp936ToUtf8(TextOf(doc.header.projectName))};
        case 44:
            switch (entry.kind) {
                case kKindWaveform:
                case kKindAverage: {
                    std::vector<std::string> out{"缺陷:"};
                    for (const auto& d : tp.defects) out.push_back(DefectListLine(d.depth, Cp936ToUtf8(TextOf(d.name))));
                    return out;
                }
                case kKindCorrelation: return CorrelationMarkLines(entry);
                case kKindSpectrum: return SpectrumMarkLines(entry);
                case kKindWavelet: return WaveletMarkLines(entry);
                default: return {};
            }
        case 45: return FrequencyResolutionLines(tp);
        default: return {};
    }
}

std::size_t AnnotationLineCount(const CTAV_AnalyserDoc& doc, const AnalysisEntry& entry, std::int32_t code) {
    const TestPoint& tp = entry.copy;
    if (code >= 0 && code <= 25) {
        if (!doc.ValidIndex(entry.pointIndex)) return 0;
        return StepSummaryLineCount(doc, entry.pointIndex, tp.lastParams, code);
    }
    if (code >= 30 && code <= 43) return 1;
    if (code == 44) return IsWaveKindForList(entry.kind) ? 1 + tp.defects.size() : AnnotationLines(doc, entry, code).size();
    if (code == 45) return tp.headSampleCount <= 0 || !(tp.sampleInterval > 0.0f) ? 0 : 2;
    return 0;
}

std::vector<std::string> ReadoutTexts(const AnalysisEntry& entry, std::int32_t k, std::int32_t spectrumType) {
    const TestPoint& tp = entry.copy;
    if (k < 0 || k >= tp.sampleCount()) return {};
    const double a = tp.samples[static_cast<std::size_t>(k)];
    switch (entry.kind) {
        case kKindWaveform:
        case kKindAverage: {
            if (tp.headValid) {
                const double t = (k - tp.headIndex) * static_cast<double>(tp.sampleInterval) * 1e-6;
                const double l = std::trunc(tp.waveSpeed * t * 0.5 * 10.0) * 0.1;
                return {Format("A=%0.2f%s", a, "mV"), Format("l=%.2fm", l), Format("t=%0.2fms", t * 1000.0)};
            }
            return {Format("A=%0.2f%s", a, "mV"), Format("t=%0.2fms", SampleTimeMs(tp, k))};
        }
        case kKindCorrelation: return CorrelationReadout(entry, k);
        case kKindSpectrum: return SpectrumReadout(entry, k, spectrumType);
        case kKindWavelet:
            return {Format("A=%0.2f%s", a, "mV"), Format("t=%0.2fms", SpanTimeMs(tp, k, tp.sampleCount()))};
        default: return {};
    }
}

}  // namespace tav
