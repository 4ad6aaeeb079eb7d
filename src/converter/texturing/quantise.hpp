#pragma once
// Colour quantisation: a palette of a few colours for a picture of many.

#include <cstddef>
#include <span>
#include <vector>

#include "image.hpp"

namespace converter {

// At most `count` colours (count >= 1) that stand for the pixels well. A
// picture with no more distinct colours than that gets exactly its own, in
// order of first appearance. The result depends only on the pixels.
std::vector<image::Pixel> quantise_palette(std::span<const image::Pixel> pixels, std::size_t count);

}  // namespace converter
