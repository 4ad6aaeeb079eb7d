#include "utf8.hpp"

#include <cstddef>
#include <cstdint>

bool is_valid_utf8(std::string_view text) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint8_t low = 0x80, high = 0xBF;  // range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        if (byte(i + 1) < low || byte(i + 1) > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}
