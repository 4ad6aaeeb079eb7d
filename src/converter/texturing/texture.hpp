#pragma once
// Texture preparation: decoded images into the console's texel formats, and
// the texture-memory (TMEM) budget rule.

#include <cstdint>

#include "image.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

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
