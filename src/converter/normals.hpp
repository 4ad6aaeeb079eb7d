#pragma once
// Lit normals (-l): the normal each polygon corner is shaded with as
// LightWave shades it. A corner takes its polygon's value in the layer's
// normal map (NORM VMAD), else its point's (NORM VMAP), else the smoothed
// normal: the normalised sum of the unit normals of the polygons around its
// point that have the same surface and lie within that surface's smoothing
// angle of its own polygon's normal. A surface without a smoothing angle, and
// a polygon without a surface, is flat: each corner takes its polygon's
// normal. Each is kept as the bytes the vertex gets, z negated.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "converter/maps.hpp"
#include "converter/split_points.hpp"
#include "lwofront/model.hpp"

namespace converter {

// What smoothing reads of the surfaces.
struct Shading {
    std::vector<std::uint32_t> surface;  // per polygon as read: its surface, or kNone
    std::span<const float> smoothing;    // per surface: its smoothing angle in radians
};

// A normal as the console's three normal bytes: z negated like the
// positions, each component of the unit normal round(c x 127) in float. Never
// all zero: a unit normal has a component of 1 / sqrt(3) or more. A fourth
// byte, always 0, makes it one word, which a million corners copy and
// compare at once.
using NormalBytes = std::array<std::uint8_t, 4>;
NormalBytes lit_normal_bytes(const lwofront::Vec3& unit_normal);

// Per polygon as read, the normal bytes of each corner, in corner order; all
// zero for every corner of a polygon that does not draw, and of one that has
// no direction where the map gives the corner no normal.
struct CornerNormals {
    std::vector<std::uint32_t> first;  // polygon p's corners are [first[p], first[p + 1])
    std::vector<NormalBytes> bytes;

    std::span<const NormalBytes> of(std::size_t polygon) const {
        return std::span(bytes).subspan(first[polygon], first[polygon + 1] - first[polygon]);
    }
};

// `maps` resolved with normals; `shading.surface` holds one entry per polygon.
CornerNormals corner_normals(const lwofront::Layr& layer, const LayerMaps& maps, const Shading& shading);

// Gives each corner of the layer's polygons its normal: a point whose corners
// take different bytes is copied (SplitLayer::copy_point) once per other
// bytes, and those corners use the copy. `normals` are of the layer's
// polygons as read, `w` after its VMAD splits. Returns the bytes of every
// point after splitting; zero for a point no normal reached.
std::vector<NormalBytes> split_by_normals(SplitLayer& w, const CornerNormals& normals);

}  // namespace converter
