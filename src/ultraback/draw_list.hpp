#pragma once
// The display list that draws a whole mesh (-g): per layer, the RDP and RSP
// state its material needs, set only where it differs from the layer before,
// then a call of the layer's own list. Render mode, z-buffer, fog, lights and
// matrices stay the game's.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ultraback/mesh.hpp"

namespace ultraback {

// How a layer's texture reaches TMEM: the whole image, or with -t only the
// rectangle its tile layer covers.
struct TextureLoad {
    std::size_t texture = 0;
    bool wrap_s = false, wrap_t = false;  // repeat (power-of-two sides only), else clamp
    std::optional<Rectangle> tile;        // texels loaded, inclusive corners; none for the whole image

    bool operator==(const TextureLoad&) const = default;
};

enum class Combiner { TextureShade, PrimitiveShade, Shade };

// Everything the draw list sets for one layer.
struct LayerState {
    std::optional<TextureLoad> texture;  // none: texture off
    Combiner combiner = Combiner::PrimitiveShade;
    std::uint32_t primitive = 0;  // RGBA8888, for PrimitiveShade
    bool lighting = true;

    bool operator==(const LayerState&) const = default;
};

// The state layer `n` of `mesh` is drawn with. A texture that TMEM cannot
// hold or the RDP cannot load as stored is left off: the layer is drawn in
// its material colour.
LayerState layer_state(const Mesh& mesh, std::size_t n);

// "\nGfx NAME_draw[] = {\n" ... "};\n", the text that follows the record.
std::string draw_list_text(const Mesh& mesh, std::string_view object_name);

}  // namespace ultraback
