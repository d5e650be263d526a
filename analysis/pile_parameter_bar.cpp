#include "analysis/pile_parameter_bar.hpp"

#include <limits>
#include <optional>
#include <vector>

#include "base/numeric.hpp"
#include "model/document.hpp"
#include "model/pile_quantities.hpp"

namespace tav {

namespace {

bool FitsInt16(std::int64_t v) {
    return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

// The toe where the pile length puts it at the new speed, never past the last
// recorded sample. Without a depth scale (zero speed or interval) it stays.
void PlaceToeFromLength(TestPoint& tp) {
    const float denominator = static_cast<float>(tp.waveSpeed) * tp.sampleInterval;
    if (denominator == 0.0f) return;
    const auto travel = TruncToInt32(tp.pileLength * -2.0f / denominator * 1e6f);
    if (!travel) return;
    std::int64_t toe = static_cast<std::int64_t>(tp.headIndex) - *travel;
    if (toe > tp.headSampleCount - 1) toe = tp.headSampleCount - 1;
    if (FitsInt16(toe)) tp.toeIndex = static_cast<std::int16_t>(toe);
}

// The wave speed that makes the pile length fit between head and toe; the
// length was only taken when that speed is within the limits.
void SpeedFromLength(TestPoint& tp) {
    if (const auto speed = SpeedForLength(tp, tp.pileLength)) tp.waveSpeed = static_cast<std::int16_t>(*speed);
}

std::vector<TestPoint*> ShownPoints(CTAV_AnalyserDoc& doc, const BarScope& scope) {
    std::vector<TestPoint*> out;
    for (const std::int32_t i : scope.shown)
        if (doc.ValidIndex(i)) out.push_back(&doc.points[static_cast<std::size_t>(i)]);
    return out;
}

}  // namespace

void ChooseRecompute(RecomputeSettings& settings, std::int32_t choice) {
    settings.choice = choice;
    if (choice == 1 || choice == 2) settings.mode = choice;
}

BarFields ParameterBarFields(const CTAV_AnalyserDoc& doc, const BarScope& scope) {
    BarFields f;
    std::vector<const TestPoint*> shown;
    for (const std::int32_t i : scope.shown)
        if (doc.ValidIndex(i)) shown.push_back(&doc.points[static_cast<std::size_t>(i)]);
    if (shown.empty()) return f;
    f.enabled = true;
    if (scope.EditsAll()) {
        for (const TestPoint* tp : shown) {
            f.speedGrey = f.speedGrey || tp->waveSpeed != shown.front()->waveSpeed;
            f.lengthGrey = f.lengthGrey || tp->pileLength != shown.front()->pileLength;
        }
    }
    // A current waveform shows its values (grey when the others differ).
    if (doc.ValidIndex(scope.current)) {
        const TestPoint& tp = doc.points[static_cast<std::size_t>(scope.current)];
        f.speedText = std::to_string(tp.waveSpeed);
        f.lengthText = FormatLength(tp.pileLength);
        return f;
    }
    // No single waveform is current: a common value, or an empty grey field.
    if (!f.speedGrey) f.speedText = std::to_string(shown.front()->waveSpeed);
    if (!f.lengthGrey) f.lengthText = FormatLength(shown.front()->pileLength);
    return f;
}

bool PileLengthFits(const CTAV_AnalyserDoc& doc, const BarScope& scope, float length) {
    if (!(length >= kMinPileLength && length <= kMaxPileLength)) return false;
    std::vector<const TestPoint*> points;
    if (scope.EditsAll()) {
        for (const std::int32_t i : scope.shown)
            if (doc.ValidIndex(i)) points.push_back(&doc.points[static_cast<std::size_t>(i)]);
    } else if (doc.ValidIndex(scope.current)) {
        points.push_back(&doc.points[static_cast<std::size_t>(scope.current)]);
    }
    for (const TestPoint* tp : points)
        if (!LengthKeepsSpeedValid(*tp, length)) return false;
    return true;
}

bool EditWaveSpeed(CTAV_AnalyserDoc& doc, const BarScope& scope, std::int32_t speed) {
    if (speed < kMinWaveSpeed || speed > kMaxWaveSpeed) return false;
    if (scope.EditsAll()) {
        const auto points = ShownPoints(doc, scope);
        if (points.empty()) return false;
        for (TestPoint* tp : points) {
            tp->waveSpeed = static_cast<std::int16_t>(speed);
            PlaceToeFromLength(*tp);
        }
    } else {
        if (!doc.ValidIndex(scope.current)) return false;
        TestPoint& tp = doc.points[static_cast<std::size_t>(scope.current)];
        if (tp.waveSpeed == speed) return false;
        tp.waveSpeed = static_cast<std::int16_t>(speed);
        PlaceToeFromLength(tp);
        tp.toeValid = 1;
    }
    doc.MarkModified();
    return true;
}

bool EditPileLength(CTAV_AnalyserDoc& doc, const BarScope& scope, float length, RecomputeSettings& settings) {
    if (!PileLengthFits(doc, scope, length)) return false;
    if (scope.EditsAll()) {
        const auto points = ShownPoints(doc, scope);
        if (points.empty()) return false;
        for (TestPoint* tp : points) {
            tp->pileLength = length;
            SpeedFromLength(*tp);
        }
    } else {
        if (!doc.ValidIndex(scope.current)) return false;
        TestPoint& tp = doc.points[static_cast<std::size_t>(scope.current)];
        if (tp.pileLength == length) return false;
        tp.pileLength = length;
        SpeedFromLength(tp);
    }
    if (settings.choice == 0) settings.mode = 1;
    doc.MarkModified();
    return true;
}

}  // namespace tav
