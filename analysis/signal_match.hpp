// Signal matching: the pile model fitted to a test point's velocity record.
//
// The record is read as the head velocity of a blow on a one-dimensional pile
// (analysis/pile_model.hpp) of the test point's length and wave speed. The blow's
// force is taken from the record itself: until the incident velocity peaks no
// echo has come back, so the force is the sound impedance times the rising
// velocity, and its fall is the rise mirrored (the measured fall may already
// carry echoes of shallow defects). The fit then finds, by least squares over
// the window from the blow to beyond the toe echo,
// - the impedance profile: the shaft cut into short cells of equal length,
//   each with its impedance ÷ the head's (Z/Z0; the cell at the head is Z0);
// - the shaft soil (a dashpot and spring per metre) and the base soil;
// - the record's scale and its slow drift (a quadratic in time, left by
//   integrating an accelerometer's offset and drift).
// A total-variation penalty on the profile's steps keeps a sound pile uniform
// and a defect a clear step down or up; neighbouring cells of nearly equal
// impedance are then merged into segments whose impedances are fitted once
// more on their own.
//
// An acceleration record (by its sensor and its chain's integrations and
// differentiations) is integrated first. The fit always ends: it has an
// iteration budget, a time limit and a cancel flag, checked between model runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tav {

struct TestPoint;

// Why a record could not be fitted.
enum class MatchFailure {
    kNone = 0,
    kTooShort,      // too few samples
    kNotFinite,     // a sample is NaN or infinite
    kNoInterval,    // sampling interval not above 0
    kNoSpeed,       // wave speed not above 0
    kNoLength,      // pile length not above 0
    kNoHead,        // the head is not marked or lies outside the record
    kNoBlow,        // no incident pulse at the head (all zeros, or flat)
    kToeBeyondRecord,
    kNotVelocity,   // the processed record is a displacement or a second derivative
    kCancelled,
    kTimedOut,
};

// "no-head", "too-short", ... for tavtool; the window's text below.
std::string_view MatchFailureCode(MatchFailure failure);
std::string_view MatchFailureText(MatchFailure failure);  // UTF-8 Chinese

struct MatchSegment {
    double top = 0.0;     // m below the head
    double bottom = 0.0;  // m below the head
    double ratio = 1.0;   // Z / Z0
};

struct MatchSoil {
    double shaftDamping = 0.0;    // exp(-this) is the share of the toe echo the shaft lets back
    double shaftFrequency = 0.0;  // Hz: shaft spring ÷ dashpot ÷ 2π
    double toeDamping = 0.0;      // base dashpot ÷ Z0 (0 free toe, above 1 rock-like)
    double toeFrequency = 0.0;    // Hz: base spring ÷ dashpot ÷ 2π
};

struct MatchOptions {
    double timeLimit = 20.0;  // s of wall time
    int maxForwardRuns = 20000;
    // Set to non-zero from another thread to stop the fit (a "cancelled" result).
    const std::atomic<int>* cancel = nullptr;
    // Called now and then with the share done (0..1), on the fitting thread.
    std::function<void(double)> progress;
};

struct MatchResult {
    MatchFailure failure = MatchFailure::kNone;
    bool ok() const { return failure == MatchFailure::kNone; }

    std::vector<MatchSegment> segments;  // head to toe, contiguous
    MatchSoil soil;
    // Over the record's samples [windowStart, windowEnd]: the velocity the fit
    // explained (drift removed, peak 1) and the model's velocity.
    std::int32_t windowStart = 0;
    std::int32_t windowEnd = 0;
    std::vector<double> measured;
    std::vector<double> fitted;
    double quality = 0.0;      // correlation of measured and fitted over the window
    double echoQuality = 0.0;  // the same after the incident pulse, where the echoes are
    int forwardRuns = 0;       // model runs the fit took
    // To draw the curves in depth beside the profile: the record position of
    // the incident peak (sub-sample), the sampling interval and the wave speed.
    double pileLength = 0.0;      // m, of the profile
    double headPosition = 0.0;    // samples
    double sampleInterval = 0.0;  // µs
    double waveSpeed = 0.0;       // m/s

    // Depth (m, negative before the head) that record sample i stands for.
    double SampleDepth(double i) const { return (i - headPosition) * sampleInterval * 1e-6 * waveSpeed / 2; }
};

MatchResult MatchSignal(const TestPoint& tp, const MatchOptions& options = {});

}  // namespace tav
