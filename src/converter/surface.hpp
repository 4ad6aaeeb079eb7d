#pragma once
// What the conversion reads of a surface, read once: its material, and the
// texture its layers are scaled and tiled by.

#include <cstddef>
#include <optional>
#include <variant>

#include "converter/projection.hpp"
#include "converter/warn.hpp"
#include "lwofront/model.hpp"
#include "overloaded.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// The colour of a surface without Colr, and of the material shared by the
// layers that name no surface.
inline constexpr ultraback::Color kGrey{0.5f, 0.5f, 0.5f, 1.0f};

struct SurfaceUse {
    // The last Colr (grey without one) and the last Imag of any block, when
    // it names a clip.
    ultraback::Material material;
    // The position in the textures of the first Imag of the first block, when
    // it names a clip: what the layers of this surface scale texture
    // coordinates by and are tiled by.
    std::optional<std::size_t> layer_texture;
    // The projection that block maps its image by; none for a UV map, and
    // none (with a warning) for one that cannot be computed.
    std::optional<Projection> layer_projection;
    // The first block maps its image by front projection: its layers get no
    // texture coordinates.
    bool unmapped = false;
};

// Calls `visit(imag, block)` for every Imag of every block of the surface,
// in stored order; `block` counts the blocks from 0. The one walk from a
// surface to the images its blocks name.
template <class Visit>
void for_each_imag(const lwofront::Surf& surface, Visit visit) {
    using namespace lwofront;
    std::size_t block = 0;
    auto read_block = [&](const Blok& blok) {
        for (const BlokAttr& attribute : blok.attributes) {
            std::visit(Overloaded{[&](const Imag& imag) { visit(imag, block); },
                                  Ignore<Tmap, Proj, Axis, Wrap, Wrpw, Wrph, VmapName, Aast, Pixb>{}},
                       attribute);
        }
        ++block;
    };
    for (const SurfAttr& attribute : surface.attributes) {
        std::visit(Overloaded{read_block, Ignore<Colr, Diff, Spec, Glos>{}}, attribute);
    }
}

// Reads `surface` of an object with `clip_count` clips. Each Imag of a block
// that names no clip gives a warning (and clears the material's texture), and
// so does a layer texture mapped by a projection that cannot be computed.
SurfaceUse read_surface(const lwofront::Surf& surface, std::size_t clip_count, const Warn& warn);

}  // namespace converter
