// Conversions of computed reals to the integers that records store. The rules
// truncate toward zero; a value that is not finite or does not fit gives
// nothing, so that a zero wave speed or interval never turns into garbage.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace tav {

inline std::optional<std::int32_t> TruncToInt32(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    const double t = std::trunc(v);
    if (t < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        t > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(t);
}

// A sample position a number of samples after another. A sum beyond the
// 32-bit range is held at the range's end: still a position outside every
// record, never one wrapped around into it.
inline std::int32_t PositionAfter(std::int32_t position, std::int32_t samples) {
    std::int32_t sum = 0;
    if (!__builtin_add_overflow(position, samples, &sum)) return sum;
    return samples > 0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
}

// 16-bit wrap-around, as the record's 16-bit fields store an int.
inline std::int16_t WrapInt16(std::int32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

}  // namespace tav
