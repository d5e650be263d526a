// What the pile parameter bar's fields take: the limits and refusals of
// model/pile_quantities.hpp, read from the fields' texts. Anything else is
// refused with a message and the stored value stays.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tav::ui {

// The whole text as a whole number in range, blanks around it allowed.
std::optional<std::int32_t> ParseWaveSpeed(const QString& text);
// The whole text as a decimal number in range, blanks around it allowed.
std::optional<float> ParsePileLength(const QString& text);

QString WaveSpeedRefusal();
QString PileLengthRefusal();

}  // namespace tav::ui
