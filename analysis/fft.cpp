#include "analysis/fft.hpp"

#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// Everything about a transform that depends on its size and direction alone,
// made once per size and kept: the twiddle table of the recurrence, the same
// factors laid out stage by stage in the order the butterflies read them, and
// the bit-reversed index of every output.
struct FftPlan {
    std::vector<float> twRe, twIm;
    // The stage whose butterflies span `half` reads its factor j (j < half) at
    // half - 2 + j: w_(j * M / 2 half) of the table above.
    std::vector<float> stageRe, stageIm;
    std::vector<std::uint32_t> reversed;
};

// Twiddles w_i = w_1^i, each rounded to float before the next product.
void BuildTwiddles(std::int32_t m, bool inverse, float* re, float* im) {
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
}

void BuildPlan(std::int32_t log2m, bool inverse, FftPlan& plan) {
    const std::int32_t m = 1 << log2m;
    const auto size = static_cast<std::size_t>(m);
    plan.twRe.resize(size);
    plan.twIm.resize(size);
    BuildTwiddles(m, inverse, plan.twRe.data(), plan.twIm.data());
    plan.stageRe.resize(size);
    plan.stageIm.resize(size);
    for (std::int32_t half = 2; half < m; half *= 2) {
        const std::int32_t stride = m / (2 * half);
        for (std::int32_t j = 0; j < half; ++j) {
            plan.stageRe[static_cast<std::size_t>(half - 2 + j)] = plan.twRe[static_cast<std::size_t>(stride * j)];
            plan.stageIm[static_cast<std::size_t>(half - 2 + j)] = plan.twIm[static_cast<std::size_t>(stride * j)];
        }
    }
    plan.reversed.resize(size);
    for (std::int32_t t = 0; t < m; ++t)
        plan.reversed[static_cast<std::size_t>(t)] = ReverseBits(static_cast<std::uint32_t>(t), log2m);
}

const FftPlan& PlanFor(std::int32_t log2m, bool inverse) {
    constexpr std::size_t kSlots = 2 * (kMaxFftLog2 + 1);
    static std::array<std::once_flag, kSlots> once;
    static std::array<FftPlan, kSlots> plans;
    const auto slot = static_cast<std::size_t>(2 * log2m + (inverse ? 1 : 0));
    std::call_once(once[slot], [&] { BuildPlan(log2m, inverse, plans[slot]); });
    return plans[slot];
}

// One butterfly: the product p = w x formed in double from float factors as
// (w.re x.re - w.im x.im, (w.re + w.im)(x.re + x.im) - w.re x.re - w.im x.im),
// each part rounded to float; then x := lo - p and lo += p.
inline void Butterfly(float& loRe, float& loIm, float& hiRe, float& hiIm, double wr, double wi) {
    const double xr = hiRe;
    const double xi = hiIm;
    const double rr = wr * xr;
    const double ii = wi * xi;
    const float pr = static_cast<float>(rr - ii);
    const float pi = static_cast<float>((wr + wi) * (xr + xi) - rr - ii);
    hiRe = loRe - pr;
    hiIm = loIm - pi;
    loRe += pr;
    loIm += pi;
}

void LaterStagesScalar(const FftPlan& plan, std::int32_t m, float* outRe, float* outIm) {
    for (std::int32_t half = 2; half < m; half *= 2) {
        const float* wRe = plan.stageRe.data() + (half - 2);
        const float* wIm = plan.stageIm.data() + (half - 2);
        for (std::int32_t t = 0; t < m; t += 2 * half) {
            for (std::int32_t j = 0; j < half; ++j) {
                const std::int32_t lo = t + j;
                const std::int32_t hi = lo + half;
                Butterfly(outRe[lo], outIm[lo], outRe[hi], outIm[hi], wRe[j], wIm[j]);
            }
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same butterflies four at a time: every lane performs the scalar
// butterfly's operations in the scalar order and rounding (no fused
// multiply-add), so the results are the same bits.
#define TAV_AVX __attribute__((target("avx")))

TAV_AVX inline void Butterfly4(__m128& loRe, __m128& loIm, __m128& hiRe, __m128& hiIm, __m128 wRe, __m128 wIm) {
    const __m256d xr = _mm256_cvtps_pd(hiRe);
    const __m256d xi = _mm256_cvtps_pd(hiIm);
    const __m256d wr = _mm256_cvtps_pd(wRe);
    const __m256d wi = _mm256_cvtps_pd(wIm);
    const __m256d rr = _mm256_mul_pd(wr, xr);
    const __m256d ii = _mm256_mul_pd(wi, xi);
    const __m128 pr = _mm256_cvtpd_ps(_mm256_sub_pd(rr, ii));
    const __m256d cross = _mm256_mul_pd(_mm256_add_pd(wr, wi), _mm256_add_pd(xr, xi));
    const __m128 pi = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_sub_pd(cross, rr), ii));
    hiRe = _mm_sub_ps(loRe, pr);
    hiIm = _mm_sub_ps(loIm, pi);
    loRe = _mm_add_ps(loRe, pr);
    loIm = _mm_add_ps(loIm, pi);
}

// The stage of span 2 on two blocks at once: lanes (t, t+1, t+4, t+5) against
// (t+2, t+3, t+6, t+7).
TAV_AVX void SpanTwoStage(const FftPlan& plan, std::int32_t m, float* outRe, float* outIm) {
    const __m128 wRe = _mm_setr_ps(plan.stageRe[0], plan.stageRe[1], plan.stageRe[0], plan.stageRe[1]);
    const __m128 wIm = _mm_setr_ps(plan.stageIm[0], plan.stageIm[1], plan.stageIm[0], plan.stageIm[1]);
    for (std::int32_t t = 0; t < m; t += 8) {
        const __m128 aRe = _mm_loadu_ps(outRe + t), bRe = _mm_loadu_ps(outRe + t + 4);
        const __m128 aIm = _mm_loadu_ps(outIm + t), bIm = _mm_loadu_ps(outIm + t + 4);
        __m128 loRe = _mm_shuffle_ps(aRe, bRe, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 hiRe = _mm_shuffle_ps(aRe, bRe, _MM_SHUFFLE(3, 2, 3, 2));
        __m128 loIm = _mm_shuffle_ps(aIm, bIm, _MM_SHUFFLE(1, 0, 1, 0));
        __m128 hiIm = _mm_shuffle_ps(aIm, bIm, _MM_SHUFFLE(3, 2, 3, 2));
        Butterfly4(loRe, loIm, hiRe, hiIm, wRe, wIm);
        _mm_storeu_ps(outRe + t, _mm_shuffle_ps(loRe, hiRe, _MM_SHUFFLE(1, 0, 1, 0)));
        _mm_storeu_ps(outRe + t + 4, _mm_shuffle_ps(loRe, hiRe, _MM_SHUFFLE(3, 2, 3, 2)));
        _mm_storeu_ps(outIm + t, _mm_shuffle_ps(loIm, hiIm, _MM_SHUFFLE(1, 0, 1, 0)));
        _mm_storeu_ps(outIm + t + 4, _mm_shuffle_ps(loIm, hiIm, _MM_SHUFFLE(3, 2, 3, 2)));
    }
}

TAV_AVX void LaterStagesAvx(const FftPlan& plan, std::int32_t m, float* outRe, float* outIm) {
    SpanTwoStage(plan, m, outRe, outIm);
    for (std::int32_t half = 4; half < m; half *= 2) {
        const float* wRe = plan.stageRe.data() + (half - 2);
        const float* wIm = plan.stageIm.data() + (half - 2);
        for (std::int32_t t = 0; t < m; t += 2 * half) {
            float* lr = outRe + t;
            float* li = outIm + t;
            float* hr = lr + half;
            float* hi = li + half;
            for (std::int32_t j = 0; j < half; j += 4) {
                __m128 loRe = _mm_loadu_ps(lr + j), loIm = _mm_loadu_ps(li + j);
                __m128 hiRe = _mm_loadu_ps(hr + j), hiIm = _mm_loadu_ps(hi + j);
                Butterfly4(loRe, loIm, hiRe, hiIm, _mm_loadu_ps(wRe + j), _mm_loadu_ps(wIm + j));
                _mm_storeu_ps(lr + j, loRe);
                _mm_storeu_ps(li + j, loIm);
                _mm_storeu_ps(hr + j, hiRe);
                _mm_storeu_ps(hi + j, hiIm);
            }
        }
    }
}

bool HasAvx() {
    static const bool yes = __builtin_cpu_supports("avx");
    return yes;
}

void LaterStages(const FftPlan& plan, std::int32_t m, float* outRe, float* outIm) {
    // The four-wide stages need two blocks of the span-2 stage: M >= 8.
    if (m >= 8 && HasAvx())
        LaterStagesAvx(plan, m, outRe, outIm);
    else
        LaterStagesScalar(plan, m, outRe, outIm);
}
#else
void LaterStages(const FftPlan& plan, std::int32_t m, float* outRe, float* outIm) {
    LaterStagesScalar(plan, m, outRe, outIm);
}
#endif

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
    if (m == 1) {
        outRe[0] = re[0];
        outIm[0] = im[0];
        return;
    }
    if (log2m < 1 || log2m > kMaxFftLog2 || m != (1 << log2m)) {
        FftLiteral(re, im, m, log2m, outRe, outIm, inverse);
        return;
    }
    const FftPlan& plan = PlanFor(log2m, inverse);

    // Bit-reversed copy and the first stage in one sweep: outputs t and t + 1
    // come from inputs r(t) and r(t) + M/2.
    const std::int32_t halfM = m / 2;
    for (std::int32_t t = 0; t < m; t += 2) {
        const std::uint32_t r = plan.reversed[static_cast<std::size_t>(t)];
        const float r0 = re[r], r1 = re[r + static_cast<std::uint32_t>(halfM)];
        const float i0 = im[r], i1 = im[r + static_cast<std::uint32_t>(halfM)];
        outRe[t] = r0 + r1;
        outRe[t + 1] = r0 - r1;
        outIm[t] = i0 + i1;
        outIm[t + 1] = i0 - i1;
    }
    // The inputs are scratch and end holding the twiddle table.
    std::memcpy(re, plan.twRe.data(), static_cast<std::size_t>(m) * sizeof(float));
    std::memcpy(im, plan.twIm.data(), static_cast<std::size_t>(m) * sizeof(float));

    LaterStages(plan, m, outRe, outIm);

    if (inverse) {
        const float scale = static_cast<float>(m);
        for (std::int32_t i = 0; i < m; ++i) {
            outRe[i] /= scale;
            outIm[i] /= scale;
        }
    }
}

void FftLiteral(float* re, float* im, std::int32_t m, std::int32_t log2m, float* outRe, float* outIm, bool inverse) {
    if (m <= 0) return;
    for (std::int32_t t = 0; t < m; ++t) {
        const auto r = ReverseBits(static_cast<std::uint32_t>(t), log2m);
        outRe[t] = re[r];
        outIm[t] = im[r];
    }
    if (m == 1) return;
    BuildTwiddles(m, inverse, re, im);
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
                const std::int32_t lo = t + j;
                Butterfly(outRe[lo], outIm[lo], outRe[lo + half], outIm[lo + half], re[blocks * j], im[blocks * j]);
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
