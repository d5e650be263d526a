#include "processing/chain_list.hpp"

#include <cmath>

#include "base/format.hpp"
#include "model/positions.hpp"

namespace tav {

std::string_view ChainList::RowName(std::int32_t row) const {
    return ValidRow(row) ? OperationName(rows[static_cast<std::size_t>(row)].opType) : std::string_view{};
}

ChainList BuildChainList(const CTAV_AnalyserDoc& doc, TargetSet targets) {
    ChainList list;
    list.targets = std::move(targets);
    const TestPoint* reference = nullptr;
    for (const auto i : list.targets) {
        if (!doc.ValidIndex(i)) continue;
        const TestPoint& tp = doc.points[static_cast<std::size_t>(i)];
        if (reference == nullptr || tp.stepCount() > reference->stepCount()) reference = &tp;
    }
    if (reference == nullptr) return list;
    list.rows = reference->steps;
    for (const auto i : list.targets) {
        if (!doc.ValidIndex(i)) continue;
        const TestPoint& tp = doc.points[static_cast<std::size_t>(i)];
        if (&tp == reference) continue;
        for (std::size_t k = 0; k < list.rows.size(); ++k)
            if (k >= tp.steps.size() || !SameStepBytes(tp.steps[k], reference->steps[k])) list.rows[k].opType = 0;
    }
    return list;
}

namespace {

// The metres shown for a position field: the typed value while the memo slot
// still belongs to the index, else computed from the index.
float ShownMetres(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& step, int slot, std::int32_t index) {
    const float remembered = step.RememberedMetres(slot, index);
    return remembered != kMemoMissing ? remembered : SampleToDepth(doc, tp, index, false);
}

// A metre template with a precision placeholder, filled with 2 decimals.
std::string MetreLine(const char* templ, float metres) {
    const std::string format = Format(templ, 2);
    return Format(format.c_str(), static_cast<double>(metres));
}

}  // namespace

std::string StepDetailText(const CTAV_AnalyserDoc& doc, std::int32_t tp, const ProcessStep& s) {
    std::vector<std::string> lines;
    const auto metres = [&](const char* templ, int slot, std::int32_t index) {
        lines.push_back(MetreLine(templ, ShownMetres(doc, tp, s, slot, index)));
    };
    switch (s.opType) {
        case kOpFilter: {
            static constexpr const char* kKinds[] = {"低通", "高通", "带通", "带阻"};
            lines.emplace_back(s.filterKind >= 1 && s.filterKind <= 4 ? kKinds[s.filterKind - 1] : "");
            if (s.filterKind != 2) lines.push_back(Format("上限频率:%0.2fHZ", static_cast<double>(s.filterUpperHz)));
            if (s.filterKind != 1) lines.push_back(Format("下限频率:%0.2fHZ", static_cast<double>(s.filterLowerHz)));
            break;
        }
        case kOpLinearZero:
        case kOpNonlinearZero: {
            static constexpr const char* kModes[] = {"整体归零", "部分归零", "桩尾后归零"};
            const bool linear = s.opType == kOpLinearZero;
            const std::int32_t mode = linear ? s.linZeroMode : s.nonlinZeroMode;
            lines.emplace_back(mode >= 0 && mode <= 2 ? kModes[mode] : "");
            if (mode == 1) metres("起始位置:%%.%dfm", 0, linear ? s.linZeroStart : s.nonlinZeroStart);
            break;
        }
        case kOpSmooth:
            lines.push_back(Format("平滑点数:%d", s.smoothPoints));
            break;
        case kOpRemoveDc:
            lines.emplace_back(s.dcMode == 1 ? "整体去直流" : s.dcMode == 2 ? "部分去直流" : "");
            if (s.dcMode == 2) metres("起始位置:%%.%dfm", 0, s.dcStart);
            break;
        case kOpFrontZero:
            metres("前清零位置:%%.%dfm", 0, s.frontZeroPos);
            break;
        case kOpRearZero:
            metres("后清零位置:%%.%dfm", 0, s.rearZeroPos);
            break;
        case kOpShift: {
            lines.emplace_back(s.shiftMode == 1 ? "部分平移" : "整体平移");
            if (s.shiftMode == 1) {
                metres("起始位置:%%.%dfm", 0, s.shiftStart);
                metres("终止位置:%%.%dfm", 1, s.shiftEnd);
            }
            float shift = s.RememberedMetres(2, s.shiftX);
            if (shift == kMemoMissing)
                shift = doc.ValidIndex(tp) ? ShiftToLength(doc.points[static_cast<std::size_t>(tp)], s.shiftX) : 0.0f;
            lines.push_back(MetreLine("横向平移:%%.%dfm", shift));
            lines.push_back(Format("竖向平移:%0.2fmV", static_cast<double>(s.shiftY)));
            break;
        }
        case kOpRotate: {
            lines.emplace_back(s.rotateMode != 0 ? "部分旋转" : "整体旋转");
            if (s.rotateMode != 0) metres("起始位置:%%.%dfm", 0, s.rotateStart);
            const double pi = 4.0 * std::atan(1.0);
            lines.push_back(Format("旋转角度:%0.2f°", static_cast<double>(s.rotateAngle) / pi * 180.0));
            break;
        }
        case kOpMagnify:
            lines.emplace_back(s.magnifyMode == 0 ? "指数放大" : "线性放大");
            lines.push_back(Format("放大系数:%0.2f", static_cast<double>(s.magnifyFactor)));
            if (s.magnifyStart > 0) metres("放大延迟:%%.%dfm", 0, s.magnifyStart);
            break;
        case kOpLocalScale:
            lines.push_back(Format("缩放系数:%0.2f", static_cast<double>(s.scaleFactor)));
            metres("起始点:%%.%dfm", 0, s.scaleStart);
            metres("终止点:%%.%dfm", 1, s.scaleEnd);
            break;
        default:
            break;  // integration, differentiation, reversal: no parameters
    }
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace tav
