// Whole runs of the built program on tiny objects made here: the complete C
// text and everything printed, against texts worked out by hand.
//
// The numbers follow the conversion rules: a position is truncated toward
// zero with z negated; s = trunc(u x width) x 64 and t = trunc((1 - v) x
// height) x 64; a normal is the mean of the unit normals (p1 - p0) x (p2 - p0)
// of the polygons holding the point, each component times 127, truncated, as
// a byte; a triangle (c0, c1, c2) is drawn (c0, c2, c1) and a quad (c0, c1,
// c2, c3) as (c1, c0, c3, c2); RGBA 5551 keeps the top 5 bits of r, g, b and
// the top bit of a. Images of 16 colours or fewer become CI4 with the palette
// in order of first appearance.

#include <gtest/gtest.h>

#include <string>

#include "e2e/e2e_support.hpp"

namespace e2e {
namespace {

using test_support::TempDir;
using test_support::write_file;

const Rgba kGrey{128, 128, 128, 255};  // RGBA 5551: 16 << 11 | 16 << 6 | 16 << 1 | 1 = 0x8421

// What the file says before its first texture array: the alignment the
// console needs, unless the game's header sets it.
const std::string kTextureAlignDefault = R"(#ifndef TEXTURE_ALIGN
#if defined(__GNUC__) || defined(__clang__)
#define TEXTURE_ALIGN __attribute__((aligned(8)))
#else
#define TEXTURE_ALIGN
#endif
#endif

)";

// The texture arrays and table line of a 4 x 4 image of one colour, kGrey:
// one palette entry, 16 pixels of index 0 in 8 bytes.
constexpr const char* kGrey4x4Arrays = R"(static u16 palette0[] TEXTURE_ALIGN = {
\t0x8421, 
};

static u8 texture0[] TEXTURE_ALIGN = {
\t0x00, 0x00, 0x00, 0x00, 
\t0x00, 0x00, 0x00, 0x00, 
};

static Texture textures[] = {
\tTEXTURE_INIT(4, 4, &texture0, 8, &palette0, 2, TEXTURE_FMT_CI4),
};

)";

void expect_compiles(const std::string& c_text) {
    test_support::CommandResult compiled = compile_c(c_text);
    EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
}

// One quad under a 4 x 2 image of three colours. The clip names the image
// in another directory; it is found beside the object all the same.
TEST(ExpectedText, TexturedQuadWithCi4Texture) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Skin"});
        layer(b, 0);
        points(b, {{-10.5f, -20.25f, 3.75f}, {-10.5f, 20.25f, 3.75f}, {10.5f, 20.25f, 3.75f}, {10.5f, -20.25f, 3.75f}});
        txuv(b, {{0, 0}, {-0.5f, 1}, {1, 1}, {0.99f, 0.3f}});
        faces(b, {{0, 1, 2, 3}});
        surface_tags(b, {0});
        clip(b, 1, "images/skin.png");
        surface(b, "Skin", Point{0.25f, 0.75f, 1}, 1);
    });
    // A = red 0xf801, B = green 0x07c1, C = (16, 32, 64, 0) 0x1110; palette
    // A, B, C. Pixels A B A C / C C B A give indices 0 1 0 2 2 2 1 0.
    const Rgba a{255, 0, 0, 255}, g{0, 255, 0, 255}, c{16, 32, 64, 0};
    TempDir dir;
    write_file(dir.path() / "quad.lwo", bytes_text(b));
    write_file(dir.path() / "skin.png", rgba_png(4, 2, {a, g, a, c, c, c, g, a}));

    const ProgramRun run = run_quillmesh(dir.path(), "quad.lwo -n quad", "quad.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // Positions: x -10.5 -> -10, y -20.25 -> -20, z -3.75 -> -3. Texture
    // values on 4 x 2: (0, 0) -> s 0, t 2; (-0.5, 1) -> -2, 0; (1, 1) -> 4, 0;
    // (0.99, 0.3) -> 3.96, 1.4 -> 3, 1. Normal (0, 40.5, 0) x (21, 40.5, 0) =
    // (0, 0, -850.5), unit (0, 0, -1): bytes 0x00, 0x00, 0x81.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { -10, -20, -3 }, 0, { 0, 128 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { -10, 20, -3 }, 0, { -128, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 20, -3 }, 0, { 256, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, -20, -3 }, 0, { 192, 64 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[1], 1, 0),
\tgsSPVertex(&vts0[0], 1, 1),
\tgsSPVertex(&vts0[3], 1, 2),
\tgsSPVertex(&vts0[2], 1, 3),
\tgsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
\tgsSPEndDisplayList()
};

)") + kTextureAlignDefault + with_tabs(R"(static u16 palette0[] TEXTURE_ALIGN = {
\t0xf801, 0x07c1, 0x1110, 
};

static u8 texture0[] TEXTURE_ALIGN = {
\t0x01, 0x02, 0x22, 0x10, 
};

static Texture textures[] = {
\tTEXTURE_INIT(4, 2, &texture0, 4, &palette0, 6, TEXTURE_FMT_CI4),
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.25, 0.75, 1, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh quad = STATICMESH_INIT( layers, 1, materials, 1, textures, 1 ); 
)"));
    expect_compiles(run.c_text);
}

// Two triangles over a square; VMAD entries give point 2 its own value in
// polygon 1 and point 0 in polygon 0. Points split in ascending point order,
// not in the order of the entries: point 0 becomes vertex 4, point 2 vertex 5.
TEST(ExpectedText, VmadSeamSplitsPoints) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Plain"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
        txuv(b, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
        faces(b, {{0, 3, 2}, {0, 2, 1}});
        surface_tags(b, {0, 0});
        txuv_vmad(b, {{2, 1, {0.5f, 0.5f}}, {0, 0, {0.25f, 0.25f}}});
        clip(b, 1, "grey.png");
        surface(b, "Plain", std::nullopt, 1);
    });
    TempDir dir;
    write_file(dir.path() / "seam.lwo", bytes_text(b));
    write_file(dir.path() / "grey.png", solid_png(4, 4, kGrey));

    const ProgramRun run = run_quillmesh(dir.path(), "seam.lwo", "seam.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // Polygons become (4, 3, 2) and (0, 5, 1), drawn (4, 2, 3) and (0, 1, 5).
    // On 4 x 4: (0, 0) -> 0, 4; (1, 0) -> 4, 4; (1, 1) -> 4, 0; (0, 1) -> 0, 0;
    // (0.25, 0.25) -> 1, 3; (0.5, 0.5) -> 2, 2. Both triangles face (0, 0, -1).
    // No COLR: the grey 0.5.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 256 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 256, 256 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 256, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 0, 0 }, 0, { 64, 192 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 128, 128 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[4], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[3], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[1], 1, 1),
\tgsSPVertex(&vts0[5], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

)") + kTextureAlignDefault + with_tabs(kGrey4x4Arrays) + with_tabs(R"(static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 1, materials, 1, textures, 1 ); 
)"));
    expect_compiles(run.c_text);
}

// Surfaces are numbered in SURF order (Blue 0, Red 1), not in tag order.
// Layer 1 names both: the warning, and the lowest surface for the whole layer.
TEST(ExpectedText, LayerWithTwoSurfacesWarnsAndTakesTheLowest) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Red", "Blue"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {0, 10, 10}, {10, 0, 0}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        layer(b, 1);
        points(b, {{0, 0, 0}, {0, 10, 0}, {10, 0, 0}, {0, 0, 10}});
        faces(b, {{0, 1, 2}, {0, 3, 1}});
        surface_tags(b, {0, 1});
        surface(b, "Blue", Point{0, 0, 1}, 0);
        surface(b, "Red", Point{1, 0, 0}, 0);
    });
    TempDir dir;
    write_file(dir.path() / "two.lwo", bytes_text(b));

    const ProgramRun run = run_quillmesh(dir.path(), "two.lwo", "two.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "Warning: more than one surface referenced in layer 1.\n"
                          "Hint: -m gives each surface of a layer an output layer of its own\n");
    // Layer 0: (0, 10, 10) x (10, 0, 0) = (0, 100, -100), unit (0, 0.7071,
    // -0.7071); 89.8 -> 89 = 0x59, -89 = 0xa7.
    // Layer 1: triangle (0, 1, 2) faces (0, 0, -1), triangle (0, 3, 1) faces
    // (-1, 0, 0). Points 0 and 1 hold both: (-0.5, 0, -0.5), -63.5 -> -63 =
    // 0xc1; point 2 only the first (0x81 in z), point 3 only the second (0x81
    // in x). No texture map: s = t = 0.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x59, 0xa7, 0xff } }
\t},
\t{
\t\t{ { 0, 10, -10 }, 0, { 0, 0 }, { 0x00, 0x59, 0xa7, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x59, 0xa7, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Vtx vts1[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0xc1, 0x00, 0xc1, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0xc1, 0x00, 0xc1, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 0, -10 }, 0, { 0, 0 }, { 0x81, 0x00, 0x00, 0xff } }
\t},
};

static Gfx drawmesh1[] = {
\tgsSPVertex(&vts1[0], 1, 0),
\tgsSPVertex(&vts1[2], 1, 1),
\tgsSPVertex(&vts1[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts1[0], 1, 0),
\tgsSPVertex(&vts1[1], 1, 1),
\tgsSPVertex(&vts1[3], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0, 0, 1, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
\tMATERIAL_INIT( VECTOR4F_SET( 1, 0, 0, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 1, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
\tLAYER_INIT( 0, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 2, materials, 2, NULL, 0 ); 
)"));
    expect_compiles(run.c_text);
}

// A layer whose polygons name no surface (no PTAG) is drawn with a grey
// material added after the surfaces' materials.
TEST(ExpectedText, LayerWithoutSurfaceGetsTheGreyDefaultMaterial) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Red"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {0, 5, 0}, {5, 0, 0}});
        faces(b, {{0, 1, 2}});
        layer(b, 1);
        points(b, {{10, 0, 0}, {10, 5, 0}, {15, 0, 0}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        surface(b, "Red", Point{1, 0, 0}, 0);
    });
    TempDir dir;
    write_file(dir.path() / "grey.lwo", bytes_text(b));

    const ProgramRun run = run_quillmesh(dir.path(), "grey.lwo", "grey.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // (0, 5, 0) x (5, 0, 0) = (0, 0, -25): unit (0, 0, -1) for both layers.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 5, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 5, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Vtx vts1[] = {
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 5, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 15, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh1[] = {
\tgsSPVertex(&vts1[0], 1, 0),
\tgsSPVertex(&vts1[2], 1, 1),
\tgsSPVertex(&vts1[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 1, 0, 0, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 1, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
\tLAYER_INIT( 0, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 2, materials, 2, NULL, 0 ); 
)"));
    expect_compiles(run.c_text);
}

// The image is looked up beside the object (models/), not in the directory
// that the clip names; it is not there. The warning names the path tried, the
// texture is an empty placeholder that the material still names, and the
// texture values are not used.
TEST(ExpectedText, MissingTextureGivesWarningAndDummyTexture) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Paint"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {0, 5, 0}, {5, 0, 0}});
        txuv(b, {{0.5f, 0.5f}, {0.5f, 1}, {1, 0.5f}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, "textures/missing.png");
        surface(b, "Paint", Point{1, 0.5f, 0.25f}, 1);
    });
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "models");
    std::filesystem::create_directory(dir.path() / "textures");
    write_file(dir.path() / "models" / "plane.lwo", bytes_text(b));
    write_file(dir.path() / "textures" / "missing.png", solid_png(4, 4, kGrey));  // not beside the object

    const ProgramRun run = run_quillmesh(dir.path(), "models/plane.lwo", "models/plane.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "Warning: Couldn't open texture: models/missing.png\n");
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 5, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 5, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

)") + kTextureAlignDefault + with_tabs(R"(static u32 texture0[] TEXTURE_ALIGN = {
\t\t0\t//dummy element - texture is empty
};

static Texture textures[] = {
\tTEXTURE_INIT(0, 0, &texture0, 0, NULL, 0, TEXTURE_FMT_UNKNOWN),
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 1, 0.5, 0.25, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 1, materials, 1, textures, 1 ); 
)"));
    expect_compiles(run.c_text);
}

// Coordinates beyond the 16-bit range and texture coordinates beyond 511
// texels warn; the conversion goes on. The warnings come point by point:
// for each point its coordinates x, y, z, then its texture coordinate.
TEST(ExpectedText, CoordinatesOutOfRangeWarn) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Plain"});
        layer(b, 0);
        points(b, {{40000, 0, 0}, {0, 40000, -40000}, {0, 0, 0}});
        txuv(b, {{0, 200}, {200, 1}, {127.975f, 0.5f}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, "grey.png");
        surface(b, "Plain", std::nullopt, 1);
    });
    TempDir dir;
    write_file(dir.path() / "far.lwo", bytes_text(b));
    write_file(dir.path() / "grey.png", solid_png(4, 4, kGrey));

    const ProgramRun run = run_quillmesh(dir.path(), "far.lwo", "far.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    // Point 0: x 40000; t = (1 - 200) x 4 = -796. Point 1: y 40000 and z
    // -40000; s = 200 x 4 = 800. Point 2: s = 127.975 x 4 = 511.9 passes.
    EXPECT_EQ(run.output,
              "Warning: vertex coordinate doesn't fit in 16 bits\n"
              "Warning: texture coordinate out of range. Setting to 0.\n"
              "Warning: vertex coordinate doesn't fit in 16 bits\n"
              "Warning: vertex coordinate doesn't fit in 16 bits\n"
              "Warning: texture coordinate out of range. Setting to 0.\n");
    // Coordinates out of range are clamped to 32767 (z = -(-40000) too); the
    // texture coordinates that warned are 0, 0; point 2 keeps 511 x 64 = 32704
    // and (1 - 0.5) x 4 = 2 -> 128. Normal: (-40000, 40000, -40000) x
    // (-40000, 0, 0) = (0, 1.6e9, 1.6e9), unit (0, 0.7071, 0.7071): 0x59.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 32767, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x59, 0x59, 0xff } }
\t},
\t{
\t\t{ { 0, 32767, 32767 }, 0, { 0, 0 }, { 0x00, 0x59, 0x59, 0xff } }
\t},
\t{
\t\t{ { 0, 0, 0 }, 0, { 32704, 128 }, { 0x00, 0x59, 0x59, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

)") + kTextureAlignDefault + with_tabs(kGrey4x4Arrays) + with_tabs(R"(static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 1, materials, 1, textures, 1 ); 
)"));
    expect_compiles(run.c_text);
}

// -t: layer 1's texture, 64 x 128 CI4 (8192 texels, the budget is 4096), is
// over budget, so each of its polygons becomes a layer with the rectangle of
// the texture it covers. Layer 0 (an untextured surface) stays whole.
TEST(ExpectedText, TiledLayerGetsOneLayerPerPolygonWithRectangles) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Plain", "Big"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {0, 5, 0}, {5, 0, 0}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        layer(b, 1);
        points(b, {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}, {20, 0, 0}});
        txuv(b, {{0, 0.5f}, {0, 1}, {0.25f, 1}, {0.25f, 0.5f}, {0.75f, 0}});
        faces(b, {{0, 1, 2, 3}, {3, 2, 4}});
        surface_tags(b, {1, 1});
        clip(b, 1, "big.png");
        surface(b, "Plain", Point{0.2f, 0.4f, 0.6f}, 0);
        surface(b, "Big", std::nullopt, 1);
    });
    TempDir dir;
    write_file(dir.path() / "tiled.lwo", bytes_text(b));
    write_file(dir.path() / "big.png", solid_png(64, 128, kGrey));

    const ProgramRun run = run_quillmesh(dir.path(), "tiled.lwo -t", "tiled.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "Warning: texture won't fit into TMEM\n");

    // Tile of the quad: its own points 0-3, u 0 to 0.25, v 0.5 to 1:
    // left 0 x 64 = 0, top (1 - 1) x 128 = 0, right 0.25 x 64 = 16, bottom
    // (1 - 0.5) x 128 = 64. Tile of the triangle (3, 2, 4): u 0.25 to 0.75, v
    // 0 to 1: 16, 0, 48, 128. Texture coordinates stay in the whole texture:
    // (0, 0.5) -> 0, 64; (0.25, 1) -> 16, 0; (0.75, 0) -> 48, 128.
    const std::string head = with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 5, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 5, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Vtx vts1[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 4096 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 1024, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 1024, 4096 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh1[] = {
\tgsSPVertex(&vts1[1], 1, 0),
\tgsSPVertex(&vts1[0], 1, 1),
\tgsSPVertex(&vts1[3], 1, 2),
\tgsSPVertex(&vts1[2], 1, 3),
\tgsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
\tgsSPEndDisplayList()
};

static Vtx vts2[] = {
\t{
\t\t{ { 10, 0, 0 }, 0, { 1024, 4096 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 10, 0 }, 0, { 1024, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 20, 0, 0 }, 0, { 3072, 8192 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
};

static Gfx drawmesh2[] = {
\tgsSPVertex(&vts2[0], 1, 0),
\tgsSPVertex(&vts2[2], 1, 1),
\tgsSPVertex(&vts2[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

)") + kTextureAlignDefault + with_tabs(R"(static u16 palette0[] TEXTURE_ALIGN = {
\t0x8421, 
};

static u8 texture0[] TEXTURE_ALIGN = {
)");
    // 8192 pixels of index 0: 4096 bytes, four to a row.
    std::string indices;
    for (int row = 0; row < 1024; ++row) indices += "\t0x00, 0x00, 0x00, 0x00, \n";
    const std::string tail = with_tabs(R"(};

static Texture textures[] = {
\tTEXTURE_INIT(64, 128, &texture0, 4096, &palette0, 2, TEXTURE_FMT_CI4),
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.2, 0.4, 0.6, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
\tLAYER_INIT( 1, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 16, 64), LAYERATTRIBUTE_PREVENT_SEAMS ),
\tLAYER_INIT( 1, drawmesh2, sizeof(drawmesh2), vts2, sizeof(vts2),  RECTANGLE_INIT(16, 0, 48, 128), LAYERATTRIBUTE_PREVENT_SEAMS ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 3, materials, 2, textures, 1 ); 
)");
    EXPECT_EQ(run.c_text, head + indices + tail);
    expect_compiles(run.c_text);
}

// -l on two triangles at a right angle, sharing the edge of points 0 and 1:
// in layer 0 their surface smooths up to 95 degrees, so the shared points
// take the mean of (0, 0, 1) and (0, 1, 0), made unit; in layer 1 their
// surface has no smoothing angle, so each triangle is flat and the shared
// points become a vertex per triangle. Every normal's z is negated.
TEST(ExpectedText, LitNormalsSmoothOrSplitByTheSmoothingAngle) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Soft", "Hard"});
        for (std::uint16_t l : {0, 1}) {
            layer(b, l);
            points(b, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}});
            faces(b, {{0, 1, 2}, {1, 0, 3}});
            surface_tags(b, {l, l});
        }
        b.chunk("SURF", [&] {
            b.str("Soft").str("");
            b.sub("SMAN", [&] { b.f4(1.658f); });
        });
        surface(b, "Hard", std::nullopt, 0);
    });
    TempDir dir;
    write_file(dir.path() / "wedge.lwo", bytes_text(b));

    const ProgramRun run = run_quillmesh(dir.path(), "wedge.lwo -l", "wedge.lwo.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "");
    // Triangle 0 faces (0, 0, 1) in LightWave, bytes 0x00, 0x00, 0x81 on
    // the console; triangle 1 (0, 1, 0), bytes 0x00, 0x7f, 0x00. Smoothed:
    // (0, 0.7071, -0.7071) x 127 = 89.8, rounded: 0x5a, 0xa6. Layer 1's
    // triangle 1 uses copies 4 and 5 of points 1 and 0.
    EXPECT_EQ(run.c_text, with_tabs(R"(#include "myheader.h"

static Vtx vts0[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x5a, 0xa6, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x5a, 0xa6, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 0, -10 }, 0, { 0, 0 }, { 0x00, 0x7f, 0x00, 0xff } }
\t},
};

static Gfx drawmesh0[] = {
\tgsSPVertex(&vts0[0], 1, 0),
\tgsSPVertex(&vts0[2], 1, 1),
\tgsSPVertex(&vts0[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts0[1], 1, 0),
\tgsSPVertex(&vts0[3], 1, 1),
\tgsSPVertex(&vts0[0], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Vtx vts1[] = {
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 10, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x81, 0xff } }
\t},
\t{
\t\t{ { 0, 0, -10 }, 0, { 0, 0 }, { 0x00, 0x7f, 0x00, 0xff } }
\t},
\t{
\t\t{ { 10, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x7f, 0x00, 0xff } }
\t},
\t{
\t\t{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x7f, 0x00, 0xff } }
\t},
};

static Gfx drawmesh1[] = {
\tgsSPVertex(&vts1[0], 1, 0),
\tgsSPVertex(&vts1[2], 1, 1),
\tgsSPVertex(&vts1[1], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPVertex(&vts1[4], 1, 0),
\tgsSPVertex(&vts1[3], 1, 1),
\tgsSPVertex(&vts1[5], 1, 2),
\tgsSP1Triangle(0, 1, 2, 0),
\tgsSPEndDisplayList()
};

static Material materials[] = {
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
\tMATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
\tLAYER_INIT( 1, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

StaticMesh mesh = STATICMESH_INIT( layers, 2, materials, 2, NULL, 0 ); 
)"));
    expect_compiles(run.c_text);
}

}  // namespace
}  // namespace e2e
