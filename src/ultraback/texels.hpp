#pragma once
// Texels as the RDP reads them: every texel format of the output model back
// to 8-bit RGBA, each channel widened by repeating its bits, as the RDP does,
// so that the widest value is 255. The texture fitting measures its error on
// what this shows, and the preview draws it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ultraback/mesh.hpp"

namespace ultraback {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A `bits`-bit channel (1 to 8) widened to 8 bits: 5 bits 10000 give
// 10000100, 3 bits 101 give 10110110.
std::uint8_t widen(unsigned value, unsigned bits);

Rgba from_5551(std::uint16_t value);

// One texel of a grey format, from its bits (as packed in the texel arrays).
Rgba from_i4(unsigned texel);
Rgba from_ia4(unsigned texel);
Rgba from_i8(unsigned texel);
Rgba from_ia8(unsigned texel);
Rgba from_ia16(unsigned texel);

// The first `count` texels. An index past the palette, a texel past the end
// of a short list, and every texel of Unknown data read as transparent black.
std::vector<Rgba> decode_texels(const TexelData& texels, std::size_t count);

}  // namespace ultraback
