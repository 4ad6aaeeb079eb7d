#pragma once
// Tiling: a layer whose texture is over the TMEM budget becomes one layer per
// polygon, each with the rectangle of the texture that its polygon covers.

#include <cstddef>
#include <cstdint>

#include "converter/layer.hpp"
#include "error.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

struct TileTexture {
    std::uint16_t width = 0;   // of the texture over budget, which the
    std::uint16_t height = 0;  // rectangles are measured in
};

// Appends one layer per polygon of `layer` that has texture values, in
// polygon order, each followed by its layer_rects pair. A layer without a
// texture map gives none. `number` is given to the tile layers made on the
// way; `layer_position` names the layer in warnings and errors.
Status append_tiles(ultraback::Mesh& mesh, const lwofront::Layr& layer, std::size_t layer_position,
                    std::size_t material, const lwofront::Surf& surface, const ImageList& images,
                    TileTexture texture, std::uint16_t number, const Warn& warn);

}  // namespace converter
