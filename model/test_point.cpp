#include "model/test_point.hpp"

#include "model/byte_io.hpp"

namespace tav {

std::size_t Cp936SafePrefix(std::string_view text, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t len = (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return i;
}

namespace {

void ReadHeadTail(ByteReader& in, TestPoint& tp) {
    in.I16(tp.pileTypeIndex);
    in.Bytes(tp.pileTypeName);
    in.I16(tp.diameter);
    in.Bytes(tp.testDate);
    in.I16(tp.sensorType);
    in.I16(tp.gain);
    in.I16(tp.triggerLevel);
    in.Bytes(tp.instrumentValue);
    in.F32(tp.pileLength);
    in.I16(tp.waveSpeed);
}

}  // namespace

bool ReadRecordHead(ByteReader& in, TestPoint& tp) {
    if (!in.Has(head_layout::kSize)) return in.Skip(head_layout::kSize);
    in.I16(tp.recordNo);
    in.Bytes(tp.pileNo);
    ReadHeadTail(in, tp);
    in.Bytes(tp.padding114);
    in.F32(tp.sampleInterval);
    in.I16(tp.headSampleCount);
    in.I16(tp.headIndex);
    in.I16(tp.toeIndex);
    in.Bytes(tp.padding126);
    return !in.Failed();
}

bool ReadShortRecordHead(ByteReader& in, TestPoint& tp) {
    if (!in.Has(head_layout::kShortSize)) return in.Skip(head_layout::kShortSize);
    in.I16(tp.recordNo);
    tp.pileNo.fill(0);
    in.Bytes(tp.pileNo.data(), 10);
    ReadHeadTail(in, tp);
    in.Skip(2);
    in.F32(tp.sampleInterval);
    in.I16(tp.headSampleCount);
    in.I16(tp.headIndex);
    in.I16(tp.toeIndex);
    in.Skip(2);
    return !in.Failed();
}

void WriteRecordHead(ByteWriter& out, const TestPoint& tp) {
    out.I16(tp.recordNo);
    out.Bytes(tp.pileNo);
    out.I16(tp.pileTypeIndex);
    out.Bytes(tp.pileTypeName);
    out.I16(tp.diameter);
    out.Bytes(tp.testDate);
    out.I16(tp.sensorType);
    out.I16(tp.gain);
    out.I16(tp.triggerLevel);
    out.Bytes(tp.instrumentValue);
    out.F32(tp.pileLength);
    out.I16(tp.waveSpeed);
    out.Bytes(tp.padding114);
    out.F32(tp.sampleInterval);
    out.I16(tp.headSampleCount);
    out.I16(tp.headIndex);
    out.I16(tp.toeIndex);
    out.Bytes(tp.padding126);
}

bool ReadDefectMark(ByteReader& in, DefectMark& d) {
    if (!in.Has(kDefectMarkBytes)) return in.Skip(kDefectMarkBytes);
    in.I32(d.position);
    in.I32(d.type);
    in.Bytes(d.name);
    in.Bytes(d.description);
    in.F32(d.depth);
    in.Bytes(d.unused);
    return !in.Failed();
}

void WriteDefectMark(ByteWriter& out, const DefectMark& d) {
    out.I32(d.position);
    out.I32(d.type);
    out.Bytes(d.name);
    out.Bytes(d.description);
    out.F32(d.depth);
    out.Bytes(d.unused);
}

void CopyTestPoint(const TestPoint& source, TestPoint& target) {
    if (&source == &target) return;
    const auto toePending = target.toePending;
    const auto scalePending = target.scalePending;
    target = source;
    target.toePending = toePending;
    target.scalePending = scalePending;
}

void ReleaseTestPoint(TestPoint& tp) {
    tp.rawSamples = {};
    tp.samples = {};
    tp.steps = {};
    tp.defects = {};
    tp.spectrumMarks = {};
    tp.correlationMarks = {};
    tp.waveletMarkLevels = {};
    tp.waveletMarkPositions = {};
}

}  // namespace tav
