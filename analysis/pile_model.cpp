#include "analysis/pile_model.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "base/random.hpp"

namespace tav::synth {

double HammerBlow::ForceAt(double t) const {
    const double s = t - start;
    if (width <= 0.0 || s < 0.0 || s > width) return 0.0;
    return force * std::sin(std::numbers::pi * s / width);
}

std::vector<double> PileModel::SegmentImpedances(const PileParams& pile, double segmentTime) {
    const double segmentLength = pile.waveSpeed * segmentTime;
    const int n = std::max(1, static_cast<int>(std::lround(pile.length / segmentLength)));
    const double z = pile.Impedance();
    std::vector<double> impedance(static_cast<std::size_t>(n), z);
    for (const auto& zone : pile.zones) {
        // A segment belongs to a stretch when its centre does; a stretch
        // shorter than a segment still takes the segment around its middle.
        bool any = false;
        for (int i = 0; i < n; ++i) {
            const double centre = (i + 0.5) * segmentLength;
            if (centre >= zone.top && centre < zone.bottom) {
                impedance[static_cast<std::size_t>(i)] = z * zone.ratio;
                any = true;
            }
        }
        if (!any) {
            const int i = std::clamp(static_cast<int>(0.5 * (zone.top + zone.bottom) / segmentLength), 0, n - 1);
            impedance[static_cast<std::size_t>(i)] = z * zone.ratio;
        }
    }
    return impedance;
}

PileModel::PileModel(const PileParams& pile, double segmentTime)
    : PileModel(SegmentImpedances(pile, segmentTime), pile, segmentTime) {}

PileModel::PileModel(std::vector<double> segmentImpedance, const PileParams& soil, double segmentTime)
    : tau_(segmentTime),
      impedance_(std::move(segmentImpedance)),
      toeDamping_(soil.toeDamping),
      toeStiffness_(soil.toeStiffness) {
    if (impedance_.empty()) impedance_.push_back(soil.Impedance());
    const std::size_t n = impedance_.size();
    const double segmentLength = soil.waveSpeed * segmentTime;
    jointDamping_.assign(n, soil.shaftDamping * segmentLength);
    jointStiffness_.assign(n, soil.shaftStiffness * segmentLength);
    jointDisplacement_.assign(n, 0.0);
    jointAdmittance_.assign(n, 0.0);
    for (std::size_t j = 1; j < n; ++j)
        jointAdmittance_[j] =
            1.0 / (impedance_[j - 1] + impedance_[j] + jointDamping_[j] + jointStiffness_[j] * segmentTime);
    down_.assign(n, 0.0);
    up_ = nextDown_ = nextUp_ = down_;
}

double PileModel::Step(double headForce) {
    const std::size_t n = impedance_.size();
    const double* z = impedance_.data();

    // Head: the force is imposed, the arriving up-going wave is reflected.
    const double headVelocity = (headForce - 2.0 * up_[0]) / z[0];
    nextDown_[0] = headForce - up_[0];

    // Joints: force balance with the shaft resistance, one velocity.
    for (std::size_t j = 1; j < n; ++j) {
        const double a = down_[j - 1];
        const double b = up_[j];
        const double k = jointStiffness_[j];
        const double v = (2.0 * (a - b) - k * jointDisplacement_[j]) * jointAdmittance_[j];
        nextUp_[j - 1] = a - z[j - 1] * v;
        nextDown_[j] = b + z[j] * v;
        jointDisplacement_[j] += v * tau_;
    }

    // Toe on the base soil.
    const double a = down_[n - 1];
    const double v = (2.0 * a - toeStiffness_ * toeDisplacement_) / (z[n - 1] + toeDamping_ + toeStiffness_ * tau_);
    nextUp_[n - 1] = a - z[n - 1] * v;
    toeDisplacement_ += v * tau_;

    down_.swap(nextDown_);
    up_.swap(nextUp_);
    return headVelocity;
}

double PileModel::Energy() const {
    double e = 0.0;
    for (std::size_t i = 0; i < impedance_.size(); ++i)
        e += (down_[i] * down_[i] + up_[i] * up_[i]) / impedance_[i] * tau_;
    for (std::size_t j = 1; j < impedance_.size(); ++j)
        e += 0.5 * jointStiffness_[j] * jointDisplacement_[j] * jointDisplacement_[j];
    e += 0.5 * toeStiffness_ * toeDisplacement_ * toeDisplacement_;
    return e;
}

std::vector<double> SimulateHeadVelocity(const PileParams& pile, const HammerBlow& blow, double segmentTime,
                                         int steps) {
    PileModel model(pile, segmentTime);
    std::vector<double> v(static_cast<std::size_t>(std::max(steps, 0)));
    for (int s = 0; s < steps; ++s) v[static_cast<std::size_t>(s)] = model.Step(blow.ForceAt(s * segmentTime));
    return v;
}

std::vector<double> HeadSignal(const PileParams& pile, const HammerBlow& blow, const RecordOptions& options,
                               std::vector<double>* velocity) {
    const int n = std::max(options.samples, 0);
    const int m = std::max(options.stepsPerSample, 1);
    const double tau = options.sampleInterval * 1e-6 / m;
    // One step beyond the last sample for the central difference.
    const auto v = SimulateHeadVelocity(pile, blow, tau, n * m + 2);
    const double scale = options.sensitivity * options.gain;
    std::vector<double> x(static_cast<std::size_t>(n));
    if (velocity) velocity->resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const auto s = static_cast<std::size_t>(k * m);
        if (velocity) (*velocity)[static_cast<std::size_t>(k)] = v[s];
        if (options.sensor == SensorKind::Velocity) {
            x[static_cast<std::size_t>(k)] = v[s] * 1000.0 * scale;  // m/s → mm/s
        } else {
            // The mean acceleration over the sampling interval around the sample.
            const double a = s == 0 ? (v[1] - v[0]) / tau : (v[s + 1] - v[s - 1]) / (2.0 * tau);
            x[static_cast<std::size_t>(k)] = a * scale;
        }
    }
    return x;
}

std::vector<float> AddInstrumentNoise(const std::vector<double>& clean, const RecordOptions& options) {
    const auto n = clean.size();
    Random rng(options.noiseSeed);
    std::vector<float> x(n);
    for (std::size_t k = 0; k < n; ++k) {
        double value = clean[k];
        if (options.noiseRms > 0.0) value += options.noiseRms * rng.Normal();
        value += options.dcOffset;
        if (n > 1) value += options.trend * static_cast<double>(k) / static_cast<double>(n - 1);
        x[k] = static_cast<float>(value);
    }
    return x;
}

std::vector<float> SynthesizeRecord(const PileParams& pile, const HammerBlow& blow, const RecordOptions& options) {
    return AddInstrumentNoise(HeadSignal(pile, blow, options), options);
}

}  // namespace tav::synth
