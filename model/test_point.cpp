#include "model/test_point.hpp"

#include <cstring>

#include "base/byte_io.hpp"

namespace tav {

bool ReadRecordHead(ByteReader& reader, TestPoint& tp) {
    const std::uint8_t* p = reader.Take(head_layout::kSize);
    if (p == nullptr) return false;
    LeLoad in(p);
    in >> tp.recordNo >> tp.pileNo >> tp.pileTypeIndex >> tp.pileTypeName >> tp.diameter >> tp.testDate >>
        tp.sensorType >> tp.gain >> tp.triggerLevel >> tp.instrumentValue >> tp.pileLength >> tp.waveSpeed >>
        tp.padding114 >> tp.sampleInterval >> tp.headSampleCount >> tp.headIndex >> tp.toeIndex >> tp.padding126;
    return true;
}

bool ReadShortRecordHead(ByteReader& reader, TestPoint& tp) {
    const std::uint8_t* p = reader.Take(head_layout::kShortSize);
    if (p == nullptr) return false;
    LeLoad in(p);
    in >> tp.recordNo;
    tp.pileNo.fill(0);
    std::memcpy(tp.pileNo.data(), p + 2, 10);
    in.Skip(10);
    in >> tp.pileTypeIndex >> tp.pileTypeName >> tp.diameter >> tp.testDate >> tp.sensorType >> tp.gain >>
        tp.triggerLevel >> tp.instrumentValue >> tp.pileLength >> tp.waveSpeed;
    in.Skip(2);
    in >> tp.sampleInterval >> tp.headSampleCount >> tp.headIndex >> tp.toeIndex;
    return true;
}

void WriteRecordHead(ByteWriter& writer, const TestPoint& tp) {
    LeStore out(writer.Extend(head_layout::kSize));
    out << tp.recordNo << tp.pileNo << tp.pileTypeIndex << tp.pileTypeName << tp.diameter << tp.testDate
        << tp.sensorType << tp.gain << tp.triggerLevel << tp.instrumentValue << tp.pileLength << tp.waveSpeed
        << tp.padding114 << tp.sampleInterval << tp.headSampleCount << tp.headIndex << tp.toeIndex << tp.padding126;
}

bool ReadDefectMark(ByteReader& reader, DefectMark& d) {
    const std::uint8_t* p = reader.Take(kDefectMarkBytes);
    if (p == nullptr) return false;
    LeLoad in(p);
    in >> d.position >> d.type >> d.name >> d.description >> d.depth >> d.unused;
    return true;
}

void WriteDefectMark(ByteWriter& writer, const DefectMark& d) {
    LeStore out(writer.Extend(kDefectMarkBytes));
    out << d.position << d.type << d.name << d.description << d.depth << d.unused;
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
