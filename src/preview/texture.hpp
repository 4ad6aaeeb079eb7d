#pragma once
// Textures as the RDP reads them: decoded (ultraback/texels.hpp) from the
// very texel and palette data the C file holds.

#include <cstdint>
#include <vector>

#include "ultraback/mesh.hpp"

namespace preview {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// width x height texels, top row first; empty when the texture has no texels
// to sample (an image that failed to load, or a size of 0).
struct TextureImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> texels;

    bool empty() const { return texels.empty(); }
};

TextureImage decode_texture(const ultraback::Texture& texture);

}  // namespace preview
