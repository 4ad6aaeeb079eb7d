#include "converter/maps.hpp"

#include <utility>
#include <variant>

namespace converter {

namespace {

// The type of a colour map, RGB or RGBA; 0 for any other map.
std::uint32_t color_type(const lwofront::VmapKind& kind) {
    const auto* other = std::get_if<lwofront::OtherType>(&kind);
    if (!other || (other->id != 0x52474220 && other->id != 0x52474241)) return 0;  // "RGB ", "RGBA"
    return other->id;
}

template <class Map, class Wanted>
const Map* first_of(const lwofront::LazyVector<Map>& maps, Wanted wanted) {
    for (const Map& map : maps) {
        if (wanted(map)) return &map;
    }
    return nullptr;
}

PointValues point_values(const lwofront::Vmap* map, std::size_t point_count) {
    PointValues values{map, {}};
    if (!map) return values;
    values.entry.assign(point_count, kNone);
    for (std::uint32_t k = 0; k < map->entries.size(); ++k) {
        const std::uint32_t vertex = map->entries[k].vertex;
        if (vertex < point_count && values.entry[vertex] == kNone) values.entry[vertex] = k;
    }
    return values;
}

// A map of normals: NORM, dimension 3.
bool is_norm(const lwofront::VmapKind& kind, std::uint16_t dimension) {
    const auto* other = std::get_if<lwofront::OtherType>(&kind);
    return other && other->id == 0x4E4F524D && dimension == 3;  // "NORM"
}

}  // namespace

ChosenMaps choose_maps(const lwofront::Layr& layer, bool vertex_colors, bool normals) {
    ChosenMaps chosen;
    chosen.texture = first_of(layer.vmaps, [](const lwofront::Vmap& m) { return lwofront::is_txuv(m.kind); });
    if (chosen.texture) {
        chosen.texture_vmad = first_of(layer.vmads, [](const lwofront::Vmad& m) { return lwofront::is_txuv(m.kind); });
    }
    if (vertex_colors) {
        chosen.color = first_of(layer.vmaps, [](const lwofront::Vmap& m) { return color_type(m.kind) != 0; });
    }
    if (const lwofront::Vmap* color = chosen.color) {
        chosen.color_vmad = first_of(layer.vmads, [&](const lwofront::Vmad& m) {
            return color_type(m.kind) == color_type(color->kind) && m.name == color->name;
        });
    }
    if (normals) {
        chosen.normal = first_of(layer.vmaps, [](const lwofront::Vmap& m) { return is_norm(m.kind, m.dimension); });
        chosen.normal_vmad = first_of(layer.vmads, [&](const lwofront::Vmad& m) {
            return is_norm(m.kind, m.dimension) && (!chosen.normal || m.name == chosen.normal->name);
        });
    }
    return chosen;
}

LayerMaps resolve_maps(const lwofront::Layr& layer, bool vertex_colors, bool normals,
                       std::shared_ptr<const TextureMaps> made) {
    ChosenMaps chosen = choose_maps(layer, vertex_colors, normals);
    if (made) {
        chosen.texture = &made->map;
        chosen.texture_vmad = &made->vmad;
    }
    const std::size_t points = layer.points.vec.size();
    return LayerMaps{chosen, point_values(chosen.texture, points), point_values(chosen.color, points),
                     point_values(chosen.normal, points), std::move(made)};
}

std::span<const float> PolygonValues::of(std::uint32_t point, std::size_t polygon) const {
    if (!vmad || polygon + 1 >= by_polygon.start.size()) return {};
    for (std::uint32_t k : by_polygon.of(polygon)) {
        if (vmad->entries[k].vertex == point) return vmad->entries[k].values;
    }
    return {};
}

PolygonValues polygon_values(const lwofront::Vmad* vmad, std::size_t polygon_count) {
    if (!vmad) return {};
    return {vmad, bucket(vmad->entries, polygon_count, [](const lwofront::VmadEntry& e) { return e.polygon; })};
}

}  // namespace converter
