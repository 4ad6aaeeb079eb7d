// Lit normals (-l). Each drawn polygon's unit normal is found once, and the
// polygons around each point are bucketed once, so smoothing a corner looks
// only at the polygons of its own point. Splitting then gives a point one
// vertex per distinct normal it takes, through the layer's split points, so a
// copy keeps the texture value and colour of the point it copies.
#include "converter/normals.hpp"

#include <algorithm>
#include <bit>
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
// Normal bytes as the one word they are.
std::uint32_t word(const NormalBytes& b) { return std::bit_cast<std::uint32_t>(b); }
bool is_zero(const NormalBytes& b) { return word(b) == 0; }
bool same(const NormalBytes& a, const NormalBytes& b) { return word(a) == word(b); }

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// round(component x 127) in float, halves away from zero, clamped to
// -127..127 (NaN gives 0), as a byte.
std::uint8_t normal_byte(float component) {
    return static_cast<std::uint8_t>(round_clamp(component * 127.0f, -127, 127) & 0xFF);
}

NormalBytes to_bytes(const Vec3& unit_normal) {
    return {normal_byte(unit_normal.x), normal_byte(unit_normal.y), normal_byte(-unit_normal.z), 0};
}

// A map's normal, made unit length; nothing unless it holds three values
// with a direction.
std::optional<Vec3> map_normal(std::span<const float> values) {
    if (values.size() != 3) return std::nullopt;
    return unit_or_nothing(values[0], values[1], values[2]);
}

// Faces::drawn per polygon: whether it draws, and if so whether it holds a
// point more than once.
enum Drawn : std::uint8_t { kNotDrawn, kDrawn, kDrawnRepeating };

struct Faces {
    std::vector<std::uint8_t> drawn;  // per polygon, a Drawn
    std::vector<Vec3> normal;  // per polygon its unit normal; zero where it has none
    // Per point the polygons with a direction that hold it, each once, in
    // polygon order: point i's are around[start[i]] to around[start[i + 1]].
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> around;

    std::span<const std::uint32_t> of(std::uint32_t point) const {
        return std::span(around).subspan(start[point], start[point + 1] - start[point]);
    }
};

// Each polygon's normal, then the polygons around each point by a counting
// sort in two passes over the corners, so nothing grows on the way. `first`
// gets each polygon's first corner, counted over all polygons.
Faces find_faces(const lwofront::Layr& layer, std::vector<std::uint32_t>& first) {
    const auto& polygons = layer.pols.polygons;
    const auto& points = layer.points.vec;
    Faces faces{std::vector<std::uint8_t>(polygons.size(), 0), std::vector<Vec3>(polygons.size()),
                std::vector<std::uint32_t>(points.size() + 1, 0), {}};
    first.assign(polygons.size() + 1, 0);
    std::vector<std::uint32_t> last_holder(points.size(), kNone);
    std::vector<Vec3> scratch;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        const lwofront::Polygon polygon = polygons[p];
        const std::span<const std::uint32_t> corners = polygon.vertices;
        first[p + 1] = first[p] + static_cast<std::uint32_t>(corners.size());
        if (!draws(polygon, points.size())) continue;
        faces.drawn[p] = kDrawn;
        // Zero, a normal no unit normal is, where it has no direction.
        faces.normal[p] = face_normal(corners, [&](std::uint32_t c) { return points[c]; }, scratch).value_or(Vec3{});
        if (is_zero(faces.normal[p])) continue;
        for (std::uint32_t c : corners) {
            if (last_holder[c] == p) {  // a polygon counts once per point
                faces.drawn[p] = kDrawnRepeating;
                continue;
            }
            last_holder[c] = static_cast<std::uint32_t>(p);
            ++faces.start[c + 1];
        }
    }
    for (std::size_t i = 0; i < points.size(); ++i) faces.start[i + 1] += faces.start[i];
    faces.around.resize(faces.start.back());
    std::vector<std::uint32_t> next(faces.start.begin(), faces.start.end() - 1);
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (is_zero(faces.normal[p])) continue;
        const bool repeating = faces.drawn[p] == kDrawnRepeating;
        for (std::uint32_t c : polygons[p].vertices) {
            // Polygons come in order, so p is there already if it came last.
            if (repeating && next[c] > faces.start[c] && faces.around[next[c] - 1] == p) continue;
            faces.around[next[c]++] = static_cast<std::uint32_t>(p);
        }
    }
    return faces;
}

// Per surface the cosine of its smoothing angle; NaN for a flat surface, so
// no other polygon passes the test.
std::vector<float> least_cosines(std::span<const float> smoothing) {
    std::vector<float> least;
    least.reserve(smoothing.size());
    for (float angle : smoothing) {
        // A NaN angle is flat too.
        least.push_back(angle > 0 ? std::cos(std::min(angle, std::numbers::pi_v<float>)) : std::nanf(""));
    }
    return least;
}

struct Smoothing {
    const Faces& faces;
    const Shading& shading;
    std::vector<float> least;  // per surface, from least_cosines

    // The cosine of polygon p's smoothing angle; NaN when it is flat.
    float least_of(std::size_t p) const {
        const std::uint32_t surface = shading.surface[p];
        return surface < least.size() ? least[surface] : std::nanf("");
    }

    // The normal of polygon p at `point`: its own for a flat surface, else
    // the normalised sum (in the order of the point's polygons) of its own
    // and those of the same surface within the angle.
    Vec3 at(std::size_t p, std::uint32_t point) const {
        const Vec3& own = faces.normal[p];
        const float cosine = least_of(p);
        if (std::isnan(cosine)) return own;
        float x = 0, y = 0, z = 0;
        for (std::uint32_t q : faces.of(point)) {
            const Vec3& n = faces.normal[q];
            if (q != p && (shading.surface[q] != shading.surface[p] || dot(n, own) < cosine)) continue;
            x += n.x;
            y += n.y;
            z += n.z;
        }
        return unit_or_nothing(x, y, z).value_or(own);
    }

    // The bytes of the one normal every corner at `point` takes when its
    // polygons are of one smoothed surface and each lies within the angle of
    // every other (a smooth surface, the common case): then every corner's
    // sum holds them all, so it is made once. Zero otherwise.
    NormalBytes shared(std::uint32_t point) const {
        const std::span<const std::uint32_t> around = faces.of(point);
        if (around.empty()) return {};
        const std::uint32_t surface = shading.surface[around[0]];
        const float cosine = least_of(around[0]);
        if (std::isnan(cosine)) return {};
        float x = 0, y = 0, z = 0;
        for (std::size_t a = 0; a < around.size(); ++a) {
            const Vec3& n = faces.normal[around[a]];
            if (shading.surface[around[a]] != surface) return {};
            for (std::size_t b = a + 1; b < around.size(); ++b) {
                if (dot(faces.normal[around[b]], n) < cosine) return {};
            }
            x += n.x;
            y += n.y;
            z += n.z;
        }
        const std::optional<Vec3> unit = unit_or_nothing(x, y, z);
        return unit ? to_bytes(*unit) : NormalBytes{};
    }
};

}  // namespace

CornerNormals corner_normals(const lwofront::Layr& layer, const LayerMaps& maps, const Shading& shading) {
    const auto& polygons = layer.pols.polygons;
    assert(shading.surface.size() == polygons.size());
    CornerNormals out;
    const Faces faces = find_faces(layer, out.first);
    out.bytes.assign(out.first.back(), NormalBytes{});
    const Smoothing smoothing{faces, shading, least_cosines(shading.smoothing)};
    // Per point the bytes all its smoothed corners take, where they take one
    // normal; zero where they differ.
    std::vector<NormalBytes> shared_bytes(layer.points.vec.size());
    for (std::uint32_t c = 0; c < shared_bytes.size(); ++c) {
        shared_bytes[c] = smoothing.shared(c);
    }
    const PolygonValues own = polygon_values(maps.chosen.normal_vmad, polygons.size());
    const bool mapped = own.vmad || maps.chosen.normal;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (!faces.drawn[p]) continue;
        const std::span<const std::uint32_t> corners = polygons[p].vertices;
        const std::span<NormalBytes> bytes = std::span(out.bytes).subspan(out.first[p], corners.size());
        const bool has_direction = !is_zero(faces.normal[p]);
        if (has_direction && !std::isnan(smoothing.least_of(p))) {
            for (std::size_t k = 0; k < corners.size(); ++k) {
                const NormalBytes shared = shared_bytes[corners[k]];
                bytes[k] = is_zero(shared) ? to_bytes(smoothing.at(p, corners[k])) : shared;
            }
        } else if (has_direction) {
            std::fill(bytes.begin(), bytes.end(), to_bytes(faces.normal[p]));  // flat
        }  // else zero, but for the maps
        if (!mapped) continue;
        for (std::size_t k = 0; k < corners.size(); ++k) {
            std::optional<Vec3> n;
            if (own.vmad) n = map_normal(own.of(corners[k], p));
            if (!n && maps.chosen.normal) n = map_normal(maps.normal.of(corners[k]));
            if (n) bytes[k] = to_bytes(*n);
        }
    }
    return out;
}

NormalBytes lit_normal_bytes(const Vec3& unit_normal) { return to_bytes(unit_normal); }

namespace {

// Splitting's record of the points: per point its bytes (zero: no normal
// yet; a normal's bytes are never all zero) and its next copy with other
// bytes.
struct PointBytes {
    std::vector<NormalBytes> bytes;
    std::vector<std::uint32_t> next_copy;

    // Point i, or the copy of it, that has bytes b; a new copy when none has.
    // Rare (a seam or a hard edge), so kept out of the loop over corners.
    [[gnu::noinline]] std::uint32_t with(SplitLayer& w, std::uint32_t i, NormalBytes b) {
        std::uint32_t at = i;
        while (!same(bytes[at], b) && next_copy[at] != kNone) at = next_copy[at];
        if (same(bytes[at], b)) return at;
        next_copy[at] = w.copy_point(i);
        bytes.push_back(b);
        next_copy.push_back(kNone);
        return next_copy[at];
    }
};

}  // namespace

std::vector<NormalBytes> split_by_normals(SplitLayer& w, const CornerNormals& normals) {
    PointBytes points{std::vector<NormalBytes>(w.point_count(), NormalBytes{}),
                      std::vector<std::uint32_t>(w.point_count(), kNone)};
    for (std::size_t p = 0; p + 1 < normals.first.size(); ++p) {
        const std::span<const NormalBytes> corner_bytes = normals.of(p);
        // Giving corner k a copy changes that corner only, so the corners
        // after it read the same here as in the polygon's edited copy.
        const std::span<const std::uint32_t> corners = w.corners(p);
        for (std::size_t k = 0; k < corner_bytes.size(); ++k) {
            const NormalBytes b = corner_bytes[k];
            NormalBytes& have = points.bytes[corners[k]];
            if (same(have, b)) continue;  // the common case: the point has these bytes already
            if (is_zero(b)) continue;  // also every corner of a polygon that does not draw
            if (is_zero(have)) {
                have = b;
                continue;
            }
            const std::uint32_t at = points.with(w, corners[k], b);
            if (at != corners[k]) w.editable_corners(p)[k] = at;
        }
    }
    return std::move(points.bytes);
}

}  // namespace converter
