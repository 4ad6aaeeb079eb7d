// The draw list: one gsSPDisplayList per layer, each preceded by the state
// its material needs. The state is tracked as the RSP and RDP hold it, so a
// run of layers with one material loads its texture once. Every change of RDP
// state waits for the triangles before it with a pipe sync.

#include "ultraback/draw_list.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <variant>

#include "overloaded.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {

namespace {

// TMEM is 4 KB; a colour-indexed texture leaves its upper half to the palette.
constexpr std::size_t kTmemBytes = 4096;
constexpr std::size_t kTmemTexelBytesWithPalette = 2048;
// The widest image a texture-image command names (12 bits), and the last
// texel a tile's 10.2 fixed-point corners reach (12 bits).
constexpr std::size_t kMaxImageWidth = 4096;
constexpr std::uint16_t kMaxTileTexel = 1023;

// What the load macros need to know of a texel format.
struct Format {
    std::string_view format;  // G_IM_FMT_...
    unsigned bits = 0;        // per texel
    std::size_t data_bytes = 0;
    const std::vector<std::uint16_t>* palette = nullptr;  // colour-indexed formats only
};

std::optional<Format> format_of(const TexelData& texels) {
    return std::visit(
        Overloaded{
            [](const Ci4& t) { return std::optional<Format>{{"G_IM_FMT_CI", 4, t.indices.size(), &t.palette}}; },
            [](const Ci8& t) { return std::optional<Format>{{"G_IM_FMT_CI", 8, t.indices.size(), &t.palette}}; },
            [](const Rgba16& t) { return std::optional<Format>{{"G_IM_FMT_RGBA", 16, 2 * t.texels.size()}}; },
            [](const Rgba32& t) { return std::optional<Format>{{"G_IM_FMT_RGBA", 32, 4 * t.texels.size()}}; },
            [](const I4& t) { return std::optional<Format>{{"G_IM_FMT_I", 4, t.texels.size()}}; },
            [](const I8& t) { return std::optional<Format>{{"G_IM_FMT_I", 8, t.texels.size()}}; },
            [](const Ia4& t) { return std::optional<Format>{{"G_IM_FMT_IA", 4, t.texels.size()}}; },
            [](const Ia8& t) { return std::optional<Format>{{"G_IM_FMT_IA", 8, t.texels.size()}}; },
            [](const Ia16& t) { return std::optional<Format>{{"G_IM_FMT_IA", 16, 2 * t.texels.size()}}; },
            [](const Unknown&) { return std::optional<Format>{}; },
        },
        texels);
}

std::string_view size_name(unsigned bits) {
    switch (bits) {
        case 4: return "G_IM_SIZ_4b";
        case 8: return "G_IM_SIZ_8b";
        case 16: return "G_IM_SIZ_16b";
        default: return "G_IM_SIZ_32b";
    }
}

std::size_t round_up_8(std::size_t bytes) { return (bytes + 7) / 8 * 8; }

// TMEM bytes of `width` by `height` texels: each row padded to 64 bits. A
// 32-bit texel is split over the two halves, 16 bits in each.
std::size_t tmem_bytes(std::size_t width, std::size_t height, unsigned bits) {
    if (bits == 32) return 2 * round_up_8(width * 2) * height;
    return round_up_8((width * bits + 7) / 8) * height;
}

// The rows of one texture as the loads read them: 4-bit texels packed over
// the whole image are whole bytes per row only for even widths, or for a
// single row.
bool loadable(const Texture& texture, const Format& format) {
    const std::size_t texels = std::size_t{texture.width} * texture.height;
    if (texels == 0 || format.data_bytes < (texels * format.bits + 7) / 8) return false;
    if (texture.width >= kMaxImageWidth) return false;  // room for the odd 4-bit row's extra texel
    return format.bits != 4 || texture.width % 2 == 0 || texture.height == 1;
}

// The width the load macros are given: a single row of an odd number of
// 4-bit texels ends in the low nibble of its last byte, loaded as one texel
// more, since they count 4-bit rows in bytes.
std::uint16_t load_width(const Texture& texture, const Format& format) {
    if (format.bits == 4 && texture.width % 2 != 0) return static_cast<std::uint16_t>(texture.width + 1);
    return texture.width;
}

bool fits_tmem(std::size_t width, std::size_t height, const Format& format) {
    const std::size_t limit = format.palette ? kTmemTexelBytesWithPalette : kTmemBytes;
    return tmem_bytes(width, height, format.bits) <= limit;
}

// Whether a texture coordinate (texels times 64) of the layer lies outside
// 0 to `size` texels along s (`axis` 0) or t (1).
bool leaves_texture(const Layer& layer, std::size_t size, int axis) {
    const long limit = static_cast<long>(size) * 64;
    for (const Vertex& v : layer.vertices) {
        const long c = axis == 0 ? v.s : v.t;
        if (c < 0 || c > limit) return true;
    }
    return false;
}

// The texels a tile layer loads: its rectangle with inclusive corners, within
// the texture; 4-bit texels in whole bytes.
Rectangle tile_texels(const Rectangle& rect, const Texture& texture, unsigned bits) {
    const auto last = [](std::uint16_t low, std::uint16_t high, std::uint16_t size) {
        const std::uint16_t end = high > low ? static_cast<std::uint16_t>(high - 1) : low;
        return std::min<std::uint16_t>(end, static_cast<std::uint16_t>(size - 1));
    };
    Rectangle r;
    r.right = last(rect.left, rect.right, texture.width);
    r.bottom = last(rect.top, rect.bottom, texture.height);
    r.left = std::min(rect.left, r.right);
    r.top = std::min(rect.top, r.bottom);
    if (bits == 4) {
        r.left = static_cast<std::uint16_t>(r.left & ~1u);
        r.right = static_cast<std::uint16_t>(r.right | 1u);  // the width is even
    }
    return r;
}

const Rectangle* tile_of(const Mesh& mesh, std::size_t n) {
    if (!mesh.layers[n].attributes.contains(LayerAttribute::PreventSeams)) return nullptr;
    for (const auto& [index, rect] : mesh.layer_rects)
        if (index == n) return &rect;
    return nullptr;
}

std::optional<TextureLoad> texture_load(const Mesh& mesh, std::size_t n, std::size_t j) {
    const Texture& texture = mesh.textures[j];
    const std::optional<Format> format = format_of(texture.texels);
    if (!format || !loadable(texture, *format)) return std::nullopt;
    TextureLoad load;
    load.texture = j;
    if (const Rectangle* rect = tile_of(mesh, n)) {
        const Rectangle r = tile_texels(*rect, texture, format->bits);
        if (r.right > kMaxTileTexel || r.bottom > kMaxTileTexel) return std::nullopt;
        if (!fits_tmem(r.right - r.left + 1u, r.bottom - r.top + 1u, *format)) return std::nullopt;
        load.tile = r;
        return load;
    }
    const std::uint16_t width = load_width(texture, *format);
    if (width - 1 > kMaxTileTexel || texture.height - 1 > kMaxTileTexel) return std::nullopt;
    if (!fits_tmem(width, texture.height, *format)) return std::nullopt;
    const Layer& layer = mesh.layers[n];
    load.wrap_s = std::has_single_bit(texture.width) && leaves_texture(layer, texture.width, 0);
    load.wrap_t = std::has_single_bit(texture.height) && leaves_texture(layer, texture.height, 1);
    return load;
}

std::uint8_t unit_byte(float value) {
    if (!(value > 0)) return 0;  // NaN too
    if (value >= 1) return 255;
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

// ---- Text -----------------------------------------------------------------

void dec(std::string& out, std::size_t value) {
    char digits[20];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string_view wrap_mode(bool wrap) { return wrap ? "G_TX_WRAP | G_TX_NOMIRROR" : "G_TX_CLAMP | G_TX_NOMIRROR"; }

void write_mask(std::string& out, bool wrap, std::size_t size) {
    if (wrap) {
        dec(out, static_cast<std::size_t>(std::countr_zero(size)));
    } else {
        out += "G_TX_NOMASK";
    }
}

// gsDPLoadTextureBlock serves rows of whole 64-bit words in a power-of-two
// count, which its line stepping counts exactly; other widths load row by
// row with gsDPLoadTextureTile over the whole image.
bool block_loads(std::size_t width, unsigned bits) {
    const std::size_t row_bits = width * bits;
    return row_bits % 64 == 0 && std::has_single_bit(row_bits / 64);
}

void write_texture_load(std::string& out, const Mesh& mesh, const TextureLoad& load) {
    const Texture& texture = mesh.textures[load.texture];
    const Format format = *format_of(texture.texels);
    const bool four_bits = format.bits == 4;
    const std::string name = create_texture_name(load.texture);
    const std::uint16_t width = load_width(texture, format);
    const bool block = !load.tile && block_loads(width, format.bits);
    const Rectangle whole{0, 0, static_cast<std::uint16_t>(width - 1),
                          static_cast<std::uint16_t>(texture.height - 1)};
    const Rectangle& r = load.tile ? *load.tile : whole;

    out += block ? "\tgsDPLoadTextureBlock" : "\tgsDPLoadTextureTile";
    out += four_bits ? "_4b(" : "(";
    out += name;
    out += ", ";
    out += format.format;
    if (!four_bits) {
        out += ", ";
        out += size_name(format.bits);
    }
    out += ", ";
    dec(out, width);
    out += ", ";
    dec(out, texture.height);
    if (!block) {
        for (std::uint16_t corner : {r.left, r.top, r.right, r.bottom}) {
            out += ", ";
            dec(out, corner);
        }
    }
    out += ", 0, ";
    out += wrap_mode(load.wrap_s);
    out += ", ";
    out += wrap_mode(load.wrap_t);
    out += ", ";
    write_mask(out, load.wrap_s, texture.width);
    out += ", ";
    write_mask(out, load.wrap_t, texture.height);
    out += ", G_TX_NOLOD, G_TX_NOLOD),\n";
}

void write_combiner(std::string& out, Combiner combiner) {
    // (a - b) * c + d, for colour and alpha, in both cycles alike.
    std::string_view one;
    switch (combiner) {
        case Combiner::TextureShade: one = "TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0"; break;
        case Combiner::PrimitiveShade: one = "PRIMITIVE, 0, SHADE, 0, PRIMITIVE, 0, SHADE, 0"; break;
        case Combiner::Shade: one = "0, 0, 0, SHADE, 0, 0, 0, SHADE"; break;
    }
    out += "\tgsDPSetCombineLERP(";
    out += one;
    out += ", ";
    out += one;
    out += "),\n";
}

void write_primitive(std::string& out, std::uint32_t rgba) {
    out += "\tgsDPSetPrimColor(0, 0";
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += ", ";
        dec(out, (rgba >> shift) & 0xFF);
    }
    out += "),\n";
}

// What the RSP and RDP hold after the commands written so far; unset at the
// start, where the game's own state is unknown.
struct Held {
    std::optional<bool> lighting;
    std::optional<Combiner> combiner;
    std::optional<std::uint32_t> primitive;
    std::optional<bool> palette_lookup;
    std::optional<std::size_t> palette;  // the texture whose palette is in TMEM
    std::optional<TextureLoad> loaded;
    std::optional<bool> texture_on;
};

void write_layer_state(std::string& out, const Mesh& mesh, const LayerState& state, Held& held) {
    std::string rdp;
    if (held.combiner != state.combiner) write_combiner(rdp, state.combiner);
    if (state.combiner == Combiner::PrimitiveShade && held.primitive != state.primitive) {
        write_primitive(rdp, state.primitive);
    }
    if (state.texture) {
        const TextureLoad& load = *state.texture;
        const Format format = *format_of(mesh.textures[load.texture].texels);
        const bool indexed = format.palette != nullptr;
        if (held.palette_lookup != indexed) {
            rdp += indexed ? "\tgsDPSetTextureLUT(G_TT_RGBA16),\n" : "\tgsDPSetTextureLUT(G_TT_NONE),\n";
        }
        if (indexed && held.palette != load.texture) {
            rdp += format.bits == 4 ? "\tgsDPLoadTLUT_pal16(0, palette" : "\tgsDPLoadTLUT_pal256(palette";
            dec(rdp, load.texture);
            rdp += "),\n";
        }
        if (held.loaded != load) write_texture_load(rdp, mesh, load);
        held.palette_lookup = indexed;
        // A texture without a palette may fill TMEM's upper half too.
        held.palette = indexed ? std::optional<std::size_t>(load.texture) : std::nullopt;
        held.loaded = load;
    }
    if (!rdp.empty()) {
        out += "\tgsDPPipeSync(),\n";
        out += rdp;
    }
    if (held.lighting != state.lighting) {
        out += state.lighting ? "\tgsSPSetGeometryMode(G_LIGHTING),\n" : "\tgsSPClearGeometryMode(G_LIGHTING),\n";
    }
    const bool on = state.texture.has_value();
    if (held.texture_on != on) {
        out += on ? "\tgsSPTexture(0x8000, 0x8000, 0, G_TX_RENDERTILE, G_ON),\n"
                  : "\tgsSPTexture(0x8000, 0x8000, 0, G_TX_RENDERTILE, G_OFF),\n";
    }
    held.lighting = state.lighting;
    held.combiner = state.combiner;
    if (state.combiner == Combiner::PrimitiveShade) held.primitive = state.primitive;
    held.texture_on = on;
}

}  // namespace

LayerState layer_state(const Mesh& mesh, std::size_t n) {
    const Layer& layer = mesh.layers[n];
    LayerState state;
    state.lighting = !layer.vertex_colors;
    const Material* material = layer.material < mesh.materials.size() ? &mesh.materials[layer.material] : nullptr;
    if (material && material->texture && *material->texture < mesh.textures.size()) {
        state.texture = texture_load(mesh, n, *material->texture);
    }
    if (state.texture) {
        state.combiner = Combiner::TextureShade;
    } else if (layer.vertex_colors) {
        state.combiner = Combiner::Shade;  // the vertex colours as they are
    } else {
        const Color white{1, 1, 1, 1};
        const Color& c = material ? material->color : white;
        state.combiner = Combiner::PrimitiveShade;
        state.primitive = std::uint32_t{unit_byte(c.r)} << 24 | std::uint32_t{unit_byte(c.g)} << 16 |
                          std::uint32_t{unit_byte(c.b)} << 8 | unit_byte(c.a);
    }
    return state;
}

std::string draw_list_text(const Mesh& mesh, std::string_view object_name) {
    std::string out = "\nGfx ";
    out += object_name;
    out += "_draw[] = {\n";
    Held held;
    for (std::size_t n = 0; n < mesh.layers.size(); ++n) {
        write_layer_state(out, mesh, layer_state(mesh, n), held);
        out += "\tgsSPDisplayList(drawmesh";
        dec(out, n);
        out += "),\n";
    }
    out += "\tgsSPEndDisplayList()\n};\n";
    return out;
}

}  // namespace ultraback
