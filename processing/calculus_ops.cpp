#include "processing/calculus_ops.hpp"

#include <algorithm>
#include <cmath>

namespace tav {

int Differentiate(float* x, std::int32_t n) {
    if (x == nullptr || n < 1) return 0;
    // Backwards, so that every difference still sees the unchanged input.
    for (std::int32_t i = n - 1; i >= 1; --i)
        x[i] = static_cast<float>(static_cast<double>(x[i]) - static_cast<double>(x[i - 1]));
    return 1;
}

int Smooth(float* x, std::int32_t n, std::int32_t N) {
    if (x == nullptr || n < 1) return 0;
    if (N < 1) return 1;
    const std::int64_t end = static_cast<std::int64_t>(n) - N;
    if (end <= 20) return 1;
    // Output i reads x[i..i+N-1] only, so ascending in place never reads a result.
    for (std::int64_t i = 20; i < end; ++i) {
        double sum = 0.0;
        for (std::int64_t k = i; k < i + N; ++k) sum += x[k];
        x[i] = static_cast<float>(sum / static_cast<double>(N));
    }
    return 1;
}

namespace integration {

std::vector<double> RunningIntegral(const float* x, std::int32_t n, float dt) {
    std::vector<double> r(static_cast<std::size_t>(std::max(n, 0)), 0.0);
    if (n < 2) return r;
    for (std::int32_t i = 1; i <= n - 2; ++i) {
        const double w =
            static_cast<double>(x[i - 1]) + 4.0 * static_cast<double>(x[i]) + static_cast<double>(x[i + 1]);
        r[static_cast<std::size_t>(i)] =
            r[static_cast<std::size_t>(i - 1)] + w * static_cast<double>(dt) * static_cast<double>(kSixthMilli);
    }
    r[static_cast<std::size_t>(n - 1)] = r[static_cast<std::size_t>(n - 2)];
    return r;
}

std::int32_t FindTailStart(const double* r, std::int32_t n) {
    if (n < 1) return 0;
    const double s = r[n - 1] > 0.0 ? -1.0 : 1.0;
    const double v = s * r[n - 1];
    double best = v;
    std::int32_t bestIdx = n - 1;
    std::int32_t t = 0;
    for (std::int32_t j = n - 1; j >= 1; --j) {
        const double a = s * r[j];
        const double before = s * r[j - 1];
        if (a == 0.0) {
            t = j;
            break;
        }
        if ((a > 0.0 && before < 0.0) || (a < 0.0 && before > 0.0)) {
            t = j - 1;
            break;
        }
        if (a > best) {
            best = a;
            bestIdx = j;
        }
    }
    if (bestIdx != n - 1 && bestIdx >= t) {
        for (std::int32_t j = t; j <= bestIdx; ++j) {
            if (s * r[j] < v) {
                t = bestIdx;
                break;
            }
        }
    }
    return t;
}

Line FitLine(const double* y, std::int32_t m) {
    if (m < 1) return {};
    if (m < 2) return {y[0], 0.0};
    double si = 0.0, siiSum = 0.0, sy = 0.0, siy = 0.0;
    for (std::int32_t j = 0; j < m; ++j) {
        const double dj = j;
        si += dj;
        siiSum += dj * dj;
        sy += y[j];
        siy += dj * y[j];
    }
    const double sii = static_cast<float>(siiSum);
    const double dm = m;
    const double d = dm * sii - si * si;
    if (d == 0.0) return {sy / dm, 0.0};
    return {(sy * sii - siy * si) / d, (dm * siy - sy * si) / d};
}

bool IntegralSettles(const double* r, std::int32_t n) {
    if (n < 1) return false;
    std::int32_t k = 0;
    double peak = std::fabs(r[0]);
    for (std::int32_t i = 1; i < n; ++i) {
        if (std::fabs(r[i]) > peak) {
            peak = std::fabs(r[i]);
            k = i;
        }
    }
    if (k == n - 1) return false;
    double tail = 0.0;
    for (std::int32_t j = k + 1; j < n; ++j) tail += std::fabs(r[j]);
    return tail / static_cast<double>(n - k - 1) <= 0.1 * peak;
}

std::vector<float> RunningTrapezoidMean(const float* x, std::int32_t n) {
    std::vector<float> q(static_cast<std::size_t>(std::max(n, 0)));
    if (n < 1) return q;
    q[0] = x[0];
    double sum = 0.0;
    for (std::int32_t i = 1; i < n; ++i) {
        sum += (static_cast<double>(x[i - 1]) + static_cast<double>(x[i])) * 0.5;
        q[static_cast<std::size_t>(i)] = static_cast<float>(sum / static_cast<double>(i + 1));
    }
    return q;
}

}  // namespace integration

int Integrate(float* x, std::int32_t n, float dt) {
    using namespace integration;
    if (x == nullptr || n < 1) return 0;
    std::vector<double> r = RunningIntegral(x, n, dt);
    const std::int32_t t = FindTailStart(r.data(), n);
    const std::int32_t m = n - t;
    if (static_cast<double>(m) / static_cast<double>(n) > 0.1) {
        const double slope = FitLine(r.data() + t, m).slope;
        for (std::int32_t j = 0; j < m; ++j) r[static_cast<std::size_t>(t + j)] -= slope * static_cast<double>(j);
    }
    if (!IntegralSettles(r.data(), n)) {
        const std::vector<float> q = RunningTrapezoidMean(x, n);
        std::copy(q.begin(), q.end(), x);
        return 1;
    }
    for (std::int32_t i = 0; i < n; ++i) x[i] = static_cast<float>(r[static_cast<std::size_t>(i)]);
    return 1;
}

}  // namespace tav
