// Texel formats: the layouts the RDP reads. 4-bit texels are packed two per
// byte, the earlier one in the high nibble. Grey formats round each channel
// to their precision; decoding is ultraback's, as the RDP reads the texels.

#include "converter/texturing/texel_format.hpp"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <unordered_set>

#include "overloaded.hpp"
#include "ultraback/texels.hpp"

namespace converter {
namespace {

using image::Pixel;

bool is_grey(Pixel p) { return p.r == p.g && p.g == p.b; }

// Luma of a colour pixel; a grey one keeps its value.
std::uint8_t intensity(Pixel p) {
    if (is_grey(p)) return p.r;
    return static_cast<std::uint8_t>((299u * p.r + 587u * p.g + 114u * p.b + 500u) / 1000u);
}

// An 8-bit channel to `bits` bits, rounded to the nearest step.
std::uint8_t narrow(std::uint8_t value, unsigned bits) {
    const unsigned top = (1u << bits) - 1;
    return static_cast<std::uint8_t>((value * top + 127u) / 255u);
}

Pixel pixel(ultraback::Rgba c) { return {c.r, c.g, c.b, c.a}; }

Pixel from_5551(std::uint16_t v) { return pixel(ultraback::from_5551(v)); }

// One grey texel of a direct format, as its bits.
unsigned grey_texel(TexelFormat format, Pixel p) {
    const std::uint8_t i = intensity(p);
    switch (format) {
        case TexelFormat::I4: return narrow(i, 4);
        case TexelFormat::I8: return i;
        case TexelFormat::Ia4: return unsigned{narrow(i, 3)} << 1 | narrow(p.a, 1);
        case TexelFormat::Ia8: return unsigned{narrow(i, 4)} << 4 | narrow(p.a, 4);
        case TexelFormat::Ia16: return unsigned{i} << 8 | p.a;
        default: assert(false && "not a grey format"); return 0;
    }
}

Pixel grey_decode(TexelFormat format, unsigned texel) {
    switch (format) {
        case TexelFormat::I4: return pixel(ultraback::from_i4(texel));
        case TexelFormat::I8: return pixel(ultraback::from_i8(texel));
        case TexelFormat::Ia4: return pixel(ultraback::from_ia4(texel));
        case TexelFormat::Ia8: return pixel(ultraback::from_ia8(texel));
        case TexelFormat::Ia16: return pixel(ultraback::from_ia16(texel));
        default: assert(false && "not a grey format"); return {};
    }
}

bool is_grey_format(TexelFormat format) {
    return format != TexelFormat::Ci4 && format != TexelFormat::Ci8 && format != TexelFormat::Rgba16;
}

bool has_alpha(TexelFormat format) { return format != TexelFormat::I4 && format != TexelFormat::I8; }

// Two 4-bit texels per byte, the earlier one high; an odd last one leaves
// the low nibble 0.
template <class Nibble>
std::vector<std::uint8_t> pack_nibbles(std::size_t count, Nibble nibble) {
    std::vector<std::uint8_t> bytes((count + 1) / 2, 0);
    for (std::size_t k = 0; k < count; ++k) {
        const unsigned value = nibble(k) & 15u;
        bytes[k / 2] |= static_cast<std::uint8_t>(k % 2 == 0 ? value << 4 : value);
    }
    return bytes;
}

std::size_t distinct_colors_up_to(std::span<const Pixel> pixels, std::size_t limit) {
    std::unordered_set<std::uint32_t> seen;
    for (Pixel p : pixels) {
        seen.insert(color_key(p));
        if (seen.size() > limit) break;
    }
    return seen.size();
}

// Squared RGBA distance between two 5551 values as the console shows them.
unsigned distance_5551(std::uint16_t a, std::uint16_t b) {
    const Pixel x = from_5551(a), y = from_5551(b);
    const auto d = [](int u, int v) { return static_cast<unsigned>((u - v) * (u - v)); };
    return d(x.r, y.r) + d(x.g, y.g) + d(x.b, y.b) + d(x.a, y.a);
}

}  // namespace

std::string_view format_name(TexelFormat format) {
    switch (format) {
        case TexelFormat::I4: return "I4";
        case TexelFormat::Ia4: return "IA4";
        case TexelFormat::Ci4: return "CI4";
        case TexelFormat::I8: return "I8";
        case TexelFormat::Ia8: return "IA8";
        case TexelFormat::Ci8: return "CI8";
        case TexelFormat::Ia16: return "IA16";
        case TexelFormat::Rgba16: return "RGBA16";
    }
    return "";
}

std::size_t palette_capacity(TexelFormat format) {
    if (format == TexelFormat::Ci4) return 16;
    if (format == TexelFormat::Ci8) return 256;
    return 0;
}

std::size_t texel_bytes(TexelFormat format, std::size_t count) {
    switch (format) {
        case TexelFormat::I4:
        case TexelFormat::Ia4:
        case TexelFormat::Ci4: return (count + 1) / 2;
        case TexelFormat::I8:
        case TexelFormat::Ia8:
        case TexelFormat::Ci8: return count;
        case TexelFormat::Ia16:
        case TexelFormat::Rgba16: return 2 * count;
    }
    return 2 * count;
}

bool fits_budget(TexelFormat format, std::size_t width, std::size_t height) {
    return fits_texel_budget(width * height, texel_bytes(format, 2) * 4);
}

std::size_t texel_bits(const ultraback::TexelData& texels) {
    return std::visit(Overloaded{
                          [](const ultraback::Ci4&) { return std::size_t{4}; },
                          [](const ultraback::Rgba16&) { return std::size_t{16}; },
                          [](const ultraback::Rgba32&) { return std::size_t{32}; },
                          [](const ultraback::Unknown&) { return std::size_t{16}; },
                          [](const ultraback::Ci8&) { return std::size_t{8}; },
                          [](const ultraback::I4&) { return std::size_t{4}; },
                          [](const ultraback::I8&) { return std::size_t{8}; },
                          [](const ultraback::Ia4&) { return std::size_t{4}; },
                          [](const ultraback::Ia8&) { return std::size_t{8}; },
                          [](const ultraback::Ia16&) { return std::size_t{16}; },
                      },
                      texels);
}

std::uint16_t rgba5551(Pixel p) {
    return static_cast<std::uint16_t>((p.r >> 3) << 11 | (p.g >> 3) << 6 | (p.b >> 3) << 1 | (p.a >> 7));
}

ultraback::Rgba16 encode_rgba16(std::span<const Pixel> pixels) {
    ultraback::Rgba16 rgba16;
    rgba16.texels.reserve(pixels.size());
    for (Pixel p : pixels) rgba16.texels.push_back(rgba5551(p));
    return rgba16;
}

bool holds_exactly(TexelFormat format, std::span<const Pixel> pixels) {
    if (format == TexelFormat::Rgba16) return true;
    if (!is_grey_format(format)) {
        const std::size_t capacity = palette_capacity(format);
        return distinct_colors_up_to(pixels, capacity) <= capacity;
    }
    return std::all_of(pixels.begin(), pixels.end(), [&](Pixel p) {
        if (!is_grey(p) || (!has_alpha(format) && p.a != 255)) return false;
        return grey_decode(format, grey_texel(format, p)) == p;
    });
}

TexelFormat exact_format(std::span<const Pixel> pixels) {
    for (TexelFormat format : kTexelFormats) {
        if (holds_exactly(format, pixels)) return format;
    }
    return TexelFormat::Rgba16;
}

ultraback::TexelData encode_direct(TexelFormat format, std::span<const Pixel> pixels) {
    assert(is_grey_format(format) || format == TexelFormat::Rgba16);
    const std::size_t n = pixels.size();
    const auto texel = [&](std::size_t k) { return grey_texel(format, pixels[k]); };
    switch (format) {
        case TexelFormat::I4: return ultraback::I4{pack_nibbles(n, texel)};
        case TexelFormat::Ia4: return ultraback::Ia4{pack_nibbles(n, texel)};
        case TexelFormat::I8:
        case TexelFormat::Ia8: {
            std::vector<std::uint8_t> bytes(n);
            for (std::size_t k = 0; k < n; ++k) bytes[k] = static_cast<std::uint8_t>(texel(k));
            if (format == TexelFormat::I8) return ultraback::I8{std::move(bytes)};
            return ultraback::Ia8{std::move(bytes)};
        }
        case TexelFormat::Ia16: {
            ultraback::Ia16 ia16;
            ia16.texels.reserve(n);
            for (std::size_t k = 0; k < n; ++k) ia16.texels.push_back(static_cast<std::uint16_t>(texel(k)));
            return ia16;
        }
        default: return encode_rgba16(pixels);
    }
}

ultraback::TexelData encode_indexed(TexelFormat format, std::span<const Pixel> pixels,
                                    std::span<const Pixel> palette) {
    assert(palette.size() <= palette_capacity(format));
    assert(!palette.empty() || pixels.empty());
    std::vector<std::uint16_t> entries;
    for (Pixel p : palette) entries.push_back(rgba5551(p));

    // Runs of one colour are common; the nearest entry is looked up once per run.
    std::vector<std::uint8_t> index(pixels.size(), 0);
    std::uint16_t last_value = 0;
    std::uint8_t last_index = 0;
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        const std::uint16_t value = rgba5551(pixels[k]);
        if (k == 0 || value != last_value) {
            unsigned best = UINT32_MAX;
            for (std::size_t e = 0; e < entries.size(); ++e) {
                const unsigned d = distance_5551(value, entries[e]);
                if (d < best) {
                    best = d;
                    last_index = static_cast<std::uint8_t>(e);
                }
            }
            last_value = value;
        }
        index[k] = last_index;
    }

    if (format == TexelFormat::Ci4) {
        return ultraback::Ci4{pack_nibbles(index.size(), [&](std::size_t k) { return index[k]; }),
                              std::move(entries)};
    }
    entries.resize(256, 0);
    return ultraback::Ci8{std::move(index), std::move(entries)};
}

std::vector<Pixel> decode_texels(const ultraback::TexelData& texels, std::size_t count) {
    std::vector<Pixel> out;
    out.reserve(count);
    for (ultraback::Rgba c : ultraback::decode_texels(texels, count)) out.push_back(pixel(c));
    return out;
}

}  // namespace converter
