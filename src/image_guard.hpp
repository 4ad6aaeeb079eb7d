#pragma once
// What the image decoder is never handed.
//
// The decoder (stb_image 2.27, as Debian 12 packages it) trusts a file's
// header more than it should. It fills an image whose data is missing with
// zeros, so a 54-byte BMP can ask for 16384 x 16384 pixels and get them; it
// writes past its Huffman tables when a JPEG DHT segment declares more than
// 256 codes, misreads a table of 256 codes of at most 9 bits, and reads a
// table no segment defined from memory it never wrote. So the loader looks at
// the file first: it takes only the formats the program supports, only sizes
// the file's bytes could really encode, and for JPEG only baseline files
// whose tables fit and are defined before a scan uses them; and it grows a
// PNG's data buffer by a chunk's declared length before the bytes are there,
// so a PNG's chunks must lie within the file.

#include <array>
#include <cstddef>
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
// (SOF0 or SOF1; the decoder's progressive code is left out), every Huffman
// table declares at most 256 codes (and a table of 256 some longer than 9
// bits), every scan names tables defined before it, and every component of
// the frame is in a scan. The decoder reads a table that was never defined
// from memory it never wrote (a wrong index from it reads beyond the table),
// and leaves a component no scan covers as it found it. The walk skips
// entropy-coded data to its next marker, so the tables and scans that follow
// are checked too.
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

    // The tables defined so far, a bit per slot 0-3.
    unsigned quantisation_tables = 0, dc_tables = 0, ac_tables = 0;
    auto quantisation_tables_fit = [&]() {
        int left = length() - 2;
        while (left > 0) {
            const int kind = in.get();  // precision (0: 8 bits, 1: 16 bits), slot
            if (kind < 0 || kind >> 4 > 1 || (kind & 15) > 3) return false;
            quantisation_tables |= 1u << (kind & 15);
            const int size = kind >> 4 ? 128 : 64;
            in.skip(size);
            left -= 1 + size;
        }
        return left == 0;
    };
    auto huffman_tables_fit = [&]() {
        int left = length() - 2;
        while (left > 0) {
            const int kind = in.get();  // class (0: DC, 1: AC), slot
            if (kind < 0 || kind >> 4 > 1 || (kind & 15) > 3) return false;
            int codes = 0, longer_than_9_bits = 0;
            for (int i = 0; i < 16; ++i) {
                const int count = in.get();
                if (count < 0) return false;
                codes += count;
                if (i >= 9) longer_than_9_bits += count;
            }
            if (codes > 256) return false;
            // The decoder looks codes of up to 9 bits up in a table of symbol
            // numbers where 255 means "longer". The 256th code, the longest,
            // must then be longer, or the decoder takes it for one and reads
            // a wrong symbol (a failed assertion where those are checked).
            if (codes == 256 && longer_than_9_bits == 0) return false;
            (kind >> 4 ? ac_tables : dc_tables) |= 1u << (kind & 15);
            in.skip(codes);
            left -= 17 + codes;
        }
        return left == 0;
    };

    // The frame's components, by id, with their quantisation tables.
    struct Component {
        int id = 0;
        int quantisation_table = 0;
    };
    std::array<Component, 4> components{};
    int component_count = 0;  // 0 until the frame is read
    unsigned scanned = 0;  // a bit per component
    auto frame_fits = [&]() {
        const int n = length();
        in.skip(5);  // precision, height, width
        const int count = in.get();
        if (count < 1 || count > 4 || n != 8 + 3 * count) return false;
        for (Component& c : std::span(components).first(std::size_t(count))) {
            c.id = in.get();
            in.skip(1);  // sampling factors
            c.quantisation_table = in.get();
            if (c.quantisation_table < 0 || c.quantisation_table > 3) return false;
        }
        component_count = count;
        return true;
    };
    auto scan_fits = [&]() {
        const int n = length();
        const int count = in.get();
        if (count < 1 || count > 4 || n != 6 + 2 * count) return false;
        for (int i = 0; i < count; ++i) {
            const int id = in.get(), tables = in.get();  // DC slot, AC slot
            if (tables < 0) return false;
            int k = 0;  // the first component of that id, as the decoder takes it
            while (k < component_count && components[std::size_t(k)].id != id) ++k;
            if (k == component_count) return false;
            const unsigned quantisation = 1u << components[std::size_t(k)].quantisation_table;
            const unsigned dc = 1u << (tables >> 4), ac = 1u << (tables & 15);
            if (!(quantisation_tables & quantisation) || !(dc_tables & dc) || !(ac_tables & ac)) return false;
            scanned |= 1u << k;
        }
        in.skip(3);  // spectral selection and approximation, unused by sequential coding
        return true;
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
    auto in_frame = [&] { return component_count > 0; };
    int m = marker(true);
    for (;;) {
        // The end, or EOI: nothing more is decoded.
        if (m < 0 || m == 0xD9) return scanned == (1u << component_count) - 1;
        if (m == 0xC4) {
            if (!huffman_tables_fit()) return false;
        } else if (m == 0xDB) {
            if (!quantisation_tables_fit()) return false;
        } else if (m == 0xC0 || m == 0xC1) {
            if (in_frame() || !frame_fits()) return false;
        } else if (m == 0xDA) {
            if (!in_frame() || !scan_fits()) return false;
            m = after_entropy_data();
            continue;
        } else if (m == 0xDD || (m == 0xDC && in_frame()) || (m >= 0xE0 && m <= 0xEF) || m == 0xFE) {
            if (!skip_segment()) return false;
        } else {
            return false;  // progressive, another coding, or a marker the decoder rejects anyway
        }
        m = marker(!in_frame());
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
