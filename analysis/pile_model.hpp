// A pile struck at its head, as a one-dimensional column of segments solved by
// the method of characteristics: every segment has the same wave travel time,
// so the down- and up-going waves hop exactly one segment per time step and
// the only arithmetic is the scattering at the joints. Joints carry the soil's
// shaft resistance (spring and dashpot), the toe carries the base soil.
//
// Units are SI inside the model (m, s, kg, N); the record layer converts to
// the instrument's millivolts and microseconds.
#pragma once

#include <cstdint>
#include <vector>

namespace tav::synth {

// A stretch of shaft whose impedance differs from the sound shaft's.
struct ImpedanceZone {
    double top = 0.0;     // m below the head
    double bottom = 0.0;  // m below the head
    double ratio = 1.0;   // impedance of the stretch ÷ impedance of the sound shaft
};

struct PileParams {
    double length = 10.0;     // m
    double waveSpeed = 4000;  // m/s
    double density = 2400;    // kg/m³
    double area = 0.1;        // m², sound cross-section
    std::vector<ImpedanceZone> zones;
    // Shaft soil, per metre of shaft: N·s/m per m and N/m per m.
    double shaftDamping = 0.0;
    double shaftStiffness = 0.0;
    // Base soil: 0 and 0 leave the toe free; a dashpot above the pile's own
    // impedance makes it rock-like.
    double toeDamping = 0.0;    // N·s/m
    double toeStiffness = 0.0;  // N/m

    double Impedance() const { return density * waveSpeed * area; }
};

// A hand-hammer blow: half-sine force pulse on the head.
struct HammerBlow {
    double force = 2000.0;  // N, peak
    double width = 1e-3;    // s
    double start = 0.0;     // s from the first sample

    double ForceAt(double t) const;
};

class PileModel {
public:
    // segmentTime: travel time of the wave through one segment (s); the pile
    // gets round(length / (waveSpeed × segmentTime)) segments, at least one.
    PileModel(const PileParams& pile, double segmentTime);
    // A pile given segment by segment, head first: the impedance of every
    // segment (N·s/m, at least one, each above 0); the pile's soil and wave
    // speed come from soil, whose length, zones and sound impedance are not used.
    PileModel(std::vector<double> segmentImpedance, const PileParams& soil, double segmentTime);

    // The segment impedances the first constructor gives the pile.
    static std::vector<double> SegmentImpedances(const PileParams& pile, double segmentTime);

    // Advances one segment time with the given force on the head; returns the
    // head velocity (m/s, downward positive) at the start of the step.
    double Step(double headForce);

    // Energy held in the shaft (wave energy plus the soil springs), J.
    double Energy() const;

    int SegmentCount() const { return static_cast<int>(impedance_.size()); }
    double SegmentTime() const { return tau_; }
    double SegmentImpedance(int i) const { return impedance_[static_cast<std::size_t>(i)]; }

private:
    double tau_;
    std::vector<double> impedance_;  // per segment
    // Per joint between segment i-1 and i (index 0 unused: the head).
    std::vector<double> jointDamping_;
    std::vector<double> jointStiffness_;
    std::vector<double> jointDisplacement_;
    std::vector<double> jointAdmittance_;  // 1 / (Z above + Z below + dashpot + spring × τ)
    double toeDamping_;
    double toeStiffness_;
    double toeDisplacement_ = 0.0;
    // down_[i]: force wave about to leave segment i at its bottom;
    // up_[i]: force wave about to leave segment i at its top. Compression positive.
    std::vector<double> down_, up_, nextDown_, nextUp_;
};

// Head velocity of the blow at every segment time from 0 to steps - 1.
std::vector<double> SimulateHeadVelocity(const PileParams& pile, const HammerBlow& blow, double segmentTime,
                                         int steps);

enum class SensorKind { Acceleration = 0, Velocity = 1 };  // the record's sensorType codes

struct RecordOptions {
    SensorKind sensor = SensorKind::Velocity;
    double sampleInterval = 20.0;  // µs
    int samples = 1024;
    int stepsPerSample = 2;        // segment time = sampleInterval ÷ stepsPerSample
    // mV per mm/s for a velocity sensor, mV per m/s² for an accelerometer:
    // with the same number for both, integrating an acceleration record over
    // milliseconds gives the velocity record of the same blow.
    double sensitivity = 50.0;
    double gain = 1.0;
    double noiseRms = 0.0;  // mV
    double dcOffset = 0.0;  // mV
    double trend = 0.0;     // mV reached by the drift at the last sample
    std::uint64_t noiseSeed = 1;
};

// The sensor's signal of the blow at the options' sensitivity and gain, mV,
// before noise; velocity, when given, receives the head velocity (m/s) at
// every sample whatever the sensor.
std::vector<double> HeadSignal(const PileParams& pile, const HammerBlow& blow, const RecordOptions& options,
                               std::vector<double>* velocity = nullptr);

// The instrument's record of a clean signal: noise, offset and drift added.
std::vector<float> AddInstrumentNoise(const std::vector<double>& clean, const RecordOptions& options);

// The record the instrument would take of the blow, mV.
std::vector<float> SynthesizeRecord(const PileParams& pile, const HammerBlow& blow, const RecordOptions& options);

}  // namespace tav::synth
