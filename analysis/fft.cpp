#include "analysis/fft.hpp"

#include <cmath>
#include <numbers>
#include <vector>

namespace tav {

namespace {

constexpr float kTwoPi = 6.2831855f;

std::uint32_t ReverseBits(std::uint32_t v, std::int32_t bits) {
    std::uint32_t r = 0;
    for (std::int32_t b = 0; b < bits; ++b) {
        r = (r << 1) | (v & 1u);
        v >>= 1;
    }
    return r;
}

}  // namespace

FftSize FftSizeFor(std::int32_t n) {
    FftSize s{1, 0};
    while (s.m < n) {
        if (s.log2m == kMaxFftLog2) return {};
        s.m *= 2;
        ++s.log2m;
    }
    return s;
}

void Fft(float* re, float* im, std::int32_t m, std::int32_t log2m, float* outRe, float* outIm, bool inverse) {
    if (m <= 0) return;
    for (std::int32_t t = 0; t < m; ++t) {
        const auto r = ReverseBits(static_cast<std::uint32_t>(t), log2m);
        outRe[t] = re[r];
        outIm[t] = im[r];
    }
    if (m == 1) return;

    // Twiddles w_i = w_1^i, each rounded to float before the next product.
    const double angle = static_cast<double>(kTwoPi) / m;
    re[0] = 1.0f;
    im[0] = 0.0f;
    re[1] = static_cast<float>(std::cos(angle));
    im[1] = static_cast<float>(inverse ? std::sin(angle) : -std::sin(angle));
    const double c = re[1];
    const double d = im[1];
    for (std::int32_t i = 2; i < m; ++i) {
        const double a = re[i - 1];
        const double b = im[i - 1];
        const double ac = a * c;
        const double bd = b * d;
        re[i] = static_cast<float>(ac - bd);
        im[i] = static_cast<float>((a + b) * (c + d) - ac - bd);
    }

    for (std::int32_t t = 0; t + 1 < m; t += 2) {
        const float r0 = outRe[t], r1 = outRe[t + 1];
        outRe[t] = r0 + r1;
        outRe[t + 1] = r0 - r1;
        const float i0 = outIm[t], i1 = outIm[t + 1];
        outIm[t] = i0 + i1;
        outIm[t + 1] = i0 - i1;
    }

    std::int32_t blocks = m / 2;
    std::int32_t v = 2;
    for (std::int32_t stage = 1; stage < log2m; ++stage) {
        blocks /= 2;
        v *= 2;
        const std::int32_t half = v / 2;
        for (std::int32_t t = 0; t <= (blocks - 1) * v; t += v) {
            for (std::int32_t j = 0; j < half; ++j) {
                const double wr = re[blocks * j];
                const double wi = im[blocks * j];
                const std::int32_t lo = t + j;
                const std::int32_t hi = lo + half;
                const double xr = outRe[hi];
                const double xi = outIm[hi];
                const double rr = wr * xr;
                const double ii = wi * xi;
                const float pr = static_cast<float>(rr - ii);
                const float pi = static_cast<float>((wr + wi) * (xr + xi) - rr - ii);
                outRe[hi] = outRe[lo] - pr;
                outIm[hi] = outIm[lo] - pi;
                outRe[lo] += pr;
                outIm[lo] += pi;
            }
        }
    }

    if (inverse) {
        const float scale = static_cast<float>(m);
        for (std::int32_t i = 0; i < m; ++i) {
            outRe[i] /= scale;
            outIm[i] /= scale;
        }
    }
}

void DirectDft(const float* re, const float* im, std::int32_t m, double* outRe, double* outIm, bool inverse) {
    const double sign = inverse ? 1.0 : -1.0;
    std::vector<double> cs(static_cast<std::size_t>(m)), sn(static_cast<std::size_t>(m));
    for (std::int32_t t = 0; t < m; ++t) {
        const double a = sign * 2.0 * std::numbers::pi * t / m;
        cs[static_cast<std::size_t>(t)] = std::cos(a);
        sn[static_cast<std::size_t>(t)] = std::sin(a);
    }
    for (std::int32_t k = 0; k < m; ++k) {
        double sr = 0.0, si = 0.0;
        std::int64_t jk = 0;
        for (std::int32_t j = 0; j < m; ++j, jk += k) {
            const auto t = static_cast<std::size_t>(jk % m);
            sr += re[j] * cs[t] - im[j] * sn[t];
            si += re[j] * sn[t] + im[j] * cs[t];
        }
        outRe[k] = inverse ? sr / m : sr;
        outIm[k] = inverse ? si / m : si;
    }
}

}  // namespace tav
