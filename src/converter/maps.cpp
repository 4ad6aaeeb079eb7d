#include "converter/maps.hpp"

namespace converter {

std::vector<std::uint32_t> first_entry_per_point(const lwofront::Vmap& map, std::size_t point_count) {
    std::vector<std::uint32_t> first(point_count, kNoEntry);
    for (std::uint32_t k = 0; k < map.entries.size(); ++k) {
        const std::uint32_t vertex = map.entries[k].vertex;
        if (vertex < first.size() && first[vertex] == kNoEntry) first[vertex] = k;
    }
    return first;
}

}  // namespace converter
