#include "image_guard.hpp"

#include <algorithm>
#include <string_view>

namespace image::guard {

namespace {

bool starts_with(std::span<const std::uint8_t> head, std::string_view prefix) {
    return head.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), head.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

// Pixels one byte of the file can stand for, at most (see data_can_hold).
std::uint64_t max_pixels_per_byte(Format format) {
    switch (format) {
        case Format::Png: return 8 * 1032;
        case Format::Jpeg: return 64 * 8 / 2;
        case Format::Bmp: return 8;
        case Format::Tga: return 128 / 2;
        case Format::Unsupported: return 0;
    }
    return 0;
}

}  // namespace

Format sniff(std::span<const std::uint8_t> head) {
    using namespace std::string_view_literals;
    // The decoder finds a JPEG's SOI marker after any number of fill bytes;
    // jpeg_is_safe checks that it is there.
    if (head.size() >= 2 && head[0] == 0xFF && (head[1] == 0xD8 || head[1] == 0xFF)) return Format::Jpeg;
    if (starts_with(head, "\x89PNG\r\n\x1A\n"sv)) return Format::Png;
    if (starts_with(head, "BM"sv)) return Format::Bmp;
    for (std::string_view other : {"GIF"sv, "8BPS"sv, "\x53\x80\xF6\x34"sv, "P5"sv, "P6"sv, "#?"sv}) {
        if (starts_with(head, other)) return Format::Unsupported;
    }
    return Format::Tga;
}

bool data_can_hold(Format format, std::uint64_t width, std::uint64_t height, std::uint64_t file_bytes) {
    if (width > 0xFFFF || height > 0xFFFF) return false;
    // With 16-bit sides and the file size capped at 2^40 (far more than any
    // 16-bit image needs), neither product overflows.
    file_bytes = std::min<std::uint64_t>(file_bytes, std::uint64_t{1} << 40);
    return width * height <= max_pixels_per_byte(format) * file_bytes;
}

}  // namespace image::guard
