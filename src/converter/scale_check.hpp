#pragma once
// Objects modelled in small units (metres, say) collapse when their
// coordinates are truncated to whole numbers: many points land on one
// position, silently.

#include <cstddef>
#include <span>
#include <string>

#include "lwofront/model.hpp"

namespace converter {

// The warning for a layer whose distinct points fall onto fewer than half as
// many distinct vertex positions, naming a power-of-ten scale factor that
// keeps them apart within 16 bits when there is one; empty when the points
// stay apart. `scale` is the factor the points were already multiplied by.
std::string collapse_warning(std::span<const lwofront::Vec3> points, float scale, std::size_t layer_position);

}  // namespace converter
