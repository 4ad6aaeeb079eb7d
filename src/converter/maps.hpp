#pragma once
// Lookups in a layer's vertex maps that layer conversion and tiling share.

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "lwofront/model.hpp"

namespace converter {

inline constexpr std::uint32_t kNoEntry = UINT32_MAX;

// The first texture map of a list of VMAP or VMAD maps; null when none is.
template <class Map>
const Map* first_txuv(const std::vector<Map>& maps) {
    for (const Map& map : maps) {
        if (lwofront::is_txuv(map.kind)) return &map;
    }
    return nullptr;
}

// Whether a map holds vertex colours: type RGB or RGBA.
inline bool is_color(const lwofront::VmapKind& kind) {
    const auto* other = std::get_if<lwofront::OtherType>(&kind);
    return other && (other->id == 0x52474220 || other->id == 0x52474241);  // "RGB ", "RGBA"
}

// The first colour map of a list of VMAP or VMAD maps; null when none is.
template <class Map>
const Map* first_color(const std::vector<Map>& maps) {
    for (const Map& map : maps) {
        if (is_color(map.kind)) return &map;
    }
    return nullptr;
}

// Per point below `point_count`, the position of its first entry in `map`, or
// kNoEntry. Built once, so a point's entry needs no search.
std::vector<std::uint32_t> first_entry_per_point(const lwofront::Vmap& map, std::size_t point_count);

}  // namespace converter
