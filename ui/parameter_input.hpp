// What the pile parameter bar's fields take. A wave speed must fit the
// record's 16-bit field and give the depth rules something to divide by; a
// pile length must be a positive, finite number no real pile exceeds. Anything
// else is refused with a message and the stored value stays.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tav::ui {

inline constexpr std::int32_t kMinWaveSpeed = 1;      // m/s
inline constexpr std::int32_t kMaxWaveSpeed = 32767;  // m/s, the record's 16-bit field
inline constexpr double kMaxPileLength = 1000.0;      // m

// The whole text as a whole number in range, blanks around it allowed.
std::optional<std::int32_t> ParseWaveSpeed(const QString& text);
// The whole text as a decimal number in range, blanks around it allowed.
std::optional<float> ParsePileLength(const QString& text);

QString WaveSpeedRefusal();
QString PileLengthRefusal();

}  // namespace tav::ui
