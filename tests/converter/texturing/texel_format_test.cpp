// Texel formats for fitted textures: each layout against bytes written out by
// hand from the RDP's layouts, lossless round trips, the choice of the most
// compact exact format, and the 2 KB budget of each format.

#include "converter/texturing/texel_format.hpp"

#include "converter/texturing/texture.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using converter::TexelFormat;
using image::Pixel;

Pixel grey(std::uint8_t v, std::uint8_t a = 255) { return {v, v, v, a}; }

template <class T>
T as(const ultraback::TexelData& data) {
    EXPECT_TRUE(std::holds_alternative<T>(data));
    return std::get<T>(data);
}

TEST(TexelLayout, GreyFormatsPackAsTheRdpReadsThem) {
    // Three texels, so the 4-bit formats show the empty low nibble at the end.
    const std::vector<Pixel> opaque = {grey(0), grey(255), grey(136)};  // 136 = 8 * 17
    EXPECT_EQ(as<ultraback::I4>(encode_direct(TexelFormat::I4, opaque)).texels,
              (std::vector<std::uint8_t>{0x0F, 0x80}));
    EXPECT_EQ(as<ultraback::I8>(encode_direct(TexelFormat::I8, opaque)).texels,
              (std::vector<std::uint8_t>{0x00, 0xFF, 0x88}));

    // IA4: intensity in bits 3..1, alpha in bit 0. 146 is step 4 of 7.
    const std::vector<Pixel> ia4 = {grey(255), grey(0, 0), grey(146)};
    EXPECT_EQ(as<ultraback::Ia4>(encode_direct(TexelFormat::Ia4, ia4)).texels,
              (std::vector<std::uint8_t>{0xF0, 0x90}));

    // IA8: intensity high nibble, alpha low nibble.
    const std::vector<Pixel> ia8 = {grey(255), grey(0, 0), grey(136, 68)};
    EXPECT_EQ(as<ultraback::Ia8>(encode_direct(TexelFormat::Ia8, ia8)).texels,
              (std::vector<std::uint8_t>{0xFF, 0x00, 0x84}));

    // IA16: intensity high byte, alpha low byte.
    const std::vector<Pixel> ia16 = {grey(0x12, 0x34), grey(0xFF), grey(0, 0x80)};
    EXPECT_EQ(as<ultraback::Ia16>(encode_direct(TexelFormat::Ia16, ia16)).texels,
              (std::vector<std::uint16_t>{0x1234, 0xFFFF, 0x0080}));
}

TEST(TexelLayout, GreyFormatsRoundToTheNearestStep) {
    // 8 lies nearer to 0 than to 17, 9 nearer to 17; alpha 127 rounds to 0 in
    // one bit, 128 to 1.
    const std::vector<Pixel> pixels = {grey(8), grey(9), grey(255, 127), grey(255, 128)};
    EXPECT_EQ(as<ultraback::I4>(encode_direct(TexelFormat::I4, pixels)).texels,
              (std::vector<std::uint8_t>{0x01, 0xFF}));
    EXPECT_EQ(as<ultraback::Ia4>(encode_direct(TexelFormat::Ia4, pixels)).texels,
              (std::vector<std::uint8_t>{0x11, 0xEF}));
}

TEST(TexelLayout, ColourFormats) {
    const Pixel red{255, 0, 0, 255}, blue{0, 0, 255, 255}, clear{0, 0, 0, 0};
    const std::vector<Pixel> pixels = {red, blue, red};

    EXPECT_EQ(as<ultraback::Rgba16>(encode_direct(TexelFormat::Rgba16, pixels)).texels,
              (std::vector<std::uint16_t>{0xF801, 0x003F, 0xF801}));

    const auto ci4 = as<ultraback::Ci4>(encode_indexed(TexelFormat::Ci4, pixels, std::vector<Pixel>{red, blue}));
    EXPECT_EQ(ci4.indices, (std::vector<std::uint8_t>{0x01, 0x00}));
    EXPECT_EQ(ci4.palette, (std::vector<std::uint16_t>{0xF801, 0x003F}));

    // CI8: one index byte per texel, and always a full 256-entry palette.
    const auto ci8 =
        as<ultraback::Ci8>(encode_indexed(TexelFormat::Ci8, pixels, std::vector<Pixel>{clear, blue, red}));
    EXPECT_EQ(ci8.indices, (std::vector<std::uint8_t>{0x02, 0x01, 0x02}));
    std::vector<std::uint16_t> palette(256, 0);
    palette[1] = 0x003F;
    palette[2] = 0xF801;
    EXPECT_EQ(ci8.palette, palette);
}

TEST(TexelLayout, IndexedPixelsTakeTheNearestEntryAndTheFirstOfEquals) {
    const Pixel dark_red{200, 0, 0, 255}, red{255, 0, 0, 255}, also_red{250, 1, 2, 255};
    const std::vector<Pixel> palette = {red, also_red, {0, 0, 0, 255}};  // red and also_red: one 5551 value
    const auto ci4 = as<ultraback::Ci4>(encode_indexed(TexelFormat::Ci4, std::vector<Pixel>{also_red, dark_red}, palette));
    EXPECT_EQ(ci4.indices, (std::vector<std::uint8_t>{0x00}));  // dark red is nearer red than black
}

TEST(TexelLayout, EachFormatDecodesWhatItHoldsExactly) {
    struct Case {
        TexelFormat format;
        std::vector<Pixel> pixels;
    };
    const Pixel red{255, 0, 0, 255}, teal{0, 128, 128, 128};
    for (const Case& c : std::vector<Case>{
             {TexelFormat::I4, {grey(0), grey(17), grey(255)}},
             {TexelFormat::Ia4, {grey(0, 0), grey(36), grey(219, 0), grey(255)}},
             {TexelFormat::I8, {grey(1), grey(2), grey(254)}},
             {TexelFormat::Ia8, {grey(17, 34), grey(255, 0), grey(0)}},
             {TexelFormat::Ia16, {grey(1, 2), grey(3, 4), grey(250, 251)}},
         }) {
        SCOPED_TRACE(std::string(converter::format_name(c.format)));
        ASSERT_TRUE(converter::holds_exactly(c.format, c.pixels));
        EXPECT_EQ(converter::decode_texels(encode_direct(c.format, c.pixels), c.pixels.size()), c.pixels);
    }
    // Colour formats show the 5551 colour, whose channels repeat their top bits.
    const std::vector<Pixel> colours = {red, teal};
    const std::vector<Pixel> shown = {{255, 0, 0, 255}, {0, 132, 132, 255}};
    EXPECT_EQ(converter::decode_texels(encode_direct(TexelFormat::Rgba16, colours), 2), shown);
    EXPECT_EQ(converter::decode_texels(encode_indexed(TexelFormat::Ci8, colours, colours), 2), shown);
    EXPECT_EQ(converter::decode_texels(encode_indexed(TexelFormat::Ci4, colours, colours), 2), shown);
}

// n distinct opaque colours that are not grey.
std::vector<Pixel> colours(int n) {
    std::vector<Pixel> pixels;
    for (int i = 0; i < n; ++i) pixels.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 2), 7, 255});
    return pixels;
}

TEST(ExactFormat, MostCompactLosslessFormat) {
    struct Case {
        const char* what;
        std::vector<Pixel> pixels;
        TexelFormat expected;
    };
    std::vector<Pixel> levels17, levels256, ia8, ia16;
    for (int i = 0; i < 17; ++i) levels17.push_back(grey(static_cast<std::uint8_t>(i * 3)));
    for (int i = 0; i < 256; ++i) levels256.push_back(grey(static_cast<std::uint8_t>(i)));
    for (int i = 0; i < 16; ++i) ia8.push_back(grey(static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i * 17)));
    ia8.push_back(grey(17, 17));
    for (int i = 0; i < 300; ++i) ia16.push_back(grey(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 2)));
    for (const Case& c : std::vector<Case>{
             {"black and white", {grey(0), grey(255), grey(0)}, TexelFormat::I4},
             {"grey levels of 4 bits", {grey(0), grey(17), grey(34)}, TexelFormat::I4},
             {"cut-out black and white", {grey(0), grey(255, 0)}, TexelFormat::Ia4},
             {"two colours", {{255, 0, 0, 255}, {0, 0, 255, 255}}, TexelFormat::Ci4},
             {"grey levels off the 4-bit steps", {grey(1), grey(2)}, TexelFormat::Ci4},
             {"17 grey levels", levels17, TexelFormat::I8},
             {"256 grey levels", levels256, TexelFormat::I8},
             {"17 greys with 4-bit alpha", ia8, TexelFormat::Ia8},
             {"17 colours", colours(17), TexelFormat::Ci8},
             {"256 colours", colours(256), TexelFormat::Ci8},
             {"300 greys with alpha", ia16, TexelFormat::Ia16},
             {"257 colours", colours(257), TexelFormat::Rgba16},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(converter::format_name(converter::exact_format(c.pixels)), converter::format_name(c.expected));
    }
}

TEST(TexelBudget, TwoKilobytesOfTexelsInEveryFormat) {
    struct Case {
        TexelFormat format;
        std::size_t width, height;
        bool fits;
    };
    for (Case c : std::vector<Case>{
             {TexelFormat::I4, 64, 64, true},    {TexelFormat::I4, 64, 65, false},
             {TexelFormat::Ia4, 128, 32, true},  {TexelFormat::Ia4, 65, 63, true},  // 4095 texels: 2048 bytes, rounded up
             {TexelFormat::Ia4, 4097, 1, false},
             {TexelFormat::Ci4, 64, 64, true},   {TexelFormat::Ci4, 64, 65, false},
             {TexelFormat::I8, 64, 32, true},    {TexelFormat::I8, 64, 33, false},
             {TexelFormat::Ia8, 32, 64, true},   {TexelFormat::Ia8, 2049, 1, false},
             {TexelFormat::Ci8, 64, 32, true},   {TexelFormat::Ci8, 33, 64, false},
             {TexelFormat::Ia16, 32, 32, true},  {TexelFormat::Ia16, 32, 33, false},
             {TexelFormat::Rgba16, 32, 32, true}, {TexelFormat::Rgba16, 33, 32, false},
         }) {
        SCOPED_TRACE(std::string(converter::format_name(c.format)) + " " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        EXPECT_EQ(converter::fits_budget(c.format, c.width, c.height), c.fits);
    }
}

// The warning and the tiling test textures by this rule, so a fitted texture
// passes it exactly when its format's budget says so.
TEST(TexelBudget, FitsInTmemKnowsTheNewFormats) {
    using ultraback::TexelData;
    struct Case {
        const char* what;
        TexelData texels;
        bool fits;
    };
    const auto bytes = [](std::size_t n) { return std::vector<std::uint8_t>(n); };
    for (const Case& c : std::vector<Case>{
             {"CI8 2048", ultraback::Ci8{bytes(2048), std::vector<std::uint16_t>(256)}, true},
             {"CI8 2049", ultraback::Ci8{bytes(2049), std::vector<std::uint16_t>(256)}, false},
             {"I4 4096", ultraback::I4{bytes(2048)}, true},
             {"I4 4098", ultraback::I4{bytes(2049)}, false},
             {"IA4 4096", ultraback::Ia4{bytes(2048)}, true},
             {"I8 2048", ultraback::I8{bytes(2048)}, true},
             {"I8 2049", ultraback::I8{bytes(2049)}, false},
             {"IA8 2049", ultraback::Ia8{bytes(2049)}, false},
             {"IA16 1024", ultraback::Ia16{std::vector<std::uint16_t>(1024)}, true},
             {"IA16 1025", ultraback::Ia16{std::vector<std::uint16_t>(1025)}, false},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(converter::fits_in_tmem({1, 1, c.texels}), c.fits);
    }
}

}  // namespace
