#include "analysis/signal_match.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <numbers>

#include "analysis/pile_model.hpp"
#include "model/process_step.hpp"
#include "model/test_point.hpp"

namespace tav {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;
using Clock = std::chrono::steady_clock;

constexpr int kMinSamples = 16;
// The profile's cells: short enough to place a defect within a few tenths of
// a metre, few enough that a Jacobian stays cheap.
constexpr double kCellLength = 0.25;  // m
constexpr int kMinCells = 8;
constexpr int kMaxCells = 100;
// The model's segments: about one per sampling interval of travel, within
// bounds that keep a run both faithful and quick.
constexpr int kMinModelSegments = 30;
constexpr int kMaxModelSegments = 400;
// The incident pulse starts where the velocity has fallen to this share of its peak.
constexpr double kPulseStartLevel = 0.02;
constexpr double kHeadSearch = 0.3e-3;  // s either side of the marked head
// Total variation weight, and the step size below which a step counts as
// "no step" for the reweighting.
constexpr double kStepPenalty = 0.02;
constexpr double kStepScale = 0.02;
// The pull of every cell towards Z0, as a share of the step penalty.
constexpr double kSoundShare = 0.25;
// The head's impedance Z0 is that of the shaft's first metre: a change within
// it hides inside the blow.
constexpr double kHeadReference = 1.0;  // m
// Soil values drift only weakly from their starting guesses where the record
// says little about them.
constexpr double kSoilPull = 1e-3;
constexpr double kMergeTolerance = 0.05;  // cells within this ratio of their segment's mean join it
constexpr double kFinalMergeTolerance = 0.03;
constexpr double kDerivativeStep = 1e-3;  // in log parameters

// Soil parameters in the fit, as logarithms, with their bounds and guesses.
constexpr int kSoilParams = 4;
struct SoilBound {
    double guess, lower, upper;
};
constexpr std::array<SoilBound, kSoilParams> kSoilBounds = {{
    {0.5, 0.005, 6.0},    // shaft damping (exp(-x) of the toe echo)
    {25.0, 1.0, 400.0},   // shaft spring ÷ dashpot, Hz
    {0.5, 0.005, 20.0},   // toe dashpot ÷ Z0
    {40.0, 1.0, 400.0},   // toe spring ÷ dashpot, Hz
}};
constexpr double kMinLogRatio = -3.0;  // ratios between 0.05 and 8
constexpr double kMaxLogRatio = 2.08;

struct FailureEntry {
    MatchFailure failure;
    std::string_view code;
    std::string_view text;
};
constexpr std::array<FailureEntry, 12> kFailures = {{
    {MatchFailure::kNone, "", ""},
    {MatchFailure::kTooShort, "too-short", "记录的采样点太少，无法拟合"},
    {MatchFailure::kNotFinite, "not-finite", "记录中有无效数值，无法拟合"},
    {MatchFailure::kNoInterval, "no-interval", "采样间隔不大于0，无法拟合"},
    {MatchFailure::kNoSpeed, "no-speed", "波速不大于0，无法拟合"},
    {MatchFailure::kNoLength, "no-length", "桩长不大于0，无法拟合"},
    {MatchFailure::kNoHead, "no-head", "未标定桩头或桩头在记录之外，无法拟合"},
    {MatchFailure::kNoBlow, "no-blow", "桩头处没有锤击信号，无法拟合"},
    {MatchFailure::kToeBeyondRecord, "toe-beyond-record", "记录在桩底反射之前结束，无法拟合"},
    {MatchFailure::kNotVelocity, "not-velocity", "处理后的记录既不是速度也不是加速度，无法拟合"},
    {MatchFailure::kCancelled, "cancelled", "拟合已取消"},
    {MatchFailure::kTimedOut, "timed-out", "拟合超过时间限制，已停止"},
}};

double Interpolate(const std::vector<double>& x, double position) {
    const auto n = static_cast<std::ptrdiff_t>(x.size());
    if (n == 0) return 0.0;
    if (position <= 0.0) return x.front();
    const auto i = static_cast<std::ptrdiff_t>(position);
    if (i >= n - 1) return x.back();
    const double f = position - static_cast<double>(i);
    return x[static_cast<std::size_t>(i)] * (1.0 - f) + x[static_cast<std::size_t>(i + 1)] * f;
}

// Acceleration 0, velocity 1, displacement 2: the sensor's quantity moved by
// the chain's integrations and differentiations.
int QuantityOrder(const TestPoint& tp) {
    int order = tp.sensorType == 0 ? 0 : 1;
    for (const auto& step : tp.steps) {
        if (step.opType == kOpIntegrate) ++order;
        if (step.opType == kOpDifferentiate) --order;
    }
    return order;
}

// Running trapezoid sum of x less its mean over [0, baselineEnd): an
// accelerometer's offset would otherwise grow into a ramp.
std::vector<double> IntegrateFromRest(const std::vector<double>& x, int baselineEnd) {
    const int b = std::clamp(baselineEnd, 1, static_cast<int>(x.size()));
    double offset = 0.0;
    for (int i = 0; i < b; ++i) offset += x[static_cast<std::size_t>(i)];
    offset /= b;
    std::vector<double> v(x.size(), 0.0);
    for (std::size_t i = 1; i < x.size(); ++i) v[i] = v[i - 1] + 0.5 * (x[i - 1] + x[i]) - offset;
    return v;
}

// The record prepared for the model: on the model's time grid from the blow's
// start to beyond the toe echo.
struct Prepared {
    double length = 0.0, speed = 0.0;
    double dt = 0.0;   // s, sampling interval
    double tau = 0.0;  // s, model segment time
    int segments = 0;
    int cells = 0;
    std::vector<int> cellOfSegment;
    std::vector<double> velocity;  // record samples, blow positive, peak 1
    int start = 0;                 // record sample where the blow starts
    double peak = 0.0;             // record position of the incident peak
    int end = 0;                   // last record sample of the window
    std::vector<double> force;     // per model step
    std::vector<double> measured;  // per model step
    MatrixXd drift;                // per model step: 1, t, t²
    double ModelToRecord(double step) const { return start + step * tau / dt; }
};

int PeakNear(const std::vector<double>& v, int head, int reach) {
    const int n = static_cast<int>(v.size());
    int best = std::clamp(head, 0, n - 1);
    for (int i = std::max(0, head - reach); i <= std::min(n - 1, head + reach); ++i)
        if (std::fabs(v[static_cast<std::size_t>(i)]) > std::fabs(v[static_cast<std::size_t>(best)])) best = i;
    return best;
}

int PulseStart(const std::vector<double>& v, int peak) {
    const double level = kPulseStartLevel * v[static_cast<std::size_t>(peak)];
    int i = peak;
    while (i > 0 && v[static_cast<std::size_t>(i - 1)] > level) --i;
    return std::max(0, i - 1);
}

MatchFailure Prepare(const TestPoint& tp, Prepared& p) {
    const auto& raw = tp.samples.empty() ? tp.rawSamples : tp.samples;
    const int n = static_cast<int>(raw.size());
    if (n < kMinSamples) return MatchFailure::kTooShort;
    for (const float x : raw)
        if (!std::isfinite(x)) return MatchFailure::kNotFinite;
    if (!std::isfinite(tp.sampleInterval) || tp.sampleInterval <= 0.0f) return MatchFailure::kNoInterval;
    if (tp.waveSpeed <= 0) return MatchFailure::kNoSpeed;
    if (!std::isfinite(tp.pileLength) || tp.pileLength <= 0.0f) return MatchFailure::kNoLength;
    if (!tp.headValid || tp.headIndex < 0 || tp.headIndex >= n) return MatchFailure::kNoHead;
    const int order = QuantityOrder(tp);
    if (order != 0 && order != 1) return MatchFailure::kNotVelocity;

    p.length = tp.pileLength;
    p.speed = tp.waveSpeed;
    p.dt = tp.sampleInterval * 1e-6;
    const std::vector<double> x(raw.begin(), raw.end());
    const int reach = std::max(2, static_cast<int>(std::lround(kHeadSearch / p.dt)));
    std::vector<double> v = order == 1 ? x : IntegrateFromRest(x, std::max(1, tp.headIndex / 3));
    int peak = PeakNear(v, tp.headIndex, reach);
    if (order == 0) {
        // Again with the offset taken from everything before the blow.
        const double sign = v[static_cast<std::size_t>(peak)] < 0 ? -1.0 : 1.0;
        std::vector<double> signedV = v;
        for (auto& value : signedV) value *= sign;
        v = IntegrateFromRest(x, PulseStart(signedV, peak));
        peak = PeakNear(v, tp.headIndex, reach);
    }
    const double peakValue = v[static_cast<std::size_t>(peak)];
    double largest = 0.0;
    for (const double value : v) largest = std::max(largest, std::fabs(value));
    if (peakValue == 0.0 || !std::isfinite(peakValue) || peak == 0 || largest == 0.0) return MatchFailure::kNoBlow;
    // The record is the blow's own: downward velocity positive, peak 1.
    for (auto& value : v) value /= peakValue;
    p.start = PulseStart(v, peak);
    p.peak = peak;
    if (peak > 0 && peak < n - 1) {
        const double a = v[static_cast<std::size_t>(peak - 1)], b = v[static_cast<std::size_t>(peak)],
                     c = v[static_cast<std::size_t>(peak + 1)];
        const double curvature = a - 2 * b + c;
        if (curvature < 0) p.peak += std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
    }
    const double rise = p.peak - p.start;

    const double travel = 2.0 * p.length / (p.speed * p.dt);  // samples, head to toe and back
    const double toe = p.peak + travel;
    if (toe + 2 > n - 1) return MatchFailure::kToeBeyondRecord;
    p.end = std::min(n - 1, static_cast<int>(std::ceil(toe + 2.0 * rise + std::max(5.0, 0.15 * travel))));

    p.segments = std::clamp(static_cast<int>(std::lround(p.length / (p.speed * p.dt))), kMinModelSegments,
                            kMaxModelSegments);
    p.tau = p.length / (p.speed * p.segments);
    p.cells = std::min(p.segments, std::clamp(static_cast<int>(std::lround(p.length / kCellLength)), kMinCells, kMaxCells));
    p.cellOfSegment.resize(static_cast<std::size_t>(p.segments));
    for (int i = 0; i < p.segments; ++i)
        p.cellOfSegment[static_cast<std::size_t>(i)] =
            std::min(p.cells - 1, static_cast<int>((i + 0.5) * p.cells / p.segments));

    // Where a model step spans several samples, the record is averaged over it first.
    std::vector<double> smooth = v;
    const int span = static_cast<int>(std::lround(p.tau / p.dt));
    if (span >= 2) {
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            int count = 0;
            for (int k = std::max(0, i - span / 2); k <= std::min(n - 1, i + span / 2); ++k, ++count)
                sum += v[static_cast<std::size_t>(k)];
            smooth[static_cast<std::size_t>(i)] = sum / count;
        }
    }
    const int steps = static_cast<int>((p.end - p.start) * p.dt / p.tau) + 1;
    p.force.assign(static_cast<std::size_t>(steps), 0.0);
    p.measured.assign(static_cast<std::size_t>(steps), 0.0);
    p.drift.resize(steps, 3);
    for (int k = 0; k < steps; ++k) {
        const double at = p.ModelToRecord(k);
        p.measured[static_cast<std::size_t>(k)] = Interpolate(smooth, at);
        // Rising: the measured velocity; falling: the rise mirrored.
        if (at <= p.peak) p.force[static_cast<std::size_t>(k)] = Interpolate(v, at);
        else if (at <= p.peak + rise) p.force[static_cast<std::size_t>(k)] = Interpolate(v, 2 * p.peak - at);
        const double t = steps > 1 ? static_cast<double>(k) / (steps - 1) : 0.0;
        p.drift(k, 0) = 1.0;
        p.drift(k, 1) = t;
        p.drift(k, 2) = t * t;
    }
    p.velocity = std::move(v);
    return MatchFailure::kNone;
}

// Parameters of one stage of the fit: the log impedance ratio of groups of
// cells (the first group, at the head, is Z0 and not a parameter), then the
// log soil values.
struct Layout {
    std::vector<int> groupOfCell;  // per cell
    int groups = 1;
    int Params() const { return groups - 1 + kSoilParams; }
    int SoilIndex(int k) const { return groups - 1 + k; }
};

class Fitter {
public:
    Fitter(const Prepared& prepared, const MatchOptions& options)
        : p_(prepared),
          options_(options),
          deadline_(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(std::max(0.0, options.timeLimit)))) {}

    MatchFailure halted() const { return halted_; }
    int runs() const { return runs_; }

    // The model's head velocity for the cells' log ratios and the log soil.
    bool Run(const std::vector<double>& cellLog, const double* soilLog, std::vector<double>& y) {
        if (options_.cancel && options_.cancel->load() != 0) halted_ = MatchFailure::kCancelled;
        else if (Clock::now() > deadline_ || runs_ >= options_.maxForwardRuns) halted_ = MatchFailure::kTimedOut;
        if (halted_ != MatchFailure::kNone) return false;
        ++runs_;
        for (int i = 0; i < p_.segments; ++i)
            impedance_[static_cast<std::size_t>(i)] = std::exp(cellLog[static_cast<std::size_t>(p_.cellOfSegment[static_cast<std::size_t>(i)])]);
        synth::PileParams soil;
        soil.waveSpeed = p_.speed;
        soil.density = 1.0;
        soil.area = 1.0 / p_.speed;  // Z0 = 1
        soil.shaftDamping = std::exp(soilLog[0]) / p_.length;
        soil.shaftStiffness = soil.shaftDamping * 2 * std::numbers::pi * std::exp(soilLog[1]);
        soil.toeDamping = std::exp(soilLog[2]);
        soil.toeStiffness = soil.toeDamping * 2 * std::numbers::pi * std::exp(soilLog[3]);
        synth::PileModel model(impedance_, soil, p_.tau);
        y.resize(p_.force.size());
        for (std::size_t k = 0; k < y.size(); ++k) y[k] = model.Step(p_.force[k]);
        return true;
    }

    // The model's velocity scaled, with the record's drift, as near the record
    // as least squares puts them; coefficients: scale, then the drift's.
    VectorXd Explain(const std::vector<double>& y, VectorXd* coefficients = nullptr) const {
        const auto steps = static_cast<Eigen::Index>(y.size());
        MatrixXd basis(steps, 4);
        basis.col(0) = Eigen::Map<const VectorXd>(y.data(), steps);
        basis.rightCols(3) = p_.drift;
        const Eigen::Map<const VectorXd> m(p_.measured.data(), steps);
        MatrixXd normal = basis.transpose() * basis;
        normal.diagonal().array() += 1e-9 * (normal.diagonal().maxCoeff() + 1e-30);
        const VectorXd c = normal.ldlt().solve(basis.transpose() * m);
        if (coefficients) *coefficients = c;
        return basis * c - m;
    }

    // Residual of a stage's parameter vector.
    bool Residual(const Layout& layout, const VectorXd& params, VectorXd& r) {
        std::vector<double> cellLog(static_cast<std::size_t>(p_.cells));
        for (int c = 0; c < p_.cells; ++c) {
            const int g = layout.groupOfCell[static_cast<std::size_t>(c)];
            cellLog[static_cast<std::size_t>(c)] = g == 0 ? 0.0 : params[g - 1];
        }
        std::array<double, kSoilParams> soil{};
        for (int k = 0; k < kSoilParams; ++k) soil[static_cast<std::size_t>(k)] = params[layout.SoilIndex(k)];
        if (!Run(cellLog, soil.data(), y_)) return false;
        r = Explain(y_);
        return true;
    }

    // Levenberg–Marquardt on |r(params)|² + |penalty · params − target|², with
    // a finite-difference Jacobian refreshed by Broyden's rank-one updates
    // between full recomputations. false when halted.
    bool Minimise(const Layout& layout, VectorXd& params, const VectorXd& lower, const VectorXd& upper,
                  const MatrixXd& penalty, const VectorXd& target, int maxIterations) {
        const Eigen::Index np = params.size();
        VectorXd r;
        if (!Residual(layout, params, r)) return false;
        auto cost = [&](const VectorXd& res, const VectorXd& x) {
            return res.squaredNorm() + (penalty * x - target).squaredNorm();
        };
        double current = cost(r, params);
        MatrixXd jacobian(r.size(), np);
        auto computeJacobian = [&]() {
            for (Eigen::Index j = 0; j < np; ++j) {
                VectorXd shifted = params;
                const double h = params[j] + kDerivativeStep <= upper[j] ? kDerivativeStep : -kDerivativeStep;
                shifted[j] += h;
                VectorXd rj;
                if (!Residual(layout, shifted, rj)) return false;
                jacobian.col(j) = (rj - r) / h;
            }
            return true;
        };
        if (!computeJacobian()) return false;
        const MatrixXd penaltyNormal = penalty.transpose() * penalty;
        double lambda = 1e-3;
        int sinceJacobian = 0;
        for (int it = 0; it < maxIterations; ++it) {
            const MatrixXd normal = jacobian.transpose() * jacobian + penaltyNormal;
            const VectorXd gradient = jacobian.transpose() * r + penalty.transpose() * (penalty * params - target);
            MatrixXd damped = normal;
            damped.diagonal() += lambda * (normal.diagonal().array() + 1e-12).matrix();
            VectorXd next = params - damped.ldlt().solve(gradient);
            next = next.cwiseMax(lower).cwiseMin(upper);
            const VectorXd step = next - params;
            if (!step.allFinite() || step.norm() < 1e-8) break;
            VectorXd rNext;
            if (!Residual(layout, next, rNext)) return false;
            const double nextCost = cost(rNext, next);
            if (nextCost < current) {
                jacobian += (rNext - r - jacobian * step) * step.transpose() / step.squaredNorm();
                const double gain = (current - nextCost) / current;
                params = next;
                r = rNext;
                current = nextCost;
                lambda = std::max(lambda / 3, 1e-9);
                if (gain < 1e-6) break;
                if (++sinceJacobian >= 5) {
                    if (!computeJacobian()) return false;
                    sinceJacobian = 0;
                }
            } else {
                lambda *= 4;
                if (lambda > 1e8) break;
                if (sinceJacobian > 0) {
                    if (!computeJacobian()) return false;
                    sinceJacobian = 0;
                }
            }
        }
        return true;
    }

private:
    const Prepared& p_;
    const MatchOptions& options_;
    Clock::time_point deadline_;
    MatchFailure halted_ = MatchFailure::kNone;
    int runs_ = 0;
    std::vector<double> impedance_ = std::vector<double>(static_cast<std::size_t>(p_.segments), 1.0);
    std::vector<double> y_;
};

void SoilBoundsInto(const Layout& layout, VectorXd& lower, VectorXd& upper) {
    for (int k = 0; k < kSoilParams; ++k) {
        lower[layout.SoilIndex(k)] = std::log(kSoilBounds[static_cast<std::size_t>(k)].lower);
        upper[layout.SoilIndex(k)] = std::log(kSoilBounds[static_cast<std::size_t>(k)].upper);
    }
}

// Rows that keep the soil near its guesses where the record is silent on it.
void SoilPullInto(const Layout& layout, MatrixXd& penalty, VectorXd& target, Eigen::Index firstRow) {
    const double w = std::sqrt(kSoilPull);
    for (int k = 0; k < kSoilParams; ++k) {
        penalty(firstRow + k, layout.SoilIndex(k)) = w;
        target[firstRow + k] = w * std::log(kSoilBounds[static_cast<std::size_t>(k)].guess);
    }
}

// Groups of neighbouring cells whose ratios stay within tolerance of the group's mean.
std::vector<int> MergeCells(const std::vector<double>& ratio, double tolerance) {
    std::vector<int> group(ratio.size(), 0);
    double sum = 0.0;
    int count = 0, g = 0;
    for (std::size_t c = 0; c < ratio.size(); ++c) {
        if (count > 0 && std::fabs(ratio[c] - sum / count) > tolerance) {
            ++g;
            sum = 0.0;
            count = 0;
        }
        group[c] = g;
        sum += ratio[c];
        ++count;
    }
    return group;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, std::size_t from) {
    const std::size_t n = std::min(a.size(), b.size());
    if (from + 2 > n) return 0.0;
    double ma = 0, mb = 0;
    for (std::size_t i = from; i < n; ++i) ma += a[i], mb += b[i];
    ma /= static_cast<double>(n - from);
    mb /= static_cast<double>(n - from);
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = from; i < n; ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

// The fit of one prepared record, stage by stage: the soil under a uniform
// shaft, then the cells' impedances, then the merged segments', then the
// profile and the fitted curve. A stage returns false when the fitter halts.
class ProfileFit {
public:
    ProfileFit(const Prepared& prepared, const MatchOptions& options)
        : p_(prepared), options_(options), fitter_(prepared, options) {}

    MatchResult Run() {
        if (!FitUniformShaft()) return Halted();
        Report(0.1);
        if (!FitCells()) return Halted();
        if (!FitSegments()) return Halted();
        Report(0.95);
        DescribeProfile();
        if (!DrawFittedCurve()) return Halted();
        result_.forwardRuns = fitter_.runs();
        Report(1.0);
        return std::move(result_);
    }

private:
    void Report(double share) const {
        if (options_.progress) options_.progress(share);
    }

    MatchResult Halted() {
        result_.failure = fitter_.halted();
        result_.forwardRuns = fitter_.runs();
        return std::move(result_);
    }

    // The soil under a uniform shaft.
    bool FitUniformShaft() {
        Layout layout;
        layout.groupOfCell.assign(static_cast<std::size_t>(p_.cells), 0);
        soil_.resize(kSoilParams);
        VectorXd lower(kSoilParams), upper(kSoilParams);
        for (int k = 0; k < kSoilParams; ++k) soil_[k] = std::log(kSoilBounds[static_cast<std::size_t>(k)].guess);
        SoilBoundsInto(layout, lower, upper);
        MatrixXd penalty = MatrixXd::Zero(kSoilParams, kSoilParams);
        VectorXd target = VectorXd::Zero(kSoilParams);
        SoilPullInto(layout, penalty, target, 0);
        return fitter_.Minimise(layout, soil_, lower, upper, penalty, target, 15);
    }

    // Every cell below the head's reference stretch free, steps penalised by
    // their size (total variation by reweighted least squares) and, more
    // weakly, every departure from Z0: most of a pile is sound, and without
    // it a whole shaft a little softer than its head would pass for a
    // slightly weaker blow.
    bool FitCells() {
        const int fixedCells =
            std::clamp(static_cast<int>(std::lround(kHeadReference * p_.cells / p_.length)), 1, p_.cells - 1);
        const int freeCells = p_.cells - fixedCells;
        Layout cells;
        cells.groups = freeCells + 1;
        for (int c = 0; c < p_.cells; ++c) cells.groupOfCell.push_back(std::max(0, c - fixedCells + 1));
        const int np = cells.Params();
        VectorXd x = VectorXd::Zero(np);
        x.tail(kSoilParams) = soil_;
        VectorXd cellLower(np), cellUpper(np);
        cellLower.head(freeCells).setConstant(kMinLogRatio);
        cellUpper.head(freeCells).setConstant(kMaxLogRatio);
        SoilBoundsInto(cells, cellLower, cellUpper);
        // The penalty follows the window's length so that the same pile sampled
        // finer is not held more loosely.
        const double weight = kStepPenalty * static_cast<double>(p_.measured.size()) / 200.0;
        constexpr int kReweightings = 6;
        for (int round = 0; round < kReweightings; ++round) {
            const Eigen::Index rows = 2 * freeCells + kSoilParams;
            MatrixXd penalty = MatrixXd::Zero(rows, np);
            VectorXd target = VectorXd::Zero(rows);
            for (int k = 0; k < freeCells; ++k) {
                const double step = x[k] - (k == 0 ? 0.0 : x[k - 1]);
                const double w = std::sqrt(weight / std::sqrt(step * step + kStepScale * kStepScale));
                penalty(k, k) = w;
                if (k > 0) penalty(k, k - 1) = -w;
                const double pull = std::sqrt(kSoundShare * weight / std::sqrt(x[k] * x[k] + kStepScale * kStepScale));
                penalty(freeCells + k, k) = pull;
            }
            SoilPullInto(cells, penalty, target, 2 * freeCells);
            const VectorXd before = x;
            if (!fitter_.Minimise(cells, x, cellLower, cellUpper, penalty, target, 8)) return false;
            Report(0.1 + 0.7 * (round + 1) / kReweightings);
            if ((x - before).head(freeCells).cwiseAbs().maxCoeff() < 0.005) break;
        }
        ratio_.assign(static_cast<std::size_t>(p_.cells), 1.0);
        for (int c = fixedCells; c < p_.cells; ++c) ratio_[static_cast<std::size_t>(c)] = std::exp(x[c - fixedCells]);
        soil_ = x.tail(kSoilParams);
        return true;
    }

    // Cells of nearly equal impedance as one segment each, fitted again; the
    // head's group is Z0 whatever its cells say.
    bool FitSegments() {
        Layout segments;
        segments.groupOfCell = MergeCells(ratio_, kMergeTolerance);
        segments.groups = segments.groupOfCell.back() + 1;
        const int sp = segments.Params();
        VectorXd s = VectorXd::Zero(sp), sLower(sp), sUpper(sp);
        std::vector<double> sum(static_cast<std::size_t>(segments.groups), 0.0), count = sum;
        for (int c = 0; c < p_.cells; ++c) {
            const auto g = static_cast<std::size_t>(segments.groupOfCell[static_cast<std::size_t>(c)]);
            sum[g] += std::log(ratio_[static_cast<std::size_t>(c)]);
            count[g] += 1;
        }
        for (int g = 1; g < segments.groups; ++g)
            s[g - 1] = sum[static_cast<std::size_t>(g)] / count[static_cast<std::size_t>(g)];
        s.tail(kSoilParams) = soil_;
        sLower.head(segments.groups - 1).setConstant(kMinLogRatio);
        sUpper.head(segments.groups - 1).setConstant(kMaxLogRatio);
        SoilBoundsInto(segments, sLower, sUpper);
        MatrixXd penalty = MatrixXd::Zero(kSoilParams, sp);
        VectorXd target = VectorXd::Zero(kSoilParams);
        SoilPullInto(segments, penalty, target, 0);
        if (!fitter_.Minimise(segments, s, sLower, sUpper, penalty, target, 15)) return false;
        for (int c = 0; c < p_.cells; ++c) {
            const int g = segments.groupOfCell[static_cast<std::size_t>(c)];
            ratio_[static_cast<std::size_t>(c)] = g == 0 ? 1.0 : std::exp(s[g - 1]);
        }
        soil_ = s.tail(kSoilParams);
        return true;
    }

    // The profile: neighbours that ended nearly equal are one segment.
    void DescribeProfile() {
        const double cellLength = p_.length / p_.cells;
        const auto finalGroups = MergeCells(ratio_, kFinalMergeTolerance);
        for (int c = 0; c < p_.cells;) {
            int last = c;
            double sum = 0.0;
            while (last < p_.cells &&
                   finalGroups[static_cast<std::size_t>(last)] == finalGroups[static_cast<std::size_t>(c)])
                sum += ratio_[static_cast<std::size_t>(last++)];
            result_.segments.push_back({c * cellLength, last * cellLength, sum / (last - c)});
            c = last;
        }
        result_.segments.back().bottom = p_.length;
        for (auto& segment : result_.segments) segment.ratio = std::round(segment.ratio * 1000.0) / 1000.0;
        result_.soil = {std::exp(soil_[0]), std::exp(soil_[1]), std::exp(soil_[2]), std::exp(soil_[3])};
        result_.pileLength = p_.length;
        result_.headPosition = p_.peak;
        result_.sampleInterval = p_.dt * 1e6;
        result_.waveSpeed = p_.speed;
    }

    // The fitted curve on the record's samples, beside the record less its
    // drift, and how well they agree.
    bool DrawFittedCurve() {
        std::vector<double> cellLog(static_cast<std::size_t>(p_.cells));
        for (int c = 0; c < p_.cells; ++c)
            cellLog[static_cast<std::size_t>(c)] = std::log(ratio_[static_cast<std::size_t>(c)]);
        std::vector<double> model;
        if (!fitter_.Run(cellLog, soil_.data(), model)) return false;
        VectorXd coefficients;
        fitter_.Explain(model, &coefficients);
        result_.windowStart = p_.start;
        result_.windowEnd = p_.end;
        for (int i = p_.start; i <= p_.end; ++i) {
            const double step = (i - p_.start) * p_.dt / p_.tau;
            const double t = p_.measured.size() > 1 ? step / static_cast<double>(p_.measured.size() - 1) : 0.0;
            const double drift = coefficients[1] + coefficients[2] * t + coefficients[3] * t * t;
            result_.measured.push_back(p_.velocity[static_cast<std::size_t>(i)] - drift);
            result_.fitted.push_back(coefficients[0] * Interpolate(model, step));
        }
        result_.quality = Correlation(result_.measured, result_.fitted, 0);
        const auto pulseEnd = static_cast<std::size_t>(std::max(0.0, std::ceil(2 * p_.peak - p_.start) - p_.start));
        result_.echoQuality = Correlation(result_.measured, result_.fitted, pulseEnd);
        return true;
    }

    const Prepared& p_;
    const MatchOptions& options_;
    Fitter fitter_;
    MatchResult result_;
    VectorXd soil_;              // log soil values, as the last stage left them
    std::vector<double> ratio_;  // per cell: Z / Z0, as the last stage left them
};

}  // namespace

std::string_view MatchFailureCode(MatchFailure failure) {
    for (const auto& e : kFailures)
        if (e.failure == failure) return e.code;
    return "";
}

std::string_view MatchFailureText(MatchFailure failure) {
    for (const auto& e : kFailures)
        if (e.failure == failure) return e.text;
    return "";
}

MatchResult MatchSignal(const TestPoint& tp, const MatchOptions& options) {
    Prepared prepared;
    if (const MatchFailure failure = Prepare(tp, prepared); failure != MatchFailure::kNone) {
        MatchResult result;
        result.failure = failure;
        return result;
    }
    return ProfileFit(prepared, options).Run();
}

}  // namespace tav
