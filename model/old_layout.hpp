// The compact test point layout of the older project files ("CWH01", "TAV02",
// "TAV03", "TAV05"). It keeps a waveform's processing as a few fixed fields;
// reading turns them into chain entries, and the loader runs them (see
// processing/old_record_chain.hpp), so a test point from an old file looks in
// memory like any other.
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
// over from its constructed state) and hands back, in collected, the chain
// entries its old processing fields stand for, in the order they were read;
// tp's samples are the raw ones until the loader builds and runs the chain.
// 1 on success, 0 when a count is out of range or the bytes it announces are
// not there. Conversions that need the record's own parameters (a
// magnification start in metres, defect positions) use tp itself, which is the
// record's place in the working set while a file loads.
int ReadOldTestPoint(ByteReader& in, int version, TestPoint& tp, std::vector<ProcessStep>& collected);

// What the loader needs from the processing layer to finish an old record:
// model/ reads records but runs no operation on their samples.
class OldRecordChain {
public:
    virtual ~OldRecordChain() = default;
    // Turns the entries ReadOldTestPoint collected into tp's chain and runs it.
    virtual void Build(TestPoint& tp, std::span<const ProcessStep> collected) const = 0;
    // The automatic magnification of version 5 records (tp's head located).
    virtual void AutoMagnify(TestPoint& tp) const = 0;
};

}  // namespace tav
