#include "model/pile_quantities.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/format.hpp"
#include "model/test_point.hpp"

namespace tav {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The whole text as a number of type T (an optional '+' first), or nothing.
template <typename T>
std::optional<T> WholeNumber(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    T v{};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace

std::optional<float> ReadPileLength(std::string_view text) {
    const auto length = WholeNumber<double>(text);
    if (!length || !(*length >= kMinPileLength && *length <= kMaxPileLength)) return std::nullopt;
    return static_cast<float>(*length);
}

std::optional<std::int32_t> ReadWaveSpeed(std::string_view text) {
    const auto speed = WholeNumber<long long>(text);
    if (!speed || *speed < kMinWaveSpeed || *speed > kMaxWaveSpeed) return std::nullopt;
    return static_cast<std::int32_t>(*speed);
}

std::string PileLengthRefusal() {
    return Format("桩长应为%g～%g之间的数（m），且由桩头到桩底的时间算出的波速应在%d～%d m/s之间，输入的值未被采用。",
                  kMinPileLength, kMaxPileLength, kMinWaveSpeed, kMaxWaveSpeed);
}

std::string WaveSpeedRefusal() {
    return Format("波速应为%d～%d之间的整数（m/s），输入的值未被采用。", kMinWaveSpeed, kMaxWaveSpeed);
}

std::optional<double> SpeedForLength(const TestPoint& tp, float length) {
    const std::int32_t span = tp.toeIndex - tp.headIndex;
    if (span <= 0 || !(tp.sampleInterval > 0.0f)) return std::nullopt;
    return std::trunc(static_cast<double>(length) * 2000000.0 / span / tp.sampleInterval);
}

bool LengthKeepsSpeedValid(const TestPoint& tp, float length) {
    const auto speed = SpeedForLength(tp, length);
    return !speed || (*speed >= kMinWaveSpeed && *speed <= kMaxWaveSpeed);
}

std::string FormatLength(float metres) {
    std::string text;
    for (int decimals = 0; decimals <= 3; ++decimals) {
        text = Format("%.*f", decimals, static_cast<double>(metres));
        if (std::strtof(text.c_str(), nullptr) == metres) break;
    }
    // Capped at three decimals: no trailing zeros, and no "-0".
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

}  // namespace tav
