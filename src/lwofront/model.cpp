#include "lwofront/model.hpp"

#include "lwofront/surface_index.hpp"

namespace lwofront {

Layr Layr::create(std::uint16_t number, std::uint16_t flags, Vec3 pivot, std::string_view name,
                  std::uint16_t parent) {
    Layr layer;
    layer.number = number;
    layer.flags = flags;
    layer.pivot = pivot;
    layer.name = std::string(name);
    layer.parent = parent;
    return layer;
}

std::vector<VmapEntry> Vmap::collect_refs(std::span<const std::uint32_t> indices) const {
    std::vector<VmapEntry> refs;
    refs.reserve(indices.size());
    for (std::uint32_t index : indices) {
        // A map with one entry per point in point order is found at once;
        // sparse or unordered maps fall back to a search.
        if (index < entries.size() && entries[index].vertex == index) {
            refs.push_back(entries[index]);
            continue;
        }
        for (const VmapEntry entry : entries) {
            if (entry.vertex == index) {
                refs.push_back(entry);
                break;
            }
        }
    }
    return refs;
}

std::vector<std::size_t> Object::get_surfaces_in_layer(const Layr& layer) const {
    return surfaces_in_layer(index_surfaces(*this), *this, layer);
}

void scale_points(Object& object, float scale) {
    // Times one every point is what it was (a NaN stays a NaN): the pass
    // over a large object's points would only delay its first layer.
    if (scale == 1.0f) return;
    for (Layr& layer : object.get_layers_mut()) {
        for (Vec3& point : layer.get_points_mut().get_vec_mut()) {
            point.x *= scale;
            point.y *= scale;
            point.z *= scale;
        }
    }
}

}  // namespace lwofront
