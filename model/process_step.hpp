// The processing step record: one entry of a test point's chain, and the
// embedded `lastParams` image that remembers each operation's last settings
// and the waveform's display settings. Stored byte for byte in project files
// and clipboard blocks, so its layout below is part of the file formats.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tav {

class ByteReader;
class ByteWriter;

// What each operation does, its names and its panel: processing/operations.hpp.
enum OperationType : std::int32_t {
    kOpNone = 0,  // chain list only: a step that differs between targets
    kOpIntegrate = 1,
    kOpDifferentiate = 2,
    kOpFilter = 3,
    kOpLinearZero = 4,
    kOpNonlinearZero = 5,
    kOpReverse = 6,
    kOpSmooth = 7,
    kOpRemoveDc = 8,
    kOpFrontZero = 9,
    kOpRearZero = 10,
    kOpShift = 11,
    kOpRotate = 12,
    kOpMagnify = 13,
    kOpNoEffect14 = 14,
    kOpDynamicScale = 15,  // listed, never applied
    kOpLocalScale = 16,
};
inline constexpr int kOperationTypeCount = 17;

// The filterKind codes of a filter step.
enum FilterKind : std::int32_t { kLowPass = 1, kHighPass = 2, kBandPass = 3, kBandStop = 4 };

// One of the 26 per-waveform drawing settings blocks of the display.
struct DisplayBlock {
    std::int32_t fillMode = 0;        // 0 none, 1 positive, 2 negative
    std::int32_t spectrumStyle = 0;   // 0 spectral lines, 1 envelope
    std::int32_t unused = 0;
    std::int32_t hPositionMode = 1;   // 0 head aligned, 1 reset, 2 shifted by hand
    std::int32_t hOffset = 0;         // pixels
    std::int32_t hScaleMode = 1;      // 0 toe aligned, 1 reset, 2 set by hand
    float hScale = 1.0f;
    std::int32_t vMode = 0;           // 0 automatic, 1 set by hand
    float vFactor = 1.0f;
    bool operator==(const DisplayBlock&) const = default;
};
inline constexpr int kDisplayBlockCount = 26;
inline constexpr int kDisplayBlockBytes = 36;

// A metre value typed by the user for a position field, remembered beside the
// sample index it converted to.
struct PositionMemoSlot {
    std::int32_t index = 0;
    float metres = 0.0f;
    std::array<std::uint8_t, 2> reserved{};
};
inline constexpr float kMemoMissing = -10000.0f;

struct ProcessStep {
    std::int32_t opType = 0;
    std::int32_t reserved04 = 0;
    std::int32_t filterKind = 1;  // 1 low-pass, 2 high-pass, 3 band-pass, 4 band-stop
    float filterUpperHz = 300.0f;
    float filterLowerHz = 0.0f;
    std::int32_t magnifyMode = 0;  // 0 exponential, 1 linear
    float magnifyFactor = 1.0f;
    std::int32_t magnifyStart = 0;
    std::int32_t smoothPoints = 1;
    std::int32_t dcMode = 0;  // 1 whole, 2 from dcStart; 0 behaves as 1
    std::int32_t dcStart = 0;
    std::int32_t rotateMode = 0;
    std::int32_t rotateStart = 0;
    float rotateAngle = 0.0f;
    float rotateScale = 1.0f;
    std::int32_t linZeroMode = 0;  // 0 whole, 1 from start, 2 from the toe
    std::int32_t linZeroStart = 0;
    std::int32_t nonlinZeroMode = 0;
    std::int32_t nonlinZeroStart = 0;
    std::int32_t frontZeroPos = 0;
    std::int32_t rearZeroPos = 0;
    std::int32_t scaleStart = 0;
    std::int32_t scaleEnd = 0;  // inclusive
    float scaleFactor = 1.0f;
    std::int32_t shiftX = 0;
    float shiftY = 0.0f;
    std::int32_t shiftMode = 0;
    std::int32_t shiftStart = 0;
    std::int32_t shiftEnd = 0;  // exclusive
    std::array<DisplayBlock, kDisplayBlockCount> displayBlocks{};
    float viewMax = 0.0f;
    float viewMin = 0.0f;
    std::array<PositionMemoSlot, 3> positionMemo{};
    std::array<std::uint8_t, 22> reservedTail{};

    // Memo slots: 0 start (or only) position, 1 end position, 2 shift amount.
    void Memorise(int slot, std::int32_t index, float metres);
    // The remembered metres when the slot still belongs to index, else kMemoMissing.
    float RememberedMetres(int slot, std::int32_t index) const;
};

// Record layout: offsets of the stored record.
namespace step_layout {
inline constexpr std::size_t kOpType = 0;
inline constexpr std::size_t kShiftEnd = 112;
inline constexpr std::size_t kDisplayBlocks = 116;
inline constexpr std::size_t kViewMax = kDisplayBlocks + kDisplayBlockCount * kDisplayBlockBytes;
inline constexpr std::size_t kViewMin = kViewMax + 4;
inline constexpr std::size_t kPositionMemo = kViewMin + 4;
inline constexpr std::size_t kMemoStride = 10;
inline constexpr std::size_t kReservedTail = kPositionMemo + 3 * kMemoStride;
inline constexpr std::size_t kSize = kReservedTail + 22;
static_assert(kShiftEnd + 4 == kDisplayBlocks);
static_assert(kViewMax == 1052 && kViewMin == 1056 && kPositionMemo == 1060 && kReservedTail == 1090);
static_assert(kSize == 1112);
}  // namespace step_layout
inline constexpr std::size_t kProcessStepBytes = step_layout::kSize;

bool ReadProcessStep(ByteReader& in, ProcessStep& step);
void WriteProcessStep(ByteWriter& out, const ProcessStep& step);

// Byte-for-byte comparison of two records, as the chain list compares steps.
bool SameStepBytes(const ProcessStep& a, const ProcessStep& b);

}  // namespace tav
