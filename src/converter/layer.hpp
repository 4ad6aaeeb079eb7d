#pragma once
// Layer conversion: one LWO2 layer into console vertices and primitives.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "converter/maps.hpp"
#include "converter/normals.hpp"
#include "converter/warn.hpp"
#include "error.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// The size of the texture that texture coordinates are measured in.
struct TextureSize {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

// A polygon draws when it has three corners or more, each a point of the
// layer (index below `point_count`). Others are skipped and counted.
// Inline: every pass over a layer's polygons asks it.
inline bool draws(const lwofront::Polygon& polygon, std::size_t point_count) {
    if (polygon.vertices.size() < 3) return false;
    for (std::uint32_t i : polygon.vertices) {
        if (i >= point_count) return false;
    }
    return true;
}
// The warning for the polygons of a layer that were skipped.
std::string skipped_polygons_line(std::size_t count, std::size_t layer_position);

// Vertices a display list addresses when every vertex is loaded by its index:
// 16-bit signed indices.
inline constexpr std::size_t kMaxIndexedVertices = 32768;
// Vertices of a layer that is batched afterwards, where display-list indices
// are cache slots: what the model's 32-bit signed indices hold.
inline constexpr std::size_t kMaxBatchedVertices = std::size_t{1} << 31;

// Everything a layer's conversion takes besides the layer.
struct LayerSettings {
    std::size_t material = 0;            // the surface's position, which is its material's
    std::optional<TextureSize> texture;  // none: every vertex gets s = t = 0
    ultraback::LayerAttributes attributes;
    std::size_t position = 0;  // names the layer in warnings and errors
    // kMaxIndexedVertices, or kMaxBatchedVertices for a layer to be batched;
    // never more than the latter.
    std::size_t max_vertices = kMaxIndexedVertices;
    // -l: the lit normal of each corner of the layer's polygons, which its
    // vertices take (split where a point takes several); none: each point
    // gets the average of its polygons' normals.
    const CornerNormals* normals = nullptr;
};

// `maps` are the layer's, resolved (with its colour map when its colours take
// the normals' place; colours leave `settings.normals` unused). Warnings go to `warn`. Fails only when the layer needs
// more than `max_vertices` vertices.
Result<ultraback::Layer> convert_layer(const lwofront::Layr& layer, const LayerMaps& maps,
                                       const LayerSettings& settings, const Warn& warn);

}  // namespace converter
