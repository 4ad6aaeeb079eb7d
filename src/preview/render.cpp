// Four orthographic views of the mesh, each fitted to the object's bounds in
// its quarter of the picture. Positions are the 16-bit values of the Vtx
// records, texture coordinates their fixed-point s and t, normals their
// colour bytes: the same numbers the console reads. Lighting is a default
// libultra scene, one directional light and an ambient term, with the light
// coming from the viewer's upper left in every view.

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <future>
#include <limits>
#include <system_error>

#include "preview/draw_order.hpp"
#include "preview/preview.hpp"
#include "preview/raster.hpp"
#include "preview/texture.hpp"

namespace preview {
namespace {

using ultraback::Layer;
using ultraback::Mesh;
using ultraback::Vertex;

constexpr int kCell = kPictureSize / 2;
constexpr float kMargin = 24;
constexpr Rgb kBackground{0x90, 0x90, 0x90};
constexpr Rgb kDivider{0x70, 0x70, 0x70};
constexpr Rgb kNoMaterial{0xc0, 0xc0, 0xc0};
// The light's colour and the ambient colour, as a Lights1 record holds them.
constexpr float kAmbient = 0x50;
constexpr float kDiffuse = 0xaf;

using Vec3 = std::array<float, 3>;

float dot(const Vec3& a, float x, float y, float z) { return a[0] * x + a[1] * y + a[2] * z; }

// A view's axes in model space: right and up on the picture, and toward the
// viewer. The console's model space has y up and z toward the front viewer.
struct Axes {
    Vec3 right, up, toward;
};

struct View {
    Axes axes;
    int cell_x, cell_y;  // top left corner of the view's quarter
};

// Front, side (from +x), top (from +y, the front at the bottom) and a three-
// quarter view from the front right, 45 degrees round and 30 degrees above.
constexpr View kViews[4] = {
    {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, 0},
    {{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}, kCell, 0},
    {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, 0, kCell},
    {{{0.70710678f, 0, -0.70710678f}, {-0.35355339f, 0.8660254f, -0.35355339f}, {0.61237244f, 0.5f, 0.61237244f}},
     kCell, kCell},
};

// Toward the light in the viewer's frame: from the upper left, in front.
constexpr Vec3 kLightInView{-0.40824829f, 0.40824829f, 0.81649658f};

// Where a view puts model positions on the picture.
struct Placement {
    float scale = 1;
    float center_x = 0, center_y = 0;  // model units, along right and up
};

// The object's bounds in model space, over the vertices of every layer.
struct Box {
    Vec3 low{}, high{};
    bool empty = true;
};

Box bounds_of(const Mesh& mesh) {
    Box box;
    for (const Layer& layer : mesh.layers) {
        for (const Vertex& v : layer.vertices) {
            const Vec3 p{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
            for (std::size_t i = 0; i < 3; ++i) {
                box.low[i] = box.empty ? p[i] : std::min(box.low[i], p[i]);
                box.high[i] = box.empty ? p[i] : std::max(box.high[i], p[i]);
            }
            box.empty = false;
        }
    }
    return box;
}

// Scale and centre that fit the box's corners, as the view sees them, into
// the view's quarter less a margin.
Placement fit(const Box& box, const Axes& axes) {
    if (box.empty) return {};
    float min_x = std::numeric_limits<float>::infinity(), max_x = -min_x, min_y = min_x, max_y = -min_x;
    for (int corner = 0; corner < 8; ++corner) {
        const float px = corner & 1 ? box.high[0] : box.low[0];
        const float py = corner & 2 ? box.high[1] : box.low[1];
        const float pz = corner & 4 ? box.high[2] : box.low[2];
        const float x = dot(axes.right, px, py, pz), y = dot(axes.up, px, py, pz);
        min_x = std::min(min_x, x), max_x = std::max(max_x, x);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
    const float room = kCell - 2 * kMargin;
    const float extent = std::max(max_x - min_x, max_y - min_y);
    return {extent > 0 ? room / extent : 1.0f, (min_x + max_x) / 2, (min_y + max_y) / 2};
}

struct Look {
    Surface surface;
    bool lit = true;
};

float unit_channel(float value) { return value >= 0 ? std::min(value, 1.0f) : 0.0f; }  // NaN gives 0

Look look_of(const Mesh& mesh, const Layer& layer, const std::vector<TextureImage>& textures) {
    Look look;
    look.lit = !layer.vertex_colors;  // vertex colours are drawn unlit, as they are
    if (layer.material >= mesh.materials.size()) {
        for (int c = 0; c < 3; ++c) look.surface.color[c] = kNoMaterial.r / 255.0f;
        return look;
    }
    const ultraback::Material& material = mesh.materials[layer.material];
    look.surface.color[0] = unit_channel(material.color.r);
    look.surface.color[1] = unit_channel(material.color.g);
    look.surface.color[2] = unit_channel(material.color.b);
    if (material.texture && *material.texture < textures.size() && !textures[*material.texture].empty()) {
        look.surface.texture = &textures[*material.texture];
    }
    return look;
}

float signed_byte(std::uint8_t byte) { return static_cast<float>(static_cast<std::int8_t>(byte)) / 127.0f; }

// Rounds to the nearest 1/16 pixel. Fitted positions lie well inside the
// limit; the offset keeps the value positive, so truncation rounds down,
// cheaper than floor on the hot path.
std::int32_t fixed(float pixels) {
    constexpr float kLimit = 4.0f * kPictureSize;
    constexpr float kOffset = 2 * kLimit * (1 << kSubpixelBits);
    const float subpixels = std::clamp(pixels, -kLimit, kLimit) * (1 << kSubpixelBits) + 0.5f;
    return static_cast<std::int32_t>(subpixels + kOffset) - static_cast<std::int32_t>(kOffset);
}

Position place(const Vertex& v, const View& view, const Placement& at) {
    const Axes& axes = view.axes;
    const float x = (dot(axes.right, v.x, v.y, v.z) - at.center_x) * at.scale;
    const float y = (dot(axes.up, v.x, v.y, v.z) - at.center_y) * at.scale;
    return {fixed(static_cast<float>(view.cell_x + kCell / 2) + x), fixed(static_cast<float>(view.cell_y + kCell / 2) - y),
            dot(axes.toward, v.x, v.y, v.z)};
}

// Texture coordinates in texels (the Vtx holds texels times 64) and the shade
// the console computes for the vertex: lit from its normal bytes, or its
// colour bytes as they are.
Attributes attributes_of(const Vertex& v, const Vec3& light, bool lit) {
    Attributes out;
    out.s = static_cast<float>(v.s) / 64.0f;
    out.t = static_cast<float>(v.t) / 64.0f;
    if (lit) {
        // The normal bytes as the console reads them, unnormalised.
        const float facing = std::max(0.0f, dot(light, signed_byte(v.r), signed_byte(v.g), signed_byte(v.b)));
        const float shade = std::min(255.0f, kAmbient + kDiffuse * facing);
        out.shade[0] = out.shade[1] = out.shade[2] = shade;
    } else {
        out.shade[0] = v.r, out.shade[1] = v.g, out.shade[2] = v.b;
    }
    return out;
}

void draw_view(Canvas& canvas, const Mesh& mesh, const Box& box, const View& view,
               const std::vector<TextureImage>& textures) {
    const Axes& axes = view.axes;
    // The light turned from the viewer's frame into model space, where the
    // normals are.
    Vec3 light;
    for (std::size_t i = 0; i < 3; ++i) {
        light[i] = axes.right[i] * kLightInView[0] + axes.up[i] * kLightInView[1] + axes.toward[i] * kLightInView[2];
    }
    const Placement at = fit(box, axes);
    const Clip clip{view.cell_x, view.cell_y, view.cell_x + kCell, view.cell_y + kCell};
    std::vector<Position> placed;
    std::vector<Attributes> shaded;      // per vertex, once one of its triangles needs it
    std::vector<std::uint8_t> is_shaded;
    for (const Layer& layer : mesh.layers) {
        const Look look = look_of(mesh, layer, textures);
        placed.clear();
        for (const Vertex& v : layer.vertices) placed.push_back(place(v, view, at));
        shaded.resize(layer.vertices.size());
        is_shaded.assign(layer.vertices.size(), 0);
        const auto corner = [&](std::uint32_t i) {
            if (!is_shaded[i]) shaded[i] = attributes_of(layer.vertices[i], light, look.lit), is_shaded[i] = 1;
            return Corner{placed[i], shaded[i]};
        };
        // Most triangles of a dense object cover no pixel centre: they end at
        // this test, before their corners are shaded.
        const auto draw = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            if (!may_cover(clip, placed[a], placed[b], placed[c])) return;
            draw_triangle(canvas, clip, look.surface, corner(a), corner(b), corner(c));
        };
        for_each_triangle(layer, draw);
    }
}

void draw_dividers(Canvas& canvas) {
    for (int i = 0; i < kPictureSize; ++i) {
        canvas.color[static_cast<std::size_t>(kCell) * kPictureSize + static_cast<std::size_t>(i)] = kDivider;
        canvas.color[static_cast<std::size_t>(i) * kPictureSize + kCell] = kDivider;
    }
}

}  // namespace

Canvas blank_canvas() { return Canvas(kPictureSize, kPictureSize, kBackground); }

Picture render(const Mesh& mesh, Canvas canvas) {
    assert(canvas.width == kPictureSize && canvas.height == kPictureSize);
    std::vector<TextureImage> textures;
    textures.reserve(mesh.textures.size());
    for (const ultraback::Texture& texture : mesh.textures) textures.push_back(decode_texture(texture));

    const Box box = bounds_of(mesh);
    // Each view draws only within its own quarter, so two threads share the
    // canvas without ever touching the same pixel.
    std::atomic<int> next_view{0};
    const auto draw_views = [&] {
        for (int view; (view = next_view++) < 4;) draw_view(canvas, mesh, box, kViews[view], textures);
    };
    std::future<void> helper;
    try {
        helper = std::async(std::launch::async, draw_views);
    } catch (const std::system_error&) {
        // No second thread: this one draws every view.
    }
    draw_views();
    if (helper.valid()) helper.get();  // hands on the helper's out of memory
    draw_dividers(canvas);
    return Picture{kPictureSize, kPictureSize, std::move(canvas.color)};
}

}  // namespace preview
