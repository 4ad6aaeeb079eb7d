#pragma once
// Batching: a converted layer redrawn through the console's vertex cache, one
// load of up to `cache_size` vertices followed by the triangles drawn from it.

#include <cstddef>

#include "ultraback/mesh.hpp"

namespace converter {

inline constexpr std::size_t kMinCacheSize = 3;
inline constexpr std::size_t kMaxCacheSize = 64;
inline constexpr std::size_t kDefaultCacheSize = 32;

// Rewrites `layer` in place: its triangles (quads split as the writer draws
// them, each keeping its corner order) are grouped into batches of at most
// `cache_size` distinct vertices (kMinCacheSize to kMaxCacheSize); each
// batch's vertices are laid out contiguously, so a vertex used by two batches
// appears twice and one used by none is dropped. The primitives are cleared.
void batch_layer(ultraback::Layer& layer, std::size_t cache_size);

}  // namespace converter
