#include "preview/texture.hpp"

#include <variant>

#include "ultraback/texels.hpp"

namespace preview {

TextureImage decode_texture(const ultraback::Texture& texture) {
    const std::size_t count = std::size_t{texture.width} * texture.height;
    // Nothing the RDP could sample: an image that failed to load, or no size.
    if (count == 0 || std::holds_alternative<ultraback::Unknown>(texture.texels)) return {};
    // Alpha is not drawn. Texels past the end of a short list read as black
    // rather than past the array; the converter never writes one.
    TextureImage image{texture.width, texture.height, {}};
    image.texels.reserve(count);
    for (ultraback::Rgba c : ultraback::decode_texels(texture.texels, count)) image.texels.push_back({c.r, c.g, c.b});
    return image;
}

}  // namespace preview
