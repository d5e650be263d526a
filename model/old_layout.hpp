// The compact test point layout of the older project files ("CWH01", "TAV02",
// "TAV03", "TAV05"). It keeps a waveform's processing as a few fixed fields;
// reading turns them into chain entries and applies them, so a test point from
// an old file looks in memory like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/test_point.hpp"

namespace tav {

class ByteReader;

// Versions whose test points use the old layout.
inline bool IsOldLayout(int version) { return version == 1 || version == 2 || version == 3 || version == 5; }

namespace old_layout {
// Items 1 to 9: record number .. instrument value (version 5: a 20-byte pile number).
inline constexpr std::size_t kIdentityBytes = 2 + 10 + 2 + 2 + 20 + 2 + 2 + 2 + 4;
inline constexpr std::size_t kWidePileNoBytes = 20;
inline constexpr std::size_t kCwhSkippedBytes = 50;          // item 10, version 1
inline constexpr std::size_t kProcessingFieldBytes = 5 * 2;  // items 11 to 15
inline constexpr std::size_t kTav03FixedBytes = 4 + 2 + 2;   // items 16 to 18
inline constexpr std::size_t kLocalScaleBytes = 4 + 2 + 2;   // one entry of item 19
inline constexpr std::size_t kReservedBytes = 40;            // item 20
// Items 21 to 36: pile length .. the block before the samples.
inline constexpr std::size_t kWaveBytes = 4 + 2 + 4 + 2 + 2 + 4 + 4 + 4 + 4 + 2 + 2 + 2 + 10 * 6 + 12 + 2 + 36;
inline constexpr int kDefectPairs = 10;
// More low-pass passes than this mark a damaged record (see ReadOldTestPoint).
inline constexpr std::int16_t kMaxOldLowPassPasses = 16;
static_assert(kIdentityBytes == 46);
static_assert(kIdentityBytes + kProcessingFieldBytes + kReservedBytes == 96);
static_assert(kWaveBytes == 146);
}  // namespace old_layout

// Reads one old-layout test point of the given version into tp (which starts
// over from its constructed state), builds its chain from the old processing
// fields and applies it. 1 on success, 0 when a count is out of range or the
// bytes it announces are not there. Conversions that need the record's own
// parameters (a magnification start in metres, defect positions) use tp itself,
// which is the record's place in the working set while a file loads.
int ReadOldTestPoint(ByteReader& in, int version, TestPoint& tp);

// Turns the entries collected from the old fields into tp's chain, in the
// order the old program applied its fields, with the two baseline shifts and
// the rescaled data shifts. Nothing happens for 10 or fewer processed samples.
void BuildChainFromOldFields(TestPoint& tp, std::span<const ProcessStep> collected);

// The automatic magnification of version 5 records: a pile toe echo much
// weaker than the head pulse gets an exponential magnification from halfway
// between head and toe. Uses tp.headIndex as the head. Expects tp's samples to
// be its chain's result, as the reader leaves them: only the new entry runs.
void AutoMagnifyOldRecord(TestPoint& tp);

}  // namespace tav
