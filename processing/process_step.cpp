#include "processing/process_step.hpp"

#include <vector>

#include "model/byte_io.hpp"

namespace tav {

std::string_view OperationName(std::int32_t opType) {
    static constexpr std::string_view kNames[kOperationTypeCount] = {
        "",       "积分",     "微分",     "数字滤波", "线性归零", "非线性归零",
        "波形反向", "平滑",     "去直流",   "前置零",   "后置零",   "数据平移",
        "波形旋转", "波形放大", "",         "动态缩放", "局部缩放"};
    if (opType < 0 || opType >= kOperationTypeCount) return {};
    return kNames[opType];
}

void ProcessStep::Memorise(int slot, std::int32_t index, float metres) {
    if (slot < 0 || slot > 2) return;
    positionMemo[static_cast<std::size_t>(slot)].index = index;
    positionMemo[static_cast<std::size_t>(slot)].metres = metres;
}

float ProcessStep::RememberedMetres(int slot, std::int32_t index) const {
    if (slot < 0 || slot > 2) return kMemoMissing;
    const auto& m = positionMemo[static_cast<std::size_t>(slot)];
    return m.index == index ? m.metres : kMemoMissing;
}

bool ReadProcessStep(ByteReader& in, ProcessStep& s) {
    if (!in.Has(kProcessStepBytes)) {
        in.Skip(kProcessStepBytes);  // puts the reader into its failed state
        return false;
    }
    in.I32(s.opType);
    in.I32(s.reserved04);
    in.I32(s.filterKind);
    in.F32(s.filterUpperHz);
    in.F32(s.filterLowerHz);
    in.I32(s.magnifyMode);
    in.F32(s.magnifyFactor);
    in.I32(s.magnifyStart);
    in.I32(s.smoothPoints);
    in.I32(s.dcMode);
    in.I32(s.dcStart);
    in.I32(s.rotateMode);
    in.I32(s.rotateStart);
    in.F32(s.rotateAngle);
    in.F32(s.rotateScale);
    in.I32(s.linZeroMode);
    in.I32(s.linZeroStart);
    in.I32(s.nonlinZeroMode);
    in.I32(s.nonlinZeroStart);
    in.I32(s.frontZeroPos);
    in.I32(s.rearZeroPos);
    in.I32(s.scaleStart);
    in.I32(s.scaleEnd);
    in.F32(s.scaleFactor);
    in.I32(s.shiftX);
    in.F32(s.shiftY);
    in.I32(s.shiftMode);
    in.I32(s.shiftStart);
    in.I32(s.shiftEnd);
    for (auto& b : s.displayBlocks) {
        in.I32(b.fillMode);
        in.I32(b.spectrumStyle);
        in.I32(b.unused);
        in.I32(b.hPositionMode);
        in.I32(b.hOffset);
        in.I32(b.hScaleMode);
        in.F32(b.hScale);
        in.I32(b.vMode);
        in.F32(b.vFactor);
    }
    in.F32(s.viewMax);
    in.F32(s.viewMin);
    for (auto& m : s.positionMemo) {
        in.I32(m.index);
        in.F32(m.metres);
        in.Bytes(m.reserved);
    }
    in.Bytes(s.reservedTail);
    return !in.Failed();
}

void WriteProcessStep(ByteWriter& out, const ProcessStep& s) {
    out.I32(s.opType);
    out.I32(s.reserved04);
    out.I32(s.filterKind);
    out.F32(s.filterUpperHz);
    out.F32(s.filterLowerHz);
    out.I32(s.magnifyMode);
    out.F32(s.magnifyFactor);
    out.I32(s.magnifyStart);
    out.I32(s.smoothPoints);
    out.I32(s.dcMode);
    out.I32(s.dcStart);
    out.I32(s.rotateMode);
    out.I32(s.rotateStart);
    out.F32(s.rotateAngle);
    out.F32(s.rotateScale);
    out.I32(s.linZeroMode);
    out.I32(s.linZeroStart);
    out.I32(s.nonlinZeroMode);
    out.I32(s.nonlinZeroStart);
    out.I32(s.frontZeroPos);
    out.I32(s.rearZeroPos);
    out.I32(s.scaleStart);
    out.I32(s.scaleEnd);
    out.F32(s.scaleFactor);
    out.I32(s.shiftX);
    out.F32(s.shiftY);
    out.I32(s.shiftMode);
    out.I32(s.shiftStart);
    out.I32(s.shiftEnd);
    for (const auto& b : s.displayBlocks) {
        out.I32(b.fillMode);
        out.I32(b.spectrumStyle);
        out.I32(b.unused);
        out.I32(b.hPositionMode);
        out.I32(b.hOffset);
        out.I32(b.hScaleMode);
        out.F32(b.hScale);
        out.I32(b.vMode);
        out.F32(b.vFactor);
    }
    out.F32(s.viewMax);
    out.F32(s.viewMin);
    for (const auto& m : s.positionMemo) {
        out.I32(m.index);
        out.F32(m.metres);
        out.Bytes(m.reserved);
    }
    out.Bytes(s.reservedTail);
}

bool SameStepBytes(const ProcessStep& a, const ProcessStep& b) {
    std::vector<std::uint8_t> x, y;
    x.reserve(kProcessStepBytes);
    y.reserve(kProcessStepBytes);
    ByteWriter wx(x), wy(y);
    WriteProcessStep(wx, a);
    WriteProcessStep(wy, b);
    return x == y;
}

}  // namespace tav
