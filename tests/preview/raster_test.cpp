// Coverage, culling and depth of the rasteriser on hand-placed triangles.

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "preview/raster.hpp"

namespace preview {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr int kOne = 1 << kSubpixelBits;

// A corner at pixel position (x, y), y down, fully shaded.
Corner at(float x, float y, float depth = 0) {
    Corner c;
    c.position = {static_cast<std::int32_t>(x * kOne), static_cast<std::int32_t>(y * kOne), depth};
    c.attributes.shade[0] = c.attributes.shade[1] = c.attributes.shade[2] = 255;
    return c;
}

Surface flat(float r, float g, float b) {
    Surface s;
    s.color[0] = r, s.color[1] = g, s.color[2] = b;
    return s;
}

std::size_t count_colored(const Canvas& canvas) {
    std::size_t n = 0;
    for (const Rgb& p : canvas.color) n += p.r != 0 || p.g != 0 || p.b != 0;
    return n;
}

const Clip kWhole{0, 0, 16, 16};

// A square split along either diagonal, at whole and at fractional
// positions: every pixel centre inside goes to exactly one triangle.
TEST(PreviewRaster, SharedEdgesAreDrawnOnce) {
    struct Case {
        float left, top, size;
        std::size_t pixels;  // centres inside the square
    };
    for (const Case& c : {Case{2, 2, 8, 64}, Case{2.25f, 1.75f, 8, 64}, Case{0.5f, 0.5f, 4, 16}}) {
        const float l = c.left, t = c.top, r = c.left + c.size, b = c.top + c.size;
        // Counter-clockwise as seen: with y down, (l, t) -> (l, b) -> (r, b).
        for (bool other_diagonal : {false, true}) {
            Canvas first(16, 16, kBlack), second(16, 16, kBlack);
            if (!other_diagonal) {
                draw_triangle(first, kWhole, flat(1, 0, 0), at(l, t), at(l, b), at(r, b));
                draw_triangle(second, kWhole, flat(0, 0, 1), at(l, t), at(r, b), at(r, t));
            } else {
                draw_triangle(first, kWhole, flat(1, 0, 0), at(l, t), at(l, b), at(r, t));
                draw_triangle(second, kWhole, flat(0, 0, 1), at(l, b), at(r, b), at(r, t));
            }
            std::size_t overlap = 0;
            for (std::size_t i = 0; i < first.color.size(); ++i) {
                overlap += first.color[i].r != 0 && second.color[i].b != 0;
            }
            EXPECT_EQ(overlap, 0u) << c.left << " " << other_diagonal;
            EXPECT_EQ(count_colored(first) + count_colored(second), c.pixels) << c.left << " " << other_diagonal;
        }
    }
}

TEST(PreviewRaster, BackFacesAndTrianglesWithoutAreaAreCulled) {
    Canvas canvas(16, 16, kBlack);
    draw_triangle(canvas, kWhole, flat(1, 1, 1), at(2, 2), at(10, 2), at(2, 10));  // clockwise as seen
    draw_triangle(canvas, kWhole, flat(1, 1, 1), at(2, 2), at(6, 6), at(10, 10));  // a line
    EXPECT_EQ(count_colored(canvas), 0u);
    EXPECT_FALSE(may_cover(kWhole, at(2, 2).position, at(10, 2).position, at(2, 10).position));
    EXPECT_TRUE(may_cover(kWhole, at(2, 2).position, at(2, 10).position, at(10, 2).position));
    // Bounds between pixel centres: nothing to cover.
    EXPECT_FALSE(may_cover(kWhole, at(2.6f, 2.6f).position, at(2.6f, 3.4f).position, at(3.4f, 2.6f).position));
}

// Triangles within one pixel, corners on a lattice of sixteenths that puts
// some exactly on the pixel centre or on its row or column: the cheap test
// says yes exactly when the triangle colours the pixel, by the same fill rule.
TEST(PreviewRaster, CheapTestAgreesWithDrawingWithinOnePixel) {
    std::vector<Position> lattice;
    for (std::int32_t x : {32, 36, 40, 44, 47})
        for (std::int32_t y : {32, 37, 40, 43, 47}) lattice.push_back({x, y, 0});
    std::size_t drawn = 0;
    for (const Position& p0 : lattice) {
        for (const Position& p1 : lattice) {
            for (const Position& p2 : lattice) {
                Canvas canvas(4, 4, kBlack);
                const auto corner = [](const Position& p) {
                    Corner c;
                    c.position = p;
                    c.attributes.shade[0] = c.attributes.shade[1] = c.attributes.shade[2] = 255;
                    return c;
                };
                draw_triangle(canvas, {0, 0, 4, 4}, flat(1, 1, 1), corner(p0), corner(p1), corner(p2));
                const std::size_t colored = count_colored(canvas);
                ASSERT_EQ(may_cover({0, 0, 4, 4}, p0, p1, p2), colored == 1)
                    << p0.x << "," << p0.y << " " << p1.x << "," << p1.y << " " << p2.x << "," << p2.y;
                drawn += colored;
            }
        }
    }
    EXPECT_GT(drawn, 1000u);  // the lattice is not all misses
}

TEST(PreviewRaster, NearerWinsWhateverTheOrderAndTheClipHolds) {
    for (bool near_first : {false, true}) {
        Canvas canvas(16, 16, kBlack);
        const auto near = [&] { draw_triangle(canvas, kWhole, flat(0, 1, 0), at(0, 0, 5), at(0, 16, 5), at(16, 16, 5)); };
        const auto far = [&] { draw_triangle(canvas, kWhole, flat(1, 0, 0), at(0, 0, 1), at(0, 16, 1), at(16, 16, 1)); };
        if (near_first) near(), far();
        else far(), near();
        for (const Rgb& p : canvas.color) EXPECT_EQ(p.r, 0);
    }
    Canvas canvas(16, 16, kBlack);
    draw_triangle(canvas, {4, 4, 8, 8}, flat(1, 1, 1), at(0, 0), at(0, 16), at(16, 16));
    draw_triangle(canvas, {4, 4, 8, 8}, flat(1, 1, 1), at(0, 0), at(16, 16), at(16, 0));
    EXPECT_EQ(count_colored(canvas), 16u);
}

TEST(PreviewRaster, ShadeAndTextureColourThePixel) {
    TextureImage texture{2, 1, {{200, 100, 50}, {0, 0, 0}}};
    Surface textured;
    textured.texture = &texture;
    Corner a = at(0, 0), b = at(0, 16), c = at(16, 16);
    for (Corner* corner : {&a, &b, &c}) {
        corner->attributes.shade[0] = corner->attributes.shade[1] = corner->attributes.shade[2] = 127.5f;
        corner->attributes.s = 0.5f;  // inside texel 0, which repeats
        corner->attributes.t = 3.5f;
    }
    Canvas canvas(16, 16, kBlack);
    draw_triangle(canvas, kWhole, textured, a, b, c);
    const Rgb& p = canvas.color[15 * 16 + 1];
    EXPECT_EQ(p.r, 100);
    EXPECT_EQ(p.g, 50);
    EXPECT_EQ(p.b, 25);
}

}  // namespace
}  // namespace preview
