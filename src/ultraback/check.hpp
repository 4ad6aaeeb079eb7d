#pragma once
// The invariants of a converted mesh: what the writer prints must name
// things that exist, and what it draws must suit the console. One checker,
// for the converter's own assertion, the tests and the fuzz targets.

#include <cstddef>
#include <string>

#include "ultraback/mesh.hpp"
#include "ultraback/vertex_cache.hpp"

namespace ultraback {

// The first broken invariant, in words; empty for a sound mesh. Batches are
// held to `cache_size` vertices.
//  - every layer names a material; every material's texture exists; every
//    layer_rects pair names a layer;
//  - every primitive index names a vertex of its layer, and an unbatched
//    layer has no more vertices than 16-bit indices reach;
//  - a batched layer has no primitives; each load puts 1 or more vertices of
//    its layer into slots within `cache_size`, and every triangle names a
//    slot that a load of this or an earlier batch of the layer filled;
//  - a texture's data holds width x height texels (a CI4 texture of odd size
//    one more, the half byte at its end), and a palette at most 16 colours.
std::string find_mesh_fault(const Mesh& mesh, std::size_t cache_size = kMaxCacheSize);

// The first broken invariant of layer `n`'s vertices, primitives and batches
// alone, for a layer checked before its arrays are handed on.
std::string find_drawing_fault(const Layer& layer, std::size_t n, std::size_t cache_size = kMaxCacheSize);

}  // namespace ultraback
