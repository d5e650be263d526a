// The clipboard block: a snapshot of copied test points as one flat byte
// block, the way the workstation exchanges test points between projects and
// between two running copies of itself.
//
// Layout (little-endian): a 240-byte snapshot head (kind, count, a pointer
// slot, mode, index, target, the 216-byte project header image), then for each
// test point its 1376-byte record image followed by its arrays in record order
// (raw samples, processed samples, steps, defects, spectrum marks, correlation
// marks, wavelet levels, wavelet positions). Pointer slots are written as
// zero: another program may read the clipboard, and addresses say nothing
// to it. A block is outside input: a reader takes it only when every count
// agrees with the bytes and the block ends exactly where its content does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/snapshot.hpp"

namespace tav {

inline constexpr std::string_view kClipboardFormatName = "QRVTAV_COPY_PAST";

namespace clip_layout {
// Snapshot head.
inline constexpr std::size_t kKind = 0;
inline constexpr std::size_t kCount = 4;
inline constexpr std::size_t kPointsSlot = 8;
inline constexpr std::size_t kMode = 12;
inline constexpr std::size_t kIndex = 16;
inline constexpr std::size_t kTarget = 20;
inline constexpr std::size_t kHeader = 24;
inline constexpr std::size_t kHeaderBytes = 216;  // 212 bytes of fields, padded to 4
inline constexpr std::size_t kHeadBytes = kHeader + kHeaderBytes;
static_assert(kHeadBytes == 240);

// Record image of one test point.
inline constexpr std::size_t kRawCount = 128;
inline constexpr std::size_t kSampleCount = 136;
inline constexpr std::size_t kStepCount = 144;
inline constexpr std::size_t kLastParams = 152;
inline constexpr std::size_t kDefectCount = 1264;
inline constexpr std::size_t kSpectrumCount = 1272;
inline constexpr std::size_t kCorrelationCount = 1280;
inline constexpr std::size_t kWaveletCount = 1288;
inline constexpr std::size_t kChecked = 1300;
inline constexpr std::size_t kHeadValid = 1304;
inline constexpr std::size_t kToeValid = 1308;
inline constexpr std::size_t kRuntimeWord = 1312;
inline constexpr std::size_t kNote = 1316;
inline constexpr std::size_t kToePending = 1368;
inline constexpr std::size_t kScalePending = 1372;
inline constexpr std::size_t kRecordBytes = 1376;
static_assert(kLastParams + 1112 == kDefectCount && kNote + 50 + 2 == kToePending);
static_assert(kScalePending + 4 == kRecordBytes);
}  // namespace clip_layout

// The exact size of the block of a snapshot.
std::size_t ClipboardBlockSize(const Snapshot& snapshot);
std::vector<std::uint8_t> WriteClipboardBlock(const Snapshot& snapshot);
// The snapshot of a block, or nothing when the block does not add up.
std::optional<Snapshot> ReadClipboardBlock(std::span<const std::uint8_t> block);

}  // namespace tav
