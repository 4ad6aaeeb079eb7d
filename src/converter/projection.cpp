// Projected texture coordinates, after the conventions of LightWave's own
// texture code, in float step by step. With x, y, z a point's position in
// the texture's space (minus the centre, turned by the inverse of the
// rotation), S the size, u across the image and t down it (0 at its top row):
// - planar along X: u = z/Sz + 1/2; along Y or Z: u = x/Sx + 1/2; along Y
//   t = -z/Sz + 1/2, else t = -y/Sy + 1/2;
// - cylindrical and spherical: (a, b, c) = (z, x, -y) around X, (-x, y, z)
//   around Y, (-x, z, -y) around Z; the heading h = atan2(-a, c) gives
//   u = (1 - h/2pi) x width wraps; cylindrical t = -b/S + 1/2 (S along the
//   axis), spherical t = (1/2 - atan2(b, hypot(a, c))/pi) x height wraps;
// - cubic: planar along the axis its polygon's normal points most along.
// The heading jumps by a whole turn somewhere, so each polygon's corners are
// brought onto the same turn (a polygon across the seam is not stretched
// over the whole image), and a corner on the axis, which has no heading,
// takes the mean u of its polygon's other corners.
#include "converter/projection.hpp"

#include <bit>
#include <cmath>
#include <span>
#include <variant>
#include <vector>

#include "converter/layer.hpp"
#include "converter/triangulate.hpp"
#include "overloaded.hpp"

namespace converter {

namespace {

using namespace lwofront;

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530718f;

float along(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// A polygon corner's coordinate: u across, t down the image.
struct Corner {
    float u = 0;
    float t = 0;
    float radius = 0;   // distance from the axis, for cylindrical and spherical
    bool pole = false;  // on the axis: no heading of its own
};

Corner planar(const Vec3& q, const Vec3& size, int axis) {
    const float u = (axis == 0 ? q.z / size.z : q.x / size.x) + 0.5f;
    const float t = -(axis == 1 ? q.z / size.z : q.y / size.y) + 0.5f;
    return {u, t};
}

// Cylindrical or spherical.
Corner around(const Projection& p, const Vec3& q) {
    float a = -q.x, b = q.y, c = q.z;  // around Y
    if (p.axis == 0) a = q.z, b = q.x, c = -q.y;
    if (p.axis == 2) a = -q.x, b = q.z, c = -q.y;
    Corner corner;
    corner.radius = std::hypot(a, c);
    if (corner.radius != 0.0f) {
        float u = 1.0f - std::atan2(-a, c) / kTwoPi;  // 1/2 to 3/2
        // With whole wraps the image repeats around the axis, so the turn can
        // start at its left edge (u from 0) instead of halfway across it.
        if (p.width_wraps == std::floor(p.width_wraps) && u >= 1.0f) u -= 1.0f;
        corner.u = u * p.width_wraps;
    }
    if (p.kind == ProjectionKind::Cylindrical) {
        corner.t = -b / along(p.size, p.axis) + 0.5f;
    } else {
        corner.t = (0.5f - std::atan2(b, corner.radius) / kPi) * p.height_wraps;
    }
    return corner;
}

// A corner is a pole when it lies on the axis, up to the rounding of the
// centre's subtraction: within a hundred-thousandth of the polygon's
// farthest corner. Corners more than half a turn below the polygon's highest
// u go one turn up; poles take the mean u of the other corners. A turn is
// the width wraps (their size: negative wraps run the image backwards).
void join_turns(std::vector<Corner>& corners, float wraps) {
    const float turn = std::fabs(wraps);
    float farthest = 0;
    for (const Corner& c : corners) farthest = std::fmax(farthest, c.radius);
    for (Corner& c : corners) c.pole = !(c.radius > farthest * 1e-5f);
    float highest = -INFINITY;
    for (const Corner& c : corners)
        if (!c.pole) highest = std::fmax(highest, c.u);
    float sum = 0;
    int headed = 0;
    for (Corner& c : corners) {
        if (c.pole) continue;
        if (c.u < highest - 0.5f * turn) c.u += turn;
        sum += c.u;
        ++headed;
    }
    if (headed == 0) return;
    const float mean = sum / static_cast<float>(headed);
    for (Corner& c : corners)
        if (c.pole) c.u = mean;
}

// The axis a polygon faces most, X before Y before Z on a tie; the
// projection's own axis for a polygon without a direction.
int facing_axis(std::span<const Vec3> corners, int fallback) {
    const std::optional<Vec3> n = newell_normal(corners);
    if (!n) return fallback;
    const float x = std::fabs(n->x), y = std::fabs(n->y), z = std::fabs(n->z);
    if (x >= y && x >= z) return 0;
    return y >= z ? 1 : 2;
}

void project_polygon(const Projection& p, std::span<const std::uint32_t> corners, const std::vector<Vec3>& q,
                     std::vector<Vec3>& scratch, std::vector<Corner>& out) {
    out.clear();
    switch (p.kind) {
        case ProjectionKind::Planar:
            for (std::uint32_t c : corners) out.push_back(planar(q[c], p.size, p.axis));
            return;
        case ProjectionKind::Cubic: {
            scratch.clear();
            for (std::uint32_t c : corners) scratch.push_back(q[c]);
            const int axis = facing_axis(scratch, p.axis);
            for (std::uint32_t c : corners) out.push_back(planar(q[c], p.size, axis));
            return;
        }
        case ProjectionKind::Cylindrical:
        case ProjectionKind::Spherical:
            for (std::uint32_t c : corners) out.push_back(around(p, q[c]));
            join_turns(out, p.width_wraps);
            return;
    }
}

// A point in the texture's space: turned back by bank, pitch and heading, the
// inverse of the texture's rotation (heading about Y, pitch about X, bank
// about Z, applied in that order from the outside in).
struct Unrotate {
    explicit Unrotate(const Vec3& hpb)
        : turned(hpb.x != 0.0f || hpb.y != 0.0f || hpb.z != 0.0f),
          ch(std::cos(hpb.x)), sh(std::sin(hpb.x)), cp(std::cos(hpb.y)), sp(std::sin(hpb.y)),
          cb(std::cos(hpb.z)), sb(std::sin(hpb.z)) {}

    Vec3 operator()(Vec3 v) const {
        if (!turned) return v;
        const float x1 = v.x * ch - v.z * sh;
        const float z1 = v.x * sh + v.z * ch;
        const float y2 = v.y * cp + z1 * sp;
        const float z2 = -v.y * sp + z1 * cp;
        return {x1 * cb + y2 * sb, -x1 * sb + y2 * cb, z2};
    }

    bool turned;
    float ch, sh, cp, sp, cb, sb;
};

bool same(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

}  // namespace

BlockMapping block_mapping(const Blok& blok) {
    std::optional<std::uint16_t> mode;
    Projection p;
    auto read_tmap = [&](const Tmap& tmap) {
        for (const TmapAttr& attribute : tmap.attributes) {
            std::visit(Overloaded{[&](const Cntr& a) { p.centre = a.vector; },
                                  [&](const Size& a) { p.size = a.vector; },
                                  [&](const Rota& a) { p.rotation = a.vector; },
                                  [&](const Csys& a) { p.world = a.type == 1; }, Ignore<Oref, Fall>{}},
                       attribute);
        }
    };
    for (const BlokAttr& attribute : blok.attributes) {
        std::visit(Overloaded{read_tmap, [&](const Proj& a) { mode = a.mode; },
                              [&](const Axis& a) { p.axis = a.axis <= 2 ? a.axis : 0; },
                              [&](const Wrpw& a) { p.width_wraps = a.cycles; },
                              [&](const Wrph& a) { p.height_wraps = a.cycles; },
                              Ignore<Imag, Wrap, VmapName, Aast, Pixb>{}},
                   attribute);
    }
    BlockMapping mapping;
    mapping.front = mode == 4;
    if (!mode || *mode > 3) return mapping;
    p.kind = static_cast<ProjectionKind>(*mode);
    mapping.projection = p;
    return mapping;
}

BlockMapping first_block_mapping(const Surf& surface) {
    for (const SurfAttr& attribute : surface.attributes) {
        if (const Blok* blok = std::get_if<Blok>(&attribute)) return block_mapping(*blok);
    }
    return {};
}

TextureMaps project_layer(const Layr& layer, const Projection& projection, float scale) {
    const std::vector<Vec3>& points = layer.points.vec;
    const Vec3 origin = projection.world ? Vec3{0, 0, 0} : layer.pivot;
    const Vec3 offset{(origin.x + projection.centre.x) * scale, (origin.y + projection.centre.y) * scale,
                      (origin.z + projection.centre.z) * scale};
    Projection p = projection;
    p.size = {projection.size.x * scale, projection.size.y * scale, projection.size.z * scale};
    const Unrotate unrotate(projection.rotation);
    std::vector<Vec3> q;
    q.reserve(points.size());
    for (const Vec3& point : points) q.push_back(unrotate({point.x - offset.x, point.y - offset.y, point.z - offset.z}));

    TextureMaps made{Vmap{Txuv{}, 2, "projection", {}}, Vmad{Txuv{}, 2, "projection", {}}};
    // Per point the value of its first polygon.
    std::vector<float> first(points.size() * 2);
    std::vector<std::uint8_t> has(points.size(), 0);
    std::vector<Vec3> scratch;
    std::vector<Corner> values;
    const auto& polygons = layer.pols.polygons;
    for (std::size_t k = 0; k < polygons.size(); ++k) {
        const Polygon polygon = polygons[k];
        if (!draws(polygon, points.size())) continue;
        project_polygon(p, polygon.vertices, q, scratch, values);
        for (std::size_t j = 0; j < values.size(); ++j) {
            const std::uint32_t point = polygon.vertices[j];
            const float u = values[j].u;
            const float v = 1.0f - values[j].t;
            if (!has[point]) {
                has[point] = 1;
                first[2 * point] = u;
                first[2 * point + 1] = v;
            } else if (!same(first[2 * point], u) || !same(first[2 * point + 1], v)) {
                made.vmad.entries.add_value(u);
                made.vmad.entries.add_value(v);
                made.vmad.entries.end_entry(point, static_cast<std::uint32_t>(k));
            }
        }
    }
    for (std::uint32_t i = 0; i < points.size(); ++i) {
        if (!has[i]) continue;
        made.map.entries.add_value(first[2 * i]);
        made.map.entries.add_value(first[2 * i + 1]);
        made.map.entries.end_entry(i);
    }
    return made;
}

}  // namespace converter
