#include "preview/texture.hpp"

#include <variant>

#include "overloaded.hpp"

namespace preview {
namespace {

// A value of `bits` bits widened to 8 by repeating it, as the RDP does:
// 5 bits 10000 give 10000100, 3 bits 101 give 10110110.
std::uint8_t widen(unsigned value, int bits) {
    unsigned wide = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits) wide |= shift >= 0 ? value << shift : value >> -shift;
    return static_cast<std::uint8_t>(wide);
}

// Grey texels of `bits` bits (4: two to a byte, the earlier one high; or 8),
// whose top `intensity_bits` are the intensity; the alpha bits below it are
// not drawn, like every texel's alpha here.
void decode_grey(const std::vector<std::uint8_t>& bytes, std::size_t count, int bits, int intensity_bits,
                 TextureImage& image) {
    const std::size_t per_byte = bits == 4 ? 2 : 1;
    for (std::size_t i = 0; i < count && i / per_byte < bytes.size(); ++i) {
        const std::uint8_t byte = bytes[i / per_byte];
        const unsigned texel = bits == 8 ? byte : i % 2 == 0 ? byte >> 4 : byte & 15u;
        const std::uint8_t level = widen(texel >> (bits - intensity_bits), intensity_bits);
        image.texels[i] = {level, level, level};
    }
}

}  // namespace

Rgb rgb_from_5551(std::uint16_t value) {
    return {widen(value >> 11 & 31u, 5), widen(value >> 6 & 31u, 5), widen(value >> 1 & 31u, 5)};
}

TextureImage decode_texture(const ultraback::Texture& texture) {
    const std::size_t count = std::size_t{texture.width} * texture.height;
    if (count == 0) return {};
    // Texels past the end of a short list read as black rather than past the
    // array; the converter never writes one.
    TextureImage image{texture.width, texture.height, std::vector<Rgb>(count)};
    std::visit(Overloaded{
                   [&](const ultraback::Ci4& ci4) {
                       for (std::size_t i = 0; i < count && i / 2 < ci4.indices.size(); ++i) {
                           const std::uint8_t pair = ci4.indices[i / 2];
                           const unsigned index = i % 2 == 0 ? pair >> 4 : pair & 15u;
                           if (index < ci4.palette.size()) image.texels[i] = rgb_from_5551(ci4.palette[index]);
                       }
                   },
                   [&](const ultraback::Rgba16& rgba16) {
                       for (std::size_t i = 0; i < count && i < rgba16.texels.size(); ++i) {
                           image.texels[i] = rgb_from_5551(rgba16.texels[i]);
                       }
                   },
                   [&](const ultraback::Rgba32& rgba32) {
                       // The console's 32-bit texel: red in the top byte, alpha in the lowest.
                       for (std::size_t i = 0; i < count && i < rgba32.texels.size(); ++i) {
                           const std::uint32_t v = rgba32.texels[i];
                           image.texels[i] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                              static_cast<std::uint8_t>(v >> 8)};
                       }
                   },
                   [&](const ultraback::Unknown&) { image = {}; },  // nothing the RDP could sample
                   [&](const ultraback::Ci8& ci8) {
                       for (std::size_t i = 0; i < count && i < ci8.indices.size(); ++i) {
                           if (ci8.indices[i] < ci8.palette.size()) {
                               image.texels[i] = rgb_from_5551(ci8.palette[ci8.indices[i]]);
                           }
                       }
                   },
                   [&](const ultraback::I4& i4) { decode_grey(i4.texels, count, 4, 4, image); },
                   [&](const ultraback::Ia4& ia4) { decode_grey(ia4.texels, count, 4, 3, image); },
                   [&](const ultraback::I8& i8) { decode_grey(i8.texels, count, 8, 8, image); },
                   [&](const ultraback::Ia8& ia8) { decode_grey(ia8.texels, count, 8, 4, image); },
                   [&](const ultraback::Ia16& ia16) {
                       for (std::size_t i = 0; i < count && i < ia16.texels.size(); ++i) {
                           const auto level = static_cast<std::uint8_t>(ia16.texels[i] >> 8);
                           image.texels[i] = {level, level, level};
                       }
                   },
               },
               texture.texels);
    return image;
}

}  // namespace preview
