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
    // One test on the common path: NaN fails it as an out-of-range value does.
    if (!(value > static_cast<float>(lo) && value < static_cast<float>(hi))) [[unlikely]] {
        if (std::isnan(value)) return 0;
        return value <= static_cast<float>(lo) ? lo : hi;
    }
    // Without a library call: in double, value + 0.5 (or - 0.5) is exact for
    // every float in an int32's range, so truncating it rounds.
    return static_cast<std::int32_t>(static_cast<double>(value) + std::copysign(0.5, value));
}

inline std::int16_t trunc_i16(float value) {
    return static_cast<std::int16_t>(trunc_clamp(value, INT16_MIN, INT16_MAX));
}

inline std::uint16_t trunc_u16(float value) {
    return static_cast<std::uint16_t>(trunc_clamp(value, 0, UINT16_MAX));
}

}  // namespace converter
