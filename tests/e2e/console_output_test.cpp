// Output as the console needs it, through the built program on tiny objects:
// texel and palette arrays at 8-byte-aligned addresses, and -f lists that
// use only the one-triangle command.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.hpp"

namespace e2e {
namespace {

using test_support::run_command;
using test_support::shell_quote;
using test_support::TempDir;
using test_support::write_file;

// n pixels in a row, each its own colour: n colours.
std::string distinct_row_png(std::uint8_t n) {
    std::vector<Rgba> pixels;
    for (std::uint8_t k = 0; k < n; ++k) pixels.push_back({static_cast<std::uint8_t>(8 * k), 0, 0, 255});
    return rgba_png(n, 1, pixels);
}

// Three clips whose arrays have sizes that are not multiples of 8: a 10-byte
// palette with 3 index bytes, 34 bytes of RGBA16, a 2-byte palette with 1
// index byte. Packed one after the other, most would start at 2 or 4 mod 8.
std::string three_textures_object() {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"A"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, "five.png");
        clip(b, 2, "seventeen.png");
        clip(b, 3, "one.png");
        surface(b, "A", std::nullopt, 1);
    });
    return bytes_text(b);
}

// Prints each texel and palette array's address modulo `ALIGN`.
constexpr const char* kAddressCheck = R"(#include <stdint.h>
#include <stdio.h>
#include "myheader.h"
extern StaticMesh mesh;
int main(void) {
    u32 i;
    for (i = 0; i < mesh.texture_count; ++i) {
        const Texture *t = &mesh.textures[i];
        printf("%u %u", (unsigned)(i), (unsigned)((uintptr_t)t->texels % ALIGN));
        if (t->palette) printf(" %u", (unsigned)((uintptr_t)t->palette % ALIGN));
        printf("\n");
    }
    return 0;
}
)";

TEST(ConsoleOutput, TexelAndPaletteArraysAreEightByteAligned) {
    TempDir dir;
    write_file(dir.path() / "three.lwo", three_textures_object());
    write_file(dir.path() / "five.png", distinct_row_png(5));
    write_file(dir.path() / "seventeen.png", distinct_row_png(17));
    write_file(dir.path() / "one.png", distinct_row_png(1));
    const ProgramRun run = run_quillmesh(dir.path(), "three.lwo -o three.c", "three.c");
    ASSERT_EQ(run.exit_status, 0) << run.output;
    write_file(dir.path() / "check.c", kAddressCheck);

    // The default alignment, and one that the game's header sets first.
    struct Case {
        std::string defines;
        int align;
    };
    for (const Case& c : std::vector<Case>{
             {"-DALIGN=8", 8},
             {"-DALIGN=64 '-DTEXTURE_ALIGN=__attribute__((aligned(64)))'", 64},
         }) {
        SCOPED_TRACE(c.defines);
        const std::string program = (dir.path() / "check").string();
        const auto built = run_command("cd " + shell_quote(dir.path().string()) + " && cc -std=c99 -Wall -Werror " +
                                       c.defines + " -I" + shell_quote(QUILLMESH_TEST_HEADER_DIR) +
                                       " -o check check.c three.c");
        ASSERT_EQ(built.exit_status, 0) << built.output;
        EXPECT_EQ(run_command(shell_quote(program)).output, "0 0 0\n1 0\n2 0 0\n");
    }
}

// A quad and a triangle, no surface.
std::string quad_and_triangle_object() {
    lwo_test::Builder b;
    b.form([&] {
        layer(b, 0);
        points(b, {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}, {20, 0, 0}});
        faces(b, {{0, 1, 2, 3}, {3, 2, 4}});
    });
    return bytes_text(b);
}

TEST(ConsoleOutput, Fast3dListsUseOnlyTheOneTriangleCommand) {
    TempDir dir;
    write_file(dir.path() / "shape.lwo", quad_and_triangle_object());
    const ProgramRun run = run_quillmesh(dir.path(), "shape.lwo -f -n shape", "shape.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // The quad (c1, c0, c3, c2) = (1, 0, 3, 2) as slots (0, 1, 2) and
    // (0, 2, 3); the triangle (3, 2, 4) as (3, 4, 2). Normals: the quad faces
    // -z (0x81), the triangle too; point 3 and 2 share both.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 20, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[1], 1, 0),
\tgsSPVertex(&vts0[0], 1, 1),
\tgsSPVertex(&vts0[3], 1, 2),
\tgsSPVertex(&vts0[2], 1, 3),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSP1Triangle(0, 2, 3, 0),
\tgsSPVertex(&vts0[3], 1, 0),
\tgsSPVertex(&vts0[4], 1, 1),
\tgsSPVertex(&vts0[2], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh shape = STATICMESH_INIT( layers, 1, materials, 1, NULL, 0 ); 
)"));

    // Batched, too, every triangle alone.
    const ProgramRun batched = run_quillmesh(dir.path(), "shape.lwo -f -b -o batched.c", "batched.c");
    EXPECT_EQ(batched.exit_status, 0);
    EXPECT_EQ(batched.c_text.find("gsSP2Triangles"), std::string::npos);
    std::size_t commands = 0;
    for (std::size_t at = 0; (at = batched.c_text.find("gsSP1Triangle(", at)) != std::string::npos; ++at) ++commands;
    EXPECT_EQ(commands, 3u);
}

// Polygons of two surfaces in one layer, the first polygon Blue: a triangle
// (0, 1, 2) and a triangle (2, 4, 5) of Blue around a quad (1, 3, 4, 2) of
// Red, all facing +z; point 6 is used by none.
std::string two_surfaces_object() {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Red", "Blue"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {20, 0, 0}, {20, 10, 0}, {15, 20, 0}, {99, 99, 0}});
        faces(b, {{0, 1, 2}, {1, 3, 4, 2}, {2, 4, 5}});
        surface_tags(b, {1, 0, 1});
        surface(b, "Red", Point{1, 0, 0}, 0);
        surface(b, "Blue", Point{0, 0, 1}, 0);
    });
    return bytes_text(b);
}

TEST(ConsoleOutput, OneLayerPerSurfaceWithItsMaterial) {
    TempDir dir;
    write_file(dir.path() / "two.lwo", two_surfaces_object());
    const ProgramRun run = run_quillmesh(dir.path(), "two.lwo -m -n two", "two.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");  // no warning about several surfaces
    // Layer 0, Blue (material 1): points 0, 1, 2, 4, 5 renumbered 0 to 4, the
    // triangles (0, 2, 1) and (2, 4, 3) as drawn. Layer 1, Red (material 0):
    // points 1, 2, 3, 4 as 0 to 3, the quad (0, 2, 3, 1) drawn (2, 0, 1, 3).
    const std::string vertex = "\t{\n\t\t{ { X }, 0, { 0, 0 }, { 0x00, 0x00, 0x7f, 0xff } }\n\t},\n";
    auto vertices = [&](std::vector<std::string> positions) {
        std::string text;
        for (const std::string& p : positions) text += std::string(vertex).replace(vertex.find('X'), 1, p);
        return text;
    };
    const std::string expected =
        "#include \"myheader.h\"\n\nstatic Vtx vts0[] = {\n" +
        vertices({"0, 0, 0", "10, 0, 0", "10, 10, 0", "20, 10, 0", "15, 20, 0"}) +
        with_tabs(R"(};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts0[2], 1, 0),
\tgsSPVertex(&vts0[4], 1, 1),
\tgsSPVertex(&vts0[3], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Vtx vts1[] = {
)") + vertices({"10, 0, 0", "10, 10, 0", "20, 0, 0", "20, 10, 0"}) +
        with_tabs(R"(};

static Gfx drawmesh1[] = {
\tgsSPVertex(&vts1[2], 1, 0),
\tgsSPVertex(&vts1[0], 1, 1),
\tgsSPVertex(&vts1[1], 1, 2),
\tgsSPVertex(&vts1[3], 1, 3),
\tgsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 1, 0, 0, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
\tMATERIAL_INIT( VECTOR4F_SET( 0, 0, 1, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 1, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
\tLAYER_INIT( 0, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh two = STATICMESH_INIT( layers, 2, materials, 2, NULL, 0 ); 
)");
    EXPECT_EQ(run.c_text, expected);

    // Without -m the output is today's: one layer, the lowest surface's
    // material, and the warning.
    const ProgramRun plain = run_quillmesh(dir.path(), "two.lwo -o plain.c", "plain.c");
    EXPECT_EQ(plain.output, "Warning: more than one surface referenced in layer 0.\n"
                            "Hint: -m gives each surface of a layer an output layer of its own\n");
    EXPECT_NE(plain.c_text.find("LAYER_INIT( 0, drawmesh0"), std::string::npos);
    EXPECT_EQ(plain.c_text.find("drawmesh1"), std::string::npos);
}

TEST(ConsoleOutput, OneLayerPerSurfaceTilesOnlyTheGroupsOverBudget) {
    // Red's texture, 64 x 64 of 64 colours, is RGBA16 and over budget.
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Red", "Blue"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {20, 0, 0}, {20, 10, 0}, {15, 20, 0}});
        txuv(b, {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}, {1, 0}, {1, 0.5f}, {0.75f, 1}});
        faces(b, {{0, 1, 2}, {1, 3, 4, 2}, {2, 4, 5}});
        surface_tags(b, {1, 0, 1});
        clip(b, 1, "big.png");
        surface(b, "Red", Point{1, 0, 0}, 1);
        surface(b, "Blue", Point{0, 0, 1}, 0);
    });
    std::vector<Rgba> pixels;
    for (int k = 0; k < 64 * 64; ++k) pixels.push_back({static_cast<std::uint8_t>(4 * (k % 64)), 0, 0, 255});
    TempDir dir;
    write_file(dir.path() / "two.lwo", bytes_text(b));
    write_file(dir.path() / "big.png", rgba_png(64, 64, pixels));

    auto count = [](const std::string& text, const std::string& piece) {
        std::size_t n = 0;
        for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
        return n;
    };
    // The whole layer is Red's without -m: three tiles. With -m only Red's
    // quad is a tile; Blue's triangles stay one layer.
    const ProgramRun plain = run_quillmesh(dir.path(), "two.lwo -t -o plain.c", "plain.c");
    EXPECT_EQ(count(plain.c_text, "LAYER_INIT("), 3u);
    EXPECT_EQ(count(plain.c_text, "LAYERATTRIBUTE_PREVENT_SEAMS"), 3u);
    const ProgramRun split = run_quillmesh(dir.path(), "two.lwo -m -t -o split.c", "split.c");
    EXPECT_EQ(split.output, "Warning: texture won't fit into TMEM\n");
    EXPECT_EQ(count(split.c_text, "LAYER_INIT("), 2u);
    EXPECT_NE(split.c_text.find("LAYER_INIT( 1, drawmesh0"), std::string::npos);
    EXPECT_NE(split.c_text.find("LAYER_INIT( 0, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  "
                                "RECTANGLE_INIT(32, 32, 64, 64), LAYERATTRIBUTE_PREVENT_SEAMS )"),
              std::string::npos)
        << split.c_text.substr(split.c_text.find("static Layer"));
}

// Two triangles sharing the edge 1-2. An RGBA map colours points 0 and 1;
// point 2 and 3 have no colour. The map's VMAD (same type, same name) gives
// point 1 another colour in polygon 1 only.
std::string colored_object(bool with_map) {
    lwo_test::Builder b;
    b.form([&] {
        layer(b, 0);
        points(b, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}});
        if (with_map) {
            b.chunk("VMAP", [&] {
                b.id("RGBA").u2(4).str("Colors");
                b.vx(0).f4(1).f4(0.5f).f4(0).f4(1);
                b.vx(1).f4(0.2f).f4(2).f4(-1).f4(1);  // clamped
            });
        }
        faces(b, {{0, 1, 2}, {1, 3, 2}});
        if (with_map) {
            b.chunk("VMAD", [&] {
                b.id("RGBA").u2(4).str("Colors");
                b.vx(1).vx(1).f4(0).f4(0).f4(1).f4(0.5f);
            });
        }
    });
    return bytes_text(b);
}

TEST(ConsoleOutput, VertexColoursTakeTheNormalsPlace) {
    TempDir dir;
    write_file(dir.path() / "colored.lwo", colored_object(true));
    const ProgramRun run = run_quillmesh(dir.path(), "colored.lwo -v -n colored", "colored.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // (1, 0.5, 0) gives ff 80 00 (127.5 rounds up); (0.2, 2, -1) gives 33 ff
    // 00; no entry gives white; the VMAD's (0, 0, 1, 0.5) gives 00 00 ff 80
    // to point 4, a copy of point 1 that polygon 1 uses instead.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0xff, 0x80, 0x00, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x33, 0xff, 0x00, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0xff, 0xff, 0xff, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 0, 0 }, { 0xff, 0xff, 0xff, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0xff, 0x80 } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts0[4], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[3], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh colored = STATICMESH_INIT( layers, 1, materials, 1, NULL, 0 ); 
)"));

    // Without -v the map changes nothing.
    write_file(dir.path() / "plain.lwo", colored_object(false));
    const ProgramRun with_map = run_quillmesh(dir.path(), "colored.lwo -o a.c", "a.c");
    const ProgramRun without = run_quillmesh(dir.path(), "plain.lwo -o b.c", "b.c");
    EXPECT_EQ(with_map.c_text, without.c_text);

    // A layer without a colour map keeps its normals, with a warning.
    const ProgramRun no_map = run_quillmesh(dir.path(), "plain.lwo -v -o c.c", "c.c");
    EXPECT_EQ(no_map.output, "Warning: layer 0 has no vertex colour map; it keeps its normals.\n");
    EXPECT_EQ(no_map.c_text, without.c_text);
}

TEST(ConsoleOutput, AnUnusedColourMapLendsNoColours) {
    // The modeller's box has a second colour map, "Vertex Color_Unused",
    // whose VMAD comes first; only the first map's own values may colour it:
    // (206, 82, 255) where the unused map would give (182, 0, 39).
    TempDir dir;
    const std::filesystem::path real = QUILLMESH_REAL_LWO2_DIR;
    std::filesystem::copy_file(real / "box_2vc_1unused.lwo", dir.path() / "box.lwo");
    std::filesystem::copy_file(real / "white.bmp", dir.path() / "white.bmp");
    const ProgramRun run = run_quillmesh(dir.path(), "box.lwo -v -o box.c", "box.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.c_text.find("{ 0xce, 0x52, 0xff, "), std::string::npos);
    EXPECT_EQ(run.c_text.find("{ 0xb6, 0x00, 0x27, "), std::string::npos);
}

}  // namespace
}  // namespace e2e
