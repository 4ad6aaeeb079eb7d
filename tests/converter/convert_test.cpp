#include "converter/convert.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

#include "converter/batching/batch.hpp"
#include "converter/mesh_text.hpp"
#include "converter/model_builder.hpp"
#include "ultraback/check.hpp"
#include "ultraback/writer.hpp"

namespace {

using namespace model_builder;

const std::string kTmemWarning = "Warning: texture won't fit into TMEM\n";
// Once after the warnings, when neither -r nor -t is given.
const std::string kTmemHint = "Hint: -r fits such textures into texture memory; -t splits their layers into tiles\n";
const std::string kSurfacesHint = "Hint: -m gives each surface of a layer an output layer of its own\n";

struct Converted {
    Result<ultraback::Mesh> mesh;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;
    std::vector<std::string> loaded;  // every path handed to the image loader
};

// Converts with a loader that knows only the given files.
Converted convert(const lwofront::Object& object, const std::map<std::string, image::Image>& files,
                  converter::Options options = {}) {
    Converted out{ultraback::Mesh{}, {}, {}, {}};
    converter::LoadImage load = [&](const std::string& path) -> Result<image::Image> {
        out.loaded.push_back(path);
        auto found = files.find(path);
        if (found == files.end()) return std::unexpected(Error{ErrorKind::Image, LwoError::None, "Could not open image"});
        return found->second;
    };
    out.mesh = converter::convert(
        object, options, load, [&](std::string_view line) { out.warnings.emplace_back(line); },
        [&](std::string_view line) { out.notes.emplace_back(line); });
    if (out.mesh) {
        EXPECT_EQ(ultraback::find_mesh_fault(*out.mesh, options.cache_size), "");
    }
    return out;
}

// Options set by name, the others left as they are by default.
converter::Options in_dir(std::string base_dir, bool tile = false) {
    return {.base_dir = std::move(base_dir), .tile = tile};
}

converter::Options batched(bool batch, std::size_t cache_size) {
    return {.batch = batch, .cache_size = cache_size};
}

std::string text(const Converted& c) {
    if (!c.mesh) return "error: " + c.mesh.error().description();
    return mesh_text::mesh(*c.mesh);
}

// A square of two triangles, or one quad, in the xy plane, 10 units wide.
const std::vector<Vec3> kSquare = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}};

lwofront::Object object_with(std::vector<std::string> tags, std::vector<lwofront::Surf> surfaces,
                             std::vector<lwofront::Clip> clips, std::vector<lwofront::Layr> layers) {
    lwofront::Object o;
    o.tags = std::move(tags);
    o.surfaces = std::move(surfaces);
    o.clips = std::move(clips);
    o.layers = std::move(layers);
    return o;
}

lwofront::Layr tagged(lwofront::Layr l, std::uint16_t tag) {
    tag_all(l, tag);
    return l;
}

TEST(Convert, TexturedQuad) {
    lwofront::Layr l = layer({{0, 0, 0}, {64, 0, 0}, {64, 32, 0}, {0, 32, 0}}, {{0, 1, 2, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {1, 1}}, {3, {0, 1}}}));
    lwofront::Object o = object_with({"Wood"}, {surface("Wood", {colr(1, 0.5f, 0.25f), blok({1})})},
                                     {clip("images/wood.png")}, {tagged(l, 0)});
    Converted c = convert(o, {{"models/wood.png", picture(64, 32, 3)}}, in_dir("models"));
    EXPECT_EQ(text(c),
              "texture 64 32 ci4\n"
              "material 0 1 0.5 0.25 1\n"
              "layer 0 material 0\n"
              "v 0 0 0 0 2048 0 0 127 255\n"
              "v 64 0 0 4096 2048 0 0 127 255\n"
              "v 64 32 0 4096 0 0 0 127 255\n"
              "v 0 32 0 0 0 0 0 127 255\n"
              "quad 1 0 3 2\n");
    EXPECT_EQ(c.loaded, std::vector<std::string>{"models/wood.png"});
    EXPECT_TRUE(c.warnings.empty());
}

TEST(Convert, ImagesAreLookedUpBesideTheInput) {
    const struct {
        std::string base_dir;
        std::vector<std::string> stills;
        std::string path;  // "" for a clip without a usable name, which loads nothing
    } cases[] = {
        {"models", {"textures/wood.png"}, "models/wood.png"},
        {"", {"textures/wood.png"}, "wood.png"},
        {"", {"wood.png", "other.png"}, "wood.png"},
        {"a/b", {"Work:images/sub/wood.png"}, "a/b/wood.png"},
        {"models", {"./textures//wood.png/"}, "models/wood.png"},
        {"models", {"images/."}, "models/images"},
        {"models", {}, ""},
        {"models", {""}, ""},
        {"models", {"/"}, ""},
        {"models", {".."}, ""},
        {"models", {"images/.."}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        lwofront::Object o = object_with({}, {}, {lwofront::Clip{1, c.stills}}, {});
        Converted out = convert(o, {{c.path, picture(2, 2)}}, in_dir(c.base_dir));
        if (c.path.empty()) {
            EXPECT_TRUE(out.loaded.empty());
            EXPECT_EQ(out.warnings, std::vector<std::string>{"Warning: Couldn't open texture: \n"});
            EXPECT_EQ(text(out), "texture 0 0 unknown\n");
        } else {
            EXPECT_EQ(out.loaded, std::vector<std::string>{c.path});
            EXPECT_TRUE(out.warnings.empty());
            EXPECT_EQ(text(out), "texture 2 2 ci4\n");
        }
    }
}

TEST(Convert, ImageThatCannotBeLoadedLeavesAPlaceholder) {
    lwofront::Layr l = layer(kSquare, {{0, 1, 2}});
    l.vmaps.push_back(txuv({{0, {0.5f, 0.5f}}, {1, {0.5f, 0.5f}}, {2, {0.5f, 0.5f}}}));
    lwofront::Object o = object_with({"Wood"}, {surface("Wood", {blok({1})})}, {clip("missing.png")}, {tagged(l, 0)});
    Converted c = convert(o, {}, in_dir("models", true));
    EXPECT_EQ(text(c),
              "texture 0 0 unknown\n"
              "material 0 0.5 0.5 0.5 1\n"
              "layer 0 material 0\n"
              "v 0 0 0 0 0 0 0 127 255\n"
              "v 10 0 0 0 0 0 0 127 255\n"
              "v 0 10 0 0 0 0 0 127 255\n"
              "v 10 10 0 0 0 0 0 0 255\n"
              "tri 0 2 1\n");
    EXPECT_EQ(c.warnings, std::vector<std::string>{"Warning: Couldn't open texture: models/missing.png\n"});
}

TEST(Convert, EveryClipGetsItsOwnTexture) {
    lwofront::Object o = object_with({}, {}, {clip("a/wood.png"), clip("b/wood.png")}, {});
    Converted c = convert(o, {{"wood.png", picture(3, 1, 2)}});
    ASSERT_TRUE(c.mesh);
    ASSERT_EQ(c.mesh->textures.size(), 2u);
    const auto& first = std::get<ultraback::Ci4>(c.mesh->textures[0].texels);
    const auto& second = std::get<ultraback::Ci4>(c.mesh->textures[1].texels);
    EXPECT_EQ(first.indices, second.indices);
    EXPECT_EQ(first.palette, second.palette);
    // Both clips name one file, which is decoded once.
    EXPECT_EQ(c.loaded, std::vector<std::string>{"wood.png"});
}

// Each distinct file is decoded once, however many clips name it; each clip
// still gets its texture and its warnings, in the order of the clips.
TEST(Convert, EachImageFileIsDecodedOnce) {
    lwofront::Object o = object_with(
        {}, {}, {clip("big.png"), clip("missing.png"), clip("x/big.png"), clip("small.png"), clip("missing.png")}, {});
    Converted c = convert(o, {{"big.png", picture(64, 64, 17)}, {"small.png", picture(2, 2)}});
    EXPECT_EQ(c.loaded, (std::vector<std::string>{"big.png", "missing.png", "small.png"}));
    EXPECT_EQ(text(c),
              "texture 64 64 rgba16\n"
              "texture 0 0 unknown\n"
              "texture 64 64 rgba16\n"
              "texture 2 2 ci4\n"
              "texture 0 0 unknown\n");
    EXPECT_EQ(c.warnings, (std::vector<std::string>{
                              "Warning: Couldn't open texture: missing.png\n",
                              "Warning: Couldn't open texture: missing.png\n",
                              kTmemWarning,
                              kTmemWarning,
                              kTmemHint,
                          }));
}

TEST(Convert, MaterialsTakeTheLastColourAndTheLastImag) {
    const struct {
        const char* name;
        std::vector<lwofront::SurfAttr> attributes;
        std::string material;
        std::vector<std::string> warnings;
    } cases[] = {
        {"nothing", {}, "material - 0.5 0.5 0.5 1", {}},
        {"two colours", {colr(1, 0, 0), colr(0, 0.25f, 1)}, "material - 0 0.25 1 1", {}},
        {"clip 2", {blok({2})}, "material 1 0.5 0.5 0.5 1", {}},
        {"last Imag of the last block", {blok({2}), colr(1, 1, 1), blok({2, 1})}, "material 0 1 1 1 1", {}},
        {"block without Imag", {blok({2}), blok({})}, "material 1 0.5 0.5 0.5 1", {}},
        {"image 0", {blok({0})}, "material - 0.5 0.5 0.5 1",
         {"Warning: surface Wood names image 0, which is not a clip.\n"}},
        {"beyond the clips", {blok({3})}, "material - 0.5 0.5 0.5 1",
         {"Warning: surface Wood names image 3, which is not a clip.\n"}},
        {"a good Imag after a bad one", {blok({0, 2})}, "material 1 0.5 0.5 0.5 1",
         {"Warning: surface Wood names image 0, which is not a clip.\n"}},
        {"a bad Imag after a good one", {blok({2}), blok({4, 0})}, "material - 0.5 0.5 0.5 1",
         {"Warning: surface Wood names image 4, which is not a clip.\n",
          "Warning: surface Wood names image 0, which is not a clip.\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lwofront::Object o = object_with({}, {surface("Wood", c.attributes)}, {clip("a.png"), clip("b.png")}, {});
        Converted out = convert(o, {{"a.png", picture(2, 2)}, {"b.png", picture(2, 2)}});
        EXPECT_EQ(text(out), "texture 2 2 ci4\ntexture 2 2 ci4\n" + c.material + "\n");
        EXPECT_EQ(out.warnings, c.warnings);
    }
}

TEST(Convert, LayerNamingSeveralSurfacesTakesTheLowest) {
    lwofront::Layr several = layer(kSquare, {{0, 1, 2}, {2, 1, 3}});
    several.ptag.entries = {{0, 3}, {1, 1}};
    lwofront::Object o = object_with({"A", "B", "C", "D"}, {surface("A"), surface("B"), surface("C"), surface("D")}, {},
                                     {tagged(layer(kSquare, {{0, 1, 2}}), 2), several});
    Converted c = convert(o, {});
    ASSERT_TRUE(c.mesh);
    ASSERT_EQ(c.mesh->layers.size(), 2u);
    EXPECT_EQ(c.mesh->layers[0].material, 2u);
    EXPECT_EQ(c.mesh->layers[1].material, 1u);
    EXPECT_EQ(c.warnings,
              (std::vector<std::string>{"Warning: more than one surface referenced in layer 1.\n", kSurfacesHint}));
}

TEST(Convert, LayersThatNameNoSurfaceShareADefaultMaterial) {
    lwofront::Layr unknown_tag = tagged(layer(kSquare, {{0, 1, 2}}), 1);  // "Stone" is no surface
    lwofront::Object o = object_with({"Wood", "Stone"}, {surface("Wood", {colr(1, 0, 0)})}, {},
                                     {layer(kSquare), tagged(layer(kSquare, {{0, 1, 2}}), 0), unknown_tag});
    Converted c = convert(o, {});
    ASSERT_TRUE(c.mesh);
    EXPECT_EQ(c.mesh->materials.size(), 2u);
    EXPECT_EQ(text(c).substr(0, text(c).find("layer")), "material - 1 0 0 1\nmaterial - 0.5 0.5 0.5 1\n");
    std::vector<std::size_t> materials;
    for (const auto& l : c.mesh->layers) materials.push_back(l.material);
    EXPECT_EQ(materials, (std::vector<std::size_t>{1, 0, 1}));

    // Without surfaces at all, the default material is material 0.
    Converted bare = convert(object_with({}, {}, {}, {layer(kSquare)}), {});
    ASSERT_TRUE(bare.mesh);
    EXPECT_EQ(bare.mesh->materials.size(), 1u);
    EXPECT_EQ(bare.mesh->layers[0].material, 0u);
    EXPECT_TRUE(bare.warnings.empty());
}

TEST(Convert, ObjectWithoutLayers) {
    lwofront::Object o = object_with({}, {surface("Wood", {blok({1})})}, {clip("wood.png")}, {});
    EXPECT_EQ(text(convert(o, {{"wood.png", picture(4, 4)}})),
              "texture 4 4 ci4\n"
              "material 0 0.5 0.5 0.5 1\n");
}

TEST(Convert, WarningsComePassByPass) {
    lwofront::Layr l = layer({{40000, 0, 0}}, {});
    l.ptag.entries = {{0, 1}, {1, 0}};
    lwofront::Object o = object_with({"S", "T"}, {surface("S", {blok({0})}), surface("T", {blok({2})})},
                                     {clip("missing.png"), clip("big.png")}, {l});
    Converted c = convert(o, {{"big.png", picture(64, 64, 17)}});
    EXPECT_EQ(c.warnings, (std::vector<std::string>{
                              "Warning: Couldn't open texture: missing.png\n",
                              kTmemWarning,
                              kTmemHint,
                              "Warning: surface S names image 0, which is not a clip.\n",
                              "Warning: more than one surface referenced in layer 0.\n",
                              kSurfacesHint,
                              "Warning: vertex coordinate doesn't fit in 16 bits\n",
                          }));
}

// A layer of surface 0, whose block names clip 1.
lwofront::Object textured_object(std::vector<lwofront::Layr> layers, std::vector<lwofront::Surf> more_surfaces = {}) {
    std::vector<lwofront::Surf> surfaces{surface("Big", {blok({1})})};
    std::vector<std::string> tags{"Big"};
    for (auto& s : more_surfaces) {
        tags.push_back(s.name);
        surfaces.push_back(std::move(s));
    }
    return object_with(tags, std::move(surfaces), {clip("big.png")}, std::move(layers));
}

TEST(Convert, WithoutTilingATextureOverBudgetOnlyWarns) {
    lwofront::Layr l = layer(kSquare, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}}));
    Converted c = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(128, 128, 17)}});
    ASSERT_TRUE(c.mesh);
    EXPECT_EQ(c.mesh->textures[0].texels.index(), 1u);  // Rgba16
    ASSERT_EQ(c.mesh->layers.size(), 1u);
    EXPECT_TRUE(c.mesh->layers[0].attributes.empty());
    EXPECT_TRUE(c.mesh->layer_rects.empty());
    EXPECT_EQ(c.warnings, (std::vector<std::string>{kTmemWarning, kTmemHint}));
    EXPECT_TRUE(c.notes.empty());
}

// How -r fitted a texture is a note, not a warning: -e must not fail on it.
TEST(Convert, FittingATextureIsANote) {
    lwofront::Layr l = layer(kSquare, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}}));
    Converted c = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(128, 128, 17)}},
                          {.fit_textures = true});
    ASSERT_TRUE(c.mesh);
    EXPECT_TRUE(c.warnings.empty());
    EXPECT_EQ(c.notes, std::vector<std::string>{"texture 0 (big.png): 128x128 RGBA16 -> 40x40 I8\n"});
}

TEST(Convert, TilingGivesOneLayerPerPolygonWithItsRectangle) {
    lwofront::Layr l = layer(kSquare, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0.25f, 0.75f}}, {1, {0.5f, 0.75f}}, {2, {0.25f, 1}}, {3, {0.75f, 0.5f}}}));
    Converted c = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", true));
    EXPECT_EQ(text(c),
              "texture 64 64 rgba16\n"
              "material 0 0.5 0.5 0.5 1\n"
              "layer 0 material 0 seams\n"
              "v 0 0 0 1024 1024 0 0 127 255\n"
              "v 10 0 0 2048 1024 0 0 127 255\n"
              "v 0 10 0 1024 0 0 0 127 255\n"
              "tri 0 2 1\n"
              "layer 1 material 0 seams\n"
              "v 0 10 0 1024 0 0 0 127 255\n"
              "v 10 0 0 2048 1024 0 0 127 255\n"
              "v 10 10 0 3072 2048 0 0 127 255\n"
              "tri 0 2 1\n"
              "rect 0 16 0 32 16\n"
              "rect 1 16 0 48 32\n");
    EXPECT_EQ(c.warnings, std::vector<std::string>{kTmemWarning});
}

TEST(Convert, TileIndicesFollowThePositionsOfTheTileLayers) {
    auto textured_layer = [](std::vector<std::vector<std::uint32_t>> polygons, std::uint16_t tag) {
        lwofront::Layr l = layer(kSquare, polygons);
        l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}}));
        return tagged(l, tag);
    };
    lwofront::Layr no_map = layer(kSquare, {{0, 1, 2}});
    lwofront::Object o = textured_object({textured_layer({{0, 1, 2}, {2, 1, 3}}, 0), textured_layer({{0, 1, 2}}, 1),
                                          tagged(no_map, 0), textured_layer({{0, 1, 2}, {2, 1, 3}, {0, 1, 3, 2}}, 0)},
                                         {surface("Small")});
    Converted c = convert(o, {{"big.png", picture(64, 64, 17)}}, in_dir("", true));
    ASSERT_TRUE(c.mesh);
    std::string shape;
    for (const auto& l : c.mesh->layers) shape += l.attributes.empty() ? "whole " : "tile ";
    EXPECT_EQ(shape, "tile tile whole tile tile tile ");  // the layer without a map gives nothing
    std::vector<std::size_t> indices;
    for (const auto& [index, rect] : c.mesh->layer_rects) indices.push_back(index);
    EXPECT_EQ(indices, (std::vector<std::size_t>{0, 1, 3, 4, 5}));
    // Every polygon spans the whole texture, so every tile is as big.
    EXPECT_EQ(c.warnings, (std::vector<std::string>{kTmemWarning,
                                                    "Warning: 2 tiles of layer 0 still won't fit into TMEM.\n",
                                                    "Warning: 3 tiles of layer 3 still won't fit into TMEM.\n"}));
}

TEST(Convert, TilingSkipsPolygonsWithoutTextureValuesOrCorners) {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {-5, 5, 0}, {20, 20, 0}, {30, 0, 0}},
                             {{0, 5, 6}, {0, 1}, {0, 1, 2, 3, 4}, {0, 1, 9}});
    // The first entry's one value is no texture value.
    l.vmaps.push_back(txuv({{0, {0}}, {1, {0.5f, 0}}, {2, {0.5f, 0.5f}}, {3, {0, 0.5f}}, {4, {0.25f, 0.25f}}}));
    lwofront::Layr untextured = layer(kSquare, {{0, 1, 2}});
    untextured.vmaps.push_back(txuv({{3, {0, 0}}}));
    Converted c =
        convert(textured_object({tagged(l, 0), tagged(untextured, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", true));
    EXPECT_EQ(text(c),
              "texture 64 64 rgba16\n"
              "material 0 0.5 0.5 0.5 1\n"
              "layer 0 material 0 seams\n"
              "v 0 0 0 0 0 0 0 127 255\n"
              "v 10 0 0 2048 4096 0 0 127 255\n"
              "v 10 10 0 2048 2048 0 0 127 255\n"
              "v 0 10 0 0 2048 0 0 127 255\n"
              "v -5 5 0 1024 3072 0 0 127 255\n"
              "tri 4 1 0\n"
              "tri 4 2 1\n"
              "tri 4 3 2\n"
              "rect 0 0 32 32 64\n");
    EXPECT_EQ(c.warnings, (std::vector<std::string>{
                              kTmemWarning,
                              "Warning: polygon 0 of layer 0 has no texture coordinates, no tile made.\n",
                              "Warning: skipped 2 polygons with fewer than three corners in layer 0.\n",
                              "Warning: polygon 0 of layer 1 has no texture coordinates, no tile made.\n",
                          }));
}

TEST(Convert, TileRectanglesAreClampedAndSkipValuesThatAreNotNumbers) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    lwofront::Layr l = layer(kSquare, {{0, 1, 2}, {0, 2, 3}});
    l.vmaps.push_back(txuv({{0, {-0.5f, nan}}, {1, {1.5f, 0}}, {2, {0, nan}}, {3, {nan, nan}}}));
    Converted c = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", true));
    ASSERT_TRUE(c.mesh);
    ASSERT_EQ(c.mesh->layer_rects.size(), 2u);
    const ultraback::Rectangle& r = c.mesh->layer_rects[0].second;
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{0, 64, 96, 64}));
    const ultraback::Rectangle& s = c.mesh->layer_rects[1].second;
    EXPECT_EQ((std::vector<int>{s.left, s.top, s.right, s.bottom}), (std::vector<int>{0, 64, 0, 64}));
}

TEST(Convert, TilePolygonNamingAPointTwice) {
    // The earlier corner of point 0 has no texture value in the tile: its
    // copy keeps s = t = 0, and the polygon uses the later one.
    lwofront::Layr l = layer(kSquare, {{0, 1, 0, 2}});
    l.vmaps.push_back(txuv({{0, {0.5f, 0.5f}}, {1, {1, 0.5f}}, {2, {0.5f, 1}}}));
    Converted c = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", true));
    ASSERT_TRUE(c.mesh);
    ASSERT_EQ(c.mesh->layers.size(), 1u);
    EXPECT_EQ(mesh_text::vertices_and_primitives(c.mesh->layers[0]),
              "v 0 0 0 0 0 0 0 0 255\n"
              "v 10 0 0 4096 2048 0 0 0 255\n"
              "v 0 0 0 2048 2048 0 0 0 255\n"
              "v 0 10 0 2048 0 0 0 0 255\n"
              "quad 1 2 3 2\n");
}

TEST(Convert, LayersAreNotTiledByTexturesThatFitOrAreNotThere) {
    const struct {
        const char* name;
        std::vector<lwofront::SurfAttr> attributes;
        std::map<std::string, image::Image> files;
    } cases[] = {
        {"texture fits", {blok({1})}, {{"big.png", picture(32, 32, 17)}}},
        {"image not loaded", {blok({1})}, {}},
        {"Imag 0", {blok({0})}, {{"big.png", picture(64, 64, 17)}}},
        {"first block without Imag", {blok({}), blok({1})}, {{"big.png", picture(64, 64, 17)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lwofront::Layr l = layer(kSquare, {{0, 1, 2}, {2, 1, 3}});
        l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}}));
        lwofront::Object o = object_with({"Big"}, {surface("Big", c.attributes)}, {clip("big.png")}, {tagged(l, 0)});
        Converted out = convert(o, c.files, in_dir("", true));
        ASSERT_TRUE(out.mesh);
        ASSERT_EQ(out.mesh->layers.size(), 1u);
        EXPECT_TRUE(out.mesh->layers[0].attributes.empty());
        EXPECT_TRUE(out.mesh->layer_rects.empty());
    }
}

TEST(Convert, IsDeterministic) {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {-5, 5, 0}}, {{0, 1, 2, 3, 4}, {0, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {0.5f, 0}}, {2, {0.5f, 0.5f}}, {3, {0, 0.5f}}, {4, {0.25f, 0.25f}}}));
    l.vmads.push_back(txuv_vmad({{1, 1, {0.75f, 0.75f}}}));
    for (bool tile : {false, true}) {
        Converted first = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", tile));
        Converted second = convert(textured_object({tagged(l, 0)}), {{"big.png", picture(64, 64, 17)}}, in_dir("", tile));
        ASSERT_TRUE(first.mesh && second.mesh);
        EXPECT_EQ(text(first), text(second));
        EXPECT_EQ(std::get<ultraback::Rgba16>(first.mesh->textures[0].texels).texels,
                  std::get<ultraback::Rgba16>(second.mesh->textures[0].texels).texels);
        EXPECT_EQ(first.warnings, second.warnings);
    }
}

// Layers of different sizes, batched side by side on the machine's threads:
// each comes out as if batched alone, one after another.
TEST(Convert, BatchedLayersAreEachBatchedAlone) {
    const auto grid = [](std::uint32_t side, std::uint16_t number) {
        std::vector<Vec3> points;
        std::vector<std::vector<std::uint32_t>> quads;
        for (std::uint32_t y = 0; y <= side; ++y)
            for (std::uint32_t x = 0; x <= side; ++x) points.push_back({float(x), float(y), float((x * y) % 3)});
        for (std::uint32_t y = 0; y < side; ++y) {
            for (std::uint32_t x = 0; x < side; ++x) {
                const std::uint32_t p = y * (side + 1) + x;
                quads.push_back({p, p + 1, p + side + 2, p + side + 1});
            }
        }
        return layer(points, quads, number);
    };
    const lwofront::Object o = object_with({}, {}, {}, {grid(40, 0), grid(3, 1), grid(25, 2), grid(1, 3), grid(60, 4)});
    for (std::size_t cache_size : {3u, 16u, 32u}) {
        SCOPED_TRACE(cache_size);
        Converted together = convert(o, {}, batched(true, cache_size));
        Converted alone = convert(o, {}, batched(false, cache_size));
        ASSERT_TRUE(together.mesh && alone.mesh);
        for (ultraback::Layer& l : alone.mesh->layers) converter::batch_layer(l, cache_size);
        ultraback::StringSink together_text, alone_text;
        ASSERT_TRUE(ultraback::save(*together.mesh, "mesh", together_text));
        ASSERT_TRUE(ultraback::save(*alone.mesh, "mesh", alone_text));
        EXPECT_EQ(together_text.text, alone_text.text);
    }
}

// Each output layer is handed on once final, in order, batched ones too:
// what is handed on is what the mesh holds without the hand-over.
TEST(Convert, HandsOnEachLayerInOrderOnceFinal) {
    const lwofront::Object o = object_with({}, {}, {}, {layer(kSquare, {{0, 1, 3, 2}}, 0), layer(kSquare, {{0, 1, 2}}, 1),
                                                     layer(kSquare, {{0, 1, 2}, {2, 1, 3}}, 2)});
    for (const bool batch : {false, true}) {
        SCOPED_TRACE(batch ? "batched" : "not batched");
        const converter::Options options = batched(batch, 16);
        Converted plain = convert(o, {}, options);
        ASSERT_TRUE(plain.mesh);
        std::vector<ultraback::Layer> handed;
        Result<ultraback::Mesh> mesh = converter::convert(
            o, options, {}, [](std::string_view) {}, {}, [&](ultraback::Layer& l) { handed.push_back(std::move(l)); });
        ASSERT_TRUE(mesh);
        ASSERT_EQ(handed.size(), plain.mesh->layers.size());
        for (std::size_t n = 0; n < handed.size(); ++n) {
            EXPECT_TRUE(mesh->layers[n].vertices.empty());
            mesh->layers[n] = std::move(handed[n]);
        }
        ultraback::StringSink plain_text, handed_text;
        ASSERT_TRUE(ultraback::save(*plain.mesh, "mesh", plain_text));
        ASSERT_TRUE(ultraback::save(*mesh, "mesh", handed_text));
        EXPECT_EQ(handed_text.text, plain_text.text);
    }
}

TEST(Convert, LayerTooLargeEndsTheConversion) {
    lwofront::Object o = object_with({}, {}, {}, {layer(kSquare), layer(std::vector<Vec3>(40000))});
    Converted c = convert(o, {});
    ASSERT_FALSE(c.mesh);
    EXPECT_EQ(c.mesh.error().kind, ErrorKind::Conversion);
    EXPECT_EQ(c.mesh.error().description(), "layer 1 has 40000 vertices, more than the 32768 a display list can address");
}

}  // namespace
