// Literal double-precision loops of the chain operations' formulas, written
// the plain way (one sum per output, the trapezoid mean summed afresh for every
// sample). The tests compare the operations with them, and the benchmarks
// measure the operations against them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tav::reference {

inline const double kPiF = static_cast<float>(4.0 * std::atan(1.0));

// y[i] = sum over k = 0..i of x'[k] h[i - k], x' = x with its last L - 1 samples zero.
inline std::vector<float> Convolve(const std::vector<float>& x, const std::vector<float>& h) {
    const auto n = static_cast<std::int64_t>(x.size());
    const auto L = static_cast<std::int64_t>(h.size());
    std::vector<float> y(x.size());
    for (std::int64_t i = 0; i < n; ++i) {
        double acc = 0.0;
        for (std::int64_t k = std::max<std::int64_t>(0, i - L + 1); k <= i; ++k) {
            const double xk = k < n - (L - 1) ? static_cast<double>(x[static_cast<std::size_t>(k)]) : 0.0;
            acc += xk * static_cast<double>(h[static_cast<std::size_t>(i - k)]);
        }
        y[static_cast<std::size_t>(i)] = static_cast<float>(acc);
    }
    return y;
}

// The multiply-adds Convolve forms: for every output, the inputs k <= i within
// reach of the L taps that are not among the last L - 1.
inline double ConvolveTerms(std::int64_t n, std::int64_t L) {
    const std::int64_t keep = std::max<std::int64_t>(0, n - (L - 1));
    double terms = 0;
    for (std::int64_t i = 0; i < n; ++i)
        terms += static_cast<double>(
            std::max<std::int64_t>(0, std::min(i, keep - 1) - std::max<std::int64_t>(0, i - L + 1) + 1));
    return terms;
}

// The windowed ideal response of every tap in double (pi and fs as floats);
// the second half mirrors the first (the window of period L is not symmetric).
inline std::vector<double> DesignTaps(int L, int kind, float f1, float f2, float fs) {
    std::vector<double> h(static_cast<std::size_t>(L));
    const int alpha = (L - 1) / 2;
    const double o1 = 2.0 * kPiF * f1 / fs, o2 = 2.0 * kPiF * f2 / fs;
    for (int i = 0; i <= alpha; ++i) {
        const double s = i - alpha;
        const double w = 0.5 * (1.0 - std::cos(2.0 * kPiF * i / L));
        double g;
        if (s == 0)
            g = kind == 1   ? o1 / kPiF
                : kind == 2 ? 1 - o1 / kPiF
                : kind == 3 ? (o2 - o1) / kPiF
                            : (o1 + kPiF - o2) / kPiF;
        else if (kind == 1)
            g = std::sin(o1 * s) / (kPiF * s) * w;
        else if (kind == 2)
            g = (std::sin(kPiF * s) - std::sin(o1 * s)) / (kPiF * s) * w;
        else if (kind == 3)
            g = (std::sin(o2 * s) - std::sin(o1 * s)) / (kPiF * s) * w;
        else
            g = (std::sin(o1 * s) + std::sin(kPiF * s) - std::sin(o2 * s)) / (kPiF * s) * w;
        h[static_cast<std::size_t>(i)] = g;
        h[static_cast<std::size_t>(L - 1 - i)] = g;
    }
    return h;
}

// The whole integration, literally, with the fallback summed afresh per sample.
inline std::vector<float> Integrate(const std::vector<float>& xf, float dt) {
    const int n = static_cast<int>(xf.size());
    std::vector<double> x(xf.begin(), xf.end()), r(static_cast<std::size_t>(n), 0.0);
    for (int i = 1; i <= n - 2; ++i) r[i] = r[i - 1] + (x[i - 1] + 4 * x[i] + x[i + 1]) * dt * 0.00016666666f;
    if (n >= 2) r[n - 1] = r[n - 2];
    // Tail start.
    const double s = r[n - 1] > 0 ? -1 : 1, v = s * r[n - 1];
    double best = v;
    int bestIdx = n - 1, t = 0;
    for (int j = n - 1; j >= 1; --j) {
        const double a = s * r[j];
        if (a == 0) {
            t = j;
            break;
        }
        if ((a > 0 && s * r[j - 1] < 0) || (a < 0 && s * r[j - 1] > 0)) {
            t = j - 1;
            break;
        }
        if (a > best) best = a, bestIdx = j;
    }
    if (bestIdx != n - 1 && bestIdx >= t)
        for (int j = t; j <= bestIdx; ++j)
            if (s * r[j] < v) {
                t = bestIdx;
                break;
            }
    const int m = n - t;
    if (static_cast<double>(m) / n > 0.1 && m >= 2) {
        double si = 0, sii = 0, sy = 0, siy = 0;
        for (int j = 0; j < m; ++j) si += j, sii += double(j) * j, sy += r[t + j], siy += double(j) * r[t + j];
        sii = static_cast<float>(sii);
        const double b = (m * siy - sy * si) / (m * sii - si * si);
        for (int j = 0; j < m; ++j) r[t + j] -= b * j;
    }
    // Settling.
    int k = 0;
    for (int i = 1; i < n; ++i)
        if (std::fabs(r[i]) > std::fabs(r[k])) k = i;
    bool settles = false;
    if (k != n - 1) {
        double tail = 0;
        for (int j = k + 1; j < n; ++j) tail += std::fabs(r[j]);
        settles = tail / (n - k - 1) <= 0.1 * std::fabs(r[k]);
    }
    std::vector<float> y(static_cast<std::size_t>(n));
    if (settles) {
        for (int i = 0; i < n; ++i) y[i] = static_cast<float>(r[i]);
        return y;
    }
    y[0] = xf[0];
    for (int i = 1; i < n; ++i) {
        double sum = 0;
        for (int q = 0; q <= i - 1; ++q) sum += (x[q] + x[q + 1]) * 0.5;
        y[i] = static_cast<float>(sum / (i + 1));
    }
    return y;
}

inline void RemoveDc(std::vector<float>& x) {
    double m = 0;
    for (float v : x) m += v;
    m /= static_cast<double>(x.size());
    for (float& v : x) v = static_cast<float>(v - m);
}

inline void ZeroLinear(std::vector<float>& x) {
    const double n = static_cast<double>(x.size()), v = x.back();
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(x[i] + static_cast<double>(i) * (-v / n));
}

inline void MagnifyExponential(std::vector<float>& x, float factor, int s, int e) {
    const int n = static_cast<int>(x.size());
    const double r = std::log(static_cast<double>(factor)) / (n - s);
    for (int i = s; i < n; ++i) x[i] = static_cast<float>(x[i] * std::exp(r * (std::min(i, e) - s)));
}

inline void Smooth(std::vector<float>& x, int N) {
    const std::vector<float> c = x;
    const int n = static_cast<int>(x.size());
    for (int i = 20; i < n - N; ++i) {
        double sum = 0;
        for (int k = 0; k < N; ++k) sum += c[i + k];
        x[i] = static_cast<float>(sum / N);
    }
}

// The relative difference of a float from a reference in units of the float
// rounding (2^-24) of the larger magnitude involved (at least `floor`).
inline double RoundingUnits(float got, double want, double floor = 1e-30) {
    const double scale = std::max({std::fabs(want), std::fabs(static_cast<double>(got)), floor});
    return std::fabs(static_cast<double>(got) - want) / (scale * 0x1p-24);
}

}  // namespace tav::reference
