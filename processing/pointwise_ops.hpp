// The chain operations that reshape a waveform sample by sample: reversal, DC
// removal, data shift, rotation, magnification, local scaling and the four
// zeroing operations.
//
// Common contract of every function here:
// - x holds n 32-bit samples (mV); the result replaces them. Every result
//   sample is computed from the unchanged input (through a private copy where
//   samples move), so no output feeds a later one.
// - Intermediate arithmetic is in double precision; results are rounded to
//   float once, when stored. The single-precision constants named below are
//   part of the formulas and are kept as floats.
// - n < 1 (or x == nullptr) leaves everything as it is and returns 0; otherwise
//   the result is 1 (ShiftData also returns 0 for an invalid range). No
//   operation changes n, and no parameter value (negative, huge, NaN) makes one
//   read or write outside x.
#pragma once

#include <cstdint>

namespace tav {

// y[i] = -x[i]. Applying it twice restores the samples bit for bit.
int Reverse(float* x, std::int32_t n);

// Subtracts the mean of x[s..n-1]. s = dcStart clamped at 0 for mode 2, 0 for
// any other mode; a mode 2 start at or beyond the end changes nothing.
int RemoveDc(float* x, std::int32_t n, std::int32_t dcMode, std::int32_t dcStart);

// Shifts [a, b) by shiftX samples (positive: later), repeating the range's
// first (or last) value into the gap, then adds shiftY to [a, b). The range is
// the whole record for mode 0, [shiftStart, shiftEnd) for mode 1; a mode 1
// range that is reversed or reaches outside the record changes nothing and
// returns 0. shiftX is clamped to the range's length.
int ShiftData(float* x, std::int32_t n, std::int32_t shiftX, float shiftY, std::int32_t shiftMode,
              std::int32_t shiftStart, std::int32_t shiftEnd);

// Adds the ramp (i - s) * tan(angle) * rotateScale * 0.55 from s on. s = 0, or
// rotateStart clamped at 0 when the mode is non-zero (a start at or beyond the
// end changes nothing). The angle is kept inside (-pi/2, pi/2): at or beyond
// either end it becomes +-(h - 0.001) with h = pi/2 as a float.
int Rotate(float* x, std::int32_t n, std::int32_t rotateMode, std::int32_t rotateStart, float rotateAngle,
           float rotateScale);

// Gain growing from 1 at s = max(magnifyStart, 0) towards magnifyFactor at the
// end. Linear mode (non-zero): gain (i - s) * k + 1 with k = factor / (n - s)
// rounded to a float. Exponential mode (0): gain exp(ln(factor) / (n - s) * (i - s))
// up to the limit index e (n when limit <= 0), constant from e on; e <= s
// changes nothing. A factor that has no logarithm (<= 0 or NaN) leaves an
// exponential magnification without effect instead of filling the record
// with NaN. A start at or beyond the end changes nothing.
int Magnify(float* x, std::int32_t n, float magnifyFactor, std::int32_t magnifyStart, std::int32_t magnifyMode,
            std::int32_t limitIndex);

// Multiplies x[a..b] (both included) by scaleFactor, with a = scaleStart
// clamped to [0, n] and b = scaleEnd clamped to [0, n - 1]; nothing when a >= b.
int LocalScale(float* x, std::int32_t n, std::int32_t scaleStart, std::int32_t scaleEnd, float scaleFactor);

// Zeroes the samples before frontZeroPos (clamped to [0, n]).
int ZeroFront(float* x, std::int32_t n, std::int32_t frontZeroPos);

// Zeroes the samples from rearZeroPos (clamped to [0, n]) to the end.
int ZeroRear(float* x, std::int32_t n, std::int32_t rearZeroPos);

// Brings the record's end back towards zero with a ramp from s: s = start for
// mode 1, the pile toe for mode 2, 0 otherwise (negative s counts as 0; s >= n
// changes nothing). With v the last sample and D = n - s:
// linear y[i] = x[i] - (i - s) * v / D, non-linear y[i] = x[i] - (i - s)^2 * v / D / D.
// The last sample ends at v / D, not at zero.
int ZeroLinear(float* x, std::int32_t n, std::int32_t toeIndex, std::int32_t mode, std::int32_t start);
int ZeroNonlinear(float* x, std::int32_t n, std::int32_t toeIndex, std::int32_t mode, std::int32_t start);

}  // namespace tav
