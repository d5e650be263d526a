#include "model/process_step.hpp"

#include <vector>

#include "base/byte_io.hpp"

namespace tav {

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

namespace {

// The record's bytes never overlap the record they fill; saying so lets the
// compiler move neighbouring fields together.
void DecodeProcessStep(const std::uint8_t* __restrict p, ProcessStep* __restrict step) {
    ProcessStep& s = *step;
    LeLoad in(p);
    in >> s.opType >> s.reserved04 >> s.filterKind >> s.filterUpperHz >> s.filterLowerHz >> s.magnifyMode
        >> s.magnifyFactor >> s.magnifyStart >> s.smoothPoints >> s.dcMode >> s.dcStart >> s.rotateMode
        >> s.rotateStart >> s.rotateAngle >> s.rotateScale >> s.linZeroMode >> s.linZeroStart >> s.nonlinZeroMode
        >> s.nonlinZeroStart >> s.frontZeroPos >> s.rearZeroPos >> s.scaleStart >> s.scaleEnd >> s.scaleFactor
        >> s.shiftX >> s.shiftY >> s.shiftMode >> s.shiftStart >> s.shiftEnd;
    for (auto& b : s.displayBlocks)
        in >> b.fillMode >> b.spectrumStyle >> b.unused >> b.hPositionMode >> b.hOffset >> b.hScaleMode >> b.hScale >> b.vMode >> b.vFactor;
    in >> s.viewMax >> s.viewMin;
    for (auto& m : s.positionMemo) in >> m.index >> m.metres >> m.reserved;
    in >> s.reservedTail;
}

}  // namespace

bool ReadProcessStep(ByteReader& reader, ProcessStep& s) {
    const std::uint8_t* p = reader.Take(kProcessStepBytes);
    if (p == nullptr) return false;
    DecodeProcessStep(p, &s);
    return true;
}

void WriteProcessStep(ByteWriter& writer, const ProcessStep& s) {
    LeStore out(writer.Extend(kProcessStepBytes));
    out << s.opType << s.reserved04 << s.filterKind << s.filterUpperHz << s.filterLowerHz << s.magnifyMode
        << s.magnifyFactor << s.magnifyStart << s.smoothPoints << s.dcMode << s.dcStart << s.rotateMode
        << s.rotateStart << s.rotateAngle << s.rotateScale << s.linZeroMode << s.linZeroStart << s.nonlinZeroMode
        << s.nonlinZeroStart << s.frontZeroPos << s.rearZeroPos << s.scaleStart << s.scaleEnd << s.scaleFactor
        << s.shiftX << s.shiftY << s.shiftMode << s.shiftStart << s.shiftEnd;
    for (const auto& b : s.displayBlocks)
        out << b.fillMode << b.spectrumStyle << b.unused << b.hPositionMode << b.hOffset << b.hScaleMode << b.hScale << b.vMode << b.vFactor;
    out << s.viewMax << s.viewMin;
    for (const auto& m : s.positionMemo) out << m.index << m.metres << m.reserved;
    out << s.reservedTail;
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
