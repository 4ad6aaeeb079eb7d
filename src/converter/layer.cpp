// Layer conversion, in one pass over the layer's own arrays: split the points
// a polygon gives its own values (split_points.cpp), then sum each point's
// face normals polygon by polygon (a unit normal per face, so a large face
// does not outweigh a small one), or with lit normals (-l) split the points
// whose corners take different normals (normals.cpp), make one vertex per point (position
// truncated to 16 bits, texture coordinate in texels times 64, normal or
// colour bytes), and reverse each polygon's corners for the console's
// winding. Every point becomes a vertex, used or not, so vertex indices are
// point indices.
#include "converter/layer.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "converter/maps.hpp"
#include "converter/normals.hpp"
#include "converter/numeric.hpp"
#include "converter/split_points.hpp"
#include "converter/triangulate.hpp"

namespace converter {

using lwofront::Vec3;
using ultraback::Primitive;
using ultraback::Vertex;

std::string skipped_polygons_line(std::size_t count, std::size_t layer_position) {
    return "Warning: skipped " + std::to_string(count) + (count == 1 ? " polygon" : " polygons") +
           " with fewer than three corners in layer " + std::to_string(layer_position) + ".\n";
}

namespace {

// The texture value of a point: its entry in the texture map, then, for a
// split point, the value of its VMAD entry, or of the point it copies when
// only its colour was split off.
struct TextureValues {
    // Empty when the point has none.
    std::span<const float> of(std::uint32_t i) const {
        if (i < w.read_points) return map.of(i);
        const auto& split = w.split_entry[i - w.read_points];
        return split ? *split : of(w.split_from[i - w.read_points]);
    }

    const PointValues& map;
    const SplitLayer& w;
};

// The colour of a point: for a split point its colour VMAD entry, else the
// colour map's entry for the point (or the point it copies).
struct ColorValues {
    // Empty when the point has none.
    std::span<const float> of(std::uint32_t i) const {
        if (i >= w.read_points) {
            if (const auto& split = w.split_color[i - w.read_points]) return *split;
            i = w.split_from[i - w.read_points];
        }
        return map.of(i);
    }

    const PointValues& map;
    const SplitLayer& w;
};

// A colour component of 0 to 1 as a byte: times 255, rounded, clamped.
std::uint8_t color_byte(float component) {
    if (std::isnan(component)) return 0;
    return static_cast<std::uint8_t>(std::lround(std::clamp(component, 0.0f, 1.0f) * 255.0f));
}

// Red, green, blue and alpha (255 without one); white for a point without
// a colour.
void set_color(ultraback::Vertex& v, std::span<const float> values) {
    if (values.size() < 3) {
        v.r = v.g = v.b = v.a = 255;
        return;
    }
    v.r = color_byte(values[0]);
    v.g = color_byte(values[1]);
    v.b = color_byte(values[2]);
    v.a = values.size() >= 4 ? color_byte(values[3]) : 255;
}

std::uint8_t normal_byte(float component) {
    return static_cast<std::uint8_t>(trunc_clamp(component * 127.0f, -128, 127) & 0xFF);
}

// Reverses the corner order: triangles (c0, c2, c1), quads (c1, c0, c3, c2);
// larger polygons become triangles (a, b, c), each drawn as (a, c, b).
// Indices are below the layer's vertex limit, so they fit.
void convert_polygon(const SplitLayer& w, std::span<const std::uint32_t> c, std::vector<Primitive>& out,
                     std::vector<Vec3>& scratch, std::vector<Corners3>& triangles) {
    auto index = [](std::uint32_t i) { return static_cast<std::int32_t>(i); };
    if (c.size() == 3) {
        out.push_back(ultraback::Triangle{{index(c[0]), index(c[2]), index(c[1])}});
        return;
    }
    if (c.size() == 4) {
        out.push_back(ultraback::Quad{{index(c[1]), index(c[0]), index(c[3]), index(c[2])}});
        return;
    }
    scratch.clear();
    for (std::uint32_t i : c) scratch.push_back(w.point(i));
    triangles.clear();
    triangulate(scratch, triangles);
    for (const Corners3& t : triangles) {
        out.push_back(ultraback::Triangle{{index(c[t[0]]), index(c[t[2]]), index(c[t[1]])}});
    }
}

Error too_many_vertices(std::size_t position, std::size_t count, std::size_t limit) {
    return Error{ErrorKind::Conversion, LwoError::None,
                 "layer " + std::to_string(position) + " has " + std::to_string(count) + " vertices, more than the " +
                     std::to_string(limit) + " a display list can address"};
}

// Marks the polygons that draw; returns how many do not.
std::size_t mark_drawn(const SplitLayer& w, std::vector<std::uint8_t>& drawn) {
    const auto& polygons = w.layer.pols.polygons;
    drawn.resize(polygons.size());
    std::size_t skipped = 0;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        drawn[p] = draws(polygons[p], w.read_points);
        if (!drawn[p]) ++skipped;
    }
    return skipped;
}

// Per point the sum of the unit normals of the polygons that hold it, and
// how many they are.
struct Normals {
    std::vector<Vec3> sum;
    std::vector<std::uint32_t> holders;
};

// Polygons in order, so each point adds its polygons' unit normals in
// polygon order; a polygon counts once per point it holds.
Normals sum_normals(const SplitLayer& w, const std::vector<std::uint8_t>& drawn, std::vector<Vec3>& scratch) {
    const std::size_t count = w.point_count();
    Normals normals{std::vector<Vec3>(count), std::vector<std::uint32_t>(count, 0)};
    std::vector<std::uint32_t> last_holder(count, kNone);
    for (std::size_t p = 0; p < drawn.size(); ++p) {
        if (!drawn[p]) continue;
        std::span<const std::uint32_t> corners = w.corners(p);
        std::optional<Vec3> unit = face_normal(corners, [&](std::uint32_t c) { return w.point(c); }, scratch);
        if (!unit) continue;
        for (std::uint32_t c : corners) {
            if (last_holder[c] == p) continue;
            last_holder[c] = static_cast<std::uint32_t>(p);
            normals.sum[c].x += unit->x;
            normals.sum[c].y += unit->y;
            normals.sum[c].z += unit->z;
            ++normals.holders[c];
        }
    }
    return normals;
}

void warn_outside_16_bits(const Vec3& p, const Warn& warn) {
    for (float coordinate : {p.x, p.y, p.z}) {
        if (coordinate < -32768.0f || coordinate > 32767.0f) {
            say(warn, "Warning: vertex coordinate doesn't fit in 16 bits\n");
        }
    }
}

// Texels times 64, from a value (u, v) with v flipped: v = 1 is texel row 0.
void set_texture_coordinate(ultraback::Vertex& v, std::span<const float> values, TextureSize size,
                            const Warn& warn) {
    float s = values[0] * static_cast<float>(size.width);
    const float flipped_v = 1.0f - values[1];
    float t = flipped_v * static_cast<float>(size.height);
    // |trunc(x)| > 511 exactly when |x| >= 512; NaN passes and becomes 0.
    if (std::fabs(s) >= 512.0f || std::fabs(t) >= 512.0f) {
        say(warn, "Warning: texture coordinate out of range. Setting to 0.\n");
        s = 0;
        t = 0;
    }
    v.s = static_cast<std::int16_t>(trunc_clamp(s, -511, 511) * 64);
    v.t = static_cast<std::int16_t>(trunc_clamp(t, -511, 511) * 64);
}

// One vertex per working point, in order. Texture coordinates come from the
// texture values when there is a texture to measure them in.
// With colours, they take the normals' place.
// With lit normals, their bytes replace the averaged ones.
void make_vertices(const SplitLayer& w, const Normals& normals, const std::vector<NormalBytes>* lit,
                   const TextureValues* texture,
                   std::optional<TextureSize> size, const ColorValues* colors, std::vector<Vertex>& out,
                   const Warn& warn) {
    const auto count = static_cast<std::uint32_t>(w.point_count());
    out.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const Vec3& p = w.point(i);
        warn_outside_16_bits(p, warn);

        Vertex v;
        const std::span<const float> values = texture ? texture->of(i) : std::span<const float>();
        if (values.size() == 2) set_texture_coordinate(v, values, *size, warn);

        v.x = trunc_i16(p.x);
        v.y = trunc_i16(p.y);
        v.z = trunc_i16(-p.z);

        if (colors) {
            set_color(v, colors->of(i));
            out.push_back(v);
            continue;
        }
        if (lit) {
            v.r = (*lit)[i][0];
            v.g = (*lit)[i][1];
            v.b = (*lit)[i][2];
        } else if (normals.holders[i] > 0) {
            const float share = 1.0f / static_cast<float>(normals.holders[i]);
            v.r = normal_byte(normals.sum[i].x * share);
            v.g = normal_byte(normals.sum[i].y * share);
            v.b = normal_byte(normals.sum[i].z * share);
        }
        v.a = 255;
        out.push_back(v);
    }
}

}  // namespace

Result<ultraback::Layer> convert_layer(const lwofront::Layr& layer, const LayerMaps& maps,
                                       const LayerSettings& settings, const Warn& warn) {
    SplitLayer w(layer);
    if (maps.chosen.texture_vmad) split_points(w, *maps.chosen.texture_vmad, VmadValues::Texture);
    if (maps.chosen.color_vmad) split_points(w, *maps.chosen.color_vmad, VmadValues::Color);
    const bool lit = settings.normals && !maps.chosen.color;
    std::vector<NormalBytes> lit_bytes;
    if (lit) lit_bytes = split_by_normals(w, *settings.normals);
    const std::size_t count = w.point_count();
    const std::size_t limit = std::min(settings.max_vertices, kMaxBatchedVertices);  // what 32-bit indices hold
    if (count > limit) return std::unexpected(too_many_vertices(settings.position, count, limit));

    std::vector<std::uint8_t> drawn;
    const std::size_t skipped = mark_drawn(w, drawn);
    std::vector<Vec3> scratch;
    const Normals normals = lit ? Normals{} : sum_normals(w, drawn, scratch);

    // Without a texture (or without a map) every vertex gets s = t = 0.
    std::optional<TextureValues> texture;
    if (settings.texture && maps.chosen.texture) texture.emplace(TextureValues{maps.texture, w});

    std::optional<ColorValues> colors;
    if (maps.chosen.color) colors.emplace(ColorValues{maps.color, w});

    ultraback::Layer out;
    out.material = settings.material;
    out.attributes = settings.attributes;
    out.vertex_colors = colors.has_value();
    make_vertices(w, normals, lit ? &lit_bytes : nullptr, texture ? &*texture : nullptr, settings.texture,
                  colors ? &*colors : nullptr, out.vertices, warn);

    std::vector<Corners3> triangles;
    out.primitives.reserve(drawn.size() - skipped);
    for (std::size_t p = 0; p < drawn.size(); ++p) {
        if (drawn[p]) convert_polygon(w, w.corners(p), out.primitives, scratch, triangles);
    }

    if (skipped > 0) say(warn, skipped_polygons_line(skipped, settings.position));
    return out;
}

}  // namespace converter
