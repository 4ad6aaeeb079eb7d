#pragma once
// Writes JPEG segments byte by byte for tests of the loader's checks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpeg_builder {

using Bytes = std::vector<std::uint8_t>;

// A segment: marker, then a length that counts itself, then the body.
inline Bytes segment(std::uint8_t marker, const Bytes& body) {
    const std::size_t n = body.size() + 2;
    Bytes out{0xFF, marker, std::uint8_t(n >> 8), std::uint8_t(n)};
    for (std::uint8_t b : body) out.push_back(b);  // insert() here trips GCC 12's -Warray-bounds
    return out;
}

inline Bytes join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A DHT body: DC table 0 of 255 codes of 8 bits and one of `last_bits` bits,
// every symbol 0.
inline Bytes table_of_256_codes(int last_bits) {
    Bytes out(17 + 256, 0);
    out[8] = 255;
    out[std::size_t(last_bits)] = 1;
    return out;
}

}  // namespace jpeg_builder
