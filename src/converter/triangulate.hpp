#pragma once
// Polygon geometry: a polygon's normal, and the split of polygons of more
// than four corners into triangles.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "lwofront/model.hpp"

namespace converter {

using Corners3 = std::array<std::uint32_t, 3>;

// (x, y, z) divided by its length, in float step by step; nothing when that
// is not finite (no length, or values that are not). Inline: -l makes one
// per polygon and one per point, and a call hands the result back through
// memory.
inline std::optional<lwofront::Vec3> unit_or_nothing(float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    const lwofront::Vec3 unit{x / length, y / length, z / length};
    if (!std::isfinite(unit.x) || !std::isfinite(unit.y) || !std::isfinite(unit.z)) return std::nullopt;
    return unit;
}

// The polygon's unit normal by Newell's method, in float: the sum over the
// edges, divided by its length. Nothing when it has no area or is not finite.
std::optional<lwofront::Vec3> newell_normal(std::span<const lwofront::Vec3> corners);

// The unit normal of a polygon: of a triangle or quad from its first three
// corners, in float step by step; of a larger polygon from all its corners
// (Newell). Nothing when it has no direction (collinear corners, or values
// that are not finite). `point_of` gives a corner's position.
template <class PointOf>
std::optional<lwofront::Vec3> face_normal(std::span<const std::uint32_t> corners, PointOf point_of,
                                          std::vector<lwofront::Vec3>& scratch) {
    if (corners.size() > 4) {
        scratch.clear();
        for (std::uint32_t c : corners) scratch.push_back(point_of(c));
        return newell_normal(scratch);
    }
    const lwofront::Vec3 p0 = point_of(corners[0]);
    const lwofront::Vec3 p1 = point_of(corners[1]);
    const lwofront::Vec3 p2 = point_of(corners[2]);
    const float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
    const float bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    const float cx = ay * bz - az * by;
    const float cy = az * bx - ax * bz;
    const float cz = ax * by - ay * bx;
    return unit_or_nothing(cx, cy, cz);
}

// Appends corners.size() - 2 triangles that cover the polygon (for three or
// more corners), each as three corner positions in the polygon's own winding.
// Ear clipping in the plane of the polygon's normal, so concave polygons come
// out right. A polygon whose edges cross is cut as a fan from its first
// corner. Other degenerate input (collinear, touching itself, NaN) still
// gives n - 2 triangles: the ones that cannot be ears are clipped anyway.
void triangulate(std::span<const lwofront::Vec3> corners, std::vector<Corners3>& triangles);

}  // namespace converter
