#pragma once
// Tiling: a layer whose texture is over the TMEM budget becomes one layer per
// polygon, each with the rectangle of the texture that its polygon covers.

#include <cstdint>

#include "converter/layer.hpp"
#include "converter/warn.hpp"
#include "error.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// Appends one layer per polygon of `layer` that has texture values, in
// polygon order, each followed by its layer_rects pair. Each tile's corners
// keep the values their polygon has (its own VMAD values where it has them),
// and its rectangle covers those. A layer without a
// texture map gives none. `maps` and `settings` are the whole layer's: its texture (the
// one over budget, which the rectangles are measured in) must be given; the
// tile layers add PreventSeams to its attributes. `number` is given to the
// tile layers made on the way. With lit normals (`settings.normals`, the
// whole layer's) each tile's corners keep the normals the layer gives them.
// Tiles still too large for TMEM (a polygon that covers much of `texture`)
// are counted in one warning.
Status append_tiles(ultraback::Mesh& mesh, const lwofront::Layr& layer, const LayerMaps& maps,
                    const LayerSettings& settings, const ultraback::Texture& texture, std::uint16_t number,
                    const Warn& warn);

}  // namespace converter
