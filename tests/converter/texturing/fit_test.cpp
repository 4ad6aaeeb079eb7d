// Texture fitting: the sizes each format allows, the palette reduction, and
// the choice between fewer texels and fewer colours on made images whose
// answer is known.

#include "converter/texturing/fit.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "converter/texturing/quantise.hpp"

namespace {

using converter::Size;
using converter::TexelFormat;
using image::Image;
using image::Pixel;

std::string text(Size s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

TEST(FittedSize, LargestSizeWithinBudget) {
    struct Case {
        TexelFormat format;
        Size image;
        bool power_of_two;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {TexelFormat::Rgba16, {512, 512}, false, "32x32"},
             {TexelFormat::Ci4, {512, 512}, false, "64x64"},
             {TexelFormat::I8, {512, 512}, false, "40x40"},  // 45 rounded down to whole 8-byte rows
             {TexelFormat::Rgba16, {800, 416}, false, "44x23"},
             {TexelFormat::Ci4, {303, 303}, false, "64x64"},
             {TexelFormat::Rgba16, {2048, 1024}, false, "44x22"},
             {TexelFormat::Rgba16, {4000, 1}, false, "1024x1"},
             {TexelFormat::Rgba16, {1, 4000}, false, "1x1024"},
             {TexelFormat::Rgba16, {30, 30}, false, "30x30"},  // within budget: kept
             {TexelFormat::Rgba16, {512, 512}, true, "32x32"},
             {TexelFormat::Rgba16, {800, 416}, true, "32x32"},  // nearer 2:1 than 64x16
             {TexelFormat::Ci4, {303, 303}, true, "64x64"},
             {TexelFormat::Ci4, {30, 300}, true, "16x256"},
             {TexelFormat::Rgba16, {30, 30}, true, "16x16"},  // wrapping needs powers of two
         }) {
        SCOPED_TRACE(std::string(converter::format_name(c.format)) + " " + text(c.image) +
                     (c.power_of_two ? " power of two" : ""));
        const Size size = converter::fitted_size(c.format, c.image, c.power_of_two);
        EXPECT_EQ(text(size), c.expected);
        EXPECT_TRUE(converter::fits_budget(c.format, size.width, size.height));
    }
}

TEST(QuantisePalette, FewColoursStayAsTheyAreInOrderOfAppearance) {
    const Pixel a{1, 2, 3, 255}, b{200, 0, 0, 255};
    EXPECT_EQ(converter::quantise_palette(std::vector<Pixel>{b, a, b, a}, 16), (std::vector<Pixel>{b, a}));
    EXPECT_TRUE(converter::quantise_palette({}, 16).empty());
}

TEST(QuantisePalette, ManyColoursGatherIntoTheirGroups) {
    // Two groups of 20 shades each: near black and near white.
    std::vector<Pixel> pixels;
    for (std::uint8_t i = 0; i < 20; ++i) {
        pixels.push_back({i, i, i, 255});
        pixels.push_back({static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(255 - i), 255, 255});
    }
    std::vector<Pixel> palette = converter::quantise_palette(pixels, 2);
    ASSERT_EQ(palette.size(), 2u);
    if (palette[0].r > palette[1].r) std::swap(palette[0], palette[1]);
    EXPECT_LT(palette[0].r, 20);
    EXPECT_GT(palette[1].r, 235);
    EXPECT_EQ(palette[1].b, 255);
    EXPECT_EQ(converter::quantise_palette(pixels, 2), converter::quantise_palette(pixels, 2));
}

Image make(std::size_t w, std::size_t h, Pixel (*at)(std::size_t x, std::size_t y)) {
    Image image{w, h, {}};
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) image.pixels.push_back(at(x, y));
    }
    return image;
}

// Red and blue in 2x2 squares: fine detail in two colours.
Pixel checker(std::size_t x, std::size_t y) {
    return (x / 2 + y / 2) % 2 ? Pixel{255, 0, 0, 255} : Pixel{0, 0, 255, 255};
}
// A smooth blend across both axes: many colours, no detail.
Pixel blend(std::size_t x, std::size_t y) {
    return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(255 - x), 255};
}
// 300 colours in 16 x 16 blocks of flat colour.
Pixel blocks(std::size_t x, std::size_t y) {
    const std::size_t i = (y / 16) * 16 + x / 16;
    return {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91), static_cast<std::uint8_t>(i), 255};
}
// 200 colours, one per pixel, repeating.
Pixel speckle(std::size_t x, std::size_t y) {
    const std::size_t i = (y * 40 + x) % 200;
    return {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91), static_cast<std::uint8_t>(i), 255};
}
Pixel grey_ramp(std::size_t x, std::size_t) {
    return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), 255};
}
Pixel soft_grey(std::size_t x, std::size_t y) {
    return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x),
            static_cast<std::uint8_t>(y)};
}

TEST(FitTexture, ChoosesBetweenSizeAndColoursByError) {
    struct Case {
        const char* what;
        Image image;
        bool wraps;
        const char* expected;  // size and format
    };
    for (const Case& c : std::vector<Case>{
             // 8 KB as CI4: at 64x64 the checker keeps some contrast, RGBA16 at
             // 32x32 blurs it to purple.
             {"two-colour checker", make(128, 128, checker), false, "64x64 CI4"},
             // 256x256 colours vary smoothly: RGBA16's 32x32 loses nothing that
             // the blend needs, 16 colours band it.
             {"smooth blend", make(256, 256, blend), false, "32x32 RGBA16"},
             // Grey pictures keep their 8 bits of intensity rather than the 5
             // of RGBA16, with or without alpha.
             {"grey ramp", make(256, 256, grey_ramp), false, "40x40 I8"},
             // Over budget as RGBA16 but within it as I8 or CI8: kept whole.
             {"small grey ramp", make(40, 40, grey_ramp), false, "40x40 I8"},
             {"small speckle", make(40, 40, speckle), false, "40x40 CI8"},
             {"small grey ramp, wrapping", make(40, 40, grey_ramp), true, "32x32 I8"},
             {"grey with alpha", make(256, 256, soft_grey), false, "32x32 IA16"},
             // 300 colours: CI8's palette holds most of them at 1.7 times RGBA16's texels.
             {"300 flat blocks", make(320, 240, blocks), false, "48x36 CI8"},
             {"300 flat blocks, wrapping", make(320, 240, blocks), true, "64x32 CI8"},
         }) {
        SCOPED_TRACE(c.what);
        std::optional<converter::Fitted> fitted = converter::fit_texture(c.image, c.wraps);
        ASSERT_TRUE(fitted);
        EXPECT_EQ(std::to_string(fitted->texture.width) + "x" + std::to_string(fitted->texture.height) + " " +
                      std::string(converter::format_name(fitted->format)),
                  c.expected);
    }
}

TEST(FitTexture, ExactFitLosesNothing) {
    std::optional<converter::Fitted> fitted = converter::fit_texture(make(40, 40, grey_ramp), false);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(fitted->error, 0.0);
}

TEST(FitTexture, SameImageSameTexture) {
    const Image image = make(200, 150, blend);
    std::optional<converter::Fitted> first = converter::fit_texture(image, false);
    std::optional<converter::Fitted> second = converter::fit_texture(image, false);
    ASSERT_TRUE(first && second);
    const std::size_t count = std::size_t{first->texture.width} * first->texture.height;
    EXPECT_EQ(first->texture.texels.index(), second->texture.texels.index());
    EXPECT_EQ(converter::decode_texels(first->texture.texels, count),
              converter::decode_texels(second->texture.texels, count));
    EXPECT_EQ(first->error, second->error);
}

TEST(FitTexture, NothingForAnImageWithoutItsPixels) {
    EXPECT_FALSE(converter::fit_texture(Image{0, 0, {}}, false));
    EXPECT_FALSE(converter::fit_texture(Image{64, 64, std::vector<Pixel>(10)}, false));
}

TEST(FittedLine, SaysWhatWasDone) {
    converter::Fitted after;
    after.texture = {64, 64, ultraback::Ci4{}};
    after.format = TexelFormat::Ci4;
    EXPECT_EQ(converter::fitted_line(2, "wood.png", {512, 512, ultraback::Rgba16{}}, after),
              "texture 2 (wood.png): 512x512 RGBA16 -> 64x64 CI4\n");
    after.texture = {32, 64, ultraback::I4{}};
    after.format = TexelFormat::I4;
    EXPECT_EQ(converter::fitted_line(0, "a b.png", {128, 256, ultraback::Ci4{}}, after),
              "texture 0 (a b.png): 128x256 CI4 -> 32x64 I4\n");
}

}  // namespace
