// The whole C text for small meshes, compared with texts written out by hand.
// Element rows end in ", " and so every such line ends in a blank; the
// closing record ends in " ); " and is appended separately to show its blank.

#include <gtest/gtest.h>

#include <string>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

std::string save_text(const Mesh& mesh, std::string_view name) {
    StringSink sink;
    EXPECT_TRUE(save(mesh, name, sink).has_value());
    return sink.text;
}

std::uint8_t signed_byte(int value) { return static_cast<std::uint8_t>(static_cast<std::int8_t>(value)); }

TEST(WriterText, EmptyMeshHasEmptyTablesAndNoTextureTable) {
    const std::string expected = R"(#include "myheader.h"

static Material materials[] = {
};

static Layer layers[] = {
};

)" "StaticMesh mesh = STATICMESH_INIT( layers, 0, materials, 0, NULL, 0 ); \n";
    EXPECT_EQ(save_text(Mesh{}, "mesh"), expected);
}

TEST(WriterText, TriangleAndQuadLoadEveryVertexThenDraw) {
    Layer layer;
    layer.vertices = {
        {1, -2, 3, -64, 128, 0x0a, 0xff, signed_byte(-127), 0xff},
        {-32768, 32767, 0, 0, 0, 0, 0, 0, 0},
        {10, 20, 30, 640, -640, signed_byte(127), signed_byte(-128), 1, 255},
        {0, 0, -1, 32767, -32768, 0x10, 0x20, 0x30, 0x40},
    };
    layer.primitives = {Triangle{{0, 1, 2}}, Quad{{3, 2, 1, 0}}};
    Mesh mesh;
    mesh.add_layer(layer);
    mesh.materials.push_back({std::nullopt, {1.0f, 0.5f, 0.0f, 1.0f}});

    const std::string expected = R"(#include "myheader.h"

static Vtx vts0[] = {
	{
		{ { 1, -2, 3 }, 0, { -64, 128 }, { 0x0a, 0xff, 0x81, 0xff } }
	},
	{
		{ { -32768, 32767, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0x00 } }
	},
	{
		{ { 10, 20, 30 }, 0, { 640, -640 }, { 0x7f, 0x80, 0x01, 0xff } }
	},
	{
		{ { 0, 0, -1 }, 0, { 32767, -32768 }, { 0x10, 0x20, 0x30, 0x40 } }
	},
};

static Gfx drawmesh0[] = {
	gsSPVertex(&vts0[0], 1, 0),
	gsSPVertex(&vts0[1], 1, 1),
	gsSPVertex(&vts0[2], 1, 2),
	gsSP1Triangle(0, 1, 2, 0),
	gsSPVertex(&vts0[3], 1, 0),
	gsSPVertex(&vts0[2], 1, 1),
	gsSPVertex(&vts0[1], 1, 2),
	gsSPVertex(&vts0[0], 1, 3),
	gsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
	gsSPEndDisplayList()
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 1, 0.5, 0, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
	LAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

)" "StaticMesh cube = STATICMESH_INIT( layers, 1, materials, 1, NULL, 0 ); \n";
    EXPECT_EQ(save_text(mesh, "cube"), expected);
}

// Also: numbers that point past their lists and a name that is no C
// identifier are written as they are.
TEST(WriterText, LayersWithoutVerticesOrPrimitives) {
    Mesh mesh;
    mesh.add_layer(Layer{});
    Layer lone_vertex;
    lone_vertex.vertices.push_back(Vertex{});
    lone_vertex.material = 7;
    mesh.add_layer(lone_vertex);
    mesh.materials.push_back({3, {0.1f, 1.0f / 3.0f, -2.5f, 0.5f}});
    mesh.materials.push_back({std::nullopt, {0.0f, -0.0f, 0.0f, 1.0f}});

    const std::string expected = R"(#include "myheader.h"

static Vtx vts0[] = {
};

static Gfx drawmesh0[] = {
	gsSPEndDisplayList()
};

static Vtx vts1[] = {
	{
		{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0x00 } }
	},
};

static Gfx drawmesh1[] = {
	gsSPEndDisplayList()
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 0.1, 0.33333334, -2.5, 0.5 ), TEXTUREMAPPING_CONST, 3 ),
	MATERIAL_INIT( VECTOR4F_SET( 0, 0, 0, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
	LAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
	LAYER_INIT( 7, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

)" "StaticMesh odd-name 1 = STATICMESH_INIT( layers, 2, materials, 2, NULL, 0 ); \n";
    EXPECT_EQ(save_text(mesh, "odd-name 1"), expected);
}

TEST(WriterText, EveryTexelFormatWithRowsDummiesAndTable) {
    Mesh mesh;
    mesh.textures.push_back({3, 3, Ci4{{0x01, 0x23, 0x45, 0x67, 0x80},
                                       {0x0000, 0x0001, 0x00ff, 0x0abc, 0xf800, 0x07c0, 0x003e, 0xffff, 0x1234}}});
    mesh.textures.push_back({5, 1, Rgba16{{0xf801, 0x07c1, 0x003f, 0x0000, 0xffff}}});
    mesh.textures.push_back({2, 1, Rgba32{{0xff0000ff, 0x0000000a}}});
    mesh.textures.push_back({0, 0, Unknown{}});
    mesh.textures.push_back({0, 0, Unknown{{0x01, 0xab, 0xff}}});
    mesh.textures.push_back({65535, 1, Ci4{}});
    mesh.materials.push_back({4, {1.0f, 1.0f, 1.0f, 1.0f}});
    mesh.materials.push_back({std::nullopt, {0.5f, 0.25f, 0.125f, 1.0f}});

    const std::string expected = R"(#include "myheader.h"

#ifndef TEXTURE_ALIGN
#if defined(__GNUC__) || defined(__clang__)
#define TEXTURE_ALIGN __attribute__((aligned(8)))
#else
#define TEXTURE_ALIGN
#endif
#endif

static u16 palette0[] TEXTURE_ALIGN = {
	0x0000, 0x0001, 0x00ff, 0x0abc, 0xf800, 0x07c0, 0x003e, 0xffff, 
	0x1234, 
};

static u8 texture0[] TEXTURE_ALIGN = {
	0x01, 0x23, 0x45, 0x67, 
	0x80, 
};

static u16 texture1[] TEXTURE_ALIGN = {
	0xf801, 0x07c1, 0x003f, 0x0000, 
	0xffff, 
};

static u32 texture2[] TEXTURE_ALIGN = {
	0xff0000ff, 0x0000000a, 
};

static u32 texture3[] TEXTURE_ALIGN = {
		0	//dummy element - texture is empty
};

static u32 texture4[] TEXTURE_ALIGN = {
	0x00000001, 0x000000ab, 0x000000ff, 
};

static u16 palette5[] TEXTURE_ALIGN = {
	
};

static u8 texture5[] TEXTURE_ALIGN = {
		0	//dummy element - texture is empty
};

static Texture textures[] = {
	TEXTURE_INIT(3, 3, &texture0, 5, &palette0, 18, TEXTURE_FMT_CI4),
	TEXTURE_INIT(5, 1, &texture1, 10, NULL, 0, TEXTURE_FMT_RGBA16),
	TEXTURE_INIT(2, 1, &texture2, 8, NULL, 0, TEXTURE_FMT_RGBA32),
	TEXTURE_INIT(0, 0, &texture3, 0, NULL, 0, TEXTURE_FMT_UNKNOWN),
	TEXTURE_INIT(0, 0, &texture4, 3, NULL, 0, TEXTURE_FMT_UNKNOWN),
	TEXTURE_INIT(65535, 1, &texture5, 0, &palette5, 0, TEXTURE_FMT_CI4),
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 1, 1, 1, 1 ), TEXTUREMAPPING_CONST, 4 ),
	MATERIAL_INIT( VECTOR4F_SET( 0.5, 0.25, 0.125, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
};

)" "StaticMesh textured = STATICMESH_INIT( layers, 0, materials, 2, textures, 6 ); \n";
    EXPECT_EQ(save_text(mesh, "textured"), expected);
}

// A layer takes the first rectangle that names it; an entry naming no layer
// is ignored. A texel array of exactly four elements is one row.
TEST(WriterText, TileLayersCarryRectangleAndPreventSeams) {
    Mesh mesh;
    for (int n = 0; n < 3; ++n) mesh.add_layer(Layer{});
    mesh.layers[0].attributes.insert(LayerAttribute::PreventSeams);
    mesh.layers[2].attributes.insert(LayerAttribute::PreventSeams);
    mesh.layer_rects = {
        {7, {5, 5, 5, 5}},
        {2, {64, 0, 128, 65535}},
        {0, {0, 0, 64, 64}},
        {2, {1, 1, 1, 1}},
    };
    mesh.textures.push_back({2, 2, Rgba16{{0x0001, 0x0002, 0x0003, 0x0004}}});
    mesh.materials.push_back({0, {1.0f, 1.0f, 1.0f, 1.0f}});

    const std::string expected = R"(#include "myheader.h"

static Vtx vts0[] = {
};

static Gfx drawmesh0[] = {
	gsSPEndDisplayList()
};

static Vtx vts1[] = {
};

static Gfx drawmesh1[] = {
	gsSPEndDisplayList()
};

static Vtx vts2[] = {
};

static Gfx drawmesh2[] = {
	gsSPEndDisplayList()
};

#ifndef TEXTURE_ALIGN
#if defined(__GNUC__) || defined(__clang__)
#define TEXTURE_ALIGN __attribute__((aligned(8)))
#else
#define TEXTURE_ALIGN
#endif
#endif

static u16 texture0[] TEXTURE_ALIGN = {
	0x0001, 0x0002, 0x0003, 0x0004, 
};

static Texture textures[] = {
	TEXTURE_INIT(2, 2, &texture0, 8, NULL, 0, TEXTURE_FMT_RGBA16),
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 1, 1, 1, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
	LAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 64, 64), LAYERATTRIBUTE_PREVENT_SEAMS ),
	LAYER_INIT( 0, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
	LAYER_INIT( 0, drawmesh2, sizeof(drawmesh2), vts2, sizeof(vts2),  RECTANGLE_INIT(64, 0, 128, 65535), LAYERATTRIBUTE_PREVENT_SEAMS ),
};

)" "StaticMesh tiles = STATICMESH_INIT( layers, 3, materials, 1, textures, 1 ); \n";
    EXPECT_EQ(save_text(mesh, "tiles"), expected);
}

TEST(WriterText, TextureNames) {
    EXPECT_EQ(create_texture_name(0), "texture0");
    EXPECT_EQ(create_texture_name(12), "texture12");
    EXPECT_EQ(create_texture_name(4294967295u), "texture4294967295");
}

}  // namespace
}  // namespace ultraback
