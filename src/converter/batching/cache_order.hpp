#pragma once
// Batching: the triangles of a layer put in an order that draws next what
// uses the vertices drawn last, for cutting into batches in that order.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace converter {

// A drawn triangle by its three layer vertices, in the order it is drawn.
struct Corners {
    std::uint32_t v[3];
};

// The positions in `triangles` (every one once) in the order to draw them:
// each next triangle the one that scores best by how recently its vertices
// were used and by how few triangles still wait for them (finishing a
// vertex frees its slot). Integer scores, so that the order is the same on
// every machine. `vertex_count` bounds the corners.
std::vector<std::uint32_t> cache_order(std::span<const Corners> triangles, std::size_t vertex_count);

}  // namespace converter
