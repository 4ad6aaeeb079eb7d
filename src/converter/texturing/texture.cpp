// Texture preparation: Ci4 with a palette for images of at most 16 colours,
// Rgba16 otherwise, and the TMEM budget of each texel format.

#include "converter/texturing/texture.hpp"

#include <cassert>
#include <cstddef>
#include <variant>

#include "converter/texturing/texel_format.hpp"
#include "overloaded.hpp"

namespace converter {
namespace {

constexpr std::size_t kMaxPaletteColors = 16;

// Distinct 8-bit colours in order of first appearance, at most 16 of them.
// A few compares per pixel beat a hash map at this size.
struct Palette {
    std::uint32_t keys[kMaxPaletteColors] = {};
    std::size_t size = 0;

    // Slot of a colour that is already in the palette.
    std::size_t find(std::uint32_t key) const {
        std::size_t slot = 0;
        while (keys[slot] != key) {
            ++slot;
            assert(slot < size && "only colours the palette was filled with are looked up");
        }
        return slot;
    }
};

// Fills the palette; false as soon as a 17th colour shows up.
bool collect_colors(const std::vector<image::Pixel>& pixels, Palette& palette) {
    std::uint32_t last = 0;
    bool have_last = false;
    for (image::Pixel p : pixels) {
        std::uint32_t key = color_key(p);
        if (have_last && key == last) continue;  // runs of one colour are common
        last = key;
        have_last = true;
        bool known = false;
        for (std::size_t i = 0; i < palette.size && !known; ++i) known = palette.keys[i] == key;
        if (known) continue;
        if (palette.size == kMaxPaletteColors) return false;
        palette.keys[palette.size++] = key;
    }
    return true;
}

ultraback::Ci4 make_ci4(const std::vector<image::Pixel>& pixels, const Palette& colors) {
    ultraback::Ci4 ci4;
    // Each distinct 8-bit colour gets an entry; a pixel takes the first entry
    // equal to its 5551 value, which may belong to another 8-bit colour.
    std::uint8_t index_of_slot[kMaxPaletteColors] = {};
    for (std::size_t slot = 0; slot < colors.size; ++slot) {
        std::uint16_t value = rgba5551(key_color(colors.keys[slot]));
        std::size_t first = 0;
        while (first < slot && ci4.palette[first] != value) ++first;
        index_of_slot[slot] = static_cast<std::uint8_t>(first);
        ci4.palette.push_back(value);
    }

    ci4.indices.assign((pixels.size() + 1) / 2, 0);
    std::uint32_t last_key = 0;
    std::uint8_t last_index = 0;
    bool have_last = false;
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        std::uint32_t key = color_key(pixels[k]);
        if (!have_last || key != last_key) {
            last_key = key;
            last_index = index_of_slot[colors.find(key)];
            have_last = true;
        }
        ci4.indices[k / 2] |= static_cast<std::uint8_t>(k % 2 == 0 ? last_index << 4 : last_index);
    }
    return ci4;
}

}  // namespace

ultraback::Texture prepare_texture(const image::Image& image) {
    ultraback::Texture texture;
    texture.width = static_cast<std::uint16_t>(image.width & 0xFFFF);
    texture.height = static_cast<std::uint16_t>(image.height & 0xFFFF);
    Palette colors;
    if (collect_colors(image.pixels, colors)) {
        texture.texels = make_ci4(image.pixels, colors);
    } else {
        texture.texels = encode_rgba16(image.pixels);
    }
    return texture;
}

ultraback::Texture placeholder_texture() {
    return {0, 0, ultraback::Unknown{}};
}

bool fits_in_tmem(const ultraback::Texture& texture) {
    // Texels as stored: 4-bit formats hold two per byte (an odd count is
    // rounded up to even), a placeholder counts its width times height.
    const std::size_t texels = std::visit(
        Overloaded{
            [](const ultraback::Ci4& ci4) { return ci4.indices.size() * 2; },
            [](const ultraback::Rgba16& rgba16) { return rgba16.texels.size(); },
            [](const ultraback::Rgba32& rgba32) { return rgba32.texels.size(); },
            [&](const ultraback::Unknown&) { return std::size_t{texture.width} * texture.height; },
            [](const ultraback::Ci8& ci8) { return ci8.indices.size(); },
            [](const ultraback::I4& i4) { return i4.texels.size() * 2; },
            [](const ultraback::I8& i8) { return i8.texels.size(); },
            [](const ultraback::Ia4& ia4) { return ia4.texels.size() * 2; },
            [](const ultraback::Ia8& ia8) { return ia8.texels.size(); },
            [](const ultraback::Ia16& ia16) { return ia16.texels.size(); },
        },
        texture.texels);
    return fits_texel_budget(texels, texel_bits(texture.texels));
}

bool tile_fits_in_tmem(const ultraback::Texture& texture, const ultraback::Rectangle& rect) {
    const std::size_t width = rect.right > rect.left ? rect.right - rect.left : 0;
    const std::size_t height = rect.bottom > rect.top ? rect.bottom - rect.top : 0;
    return fits_texel_budget(width * height, texel_bits(texture.texels));
}

}  // namespace converter
