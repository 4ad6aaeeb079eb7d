// Lit normals (-l). Each drawn polygon's unit normal is found once, and the
// polygons around each point are bucketed once, so smoothing a corner looks
// only at the polygons of its own point. Splitting then gives a point one
// vertex per distinct normal it takes, through the layer's split points, so a
// copy keeps the texture value and colour of the point it copies.
#include "converter/normals.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>
#include <optional>

#include "converter/layer.hpp"
#include "converter/numeric.hpp"
#include "converter/triangulate.hpp"

namespace converter {

using lwofront::Vec3;

namespace {

bool is_zero(const Vec3& n) { return n.x == 0 && n.y == 0 && n.z == 0; }

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A map's normal, made unit length; nothing unless it holds three values
// with a direction.
std::optional<Vec3> map_normal(std::span<const float> values) {
    if (values.size() != 3) return std::nullopt;
    return unit_or_nothing(values[0], values[1], values[2]);
}

// A drawn polygon with a direction that holds a point.
struct Holder {
    std::uint32_t point = 0;
    std::uint32_t polygon = 0;
};

struct Faces {
    std::vector<Vec3> normal;  // per polygon its unit normal; zero where it has none
    std::vector<Holder> holders;  // each polygon once per point it holds
    Buckets by_point;             // positions in `holders`
};

Faces find_faces(const lwofront::Layr& layer) {
    const auto& polygons = layer.pols.polygons;
    const auto& points = layer.points.vec;
    Faces faces{std::vector<Vec3>(polygons.size()), {}, {}};
    std::vector<std::uint32_t> last_holder(points.size(), kNone);
    std::vector<Vec3> scratch;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (!draws(polygons[p], points.size())) continue;
        const std::span<const std::uint32_t> corners = polygons[p].vertices;
        const std::optional<Vec3> unit = face_normal(corners, [&](std::uint32_t c) { return points[c]; }, scratch);
        if (!unit) continue;
        faces.normal[p] = *unit;
        for (std::uint32_t c : corners) {
            if (last_holder[c] == p) continue;
            last_holder[c] = static_cast<std::uint32_t>(p);
            faces.holders.push_back({c, static_cast<std::uint32_t>(p)});
        }
    }
    faces.by_point = bucket(faces.holders, points.size(), [](const Holder& h) { return h.point; });
    return faces;
}

// The normal of polygon p at `point` by its surface's smoothing angle: its
// own, or the normalised sum of its own and those of the same surface within
// the angle.
Vec3 smoothed(const Faces& faces, const Shading& shading, std::size_t p, std::uint32_t point) {
    const Vec3& own = faces.normal[p];
    const std::uint32_t surface = shading.surface[p];
    const float angle = surface < shading.smoothing.size() ? shading.smoothing[surface] : 0.0f;
    if (!(angle > 0)) return own;  // flat; also a NaN angle
    const float least = std::cos(std::min(angle, std::numbers::pi_v<float>));
    float x = 0, y = 0, z = 0;
    for (std::uint32_t k : faces.by_point.of(point)) {
        const std::uint32_t q = faces.holders[k].polygon;
        const Vec3& n = faces.normal[q];
        if (q != p && (shading.surface[q] != surface || dot(n, own) < least)) continue;
        x += n.x;
        y += n.y;
        z += n.z;
    }
    return unit_or_nothing(x, y, z).value_or(own);
}

std::uint8_t normal_byte(float component) {
    return static_cast<std::uint8_t>(round_clamp(component * 127.0f, -127, 127) & 0xFF);
}

}  // namespace

CornerNormals corner_normals(const lwofront::Layr& layer, const LayerMaps& maps, const Shading& shading) {
    const auto& polygons = layer.pols.polygons;
    assert(shading.surface.size() == polygons.size());
    CornerNormals out;
    out.first.assign(polygons.size() + 1, 0);
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        out.first[p + 1] = out.first[p] + static_cast<std::uint32_t>(polygons[p].vertices.size());
    }
    out.normal.assign(out.first.back(), Vec3{});

    const Faces faces = find_faces(layer);
    const PolygonValues own = polygon_values(maps.chosen.normal_vmad, polygons.size());
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (!draws(polygons[p], layer.points.vec.size())) continue;
        const std::span<const std::uint32_t> corners = polygons[p].vertices;
        for (std::size_t k = 0; k < corners.size(); ++k) {
            const std::uint32_t c = corners[k];
            std::optional<Vec3> n = map_normal(own.of(c, p));
            if (!n) n = map_normal(maps.normal.of(c));
            if (!n && !is_zero(faces.normal[p])) n = smoothed(faces, shading, p, c);
            if (n) out.normal[out.first[p] + k] = *n;
        }
    }
    return out;
}

NormalBytes lit_normal_bytes(const Vec3& normal) {
    return {normal_byte(normal.x), normal_byte(normal.y), normal_byte(-normal.z)};
}

std::vector<NormalBytes> split_by_normals(SplitLayer& w, const CornerNormals& normals) {
    std::vector<NormalBytes> bytes(w.point_count(), NormalBytes{});
    std::vector<std::uint8_t> has(w.point_count(), 0);
    std::vector<std::uint32_t> next_copy(w.point_count(), kNone);  // a point's next copy with other bytes
    for (std::size_t p = 0; p + 1 < normals.first.size(); ++p) {
        const std::span<const Vec3> corner_normal = normals.of(p);
        for (std::size_t k = 0; k < corner_normal.size(); ++k) {
            if (is_zero(corner_normal[k])) continue;  // also every corner of a polygon that does not draw
            const NormalBytes b = lit_normal_bytes(corner_normal[k]);
            const std::uint32_t i = w.corners(p)[k];
            if (!has[i]) {
                has[i] = 1;
                bytes[i] = b;
                continue;
            }
            std::uint32_t at = i;
            while (bytes[at] != b && next_copy[at] != kNone) at = next_copy[at];
            if (bytes[at] != b) {
                next_copy[at] = w.copy_point(i);
                at = next_copy[at];
                bytes.push_back(b);
                has.push_back(1);
                next_copy.push_back(kNone);
            }
            if (at != i) w.editable_corners(p)[k] = at;
        }
    }
    return bytes;
}

}  // namespace converter
