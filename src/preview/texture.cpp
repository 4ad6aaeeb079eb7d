#include "preview/texture.hpp"

#include <type_traits>
#include <variant>

namespace preview {
namespace {

std::uint8_t widen5(unsigned five_bits) { return static_cast<std::uint8_t>(five_bits << 3 | five_bits >> 2); }

template <class>
inline constexpr bool kAlwaysFalse = false;

}  // namespace

Rgb rgb_from_5551(std::uint16_t value) {
    return {widen5(value >> 11 & 31u), widen5(value >> 6 & 31u), widen5(value >> 1 & 31u)};
}

TextureImage decode_texture(const ultraback::Texture& texture) {
    TextureImage image{texture.width, texture.height, {}};
    const std::size_t count = std::size_t{texture.width} * texture.height;
    if (count == 0) return {};
    // Texels past the end of a short list read as black rather than past the
    // array; the converter never writes one.
    image.texels.resize(count);
    std::visit(
        [&](const auto& data) {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, ultraback::Ci4>) {
                for (std::size_t i = 0; i < count && i / 2 < data.indices.size(); ++i) {
                    const std::uint8_t pair = data.indices[i / 2];
                    const unsigned index = i % 2 == 0 ? pair >> 4 : pair & 15u;
                    if (index < data.palette.size()) image.texels[i] = rgb_from_5551(data.palette[index]);
                }
            } else if constexpr (std::is_same_v<T, ultraback::Rgba16>) {
                for (std::size_t i = 0; i < count && i < data.texels.size(); ++i) {
                    image.texels[i] = rgb_from_5551(data.texels[i]);
                }
            } else if constexpr (std::is_same_v<T, ultraback::Rgba32>) {
                // The console's 32-bit texel: red in the top byte, alpha in the lowest.
                for (std::size_t i = 0; i < count && i < data.texels.size(); ++i) {
                    const std::uint32_t v = data.texels[i];
                    image.texels[i] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                       static_cast<std::uint8_t>(v >> 8)};
                }
            } else if constexpr (std::is_same_v<T, ultraback::Unknown>) {
                image = {};  // nothing the RDP could sample
            } else {
                static_assert(kAlwaysFalse<T>, "a texel format the preview cannot decode");
            }
        },
        texture.texels);
    return image;
}

}  // namespace preview
