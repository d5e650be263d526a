// The digital filter step: a linear-phase FIR filter designed by the window
// method with a Hann window, applied as a plain causal convolution (no
// transform), so the output lags the input by (L - 1) / 2 samples.
//
// The coefficients are deliberately not normalised: a low-pass passes DC with
// the gain sum(h), e.g. about 0.81 for 300 Hz at 20 µs, and a short high-pass
// about 0.95. Every stored result was computed that way; do not "fix" it.
//
// Same conventions as the other operations: x holds n floats and receives the
// result, intermediate arithmetic is double precision, pi is 4 atan(1) rounded
// to a float, fs = 1e6 / dt is held as a float, and no parameter value makes
// the filter reach outside x.
#pragma once

#include <cstdint>
#include <vector>

#include "model/process_step.hpp"  // FilterKind

namespace tav {

inline constexpr std::int32_t kHannWindow = 4;  // the only window there is

// The length and cut-offs FilterWaveform uses for a record of n samples.
struct FilterPlan {
    enum class Action {
        Filter,     // convolve with DesignFir(length, kind, f1, f2, fs)
        Unchanged,  // the waveform passes as it is
    };
    Action action = Action::Filter;
    std::int32_t length = 1;  // taps, odd, 1 <= length and length <= max(1, n/2 - 1)
    float fs = 0.0f;          // 1e6 / dt
    float f1 = 0.0f;          // first cut-off after the 0.0001 Hz floor and the fs/2 ceiling
    float f2 = 0.0f;          // upper cut-off of band-pass and band-stop
};

// Length rules:
// - high-pass: fLo < 0.0001 Hz leaves the waveform unchanged; otherwise
//   L = trunc(1e5 / (2 dt fLo)) = fs / (20 fLo), an even L made odd by L - 1;
// - other kinds: f1 = fHi for low-pass, fLo otherwise, raised to 0.0001 Hz;
//   L = trunc(1e6 / (dt f1)) = fs / f1, an even L made odd by L + 1;
// - then L is at most n/2 - 1 (made odd by - 1) and at least 1, and f1 at most fs/2.
// Rules of this implementation where the design had no sound answer:
// - dt not a positive finite number: there is no sampling rate, the waveform
//   passes unchanged;
// - band-pass or band-stop whose upper cut-off reaches fs/2: the upper cut-off
//   is lowered to the largest float below fs/2, so a band-pass up to the
//   Nyquist frequency acts as a high-pass from fLo and a band-stop as a
//   low-pass up to fLo (the design would refuse fs/2 and zero the record). When
//   even the lower cut-off reaches fs/2 the band lies wholly above what the
//   sampling holds: a band-stop then passes the waveform unchanged, a band-pass
//   passes nothing.
// Any other refused design (unknown kind, upper cut-off not above the lower,
// NaN cut-offs) keeps the designed outcome: zero coefficients, zero output.
FilterPlan PlanFilter(std::int32_t n, float dt, float fLo, float fHi, std::int32_t kind);

// Filters x in place with the plan's filter. Returns 1, or 0 when n < 1.
int FilterWaveform(float* x, std::int32_t n, float dt, float fLo, float fHi, std::int32_t kind,
                   std::int32_t window = kHannWindow);

// Hann window of period L: w[i] = 0.5 (1 - cos(2 pi i / L)), i = 0..L-1.
std::vector<double> HannWindow(std::int32_t L);

// Fills h with L coefficients (max(L, 0) of them) and returns the status:
// 0 success; 1 L even or below 1; 3 kind not 1..4; 4 w1 = f1/fs outside
// [0, 0.5], or for band kinds w2 = f2/fs not in (w1, 0.5). The last failing
// check decides; on any failure h is all zero. Taps h[i] = g(i - alpha) w[i]
// mirrored, with the centre tap unwindowed (low-pass w1 * 2, high-pass
// 1 - 2 w1, band-pass 2 (w2 - w1), band-stop 1 - 2 (w2 - w1)).
int DesignFir(std::int32_t L, std::int32_t kind, float f1, float f2, float fs, std::int32_t window,
              std::vector<float>& h);

// y[i] = sum over k = 0..i of x'[k] h[i - k] accumulated in double, where x' is
// x with its last L - 1 samples taken as zero and h is zero beyond L - 1. y may
// be x itself. Vectorised over outputs, each sum is still formed in the literal
// order (k ascending), so the results are the literal loop's bit for bit; the
// fused multiply-add of AVX2 machines keeps that, as a float times a float is
// exact in double and only the addition rounds.
// h is expected finite (DesignFir's always is); with a non-finite tap the
// literal loop runs instead.
// A long convolution (about 2 million multiply-adds and more) is shared among
// the processor's cores (RunSideBySide), each output still computed whole by
// one thread; any thread may call this, also several at once.
// kernel: the fastest the processor has (four-wide fused multiply-add where
// there is AVX2 and FMA), or the one every processor runs, for the tests.
enum class ConvolveKernel { Fastest, Portable };
void ConvolveCausal(const float* x, const float* h, std::int32_t n, std::int32_t L, float* y,
                    ConvolveKernel kernel = ConvolveKernel::Fastest);

}  // namespace tav
