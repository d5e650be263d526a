#include "model/project_file.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "base/byte_io.hpp"
#include "base/numeric.hpp"
#include "base/text_codec.hpp"
#include "model/old_layout.hpp"

namespace tav {

namespace {

constexpr std::array<std::string_view, 7> kTags = {"", "CWH01", "TAV02", "TAV03", "TAV04", "TAV05", "TAV15"};

// Version 5 keeps the header texts as 25 UTF-16 characters; they are held in
// code page 936, at most 50 bytes, trailing blanks removed.
void ReadWideText(ByteReader& in, TextField<50>& field) {
    std::array<char, 50> wide{};
    if (!in.Bytes(wide)) return;
    std::string text = Utf16LeToCp936(std::string_view(wide.data(), wide.size()), 49);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    SetText(field, text);
}

// A count announced by the file: inside 0..16384 and backed by the bytes
// that remain (elementBytes each) before anything is allocated.
bool ReadCount(ByteReader& in, std::int32_t& count, std::size_t elementBytes) {
    if (!in.I32(count)) {
        count = 0;
        return false;
    }
    if (count < 0 || count > kMaxArrayCount || static_cast<std::size_t>(count) > in.Remaining() / elementBytes) {
        count = 0;
        return false;
    }
    return true;
}

}  // namespace

std::string_view VersionTag(int version) {
    return version >= 1 && version <= 6 ? kTags[static_cast<std::size_t>(version)] : std::string_view{};
}

int ReadProjectHeader(ByteReader& in, ProjectHeader& h) {
    h = ProjectHeader{};
    if (!in.Bytes(h.magic.data(), 5)) return 0;
    const std::string_view tag(h.magic.data(), 5);
    int version = 0;
    for (int v = 1; v <= 6; ++v)
        if (tag == kTags[static_cast<std::size_t>(v)]) version = v;
    if (version == 0) return 0;

    if (IsRecordLayout(version)) {
        in.I32(h.pointCount);
    } else {
        std::int16_t count = 0;
        in.I16(count);
        h.pointCount = count;
    }
    if (in.Failed()) {
        h.pointCount = 0;
        return version;
    }
    if (version == 5) {
        ReadWideText(in, h.testUnit);
        ReadWideText(in, h.projectName);
    } else {
        in.Bytes(h.testUnit);
        in.Bytes(h.projectName.data(), version <= 3 ? 20 : 50);
    }
    if (IsRecordLayout(version)) in.Bytes(h.reserved);
    return version;
}

void WriteProjectHeader(ByteWriter& out, const ProjectHeader& h) {
    out.Bytes(h.magic.data(), 5);
    out.I32(h.pointCount);
    out.Bytes(h.testUnit);
    out.Bytes(h.projectName);
    out.Bytes(h.reserved);
}

int ReadTestPoint(ByteReader& in, int version, TestPoint& tp, std::vector<ProcessStep>& oldSteps) {
    if (IsOldLayout(version)) return ReadOldTestPoint(in, version, tp, oldSteps);
    oldSteps.clear();
    tp.toePending = 1;
    tp.scalePending = 1;
    if (!IsRecordLayout(version)) return 0;

    const bool headRead = version == 6 ? ReadRecordHead(in, tp) : ReadShortRecordHead(in, tp);
    if (!headRead) return 0;

    std::int32_t count = 0;
    const bool rawOk = ReadCount(in, count, 4);
    in.F32Array(tp.rawSamples, static_cast<std::size_t>(count));
    if (!rawOk) return 0;

    tp.samples.clear();
    tp.steps.clear();
    tp.defects.clear();
    tp.spectrumMarks.clear();
    tp.correlationMarks.clear();
    tp.waveletMarkLevels.clear();
    tp.waveletMarkPositions.clear();
    tp.checked = 0;
    tp.headValid = 0;
    tp.toeValid = 0;
    {
        // lastParams starts as all zero bytes, not as a constructed record.
        static const ProcessStep kZeroStep = [] {
            static const std::array<std::uint8_t, kProcessStepBytes> kZero{};
            ByteReader z(kZero);
            ProcessStep step;
            ReadProcessStep(z, step);
            return step;
        }();
        tp.lastParams = kZeroStep;
    }

    // A file that ends right after the raw samples: the processed samples are
    // the raw ones and nothing else is stored.
    if (in.Remaining() < 4) {
        tp.samples = tp.rawSamples;
        return 1;
    }
    if (!ReadCount(in, count, 4)) return 0;
    in.F32Array(tp.samples, static_cast<std::size_t>(count));

    if (!ReadCount(in, count, kProcessStepBytes)) return 0;
    tp.steps.reserve(static_cast<std::size_t>(count));
    ProcessStep step;  // every byte of it is read, so one constructed record serves all
    for (std::int32_t k = 0; k < count; ++k) {
        ReadProcessStep(in, step);
        tp.steps.push_back(step);
    }
    if (!ReadProcessStep(in, tp.lastParams)) return 0;

    if (!ReadCount(in, count, kDefectMarkBytes)) return 0;
    tp.defects.resize(static_cast<std::size_t>(count));
    for (auto& d : tp.defects) ReadDefectMark(in, d);

    if (!ReadCount(in, count, 4)) return 0;
    in.I32Array(tp.spectrumMarks, static_cast<std::size_t>(count));
    if (!ReadCount(in, count, 4)) return 0;
    in.I32Array(tp.correlationMarks, static_cast<std::size_t>(count));
    if (!ReadCount(in, count, 8)) return 0;
    in.I32Array(tp.waveletMarkLevels, static_cast<std::size_t>(count));
    in.I32Array(tp.waveletMarkPositions, static_cast<std::size_t>(count));

    in.I32(tp.checked);
    in.I32(tp.headValid);
    in.I32(tp.toeValid);
    in.Bytes(tp.note);
    if (in.Failed()) return 0;

    // Defects are placed by depth: their positions follow the current head,
    // wave speed and sampling interval.
    for (auto& d : tp.defects) {
        const float travel = d.depth / static_cast<float>(tp.waveSpeed) / tp.sampleInterval * 2000000.0f;
        if (const auto samples = TruncToInt32(travel)) d.position = PositionAfter(tp.headIndex, *samples);
    }
    return 1;
}

std::optional<std::size_t> MeasureTestPoint(ByteReader in, int version) {
    if (!IsRecordLayout(version)) return std::nullopt;
    auto skipArray = [&in](std::size_t elementBytes, std::size_t extra = 0) {
        std::int32_t count = 0;
        return ReadCount(in, count, elementBytes) && in.Skip((static_cast<std::size_t>(count) + extra) * elementBytes);
    };
    if (!in.Skip(version == 6 ? head_layout::kSize : head_layout::kShortSize) || !skipArray(4)) return std::nullopt;
    if (in.Remaining() < 4) return in.Position();  // ends right after the raw samples
    const bool whole = skipArray(4) && skipArray(kProcessStepBytes, 1) && skipArray(kDefectMarkBytes) && skipArray(4) &&
                       skipArray(4) && skipArray(8) && in.Skip(3 * 4 + sizeof(TestPoint::note));
    if (!whole) return std::nullopt;
    return in.Position();
}

void WriteTestPoint(ByteWriter& out, const TestPoint& tp) {
    WriteRecordHead(out, tp);
    out.I32(tp.rawCount());
    out.F32Array(tp.rawSamples);
    out.I32(tp.sampleCount());
    out.F32Array(tp.samples);
    out.I32(tp.stepCount());
    for (const auto& s : tp.steps) WriteProcessStep(out, s);
    WriteProcessStep(out, tp.lastParams);
    out.I32(tp.defectCount());
    for (const auto& d : tp.defects) WriteDefectMark(out, d);
    out.I32(static_cast<std::int32_t>(tp.spectrumMarks.size()));
    out.I32Array(tp.spectrumMarks);
    out.I32(static_cast<std::int32_t>(tp.correlationMarks.size()));
    out.I32Array(tp.correlationMarks);
    out.I32(tp.waveletMarkCount());
    out.I32Array(tp.waveletMarkLevels);
    out.I32Array(tp.waveletMarkPositions);
    out.I32(tp.checked);
    out.I32(tp.headValid);
    out.I32(tp.toeValid);
    out.Bytes(tp.note);
}

namespace {

void WriteHeaderOfSet(ByteWriter& out, ProjectHeader header, std::size_t count) {
    SetText(header.magic, kCurrentTag);
    header.pointCount = static_cast<std::int32_t>(count);
    WriteProjectHeader(out, header);
}

}  // namespace

bool StreamProject(const ByteSink& sink, const ProjectHeader& header, std::span<const TestPoint> points,
                   const ProjectHeader& backupHeader, std::span<const TestPoint> backup) {
    // Pieces of about a megabyte: the buffer is reused, so a large project
    // never needs its whole image in memory.
    constexpr std::size_t kPiece = 1 << 20;
    std::vector<std::uint8_t> buffer;
    buffer.reserve(kPiece + 128 * 1024);
    ByteWriter out(buffer);
    auto flush = [&](bool force) {
        if (buffer.empty() || (!force && buffer.size() < kPiece)) return true;
        const bool ok = sink(buffer);
        buffer.clear();
        return ok;
    };
    WriteHeaderOfSet(out, header, points.size());
    for (const auto& tp : points) {
        WriteTestPoint(out, tp);
        if (!flush(false)) return false;
    }
    WriteHeaderOfSet(out, backupHeader, backup.size());
    for (const auto& tp : backup) {
        WriteTestPoint(out, tp);
        if (!flush(false)) return false;
    }
    return flush(true);
}

std::vector<std::uint8_t> SerializeProject(const ProjectHeader& header, std::span<const TestPoint> points,
                                           const ProjectHeader& backupHeader, std::span<const TestPoint> backup) {
    std::vector<std::uint8_t> bytes;
    StreamProject(
        [&](std::span<const std::uint8_t> piece) {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            return true;
        },
        header, points, backupHeader, backup);
    return bytes;
}

}  // namespace tav
