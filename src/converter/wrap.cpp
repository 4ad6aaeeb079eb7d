#include "converter/wrap.hpp"

#include <algorithm>
#include <cstddef>
#include <variant>

namespace converter {
namespace {

bool outside_unit(const std::vector<float>& values) {
    // NaN counts as outside: nothing says it stays in one copy of the texture.
    return std::any_of(values.begin(), values.end(), [](float v) { return !(v >= 0.0f && v <= 1.0f); });
}

// The texture map that the layer conversion reads: the first TXUV map and
// the first TXUV per-polygon map.
bool layer_wraps(const lwofront::Layr& layer) {
    for (const lwofront::Vmap& map : layer.vmaps) {
        if (!lwofront::is_txuv(map.kind)) continue;
        for (const lwofront::VmapEntry& entry : map.entries) {
            if (outside_unit(entry.values)) return true;
        }
        break;
    }
    for (const lwofront::Vmad& map : layer.vmads) {
        if (!lwofront::is_txuv(map.kind)) continue;
        for (const lwofront::VmadEntry& entry : map.entries) {
            if (outside_unit(entry.values)) return true;
        }
        break;
    }
    return false;
}

void mark_clips_of(const lwofront::Surf& surface, std::vector<bool>& wrapped) {
    for (const lwofront::SurfAttr& attribute : surface.attributes) {
        const auto* blok = std::get_if<lwofront::Blok>(&attribute);
        if (!blok) continue;
        for (const lwofront::BlokAttr& inner : blok->attributes) {
            const auto* imag = std::get_if<lwofront::Imag>(&inner);
            if (imag && imag->image >= 1 && imag->image <= wrapped.size()) wrapped[imag->image - 1] = true;
        }
    }
}

}  // namespace

std::vector<bool> wrapped_clips(const lwofront::Object& object) {
    std::vector<bool> wrapped(object.clips.size(), false);
    for (const lwofront::Layr& layer : object.layers) {
        if (!layer_wraps(layer)) continue;
        for (std::size_t surface : object.get_surfaces_in_layer(layer)) mark_clips_of(object.surfaces[surface], wrapped);
    }
    return wrapped;
}

}  // namespace converter
