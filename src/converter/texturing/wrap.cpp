#include "converter/texturing/wrap.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <variant>

#include "converter/maps.hpp"
#include "converter/projection.hpp"
#include "converter/surface.hpp"

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

std::vector<bool> wrapped_clips(const Object& object, const SurfaceIndex& index, float scale) {
    std::vector<bool> wrapped(object.clips.size(), false);
    for (const Layr& layer : object.layers) {
        std::optional<bool> map_wrapped;  // the layer's own map, tested once
        for (std::size_t surface : surfaces_in_layer(index, object, layer)) {
            const Surf& surf = object.surfaces[surface];
            const BlockMapping mapping = first_block_mapping(surf);
            bool wraps = false;
            if (mapping.projection) {
                const TextureMaps made = project_layer(layer, *mapping.projection, scale);
                wraps = map_wraps(&made.map) || map_wraps(&made.vmad);
            } else if (!mapping.front) {
                if (!map_wrapped) map_wrapped = layer_wraps(layer);
                wraps = *map_wrapped;
            }
            if (wraps) mark_clips_of(surf, wrapped);
        }
    }
    return wrapped;
}

}  // namespace converter
