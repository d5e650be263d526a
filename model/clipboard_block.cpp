#include "model/clipboard_block.hpp"

#include "base/byte_io.hpp"
#include "model/process_step.hpp"

namespace tav {

namespace {

using namespace clip_layout;

constexpr std::size_t kHeaderFieldBytes = 8 + 4 + 50 + 50 + 100;
static_assert(kHeaderFieldBytes + 4 == kHeaderBytes);

std::size_t ArrayBytes(const TestPoint& tp) {
    return 4 * (tp.rawSamples.size() + tp.samples.size() + tp.spectrumMarks.size() + tp.correlationMarks.size() +
                2 * tp.waveletMarkPositions.size()) +
           kProcessStepBytes * tp.steps.size() + kDefectMarkBytes * tp.defects.size();
}

void WriteHeaderImage(std::uint8_t* p, const ProjectHeader& h) {
    LeStore(p) << h.magic << h.pointCount << h.testUnit << h.projectName << h.reserved << std::int32_t{0};
}

void ReadHeaderImage(const std::uint8_t* p, ProjectHeader& h) {
    LeLoad(p) >> h.magic >> h.pointCount >> h.testUnit >> h.projectName >> h.reserved;
}

void WriteRecordImage(ByteWriter& out, const TestPoint& tp) {
    WriteRecordHead(out, tp);
    std::uint8_t* rest = out.Extend(kLastParams - kRawCount);
    LeStore(rest) << tp.rawCount() << std::int32_t{0} << tp.sampleCount() << std::int32_t{0} << tp.stepCount()
                  << std::int32_t{0};
    WriteProcessStep(out, tp.lastParams);
    const auto wavelets = static_cast<std::int32_t>(tp.waveletMarkPositions.size());
    LeStore(out.Extend(kRecordBytes - kDefectCount))
        << tp.defectCount() << std::int32_t{0} << static_cast<std::int32_t>(tp.spectrumMarks.size())
        << std::int32_t{0} << static_cast<std::int32_t>(tp.correlationMarks.size()) << std::int32_t{0} << wavelets
        << std::int32_t{0} << std::int32_t{0} << tp.checked << tp.headValid << tp.toeValid << tp.runtimeWord
        << tp.note << std::int16_t{0} << tp.toePending << tp.scalePending;
}

void WriteArrays(ByteWriter& out, const TestPoint& tp) {
    out.F32Array(tp.rawSamples);
    out.F32Array(tp.samples);
    for (const auto& step : tp.steps) WriteProcessStep(out, step);
    for (const auto& d : tp.defects) WriteDefectMark(out, d);
    out.I32Array(tp.spectrumMarks);
    out.I32Array(tp.correlationMarks);
    out.I32Array(tp.waveletMarkLevels);
    out.I32Array(tp.waveletMarkPositions);
}

// A count of the record image: within the record limits and backed by the
// bytes that remain before anything is allocated for it.
bool CountFits(std::int32_t count, std::size_t elementBytes, std::size_t remaining) {
    return count >= 0 && count <= kMaxArrayCount && static_cast<std::size_t>(count) <= remaining / elementBytes;
}

struct ImageCounts {
    std::int32_t raw = 0, processed = 0, steps = 0, defects = 0, spectrum = 0, correlation = 0, wavelets = 0;
};

bool ReadRecordImage(ByteReader& in, TestPoint& tp, ImageCounts& n) {
    if (!in.Has(kRecordBytes)) return false;
    ReadRecordHead(in, tp);
    const std::uint8_t* p = in.Take(kRecordBytes - kRawCount);
    LeLoad counts(p);
    std::int32_t slot = 0;
    counts >> n.raw >> slot >> n.processed >> slot >> n.steps >> slot;
    ByteReader step(std::span<const std::uint8_t>(p + (kLastParams - kRawCount), kProcessStepBytes));
    ReadProcessStep(step, tp.lastParams);
    LeLoad tail(p + (kDefectCount - kRawCount));
    std::int16_t padding = 0;
    tail >> n.defects >> slot >> n.spectrum >> slot >> n.correlation >> slot >> n.wavelets >> slot >> slot >>
        tp.checked >> tp.headValid >> tp.toeValid >> tp.runtimeWord >> tp.note >> padding >> tp.toePending >>
        tp.scalePending;
    return true;
}

bool ReadArrays(ByteReader& in, TestPoint& tp, const ImageCounts& n) {
    const std::size_t left = in.Remaining();
    for (const auto count : {n.raw, n.processed, n.spectrum, n.correlation})
        if (!CountFits(count, 4, left)) return false;
    if (!CountFits(n.wavelets, 8, left) || !CountFits(n.steps, kProcessStepBytes, left) ||
        !CountFits(n.defects, kDefectMarkBytes, left))
        return false;
    in.F32Array(tp.rawSamples, static_cast<std::size_t>(n.raw));
    in.F32Array(tp.samples, static_cast<std::size_t>(n.processed));
    if (!in.Has(static_cast<std::size_t>(n.steps) * kProcessStepBytes)) return false;
    tp.steps.resize(static_cast<std::size_t>(n.steps));
    for (auto& step : tp.steps) ReadProcessStep(in, step);
    if (!in.Has(static_cast<std::size_t>(n.defects) * kDefectMarkBytes)) return false;
    tp.defects.resize(static_cast<std::size_t>(n.defects));
    for (auto& d : tp.defects) ReadDefectMark(in, d);
    in.I32Array(tp.spectrumMarks, static_cast<std::size_t>(n.spectrum));
    in.I32Array(tp.correlationMarks, static_cast<std::size_t>(n.correlation));
    in.I32Array(tp.waveletMarkLevels, static_cast<std::size_t>(n.wavelets));
    in.I32Array(tp.waveletMarkPositions, static_cast<std::size_t>(n.wavelets));
    return !in.Failed();
}

}  // namespace

std::size_t ClipboardBlockSize(const Snapshot& snapshot) {
    std::size_t size = kHeadBytes;
    for (const auto& tp : snapshot.points) size += kRecordBytes + ArrayBytes(tp);
    return size;
}

std::vector<std::uint8_t> WriteClipboardBlock(const Snapshot& snapshot) {
    std::vector<std::uint8_t> block;
    block.reserve(ClipboardBlockSize(snapshot));
    ByteWriter out(block);
    std::uint8_t* head = out.Extend(kHeadBytes);
    LeStore(head) << snapshot.kind << snapshot.count() << std::int32_t{0} << snapshot.mode << snapshot.index
                  << snapshot.target;
    WriteHeaderImage(head + kHeader, snapshot.header);
    for (const auto& tp : snapshot.points) {
        WriteRecordImage(out, tp);
        WriteArrays(out, tp);
    }
    return block;
}

std::optional<Snapshot> ReadClipboardBlock(std::span<const std::uint8_t> block) {
    ByteReader in(block);
    const std::uint8_t* head = in.Take(kHeadBytes);
    if (head == nullptr) return std::nullopt;
    Snapshot s;
    std::int32_t count = 0;
    std::int32_t slot = 0;
    LeLoad(head) >> s.kind >> count >> slot >> s.mode >> s.index >> s.target;
    ReadHeaderImage(head + kHeader, s.header);
    if (count < 0 || static_cast<std::size_t>(count) > in.Remaining() / kRecordBytes) return std::nullopt;
    s.points.resize(static_cast<std::size_t>(count));
    for (auto& tp : s.points) {
        ImageCounts n;
        if (!ReadRecordImage(in, tp, n) || !ReadArrays(in, tp, n)) return std::nullopt;
    }
    if (!in.AtEnd()) return std::nullopt;
    return s;
}

}  // namespace tav
