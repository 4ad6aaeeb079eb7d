#pragma once
// Layer conversion: one LWO2 layer into console vertices and primitives.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "converter/convert.hpp"
#include "image.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// One entry per clip: its image, or nothing when it could not be loaded.
using ImageList = std::vector<std::optional<image::Image>>;

// The clip number that scales a layer's texture coordinates: the first Imag
// of the surface's first Blok (counted from 1, not checked against the clips).
std::optional<std::uint32_t> first_block_image(const lwofront::Surf& surface);

// A polygon draws when it has three corners or more, each a point of the
// layer (index below `point_count`). Others are skipped and counted.
bool draws(const lwofront::Polygon& polygon, std::size_t point_count);
// The warning for the polygons of a layer that were skipped.
std::string skipped_polygons_line(std::size_t count, std::size_t layer_position);

// Vertices a display list addresses when every vertex is loaded by its index:
// 16-bit signed indices.
inline constexpr std::size_t kMaxIndexedVertices = 32768;
// Vertices of a layer that is batched afterwards, where display-list indices
// are cache slots: what the model's 32-bit signed indices hold.
inline constexpr std::size_t kMaxBatchedVertices = std::size_t{1} << 31;

// `surface` is null for a layer whose polygons name no surface. Warnings go to
// `warn`. Fails only when the layer needs more than `max_vertices` vertices
// (kMaxIndexedVertices, or kMaxBatchedVertices for a layer to be batched;
// never more than the latter); `layer_position` names the layer in that error
// and in the warning about skipped polygons.
Result<ultraback::Layer> convert_layer(const lwofront::Layr& layer, std::size_t material,
                                       const lwofront::Surf* surface, const ImageList& images,
                                       const std::set<ultraback::LayerAttribute>& attributes,
                                       std::size_t layer_position, const Warn& warn,
                                       std::size_t max_vertices = kMaxIndexedVertices);

}  // namespace converter
