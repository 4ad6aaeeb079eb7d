#pragma once
// A decoded texture image: 8-bit RGBA, top row first.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "error.hpp"

namespace image {

struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;

    friend bool operator==(const Pixel&, const Pixel&) = default;
};

struct Image {
    // Every failure (missing file, unknown format, damaged data, a size the
    // texture cannot hold) is the one error "Could not open image".
    static Result<Image> open(const std::string& path);
    static Result<Image> decode(std::span<const std::byte> bytes);

    std::size_t width = 0;
    std::size_t height = 0;
    std::vector<Pixel> pixels;
};

// Whether an image of this size is worth decoding: neither side is 0 or above
// 65535 (a texture stores 16-bit sizes), and its RGBA pixels take at most
// 1 GiB. Checked on the header before decoding, so a small hostile file cannot
// make the loader allocate gigabytes.
bool loadable_size(std::uint64_t width, std::uint64_t height);

}  // namespace image
