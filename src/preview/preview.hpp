#pragma once
// The preview: the converted mesh drawn as the console would draw it, in four
// views (front, side, top, three-quarter) on one 1024 x 1024 picture, and
// that picture as PNG bytes. It reads only the finished Mesh, so what it
// shows is what the C file holds.

#include <cstdint>
#include <vector>

#include "error.hpp"
#include "ultraback/mesh.hpp"

namespace preview {

inline constexpr int kPictureSize = 1024;  // each view takes one quarter

// 8-bit RGB, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

Picture render(const ultraback::Mesh& mesh);

// The same picture always gives the same bytes. Out of memory throws
// std::bad_alloc, as any allocation does; the error is the encoder refusing
// the picture, which a picture of the right size never makes it do.
Result<std::vector<char>> encode_png(const Picture& picture);

}  // namespace preview
