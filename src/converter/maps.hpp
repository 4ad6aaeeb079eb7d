#pragma once
// A layer's vertex maps as conversion reads them, resolved once per layer and
// handed to layer conversion and tiling alike.
//
// Which maps: the texture map is the layer's first TXUV VMAP; its per-polygon
// values, the first TXUV VMAD, count only beside such a map. With vertex
// colours the colour map is the first RGB or RGBA VMAP, and its per-polygon
// values are those of the first VMAD of the same type and name (a second,
// unused colour map never lends its values). With lit normals (-l) the normal
// map is the first NORM VMAP, and its per-polygon values are those of the
// first NORM VMAD of its name; without such a VMAP, of the first NORM VMAD
// (modellers often store normals per polygon corner only).
//
// Which entry a point takes: the first entry for it in the map's stored
// order. A polygon's corner takes the first VMAD entry for its point and that
// polygon when there is one, else its point's map entry.
//
// A texture that its surface maps by a projection replaces the texture maps
// with the projection's values (projection.hpp), made once per layer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "converter/sentinel.hpp"
#include "lwofront/model.hpp"

namespace converter {

// The maps conversion reads; null where the layer has none.
struct ChosenMaps {
    const lwofront::Vmap* texture = nullptr;
    const lwofront::Vmad* texture_vmad = nullptr;  // only beside `texture`
    const lwofront::Vmap* color = nullptr;         // only with vertex colours
    const lwofront::Vmad* color_vmad = nullptr;    // only beside `color`
    const lwofront::Vmap* normal = nullptr;        // only with lit normals
    const lwofront::Vmad* normal_vmad = nullptr;   // only with lit normals
};

ChosenMaps choose_maps(const lwofront::Layr& layer, bool vertex_colors, bool normals = false);

// A VMAP with each point's entry found once.
struct PointValues {
    const lwofront::Vmap* map = nullptr;
    std::vector<std::uint32_t> entry;  // per point as read: its first entry's position, or kNone

    // The point's values; empty when it has no entry (or there is no map).
    std::span<const float> of(std::uint32_t point) const {
        if (point >= entry.size() || entry[point] == kNone) return {};
        return map->entries[entry[point]].values;
    }
};

// A texture map made by the converter rather than read: per point a value,
// and the polygon corners whose value differs.
struct TextureMaps {
    lwofront::Vmap map;
    lwofront::Vmad vmad;
};

// The chosen maps with their lookups.
struct LayerMaps {
    ChosenMaps chosen;
    PointValues texture;
    PointValues color;
    PointValues normal;
    // Where the texture maps were made (a projection), `chosen` points into
    // them; shared, so copies of the maps stay valid.
    std::shared_ptr<const TextureMaps> made;
};

// With `normals`, the NORM maps too; with `made`, those are the texture maps
// instead of the layer's own.
LayerMaps resolve_maps(const lwofront::Layr& layer, bool vertex_colors, bool normals = false,
                       std::shared_ptr<const TextureMaps> made = nullptr);

// Entry positions of a map bucketed by a key below `key_count` (a point or a
// polygon), each bucket in stored order: a counting sort, so nothing is
// rescanned. Entries whose key is not below `key_count` are left out.
struct Buckets {
    std::vector<std::uint32_t> start;    // bucket b is [start[b], start[b + 1])
    std::vector<std::uint32_t> entries;  // by key, then in stored order

    std::span<const std::uint32_t> of(std::size_t b) const {
        return std::span(entries).subspan(start[b], start[b + 1] - start[b]);
    }
};

template <class Entries, class Key>
Buckets bucket(const Entries& entries, std::size_t key_count, Key key) {
    Buckets b{std::vector<std::uint32_t>(key_count + 1, 0), {}};
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (const std::uint32_t at = key(entries[k]); at < key_count) ++b.start[at + 1];
    }
    for (std::size_t i = 0; i < key_count; ++i) b.start[i + 1] += b.start[i];
    b.entries.resize(b.start[key_count]);
    std::vector<std::uint32_t> next(b.start.begin(), b.start.end() - 1);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const std::uint32_t at = key(entries[k]);
        if (at < key_count) b.entries[next[at]++] = static_cast<std::uint32_t>(k);
    }
    return b;
}

// The values a VMAD gives the corners of a polygon: per polygon its entries,
// so a polygon's own values need no search of the whole map.
struct PolygonValues {
    const lwofront::Vmad* vmad = nullptr;
    Buckets by_polygon;

    // The first entry for `point` in `polygon`; empty when there is none.
    std::span<const float> of(std::uint32_t point, std::size_t polygon) const;
};

PolygonValues polygon_values(const lwofront::Vmad* vmad, std::size_t polygon_count);

}  // namespace converter
