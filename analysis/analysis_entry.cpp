#include "analysis/analysis_entry.hpp"

#include "base/text_codec.hpp"
#include "model/document.hpp"

namespace tav {

std::string PointCaption(const TestPoint& tp) { return Cp936ToUtf8(TextOf(tp.pileNo)); }

AnalysisEntry WaveformEntry(const CTAV_AnalyserDoc& doc, std::int32_t index, std::int32_t blockNumber) {
    AnalysisEntry e;
    const auto& tp = doc.points[static_cast<std::size_t>(index)];
    e.caption = PointCaption(tp);
    e.pointIndex = index;
    CopyTestPoint(tp, e.copy);
    e.kind = kKindWaveform;
    e.blockNumber = blockNumber;
    e.block = tp.lastParams.displayBlocks[static_cast<std::size_t>(blockNumber)];
    e.shownCount = tp.sampleCount();
    return e;
}

DisplayBlock MergedBlock(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> targets,
                         std::int32_t blockNumber) {
    const DisplayBlock* common = nullptr;
    for (const auto i : targets) {
        if (!doc.ValidIndex(i)) continue;
        const auto& b = doc.points[static_cast<std::size_t>(i)].lastParams.displayBlocks[static_cast<std::size_t>(blockNumber)];
        if (!common)
            common = &b;
        else if (!(*common == b))
            return DisplayBlock{};
    }
    return common ? *common : DisplayBlock{};
}

double SpanTimeMs(const TestPoint& tp, std::int32_t v, std::int32_t c) {
    if (c < 2) return 0.0;
    return static_cast<double>(v) * (tp.rawCount() - 1) * static_cast<double>(tp.sampleInterval) / 1000.0 / (c - 1);
}

}  // namespace tav
