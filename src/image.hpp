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

}  // namespace image
