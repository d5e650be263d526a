#include "tests/support/project_builder.hpp"

#include <cmath>
#include <cstring>

#include "base/byte_io.hpp"
#include "base/numeric.hpp"
#include "model/pile_head.hpp"
#include "model/project_file.hpp"

namespace tav::testing {

TestPoint WaveformPoint(std::string_view pileNo, int samples, std::uint32_t seed) {
    TestPoint tp;
    SetText(tp.pileNo, pileNo);
    tp.pileTypeIndex = 1;
    SetText(tp.pileTypeName, "\xd7\xea\xbf\xd7\xb9\xe0\xd7\xa2\xd7\xae");  // 钻孔灌注桩
    tp.diameter = 800;
    SetText(tp.testDate, "2026-05-18");
    tp.sensorType = 1;
    tp.gain = 10;
    tp.triggerLevel = 3;
    tp.pileLength = 12.0f;
    tp.waveSpeed = 4000;
    tp.sampleInterval = 20.0f;
    tp.headSampleCount = static_cast<std::int16_t>(samples);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    const int head = 40;
    const int toe = head + static_cast<int>(2.0 * 12.0 / (4000.0 * 20e-6));
    tp.rawSamples.resize(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        const double t = i - head;
        double v = std::exp(-t * t / 40.0);
        const double e = i - toe;
        v += 0.3 * std::exp(-e * e / 60.0);
        tp.rawSamples[static_cast<std::size_t>(i)] = static_cast<float>(v) + noise(rng);
    }
    tp.samples = tp.rawSamples;
    tp.headIndex = static_cast<std::int16_t>(head);
    tp.toeIndex = static_cast<std::int16_t>(std::min(toe, samples - 1));
    tp.headValid = 1;
    tp.toeValid = 1;
    return tp;
}

namespace {

template <std::size_t N>
void RandomText(std::mt19937& rng, TextField<N>& f) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& c : f) c = static_cast<char>(byte(rng));
    std::uniform_int_distribution<std::size_t> at(0, N - 1);
    f[at(rng)] = 0;  // a terminator somewhere, with bytes behind it
}

float RandomFloat(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    switch (kind(rng)) {
        case 0: return std::bit_cast<float>(static_cast<std::uint32_t>(rng()));  // any bits, NaN payloads too
        case 1: return 0.1f;
        default: return value(rng);
    }
}

std::int32_t RandomInt(std::mt19937& rng) { return static_cast<std::int32_t>(rng()); }

void RandomStep(std::mt19937& rng, ProcessStep& s) {
    std::vector<std::uint8_t> bytes(kProcessStepBytes);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    ByteReader in(bytes);
    ReadProcessStep(in, s);
    s.opType = std::uniform_int_distribution<int>(1, 16)(rng);
    s.filterUpperHz = RandomFloat(rng);
}

}  // namespace

TestPoint RandomPoint(std::mt19937& rng, const RandomShape& shape) {
    TestPoint tp;
    tp.recordNo = static_cast<std::int16_t>(rng());
    RandomText(rng, tp.pileNo);
    tp.pileTypeIndex = static_cast<std::int16_t>(rng() % 12);
    RandomText(rng, tp.pileTypeName);
    tp.diameter = static_cast<std::int16_t>(rng());
    RandomText(rng, tp.testDate);
    tp.sensorType = static_cast<std::int16_t>(rng() % 3);
    tp.gain = static_cast<std::int16_t>(rng());
    tp.triggerLevel = static_cast<std::int16_t>(rng());
    for (auto& b : tp.instrumentValue) b = static_cast<std::uint8_t>(rng());
    tp.pileLength = RandomFloat(rng);
    tp.waveSpeed = static_cast<std::int16_t>(1000 + rng() % 4000);
    for (auto& b : tp.padding114) b = static_cast<std::uint8_t>(rng());
    tp.sampleInterval = static_cast<float>(5 + rng() % 50);
    tp.headSampleCount = static_cast<std::int16_t>(rng());
    tp.headIndex = static_cast<std::int16_t>(1 + rng() % 500);
    tp.toeIndex = static_cast<std::int16_t>(rng());
    for (auto& b : tp.padding126) b = static_cast<std::uint8_t>(rng());

    auto count = [&](int max) { return static_cast<std::size_t>(std::uniform_int_distribution<int>(0, max)(rng)); };
    tp.rawSamples.resize(count(shape.maxSamples));
    for (auto& v : tp.rawSamples) v = RandomFloat(rng);
    tp.samples.resize(count(shape.maxSamples));
    for (auto& v : tp.samples) v = RandomFloat(rng);
    tp.steps.resize(count(shape.maxSteps));
    for (auto& s : tp.steps) RandomStep(rng, s);
    RandomStep(rng, tp.lastParams);
    tp.defects.resize(count(shape.maxDefects));
    for (auto& d : tp.defects) {
        d.type = static_cast<std::int32_t>(rng() % 21);
        RandomText(rng, d.name);
        RandomText(rng, d.description);
        for (auto& b : d.unused) b = static_cast<std::uint8_t>(rng());
        // Positions follow the depth on loading; choose depths that convert back exactly.
        const int travel = static_cast<int>(rng() % 400);
        d.depth = static_cast<float>(travel) * tp.sampleInterval * static_cast<float>(tp.waveSpeed) * 5e-7f;
        const float back = d.depth / static_cast<float>(tp.waveSpeed) / tp.sampleInterval * 2000000.0f;
        d.position = tp.headIndex + TruncToInt32(back).value_or(0);
    }
    tp.spectrumMarks.resize(count(shape.maxMarks));
    for (auto& m : tp.spectrumMarks) m = RandomInt(rng);
    tp.correlationMarks.resize(count(shape.maxMarks));
    for (auto& m : tp.correlationMarks) m = RandomInt(rng);
    tp.waveletMarkPositions.resize(count(shape.maxMarks));
    tp.waveletMarkLevels.resize(tp.waveletMarkPositions.size());
    for (auto& m : tp.waveletMarkPositions) m = RandomInt(rng);
    for (auto& m : tp.waveletMarkLevels) m = RandomInt(rng);
    tp.checked = static_cast<std::int32_t>(rng() % 2);
    tp.headValid = 1;
    tp.toeValid = static_cast<std::int32_t>(rng() % 2);
    RandomText(rng, tp.note);

    if (tp.rawCount() > 0) {
        const auto [head, toe] = HeadAndToe(tp);
        const auto range = WindowDisplayRange(tp.samples.data(), tp.sampleCount(), head, toe);
        const float v = RoundDisplayMax(range.max);
        tp.lastParams.viewMax = v;
        tp.lastParams.viewMin = -v;
    }
    return tp;
}

ProjectHeader MakeHeader(std::string_view testUnit, std::string_view projectName) {
    ProjectHeader h;
    SetText(h.magic, "TAV15");
    SetText(h.testUnit, testUnit);
    SetText(h.projectName, projectName);
    return h;
}

namespace {

void WriteShortPoint(ByteWriter& out, const TestPoint& tp) {
    std::vector<std::uint8_t> full;
    ByteWriter w(full);
    WriteTestPoint(w, tp);
    // The short head: the pile number field is 10 bytes, the rest as in version 6.
    out.Bytes(full.data(), 2);
    out.Bytes(full.data() + 2, 10);
    out.Bytes(full.data() + 24, full.size() - 24);
}

}  // namespace

std::vector<std::uint8_t> ProjectImage(const ProjectHeader& header, const std::vector<TestPoint>& points,
                                       const std::vector<TestPoint>& backup, bool version4) {
    if (!version4) return SerializeProject(header, points, header, backup);
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    ProjectHeader h = header;
    SetText(h.magic, "TAV04");
    h.pointCount = static_cast<std::int32_t>(points.size());
    WriteProjectHeader(out, h);
    for (const auto& tp : points) WriteShortPoint(out, tp);
    h.pointCount = static_cast<std::int32_t>(backup.size());
    WriteProjectHeader(out, h);
    for (const auto& tp : backup) WriteShortPoint(out, tp);
    return bytes;
}

}  // namespace tav::testing
