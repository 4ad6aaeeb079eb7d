// The two rules for a surface's texture, side by side. The material reads
// the attributes as settings where a later one overrides an earlier one, so
// the last Imag of the last block wins. Texture coordinates and tiling go by
// the first Imag of the first block, the base image of the surface's texture
// stack. For the common surface of one block with one Imag they agree; for
// others the output depends on both, so both stay.

#include "converter/surface.hpp"

#include <cstdint>
#include <string>
#include <variant>

#include "overloaded.hpp"

namespace converter {

namespace {

using namespace lwofront;

// The material's rule: every Imag sets the texture, or clears it when it
// names no clip.
void set_material_texture(const Surf& surface, const Imag& imag, std::size_t clip_count,
                          ultraback::Material& material, const Warn& warn) {
    if (imag.image >= 1 && imag.image <= clip_count) {
        material.texture = imag.image - 1;
        return;
    }
    material.texture = std::nullopt;
    say(warn, "Warning: surface " + surface.name + " names image " + std::to_string(imag.image) +
                  ", which is not a clip.\n");
}

// How the first block maps the layers' texture onto them.
void read_layer_mapping(const Surf& surface, SurfaceUse& use, const Warn& warn) {
    const BlockMapping mapping = first_block_mapping(surface);
    use.layer_projection = mapping.projection;
    use.unmapped = mapping.front;
    if (mapping.front) {
        say(warn, "Warning: surface " + surface.name +
                      " maps its image by front projection, which needs a camera: its texture coordinates are "
                      "0.\n");
    }
}

}  // namespace

SurfaceUse read_surface(const Surf& surface, std::size_t clip_count, const Warn& warn) {
    SurfaceUse use{{std::nullopt, kGrey}, std::nullopt, std::nullopt, false};
    for (const SurfAttr& attribute : surface.attributes) {
        if (const auto* colr = std::get_if<Colr>(&attribute)) {
            use.material.color.r = colr->color.x;
            use.material.color.g = colr->color.y;
            use.material.color.b = colr->color.z;
        }
    }
    std::optional<std::uint32_t> deciding;  // the first Imag of the first block, as read
    for_each_imag(surface, [&](const Imag& imag, std::size_t block) {
        if (block == 0 && !deciding) deciding = imag.image;
        set_material_texture(surface, imag, clip_count, use.material, warn);
    });
    // The layers' rule: only the first Imag of the first block counts, even
    // when it names no clip.
    if (deciding && *deciding >= 1 && *deciding <= clip_count) use.layer_texture = *deciding - 1;
    if (use.layer_texture) read_layer_mapping(surface, use, warn);
    return use;
}

}  // namespace converter
