#pragma once
// The console's texel formats as the texture fitting sees them: their names,
// their size in bytes, encoding 8-bit RGBA pixels into each, decoding back,
// and which of them hold an image without loss.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "image.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

// Ordered from the most compact to the least: at the texel counts that are
// over budget, each takes at most as many bytes (texels and palette) as the
// next.
enum class TexelFormat { I4, Ia4, Ci4, I8, Ia8, Ci8, Ia16, Rgba16 };

inline constexpr TexelFormat kTexelFormats[] = {
    TexelFormat::I4, TexelFormat::Ia4, TexelFormat::Ci4,  TexelFormat::I8,
    TexelFormat::Ia8, TexelFormat::Ci8, TexelFormat::Ia16, TexelFormat::Rgba16,
};

// The four bytes of a colour as one key, red in the top byte, and back.
inline std::uint32_t color_key(image::Pixel p) {
    return std::uint32_t{p.r} << 24 | std::uint32_t{p.g} << 16 | std::uint32_t{p.b} << 8 | p.a;
}
inline image::Pixel key_color(std::uint32_t key) {
    return {static_cast<std::uint8_t>(key >> 24), static_cast<std::uint8_t>(key >> 16),
            static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
}

// RGBA 5551: the top 5 bits of r, g, b and the top bit of a.
std::uint16_t rgba5551(image::Pixel p);
ultraback::Rgba16 encode_rgba16(std::span<const image::Pixel> pixels);

// "CI4", "IA16", ...: the name in the fitting report.
std::string_view format_name(TexelFormat format);

// Palette entries of a colour-indexed format; 0 for the others.
std::size_t palette_capacity(TexelFormat format);

// Bytes of texel data for `count` texels (4-bit formats round up to a byte).
std::size_t texel_bytes(TexelFormat format, std::size_t count);

// Every texture gets 2 KB of texel data, half of TMEM: a colour-indexed one
// needs the other half for its palette, and the rest keep the same budget so
// that a texture's size does not depend on which format it ends up in.
inline constexpr std::size_t kTexelBudgetBytes = 2048;
// The one budget test: `texels` texels of `bits` each (4-bit texels packed
// two to a byte) within kTexelBudgetBytes.
inline bool fits_texel_budget(std::size_t texels, std::size_t bits) {
    return (texels * bits + 7) / 8 <= kTexelBudgetBytes;
}
bool fits_budget(TexelFormat format, std::size_t width, std::size_t height);
// Bits of one texel of the data's format; a placeholder counts as 16-bit.
std::size_t texel_bits(const ultraback::TexelData& texels);

// Whether encoding into a grey format (I or IA) and decoding gives every pixel
// back unchanged. Colour-indexed formats hold an image exactly when it has no
// more distinct colours than palette entries (at the 5551 precision that
// RGBA16 has too); RGBA16 is the fallback and holds everything.
bool holds_exactly(TexelFormat format, std::span<const image::Pixel> pixels);

// The most compact format that holds the image exactly.
TexelFormat exact_format(std::span<const image::Pixel> pixels);

// Encodes into an I, IA or RGBA16 format, rounding each channel to the
// format's precision.
ultraback::TexelData encode_direct(TexelFormat format, std::span<const image::Pixel> pixels);

// Encodes into Ci4 or Ci8 with the given palette colours (at most
// palette_capacity entries): each pixel takes the entry nearest to it, the
// first one among equals. A Ci8 palette is padded to 256 entries.
ultraback::TexelData encode_indexed(TexelFormat format, std::span<const image::Pixel> pixels,
                                    std::span<const image::Pixel> palette);

// The 8-bit RGBA pixels a texture's texels show, `count` of them, as
// ultraback::decode_texels reads them.
std::vector<image::Pixel> decode_texels(const ultraback::TexelData& texels, std::size_t count);

}  // namespace converter
