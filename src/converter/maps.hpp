#pragma once
// Lookups in a layer's vertex maps that layer conversion and tiling share.

#include <cstddef>
#include <cstdint>
#include <span>
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

}  // namespace converter
