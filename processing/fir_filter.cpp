#include "processing/fir_filter.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/side_by_side.hpp"

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

// Every output is a sum over the taps that meet a kept input, formed in the
// literal order (j = L-1 .. 0, i.e. k ascending) in double and rounded to float
// once. The kernels below compute blocks of consecutive outputs at a time, each
// output's sum in one lane of a vector accumulator; both give the literal
// loop's results bit for bit: the product of two floats is exact in double, so
// fused or not, only the addition rounds.
//
// The input is read through xp: x' behind L - 1 leading zeros and followed by
// enough zeros for the last block, so that y[i] = sum over j = L-1 .. 0 of
// h[j] xp[i + L - 1 - j]. Terms that only meet the padding add +-0 to a sum
// that starts at +0, which changes no bit, so a block may include or skip them
// freely (the taps are finite; a non-finite tap takes the literal loop).
struct Shape {
    std::int64_t n = 0;      // outputs
    std::int64_t taps = 0;   // L
    std::int64_t pad = 0;    // L - 1
    std::int64_t keep = 0;   // inputs not taken as zero
    std::int64_t block = 0;  // outputs per block

    Shape(std::int64_t outputs, std::int64_t length, std::int64_t blockSize)
        : n(outputs),
          taps(length),
          pad(length - 1),
          keep(std::max<std::int64_t>(0, outputs - (length - 1))),
          block(blockSize) {}
    std::int64_t Blocks() const { return (n + block - 1) / block; }
    // The taps that meet a kept input for at least one output of the block at i0.
    std::int64_t TapHigh(std::int64_t i0) const { return std::min(taps - 1, i0 + block - 1); }
    std::int64_t TapLow(std::int64_t i0) const { return std::max<std::int64_t>(0, i0 - keep + 1); }
    // Multiply-adds the block loops run, padding terms included.
    std::int64_t Work() const {
        std::int64_t terms = 0;
        for (std::int64_t i0 = 0; i0 < n; i0 += block) terms += std::max<std::int64_t>(0, TapHigh(i0) - TapLow(i0) + 1);
        return terms * block;
    }
};

// Below this many multiply-adds (about 0.1 ms of one core) a convolution runs
// on the calling thread alone: waking the helpers would cost more than they
// save. A 16,384-sample record is split from about 130 taps up.
constexpr std::int64_t kThreadedWork = std::int64_t{2} << 20;
// Parts per thread: the cost of a block varies along the record (long filters
// skip the padding near both ends), and a core busy with other work takes
// fewer parts, so the work is handed out in small pieces.
constexpr std::int64_t kPartsPerThread = 8;

// Calls run(first, last) over ranges that together cover 0..count-1 once:
// split among the cores when the convolution is long, else in one call.
void ForEachRange(const Shape& shape, std::int64_t count, std::int64_t partsPerThread,
                  const std::function<void(std::int64_t, std::int64_t)>& run) {
    if (shape.Work() < kThreadedWork) {
        run(0, count);
        return;
    }
    // Split even on one processor (the parts then run one after the other), so
    // that every machine runs the same code.
    const auto threads = static_cast<std::int64_t>(std::max<std::size_t>(SideBySideHelpers(), 1) + 1);
    const std::int64_t parts = std::max<std::int64_t>(1, std::min(count, threads * partsPerThread));
    RunSideBySide(static_cast<std::size_t>(parts), [&](std::size_t part) {
        const auto k = static_cast<std::int64_t>(part);
        run(count * k / parts, count * (k + 1) / parts);
    });
}

// Calls blocks(first, last) over ranges that together cover every block once.
void ForEachBlockRange(const Shape& shape, const std::function<void(std::int64_t, std::int64_t)>& blocks) {
    ForEachRange(shape, shape.Blocks(), kPartsPerThread, blocks);
}

// Stores a block's outputs, or as many of them as remain before n.
constexpr std::int64_t kLargestBlock = 64;
template <typename Fill>
void StoreBlock(const Shape& shape, std::int64_t i0, float* y, Fill&& fill) {
    if (i0 + shape.block <= shape.n) {
        fill(y + i0);
        return;
    }
    float last[kLargestBlock];
    fill(last);
    std::copy(last, last + (shape.n - i0), y + i0);
}

// ---- Every processor: sixteen outputs at a time in registers of two doubles.

constexpr std::int64_t kBlock = 32;
static_assert(kBlock <= kLargestBlock);
typedef double Vec2 __attribute__((vector_size(16)));

// Thirty-two outputs y[q] = sum over j = jHigh .. jLow (descending) of
// h[j] p[q - j], in two passes of sixteen over eight accumulators, enough to
// hide the adder's latency. The accumulators are named one by one: as an array
// the compiler keeps them in memory, and the loop then runs at the speed of
// store forwarding.
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

void ConvolveSse2(const float* x, const double* h, const Shape& shape, float* y) {
    std::vector<double> xp(static_cast<std::size_t>(shape.pad + shape.n + shape.block), 0.0);
    Widen(x, shape.keep, xp.data() + shape.pad);
    // From here on x (which may be y) is not read.
    ForEachBlockRange(shape, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t b = first; b < last; ++b) {
            const std::int64_t i0 = b * shape.block;
            StoreBlock(shape, i0, y, [&](float* out) {
                AccumulateBlockSse2(xp.data() + i0 + shape.pad, h, shape.TapHigh(i0), shape.TapLow(i0), out);
            });
        }
    });
}

#if defined(__x86_64__) && defined(__GNUC__)
// ---- Processors with AVX2 and FMA: four lanes of doubles, fused multiply-add.

// A block holds kRows outputs in each of the four lanes: lane l of
// accumulator r is output i0 + l * kRows + r. The input is copied once into
// rows of four samples, row m = (xp[m], xp[m + kRows], xp[m + 2 kRows],
// xp[m + 3 kRows]), so that accumulator r at tap j reads the aligned row
// i0 + pad + r - j, and accumulator r + 1 at tap j - 1 reads the same row.
// Rows hold floats (widened to doubles as they are loaded, which is exact):
// half the bytes to write and read back.
// Taking kTaps taps at once, every row loaded serves up to kTaps accumulators:
// about one load for every two multiply-adds instead of one for each, which
// leaves the multiply-add units as the only limit. Each accumulator still
// takes its taps from the highest down.
constexpr int kLanes = 4;
constexpr int kRows = 10;  // accumulators: ten chains keep both FMA units busy
constexpr int kTaps = 4;   // taps per pass over the rows (10 + 4 + 1 of 16 registers)
constexpr std::int64_t kFusedBlock = kLanes * kRows;
static_assert(kFusedBlock <= kLargestBlock);
struct alignas(16) Row {
    float lane[kLanes];
};

#define TAV_FUSED __attribute__((target("avx2,fma"), always_inline)) inline

// Row m of a pass meets tap u (h[-u], counted down from the pass's first
// tap) in accumulator m - u.
template <int Taps, int M, int U = 0>
TAV_FUSED void RowMeetsTaps(const double* __restrict h, __m256d row, __m256d* __restrict a) {
    if constexpr (U < Taps) {
        constexpr int r = M - U;
        if constexpr (r >= 0 && r < kRows) a[r] = _mm256_fmadd_pd(_mm256_broadcast_sd(h - U), row, a[r]);
        RowMeetsTaps<Taps, M, U + 1>(h, row, a);
    }
}

// One pass: taps h[0], h[-1], ..., h[-(Taps - 1)] over rows[0 .. kRows + Taps - 2].
template <int Taps, int M = 0>
TAV_FUSED void PassOverRows(const Row* __restrict rows, const double* __restrict h, __m256d* __restrict a) {
    if constexpr (M < kRows + Taps - 1) {
        RowMeetsTaps<Taps, M>(h, _mm256_cvtps_pd(_mm_load_ps(rows[M].lane)), a);
        PassOverRows<Taps, M + 1>(rows, h, a);
    }
}

// Lane l of a[0..3] as four consecutive floats: the four accumulators
// transposed, so that every lane's outputs are stored together.
template <int Count>
TAV_FUSED void StoreLanes(const __m256d* a, float* out) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d a0 = a[0], a1 = Count > 1 ? a[1] : zero, a2 = Count > 2 ? a[2] : zero, a3 = Count > 3 ? a[3] : zero;
    const __m256d even01 = _mm256_unpacklo_pd(a0, a1), odd01 = _mm256_unpackhi_pd(a0, a1);
    const __m256d even23 = _mm256_unpacklo_pd(a2, a3), odd23 = _mm256_unpackhi_pd(a2, a3);
    const __m128 lanes[kLanes] = {_mm256_cvtpd_ps(_mm256_permute2f128_pd(even01, even23, 0x20)),
                                  _mm256_cvtpd_ps(_mm256_permute2f128_pd(odd01, odd23, 0x20)),
                                  _mm256_cvtpd_ps(_mm256_permute2f128_pd(even01, even23, 0x31)),
                                  _mm256_cvtpd_ps(_mm256_permute2f128_pd(odd01, odd23, 0x31))};
    for (int l = 0; l < kLanes; ++l) {
        if constexpr (Count == 4) {
            _mm_storeu_ps(out + l * kRows, lanes[l]);
        } else {
            alignas(16) float four[4];
            _mm_store_ps(four, lanes[l]);
            std::copy(four, four + Count, out + l * kRows);
        }
    }
}

// rows points at row i0 + pad of the block.
__attribute__((target("avx2,fma"))) void AccumulateBlockFma(const Row* rows, const double* h, std::int64_t jHigh,
                                                            std::int64_t jLow, float* out) {
    __m256d a[kRows];
#pragma GCC unroll 16
    for (auto& v : a) v = _mm256_setzero_pd();
    std::int64_t j = jHigh;
    for (; j - (kTaps - 1) >= jLow; j -= kTaps) PassOverRows<kTaps>(rows - j, h + j, a);
    for (; j >= jLow; --j) PassOverRows<1>(rows - j, h + j, a);
    static_assert(kRows == 10);
    StoreLanes<4>(a, out);
    StoreLanes<4>(a + 4, out + 4);
    StoreLanes<2>(a + 8, out + 8);
}

// rows[m].lane[l] = xp[m + l * kRows] for first <= m < end.
__attribute__((target("avx2,fma"))) void Interleave(const float* x, const Shape& shape, std::int64_t first,
                                                    std::int64_t end, Row* rows) {
    const std::int64_t pad = shape.pad, keep = shape.keep;
    const auto scalar = [&](std::int64_t m) {
        for (int l = 0; l < kLanes; ++l) {
            const std::int64_t k = m + l * kRows - pad;
            rows[m].lane[l] = k >= 0 && k < keep ? x[k] : 0.0f;
        }
    };
    std::int64_t m = first;
    for (; m < std::min(pad, end); ++m) scalar(m);
    // Four rows at a time where every lane meets a kept input: four runs of
    // four samples, transposed.
    for (; m + 3 + (kLanes - 1) * kRows - pad < keep && m + 4 <= end; m += 4) {
        const float* at = x + (m - pad);
        __m128 r0 = _mm_loadu_ps(at), r1 = _mm_loadu_ps(at + kRows), r2 = _mm_loadu_ps(at + 2 * kRows),
               r3 = _mm_loadu_ps(at + 3 * kRows);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_store_ps(rows[m].lane, r0);
        _mm_store_ps(rows[m + 1].lane, r1);
        _mm_store_ps(rows[m + 2].lane, r2);
        _mm_store_ps(rows[m + 3].lane, r3);
    }
    for (; m < end; ++m) scalar(m);
}

void ConvolveFma(const float* x, const double* h, const Shape& shape, float* y) {
    // Every row a block reads: up to row (last i0) + pad + kRows - 1.
    const std::int64_t count = shape.Blocks() * shape.block + shape.pad;
    const std::unique_ptr<Row[]> rows(new Row[static_cast<std::size_t>(count)]);
    ForEachRange(shape, count, 2,
                 [&](std::int64_t first, std::int64_t end) { Interleave(x, shape, first, end, rows.get()); });
    // From here on x (which may be y) is not read.
    ForEachBlockRange(shape, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t b = first; b < last; ++b) {
            const std::int64_t i0 = b * shape.block;
            StoreBlock(shape, i0, y, [&](float* out) {
                AccumulateBlockFma(rows.get() + i0 + shape.pad, h, shape.TapHigh(i0), shape.TapLow(i0), out);
            });
        }
    });
}

bool HasFma() {
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return yes;
}
#endif

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

void ConvolveCausal(const float* x, const float* h, std::int32_t n, std::int32_t L, float* y, ConvolveKernel kernel) {
    if (n < 1 || x == nullptr || y == nullptr) return;
    if (L < 1 || h == nullptr) {
        std::fill(y, y + n, 0.0f);
        return;
    }
    if (!std::all_of(h, h + L, [](float v) { return std::isfinite(v); })) {
        ConvolveLiteral(x, h, n, L, y);
        return;
    }
    const std::vector<double> hd(h, h + L);
#if defined(__x86_64__) && defined(__GNUC__)
    if (kernel == ConvolveKernel::Fastest && HasFma()) {
        ConvolveFma(x, hd.data(), Shape(n, L, kFusedBlock), y);
        return;
    }
#else
    (void)kernel;  // the portable kernel is the only one
#endif
    ConvolveSse2(x, hd.data(), Shape(n, L, kBlock), y);
}

namespace {

// A file's records and a chain's previews often ask for the same filter many
// times in a row (sixteen passes of an old file), and a long design costs a
// sine and a cosine per tap, so each thread keeps its last design of up to
// kKeptTaps taps.
constexpr std::int32_t kKeptTaps = 1 << 16;

struct KeptDesign {
    std::int32_t length = -1, kind = 0, window = 0;
    float f1 = 0, f2 = 0, fs = 0;
    std::vector<float> h;

    bool Holds(const FilterPlan& p, std::int32_t k, std::int32_t w) const {
        const auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        return length == p.length && kind == k && window == w && same(f1, p.f1) && same(f2, p.f2) && same(fs, p.fs);
    }
};

}  // namespace

int FilterWaveform(float* x, std::int32_t n, float dt, float fLo, float fHi, std::int32_t kind, std::int32_t window) {
    if (x == nullptr || n < 1) return 0;
    const FilterPlan plan = PlanFilter(n, dt, fLo, fHi, kind);
    if (plan.action == FilterPlan::Action::Unchanged) return 1;
    thread_local KeptDesign kept;
    std::vector<float> once;
    const bool keep = plan.length <= kKeptTaps;
    if (!keep || !kept.Holds(plan, kind, window)) {
        if (keep) kept.length = -1;  // until the new design is whole
        std::vector<float>& h = keep ? kept.h : once;
        DesignFir(plan.length, kind, plan.f1, plan.f2, plan.fs, window, h);  // a refusal leaves h zero
        if (keep) kept = KeptDesign{plan.length, kind, window, plan.f1, plan.f2, plan.fs, std::move(kept.h)};
    }
    ConvolveCausal(x, keep ? kept.h.data() : once.data(), n, plan.length, x);
    return 1;
}

}  // namespace tav
