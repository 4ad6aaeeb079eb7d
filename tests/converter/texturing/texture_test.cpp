// Texture preparation: the Ci4/Rgba16 choice, palette and index packing, the
// RGBA 5551 colour and the TMEM budget of each format.

#include "converter/texturing/texel_format.hpp"
#include "converter/texturing/texture.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using converter::fits_in_tmem;
using converter::prepare_texture;
using converter::rgba5551;
using image::Image;
using image::Pixel;
using ultraback::Ci4;
using ultraback::Rgba16;
using ultraback::Rgba32;
using ultraback::Texture;
using ultraback::Unknown;

Image make_image(std::size_t width, std::size_t height, std::vector<Pixel> pixels) {
    return {width, height, std::move(pixels)};
}

Image flat_image(std::size_t width, std::size_t height, Pixel p) {
    return make_image(width, height, std::vector<Pixel>(width * height, p));
}

Pixel grey(std::uint8_t v) { return {v, v, v, 255}; }

// Opaque greys 0, 16, ..., 240: sixteen colours with 5551 values i * 0x1084 + 1.
std::vector<Pixel> grey_ramp() {
    std::vector<Pixel> pixels;
    for (int i = 0; i < 16; ++i) pixels.push_back(grey(static_cast<std::uint8_t>(i * 16)));
    return pixels;
}

const std::vector<std::uint16_t> kGreyRamp5551 = {
    0x0001, 0x1085, 0x2109, 0x318D, 0x4211, 0x5295, 0x6319, 0x739D,
    0x8421, 0x94A5, 0xA529, 0xB5AD, 0xC631, 0xD6B5, 0xE739, 0xF7BD,
};

TEST(Rgba5551, DropsLowBitsOfEachChannel) {
    struct Case {
        Pixel pixel;
        std::uint16_t value;
    };
    for (Case c : std::vector<Case>{
             {{255, 255, 255, 255}, 0xFFFF},
             {{255, 0, 0, 255}, 0xF801},
             {{0, 255, 0, 255}, 0x07C1},
             {{0, 0, 255, 255}, 0x003F},
             {{0, 0, 0, 0}, 0x0000},
             {{7, 7, 7, 127}, 0x0000},
             {{8, 8, 8, 128}, 0x0843},
             {{10, 20, 30, 255}, 0x0887},
             {{255, 255, 255, 127}, 0xFFFE},
         }) {
        EXPECT_EQ(rgba5551(c.pixel), c.value)
            << int{c.pixel.r} << ',' << int{c.pixel.g} << ',' << int{c.pixel.b} << ','
            << int{c.pixel.a};
    }
}

struct Ci4Case {
    std::string name;
    Image image;
    std::vector<std::uint16_t> palette;
    std::vector<std::uint8_t> indices;
};

std::vector<Ci4Case> ci4_cases() {
    const Pixel white{255, 255, 255, 255}, red{255, 0, 0, 255};
    const Pixel a = grey(0), b = grey(16), c = grey(32), d = grey(48), e = grey(64);
    std::vector<Ci4Case> cases;
    cases.push_back({"empty", make_image(0, 0, {}), {}, {}});
    cases.push_back({"1x1", make_image(1, 1, {{10, 20, 30, 255}}), {0x0887}, {0x00}});
    cases.push_back({"3x1 A B A", make_image(3, 1, {white, red, white}), {0xFFFF, 0xF801},
                     {0x01, 0x00}});
    // Rows do not matter: the fifth pixel shares a byte with the fourth, and
    // the ninth stands alone in the high nibble.
    cases.push_back({"3x3 packing across rows",
                     make_image(3, 3, {a, b, c, b, c, d, e, a, b}),
                     {0x0001, 0x1085, 0x2109, 0x318D, 0x4211},
                     {0x01, 0x21, 0x23, 0x40, 0x10}});
    // (8,0,0) and (15,0,0) differ only in dropped bits: two equal entries,
    // every pixel takes the first.
    cases.push_back({"two colours one 5551 value",
                     make_image(2, 2, {{8, 0, 0, 255}, {15, 0, 0, 255}, {15, 0, 0, 255}, {8, 0, 0, 255}}),
                     {0x0801, 0x0801},
                     {0x00, 0x00}});
    cases.push_back({"same again, other colour first",
                     make_image(3, 1, {grey(0), {15, 0, 0, 255}, {8, 0, 0, 255}}),
                     {0x0001, 0x0801, 0x0801},
                     {0x01, 0x10}});
    cases.push_back({"alpha 127 and 128",
                     make_image(2, 1, {{255, 255, 255, 127}, {255, 255, 255, 128}}),
                     {0xFFFE, 0xFFFF},
                     {0x01}});
    cases.push_back({"16 colours", make_image(4, 4, grey_ramp()), kGreyRamp5551,
                     {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}});
    // First appearance decides the order, not the colour values.
    const std::vector<Pixel> ramp = grey_ramp();
    std::vector<Pixel> reversed(ramp.rbegin(), ramp.rend());
    std::vector<std::uint16_t> reversed_palette(kGreyRamp5551.rbegin(), kGreyRamp5551.rend());
    cases.push_back({"16 colours reversed", make_image(16, 1, reversed), reversed_palette,
                     {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}});
    return cases;
}

TEST(PrepareTexture, FewColoursGiveCi4) {
    for (const Ci4Case& c : ci4_cases()) {
        SCOPED_TRACE(c.name);
        Texture texture = prepare_texture(c.image);
        EXPECT_EQ(texture.width, c.image.width);
        EXPECT_EQ(texture.height, c.image.height);
        const Ci4* ci4 = std::get_if<Ci4>(&texture.texels);
        ASSERT_NE(ci4, nullptr);
        EXPECT_EQ(ci4->palette, c.palette);
        EXPECT_EQ(ci4->indices, c.indices);
    }
}

TEST(PrepareTexture, SeventeenColoursGiveRgba16) {
    // The 17th colour comes last, after the palette is already full.
    std::vector<Pixel> pixels = grey_ramp();
    pixels.push_back({255, 255, 255, 255});
    Texture texture = prepare_texture(make_image(17, 1, pixels));
    std::vector<std::uint16_t> expected = kGreyRamp5551;
    expected.push_back(0xFFFF);
    const Rgba16* rgba16 = std::get_if<Rgba16>(&texture.texels);
    ASSERT_NE(rgba16, nullptr);
    EXPECT_EQ(rgba16->texels, expected);
    EXPECT_EQ(texture.width, 17);
    EXPECT_EQ(texture.height, 1);
}

// 256 x 256 images: one with 16 colours in a pattern, one with a new colour
// on every pixel. The same image always gives the same bytes.
TEST(PrepareTexture, LargeImages) {
    std::vector<Pixel> few, many;
    for (std::uint32_t y = 0; y < 256; ++y) {
        for (std::uint32_t x = 0; x < 256; ++x) {
            few.push_back(grey(static_cast<std::uint8_t>(((x / 8 + y) % 16) * 16)));
            many.push_back({static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 255});
        }
    }
    Texture ci = prepare_texture(make_image(256, 256, few));
    const Ci4* ci4 = std::get_if<Ci4>(&ci.texels);
    ASSERT_NE(ci4, nullptr);
    EXPECT_EQ(ci4->palette, kGreyRamp5551);  // first row runs through the ramp in order
    ASSERT_EQ(ci4->indices.size(), 256u * 256u / 2u);
    for (std::size_t k = 0; k < few.size(); ++k) {
        std::uint8_t byte = ci4->indices[k / 2];
        std::uint8_t index = k % 2 == 0 ? byte >> 4 : byte & 0x0F;
        ASSERT_EQ(ci4->palette[index], rgba5551(few[k])) << "pixel " << k;
    }
    Texture again = prepare_texture(make_image(256, 256, few));
    EXPECT_EQ(std::get<Ci4>(again.texels).indices, ci4->indices);

    Texture rgba = prepare_texture(make_image(256, 256, many));
    const Rgba16* rgba16 = std::get_if<Rgba16>(&rgba.texels);
    ASSERT_NE(rgba16, nullptr);
    ASSERT_EQ(rgba16->texels.size(), many.size());
    for (std::size_t k = 0; k < many.size(); ++k) {
        ASSERT_EQ(rgba16->texels[k], rgba5551(many[k])) << "pixel " << k;
    }
}

TEST(PrepareTexture, SizeKeepsLow16Bits) {
    Texture texture = prepare_texture(flat_image(65537, 1, grey(0)));
    EXPECT_EQ(texture.width, 1);
    EXPECT_EQ(texture.height, 1);
}

TEST(PlaceholderTexture, IsEmptyUnknown) {
    Texture texture = converter::placeholder_texture();
    EXPECT_EQ(texture.width, 0);
    EXPECT_EQ(texture.height, 0);
    const Unknown* unknown = std::get_if<Unknown>(&texture.texels);
    ASSERT_NE(unknown, nullptr);
    EXPECT_TRUE(unknown->bytes.empty());
    EXPECT_TRUE(fits_in_tmem(texture));
}

TEST(FitsInTmem, BudgetOfEachFormat) {
    // 17 colours make an Rgba16 texture of any size of at least 17 pixels.
    auto rgba16_image = [](std::size_t width, std::size_t height) {
        std::vector<Pixel> pixels(width * height, grey(0));
        for (std::size_t i = 0; i < 17; ++i) pixels[i] = grey(static_cast<std::uint8_t>(i));
        return make_image(width, height, pixels);
    };
    struct Case {
        std::string name;
        Texture texture;
        bool fits;
    };
    std::vector<Case> cases = {
        {"Ci4 64x64", prepare_texture(flat_image(64, 64, grey(1))), true},
        {"Ci4 64x65", prepare_texture(flat_image(64, 65, grey(1))), false},
        {"Ci4 odd 4095 pixels", prepare_texture(flat_image(63, 65, grey(1))), true},
        {"Ci4 odd 4097 pixels", prepare_texture(flat_image(17, 241, grey(1))), false},
        {"Rgba16 32x32", prepare_texture(rgba16_image(32, 32)), true},
        {"Rgba16 32x33", prepare_texture(rgba16_image(32, 33)), false},
        {"Rgba32 512", {16, 32, Rgba32{std::vector<std::uint32_t>(512)}}, true},
        {"Rgba32 513", {1, 513, Rgba32{std::vector<std::uint32_t>(513)}}, false},
        // Unknown counts width x height, not its bytes.
        {"Unknown 32x32", {32, 32, Unknown{}}, true},
        {"Unknown 32x33", {32, 33, Unknown{std::vector<std::uint8_t>(4)}}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fits_in_tmem(c.texture), c.fits) << c.name;
    }
    ASSERT_TRUE(std::holds_alternative<Ci4>(cases[0].texture.texels));
    ASSERT_TRUE(std::holds_alternative<Rgba16>(cases[4].texture.texels));
}

}  // namespace
