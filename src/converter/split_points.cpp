#include "converter/split_points.hpp"

#include <algorithm>

#include "converter/maps.hpp"

namespace converter {

std::vector<std::uint32_t>& SplitLayer::editable_corners(std::size_t polygon) {
    if (edited.empty()) edited.assign(layer.pols.polygons.size(), kNone);
    if (edited[polygon] == kNone) {
        edited[polygon] = static_cast<std::uint32_t>(copies.size());
        const std::span<const std::uint32_t> read = layer.pols.polygons[polygon].vertices;
        copies.emplace_back(read.begin(), read.end());
    }
    return copies[edited[polygon]];
}

std::uint32_t SplitLayer::copy_point(std::uint32_t i) {
    const auto copy = static_cast<std::uint32_t>(point_count());
    if (i < read_points) {
        split_from.push_back(i);
        split_entry.emplace_back();
        split_color.emplace_back();
        return copy;
    }
    const std::size_t k = i - read_points;
    const std::uint32_t from = split_from[k];
    const auto entry = split_entry[k];
    const auto color = split_color[k];
    split_from.push_back(from);
    split_entry.push_back(entry);
    split_color.push_back(color);
    return copy;
}

void split_points(SplitLayer& w, const lwofront::Vmad& vmad, VmadValues values) {
    const bool texture = values == VmadValues::Texture;
    const auto& polygons = w.layer.pols.polygons;
    // Entries for points as read, by point and then in stored order.
    const Buckets by_point =
        bucket(vmad.entries, w.read_points, [](const lwofront::VmadEntry& e) { return e.vertex; });
    for (std::uint32_t k : by_point.entries) {
        const lwofront::VmadEntry e = vmad.entries[k];
        if (e.polygon >= polygons.size()) continue;
        const std::span<const std::uint32_t> looked_in = texture ? w.corners(e.polygon) : polygons[e.polygon].vertices;
        const auto at = std::find(looked_in.begin(), looked_in.end(), e.vertex);
        if (at == looked_in.end()) continue;
        const auto corner = static_cast<std::size_t>(at - looked_in.begin());
        const std::uint32_t now = w.corners(e.polygon)[corner];
        if (!texture && now >= w.read_points && !w.split_color[now - w.read_points]) {
            w.split_color[now - w.read_points] = e.values;
            continue;
        }
        if (now != e.vertex) continue;  // this corner has its colour already
        w.editable_corners(e.polygon)[corner] = static_cast<std::uint32_t>(w.point_count());
        w.split_from.push_back(e.vertex);
        w.split_entry.push_back(texture ? std::optional(e.values) : std::nullopt);
        w.split_color.push_back(texture ? std::nullopt : std::optional(e.values));
    }
}

}  // namespace converter
