// The radix-2 transform behind every spectrum. Single precision throughout:
// the twiddle factors come from a recurrence whose rounding accumulates along
// the table, and the spectra that people compare against earlier results
// depend on exactly that rounding.
#pragma once

#include <cstdint>

namespace tav {

inline constexpr int kMaxFftLog2 = 17;

// Smallest power of two >= n (n >= 1), with its logarithm; 0 when n exceeds 2^17.
struct FftSize {
    std::int32_t m = 0;
    std::int32_t log2m = 0;
};
FftSize FftSizeFor(std::int32_t n);

// Transforms (re, im) of m = 2^log2m points into (outRe, outIm) in natural
// order. Forward: X_k = sum x_j e^(-2 pi i jk/m), unscaled; inverse: the
// conjugate kernel and both outputs divided by m. re and im are scratch: they
// hold the twiddle table afterwards, so callers pass copies.
void Fft(float* re, float* im, std::int32_t m, std::int32_t log2m, float* outRe, float* outIm, bool inverse);

// The same transform step by step as written above, the twiddle table built
// anew on every call: the reference that Fft's results equal bit for bit.
void FftLiteral(float* re, float* im, std::int32_t m, std::int32_t log2m, float* outRe, float* outIm, bool inverse);

// The direct O(m^2) sum in double precision; a reference for tests and benchmarks.
void DirectDft(const float* re, const float* im, std::int32_t m, double* outRe, double* outIm, bool inverse);

}  // namespace tav
