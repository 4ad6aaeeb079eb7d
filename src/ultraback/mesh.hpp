#pragma once
// The converted object: everything the C-source writer prints, nothing else.
// Records name each other only by list position, which is also their number
// in the output text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace ultraback {

struct Vertex {
    std::int16_t x = 0, y = 0, z = 0;
    std::int16_t s = 0, t = 0;
    std::uint8_t r = 0, g = 0, b = 0, a = 0;  // colour, or normal bytes and alpha
};

// Vertex indices are 32 bits wide so that a batched layer may hold more
// vertices than a 16-bit index reaches; an unbatched layer keeps them below
// 32768, and such values print the same at any width.
struct Triangle {
    std::int32_t indices[3] = {};
};
struct Quad {
    std::int32_t indices[4] = {};
};
using Primitive = std::variant<Triangle, Quad>;

// Three vertex-cache slots of one triangle, in drawing order.
using SlotTriangle = std::array<std::uint8_t, 3>;

// One vertex command: vertices [start, start + count) of the layer go into
// cache slots slot to slot + count - 1; the other slots keep what they hold.
struct Load {
    std::uint32_t start = 0;
    std::uint32_t count = 0;
    std::uint8_t slot = 0;

    bool operator==(const Load&) const = default;
};

// The vertex commands of one batch and the triangles then drawn from the
// cache, which may also read slots that earlier batches of the layer loaded.
struct Batch {
    std::vector<Load> loads;
    std::vector<SlotTriangle> triangles;
};

enum class LayerAttribute { PreventSeams };
// Every attribute, in the order the layer table prints them.
inline constexpr LayerAttribute kLayerAttributes[] = {LayerAttribute::PreventSeams};

// The attributes a layer has, one bit each: a byte, where a layer may be one
// of a million.
class LayerAttributes {
public:
    LayerAttributes() = default;
    LayerAttributes(std::initializer_list<LayerAttribute> attributes) {
        for (LayerAttribute attribute : attributes) insert(attribute);
    }

    bool empty() const { return bits_ == 0; }
    bool contains(LayerAttribute attribute) const { return (bits_ & bit(attribute)) != 0; }
    void insert(LayerAttribute attribute) { bits_ |= bit(attribute); }

    bool operator==(const LayerAttributes&) const = default;

private:
    static std::uint8_t bit(LayerAttribute attribute) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(attribute));
    }
    std::uint8_t bits_ = 0;
};

struct Layer {
    std::vector<Vertex> vertices;
    std::vector<Primitive> primitives;
    std::size_t material = 0;
    LayerAttributes attributes;
    // The vertices' colour bytes hold vertex colours, to be drawn unlit,
    // instead of normals.
    bool vertex_colors = false;
    // A batched layer draws these instead, from a cache that is empty at the
    // layer's start; its primitives are then empty and its vertices laid out
    // load after load.
    std::vector<Batch> batches;
};

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
};

struct Material {
    std::optional<std::size_t> texture;
    Color color;
};

struct Ci4 {
    std::vector<std::uint8_t> indices;  // two pixels per byte, earlier one high
    std::vector<std::uint16_t> palette;  // RGBA 5551, at most 16 entries
};
struct Rgba16 {
    std::vector<std::uint16_t> texels;
};
struct Rgba32 {
    std::vector<std::uint32_t> texels;
};
struct Unknown {
    std::vector<std::uint8_t> bytes;
};
// The formats below are made only when textures are fitted to TMEM.
struct Ci8 {
    std::vector<std::uint8_t> indices;  // one palette index per texel
    std::vector<std::uint16_t> palette;  // RGBA 5551, 256 entries
};
struct I4 {
    std::vector<std::uint8_t> texels;  // 4-bit intensity, two per byte, earlier one high
};
struct I8 {
    std::vector<std::uint8_t> texels;  // 8-bit intensity
};
struct Ia4 {
    std::vector<std::uint8_t> texels;  // 3-bit intensity, 1-bit alpha; two per byte, earlier one high
};
struct Ia8 {
    std::vector<std::uint8_t> texels;  // intensity in the high nibble, alpha in the low one
};
struct Ia16 {
    std::vector<std::uint16_t> texels;  // intensity in the high byte, alpha in the low one
};
using TexelData = std::variant<Ci4, Rgba16, Rgba32, Unknown, Ci8, I4, I8, Ia4, Ia8, Ia16>;

struct Texture {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    TexelData texels;
};

struct Rectangle {
    std::uint16_t left = 0, top = 0, right = 0, bottom = 0;

    bool operator==(const Rectangle&) const = default;
};

struct Mesh {
    void add_layer(Layer layer) { layers.push_back(std::move(layer)); }

    std::vector<Layer> layers;
    std::vector<Material> materials;
    std::vector<Texture> textures;
    std::vector<std::pair<std::size_t, Rectangle>> layer_rects;
};

}  // namespace ultraback
