#include "preview/texture.hpp"

#include <variant>

#include "overloaded.hpp"

namespace preview {
namespace {

std::uint8_t widen5(unsigned five_bits) { return static_cast<std::uint8_t>(five_bits << 3 | five_bits >> 2); }

}  // namespace

Rgb rgb_from_5551(std::uint16_t value) {
    return {widen5(value >> 11 & 31u), widen5(value >> 6 & 31u), widen5(value >> 1 & 31u)};
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
               },
               texture.texels);
    return image;
}

}  // namespace preview
