#pragma once
// With -m, a layer whose polygons name several surfaces becomes one layer per
// surface, so that each is drawn with its own material.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "lwofront/model.hpp"
#include "lwofront/surface_index.hpp"

namespace converter {

struct SurfaceGroup {
    std::optional<std::size_t> surface;  // none for the polygons that name no surface
    // The group's polygons in their order, the points they use in theirs,
    // and the vertex map entries of those points and polygons, all
    // renumbered. The rest of the layer is not copied.
    lwofront::Layr layer;
};

// Per polygon of `layer` the surface its first SURF tag entry names (the
// first surface of that name), or kNone. Each tag is looked up once, so the
// cost is linear in tags, surfaces and entries.
std::vector<std::uint32_t> surface_per_polygon(const lwofront::Object& object, const lwofront::SurfaceIndex& index,
                                               const lwofront::Layr& layer);

// The polygons of `layer` grouped by the surface their SURF tag names (the
// first surface of that name), in the order of each group's first polygon.
// Empty when the polygons name at most one surface (and none goes without):
// the layer is then converted as it is.
std::vector<SurfaceGroup> group_by_surface(const lwofront::Object& object, const lwofront::SurfaceIndex& index,
                                           const lwofront::Layr& layer);

}  // namespace converter
