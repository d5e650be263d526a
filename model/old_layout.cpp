#include "model/old_layout.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "base/byte_io.hpp"
#include "base/numeric.hpp"
#include "base/text_codec.hpp"
#include "model/pile_head.hpp"
#include "model/positions.hpp"
#include "model/vocabulary.hpp"

namespace tav {

namespace {

using namespace old_layout;

// The fields of the old layout that are not record fields themselves.
struct OldFields {
    std::int16_t lowPassPasses = 0;
    std::int16_t magnifyMode = 0;
    float magnifyFactor = 0.0f;
    float magnifyStartMetres = 0.0f;
    float lowPassKHz = 0.0f;
    std::int16_t rotation = 0;
    std::array<std::int16_t, kDefectPairs> defectTypes{};
    std::array<float, kDefectPairs> defectDepths{};
};

// The old program kept one scratch step and pushed copies of it; every copy
// therefore also carries the parameters set for the entries collected before
// it. Stored chains depend on that, so it is kept.
class Collector {
public:
    ProcessStep scratch;
    std::vector<ProcessStep> entries;
    void Take(std::int32_t opType) {
        scratch.opType = opType;
        entries.push_back(scratch);
    }
};

void ReadIdentity(ByteReader& in, int version, TestPoint& tp) {
    const std::uint8_t* p = in.Take(2);
    if (!p) return;
    LeLoad(p) >> tp.recordNo;
    if (version == 5) {
        std::array<char, kWidePileNoBytes> wide{};
        if (!in.Bytes(wide)) return;
        std::string text = Utf16LeToCp936(std::string_view(wide.data(), wide.size()), kWidePileNoBytes);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        SetText(tp.pileNo, text);
    } else if (!in.Bytes(tp.pileNo.data(), 10)) {
        return;
    }
    p = in.Take(kIdentityBytes - 12);
    if (!p) return;
    LeLoad(p) >> tp.pileTypeIndex >> tp.diameter >> tp.testDate >> tp.sensorType >> tp.gain >> tp.triggerLevel >>
        tp.instrumentValue;
    // CWH01 stored a sensor code of its own: 2 and above were velocity sensors.
    if (version == 1) tp.sensorType = tp.sensorType >= 2 ? 1 : 0;
}

void ReadProcessingFields(ByteReader& in, OldFields& f, Collector& c) {
    const std::uint8_t* p = in.Take(kProcessingFieldBytes);
    if (!p) return;
    std::int16_t integrate = 0, frontZero = 0, rearZero = 0, shift = 0;
    LeLoad(p) >> integrate >> f.lowPassPasses >> frontZero >> rearZero >> shift;
    if (integrate == 1) c.Take(kOpIntegrate);
    if (frontZero > 0) {
        c.scratch.frontZeroPos = frontZero;
        c.Take(kOpFrontZero);
    }
    if (rearZero > 0) {
        c.scratch.rearZeroPos = rearZero;
        c.Take(kOpRearZero);
    }
    if (shift > 0) {
        c.scratch.shiftY = static_cast<float>(shift);
        c.scratch.shiftX = 0;
        c.scratch.shiftMode = 0;
        c.Take(kOpShift);
    }
}

// Version 3: the check box, the vertical display factor and local scalings.
bool ReadTav03Fields(ByteReader& in, TestPoint& tp, Collector& c) {
    const std::uint8_t* p = in.Take(kTav03FixedBytes);
    if (!p) return false;
    std::int16_t skipped = 0, displayCode = 0;
    LeLoad(p) >> tp.checked >> skipped >> displayCode;
    if (displayCode != 0) {
        DisplayBlock& block = tp.lastParams.displayBlocks[0];
        block.vMode = 1;
        block.vFactor = displayCode == -10 ? 0.0f : static_cast<float>(1.0 / (displayCode * 0.1 + 1.0));
    }
    std::int32_t count = 0;
    if (!in.I32(count)) return false;
    if (count < 0 || count > kMaxArrayCount || static_cast<std::size_t>(count) > in.Remaining() / kLocalScaleBytes)
        return false;
    for (std::int32_t k = 0; k < count; ++k) {
        p = in.Take(kLocalScaleBytes);
        std::int16_t start = 0, end = 0;
        LeLoad(p) >> c.scratch.scaleFactor >> start >> end;
        c.scratch.scaleStart = start;
        c.scratch.scaleEnd = end;
        c.Take(kOpLocalScale);
    }
    return true;
}

bool ReadWaveFields(ByteReader& in, TestPoint& tp, OldFields& f, Collector& c) {
    const std::uint8_t* p = in.Take(kWaveBytes);
    if (!p) return false;
    LeLoad load(p);
    float highPassKHz = 0.0f;
    std::int16_t skipped = 0, smoothPoints = 0;
    load >> tp.pileLength >> tp.waveSpeed >> tp.sampleInterval >> tp.headSampleCount >> f.magnifyMode >>
        f.magnifyFactor >> f.magnifyStartMetres >> f.lowPassKHz >> highPassKHz >> f.rotation >> tp.headIndex >> skipped;
    for (int k = 0; k < kDefectPairs; ++k)
        load >> f.defectTypes[static_cast<std::size_t>(k)] >> f.defectDepths[static_cast<std::size_t>(k)];
    load.Skip(12);
    load >> smoothPoints;
    if (smoothPoints > 0) {
        c.scratch.smoothPoints = smoothPoints;
        c.Take(kOpSmooth);
    }
    return true;
}

std::string DefectName(std::int16_t type) {
    const auto& names = AppVocabulary().defectNames;
    if (type < 0 || static_cast<std::size_t>(type) >= names.size()) return Utf8ToCp936("缺陷");
    return Utf8ToCp936(names[static_cast<std::size_t>(type)]);
}

void AddDefects(TestPoint& tp, const OldFields& f) {
    for (int k = 0; k < kDefectPairs; ++k) {
        const std::int16_t type = f.defectTypes[static_cast<std::size_t>(k)];
        if (type == 0) continue;
        DefectMark d;
        d.type = type;
        d.depth = f.defectDepths[static_cast<std::size_t>(k)];
        SetText(d.name, DefectName(type));
        if (tp.headIndex >= 0) {
            const float travel = d.depth / static_cast<float>(tp.waveSpeed) / tp.sampleInterval * 2000000.0f;
            if (const auto samples = TruncToInt32(travel)) d.position = PositionAfter(tp.headIndex, *samples);
        }
        tp.defects.push_back(d);
    }
}

// The entries that the old program derived once the whole record was known.
void CollectLateEntries(const TestPoint& tp, const OldFields& f, Collector& c) {
    if (f.lowPassKHz > 1e-10f) {
        for (std::int16_t k = 0; k < f.lowPassPasses; ++k) {
            c.scratch.filterKind = kLowPass;
            c.scratch.filterUpperHz = f.lowPassKHz * 1000.0f;
            c.Take(kOpFilter);
        }
    }
    if (f.magnifyFactor > 1.0f) {
        c.scratch.magnifyMode = f.magnifyMode;
        c.scratch.magnifyFactor = f.magnifyFactor;
        c.scratch.magnifyStart = DepthToSample(tp, f.magnifyStartMetres, false);
        c.Take(kOpMagnify);
    }
    if (f.rotation != 0) {
        c.scratch.rotateMode = 0;
        c.scratch.rotateAngle = static_cast<float>(std::atan(static_cast<double>(f.rotation) / 1024.0));
        c.Take(kOpRotate);
    }
}

}  // namespace

int ReadOldTestPoint(ByteReader& in, int version, TestPoint& tp, std::vector<ProcessStep>& collected) {
    tp = TestPoint{};
    collected.clear();
    tp.toePending = 1;
    tp.scalePending = 1;
    if (!IsOldLayout(version)) return 0;

    OldFields f;
    Collector c;
    ReadIdentity(in, version, tp);
    if (version == 1) {
        in.Skip(kCwhSkippedBytes);
    } else {
        ReadProcessingFields(in, f, c);
        if (version == 3 && !ReadTav03Fields(in, tp, c)) return 0;
        in.Skip(kReservedBytes);
    }
    if (!ReadWaveFields(in, tp, f, c)) return 0;

    const std::int32_t n = tp.headSampleCount;
    if (n < 0 || n > kMaxArrayCount) return 0;
    if (!in.F32Array(tp.rawSamples, static_cast<std::size_t>(n))) return 0;
    tp.samples = tp.rawSamples;

    std::int16_t markCount = 0;
    if (!in.I16(markCount)) return 0;
    if (markCount < 0 || static_cast<std::size_t>(markCount) > in.Remaining() / 2) return 0;
    tp.spectrumMarks.resize(static_cast<std::size_t>(markCount));
    for (auto& m : tp.spectrumMarks) {
        std::int16_t v = 0;
        in.I16(v);
        m = v;
    }
    if (in.Failed()) return 0;

    // Each low-pass pass filters the whole record again on every run of the chain.
    // Instruments stored a handful; a count beyond any real use is a damaged
    // record, refused rather than filtering for hours.
    if (f.lowPassPasses > kMaxOldLowPassPasses) return 0;
    AddDefects(tp, f);
    CollectLateEntries(tp, f, c);
    // A chain longer than a file may hold could be saved but never read back.
    if (c.entries.size() + 2 > static_cast<std::size_t>(kMaxArrayCount)) return 0;
    collected = std::move(c.entries);
    return 1;
}

}  // namespace tav
