#include "analysis/pile_parameter_bar.hpp"

#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include "base/numeric.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

constexpr std::string_view kZeroSpeed = "波速设置值为零，是否继续？";
constexpr std::string_view kZeroLength = "桩长设置值为零，是否继续？";

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

// The wave speed that makes the pile length fit between head and toe.
void SpeedFromLength(TestPoint& tp) {
    const std::int32_t span = tp.toeIndex - tp.headIndex;
    if (span == 0 || tp.sampleInterval == 0.0f) return;
    const auto speed = TruncToInt32(static_cast<double>(tp.pileLength) * 2000000.0 / span / tp.sampleInterval);
    if (speed && FitsInt16(*speed)) tp.waveSpeed = static_cast<std::int16_t>(*speed);
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

std::string FormatBarLength(float length) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(length));
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return s;
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
        f.lengthText = FormatBarLength(tp.pileLength);
        return f;
    }
    // No single waveform is current: a common value, or an empty grey field.
    if (!f.speedGrey) f.speedText = std::to_string(shown.front()->waveSpeed);
    if (!f.lengthGrey) f.lengthText = FormatBarLength(shown.front()->pileLength);
    return f;
}

bool EditWaveSpeed(CTAV_AnalyserDoc& doc, const BarScope& scope, std::int32_t speed, UserPrompts& prompts) {
    if (!FitsInt16(speed)) return false;
    if (scope.EditsAll()) {
        const auto points = ShownPoints(doc, scope);
        if (points.empty()) return false;
        if (speed == 0 && !prompts.YesNo(kZeroSpeed)) return false;
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

bool EditPileLength(CTAV_AnalyserDoc& doc, const BarScope& scope, float length, RecomputeSettings& settings,
                    UserPrompts& prompts) {
    if (scope.EditsAll()) {
        const auto points = ShownPoints(doc, scope);
        if (points.empty()) return false;
        if (length == 0.0f && !prompts.YesNo(kZeroLength)) return false;
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
