#include "converter/tile.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/mesh_text.hpp"
#include "converter/model_builder.hpp"
#include "converter/texturing/texture.hpp"

namespace {

using namespace model_builder;

struct Tiled {
    ultraback::Mesh mesh;
    std::vector<std::string> warnings;
};

// Tiles `l` measured in a 64 x 64 RGBA16 texture, which is over the budget.
Tiled tile(const lwofront::Layr& l, bool vertex_colors = false) {
    Tiled out;
    const ultraback::Texture texture = converter::prepare_texture(picture(64, 64, 17));
    const converter::LayerMaps maps = converter::resolve_maps(l, vertex_colors);
    const converter::LayerSettings settings{.material = 2,
                                            .texture = converter::TextureSize{64, 64},
                                            .attributes = {},
                                            .position = 5,
                                            .max_vertices = converter::kMaxBatchedVertices};
    const Status done = converter::append_tiles(out.mesh, l, maps, settings, texture, 9,
                                                [&](std::string_view line) { out.warnings.emplace_back(line); });
    EXPECT_TRUE(done);
    return out;
}

// Two triangles over a square, on the texture's upper left quarter.
lwofront::Layr square() {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}, {{0, 1, 2}, {2, 1, 3}});
    l.vmaps.push_back(txuv({{0, {0.25f, 0.75f}}, {1, {0.5f, 0.75f}}, {2, {0.25f, 1}}, {3, {0.75f, 0.5f}}}));
    return l;
}

TEST(AppendTiles, OneLayerPerPolygonWithTheRectangleItCovers) {
    const Tiled t = tile(square());
    EXPECT_EQ(mesh_text::mesh(t.mesh),
              "layer 0 material 2 seams\n"
              "v 0 0 0 1024 1024 0 0 127 255\n"
              "v 10 0 0 2048 1024 0 0 127 255\n"
              "v 0 10 0 1024 0 0 0 127 255\n"
              "tri 0 2 1\n"
              "layer 1 material 2 seams\n"
              "v 0 10 0 1024 0 0 0 127 255\n"
              "v 10 0 0 2048 1024 0 0 127 255\n"
              "v 10 10 0 3072 2048 0 0 127 255\n"
              "tri 0 2 1\n"
              "rect 0 16 0 32 16\n"
              "rect 1 16 0 48 32\n");
    EXPECT_TRUE(t.warnings.empty());
}

TEST(AppendTiles, TilesKeepTheirPolygonsOwnTextureValues) {
    // A seam: point 1 has another texture value in polygon 1 than its
    // point's. The tile of polygon 1 draws that value, and its rectangle
    // reaches it (u = 0.875 is texel 56), just as the whole layer would.
    lwofront::Layr l = square();
    l.vmads.push_back(txuv_vmad({{1, 1, {0.875f, 0.625f}}}));
    const Tiled t = tile(l);
    // Polygon 0 has no values of its own: its tile is as without the VMAD.
    EXPECT_EQ(mesh_text::layer(t.mesh.layers.at(0)), mesh_text::layer(tile(square()).mesh.layers.at(0)));
    EXPECT_EQ(mesh_text::vertices_and_primitives(t.mesh.layers.at(1)),
              "v 0 10 0 1024 0 0 0 127 255\n"
              "v 10 0 0 3584 1536 0 0 127 255\n"
              "v 10 10 0 3072 2048 0 0 127 255\n"
              "tri 0 2 1\n");
    ASSERT_EQ(t.mesh.layer_rects.size(), 2u);
    const ultraback::Rectangle r = t.mesh.layer_rects[1].second;
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{16, 0, 56, 32}));
}

TEST(AppendTiles, TilesKeepTheirPolygonsOwnColours) {
    // The unused map's VMAD does not count; the used map's does.
    lwofront::Layr l = square();
    l.vmaps.push_back(rgb({{0, {1, 0, 0}}, {1, {1, 0, 0}}, {2, {1, 0, 0}}, {3, {1, 0, 0}}}, "used"));
    l.vmads.push_back(rgb_vmad({{2, 1, {0, 1, 0}}}, "unused"));
    l.vmads.push_back(rgb_vmad({{1, 1, {0, 0, 1}}}, "used"));
    const Tiled t = tile(l, true);
    EXPECT_EQ(mesh_text::vertices_and_primitives(t.mesh.layers.at(1)),
              "v 0 10 0 1024 0 -1 0 0 255\n"
              "v 10 0 0 2048 1024 0 0 -1 255\n"
              "v 10 10 0 3072 2048 -1 0 0 255\n"
              "tri 0 2 1\n");
}

TEST(AppendTiles, PolygonsWithoutTextureValuesMakeNoTile) {
    lwofront::Layr l = square();
    l.vmaps[0] = txuv({{0, {0.25f, 0.75f}}, {1, {0.5f, 0.75f}}, {2, {0.25f, 1}}});
    l.vmads.push_back(txuv_vmad({{3, 0, {0.5f, 0.5f}}}));  // polygon 0 does not hold point 3
    l.pols.polygons.push_back({0, std::vector<std::uint32_t>{3, 3, 3}});
    const Tiled t = tile(l);
    EXPECT_EQ(t.mesh.layers.size(), 2u);  // polygon 1 has values at points 2 and 1
    EXPECT_EQ(t.warnings, std::vector<std::string>{"Warning: polygon 2 of layer 5 has no texture coordinates, no tile made.\n"});
}

}  // namespace
