#pragma once
// Float to integer conversions that are defined for every input: a plain cast
// of NaN, an infinity or a value outside the target type is undefined.

#include <cmath>
#include <cstdint>

namespace converter {

// Truncates toward zero, then clamps into [lo, hi]. NaN gives 0.
inline std::int32_t trunc_clamp(float value, std::int32_t lo, std::int32_t hi) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<float>(lo)) return lo;
    if (value >= static_cast<float>(hi)) return hi;
    return static_cast<std::int32_t>(value);
}

// Rounds to nearest (halves away from zero), then clamps into [lo, hi]. NaN
// gives 0.
inline std::int32_t round_clamp(float value, std::int32_t lo, std::int32_t hi) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<float>(lo)) return lo;
    if (value >= static_cast<float>(hi)) return hi;
    // Exact without a library call: a float's fraction, value - trunc(value),
    // is a float itself.
    const auto whole = static_cast<std::int32_t>(value);
    const float rest = value - static_cast<float>(whole);
    return whole + (rest >= 0.5f) - (rest <= -0.5f);
}

inline std::int16_t trunc_i16(float value) {
    return static_cast<std::int16_t>(trunc_clamp(value, INT16_MIN, INT16_MAX));
}

inline std::uint16_t trunc_u16(float value) {
    return static_cast<std::uint16_t>(trunc_clamp(value, 0, UINT16_MAX));
}

}  // namespace converter
