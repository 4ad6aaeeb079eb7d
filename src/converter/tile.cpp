// Tiling: each polygon of a layer whose texture is over the TMEM budget
// becomes a small layer of its own, made from a copy of its corners and the
// texture (and colour) values they have in that polygon, and converted like
// any layer. Its coordinates stay in the whole texture's texel space; the
// rectangle of the values it spans says which part the console loads for it.
// One tile layer is refilled for every polygon, so tiling a large layer
// allocates once.
#include "converter/tile.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "converter/maps.hpp"
#include "converter/numeric.hpp"
#include "converter/texturing/texture.hpp"

namespace converter {

namespace {

// Smallest and largest of the values that are numbers; 0, 0 when none is.
struct Range {
    void add(float value) {
        if (std::isnan(value)) return;
        low = seen ? std::min(low, value) : value;
        high = seen ? std::max(high, value) : value;
        seen = true;
    }
    float low = 0, high = 0;
    bool seen = false;
};

// The values the corners of a polygon have in one map: the polygon's own
// (VMAD) where it has them, else the point's.
struct CornerValues {
    std::span<const float> of(std::uint32_t point, std::size_t polygon) const {
        const std::span<const float> own = polygon_own.of(point, polygon);
        return own.empty() ? point_values.of(point) : own;
    }
    const PointValues& point_values;
    PolygonValues polygon_own;
};

// One tile layer, refilled for each polygon.
struct Tile {
    explicit Tile(std::uint16_t number) : layer(lwofront::Layr::create(number, 0, {0, 0, 0}, "layer name", 0)) {
        layer.vmaps.push_back(lwofront::Vmap{lwofront::Txuv{}, 2, "vmap name", {}});
    }
    lwofront::Layr layer;
    std::vector<std::uint32_t> corners;  // scratch for the one polygon's corners
};

// Refills the tile with the polygon's corners, renumbered from 0, and their
// texture values (and colours, when the tile has a colour map second); the
// rectangle they cover, or nothing when no corner has a value. `corner_of` is
// scratch, one entry per point of the layer.
std::optional<ultraback::Rectangle> fill_tile(Tile& tile, const lwofront::Polygon& polygon, std::size_t k,
                                              const std::vector<Vec3>& points, const CornerValues& texture_values,
                                              const CornerValues* color_values, TextureSize texture,
                                              std::vector<std::uint32_t>& corner_of) {
    const auto& corners = polygon.vertices;
    for (std::uint32_t j = 0; j < corners.size(); ++j) corner_of[corners[j]] = j;

    lwofront::Vmap& tile_map = tile.layer.vmaps.front();
    tile.layer.points.vec.clear();
    tile_map.entries.clear();
    if (color_values) {
        lwofront::Vmap& colors = tile.layer.vmaps.back();
        colors.entries.clear();
        for (std::uint32_t point : corners) {
            const std::span<const float> values = color_values->of(point, k);
            if (!values.empty()) colors.entries.push_back({corner_of[point], values});
        }
    }
    Range u, v;
    bool has_value = false;
    for (std::uint32_t point : corners) {
        tile.layer.points.vec.push_back(points[point]);
        const std::span<const float> values = texture_values.of(point, k);
        if (values.empty()) continue;
        tile_map.entries.push_back({corner_of[point], values});
        if (values.size() == 2) {
            has_value = true;
            u.add(values[0]);
            v.add(values[1]);
        }
    }
    if (!has_value) return std::nullopt;

    tile.corners.clear();
    for (std::uint32_t point : corners) tile.corners.push_back(corner_of[point]);
    tile.layer.pols.polygons.clear();
    tile.layer.pols.polygons.push_back({polygon.flags, tile.corners});

    // V is flipped: v = 1 is texel row 0, the image's first row.
    const auto width = static_cast<float>(texture.width);
    const auto height = static_cast<float>(texture.height);
    const float top = 1.0f - v.high;
    const float bottom = 1.0f - v.low;
    return ultraback::Rectangle{trunc_u16(u.low * width), trunc_u16(top * height), trunc_u16(u.high * width),
                                trunc_u16(bottom * height)};
}

}  // namespace

Status append_tiles(ultraback::Mesh& mesh, const lwofront::Layr& layer, const LayerMaps& maps,
                    const LayerSettings& settings, const ultraback::Texture& texture, std::uint16_t number,
                    const Warn& warn) {
    assert(settings.texture && "a layer is tiled by its texture");
    if (!maps.chosen.texture) return {};

    const auto& points = layer.points.vec;
    const auto& polygons = layer.pols.polygons;
    const CornerValues texture_values{maps.texture, polygon_values(maps.chosen.texture_vmad, polygons.size())};
    LayerSettings tile_settings = settings;
    tile_settings.attributes.insert(ultraback::LayerAttribute::PreventSeams);
    tile_settings.max_vertices = kMaxIndexedVertices;
    Tile tile(number);
    std::optional<CornerValues> color_values;
    if (const lwofront::Vmap* colors = maps.chosen.color) {
        color_values.emplace(CornerValues{maps.color, polygon_values(maps.chosen.color_vmad, polygons.size())});
        tile.layer.vmaps.push_back(lwofront::Vmap{colors->kind, colors->dimension, colors->name, {}});
    }
    std::vector<std::uint32_t> corner_of(points.size());  // point -> its last corner in the polygon
    std::size_t skipped = 0;
    std::size_t too_large = 0;
    CornerNormals tile_normals;  // with lit normals, refilled for each tile

    for (std::size_t k = 0; k < polygons.size(); ++k) {
        if (!draws(polygons[k], points.size())) {
            ++skipped;
            continue;
        }
        std::optional<ultraback::Rectangle> rect =
            fill_tile(tile, polygons[k], k, points, texture_values, color_values ? &*color_values : nullptr,
                      *settings.texture, corner_of);
        if (!rect) {
            say(warn, "Warning: polygon " + std::to_string(k) + " of layer " + std::to_string(settings.position) +
                          " has no texture coordinates, no tile made.\n");
            continue;
        }
        if (!tile_fits_in_tmem(texture, *rect)) ++too_large;
        const LayerMaps tile_maps = resolve_maps(tile.layer, color_values.has_value());
        if (settings.normals) {
            // The whole layer's normals of this polygon's corners, in the same order.
            const std::span<const NormalBytes> normals = settings.normals->of(k);
            tile_normals.first = {0, static_cast<std::uint32_t>(normals.size())};
            tile_normals.bytes.assign(normals.begin(), normals.end());
            tile_settings.normals = &tile_normals;
        }
        Result<ultraback::Layer> converted = convert_layer(tile.layer, tile_maps, tile_settings, warn);
        if (!converted) return std::unexpected(std::move(converted.error()));
        mesh.add_layer(std::move(*converted));
        mesh.layer_rects.emplace_back(mesh.layers.size() - 1, *rect);
    }

    if (skipped > 0) say(warn, skipped_polygons_line(skipped, settings.position));
    if (too_large > 0) {
        say(warn, "Warning: " + std::to_string(too_large) + (too_large == 1 ? " tile" : " tiles") + " of layer " +
                      std::to_string(settings.position) + " still won't fit into TMEM.\n");
    }
    return {};
}

}  // namespace converter
