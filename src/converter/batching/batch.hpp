#pragma once
// Batching: a converted layer redrawn through the console's vertex cache,
// loads into free slots followed by the triangles drawn from the cache.

#include <cstddef>

#include "ultraback/mesh.hpp"
#include "ultraback/vertex_cache.hpp"

namespace converter {

using ultraback::kDefaultCacheSize;
using ultraback::kMaxCacheSize;
using ultraback::kMinCacheSize;

// How the triangles are put in order before they are cut into batches.
enum class BatchOrder {
    Cheapest,  // Grown, or AsListed on the cache order if that costs less (the converter's own)
    Grown,     // batches grown over shared vertices
    AsListed,  // the layer's order, each batch running while it fits half the cache
};

// Rewrites `layer` in place: its triangles (quads split as the writer draws
// them, each keeping its corner order) are drawn in batches from a cache of
// `cache_size` slots (kMinCacheSize to kMaxCacheSize) that starts empty; a
// batch loads only the vertices not already in a slot, and its triangles
// read at most `cache_size` distinct vertices. The vertex array becomes the
// loaded vertices, load after load, so a vertex loaded twice appears twice
// and one used by no triangle is dropped. The primitives are cleared.
void batch_layer(ultraback::Layer& layer, std::size_t cache_size, BatchOrder order = BatchOrder::Cheapest);

}  // namespace converter
