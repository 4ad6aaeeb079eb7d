#pragma once
// What the image decoder is never handed.
//
// The decoder (stb_image 2.27, as Debian 12 packages it) trusts a file's
// header more than it should. It fills an image whose data is missing with
// zeros, so a 54-byte BMP can ask for 16384 x 16384 pixels and get them; and
// it writes past its Huffman tables when a JPEG DHT segment declares more than
// 256 codes. So the loader looks at the file first: it takes only the formats
// the program supports, only sizes the file's bytes could really encode, and
// for JPEG only baseline files whose Huffman tables fit; and it grows a PNG's
// data buffer by a chunk's declared length before the bytes are there, so a
// PNG's chunks must lie within the file.

#include <cstdint>
#include <span>

namespace image::guard {

enum class Format { Png, Jpeg, Bmp, Tga, Unsupported };

// The format the decoder would read the file as, from its first bytes (16, or
// the whole file when shorter). The decoder tries JPEG, PNG and BMP by their
// signatures and takes TGA, which has none, last. GIF, PSD, PIC, PNM and HDR,
// which it reads too, are Unsupported: their signatures never begin a TGA file
// (a TGA's second byte is 0 or 1), so refusing them refuses nothing else.
Format sniff(std::span<const std::uint8_t> head);

// Whether `file_bytes` bytes of this format can encode width x height pixels
// at all. Each format has a best case: PNG's deflate packs at most 1032
// bytes into one, of at most 8 one-bit pixels each; a JPEG block of 64 pixels
// takes at least 2 bits; a BMP pixel at least 1 bit; a TGA run of 128 pixels
// at least 2 bytes. Real files stay far below these.
bool data_can_hold(Format format, std::uint64_t width, std::uint64_t height, std::uint64_t file_bytes);

// Walks a JPEG's segments as the decoder will and tells whether it may be
// decoded: it starts with SOI, its frame is baseline or extended sequential
// (SOF0 or SOF1; the decoder's progressive code is left out), and every
// Huffman table declares at most 256 codes. The walk skips entropy-coded data
// to its next marker, so the tables defined between scans are checked too.
// Reader has `int get()` (a byte, or -1 at the end) and `void skip(long long)`.
template <class Reader>
bool jpeg_is_safe(Reader& in) {
    // A marker: 0xFF, any fill bytes 0xFF, then the code; -1 when the next
    // byte is not 0xFF or the data ends. Before the frame the decoder passes
    // over stray bytes between segments, so there the walk does too.
    auto marker = [&](bool skip_stray_bytes) -> int {
        int b = in.get();
        while (skip_stray_bytes && b >= 0 && b != 0xFF) b = in.get();
        if (b != 0xFF) return -1;
        while (b == 0xFF) b = in.get();
        return b;
    };
    auto length = [&]() -> int {
        const int high = in.get(), low = in.get();
        if (high < 0 || low < 0) return -1;
        return high << 8 | low;
    };
    // A segment the walk needs nothing from, skipped by its length.
    auto skip_segment = [&]() {
        const int n = length();
        if (n < 2) return false;
        in.skip(n - 2);
        return true;
    };
    auto huffman_tables_fit = [&]() {
        int left = length() - 2;
        while (left > 0) {
            const int kind = in.get();
            if (kind < 0 || kind >> 4 > 1 || (kind & 15) > 3) return false;
            int codes = 0;
            for (int i = 0; i < 16; ++i) {
                const int count = in.get();
                if (count < 0) return false;
                codes += count;
            }
            if (codes > 256) return false;
            in.skip(codes);
            left -= 17 + codes;
        }
        return left == 0;
    };
    // After a scan's header: the entropy-coded data up to the next marker
    // other than a restart; -1 at the end of the data.
    auto after_entropy_data = [&]() -> int {
        for (int b = in.get(); b >= 0; b = in.get()) {
            if (b != 0xFF) continue;
            int code = in.get();
            while (code == 0xFF) code = in.get();
            if (code == 0 || (code >= 0xD0 && code <= 0xD7)) continue;  // stuffed 0xFF, restart
            return code;
        }
        return -1;
    };

    if (marker(false) != 0xD8) return false;  // SOI
    bool in_frame = false;
    int m = marker(true);
    for (;;) {
        if (m < 0 || m == 0xD9) return true;  // the end, or EOI: nothing more is decoded
        if (m == 0xC4) {
            if (!huffman_tables_fit()) return false;
        } else if (m == 0xC0 || m == 0xC1) {
            if (in_frame || !skip_segment()) return false;
            in_frame = true;
        } else if (m == 0xDA) {
            if (!in_frame || !skip_segment()) return false;
            m = after_entropy_data();
            continue;
        } else if (m == 0xDB || m == 0xDD || (m == 0xDC && in_frame) || (m >= 0xE0 && m <= 0xEF) || m == 0xFE) {
            if (!skip_segment()) return false;
        } else {
            return false;  // progressive, another coding, or a marker the decoder rejects anyway
        }
        m = marker(!in_frame);
    }
}

// Walks a PNG's chunks as the decoder will, up to IEND, and tells whether
// each one's data and CRC lie within the file's `file_bytes`. The decoder
// grows its buffer for the image data by the length a chunk declares before
// it reads the chunk, doubling as it goes, so a file of a few hundred bytes
// could make it ask for 2 GiB. Reader is as for jpeg_is_safe, at the file's
// start.
template <class Reader>
bool png_chunks_fit(Reader& in, std::uint64_t file_bytes) {
    // A big-endian 32-bit field; -1 at the end of the data.
    auto field = [&]() -> std::int64_t {
        std::int64_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int b = in.get();
            if (b < 0) return -1;
            value = value << 8 | b;
        }
        return value;
    };
    constexpr std::int64_t kIend = 0x49454E44;
    in.skip(8);  // the signature, which sniff has seen
    std::uint64_t at = 8;
    for (;;) {
        const std::int64_t length = field();
        const std::int64_t type = field();
        // Data that ends between chunks is the decoder's to report.
        if (length < 0 || type < 0) return true;
        if (type == kIend) return true;  // the decoder reads nothing after it
        at += 8;
        const std::uint64_t left = file_bytes > at ? file_bytes - at : 0;
        if (static_cast<std::uint64_t>(length) + 4 > left) return false;
        in.skip(length + 4);
        at += static_cast<std::uint64_t>(length) + 4;
    }
}

}  // namespace image::guard
