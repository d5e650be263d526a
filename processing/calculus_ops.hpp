// Integration, differentiation and smoothing of a waveform.
//
// Same contract as the point-wise operations (pointwise_ops.hpp): x holds n
// floats and receives the result, the computation works on a private copy,
// intermediate arithmetic is double precision with single-precision constants
// kept as floats, n < 1 changes nothing and returns 0, and no parameter value
// makes an operation reach outside x.
#pragma once

#include <cstdint>
#include <vector>

namespace tav {

// y[0] = x[0]; y[i] = x[i] - x[i-1]. Plain differences, no division by the interval.
int Differentiate(float* x, std::int32_t n);

// Forward moving average over N samples for 20 <= i < n - N, always summing the
// unsmoothed input; samples 0..19 and the last N keep their values. Nothing
// changes when n - N <= 20 or N < 1 (N = 1 leaves the record as it is).
int Smooth(float* x, std::int32_t n, std::int32_t N);

// The running integral (Simpson-like weights 1, 4, 1 times dt * 0.00016666666f,
// dt in µs, giving mV·ms) with its tail drift removed; when that integral does
// not settle after its peak, the running trapezoid mean of x instead.
// Records of 1 or 2 samples come out finite for finite input.
int Integrate(float* x, std::int32_t n, float dt);

// The steps of Integrate, exposed for tests and for the benchmarks' reference.
namespace integration {

inline constexpr float kSixthMilli = 0.00016666666f;  // 1/6000 as the float it always was

// r[0] = 0, r[i] = r[i-1] + (x[i-1] + 4 x[i] + x[i+1]) * dt * kSixthMilli, r[n-1] = r[n-2].
// Kept in double until the result is stored, like every intermediate value.
std::vector<double> RunningIntegral(const float* x, std::int32_t n, float dt);

// Where the final same-sign run of r begins, narrowed to the run's largest
// excursion when the run overshoots its end value.
std::int32_t FindTailStart(const double* r, std::int32_t n);

struct Line {
    double intercept = 0.0;
    double slope = 0.0;
};
// Least squares over the abscissae 0..m-1; the sum of squares is rounded to a
// float as it always was. Fewer than 2 points give a flat line through the
// first value (no division by zero).
Line FitLine(const double* y, std::int32_t m);

// true when the mean |r| after the peak is at most a tenth of the peak
// (false when the peak is the last sample).
bool IntegralSettles(const double* r, std::int32_t n);

// q[0] = x[0]; q[i] = (sum over k < i of (x[k] + x[k+1]) * 0.5) / (i + 1). Kept
// as a running sum: the same additions in the same order as summing afresh for
// every i, so the same values, in linear time.
std::vector<float> RunningTrapezoidMean(const float* x, std::int32_t n);

}  // namespace integration

}  // namespace tav
