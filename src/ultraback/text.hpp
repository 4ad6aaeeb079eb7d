#pragma once
// Number renderings of the C text, written straight into a caller's buffer.
// Each returns the end of what it wrote; the caller provides the room.

#include <cstddef>
#include <cstdint>

namespace ultraback {

// Enough room for any float: "-" + "0." + 44 zeros + the digits of the
// smallest subnormal, or the 39 digits of the largest float.
inline constexpr std::size_t kMaxFloatChars = 64;
inline constexpr std::size_t kMaxDecimalChars = 20;

// Shortest round-trip digits in plain positional notation (see format_float).
char* put_float(char* out, float value);

// `digits` lowercase hex digits, zero-padded on the left.
inline char* put_hex(char* out, std::uint32_t value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kHex[value & 0xf];
        value >>= 4;
    }
    return out + digits;
}

}  // namespace ultraback
