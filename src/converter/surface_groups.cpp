// Surface grouping (-m): each polygon's surface is found from its first SURF
// tag through the run's surface index; polygons are grouped by surface in
// the order of each group's first polygon, and each group is cut out as a
// layer of its own: only the points its polygons use (in their order), and
// only the map entries of those points and polygons, renumbered. The tables
// every cut reads are built once per layer, and each cut sets back what it
// changed, so a layer of many groups costs time in its own size.
#include "converter/surface_groups.hpp"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "converter/maps.hpp"
#include "lwofront/surface_index.hpp"

namespace converter {

namespace {

// What every group's cut reads: the maps' entries by point (VMAP) and by
// polygon (VMAD), and renumbering tables that each cut leaves as it found
// them, so a group costs time in its own size only.
struct CutTables {
    std::vector<Buckets> vmap_by_point;
    std::vector<Buckets> vmad_by_polygon;
    std::vector<std::uint32_t> new_point;    // kNone outside the group being cut
    std::vector<std::uint32_t> new_polygon;  // kNone outside the group being cut
};

CutTables make_cut_tables(const lwofront::Layr& layer) {
    const std::size_t points = layer.points.vec.size();
    const std::size_t polygons = layer.pols.polygons.size();
    CutTables t{{}, {}, std::vector<std::uint32_t>(points, kNone), std::vector<std::uint32_t>(polygons, kNone)};
    for (const lwofront::Vmap& map : layer.vmaps) {
        t.vmap_by_point.push_back(bucket(map.entries, points, [](const lwofront::VmapEntry& e) { return e.vertex; }));
    }
    for (const lwofront::Vmad& map : layer.vmads) {
        t.vmad_by_polygon.push_back(
            bucket(map.entries, polygons, [](const lwofront::VmadEntry& e) { return e.polygon; }));
    }
    return t;
}

// Entry positions gathered for one group, back in stored order.
std::vector<std::uint32_t> in_stored_order(std::vector<std::uint32_t> positions) {
    std::sort(positions.begin(), positions.end());
    return positions;
}

// The layer cut down to `members` (polygon positions, ascending), renumbered:
// points keep their relative order, entries their stored order.
lwofront::Layr cut_layer(const lwofront::Layr& layer, std::span<const std::uint32_t> members, CutTables& t) {
    const auto& polygons = layer.pols.polygons;
    const auto& points = layer.points.vec;
    lwofront::Layr cut = lwofront::Layr::create(layer.number, layer.flags, layer.pivot, layer.name, layer.parent);
    cut.pols.kind = layer.pols.kind;

    std::vector<std::uint32_t> used;
    for (std::uint32_t p : members) {
        for (std::uint32_t v : polygons[p].vertices) {
            if (v < points.size() && t.new_point[v] == kNone) {
                t.new_point[v] = 0;
                used.push_back(v);
            }
        }
    }
    std::sort(used.begin(), used.end());
    for (std::uint32_t v : used) {
        t.new_point[v] = static_cast<std::uint32_t>(cut.points.vec.size());
        cut.points.vec.push_back(points[v]);
    }
    for (std::uint32_t p : members) {
        t.new_polygon[p] = static_cast<std::uint32_t>(cut.pols.polygons.size());
        const lwofront::Polygon polygon = polygons[p];
        // A corner past the points stays past them, so it is still skipped.
        for (std::uint32_t v : polygon.vertices) cut.pols.polygons.add_corner(v < points.size() ? t.new_point[v] : kNone);
        cut.pols.polygons.end_polygon(polygon.flags);
    }

    for (std::size_t m = 0; m < layer.vmaps.size(); ++m) {
        const lwofront::Vmap& map = layer.vmaps[m];
        lwofront::Vmap& copy = cut.vmaps.emplace_back(lwofront::Vmap{map.kind, map.dimension, map.name, {}});
        std::vector<std::uint32_t> positions;
        for (std::uint32_t v : used) {
            for (std::uint32_t k : t.vmap_by_point[m].of(v)) positions.push_back(k);
        }
        for (std::uint32_t k : in_stored_order(std::move(positions))) {
            const lwofront::VmapEntry e = map.entries[k];
            copy.entries.push_back({t.new_point[e.vertex], e.values});
        }
    }
    for (std::size_t m = 0; m < layer.vmads.size(); ++m) {
        const lwofront::Vmad& map = layer.vmads[m];
        lwofront::Vmad& copy = cut.vmads.emplace_back(lwofront::Vmad{map.kind, map.dimension, map.name, {}});
        std::vector<std::uint32_t> positions;
        for (std::uint32_t p : members) {
            for (std::uint32_t k : t.vmad_by_polygon[m].of(p)) {
                const std::uint32_t v = map.entries[k].vertex;
                if (v < points.size() && t.new_point[v] != kNone) positions.push_back(k);
            }
        }
        for (std::uint32_t k : in_stored_order(std::move(positions))) {
            const lwofront::VmadEntry e = map.entries[k];
            copy.entries.push_back({t.new_point[e.vertex], t.new_polygon[e.polygon], e.values});
        }
    }

    for (std::uint32_t v : used) t.new_point[v] = kNone;
    for (std::uint32_t p : members) t.new_polygon[p] = kNone;
    return cut;
}

}  // namespace

std::vector<std::uint32_t> surface_per_polygon(const lwofront::Object& object, const lwofront::SurfaceIndex& index,
                                               const lwofront::Layr& layer) {
    std::vector<std::uint32_t> surface_of_tag(object.tags.size(), kNone);
    for (std::size_t t = 0; t < object.tags.size(); ++t) {
        if (auto named = lwofront::first_surface_named(index, object.tags[t])) {
            surface_of_tag[t] = static_cast<std::uint32_t>(*named);
        }
    }

    const std::size_t polygon_count = layer.pols.polygons.size();
    std::vector<std::uint32_t> surface(polygon_count, kNone);
    std::vector<std::uint8_t> tagged(polygon_count, 0);
    for (const lwofront::PtagEntry& entry : layer.ptag.entries) {
        if (entry.polygon >= polygon_count || tagged[entry.polygon] || entry.tag >= object.tags.size()) continue;
        tagged[entry.polygon] = 1;
        surface[entry.polygon] = surface_of_tag[entry.tag];
    }
    return surface;
}

std::vector<SurfaceGroup> group_by_surface(const lwofront::Object& object, const lwofront::SurfaceIndex& index,
                                           const lwofront::Layr& layer) {
    const std::vector<std::uint32_t> surface = surface_per_polygon(object, index, layer);
    // Groups in the order of their first polygon; the last slot of
    // group_of_surface stands for the polygons that name no surface.
    const std::size_t no_surface = object.surfaces.size();
    std::vector<std::uint32_t> group_of_surface(no_surface + 1, kNone);
    std::vector<std::uint32_t> group_surface;
    std::vector<std::vector<std::uint32_t>> members;
    for (std::size_t p = 0; p < surface.size(); ++p) {
        const std::size_t s = surface[p] == kNone ? no_surface : surface[p];
        if (group_of_surface[s] == kNone) {
            group_of_surface[s] = static_cast<std::uint32_t>(members.size());
            group_surface.push_back(surface[p]);
            members.emplace_back();
        }
        members[group_of_surface[s]].push_back(static_cast<std::uint32_t>(p));
    }
    if (members.size() <= 1) return {};

    CutTables tables = make_cut_tables(layer);
    std::vector<SurfaceGroup> groups;
    for (std::size_t g = 0; g < members.size(); ++g) {
        std::optional<std::size_t> named;
        if (group_surface[g] != kNone) named = group_surface[g];
        groups.push_back({named, cut_layer(layer, members[g], tables)});
    }
    return groups;
}

}  // namespace converter
