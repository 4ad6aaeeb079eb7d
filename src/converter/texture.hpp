#pragma once
// Texture preparation: decoded images into the console's texel formats, and
// the texture-memory (TMEM) budget rule.

#include <cstdint>

#include "image.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// The four bytes of a colour as one key, red in the top byte.
inline std::uint32_t color_key(image::Pixel p) {
    return std::uint32_t{p.r} << 24 | std::uint32_t{p.g} << 16 | std::uint32_t{p.b} << 8 | p.a;
}

// RGBA 5551: the top 5 bits of r, g, b and the top bit of a.
std::uint16_t rgba5551(image::Pixel p);

// Ci4 with a palette in order of first appearance for 16 colours or fewer,
// Rgba16 above.
ultraback::Texture prepare_texture(const image::Image& image);

// For a clip whose image could not be loaded.
ultraback::Texture placeholder_texture();

bool fits_in_tmem(const ultraback::Texture& texture);

// Whether the part of `texture` that a tile covers, right - left by
// bottom - top texels, fits the budget of the texture's format.
bool tile_fits_in_tmem(const ultraback::Texture& texture, const ultraback::Rectangle& rect);

}  // namespace converter
