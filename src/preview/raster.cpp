// Edge functions over fixed-point positions decide coverage exactly, so
// neighbouring triangles neither overlap nor leave gaps; depth, shade and
// texture coordinates follow from the barycentric weights. A triangle whose
// bounds hold no pixel centre, the common case on a dense object, ends after
// a few integer comparisons.

#include "preview/raster.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview {
namespace {

using detail::kHalf;
using detail::kOne;
using detail::orient;
using detail::signed_area;

// One edge a -> b: its value at a pixel centre, its steps per pixel and its
// bias under the fill rule.
struct Edge {
    Edge(const Position& a, const Position& b, std::int64_t px, std::int64_t py)
        : value(orient(a, b, px, py)), step_x(-(std::int64_t{b.y} - a.y) * kOne),
          step_y((std::int64_t{b.x} - a.x) * kOne), bias(detail::edge_bias(a, b)) {}
    bool outside() const { return value + bias < 0; }
    std::int64_t value, step_x, step_y, bias;
};

std::uint8_t channel(float value) { return static_cast<std::uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f)); }

Rgb sample(const TextureImage& texture, float s, float t) {
    // Point sampling, the texture repeating in both directions.
    const auto wrap = [](float coordinate, int size) {
        const int i = static_cast<int>(std::floor(coordinate)) % size;
        return i < 0 ? i + size : i;
    };
    return texture.texels[static_cast<std::size_t>(wrap(t, texture.height)) * static_cast<std::size_t>(texture.width) +
                          static_cast<std::size_t>(wrap(s, texture.width))];
}

// An attribute across the triangle: its value at the first corner and its
// changes toward the other two, weighted by their barycentric weights.
struct Plane {
    Plane(float a0, float a1, float a2) : base(a0), d1(a1 - a0), d2(a2 - a0) {}
    float at(float b1, float b2) const { return base + b1 * d1 + b2 * d2; }
    float base, d1, d2;
};

}  // namespace

Canvas::Canvas(int width, int height, Rgb background)
    : width(width), height(height), color(static_cast<std::size_t>(width) * height, background),
      depth(static_cast<std::size_t>(width) * height, -std::numeric_limits<float>::infinity()) {}

void draw_triangle(Canvas& canvas, const Clip& clip, const Surface& surface, const Corner& c0, const Corner& c1_in,
                   const Corner& c2_in) {
    const detail::Bounds box = detail::bounds(clip, c0.position, c1_in.position, c2_in.position);
    const std::int64_t area = -signed_area(c0.position, c1_in.position, c2_in.position);
    if (box.empty() || area <= 0) return;
    // Swapping two corners turns the front face's area positive for the edge
    // tests below.
    const Corner& c1 = c2_in;
    const Corner& c2 = c1_in;

    const std::int64_t px = std::int64_t{box.left} * kOne + kHalf, py = std::int64_t{box.top} * kOne + kHalf;
    Edge e0(c1.position, c2.position, px, py), e1(c2.position, c0.position, px, py), e2(c0.position, c1.position, px, py);

    const Attributes& a0 = c0.attributes;
    const Attributes& a1 = c1.attributes;
    const Attributes& a2 = c2.attributes;
    const Plane depth(c0.position.depth, c1.position.depth, c2.position.depth);
    const Plane s(a0.s, a1.s, a2.s), t(a0.t, a1.t, a2.t);
    const Plane shade[3] = {{a0.shade[0], a1.shade[0], a2.shade[0]},
                            {a0.shade[1], a1.shade[1], a2.shade[1]},
                            {a0.shade[2], a1.shade[2], a2.shade[2]}};
    const float inv_area = 1.0f / static_cast<float>(area);
    const Rgb flat{channel(surface.color[0] * 255.0f), channel(surface.color[1] * 255.0f),
                   channel(surface.color[2] * 255.0f)};
    constexpr float kUnit = 1.0f / 255.0f;

    for (int y = box.top; y <= box.bottom; ++y) {
        Edge r0 = e0, r1 = e1, r2 = e2;
        std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
                         static_cast<std::size_t>(box.left);
        for (int x = box.left; x <= box.right; ++x, ++at) {
            const bool inside = !r0.outside() && !r1.outside() && !r2.outside();
            const float b1 = static_cast<float>(r1.value) * inv_area, b2 = static_cast<float>(r2.value) * inv_area;
            r0.value += r0.step_x, r1.value += r1.step_x, r2.value += r2.step_x;
            if (!inside) continue;
            const float z = depth.at(b1, b2);
            if (!(z > canvas.depth[at])) continue;  // the first drawn keeps a tie
            canvas.depth[at] = z;
            const Rgb base = surface.texture ? sample(*surface.texture, s.at(b1, b2), t.at(b1, b2)) : flat;
            canvas.color[at] = {channel(base.r * shade[0].at(b1, b2) * kUnit),
                                channel(base.g * shade[1].at(b1, b2) * kUnit),
                                channel(base.b * shade[2].at(b1, b2) * kUnit)};
        }
        e0.value += e0.step_y, e1.value += e1.step_y, e2.value += e2.step_y;
    }
}

}  // namespace preview
