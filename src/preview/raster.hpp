#pragma once
// A small rasteriser in the RDP's manner: one triangle at a time into a
// colour and depth buffer, pixel centres covered by a fill rule that draws a
// shared edge exactly once, attributes interpolated across the triangle.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "preview/preview.hpp"
#include "preview/texture.hpp"

namespace preview {

inline constexpr int kSubpixelBits = 4;  // screen positions carry 1/16 pixel

struct Position {
    std::int32_t x = 0, y = 0;  // fixed point, y down
    float depth = 0;            // larger is nearer
};

struct Attributes {
    float shade[3] = {};  // 0 to 255 per channel
    float s = 0, t = 0;   // in texels
};

struct Corner {
    Position position;
    Attributes attributes;
};

// Pixels that a triangle may touch: [left, right) x [top, bottom).
struct Clip {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// What a triangle's pixels are coloured with: a texture, or a flat colour
// when `texture` is null. The result is multiplied by the shade.
struct Surface {
    const TextureImage* texture = nullptr;
    float color[3] = {1, 1, 1};  // 0 to 1
};

namespace detail {

constexpr std::int64_t kOne = std::int64_t{1} << kSubpixelBits;
constexpr std::int64_t kHalf = kOne / 2;

inline std::int64_t orient(const Position& a, const Position& b, std::int64_t px, std::int64_t py) {
    return (std::int64_t{b.x} - a.x) * (py - a.y) - (std::int64_t{b.y} - a.y) * (px - a.x);
}

// With y down, a front face has negative area.
inline std::int64_t signed_area(const Position& p0, const Position& p1, const Position& p2) {
    return orient(p0, p1, p2.x, p2.y);
}

// The pixel centres a triangle's bounds hold along one axis, in pixels:
// from the first at or after its lowest corner to the last at or before its
// highest; none when first > last.
struct Span {
    int first, last;
};

inline Span centres_within(std::int32_t a, std::int32_t b, std::int32_t c) {
    const std::int32_t low = std::min({a, b, c}), high = std::max({a, b, c});
    return {static_cast<int>((low - kHalf + kOne - 1) >> kSubpixelBits),
            static_cast<int>((high - kHalf) >> kSubpixelBits)};
}

// The pixels whose centres lie within a triangle's bounds and the clip.
struct Bounds {
    int left, top, right, bottom;  // inclusive
    bool empty() const { return left > right || top > bottom; }
};

inline Bounds clipped(const Clip& clip, Span x, Span y) {
    return {std::max(clip.left, x.first), std::max(clip.top, y.first), std::min(clip.right - 1, x.last),
            std::min(clip.bottom - 1, y.last)};
}

inline Bounds bounds(const Clip& clip, const Position& p0, const Position& p1, const Position& p2) {
    return clipped(clip, centres_within(p0.x, p1.x, p2.x), centres_within(p0.y, p1.y, p2.y));
}

// The fill rule, for an edge a -> b of a triangle of positive area: a pixel
// centre exactly on an edge belongs to the triangle on one side only, so the
// edge's value there counts as inside when the bias is 0 and as outside when
// it is -1.
inline std::int64_t edge_bias(const Position& a, const Position& b) {
    const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
    return (dy > 0 || (dy == 0 && dx < 0)) ? 0 : -1;
}

inline bool inside_edge(const Position& a, const Position& b, std::int64_t px, std::int64_t py) {
    return orient(a, b, px, py) + edge_bias(a, b) >= 0;
}

}  // namespace detail

// Whether draw_triangle may colour a pixel: the triangle faces the viewer
// and its bounds within `clip` hold a pixel centre; when they hold just one,
// the common case on a dense object, whether the triangle covers it. Inline
// and cheap, so a caller can skip finding the attributes of the many
// triangles that cover nothing.
inline bool may_cover(const Clip& clip, const Position& p0, const Position& p1, const Position& p2) {
    // Most triangles of a dense object end at one of the first two tests.
    const detail::Span x = detail::centres_within(p0.x, p1.x, p2.x);
    if (x.first > x.last) return false;
    const detail::Span y = detail::centres_within(p0.y, p1.y, p2.y);
    if (y.first > y.last) return false;
    const detail::Bounds box = detail::clipped(clip, x, y);
    if (box.empty() || detail::signed_area(p0, p1, p2) >= 0) return false;
    if (box.left != box.right || box.top != box.bottom) return true;
    const std::int64_t px = std::int64_t{box.left} * detail::kOne + detail::kHalf;
    const std::int64_t py = std::int64_t{box.top} * detail::kOne + detail::kHalf;
    // As draw_triangle tests it, with the front face's corners swapped.
    return detail::inside_edge(p2, p1, px, py) && detail::inside_edge(p1, p0, px, py) &&
           detail::inside_edge(p0, p2, px, py);
}

// Draws a triangle whose corners run counter-clockwise as the picture shows
// them, the console's front face; a back face or one without area is culled,
// as the console culls by default.
void draw_triangle(Canvas& canvas, const Clip& clip, const Surface& surface, const Corner& c0, const Corner& c1,
                   const Corner& c2);

}  // namespace preview
