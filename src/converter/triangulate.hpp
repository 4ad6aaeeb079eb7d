#pragma once
// Polygon geometry for polygons of more than four corners: their normal, and
// their split into triangles.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "lwofront/model.hpp"

namespace converter {

using Corners3 = std::array<std::uint32_t, 3>;

// (x, y, z) divided by its length, in float step by step; nothing when that
// is not finite (no length, or values that are not).
std::optional<lwofront::Vec3> unit_or_nothing(float x, float y, float z);

// The polygon's unit normal by Newell's method, in float: the sum over the
// edges, divided by its length. Nothing when it has no area or is not finite.
std::optional<lwofront::Vec3> newell_normal(std::span<const lwofront::Vec3> corners);

// Appends corners.size() - 2 triangles that cover the polygon (for three or
// more corners), each as three corner positions in the polygon's own winding.
// Ear clipping in the plane of the polygon's normal, so concave polygons come
// out right. A polygon whose edges cross is cut as a fan from its first
// corner. Other degenerate input (collinear, touching itself, NaN) still
// gives n - 2 triangles: the ones that cannot be ears are clipped anyway.
void triangulate(std::span<const lwofront::Vec3> corners, std::vector<Corners3>& triangles);

}  // namespace converter
