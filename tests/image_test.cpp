// Texture image loading: the formats that must decode, to exact RGBA where
// the format is lossless, and the files that must give "Could not open image"
// without the decoder allocating for a size the header merely claims.

#include "image.hpp"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/png_builder.hpp"

namespace image {
// Readable failure messages for pixel lists.
void PrintTo(const Pixel& p, std::ostream* os) {
    *os << '(' << int{p.r} << ',' << int{p.g} << ',' << int{p.b} << ',' << int{p.a} << ')';
}
}  // namespace image

namespace {

using image::Image;
using image::Pixel;
using Bytes = png_builder::Bytes;

void append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

Bytes write_png(int w, int h, int comp, const Bytes& samples) {
    Bytes out;
    stbi_write_png_to_func(append, &out, w, h, comp, samples.data(), w * comp);
    return out;
}
Bytes write_bmp(int w, int h, int comp, const Bytes& samples) {
    Bytes out;
    stbi_write_bmp_to_func(append, &out, w, h, comp, samples.data());
    return out;
}
Bytes write_tga(int w, int h, int comp, const Bytes& samples) {
    Bytes out;
    stbi_write_tga_to_func(append, &out, w, h, comp, samples.data());
    return out;
}
Bytes write_jpg(int w, int h, int comp, const Bytes& samples, int quality) {
    Bytes out;
    stbi_write_jpg_to_func(append, &out, w, h, comp, samples.data(), quality);
    return out;
}

// Samples of n pixels with comp channels each into Pixel records (alpha 255
// when there is none).
std::vector<Pixel> to_pixels(const Bytes& samples, int comp) {
    std::vector<Pixel> pixels;
    for (std::size_t i = 0; i + comp <= samples.size(); i += comp) {
        std::uint8_t a = comp == 4 ? samples[i + 3] : 255;
        pixels.push_back({samples[i], samples[i + 1], samples[i + 2], a});
    }
    return pixels;
}

// Deterministic noise that the PNG writer cannot squeeze into one buffer.
Bytes noise(std::size_t n) {
    Bytes out(n);
    std::uint32_t state = 12345;
    for (auto& byte : out) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

Bytes le16(std::uint16_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
Bytes le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// A 54-byte header of a 24-bit BMP with no pixel data after it.
Bytes bmp_header_only(std::uint32_t width, std::uint32_t height) {
    Bytes out{'B', 'M'};
    for (const Bytes& part : {le32(54), le16(0), le16(0), le32(54), le32(40), le32(width),
                              le32(height), le16(1), le16(24), le32(0), le32(0), le32(2835),
                              le32(2835), le32(0), le32(0)}) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A grey PNG whose header claims a size its two bytes of image data do not fill.
Bytes png_header_claims(std::uint32_t width, std::uint32_t height) {
    using namespace png_builder;
    return file({chunk("IHDR", ihdr(width, height, 8, 0)), chunk("IDAT", zlib_stored({0, 7}))});
}

// A whole 2 x 1 PNG with, before its IEND, an IDAT chunk that declares
// 1 GiB and holds 4 bytes: the decoder would grow its data buffer to 2 GiB
// before finding the bytes missing.
Bytes png_idat_claims_1gib() {
    using namespace png_builder;
    Bytes file = png(2, 1, 8, 0, {{5, 250}});
    Bytes claim;
    put_be32(claim, 1u << 30);
    claim.insert(claim.end(), {'I', 'D', 'A', 'T', 1, 2, 3, 4});
    file.insert(file.end() - 12, claim.begin(), claim.end());
    return file;
}

// A complete grey PNG of a flat colour.
Bytes png_grey(std::uint32_t width, std::uint32_t height) {
    return png_builder::png(width, height, 8, 0, std::vector<Bytes>(height, Bytes(width, 90)));
}

std::span<const std::byte> as_span(const Bytes& bytes) {
    return std::as_bytes(std::span(bytes.data(), bytes.size()));
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("quillmesh-image-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const Bytes& bytes) {
        std::filesystem::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    std::filesystem::path dir_;
};

void expect_image_error(const Result<Image>& result) {
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, ErrorKind::Image);
    EXPECT_EQ(result.error().description(), "Could not open image");
}

struct LoadCase {
    std::string name;
    Bytes file;
    std::size_t width;
    std::size_t height;
    std::vector<Pixel> pixels;
};

std::vector<LoadCase> lossless_cases() {
    using namespace png_builder;
    std::vector<LoadCase> cases;

    // Larger than the 8192-byte read buffer several times over.
    Bytes big = noise(100 * 70 * 4);
    cases.push_back({"png_rgba8_100x70", write_png(100, 70, 4, big), 100, 70, to_pixels(big, 4)});

    cases.push_back({"png_rgb8_1x1", png(1, 1, 8, 2, {{9, 8, 7}}), 1, 1, {{9, 8, 7, 255}}});

    // 16-bit channels keep their high byte.
    cases.push_back({"png_rgba16",
                     png(2, 1, 16, 6,
                           {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00, 0xFF, 0xFF,  //
                             0x00, 0xFF, 0x80, 0x00, 0x7F, 0xFF, 0x01, 0x00}}),
                     2, 1, {{0x12, 0xAB, 0xFF, 0xFF}, {0x00, 0x80, 0x7F, 0x01}}});

    cases.push_back({"png_grey8_two_rows", png(3, 2, 8, 0, {{0, 1, 127}, {128, 200, 255}}), 3, 2,
                     {{0, 0, 0, 255},
                      {1, 1, 1, 255},
                      {127, 127, 127, 255},
                      {128, 128, 128, 255},
                      {200, 200, 200, 255},
                      {255, 255, 255, 255}}});

    // 4-bit indices 2, 0, 1; tRNS makes entry 1 transparent, entry 2 has none.
    cases.push_back({"png_palette4_trns",
                     png(3, 1, 4, 3, {{0x20, 0x10}},
                           {chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90}),
                            chunk("tRNS", {255, 0})}),
                     3, 1, {{70, 80, 90, 255}, {10, 20, 30, 255}, {40, 50, 60, 0}}});

    // Ancillary chunks the decoder skips: one inside the read buffer, one far past it.
    cases.push_back({"png_skips_ancillary_chunks",
                     png(2, 1, 8, 0, {{5, 250}},
                           {chunk("smAl", Bytes(10, 1)), chunk("quIl", Bytes(20000, 2))}),
                     2, 1, {{5, 5, 5, 255}, {250, 250, 250, 255}}});

    Bytes tga = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 9, 9, 9, 0, 255, 0, 0, 128,
                 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 5, 6, 7, 8, 5, 6, 7, 8};
    cases.push_back({"tga_rgba_rle", write_tga(5, 2, 4, tga), 5, 2, to_pixels(tga, 4)});

    Bytes bmp = {1, 2, 3, 40, 50, 60, 200, 100, 0, 0, 0, 0, 255, 255, 255, 7, 8, 9};
    cases.push_back({"bmp_rgb", write_bmp(3, 2, 3, bmp), 3, 2, to_pixels(bmp, 3)});

    return cases;
}

TEST_F(ImageFiles, LosslessFormatsGiveExactRgba) {
    for (const LoadCase& c : lossless_cases()) {
        SCOPED_TRACE(c.name);
        for (const Result<Image>& result :
             {Image::open(write(c.name, c.file)), Image::decode(as_span(c.file))}) {
            ASSERT_TRUE(result.has_value());
            EXPECT_EQ(result->width, c.width);
            EXPECT_EQ(result->height, c.height);
            EXPECT_EQ(result->pixels, c.pixels);
        }
    }
}

// Cut files end at every byte; the reader must report the end cleanly. Some
// formats decode a short file with zero-filled pixels, which is fine as long
// as the result is whole.
TEST(ImageDecode, EveryPrefixOfSmallFilesIsSafe) {
    for (const LoadCase& c : lossless_cases()) {
        if (c.file.size() > 4096) continue;
        SCOPED_TRACE(c.name);
        for (std::size_t n = 0; n < c.file.size(); ++n) {
            Bytes prefix(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(n));
            Result<Image> result = Image::decode(as_span(prefix));
            if (result) {
                ASSERT_EQ(result->pixels.size(), result->width * result->height) << n << " bytes";
            } else {
                ASSERT_EQ(result.error().description(), "Could not open image") << n << " bytes";
            }
        }
    }
}

TEST_F(ImageFiles, BaselineJpegLoadsCloseToItsColour) {
    Bytes flat;
    for (int i = 0; i < 16 * 8; ++i) flat.insert(flat.end(), {200, 100, 50});
    Bytes jpg = write_jpg(16, 8, 3, flat, 95);
    Result<Image> result = Image::open(write("flat.jpg", jpg));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->width, 16u);
    EXPECT_EQ(result->height, 8u);
    ASSERT_EQ(result->pixels.size(), 16u * 8u);
    for (Pixel p : result->pixels) {
        EXPECT_NEAR(p.r, 200, 3);
        EXPECT_NEAR(p.g, 100, 3);
        EXPECT_NEAR(p.b, 50, 3);
        EXPECT_EQ(p.a, 255);
    }
}

TEST_F(ImageFiles, FormatComesFromContentNotName) {
    Bytes png = png_builder::png(1, 1, 8, 2, {{9, 8, 7}});
    Result<Image> result = Image::open(write("texture.bmp", png));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pixels, (std::vector<Pixel>{{9, 8, 7, 255}}));
}

TEST_F(ImageFiles, MissingFileAndDirectoryFail) {
    expect_image_error(Image::open((dir_ / "missing.png").string()));
    expect_image_error(Image::open(dir_.string()));
}

struct BadCase {
    std::string name;
    Bytes file;
};

// Files that decode to nothing usable; the size claims are refused from the
// header alone.
std::vector<BadCase> bad_cases() {
    Bytes good = write_png(100, 70, 4, noise(100 * 70 * 4));
    std::string text = "This is a plain text file, not an image.\n";
    return {
        {"empty", {}},
        {"text", Bytes(text.begin(), text.end())},
        {"truncated_png", Bytes(good.begin(), good.begin() + good.size() / 2)},
        {"png_zero_width", png_header_claims(0, 5)},
        // Complete images that decode fine but cannot be stored in a texture.
        {"png_70000_wide", png_grey(70000, 1)},
        {"png_70000_tall", png_grey(1, 70000)},
        // Headers of huge images with almost no data behind them.
        {"png_claims_70000_square", png_header_claims(70000, 70000)},
        {"png_claims_40000_square", png_header_claims(40000, 40000)},
        {"png_claims_30000x17000", png_header_claims(30000, 17000)},
        {"bmp_claims_30000x17000", bmp_header_only(30000, 17000)},
        {"png_idat_claims_1gib", png_idat_claims_1gib()},
    };
}

TEST_F(ImageFiles, UnusableFilesFailWithOneError) {
    for (const BadCase& c : bad_cases()) {
        SCOPED_TRACE(c.name);
        expect_image_error(Image::open(write(c.name, c.file)));
        expect_image_error(Image::decode(as_span(c.file)));
    }
}

std::optional<std::uint64_t> peak_virtual_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmPeak:", 0) == 0) return std::stoull(line.substr(7));
    }
    return std::nullopt;
}

// Each of these headers passes the decoder's own limits; decoding them would
// reserve 0.5 to 2 GB before finding the data missing. Runs in a forked child
// whose peak starts at the parent's current size whatever earlier tests did.
[[noreturn]] void decode_huge_claims_and_exit(const std::string& path) {
    std::optional<std::uint64_t> before = peak_virtual_kib();
    bool all_failed = true;
    for (const Bytes& file : {png_header_claims(30000, 17000), bmp_header_only(30000, 17000),
                              png_header_claims(16385, 16384), png_idat_claims_1gib()}) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        all_failed = all_failed && !Image::open(path) && !Image::decode(as_span(file));
    }
    std::optional<std::uint64_t> after = peak_virtual_kib();
    if (!before || !after) std::_Exit(2);
    std::_Exit(all_failed && *after - *before < 256u * 1024u ? 0 : 1);
}

TEST_F(ImageFiles, HugeSizeClaimsAllocateNothing) {
    if (!peak_virtual_kib()) GTEST_SKIP() << "no /proc/self/status";
    EXPECT_EXIT(decode_huge_claims_and_exit((dir_ / "huge").string()),
                ::testing::ExitedWithCode(0), "");
}

TEST(LoadableSize, SidesAndPixelBytesAreBounded) {
    struct Case {
        std::uint64_t width, height;
        bool loadable;
    };
    for (Case c : std::vector<Case>{
             {1, 1, true},
             {65535, 1, true},
             {1, 65535, true},
             {65536, 1, false},
             {1, 65536, false},
             {0, 1, false},
             {1, 0, false},
             {16384, 16384, true},  // exactly 1 GiB of RGBA
             {16384, 16385, false},
             {65535, 65535, false},
             {40000, 40000, false},
             {std::uint64_t{1} << 32, std::uint64_t{1} << 32, false},
             {UINT64_MAX, UINT64_MAX, false},
         }) {
        EXPECT_EQ(image::loadable_size(c.width, c.height), c.loadable)
            << c.width << " x " << c.height;
    }
}

}  // namespace
