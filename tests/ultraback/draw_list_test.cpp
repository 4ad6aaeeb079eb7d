// The draw list (-g) of meshes made here: its whole text for a small mesh,
// and, for a texture of every texel format, the state the test interpreter
// (support/gbi) finds when it runs the list built against the test header.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"
#include "ultraback/draw_list.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

using test_support::run_command;
using test_support::shell_quote;

// One quad whose texture coordinates run from 0 to `s_max`, `t_max` (texels
// times 64), with normals, or with colours for a vertex-colour layer.
Layer quad_layer(std::size_t material, std::int16_t s_max, std::int16_t t_max, bool vertex_colors = false) {
    Layer layer;
    layer.material = material;
    layer.vertex_colors = vertex_colors;
    layer.vertices = {{0, 0, 0, 0, t_max, 0, 0, 127, 255},
                      {100, 0, 0, s_max, t_max, 0, 0, 127, 255},
                      {100, 100, 0, s_max, 0, 0, 0, 127, 255},
                      {0, 100, 0, 0, 0, 0, 0, 127, 255}};
    layer.primitives = {Quad{{0, 1, 2, 3}}};
    return layer;
}

TEST(DrawList, WholeTextSetsStateOnlyWhereItChanges) {
    Mesh mesh;
    mesh.textures.push_back({16, 4, Ci4{std::vector<std::uint8_t>(32, 0x01), {0x0001, 0xffff}}});
    mesh.materials.push_back({0, {1, 1, 1, 1}});
    mesh.materials.push_back({std::nullopt, {1.0f, 0.5f, 0.0f, 1.0f}});
    mesh.add_layer(quad_layer(0, 16 * 64, 4 * 64));
    mesh.add_layer(quad_layer(0, 16 * 64, 4 * 64));      // the same state: nothing between the calls
    mesh.add_layer(quad_layer(1, 0, 0));                 // the material colour
    mesh.add_layer(quad_layer(1, 0, 0, true));           // vertex colours, unlit
    mesh.add_layer(quad_layer(0, 32 * 64, 4 * 64));      // repeats along s: loaded again, wrapping
    EXPECT_EQ(draw_list_text(mesh, "thing"),
              "\nGfx thing_draw[] = {\n"
              "\tgsDPPipeSync(),\n"
              "\tgsDPSetCombineLERP(TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0),\n"
              "\tgsDPSetTextureLUT(G_TT_RGBA16),\n"
              "\tgsDPLoadTLUT_pal16(0, palette0),\n"
              "\tgsDPLoadTextureBlock_4b(texture0, G_IM_FMT_CI, 16, 4, 0, G_TX_CLAMP | G_TX_NOMIRROR, "
              "G_TX_CLAMP | G_TX_NOMIRROR, G_TX_NOMASK, G_TX_NOMASK, G_TX_NOLOD, G_TX_NOLOD),\n"
              "\tgsSPSetGeometryMode(G_LIGHTING),\n"
              "\tgsSPTexture(0x8000, 0x8000, 0, G_TX_RENDERTILE, G_ON),\n"
              "\tgsSPDisplayList(drawmesh0),\n"
              "\tgsSPDisplayList(drawmesh1),\n"
              "\tgsDPPipeSync(),\n"
              "\tgsDPSetCombineLERP(PRIMITIVE, 0, SHADE, 0, PRIMITIVE, 0, SHADE, 0, PRIMITIVE, 0, SHADE, 0, "
              "PRIMITIVE, 0, SHADE, 0),\n"
              "\tgsDPSetPrimColor(0, 0, 255, 128, 0, 255),\n"
              "\tgsSPTexture(0x8000, 0x8000, 0, G_TX_RENDERTILE, G_OFF),\n"
              "\tgsSPDisplayList(drawmesh2),\n"
              "\tgsDPPipeSync(),\n"
              "\tgsDPSetCombineLERP(0, 0, 0, SHADE, 0, 0, 0, SHADE, 0, 0, 0, SHADE, 0, 0, 0, SHADE),\n"
              "\tgsSPClearGeometryMode(G_LIGHTING),\n"
              "\tgsSPDisplayList(drawmesh3),\n"
              "\tgsDPPipeSync(),\n"
              "\tgsDPSetCombineLERP(TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0, TEXEL0, 0, SHADE, 0),\n"
              "\tgsDPLoadTextureBlock_4b(texture0, G_IM_FMT_CI, 16, 4, 0, G_TX_WRAP | G_TX_NOMIRROR, "
              "G_TX_CLAMP | G_TX_NOMIRROR, 4, G_TX_NOMASK, G_TX_NOLOD, G_TX_NOLOD),\n"
              "\tgsSPSetGeometryMode(G_LIGHTING),\n"
              "\tgsSPTexture(0x8000, 0x8000, 0, G_TX_RENDERTILE, G_ON),\n"
              "\tgsSPDisplayList(drawmesh4),\n"
              "\tgsSPEndDisplayList()\n"
              "};\n");
}

TEST(DrawList, FollowsTheRecordAndLeavesTheTextAboveAlone) {
    Mesh mesh;
    mesh.materials.push_back({std::nullopt, {1, 1, 1, 1}});
    mesh.add_layer(quad_layer(0, 0, 0));
    StringSink plain, drawn;
    ASSERT_TRUE(save(mesh, "mesh", plain).has_value());
    ASSERT_TRUE(save(mesh, "mesh", drawn, {false, true}).has_value());
    EXPECT_EQ(drawn.text, plain.text + draw_list_text(mesh, "mesh"));
}

TEST(DrawList, TextureLeftOffWhereTmemCannotHoldIt) {
    Mesh mesh;
    mesh.textures.push_back({64, 64, Rgba16{std::vector<std::uint16_t>(64 * 64)}});  // 8 KB
    mesh.textures.push_back({3, 3, I4{std::vector<std::uint8_t>(5)}});  // rows that start inside a byte
    mesh.textures.push_back({0, 0, Unknown{}});  // an image that could not be loaded
    mesh.textures.push_back({1500, 1, I8{std::vector<std::uint8_t>(1500)}});  // past a tile's 10.2 corners
    mesh.textures.push_back({4, 4, Rgba16{std::vector<std::uint16_t>(15)}});  // fewer texels than its size
    for (std::size_t j = 0; j < 5; ++j) {
        mesh.materials.push_back({j, {1, 1, 1, 1}});
        mesh.add_layer(quad_layer(j, 64, 64));
    }
    for (std::size_t n = 0; n < mesh.layers.size(); ++n) {
        const LayerState state = layer_state(mesh, n);
        EXPECT_FALSE(state.texture.has_value()) << n;
        EXPECT_EQ(state.combiner, Combiner::PrimitiveShade) << n;
    }
}

// ---- every texel format through the interpreter ----

// A mesh with one layer per texture, in texture order; each texture 8 by 4
// (16 by 4 for the 4-bit ones), filled with `fill`.
Mesh every_format_mesh() {
    Mesh mesh;
    std::vector<std::uint16_t> palette16(16, 0xf801), palette256(256, 0x07c1);
    mesh.textures = {
        {16, 4, Ci4{std::vector<std::uint8_t>(32, 0x12), palette16}},
        {8, 4, Ci8{std::vector<std::uint8_t>(32, 0x03), palette256}},
        {8, 4, Rgba16{std::vector<std::uint16_t>(32, 0xffff)}},
        {8, 4, Rgba32{std::vector<std::uint32_t>(32, 0xff0000ffu)}},
        {16, 4, I4{std::vector<std::uint8_t>(32, 0x7f)}},
        {8, 4, I8{std::vector<std::uint8_t>(32, 0x80)}},
        {16, 4, Ia4{std::vector<std::uint8_t>(32, 0xf1)}},
        {8, 4, Ia8{std::vector<std::uint8_t>(32, 0xff)}},
        {8, 4, Ia16{std::vector<std::uint16_t>(32, 0xff80)}},
        {6, 4, Rgba16{std::vector<std::uint16_t>(24, 0x0001)}},  // rows of 12 bytes: loaded as a tile
    };
    for (std::size_t j = 0; j < mesh.textures.size(); ++j) {
        mesh.materials.push_back({j, {1, 1, 1, 1}});
        mesh.add_layer(quad_layer(j, static_cast<std::int16_t>(mesh.textures[j].width * 64), 4 * 64));
    }
    // The CI4 texture again, repeating along t; then one tile of it.
    mesh.add_layer(quad_layer(0, 16 * 64, 8 * 64));
    Layer tile = quad_layer(0, 11 * 64, 3 * 64);
    tile.attributes.insert(LayerAttribute::PreventSeams);
    mesh.add_layer(std::move(tile));
    mesh.layer_rects.push_back({mesh.layers.size() - 1, Rectangle{5, 1, 11, 3}});
    return mesh;
}

std::string text_with_draw_list(const Mesh& mesh, bool fast3d) {
    StringSink sink;
    EXPECT_TRUE(save(mesh, "mesh", sink, {fast3d, true}).has_value());
    return sink.text;
}

// The interpreter's state lines for a C text with a draw list, against the
// test header (Fast3D's with `fast3d`); or its refusal.
test_support::CommandResult interpret(const std::string& text, bool fast3d) {
    test_support::TempDir dir;
    const std::string support = QUILLMESH_TEST_HEADER_DIR;
    const auto source = dir.path() / "mesh.c";
    const auto program = dir.path() / "run";
    test_support::write_file(source, text);
    auto built = run_command("cc -std=c99 -Wall -Werror -DQUILLMESH_TEST_DRAW=mesh_draw -I" +
                             shell_quote(fast3d ? support + "/fast3d" : support) + " -I" + shell_quote(support) +
                             " -o " + shell_quote(program.string()) + " " + shell_quote(support + "/gbi/interpret.c") +
                             " " + shell_quote(source.string()));
    if (built.exit_status != 0) return built;
    test_support::CommandResult ran = run_command(shell_quote(program.string()) + " 16");
    if (ran.exit_status != 0) return ran;
    // Only the state lines; the triangles are the layers' own.
    std::string states;
    for (std::size_t at = 0, end = 0; at < ran.output.size(); at = end + 1) {
        end = ran.output.find('\n', at);
        if (end == std::string::npos) end = ran.output.size();
        if (ran.output.compare(at, 6, "state ") == 0) states += ran.output.substr(at, end - at) + "\n";
    }
    ran.output = states;
    return ran;
}

TEST(DrawList, EveryTexelFormatLoadsAsItsTableSays) {
    // fmt: RGBA 0, CI 2, IA 3, I 4; siz: 4b 0, 8b 1, 16b 2, 32b 3; cm: wrap
    // 0, clamp 2.
    const std::string expected =
        "state 0: lit 1 combine texture*shade texture 0 fmt 2 siz 0 tile 0 0 15 3 cm 2 2 mask 0 0 palette loaded\n"
        "state 1: lit 1 combine texture*shade texture 1 fmt 2 siz 1 tile 0 0 7 3 cm 2 2 mask 0 0 palette loaded\n"
        "state 2: lit 1 combine texture*shade texture 2 fmt 0 siz 2 tile 0 0 7 3 cm 2 2 mask 0 0 palette none\n"
        "state 3: lit 1 combine texture*shade texture 3 fmt 0 siz 3 tile 0 0 7 3 cm 2 2 mask 0 0 palette none\n"
        "state 4: lit 1 combine texture*shade texture 4 fmt 4 siz 0 tile 0 0 15 3 cm 2 2 mask 0 0 palette none\n"
        "state 5: lit 1 combine texture*shade texture 5 fmt 4 siz 1 tile 0 0 7 3 cm 2 2 mask 0 0 palette none\n"
        "state 6: lit 1 combine texture*shade texture 6 fmt 3 siz 0 tile 0 0 15 3 cm 2 2 mask 0 0 palette none\n"
        "state 7: lit 1 combine texture*shade texture 7 fmt 3 siz 1 tile 0 0 7 3 cm 2 2 mask 0 0 palette none\n"
        "state 8: lit 1 combine texture*shade texture 8 fmt 3 siz 2 tile 0 0 7 3 cm 2 2 mask 0 0 palette none\n"
        "state 9: lit 1 combine texture*shade texture 9 fmt 0 siz 2 tile 0 0 5 3 cm 2 2 mask 0 0 palette none\n"
        "state 10: lit 1 combine texture*shade texture 0 fmt 2 siz 0 tile 0 0 15 3 cm 2 0 mask 0 2 palette loaded\n"
        "state 11: lit 1 combine texture*shade texture 0 fmt 2 siz 0 tile 4 1 11 2 cm 2 2 mask 0 0 palette loaded\n";
    for (bool fast3d : {false, true}) {
        SCOPED_TRACE(fast3d ? "Fast3D" : "F3DEX2");
        const test_support::CommandResult ran = interpret(text_with_draw_list(every_format_mesh(), fast3d), fast3d);
        ASSERT_EQ(ran.exit_status, 0) << ran.output.substr(0, 2000);
        EXPECT_EQ(ran.output, expected);
    }
}

// The interpreter is the judge above, so it must refuse what the console
// would draw wrong: each row spoils the good list in one place.
TEST(DrawList, InterpreterRefusesSpoiledLists) {
    struct Case {
        std::string from, to, message;
    };
    const std::string good = text_with_draw_list(every_format_mesh(), false);
    const std::string first_call = "\tgsSPDisplayList(drawmesh0),\n";
    const std::vector<Case> cases = {
        {first_call + "\tgsDPPipeSync(),\n", first_call, "layer 1, command 21: state changed after drawing without a pipe sync"},
        {"gsDPSetTextureLUT(G_TT_RGBA16)", "gsDPSetTextureLUT(G_TT_NONE)",
         "layer 0, command 18: palette lookup off for a colour-indexed texture"},
        {"gsDPLoadTLUT_pal16(0, palette0)", "gsDPLoadTLUT_pal16(0, palette1)",
         "layer 0, command 18: palette is not the texture's"},
        {"gsSPTexture(0x8000, 0x8000", "gsSPTexture(0xffff, 0xffff",
         "layer 0, command 18: texture scale is not for texels times 64"},
        {"G_IM_FMT_I, G_IM_SIZ_8b", "G_IM_FMT_IA, G_IM_SIZ_8b", "layer 5, command 70: tile format is not the texture's"},
        {"\tgsSPDisplayList(drawmesh11),\n", "", "layer 11, command 131: draw list ends before the last layer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        std::string spoiled = good;
        const std::size_t at = spoiled.find(c.from, spoiled.find("_draw[]"));
        ASSERT_NE(at, std::string::npos);
        spoiled.replace(at, c.from.size(), c.to);
        const test_support::CommandResult ran = interpret(spoiled, false);
        EXPECT_EQ(ran.exit_status, 1);
        EXPECT_TRUE(ran.output.ends_with(c.message + "\n")) << ran.output.substr(ran.output.rfind('\n', ran.output.size() - 2));
    }
}

}  // namespace
}  // namespace ultraback
