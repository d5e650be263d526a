// Pile length and wave speed as an engineer types and reads them, wherever
// they are typed (the pile parameter bar, the pile information dialog,
// tavtool's list command) and wherever a length is shown. The two go
// together: a pile length edit makes the wave speed follow from the
// head-to-toe time, so a length is only taken when the speed it gives is one
// the record can hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

struct TestPoint;

inline constexpr double kMinPileLength = 0.001;       // m, the finest step a length is shown with
inline constexpr double kMaxPileLength = 1000.0;      // m, no real pile is longer
inline constexpr std::int32_t kMinWaveSpeed = 1;      // m/s, the depth rules divide by it
inline constexpr std::int32_t kMaxWaveSpeed = 32767;  // m/s, the record's 16-bit field

// The whole text as a decimal number within the limits, blanks around it allowed.
std::optional<float> ReadPileLength(std::string_view text);
// The whole text as a whole number within the limits, blanks around it allowed.
std::optional<std::int32_t> ReadWaveSpeed(std::string_view text);

// The refusals (UTF-8); a refused value is never stored.
std::string PileLengthRefusal();
std::string WaveSpeedRefusal();

// The wave speed a pile length gives with the test point's head and toe:
// truncate(L × 2,000,000 ÷ (toe − head) ÷ Δt). Nothing when there is no
// head-to-toe time (the toe not after the head, or no sample interval); the
// speed then stays as it is. The value may lie outside the limits.
std::optional<double> SpeedForLength(const TestPoint& tp, float length);
// Whether the speed that follows from the length (if any) is within the limits.
bool LengthKeepsSpeedValid(const TestPoint& tp, float length);

// A length in metres as shown: the shortest decimal, of at most three
// decimals, that reads back as the same float (34.2f → "34.2", 12 → "12",
// 0.0626 → "0.063").
std::string FormatLength(float metres);

}  // namespace tav
