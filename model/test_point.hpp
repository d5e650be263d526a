// The test point record: one waveform with its pile parameters, samples,
// processing chain, head, toe, defects and marks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/text_field.hpp"
#include "model/process_step.hpp"

namespace tav {

class ByteReader;
class ByteWriter;

inline constexpr int kMaxArrayCount = 16384;  // samples, steps, defects, marks per test point

// One defect or mark line on a waveform (164 bytes stored).
struct DefectMark {
    std::int32_t position = 0;  // sample index
    std::int32_t type = 0;      // DefectType code
    TextField<50> name{};
    TextField<50> description{};
    float depth = 0.0f;  // metres below the head
    std::array<std::uint8_t, 52> unused{};
};
inline constexpr std::size_t kDefectMarkBytes = 164;
static_assert(4 + 4 + 50 + 50 + 4 + 52 == kDefectMarkBytes);

struct TestPoint {
    // Record head (128 bytes stored).
    std::int16_t recordNo = 0;
    TextField<22> pileNo{};
    std::int16_t pileTypeIndex = 0;
    TextField<50> pileTypeName{};
    std::int16_t diameter = 0;  // mm
    TextField<20> testDate{};
    std::int16_t sensorType = 0;
    std::int16_t gain = 0;
    std::int16_t triggerLevel = 0;
    std::array<std::uint8_t, 4> instrumentValue{};
    float pileLength = 0.0f;  // m
    std::int16_t waveSpeed = 0;  // m/s
    std::array<std::uint8_t, 2> padding114{};
    float sampleInterval = 0.0f;  // µs
    std::int16_t headSampleCount = 0;
    std::int16_t headIndex = 0;
    std::int16_t toeIndex = 0;
    std::array<std::uint8_t, 2> padding126{};

    std::vector<float> rawSamples;  // mV as acquired
    std::vector<float> samples;     // the chain applied to rawSamples
    std::vector<ProcessStep> steps;
    ProcessStep lastParams;
    std::vector<DefectMark> defects;
    std::vector<std::int32_t> spectrumMarks;
    std::vector<std::int32_t> correlationMarks;
    std::vector<std::int32_t> waveletMarkLevels;     // parallel to the positions
    std::vector<std::int32_t> waveletMarkPositions;
    std::int32_t checked = 0;
    std::int32_t headValid = 1;
    std::int32_t toeValid = 1;
    std::int32_t runtimeWord = 0;  // never stored in a file
    TextField<50> note{};
    std::int32_t toePending = 0;   // runtime: the display still has to place the toe
    std::int32_t scalePending = 0; // runtime: horizontal scale follows the toe

    std::int32_t rawCount() const { return static_cast<std::int32_t>(rawSamples.size()); }
    std::int32_t sampleCount() const { return static_cast<std::int32_t>(samples.size()); }
    std::int32_t stepCount() const { return static_cast<std::int32_t>(steps.size()); }
    std::int32_t defectCount() const { return static_cast<std::int32_t>(defects.size()); }
    std::int32_t waveletMarkCount() const { return static_cast<std::int32_t>(waveletMarkPositions.size()); }
};

// Whether the toe is set: flagged, and after the head. A toe at or before the
// head marks nothing; the old layouts, and the instrument's files with them,
// carry no toe and leave it at sample 0 with the flag up. Every reader of the
// toe (the toe to use, the magnification limit, the pile speed, the display's
// toe line and scale, placing the head) asks here.
inline bool ToeSet(const TestPoint& tp) {
    return tp.toeValid == 1 && tp.toeIndex > 0 && tp.toeIndex > tp.headIndex;
}

namespace head_layout {
inline constexpr std::size_t kPileNo = 2;
inline constexpr std::size_t kPileTypeIndex = kPileNo + 22;
inline constexpr std::size_t kPileTypeName = kPileTypeIndex + 2;
inline constexpr std::size_t kDiameter = kPileTypeName + 50;
inline constexpr std::size_t kTestDate = kDiameter + 2;
inline constexpr std::size_t kSensorType = kTestDate + 20;
inline constexpr std::size_t kInstrumentValue = kSensorType + 6;
inline constexpr std::size_t kPileLength = kInstrumentValue + 4;
inline constexpr std::size_t kWaveSpeed = kPileLength + 4;
inline constexpr std::size_t kSampleInterval = kWaveSpeed + 4;
inline constexpr std::size_t kHeadSampleCount = kSampleInterval + 4;
inline constexpr std::size_t kToeIndex = kHeadSampleCount + 4;
inline constexpr std::size_t kSize = kToeIndex + 4;
inline constexpr std::size_t kShortSize = kSize - 12;  // version 4: a 10-byte pile number
static_assert(kPileTypeIndex == 24 && kDiameter == 76 && kTestDate == 78 && kSensorType == 98);
static_assert(kInstrumentValue == 104 && kPileLength == 108 && kWaveSpeed == 112);
static_assert(kSampleInterval == 116 && kHeadSampleCount == 120 && kToeIndex == 124);
static_assert(kSize == 128 && kShortSize == 116);
}  // namespace head_layout

bool ReadRecordHead(ByteReader& in, TestPoint& tp);
bool ReadShortRecordHead(ByteReader& in, TestPoint& tp);
void WriteRecordHead(ByteWriter& out, const TestPoint& tp);
bool ReadDefectMark(ByteReader& in, DefectMark& d);
void WriteDefectMark(ByteWriter& out, const DefectMark& d);

// Deep copy of everything but the runtime pending flags.
void CopyTestPoint(const TestPoint& source, TestPoint& target);
// Frees the owned arrays; the record head and flags stay.
void ReleaseTestPoint(TestPoint& tp);

}  // namespace tav
