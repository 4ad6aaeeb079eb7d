#include "converter/tile.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "converter/numeric.hpp"

namespace converter {

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

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

}  // namespace

Status append_tiles(ultraback::Mesh& mesh, const lwofront::Layr& layer, std::size_t layer_position,
                    std::size_t material, const lwofront::Surf& surface, const ImageList& images,
                    TileTexture texture, std::uint16_t number, const Warn& warn) {
    const lwofront::Vmap* map = nullptr;
    for (const lwofront::Vmap& candidate : layer.vmaps) {
        if (lwofront::is_txuv(candidate.kind)) {
            map = &candidate;
            break;
        }
    }
    if (!map) return {};

    // Per point its first map entry, so that finding a corner's entry as
    // Vmap::collect_refs does (the entry at the point's own position, else
    // the first for the point) needs no search.
    const auto& points = layer.points.vec;
    const auto& entries = map->entries;
    std::vector<std::uint32_t> first(points.size(), kNone);
    for (std::uint32_t k = 0; k < entries.size(); ++k) {
        const std::uint32_t vertex = entries[k].vertex;
        if (vertex < first.size() && first[vertex] == kNone) first[vertex] = k;
    }
    auto entry_for = [&](std::uint32_t point) -> std::optional<lwofront::VmapEntry> {
        if (point < entries.size() && entries[point].vertex == point) return entries[point];
        if (first[point] == kNone) return std::nullopt;
        return entries[first[point]];
    };

    // One tile layer, refilled for each polygon.
    lwofront::Layr tile = lwofront::Layr::create(number, 0, {0, 0, 0}, "layer name", 0);
    tile.vmaps.push_back(lwofront::Vmap{lwofront::Txuv{}, 2, "vmap name", {}});
    lwofront::Vmap& tile_map = tile.vmaps.front();
    std::vector<std::uint32_t> tile_corners;

    const std::set<ultraback::LayerAttribute> seams{ultraback::LayerAttribute::PreventSeams};
    const auto width = static_cast<float>(texture.width);
    const auto height = static_cast<float>(texture.height);
    std::vector<std::uint32_t> corner_of(points.size());  // point -> its last corner in the polygon
    std::size_t skipped = 0;

    const auto& polygons = layer.pols.polygons;
    for (std::size_t k = 0; k < polygons.size(); ++k) {
        const lwofront::Polygon& polygon = polygons[k];
        if (!draws(polygon, points.size())) {
            ++skipped;
            continue;
        }
        const auto& corners = polygon.vertices;
        for (std::uint32_t j = 0; j < corners.size(); ++j) corner_of[corners[j]] = j;

        tile.points.vec.clear();
        tile_map.entries.clear();
        Range u, v;
        bool has_value = false;
        for (std::uint32_t point : corners) {
            tile.points.vec.push_back(points[point]);
            const std::optional<lwofront::VmapEntry> entry = entry_for(point);
            if (!entry) continue;
            tile_map.entries.push_back({corner_of[point], entry->values});
            if (entry->values.size() == 2) {
                has_value = true;
                u.add(entry->values[0]);
                v.add(entry->values[1]);
            }
        }
        if (!has_value) {
            say(warn, "Warning: polygon " + std::to_string(k) + " of layer " + std::to_string(layer_position) +
                          " has no texture coordinates, no tile made.\n");
            continue;
        }

        tile_corners.clear();
        for (std::uint32_t point : corners) tile_corners.push_back(corner_of[point]);
        tile.pols.polygons.clear();
        tile.pols.polygons.push_back({polygon.flags, tile_corners});

        // V is flipped: v = 1 is texel row 0, the image's first row.
        const float top = 1.0f - v.high;
        const float bottom = 1.0f - v.low;
        const ultraback::Rectangle rect{trunc_u16(u.low * width), trunc_u16(top * height),
                                        trunc_u16(u.high * width), trunc_u16(bottom * height)};

        Result<ultraback::Layer> converted =
            convert_layer(tile, material, &surface, images, seams, layer_position, warn);
        if (!converted) return std::unexpected(std::move(converted.error()));
        mesh.add_layer(std::move(*converted));
        mesh.layer_rects.emplace_back(mesh.layers.size() - 1, rect);
    }

    if (skipped > 0) say(warn, skipped_polygons_line(skipped, layer_position));
    return {};
}

}  // namespace converter
