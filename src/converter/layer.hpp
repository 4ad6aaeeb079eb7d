#pragma once
// Layer conversion: one LWO2 layer into console vertices and primitives.

#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "converter/convert.hpp"
#include "image.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// One entry per clip: its image, or nothing when it could not be loaded.
using ImageList = std::vector<std::optional<image::Image>>;

// Fails only when the layer needs more vertices than 16-bit signed indices
// can address; `layer_position` names the layer in that error.
Result<ultraback::Layer> convert_layer(const lwofront::Layr& layer, std::size_t material,
                                       const lwofront::Surf* surface, const ImageList& images,
                                       const std::set<ultraback::LayerAttribute>& attributes,
                                       std::size_t layer_position, const Warn& warn);

}  // namespace converter
