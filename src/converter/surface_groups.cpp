#include "converter/surface_groups.hpp"

#include <algorithm>
#include <cstdint>

namespace converter {

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// Per polygon the surface its first tag entry names, or kNone.
std::vector<std::uint32_t> surface_per_polygon(const lwofront::Object& object, const lwofront::Layr& layer) {
    const std::size_t polygon_count = layer.pols.polygons.size();
    std::vector<std::uint32_t> surface(polygon_count, kNone);
    std::vector<std::uint8_t> tagged(polygon_count, 0);
    for (const lwofront::PtagEntry& entry : layer.ptag.entries) {
        if (entry.polygon >= polygon_count || tagged[entry.polygon] || entry.tag >= object.tags.size()) continue;
        tagged[entry.polygon] = 1;
        const auto& surfaces = object.surfaces;
        auto named = std::find_if(surfaces.begin(), surfaces.end(),
                                  [&](const lwofront::Surf& s) { return s.name == object.tags[entry.tag]; });
        if (named != surfaces.end()) surface[entry.polygon] = static_cast<std::uint32_t>(named - surfaces.begin());
    }
    return surface;
}

// The layer cut down to the polygons marked in `member`, renumbered.
lwofront::Layr cut_layer(const lwofront::Layr& layer, const std::vector<std::uint8_t>& member) {
    const auto& polygons = layer.pols.polygons;
    const auto& points = layer.points.vec;
    std::vector<std::uint32_t> new_point(points.size(), kNone);
    std::vector<std::uint32_t> new_polygon(polygons.size(), kNone);
    lwofront::Layr cut = lwofront::Layr::create(layer.number, layer.flags, layer.pivot, layer.name, layer.parent);
    cut.pols.kind = layer.pols.kind;
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (!member[p]) continue;
        for (std::uint32_t v : polygons[p].vertices) {
            if (v < points.size()) new_point[v] = 0;
        }
    }
    // Points keep their relative order.
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (new_point[i] == kNone) continue;
        new_point[i] = static_cast<std::uint32_t>(cut.points.vec.size());
        cut.points.vec.push_back(points[i]);
    }
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        if (!member[p]) continue;
        new_polygon[p] = static_cast<std::uint32_t>(cut.pols.polygons.size());
        lwofront::Polygon polygon = polygons[p];
        // A corner past the points stays past them, so it is still skipped.
        for (std::uint32_t& v : polygon.vertices) v = v < points.size() ? new_point[v] : kNone;
        cut.pols.polygons.push_back(std::move(polygon));
    }
    for (const lwofront::Vmap& map : layer.vmaps) {
        lwofront::Vmap& copy = cut.vmaps.emplace_back(lwofront::Vmap{map.kind, map.dimension, map.name, {}});
        for (const lwofront::VmapEntry& e : map.entries) {
            if (e.vertex < points.size() && new_point[e.vertex] != kNone) copy.entries.push_back({new_point[e.vertex], e.values});
        }
    }
    for (const lwofront::Vmad& map : layer.vmads) {
        lwofront::Vmad& copy = cut.vmads.emplace_back(lwofront::Vmad{map.kind, map.dimension, map.name, {}});
        for (const lwofront::VmadEntry& e : map.entries) {
            if (e.vertex >= points.size() || new_point[e.vertex] == kNone) continue;
            if (e.polygon >= polygons.size() || new_polygon[e.polygon] == kNone) continue;
            copy.entries.push_back({new_point[e.vertex], new_polygon[e.polygon], e.values});
        }
    }
    return cut;
}

}  // namespace

std::vector<SurfaceGroup> group_by_surface(const lwofront::Object& object, const lwofront::Layr& layer) {
    const std::vector<std::uint32_t> surface = surface_per_polygon(object, layer);
    std::vector<std::uint32_t> order;  // surfaces in the order of their first polygon
    for (std::uint32_t s : surface) {
        if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
    }
    if (order.size() <= 1) return {};

    std::vector<SurfaceGroup> groups;
    std::vector<std::uint8_t> member(surface.size());
    for (std::uint32_t s : order) {
        for (std::size_t p = 0; p < surface.size(); ++p) member[p] = surface[p] == s;
        std::optional<std::size_t> named;
        if (s != kNone) named = s;
        groups.push_back({named, cut_layer(layer, member)});
    }
    return groups;
}

}  // namespace converter
