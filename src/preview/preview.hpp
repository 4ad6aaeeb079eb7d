#pragma once
// The preview: the converted mesh drawn as the console would draw it, in four
// views (front, side, top, three-quarter) on one 1024 x 1024 picture, and
// that picture as PNG bytes. It reads only the finished Mesh, so what it
// shows is what the C file holds.

#include <cstdint>
#include <vector>

#include "error.hpp"
#include "preview/texture.hpp"
#include "ultraback/mesh.hpp"

namespace preview {

inline constexpr int kPictureSize = 1024;  // each view takes one quarter

// 8-bit RGB, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
};

// What a picture is drawn into: its pixels and their depths.
struct Canvas {
    Canvas(int width, int height, Rgb background);

    int width;
    int height;
    std::vector<Rgb> color;
    std::vector<float> depth;
};

// The empty picture, 7 MiB touched for the first time, which costs about as
// much as drawing a dense object into it: the program makes it on another
// core while the layers are made.
Canvas blank_canvas();

// The views are drawn on two cores when a thread is to be had; each draws
// only within its own quarter, so the picture is the same either way.
Picture render(const ultraback::Mesh& mesh, Canvas canvas = blank_canvas());

// The same picture always gives the same bytes. Out of memory throws
// std::bad_alloc, as any allocation does; the error is the encoder refusing
// the picture, which a picture of the right size never makes it do.
Result<std::vector<char>> encode_png(const Picture& picture);

}  // namespace preview
