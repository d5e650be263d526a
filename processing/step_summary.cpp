#include "processing/step_summary.hpp"

#include <algorithm>

#include "base/format.hpp"
#include "model/positions.hpp"

namespace tav {

std::vector<std::string> StepSummary(const CTAV_AnalyserDoc& doc, std::int32_t index, const ProcessStep& p,
                                     std::int32_t type) {
    std::vector<std::string> lines;
    if (!doc.ValidIndex(index)) return lines;
    const TestPoint& tp = doc.points[static_cast<std::size_t>(index)];
    const auto k =
        std::count_if(tp.steps.begin(), tp.steps.end(), [&](const ProcessStep& s) { return s.opType == type; });
    const auto metres = [&](std::int32_t position) { return static_cast<double>(SampleToDepth(tp, position, false)); };
    const auto f = [](float v) { return static_cast<double>(v); };

    // The two lines shown even without a step of their type.
    if (type == kOpReverse) {
        lines.emplace_back(k % 2 == 1 ? "反向:是" : "反向:否");
        return lines;
    }
    if (type == kOpRemoveDc) {
        lines.emplace_back(k >= 1 ? "去直流:是" : "去直流:否");
        if (p.dcMode == 2 && p.dcStart > 0 && k > 0) lines.push_back(Format("  起始点:%0.2fm", metres(p.dcStart)));
        return lines;
    }
    if (k == 0) return lines;
    switch (type) {
        case kOpIntegrate:
            lines.push_back(Format("积分次数:%d", static_cast<int>(k)));
            break;
        case kOpDifferentiate:
            lines.push_back(Format("微分次数:%d", static_cast<int>(k)));
            break;
        case kOpFilter:
            switch (p.filterKind) {
                case 1:
                    lines.push_back(Format("低通:%0.2fHz", f(p.filterUpperHz)));
                    break;
                case 2:
                    lines.push_back(Format("高通:%0.2fHz", f(p.filterLowerHz)));
                    break;
                case 3:
                case 4:
                    lines.emplace_back(p.filterKind == 3 ? "带通:" : "带阻:");
                    lines.push_back(Format("  (%0.2f,%0.2f)Hz", f(p.filterLowerHz), f(p.filterUpperHz)));
                    break;
                default:
                    break;
            }
            break;
        case kOpLinearZero:
            lines.emplace_back("线性归零:是");
            if (p.linZeroMode != 0 && p.linZeroStart > 0)
                lines.push_back(Format("  起始点:%0.2fm", metres(p.linZeroStart)));
            break;
        case kOpNonlinearZero:
            lines.emplace_back("非线性归零:是");
            if (p.nonlinZeroMode != 0 && p.nonlinZeroStart > 0)
                lines.push_back(Format("  起始点:%0.2fm", metres(p.nonlinZeroStart)));
            break;
        case kOpSmooth:
            lines.push_back(Format("平滑点数:%d", p.smoothPoints));
            break;
        case kOpFrontZero:
            lines.push_back(Format("前清零:%0.2fm", metres(p.frontZeroPos)));
            break;
        case kOpRearZero:
            lines.push_back(Format("后清零:%0.2fm", metres(p.rearZeroPos)));
            break;
        case kOpShift:
            lines.emplace_back("数据平移:");
            lines.push_back(Format("  横向:%0.2fm", f(ShiftToLength(tp, p.shiftX))));
            lines.push_back(Format("  纵向:%0.2fmV", f(p.shiftY)));
            if (p.shiftMode == 1)
                lines.push_back(Format("  范围(%0.2f,%0.2f)m", metres(p.shiftStart), metres(p.shiftEnd)));
            break;
        case kOpRotate:
            lines.push_back(Format("波形旋转:%0.2frad", f(p.rotateAngle)));
            if (p.rotateMode == 1 && p.rotateStart > 0)
                lines.push_back(Format("  起始点:%0.2fm", metres(p.rotateStart)));
            break;
        case kOpMagnify:
            lines.push_back(Format(p.magnifyMode == 0 ? "指数放大:%0.2f" : "线性放大:%0.2f", f(p.magnifyFactor)));
            if (p.magnifyStart > 0) lines.push_back(Format("  起始点:%0.2fm", metres(p.magnifyStart)));
            break;
        case kOpLocalScale:
            lines.push_back(Format("局部缩放:%0.2f", f(p.scaleFactor)));
            lines.push_back(Format("  范围(%0.2f,%0.2f)m", metres(p.scaleStart), metres(p.scaleEnd)));
            break;
        default:
            break;
    }
    return lines;
}

}  // namespace tav
