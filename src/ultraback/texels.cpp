#include "ultraback/texels.hpp"

#include <cassert>
#include <variant>

#include "overloaded.hpp"

namespace ultraback {
namespace {

Rgba grey(std::uint8_t intensity, std::uint8_t alpha) { return {intensity, intensity, intensity, alpha}; }

// Texel k of two 4-bit texels a byte, the earlier one high.
unsigned nibble_at(const std::vector<std::uint8_t>& bytes, std::size_t k) {
    const std::uint8_t byte = bytes[k / 2];
    return k % 2 == 0 ? byte >> 4 : byte & 15u;
}

// Fills `out` from texel lists of one or two texels a byte or element: as
// many as the list holds, the rest left transparent black.
template <class List, class Decode>
void decode_each(const List& list, std::size_t per_element, std::vector<Rgba>& out, Decode decode) {
    for (std::size_t k = 0; k < out.size() && k / per_element < list.size(); ++k) out[k] = decode(k);
}

}  // namespace

std::uint8_t widen(unsigned value, unsigned bits) {
    assert(bits >= 1 && bits <= 8 && value < (1u << bits));
    unsigned wide = 0;
    for (int shift = 8 - static_cast<int>(bits); shift > -static_cast<int>(bits); shift -= static_cast<int>(bits))
        wide |= shift >= 0 ? value << shift : value >> -shift;
    return static_cast<std::uint8_t>(wide);
}

Rgba from_5551(std::uint16_t value) {
    return {widen(value >> 11 & 31u, 5), widen(value >> 6 & 31u, 5), widen(value >> 1 & 31u, 5),
            widen(value & 1u, 1)};
}

Rgba from_i4(unsigned texel) { return grey(widen(texel, 4), 255); }
Rgba from_ia4(unsigned texel) { return grey(widen(texel >> 1, 3), widen(texel & 1u, 1)); }
Rgba from_i8(unsigned texel) { return grey(static_cast<std::uint8_t>(texel), 255); }
Rgba from_ia8(unsigned texel) { return grey(widen(texel >> 4, 4), widen(texel & 15u, 4)); }
Rgba from_ia16(unsigned texel) { return grey(static_cast<std::uint8_t>(texel >> 8), static_cast<std::uint8_t>(texel)); }

std::vector<Rgba> decode_texels(const TexelData& texels, std::size_t count) {
    std::vector<Rgba> out(count);
    const auto entry = [](const std::vector<std::uint16_t>& palette, unsigned index) {
        return index < palette.size() ? from_5551(palette[index]) : Rgba{};
    };
    std::visit(Overloaded{
                   [&](const Ci4& ci4) {
                       decode_each(ci4.indices, 2, out,
                                   [&](std::size_t k) { return entry(ci4.palette, nibble_at(ci4.indices, k)); });
                   },
                   [&](const Ci8& ci8) {
                       decode_each(ci8.indices, 1, out,
                                   [&](std::size_t k) { return entry(ci8.palette, ci8.indices[k]); });
                   },
                   [&](const Rgba16& rgba16) {
                       decode_each(rgba16.texels, 1, out, [&](std::size_t k) { return from_5551(rgba16.texels[k]); });
                   },
                   [&](const Rgba32& rgba32) {
                       // Red in the top byte, alpha in the lowest.
                       decode_each(rgba32.texels, 1, out, [&](std::size_t k) {
                           const std::uint32_t v = rgba32.texels[k];
                           return Rgba{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                       static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
                       });
                   },
                   [](const Unknown&) {},
                   [&](const I4& i4) {
                       decode_each(i4.texels, 2, out, [&](std::size_t k) { return from_i4(nibble_at(i4.texels, k)); });
                   },
                   [&](const Ia4& ia4) {
                       decode_each(ia4.texels, 2, out,
                                   [&](std::size_t k) { return from_ia4(nibble_at(ia4.texels, k)); });
                   },
                   [&](const I8& i8) {
                       decode_each(i8.texels, 1, out, [&](std::size_t k) { return from_i8(i8.texels[k]); });
                   },
                   [&](const Ia8& ia8) {
                       decode_each(ia8.texels, 1, out, [&](std::size_t k) { return from_ia8(ia8.texels[k]); });
                   },
                   [&](const Ia16& ia16) {
                       decode_each(ia16.texels, 1, out, [&](std::size_t k) { return from_ia16(ia16.texels[k]); });
                   },
               },
               texels);
    return out;
}

}  // namespace ultraback
