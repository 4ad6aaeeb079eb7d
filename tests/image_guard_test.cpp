// The checks the image loader makes before the decoder sees a file: the
// format it would be read as, whether the file's size can hold the pixels its
// header claims, the JPEG segment walk and the PNG chunk walk.

#include "image_guard.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/jpeg_builder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using image::guard::Format;
using jpeg_builder::join;
using jpeg_builder::segment;
using jpeg_builder::table_of_256_codes;

Bytes bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ImageGuard, FormatAsTheDecoderWouldTakeIt) {
    struct Case {
        std::string head;
        Format format;
    };
    for (const Case& c : std::vector<Case>{
             {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR", Format::Png},
             {"\xFF\xD8\xFF\xE0", Format::Jpeg},
             {"\xFF\xFF\xFF\xD8", Format::Jpeg},  // fill bytes before SOI; the walk checks for it
             {std::string("\xFF\0\x02\0", 4), Format::Tga},  // a TGA with a 255-byte image ID
             {"BM6\0", Format::Bmp},
             {std::string("\0\0\x02\0\0\0\0\0", 8), Format::Tga},
             {std::string("\0\x01\x01\0\0\x10\0\x18", 8), Format::Tga},
             {"", Format::Tga},
             {"GIF89a", Format::Unsupported},
             {"GIF87a", Format::Unsupported},
             {"8BPS\0\x01", Format::Unsupported},
             {"\x53\x80\xF6\x34", Format::Unsupported},
             {"P5 1 1 255\n", Format::Unsupported},
             {"P6 1 1 255\n", Format::Unsupported},
             {"#?RADIANCE\n", Format::Unsupported},
             {"#?RGBE\n", Format::Unsupported},
         }) {
        const Bytes head = bytes(c.head);
        EXPECT_EQ(image::guard::sniff(head), c.format) << c.head;
    }
}

TEST(ImageGuard, FileSizeBoundsThePixels) {
    struct Case {
        Format format;
        std::uint64_t width, height, file_bytes;
        bool holds;
    };
    for (const Case& c : std::vector<Case>{
             {Format::Bmp, 64, 64, 512, true},  // one bit a pixel
             {Format::Bmp, 64, 64, 511, false},
             {Format::Bmp, 16384, 16384, 54, false},
             {Format::Tga, 128, 1, 2, true},  // one run of 128 one-byte pixels
             {Format::Tga, 129, 1, 2, false},
             {Format::Jpeg, 64, 4, 1, true},  // a block in 2 bits
             {Format::Jpeg, 64, 5, 1, false},
             {Format::Png, 8256, 1, 1, true},  // deflate's 1032 bytes of 8 one-bit pixels
             {Format::Png, 8257, 1, 1, false},
             {Format::Png, 65535, 65535, UINT64_MAX, true},
             {Format::Png, 65536, 1, UINT64_MAX, false},
             {Format::Png, 1, 1, 0, false},
             {Format::Unsupported, 1, 1, 1000, false},
         }) {
        EXPECT_EQ(image::guard::data_can_hold(c.format, c.width, c.height, c.file_bytes), c.holds)
            << int(c.format) << ": " << c.width << " x " << c.height << " in " << c.file_bytes;
    }
}

struct SpanReader {
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;

    int get() { return pos < data.size() ? data[pos++] : -1; }
    void skip(long long n) { pos = std::min(data.size(), pos + static_cast<std::size_t>(n)); }
};

// One Huffman table of the given class and slot declaring `codes` codes,
// the longest lengths filled first, and as many symbol bytes.
Bytes huffman_table(int codes, std::uint8_t kind = 0x00) {
    Bytes counts(16, 0);
    int total = 0;
    for (int i = 15; i >= 0 && codes > 0; --i) {
        counts[std::size_t(i)] = std::uint8_t(std::min(codes, 255));
        codes -= counts[std::size_t(i)];
        total += counts[std::size_t(i)];
    }
    Bytes out = counts;
    out.insert(out.begin(), kind);
    out.resize(out.size() + std::size_t(total), 0);
    return out;
}

const Bytes kSoi{0xFF, 0xD8};
const Bytes kEoi{0xFF, 0xD9};
const Bytes kFrame = segment(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11, 0});  // SOF0, 8 x 8 grey
const Bytes kScanHeader = segment(0xDA, {1, 1, 0x00, 0, 63, 0});     // component 1, tables DC 0, AC 0
const Bytes kQuantisation = segment(0xDB, join({{0x00}, Bytes(64, 1)}));  // slot 0, 8-bit
const Bytes kDcAndAc = segment(0xC4, join({huffman_table(12), huffman_table(162, 0x10)}));
const Bytes kTables = join({kQuantisation, kDcAndAc});
// Three components, 1 to 3, all with quantisation table 0.
const Bytes kColourFrame = segment(0xC0, {8, 0, 8, 0, 8, 3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});

TEST(ImageGuard, JpegWalk) {
    struct Case {
        std::string name;
        Bytes file;
        bool safe;
    };
    for (const Case& c : std::vector<Case>{
             {"SOI and EOI", join({kSoi, kEoi}), true},
             {"no SOI", join({{0xFF, 0xD9}, kEoi}), false},
             {"baseline frame and a scan", join({kSoi, kTables, kFrame, kScanHeader, {1, 2, 3}, kEoi}), true},
             {"extended sequential frame",
              join({kSoi, kTables, segment(0xC1, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}), kScanHeader, kEoi}), true},
             {"tables between the frame and the scan", join({kSoi, kFrame, kTables, kScanHeader, kEoi}), true},
             {"frame without a scan", join({kSoi, kTables, kFrame, kEoi}), false},
             {"data ending after the frame", join({kSoi, kTables, kFrame}), false},
             // The decoder would read a table that was never defined.
             {"no quantisation table", join({kSoi, kDcAndAc, kFrame, kScanHeader, kEoi}), false},
             {"quantisation table in another slot",
              join({kSoi, segment(0xDB, join({{0x01}, Bytes(64, 1)})), kDcAndAc, kFrame, kScanHeader, kEoi}), false},
             {"no AC table", join({kSoi, kQuantisation, segment(0xC4, huffman_table(12)), kFrame, kScanHeader, kEoi}),
              false},
             {"DC table in another slot",
              join({kSoi, kTables, kFrame, segment(0xDA, {1, 1, 0x10, 0, 63, 0}), kEoi}), false},
             {"second scan naming an undefined AC table",
              join({kSoi, kTables, kFrame, kScanHeader, {1, 2}, segment(0xDA, {1, 1, 0x01, 0, 63, 0}), kEoi}),
              false},
             {"16-bit quantisation table replacing the first",
              join({kSoi, kTables, kFrame, segment(0xDB, join({{0x10}, Bytes(128, 1)})), kScanHeader, kEoi}),
              true},
             {"scan of a component the frame lacks",
              join({kSoi, kTables, kFrame, segment(0xDA, {1, 2, 0x00, 0, 63, 0}), kEoi}), false},
             {"scan header length wrong", join({kSoi, kTables, kFrame, segment(0xDA, {1, 1, 0x00, 0, 63}), kEoi}),
              false},
             // Its other components left as the decoder found its memory.
             {"colour frame, one component scanned", join({kSoi, kTables, kColourFrame, kScanHeader, kEoi}), false},
             {"colour frame, one scan each",
              join({kSoi, kTables, kColourFrame, kScanHeader, segment(0xDA, {1, 3, 0x00, 0, 63, 0}),
                    segment(0xDA, {1, 2, 0x00, 0, 63, 0}), kEoi}),
              true},
             {"colour frame, one interleaved scan",
              join({kSoi, kTables, kColourFrame, segment(0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0}), kEoi}),
              true},
             {"progressive frame", join({kSoi, segment(0xC2, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}), kEoi}), false},
             {"lossless frame", join({kSoi, segment(0xC3, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}), kEoi}), false},
             {"second frame", join({kSoi, kFrame, kFrame, kEoi}), false},
             {"scan before the frame", join({kSoi, kScanHeader, kEoi}), false},
             {"256 codes", join({kSoi, segment(0xC4, huffman_table(256)), kEoi}), true},
             {"257 codes", join({kSoi, segment(0xC4, huffman_table(257)), kEoi}), false},
             // 255 codes of 8 bits and one of 9, or of 10.
             {"256 codes of at most 9 bits", join({kSoi, segment(0xC4, table_of_256_codes(9)), kEoi}), false},
             {"256 codes, the last of 10 bits", join({kSoi, segment(0xC4, table_of_256_codes(10)), kEoi}), true},
             {"257 codes in the second table of a segment",
              join({kSoi, segment(0xC4, join({huffman_table(3), huffman_table(257, 0x11)})), kEoi}), false},
             {"table class 2", join({kSoi, segment(0xC4, huffman_table(3, 0x20)), kEoi}), false},
             {"table slot 4", join({kSoi, segment(0xC4, huffman_table(3, 0x04)), kEoi}), false},
             {"table length one short", join({kSoi, {0xFF, 0xC4, 0, 21}, huffman_table(3), kEoi}), false},
             {"257 codes after stray bytes", join({kSoi, {1, 2, 3}, segment(0xC4, huffman_table(257)), kEoi}), false},
             // Stuffed 0xFF and restart markers belong to the scan; the table
             // after it is checked.
             {"257 codes after a scan",
              join({kSoi, kTables, kFrame, kScanHeader, {0xFF, 0x00, 0xFF, 0xD3, 7, 0xFF, 0xFF, 0x00},
                    segment(0xC4, huffman_table(257)), kEoi}),
              false},
             // Bytes inside a segment that look like a marker are passed over.
             {"table look-alike inside a comment", join({kSoi, segment(0xFE, {0xFF, 0xC4, 0x01, 0x14, 0x00, 0xFF}), kEoi}), true},
             {"bad comment length", join({kSoi, {0xFF, 0xFE, 0, 1}, kEoi}), false},
             {"unknown marker", join({kSoi, segment(0xC8, {}), kEoi}), false},
             {"end of data inside a table", join({kSoi, {0xFF, 0xC4, 0x01, 0x14, 0x00, 255, 2}}), false},
         }) {
        SpanReader reader{c.file};
        EXPECT_EQ(image::guard::jpeg_is_safe(reader), c.safe) << c.name;
    }
}

// A PNG chunk as the walk sees it: its length and type, then `present` bytes
// of data and CRC (zeros: the walk checks no CRC).
Bytes png_chunk(std::uint32_t length, std::string_view type, std::size_t present) {
    Bytes out{std::uint8_t(length >> 24), std::uint8_t(length >> 16), std::uint8_t(length >> 8), std::uint8_t(length)};
    for (char letter : type) out.push_back(static_cast<std::uint8_t>(letter));
    out.resize(out.size() + present, 0);
    return out;
}

// Every chunk up to IEND must lie within the file; what follows IEND is never
// read.
TEST(ImageGuard, PngWalk) {
    const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Bytes head = join({signature, png_chunk(13, "IHDR", 17), png_chunk(10, "IDAT", 14)});
    const Bytes iend = png_chunk(0, "IEND", 4);
    struct Case {
        std::string name;
        Bytes file;
        bool fits;
    };
    for (const Case& c : std::vector<Case>{
             {"a whole file", join({head, iend}), true},
             {"a chunk running to the end, CRC included", join({head, png_chunk(100, "quIl", 104)}), true},
             {"IDAT declaring 1 GiB", join({head, png_chunk(1u << 30, "IDAT", 4), iend}), false},
             {"a chunk one byte longer than the file", join({head, png_chunk(5, "quIl", 8)}), false},
             {"IEND without its CRC", join({head, png_chunk(0, "IEND", 0)}), true},
             {"a huge claim after IEND", join({head, iend, png_chunk(0x7FFFFFFF, "IDAT", 0)}), true},
             {"data ending between chunks", head, true},
         }) {
        SpanReader reader{c.file};
        EXPECT_EQ(image::guard::png_chunks_fit(reader, c.file.size()), c.fits) << c.name;
    }
}

}  // namespace
