#include "lwofront/surface_index.hpp"

#include <algorithm>
#include <bitset>
#include <cstdint>

namespace lwofront {

SurfaceIndex index_surfaces(const Object& object) {
    SurfaceIndex index;
    index.by_name.reserve(object.surfaces.size());
    for (std::size_t s = 0; s < object.surfaces.size(); ++s) index.by_name.emplace_back(object.surfaces[s].name, s);
    std::sort(index.by_name.begin(), index.by_name.end());
    return index;
}

namespace {

auto first_named(const SurfaceIndex& index, std::string_view name) {
    return std::lower_bound(index.by_name.begin(), index.by_name.end(), name,
                            [](const auto& entry, std::string_view key) { return entry.first < key; });
}

}  // namespace

std::optional<std::size_t> first_surface_named(const SurfaceIndex& index, std::string_view name) {
    auto first = first_named(index, name);
    if (first == index.by_name.end() || first->first != name) return std::nullopt;
    return first->second;
}

std::vector<std::size_t> surfaces_in_layer(const SurfaceIndex& index, const Object& object, const Layr& layer) {
    std::vector<std::size_t> found;
    if (index.by_name.empty() || layer.ptag.entries.empty()) return found;
    // Each tag once, however many polygons carry it: a bit per possible tag
    // finds the few distinct ones without sorting one tag per polygon.
    std::bitset<std::size_t{1} << 16> carried;
    std::vector<std::uint16_t> tags;
    for (const PtagEntry& entry : layer.ptag.entries) {
        if (carried.test(entry.tag)) continue;
        carried.set(entry.tag);
        tags.push_back(entry.tag);
    }
    std::sort(tags.begin(), tags.end());

    for (std::uint16_t tag : tags) {
        if (tag >= object.tags.size()) continue;  // names no surface
        const std::string_view name = object.tags[tag];
        for (auto it = first_named(index, name); it != index.by_name.end() && it->first == name; ++it) found.push_back(it->second);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

}  // namespace lwofront
