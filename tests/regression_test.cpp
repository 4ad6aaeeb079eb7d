// Inputs that once made the program misbehave, found by the fuzz targets in
// fuzz/ or while measuring resource bounds, each as the bytes that showed it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "converter/convert.hpp"
#include "converter/triangulate.hpp"
#include "ultraback/check.hpp"
#include "image.hpp"
#include "image_guard.hpp"
#include "support/jpeg_builder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using jpeg_builder::join;
using jpeg_builder::segment;
using jpeg_builder::table_of_256_codes;

std::span<const std::byte> as_span(const Bytes& bytes) { return std::as_bytes(std::span(bytes)); }

// The reader the guard's walks take: a byte at a time, or a skip.
struct ByteReader {
    const Bytes& data;
    std::size_t pos = 0;
    int get() { return pos < data.size() ? data[pos++] : -1; }
    void skip(long long n) { pos += static_cast<std::size_t>(n); }
};

void expect_refused(const Bytes& file) {
    Result<image::Image> image = image::Image::decode(as_span(file));
    ASSERT_FALSE(image);
    EXPECT_EQ(image.error().description(), "Could not open image");
}

// fuzz_image: a DHT segment whose table declares 255 + 2 = 257 codes. The
// decoder keeps 256 symbols a table and wrote the 257th, and up to 4080 more
// with other counts, past the end of its table (UBSan: "index 257 out of
// bounds for type 'unsigned char [257]'" in stbi__build_huffman).
TEST(Regression, JpegHuffmanTableOfMoreThan256Codes) {
    Bytes file{0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x14, 0x00};
    for (int length = 1; length <= 16; ++length) file.push_back(length == 15 ? 2 : length == 16 ? 255 : 0);
    file.resize(file.size() + 257, 0);
    file.insert(file.end(), {0xFF, 0xD9});

    ByteReader reader{file};
    EXPECT_FALSE(image::guard::jpeg_is_safe(reader));
    expect_refused(file);
}

// The start of an 8 x 8 grey JPEG: SOI, a quantisation table of 1s, the
// frame, and an AC table 0 of one code, end of block.
Bytes grey_jpeg_start() {
    Bytes quantisation(65, 1);  // slot 0, 8-bit
    quantisation[0] = 0x00;
    return join({{0xFF, 0xD8}, segment(0xDB, quantisation), segment(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}),
                 segment(0xC4, {0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})});
}

// Found while looking into the fuzz_image finding below: a JPEG whose DC table
// has 256 codes, 255 of 8 bits and the last of 9, and whose one block starts
// with that last code. The decoder's 9-bit lookup takes symbol number 255 for
// "longer than 9 bits", so it reads the code as one of 10 bits and picks
// symbol 254 (a failed assertion in stbi__jpeg_huff_decode where assertions
// are on).
TEST(Regression, JpegTableOf256ShortCodes) {
    const Bytes file = join({grey_jpeg_start(), segment(0xC4, table_of_256_codes(9)),
                             segment(0xDA, {1, 1, 0x00, 0, 63, 0}),
                             {0xFF, 0x00, 0x00, 0xFF, 0xD9}});  // the 9-bit code 111111110, then 0s

    ByteReader reader{file};
    EXPECT_FALSE(image::guard::jpeg_is_safe(reader));
    expect_refused(file);
}

// fuzz_image: a JPEG whose second scan names AC table 2, which no segment
// defines. The decoder read it from memory it had never written, and an index
// it found there beyond its table (UBSan: "index 726 out of bounds for type
// 'unsigned char [257]'" in stbi__jpeg_huff_decode), in runs that had left
// that memory so.
TEST(Regression, JpegScanNamingAnUndefinedTable) {
    auto two_scans = [](bool define_ac_table_2) {
        const Bytes ac_table_2 = segment(0xC4, {0x12, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        return join({grey_jpeg_start(),
                     segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),  // DC 0: one code, 0
                     define_ac_table_2 ? ac_table_2 : Bytes{},
                     segment(0xDA, {1, 1, 0x00, 0, 63, 0}), {0x00},  // DC 0, end of block
                     segment(0xDA, {1, 1, 0x02, 0, 63, 0}), {0x00, 0xFF, 0xD9}});
    };
    const Bytes file = two_scans(false);
    ByteReader reader{file};
    EXPECT_FALSE(image::guard::jpeg_is_safe(reader));
    expect_refused(file);

    EXPECT_TRUE(image::Image::decode(as_span(two_scans(true))));
}

// fuzz_image: a PNG whose first IDAT chunk is empty. The decoder copies its
// zero bytes to a null pointer (UBSan: "null pointer passed as argument 1" in
// stbi__getn), which is harmless; the file is valid and must load.
TEST(Regression, PngWithAnEmptyFirstImageDataChunk) {
    const Bytes file{
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A,  // signature
        // IHDR: 2 x 1, 8-bit grey
        0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00,
        0x00, 0x00, 0x00, 0xD1, 0x49, 0x20, 0x56,
        0x00, 0x00, 0x00, 0x00, 0x49, 0x44, 0x41, 0x54, 0x35, 0xAF, 0x06, 0x1E,  // IDAT, empty
        // IDAT: zlib, one stored block of the row: filter 0, then 7 and 200
        0x00, 0x00, 0x00, 0x0E, 0x49, 0x44, 0x41, 0x54, 0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 0x00, 0x07, 0xC8,
        0x00, 0xD9, 0x00, 0xD0, 0x1F, 0xAD, 0x24, 0xF8,
        0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,  // IEND
    };
    Result<image::Image> image = image::Image::decode(as_span(file));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 2u);
    EXPECT_EQ(image->height, 1u);
    EXPECT_EQ(image->pixels, (std::vector<image::Pixel>{{7, 7, 7, 255}, {200, 200, 200, 255}}));
}

// fuzz_image: a 200-byte PNG (8 x 8 RGBA, one IDAT of 73 bytes) whose second
// IDAT chunk declares 1315504148 bytes. The decoder grew its data buffer by
// doubling to hold that before reading any of it, and asked for 2 GiB
// (libFuzzer: "out-of-memory (malloc(2147483648))" in stbi__parse_png_file).
TEST(Regression, PngChunkLongerThanTheFile) {
    const Bytes file{
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x06, 0x00, 0x00, 0x00, 0xC4, 0x0F, 0xBE, 0x8B, 0x00, 0x00, 0x00,
        0x49, 0x49, 0x44, 0x41, 0x54, 0x7A, 0x5E, 0x63, 0x60, 0xF8, 0xCF, 0xD0, 0xC0, 0xF2, 0x2F, 0xE5, 0x3F, 0xC7,
        0xDF, 0x13, 0x0D, 0x3C, 0x7F, 0x18, 0xFE, 0x0B, 0xFC, 0x01, 0x01, 0x09, 0x00, 0xF6, 0xFF, 0x00, 0x12, 0x34,
        0xFF, 0xFF, 0xAB, 0xCD, 0x00, 0x00, 0x12, 0x0D, 0x03, 0x8C, 0x85, 0xAD, 0xF0, 0x63, 0x0E, 0x76, 0x89, 0xFF,
        0x50, 0x0D, 0x10, 0x05, 0x0C, 0xB8, 0x15, 0x0D, 0x02, 0x2B, 0x00, 0x18, 0x6A, 0x5F, 0x5C, 0x25, 0x16, 0x1E,
        0x33, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x4E, 0x69, 0x00, 0x14, 0x49, 0x44, 0x41, 0x54,
        0x78, 0x01, 0x01, 0x09, 0x00, 0xF6, 0xFF, 0x00, 0x12, 0x34, 0xFF, 0xFF, 0xAB, 0xCD, 0x00, 0x00, 0x12, 0x0D,
        0x03, 0x8C, 0x85, 0xAD, 0xF0, 0x63, 0x0E, 0x76, 0x89, 0xFF, 0x50, 0x0D, 0x10, 0x05, 0x0C, 0xB8, 0x15, 0x0D,
        0x02, 0x2B, 0x00, 0x18, 0x6A, 0x5F, 0x5C, 0x25, 0x16, 0x1E, 0x33, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E,
        0x44, 0xAE, 0x42, 0x60, 0x82,
    };
    ByteReader reader{file};
    EXPECT_FALSE(image::guard::png_chunks_fit(reader, file.size()));
    expect_refused(file);
}

// Measuring resource bounds: 54 bytes of BMP header, or 18 of TGA, claiming
// 4096 x 4096 pixels decoded into a 64 MiB image of zeros (16384 x 16384, in
// the limits too, took 2 GiB and 5 seconds) and went on to become a texture.
TEST(Regression, HeaderClaimingMorePixelsThanTheFileHolds) {
    const Bytes bmp{'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x10, 0, 0,
                    1, 0, 24, 0, 0,  0, 0, 0, 0, 0, 0,  0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x10, 24, 0};
    expect_refused(bmp);
    expect_refused(tga);
}

// Measuring resource bounds: a polygon of 1023 corners on a widening spiral,
// each corner's triangle holding all earlier corners, so that the ear search
// found no ear step after step: 157 million point tests (n^3 / 6 is 178
// million), about a second a polygon, up to 2 KB of file each. The search now
// stops after 4 n^2 tests and cuts the rest as it comes.
TEST(Regression, SpiralPolygonWithoutEars) {
    std::vector<lwofront::Vec3> corners;
    double radius = 1;
    for (int k = 0; k < 1023; ++k) {
        const double angle = 2 * 3.14159265358979 * 0.45 * k;
        corners.push_back({float(radius * std::cos(angle)), float(radius * std::sin(angle)), 0});
        radius *= 1.002;
    }
    std::vector<converter::Corners3> triangles;
    converter::triangulate(corners, triangles);
    ASSERT_EQ(triangles.size(), 1021u);
    for (const converter::Corners3& t : triangles) {
        EXPECT_EQ(std::set<std::uint32_t>(t.begin(), t.end()).size(), 3u);
        for (std::uint32_t c : t) EXPECT_LT(c, 1023u);
    }
}

// Found by fuzz_pipeline: a clip file name holding a line feed split the
// texture warning over two lines. Names from the file are quoted with their
// control characters as '?', so each warning stays one line.
TEST(Regression, ControlCharactersInNamesKeepWarningsOnOneLine) {
    lwofront::Object object;
    object.clips.push_back({1, {"dir/wood\n\x1b.png"}});
    lwofront::Surf surface;
    surface.name = "Bad\rName";
    lwofront::Blok blok;
    blok.attributes.push_back(lwofront::Imag{9});
    surface.attributes.push_back(blok);
    object.surfaces.push_back(surface);

    std::vector<std::string> warnings;
    auto fail = [](const std::string&) -> Result<image::Image> {
        return std::unexpected(Error{ErrorKind::Image, LwoError::None, "Could not open image"});
    };
    const converter::Options options{.base_dir = "base\tdir"};
    auto mesh = converter::convert(object, options, fail,
                                   [&](std::string_view line) { warnings.emplace_back(line); });
    ASSERT_TRUE(mesh);
    EXPECT_EQ(ultraback::find_mesh_fault(*mesh), "");
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Warning: Couldn't open texture: base\tdir/wood??.png\n",
                            "Warning: surface Bad?Name names image 9, which is not a clip.\n",
                        }));
}

}  // namespace
