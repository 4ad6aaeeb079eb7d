#include "converter/layer.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "converter/model_builder.hpp"
#include "converter/surface.hpp"
#include "converter/mesh_text.hpp"

namespace {

using namespace model_builder;
using ultraback::LayerAttribute;
using ultraback::LayerAttributes;

// One entry per clip: its image, or nothing when it could not be loaded.
using ImageList = std::vector<std::optional<image::Image>>;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const std::string kCoordinateWarning = "Warning: vertex coordinate doesn't fit in 16 bits\n";
const std::string kTextureWarning = "Warning: texture coordinate out of range. Setting to 0.\n";

struct Converted {
    Result<ultraback::Layer> layer;
    std::vector<std::string> warnings;
};

Converted convert(const lwofront::Layr& layer, const lwofront::Surf* surface = nullptr, const ImageList& images = {},
                  std::size_t position = 0, LayerAttributes attributes = {}, bool vertex_colors = false) {
    // The texture as the object's conversion finds it: the surface's layer
    // texture, when its image was loaded.
    converter::LayerSettings settings{.material = 3,
                                      .texture = std::nullopt,
                                      .attributes = attributes,
                                      .position = position,
                                      .max_vertices = converter::kMaxIndexedVertices};
    if (surface) {
        std::optional<std::size_t> t = converter::read_surface(*surface, images.size(), {}).layer_texture;
        if (t && images[*t]) {
            settings.texture = converter::TextureSize{static_cast<std::uint16_t>(images[*t]->width),
                                                      static_cast<std::uint16_t>(images[*t]->height)};
        }
    }
    Converted out{ultraback::Layer{}, {}};
    const converter::LayerMaps maps = converter::resolve_maps(layer, vertex_colors);
    out.layer =
        converter::convert_layer(layer, maps, settings, [&](std::string_view line) { out.warnings.emplace_back(line); });
    return out;
}

std::string text(const Converted& c) {
    if (!c.layer) return "error: " + c.layer.error().description();
    return mesh_text::vertices_and_primitives(*c.layer);
}

image::Image sized(std::size_t width, std::size_t height) { return image::Image{width, height, {}}; }

// A surface whose first block names clip 1, with the image list for it.
const lwofront::Surf kTextured = surface("Wood", {blok({1})});

TEST(ConvertLayer, ReversesCornersTruncatesAndNegatesZ) {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {20, 5, 0}, {1.9f, -1.9f, 2.5f}},
                             {{0, 1, 2, 3}, {1, 4, 2}});
    Converted c = convert(l, nullptr, {}, 0, {LayerAttribute::PreventSeams});
    ASSERT_TRUE(c.layer);
    EXPECT_EQ(mesh_text::layer(*c.layer),
              "material 3 seams\n"
              "v 0 0 0 0 0 0 0 127 255\n"
              "v 10 0 0 0 0 0 0 127 255\n"
              "v 10 10 0 0 0 0 0 127 255\n"
              "v 0 10 0 0 0 0 0 127 255\n"
              "v 20 5 0 0 0 0 0 127 255\n"
              "v 1 -1 -2 0 0 0 0 0 255\n"
              "quad 1 0 3 2\n"
              "tri 1 2 4\n");
    EXPECT_TRUE(c.warnings.empty());
}

TEST(ConvertLayer, CoordinatesThatDoNotFitAreClampedAfterTheirWarning) {
    const struct {
        Vec3 point;
        std::string vertex;
        std::size_t warnings;
    } cases[] = {
        {{1.9f, -1.9f, 2.5f}, "v 1 -1 -2", 0},
        {{40000, 0, 0}, "v 32767 0 0", 1},
        {{40000, 40000, 40000}, "v 32767 32767 -32768", 3},
        {{-40000, 0, 0}, "v -32768 0 0", 1},
        {{32767.5f, -32768.5f, 0}, "v 32767 -32768 0", 2},
        {{0, 0, -32768}, "v 0 0 32767", 0},  // passes the check; its negation is clamped
        {{0, 0, 32768}, "v 0 0 -32768", 1},
        {{kNan, -kNan, kNan}, "v 0 0 0", 0},
        {{kInf, -kInf, 1e30f}, "v 32767 -32768 -32768", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vertex);
        Converted out = convert(layer({c.point}));
        EXPECT_EQ(text(out), c.vertex + " 0 0 0 0 0 255\n");
        EXPECT_EQ(out.warnings, std::vector<std::string>(c.warnings, kCoordinateWarning));
    }
}

TEST(ConvertLayer, TextureCoordinatesInTexelsTimes64) {
    const struct {
        std::size_t width, height;
        std::vector<float> values;
        std::string st;
        bool warned;
    } cases[] = {
        {64, 32, {0.5f, 0.25f}, "2048 1536", false},
        {64, 64, {0.999f, 1}, "4032 0", false},  // 63.936 texels: the fraction is dropped
        {64, 64, {-0.5f, 1}, "-2048 0", false},
        {64, 64, {10, 1}, "0 0", true},
        {1, 1, {511.9f, 1}, "32704 0", false},
        {1, 1, {-511.9f, 1}, "-32704 0", false},
        {1, 1, {512, 1}, "0 0", true},
        {64, 64, {0.5f, -10}, "0 0", true},  // t = 704
        {64, 64, {kNan, 0.5f}, "0 2048", false},
        {64, 64, {0.5f, kNan}, "2048 0", false},
        {64, 64, {kInf, 0.5f}, "0 0", true},
        {64, 64, {1e30f, 0}, "0 0", true},
        {64, 64, {0.5f}, "0 0", false},  // not two values: no texture value
        {64, 64, {0.5f, 0.5f, 0.5f}, "0 0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.st);
        lwofront::Layr l = layer({{0, 0, 0}});
        l.vmaps.push_back(txuv({{0, c.values}}));
        Converted out = convert(l, &kTextured, {sized(c.width, c.height)});
        EXPECT_EQ(text(out), "v 0 0 0 " + c.st + " 0 0 0 255\n");
        EXPECT_EQ(out.warnings, std::vector<std::string>(c.warned ? 1 : 0, kTextureWarning));
    }
}

TEST(ConvertLayer, TextureValueIsThePointsFirstEntry) {
    lwofront::Layr l = layer({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    l.vmaps.push_back(txuv({{2, {0.5f, 1}}, {0, {0.25f, 1}}, {0, {0.75f, 1}}}));  // none for point 1
    EXPECT_EQ(text(convert(l, &kTextured, {sized(64, 64)})),
              "v 0 0 0 1024 0 0 0 0 255\n"
              "v 1 0 0 0 0 0 0 0 255\n"
              "v 2 0 0 2048 0 0 0 0 255\n");
}

TEST(ConvertLayer, TextureImageIsTheFirstImagOfTheFirstBlock) {
    using Setup = std::function<void(lwofront::Layr&, lwofront::Surf&, ImageList&, bool& no_surface)>;
    const struct {
        const char* name;
        Setup setup;
        std::string st;
    } cases[] = {
        {"textured", [](auto&, auto&, auto&, bool&) {}, "2048 2048"},
        {"no texture map", [](auto& l, auto&, auto&, bool&) { l.vmaps.clear(); }, "0 0"},
        {"map of another kind",
         [](auto& l, auto&, auto&, bool&) { l.vmaps[0].kind = lwofront::OtherType{0x4D4E5657}; }, "0 0"},
        {"no surface", [](auto&, auto&, auto&, bool& no_surface) { no_surface = true; }, "0 0"},
        {"surface without block", [](auto&, auto& s, auto&, bool&) { s.attributes = {colr(1, 0, 0)}; }, "0 0"},
        {"block without Imag", [](auto&, auto& s, auto&, bool&) { s.attributes = {blok({})}; }, "0 0"},
        {"only the second block has an Imag", [](auto&, auto& s, auto&, bool&) { s.attributes = {blok({}), blok({1})}; },
         "0 0"},
        {"image not loaded", [](auto&, auto&, auto& images, bool&) { images[0].reset(); }, "0 0"},
        {"Imag 0", [](auto&, auto& s, auto&, bool&) { s.attributes = {blok({0})}; }, "0 0"},
        {"Imag beyond the clips", [](auto&, auto& s, auto&, bool&) { s.attributes = {blok({3})}; }, "0 0"},
        {"first Imag wins",
         [](auto&, auto& s, auto&, bool&) { s.attributes = {blok({2, 1}), blok({1})}; }, "4096 4096"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lwofront::Layr l = layer({{0, 0, 0}});
        l.vmaps.push_back(txuv({{0, {0.5f, 0.5f}}}));
        lwofront::Surf s = surface("Wood", {blok({1})});
        ImageList images{sized(64, 64), sized(128, 128)};
        bool no_surface = false;
        c.setup(l, s, images, no_surface);
        Converted out = convert(l, no_surface ? nullptr : &s, images);
        EXPECT_EQ(text(out), "v 0 0 0 " + c.st + " 0 0 0 255\n");
        EXPECT_TRUE(out.warnings.empty());
    }
}

TEST(ConvertLayer, NormalsAverageTheUnitNormalsOfTheFacesThatCount) {
    const std::vector<Vec3> corner = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {2, 0, 0}, {3, 0, 0}};
    const struct {
        const char* name;
        std::vector<std::vector<std::uint32_t>> polygons;
        std::vector<std::string> normals;  // of points 0 to 5
    } cases[] = {
        {"face up", {{0, 1, 2}}, {"0 0 127", "0 0 127", "0 0 127", "0 0 0", "0 0 0", "0 0 0"}},
        {"face toward -y", {{0, 1, 3}}, {"0 -127 0", "0 -127 0", "0 0 0", "0 -127 0", "0 0 0", "0 0 0"}},
        {"two faces: half of each, not normalised again",
         {{0, 1, 2}, {0, 1, 3}},
         {"0 -63 63", "0 -63 63", "0 0 127", "0 -127 0", "0 0 0", "0 0 0"}},
        {"collinear first corners neither add nor count",
         {{0, 1, 2}, {0, 4, 5}, {0, 1, 3}},
         {"0 -63 63", "0 -63 63", "0 0 127", "0 -127 0", "0 0 0", "0 0 0"}},
        {"a point twice in one polygon counts once",
         {{0, 1, 2}, {0, 1, 3, 0}},
         {"0 -63 63", "0 -63 63", "0 0 127", "0 -127 0", "0 0 0", "0 0 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Converted out = convert(layer(corner, c.polygons));
        ASSERT_TRUE(out.layer);
        for (std::size_t i = 0; i < c.normals.size(); ++i) {
            const ultraback::Vertex& v = out.layer->vertices[i];
            EXPECT_EQ(std::to_string(std::int8_t(v.r)) + " " + std::to_string(std::int8_t(v.g)) + " " +
                          std::to_string(std::int8_t(v.b)),
                      c.normals[i])
                << "point " << i;
        }
    }
}

TEST(ConvertLayer, FaceWithoutFiniteNormalNeitherAddsNorCounts) {
    // The first face's cross product overflows: it has no unit normal, so
    // point 0 takes the second face's normal whole.
    Converted out = convert(layer({{0, 0, 0}, {1e30f, 0, 0}, {0, 1e30f, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, 1, 2}, {0, 4, 3}}));
    EXPECT_EQ(text(out),
              "v 0 0 0 0 0 0 -127 0 255\n"
              "v 32767 0 0 0 0 0 0 0 255\n"
              "v 0 32767 0 0 0 0 0 0 255\n"
              "v 0 0 -1 0 0 0 -127 0 255\n"
              "v 1 0 0 0 0 0 -127 0 255\n"
              "tri 0 2 1\n"
              "tri 0 3 4\n");
}

TEST(ConvertLayer, LargerPolygonsBecomeReversedTriangles) {
    // Convex: cut from the last corner, each triangle (a, b, c) drawn (a, c, b).
    Converted convex = convert(layer({{0, 0, 0}, {2, 0, 0}, {3, 2, 0}, {1, 3, 0}, {-1, 2, 0}}, {{0, 1, 2, 3, 4}}));
    EXPECT_EQ(text(convex),
              "v 0 0 0 0 0 0 0 127 255\n"
              "v 2 0 0 0 0 0 0 127 255\n"
              "v 3 2 0 0 0 0 0 127 255\n"
              "v 1 3 0 0 0 0 0 127 255\n"
              "v -1 2 0 0 0 0 0 127 255\n"
              "tri 4 1 0\n"
              "tri 4 2 1\n"
              "tri 4 3 2\n");

    // Concave, starting at its reflex corner, where the first three corners
    // turn the wrong way: the normal comes from the whole polygon.
    Converted concave =
        convert(layer({{6, 2, 0}, {2, 2, 0}, {2, 6, 0}, {0, 6, 0}, {0, 0, 0}, {6, 0, 0}}, {{0, 1, 2, 3, 4, 5}}));
    ASSERT_TRUE(concave.layer);
    for (const ultraback::Vertex& v : concave.layer->vertices) EXPECT_EQ(v.b, 127);
    ASSERT_EQ(concave.layer->primitives.size(), 4u);
    for (const auto& p : concave.layer->primitives) EXPECT_TRUE(std::holds_alternative<ultraback::Triangle>(p));
}

TEST(ConvertLayer, PolygonsThatCannotBeDrawnAreSkippedWithOneWarning) {
    lwofront::Layr l = layer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                             {{0}, {0, 3}, {0, 1, 2}, {}, {0, 1, 9}, {3, 0, 1, 2, 7}});
    Converted out = convert(l, nullptr, {}, 4);
    EXPECT_EQ(text(out),
              "v 0 0 0 0 0 0 0 127 255\n"
              "v 1 0 0 0 0 0 0 127 255\n"
              "v 0 1 0 0 0 0 0 127 255\n"
              "v 0 0 -1 0 0 0 0 0 255\n"
              "tri 0 2 1\n");
    EXPECT_EQ(out.warnings,
              std::vector<std::string>{"Warning: skipped 5 polygons with fewer than three corners in layer 4.\n"});

    Converted one = convert(layer({{0, 0, 0}, {1, 0, 0}}, {{0, 1}}), nullptr, {}, 0);
    EXPECT_EQ(one.warnings,
              std::vector<std::string>{"Warning: skipped 1 polygon with fewer than three corners in layer 0.\n"});
}

TEST(ConvertLayer, WarningsComePointByPointThenTheSkippedPolygons) {
    lwofront::Layr l = layer({{40000, 0, -40000}, {0, 0, 0}, {0, 1, 50000}}, {{0, 1}});
    l.vmaps.push_back(txuv({{0, {10, 0}}, {1, {0, 0}}, {2, {-10, 0}}}));
    Converted out = convert(l, &kTextured, {sized(64, 64)});
    EXPECT_EQ(out.warnings, (std::vector<std::string>{
                                kCoordinateWarning, kCoordinateWarning, kTextureWarning, kCoordinateWarning,
                                kTextureWarning,
                                "Warning: skipped 1 polygon with fewer than three corners in layer 0.\n"}));
}

TEST(ConvertLayer, DiscontinuousTextureValuesSplitPoints) {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {0.5f, 0}}, {2, {0, 0.5f}}, {3, {0.5f, 0.5f}}}));
    l.vmads.push_back(txuv_vmad({
        {2, 1, {1, 1}},
        {1, 1, {0.5f, 0.5f}},
        {3, 7, {0, 0}},        // no polygon 7: ignored
        {0, 1, {0, 0}},        // polygon 1 does not hold point 0: ignored
        {9, 0, {0, 0}},        // no point 9: ignored
        {1, 1, {0.25f, 0}},    // point 1 was split off polygon 1 already: ignored
        {2, 0, {0.75f, 0.75f}},
    }));
    // Points 1 then 2 in ascending order, each point's entries in stored
    // order: 4 = 1 in polygon 1, 5 = 2 in polygon 1, 6 = 2 in polygon 0.
    Converted out = convert(l, &kTextured, {sized(4, 4)});
    EXPECT_EQ(text(out),
              "v 0 0 0 0 256 0 0 127 255\n"
              "v 10 0 0 128 256 0 0 127 255\n"
              "v 0 10 0 0 128 0 0 0 255\n"
              "v 10 10 0 128 128 0 0 127 255\n"
              "v 10 0 0 128 128 0 0 127 255\n"
              "v 0 10 0 256 0 0 0 127 255\n"
              "v 0 10 0 192 64 0 0 127 255\n"
              "tri 0 6 1\n"
              "tri 5 3 4\n");
    EXPECT_TRUE(out.warnings.empty());

    // Without a texture map, the discontinuous map is not used.
    l.vmaps.clear();
    ASSERT_TRUE(convert(l).layer);
    EXPECT_EQ(convert(l).layer->vertices.size(), 4u);
}

TEST(ConvertLayer, MoreVerticesThanIndicesCanAddressIsAnError) {
    std::vector<Vec3> points(32768);
    Converted full = convert(layer(points), nullptr, {}, 2);
    ASSERT_TRUE(full.layer);
    EXPECT_EQ(full.layer->vertices.size(), 32768u);

    points.emplace_back();
    Converted over = convert(layer(points), nullptr, {}, 2);
    ASSERT_FALSE(over.layer);
    EXPECT_EQ(over.layer.error().kind, ErrorKind::Conversion);
    EXPECT_EQ(over.layer.error().description(),
              "layer 2 has 32769 vertices, more than the 32768 a display list can address");

    // The count after splitting is what matters.
    points.pop_back();
    lwofront::Layr l = layer(points, {{0, 1, 2}});
    l.vmaps.push_back(txuv({}));
    l.vmads.push_back(txuv_vmad({{1, 0, {0, 0}}}));
    Converted split = convert(l, nullptr, {}, 7);
    ASSERT_FALSE(split.layer);
    EXPECT_EQ(split.layer.error().description(),
              "layer 7 has 32769 vertices, more than the 32768 a display list can address");
}

}  // namespace

namespace {

TEST(ConvertLayer, ColourVmadsBelongToTheirMapByTypeAndName) {
    // As in a modeller's box with a second, unused colour map: the unused
    // map's VMAD comes first but must not colour anything, and the used
    // map's VMAD colours a corner whose point has no entry in the map.
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(rgb({{0, {1, 0, 0}}, {2, {0, 1, 0}}, {3, {0, 0, 1}}}, "Vertex Color"));
    l.vmaps.push_back(rgb({{0, {0.5f, 0.5f, 0.5f}}, {1, {0.5f, 0.5f, 0.5f}}}, "Vertex Color_Unused"));
    l.vmads.push_back(rgb_vmad({{0, 0, {0.2f, 0.2f, 0.2f}}, {3, 1, {0.2f, 0.2f, 0.2f}}}, "Vertex Color_Unused"));
    l.vmads.push_back(rgb_vmad({{1, 0, {1, 1, 0}}}, "Vertex Color"));
    Converted out = convert(l, nullptr, {}, 0, {}, true);
    // Point 1 is split off polygon 0 with its own colour; polygon 1 keeps
    // point 1, which has no colour at all and is white.
    EXPECT_EQ(text(out),
              "v 0 0 0 0 0 -1 0 0 255\n"
              "v 10 0 0 0 0 -1 -1 -1 255\n"
              "v 0 10 0 0 0 0 -1 0 255\n"
              "v 10 10 0 0 0 0 0 -1 255\n"
              "v 10 0 0 0 0 -1 -1 0 255\n"
              "tri 0 2 4\n"
              "tri 2 3 1\n");
}

}  // namespace
