#pragma once
// Writes PNG files byte by byte for tests: any bit depth and colour type,
// extra chunks, and headers that lie about the size. The image data is a
// zlib stream of stored (uncompressed) deflate blocks, so every byte of the
// file is predictable.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace png_builder {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::uint32_t adler32(const Bytes& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

inline void put_be32(Bytes& out, std::uint32_t v) {
    out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                           std::uint8_t(v)});
}

// One chunk: length, type, data, CRC-32 of type and data.
inline Bytes chunk(std::string_view type, const Bytes& data) {
    Bytes out;
    put_be32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    std::uint32_t crc = crc32(out.data() + 4, 4 + data.size());
    put_be32(out, crc);
    return out;
}

// A zlib stream holding data in stored deflate blocks of at most 65535 bytes.
inline Bytes zlib_stored(const Bytes& data) {
    Bytes out{0x78, 0x01};
    std::size_t pos = 0;
    do {
        std::size_t n = std::min<std::size_t>(65535, data.size() - pos);
        bool last = pos + n == data.size();
        out.push_back(last ? 1 : 0);
        out.insert(out.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n),
                               std::uint8_t(~n >> 8)});
        out.insert(out.end(), data.begin() + pos, data.begin() + pos + n);
        pos += n;
    } while (pos < data.size());
    put_be32(out, adler32(data));
    return out;
}

// IHDR data; colour type 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA.
inline Bytes ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t bit_depth,
                  std::uint8_t color_type) {
    Bytes out;
    put_be32(out, width);
    put_be32(out, height);
    out.insert(out.end(), {bit_depth, color_type, 0, 0, 0});
    return out;
}

// Signature, the given chunks in order, IEND.
inline Bytes file(const std::vector<Bytes>& chunks) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
    Bytes end = chunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

// Rows of already packed sample bytes, each given filter type 0 (none).
inline Bytes unfiltered(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
        out.push_back(0);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// A whole image: IHDR, extra chunks (PLTE, tRNS, ancillary), one IDAT.
inline Bytes png(std::uint32_t width, std::uint32_t height, std::uint8_t bit_depth,
                   std::uint8_t color_type, const std::vector<Bytes>& rows,
                   const std::vector<Bytes>& extra_chunks = {}) {
    std::vector<Bytes> chunks{chunk("IHDR", ihdr(width, height, bit_depth, color_type))};
    chunks.insert(chunks.end(), extra_chunks.begin(), extra_chunks.end());
    chunks.push_back(chunk("IDAT", zlib_stored(unfiltered(rows))));
    return file(chunks);
}

}  // namespace png_builder
