#pragma once
// Reads a texture back out of the C text the program wrote and decodes its
// texels to 8-bit RGBA, from the RDP's layouts alone (not the program's own
// decoder): 4-bit texels two per byte, the earlier in the high nibble; IA4
// 3 bits of intensity and 1 of alpha; IA8 4 and 4; IA16 8 and 8; colours and
// palette entries RGBA 5551. A channel of n bits widens to 8 by repeating
// its bits.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace texel_decoder {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct DecodedTexture {
    unsigned width = 0, height = 0;
    std::string format;  // "CI4", "IA16", ... as in TEXTURE_FMT_...
    std::vector<Rgba> pixels;
};

// The hexadecimal elements of the array `name`, e.g. "texture0" or "palette0".
inline std::vector<unsigned> array_elements(const std::string& text, const std::string& name) {
    std::vector<unsigned> values;
    const std::size_t start = text.find(" " + name + "[]");
    if (start == std::string::npos) return values;
    const std::size_t end = text.find("};", start);
    for (std::size_t at = text.find("0x", start); at < end; at = text.find("0x", at + 2)) {
        values.push_back(static_cast<unsigned>(std::strtoul(text.c_str() + at + 2, nullptr, 16)));
    }
    return values;
}

inline std::uint8_t widen(unsigned value, unsigned bits) {
    unsigned out = 0;
    for (int shift = 8 - static_cast<int>(bits); shift > -static_cast<int>(bits); shift -= static_cast<int>(bits)) {
        out |= shift >= 0 ? value << shift : value >> -shift;
    }
    return static_cast<std::uint8_t>(out & 0xFF);
}

inline Rgba from_5551(unsigned v) {
    return {widen(v >> 11 & 31, 5), widen(v >> 6 & 31, 5), widen(v >> 1 & 31, 5),
            static_cast<std::uint8_t>(v & 1 ? 255 : 0)};
}

inline Rgba grey(std::uint8_t i, std::uint8_t a) { return {i, i, i, a}; }

// Texel k of a 4-bit array.
inline unsigned nibble(const std::vector<unsigned>& bytes, std::size_t k) {
    return k % 2 == 0 ? bytes[k / 2] >> 4 : bytes[k / 2] & 15;
}

// Texture `j` of the text, from its TEXTURE_INIT line and its arrays.
inline std::optional<DecodedTexture> decode_texture(const std::string& text, unsigned j) {
    const std::string line_start = "TEXTURE_INIT(";
    std::size_t at = text.find("static Texture textures[] = {");
    for (unsigned k = 0; at != std::string::npos && k <= j; ++k) at = text.find(line_start, at + 1);
    if (at == std::string::npos) return std::nullopt;
    DecodedTexture t;
    const char* p = text.c_str() + at + line_start.size();
    char* next = nullptr;
    t.width = static_cast<unsigned>(std::strtoul(p, &next, 10));
    t.height = static_cast<unsigned>(std::strtoul(next + 2, &next, 10));
    const std::size_t format_at = text.find("TEXTURE_FMT_", at);
    t.format = text.substr(format_at + 12, text.find(')', format_at) - format_at - 12);

    const std::vector<unsigned> texels = array_elements(text, "texture" + std::to_string(j));
    const std::vector<unsigned> palette = array_elements(text, "palette" + std::to_string(j));
    const std::size_t count = std::size_t{t.width} * t.height;
    const std::size_t needed = t.format == "CI4" || t.format == "I4" || t.format == "IA4" ? (count + 1) / 2 : count;
    if (texels.size() != needed) return std::nullopt;
    for (std::size_t k = 0; k < count; ++k) {
        Rgba px;
        if (t.format == "CI4") {
            px = from_5551(palette.at(nibble(texels, k)));
        } else if (t.format == "CI8") {
            px = from_5551(palette.at(texels[k]));
        } else if (t.format == "RGBA16") {
            px = from_5551(texels[k]);
        } else if (t.format == "I4") {
            px = grey(widen(nibble(texels, k), 4), 255);
        } else if (t.format == "IA4") {
            const unsigned n = nibble(texels, k);
            px = grey(widen(n >> 1, 3), n & 1 ? 255 : 0);
        } else if (t.format == "I8") {
            px = grey(static_cast<std::uint8_t>(texels[k]), 255);
        } else if (t.format == "IA8") {
            px = grey(widen(texels[k] >> 4, 4), widen(texels[k] & 15, 4));
        } else if (t.format == "IA16") {
            px = grey(static_cast<std::uint8_t>(texels[k] >> 8), static_cast<std::uint8_t>(texels[k]));
        } else {
            return std::nullopt;
        }
        t.pixels.push_back(px);
    }
    return t;
}

}  // namespace texel_decoder
