#include "processing/fir_filter.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tav {

namespace {

// pi as the float every formula of the filter uses.
const double kPi = static_cast<float>(4.0 * std::atan(1.0));

// A computed length as an integer; NaN and anything huge count as "too long"
// and meet the record's bound, anything very negative meets the floor of 1.
std::int64_t TruncLength(double q) {
    if (std::isnan(q) || q > 1e12) return std::numeric_limits<std::int32_t>::max();
    if (q < -1e12) return -1;
    return static_cast<std::int64_t>(std::trunc(q));
}

}  // namespace

FilterPlan PlanFilter(std::int32_t n, float dt, float fLo, float fHi, std::int32_t kind) {
    FilterPlan plan;
    plan.f2 = fHi;
    plan.fs = static_cast<float>(1e6 / static_cast<double>(dt));
    if (!(dt > 0.0f) || !std::isfinite(dt) || !std::isfinite(plan.fs)) {
        plan.action = FilterPlan::Action::Unchanged;
        return plan;
    }
    std::int64_t L;
    if (kind == kHighPass) {
        if (fLo < 0.0001f) {
            plan.action = FilterPlan::Action::Unchanged;
            return plan;
        }
        plan.f1 = fLo;
        L = TruncLength(1e5 / static_cast<double>(2.0f * dt * fLo));
        if (L % 2 == 0) L -= 1;
    } else {
        plan.f1 = kind == kLowPass ? fHi : fLo;
        if (plan.f1 < 0.0001f) plan.f1 = 0.0001f;
        L = TruncLength(1e6 / static_cast<double>(dt * plan.f1));
        if (L % 2 == 0) L += 1;
    }
    const std::int64_t bound = n / 2 - 1;
    if (L > bound) {
        L = bound;
        if (L % 2 == 0) L -= 1;
    }
    if (L < 1) L = 1;
    plan.length = static_cast<std::int32_t>(L);

    const float nyquist = plan.fs / 2.0f;
    if (plan.f1 > nyquist) plan.f1 = nyquist;
    if ((kind == kBandPass || kind == kBandStop) && plan.f2 >= nyquist) {
        plan.f2 = std::nextafter(nyquist, 0.0f);
        if (kind == kBandStop && plan.f1 >= plan.f2) plan.action = FilterPlan::Action::Unchanged;
    }
    return plan;
}

std::vector<double> HannWindow(std::int32_t L) {
    std::vector<double> w(static_cast<std::size_t>(std::max(L, 0)));
    for (std::int32_t i = 0; i < L; ++i)
        w[static_cast<std::size_t>(i)] =
            0.5 * (1.0 - std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(L)));
    return w;
}

int DesignFir(std::int32_t L, std::int32_t kind, float f1, float f2, float fs, std::int32_t /*window*/,
              std::vector<float>& h) {
    h.assign(static_cast<std::size_t>(std::max(L, 0)), 0.0f);
    const double w1 = static_cast<double>(f1) / static_cast<double>(fs);
    const double w2 = static_cast<double>(f2) / static_cast<double>(fs);
    const bool band = kind == kBandPass || kind == kBandStop;
    int status = 0;
    if (L < 1 || L % 2 == 0) status = 1;
    if (kind < kLowPass || kind > kBandStop) status = 3;
    if (!(w1 >= 0.0 && w1 <= 0.5)) status = 4;  // written so that NaN fails too
    if (band && !(w2 > w1 && w2 < 0.5)) status = 4;
    if (status != 0) return status;

    const std::int32_t alpha = (L - 1) / 2;
    const double omega1 = 2.0 * kPi * w1;
    const double omega2 = band ? 2.0 * kPi * w2 : 0.0;
    const std::vector<double> w = HannWindow(L);
    for (std::int32_t i = 0; i < alpha; ++i) {
        const double s = static_cast<double>(i - alpha);
        double g = 0.0;
        switch (kind) {
            case kLowPass:
                g = std::sin(omega1 * s) / (kPi * s);
                break;
            case kHighPass:
                g = (std::sin(kPi * s) - std::sin(omega1 * s)) / (kPi * s);
                break;
            case kBandPass:
                g = (std::sin(omega2 * s) - std::sin(omega1 * s)) / (kPi * s);
                break;
            default:
                g = (std::sin(omega1 * s) + std::sin(kPi * s) - std::sin(omega2 * s)) / (kPi * s);
                break;
        }
        const float tap = static_cast<float>(g * w[static_cast<std::size_t>(i)]);
        h[static_cast<std::size_t>(i)] = tap;
        h[static_cast<std::size_t>(L - 1 - i)] = tap;
    }
    double centre = 0.0;
    switch (kind) {
        case kLowPass:
            centre = omega1 / kPi;
            break;
        case kHighPass:
            centre = 1.0 - omega1 / kPi;
            break;
        case kBandPass:
            centre = (omega2 - omega1) / kPi;
            break;
        default:
            centre = (omega1 + kPi - omega2) / kPi;
            break;
    }
    h[static_cast<std::size_t>(alpha)] = static_cast<float>(centre);
    return 0;
}

namespace {

// Thirty-two outputs y[q] = sum over j = jHigh .. jLow (descending) of h[j] p[q - j], as floats:
// every output's sum in the literal order, spread over enough independent
// vector accumulators to hide the adder's latency. The baseline build uses
// registers of two doubles (every x86-64 has them), in two passes of sixteen
// outputs. Where the processor has AVX2 and FMA a four-wide fused build runs
// instead. Both give the literal loop's results bit for bit: the product of two
// floats is exact in double, so fused or not, only the addition rounds.
constexpr std::int64_t kBlock = 32;
typedef double Vec2 __attribute__((vector_size(16)));

// The accumulators are named one by one: as an array the compiler keeps them in
// memory, and the loop then runs at the speed of store forwarding.
void AccumulateBlockSse2(const double* p, const double* h, std::int64_t jHigh, std::int64_t jLow, float* out) {
    const auto load = [](const double* at) {
        Vec2 v;  // unaligned
        std::memcpy(&v, at, sizeof v);
        return v;
    };
    for (int half = 0; half < 2; ++half) {
        Vec2 a0 = {}, a1 = {}, a2 = {}, a3 = {}, a4 = {}, a5 = {}, a6 = {}, a7 = {};
        const double* base = p + 16 * half;
        for (std::int64_t j = jHigh; j >= jLow; --j) {
            const double* q = base - j;
            const Vec2 t = {h[j], h[j]};
            a0 += t * load(q);
            a1 += t * load(q + 2);
            a2 += t * load(q + 4);
            a3 += t * load(q + 6);
            a4 += t * load(q + 8);
            a5 += t * load(q + 10);
            a6 += t * load(q + 12);
            a7 += t * load(q + 14);
        }
        float* o = out + 16 * half;
        for (const Vec2& a : {a0, a1, a2, a3, a4, a5, a6, a7}) {
            *o++ = static_cast<float>(a[0]);
            *o++ = static_cast<float>(a[1]);
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2,fma"))) void AccumulateBlockFma(const double* p, const double* h, std::int64_t jHigh,
                                                            std::int64_t jLow, float* out) {
    __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
    for (std::int64_t j = jHigh; j >= jLow; --j) {
        const double* q = p - j;
        const __m256d t = _mm256_broadcast_sd(h + j);
        a0 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q), a0);
        a1 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 4), a1);
        a2 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 8), a2);
        a3 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 12), a3);
        a4 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 16), a4);
        a5 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 20), a5);
        a6 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 24), a6);
        a7 = _mm256_fmadd_pd(t, _mm256_loadu_pd(q + 28), a7);
    }
    _mm_storeu_ps(out, _mm256_cvtpd_ps(a0));
    _mm_storeu_ps(out + 4, _mm256_cvtpd_ps(a1));
    _mm_storeu_ps(out + 8, _mm256_cvtpd_ps(a2));
    _mm_storeu_ps(out + 12, _mm256_cvtpd_ps(a3));
    _mm_storeu_ps(out + 16, _mm256_cvtpd_ps(a4));
    _mm_storeu_ps(out + 20, _mm256_cvtpd_ps(a5));
    _mm_storeu_ps(out + 24, _mm256_cvtpd_ps(a6));
    _mm_storeu_ps(out + 28, _mm256_cvtpd_ps(a7));
}

bool HasFma() {
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes;
}

void AccumulateBlock(const double* p, const double* h, std::int64_t jHigh, std::int64_t jLow, float* out) {
    if (HasFma())
        AccumulateBlockFma(p, h, jHigh, jLow, out);
    else
        AccumulateBlockSse2(p, h, jHigh, jLow, out);
}
#else
void AccumulateBlock(const double* p, const double* h, std::int64_t jHigh, std::int64_t jLow, float* out) {
    AccumulateBlockSse2(p, h, jHigh, jLow, out);
}
#endif

// out[k] = x[k] as doubles, k < count.
void Widen(const float* x, std::int64_t count, double* out) {
    std::int64_t k = 0;
#if defined(__x86_64__)
    for (; k + 4 <= count; k += 4) {
        const __m128 v = _mm_loadu_ps(x + k);
        _mm_storeu_pd(out + k, _mm_cvtps_pd(v));
        _mm_storeu_pd(out + k + 2, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
    }
#endif
    for (; k < count; ++k) out[k] = x[k];
}

void ConvolveLiteral(const float* x, const float* h, std::int32_t n, std::int32_t L, float* y) {
    const std::int64_t keep = std::max<std::int64_t>(0, static_cast<std::int64_t>(n) - (L - 1));
    std::vector<float> out(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        double acc = 0.0;
        for (std::int64_t k = std::max<std::int64_t>(0, i - L + 1); k <= i; ++k)
            acc += static_cast<double>(k < keep ? x[k] : 0.0f) * static_cast<double>(h[i - k]);
        out[static_cast<std::size_t>(i)] = static_cast<float>(acc);
    }
    std::copy(out.begin(), out.end(), y);
}

}  // namespace

void ConvolveCausal(const float* x, const float* h, std::int32_t n, std::int32_t L, float* y) {
    if (n < 1 || x == nullptr || y == nullptr) return;
    if (L < 1 || h == nullptr) {
        std::fill(y, y + n, 0.0f);
        return;
    }
    if (!std::all_of(h, h + L, [](float v) { return std::isfinite(v); })) {
        ConvolveLiteral(x, h, n, L, y);
        return;
    }
    // xp holds x' behind L - 1 leading zeros (and a block's worth of trailing
    // zeros), so that y[i] = sum over j = L-1 .. 0 of h[j] xp[i + L - 1 - j]:
    // j descending is k ascending, the literal order. Terms that only meet the
    // padding add +-0 to a sum that starts at +0, which changes no bit, so the
    // block loop may include or skip them freely.
    const std::int64_t pad = L - 1;
    const std::int64_t keep = std::max<std::int64_t>(0, static_cast<std::int64_t>(n) - pad);
    std::vector<double> xp(static_cast<std::size_t>(pad + n + kBlock), 0.0);
    Widen(x, keep, xp.data() + pad);
    const std::vector<double> hd(h, h + L);

    for (std::int64_t i0 = 0; i0 < n; i0 += kBlock) {
        // Taps that meet a kept input for at least one output of the block.
        const std::int64_t jHigh = std::min<std::int64_t>(L - 1, i0 + kBlock - 1);
        const std::int64_t jLow = std::max<std::int64_t>(0, i0 - keep + 1);
        if (i0 + kBlock <= n) {
            AccumulateBlock(xp.data() + i0 + pad, hd.data(), jHigh, jLow, y + i0);
        } else {
            float last[kBlock];
            AccumulateBlock(xp.data() + i0 + pad, hd.data(), jHigh, jLow, last);
            std::copy(last, last + (n - i0), y + i0);
        }
    }
}

int FilterWaveform(float* x, std::int32_t n, float dt, float fLo, float fHi, std::int32_t kind, std::int32_t window) {
    if (x == nullptr || n < 1) return 0;
    const FilterPlan plan = PlanFilter(n, dt, fLo, fHi, kind);
    if (plan.action == FilterPlan::Action::Unchanged) return 1;
    std::vector<float> h;
    DesignFir(plan.length, kind, plan.f1, plan.f2, plan.fs, window, h);  // a refusal leaves h zero
    ConvolveCausal(x, h.data(), n, plan.length, x);
    return 1;
}

}  // namespace tav
