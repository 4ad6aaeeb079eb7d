#include "converter/texturing/wrap.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <variant>

#include "converter/maps.hpp"
#include "converter/projection.hpp"
#include "converter/surface.hpp"
#include "converter/surface_groups.hpp"

namespace converter {
namespace {

using namespace lwofront;

bool outside_unit(std::span<const float> values) {
    // NaN counts as outside: nothing says it stays in one copy of the texture.
    return std::any_of(values.begin(), values.end(), [](float v) { return !(v >= 0.0f && v <= 1.0f); });
}

template <class Map>
bool map_wraps(const Map* map) {
    return map && std::any_of(map->entries.begin(), map->entries.end(),
                              [](const auto& entry) { return outside_unit(entry.values); });
}

// The texture maps that the layer conversion reads.
bool layer_wraps(const Layr& layer) {
    const ChosenMaps chosen = choose_maps(layer, false);
    return map_wraps(chosen.texture) || map_wraps(chosen.texture_vmad);
}

// Every clip an Imag of the surface names, in any block.
void mark_clips_of(const Surf& surface, std::vector<bool>& wrapped) {
    for_each_imag(surface, [&](const Imag& imag, std::size_t) {
        if (imag.image >= 1 && imag.image <= wrapped.size()) wrapped[imag.image - 1] = true;
    });
}

}  // namespace

std::vector<bool> wrapped_clips(const Object& object, const SurfaceIndex& index, float scale, bool split_surfaces) {
    std::vector<bool> wrapped(object.clips.size(), false);
    auto projected = [&](std::size_t surface) { return first_block_mapping(object.surfaces[surface]).projection; };
    auto projection_wraps = [&](const Layr& layer, const Projection& projection) {
        const TextureMaps made = project_layer(layer, projection, scale);
        return map_wraps(&made.map) || map_wraps(&made.vmad);
    };
    for (const Layr& layer : object.layers) {
        const std::vector<std::size_t> surfaces = surfaces_in_layer(index, object, layer);
        const bool map_wrapped = layer_wraps(layer);
        if (map_wrapped) {
            for (std::size_t surface : surfaces) mark_clips_of(object.surfaces[surface], wrapped);
        }
        if (std::none_of(surfaces.begin(), surfaces.end(), [&](std::size_t s) { return projected(s).has_value(); })) {
            continue;
        }
        // Projected textures: each surface's own polygons with -m (only when
        // the layer is split), else the whole layer by its lowest surface,
        // as the conversion reads them.
        std::vector<SurfaceGroup> groups;
        if (split_surfaces) groups = group_by_surface(object, index, layer);
        for (const SurfaceGroup& group : groups) {
            if (!group.surface) continue;
            const std::optional<Projection> projection = projected(*group.surface);
            if (projection && projection_wraps(group.layer, *projection)) {
                mark_clips_of(object.surfaces[*group.surface], wrapped);
            }
        }
        if (!groups.empty() || map_wrapped) continue;
        const std::optional<Projection> projection = projected(surfaces.front());
        if (projection && projection_wraps(layer, *projection)) {
            for (std::size_t surface : surfaces) mark_clips_of(object.surfaces[surface], wrapped);
        }
    }
    return wrapped;
}

}  // namespace converter
