// Texels decoded from the arrays the C file holds, one row per format.

#include <gtest/gtest.h>

#include <vector>

#include "preview/texture.hpp"

namespace preview {
namespace {

using ultraback::Texture;

bool same(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

void check(const char* name, const Texture& texture, int width, int height, const std::vector<Rgb>& texels) {
    SCOPED_TRACE(name);
    const TextureImage image = decode_texture(texture);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    ASSERT_EQ(image.texels.size(), texels.size());
    for (std::size_t i = 0; i < texels.size(); ++i) EXPECT_TRUE(same(image.texels[i], texels[i])) << i;
}

// 5551 widened by repeating the top bits: 31 -> 255, 16 -> 132, 1 -> 8.
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kMid{132, 8, 0};  // r 16, g 1, b 0

TEST(PreviewTexture, DecodesEveryFormatFromItsArrays) {
    // Three pixels: the first in the high half of byte 0, the last in the
    // high half of byte 1, whose low half is padding.
    check("ci4 odd", {3, 1, ultraback::Ci4{{0x10, 0x00}, {0xF801, 0xFFFF}}}, 3, 1, {kWhite, kRed, kRed});
    check("ci4 across rows", {2, 2, ultraback::Ci4{{0x01, 0x10}, {0x8041, 0xF801}}}, 2, 2, {kMid, kRed, kRed, kMid});
    check("rgba16", {2, 1, ultraback::Rgba16{{0xFFFF, 0x8041}}}, 2, 1, {kWhite, kMid});
    check("rgba32 red in the top byte", {1, 1, ultraback::Rgba32{{0x112233FF}}}, 1, 1, {{0x11, 0x22, 0x33}});
    // A list shorter than the size, or an index past the palette: black.
    check("short rgba16", {2, 1, ultraback::Rgba16{{0xFFFF}}}, 2, 1, {kWhite, {0, 0, 0}});
    check("index past palette", {2, 1, ultraback::Ci4{{0x01}, {0xFFFF}}}, 2, 1, {kWhite, {0, 0, 0}});
    check("ci8", {2, 1, ultraback::Ci8{{1, 0}, {0xF801, 0xFFFF}}}, 2, 1, {kWhite, kRed});
    // Intensity widened by repeating its bits; alpha bits not drawn.
    check("i4", {3, 1, ultraback::I4{{0x8F, 0x10}}}, 3, 1, {{0x88, 0x88, 0x88}, kWhite, {0x11, 0x11, 0x11}});
    check("ia4 3-bit intensity", {2, 1, ultraback::Ia4{{0xB1}}}, 2, 1, {{0xB6, 0xB6, 0xB6}, {0, 0, 0}});
    check("i8", {1, 1, ultraback::I8{{0x5A}}}, 1, 1, {{0x5A, 0x5A, 0x5A}});
    check("ia8", {1, 1, ultraback::Ia8{{0x3C}}}, 1, 1, {{0x33, 0x33, 0x33}});
    check("ia16", {1, 1, ultraback::Ia16{{0x7F00}}}, 1, 1, {{0x7F, 0x7F, 0x7F}});
    // Nothing the RDP could sample.
    check("unknown", {0, 0, ultraback::Unknown{}}, 0, 0, {});
    check("unknown with a size", {4, 4, ultraback::Unknown{{1, 2, 3}}}, 0, 0, {});
    check("no texels", {0, 8, ultraback::Rgba16{}}, 0, 0, {});
}

}  // namespace
}  // namespace preview
