// Batched layers: each batch's vertex commands into their runs of slots, then
// triangles two to a command, a last odd one alone. Whole texts written out
// by hand.

#include <gtest/gtest.h>

#include <string>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

std::string save_text(const Mesh& mesh) {
    StringSink sink;
    EXPECT_TRUE(save(mesh, "mesh", sink).has_value());
    return sink.text;
}

TEST(WriterBatches, LoadsIntoTheirSlotsThenTrianglesInPairs) {
    Layer plain;
    plain.vertices = {{1, 2, 3, 0, 0, 0, 0x7f, 0, 0xff}};
    plain.primitives = {Triangle{{0, 0, 0}}};

    Layer batched;
    for (std::int16_t i = 0; i < 6; ++i) batched.vertices.push_back({i, 0, 0, 0, 0, 0, 0, 0, 0xff});
    batched.material = 1;
    // The second batch keeps slots 0 and 2 and loads into 1 and 3, then 5.
    batched.batches = {
        Batch{{Load{0, 4, 0}}, {{0, 1, 2}, {0, 2, 3}, {3, 2, 1}}},
        Batch{{Load{4, 1, 1}, Load{5, 1, 3}}, {{0, 1, 2}, {2, 3, 0}}},
    };

    Mesh mesh;
    mesh.add_layer(plain);
    mesh.add_layer(batched);
    mesh.add_layer(Layer{});
    mesh.materials.push_back({std::nullopt, {1.0f, 1.0f, 1.0f, 1.0f}});
    mesh.materials.push_back({std::nullopt, {0.5f, 0.5f, 0.5f, 1.0f}});

    const std::string expected = R"(#include "myheader.h"

static Vtx vts0[] = {
	{
		{ { 1, 2, 3 }, 0, { 0, 0 }, { 0x00, 0x7f, 0x00, 0xff } }
	},
};

static Gfx drawmesh0[] = {
	gsSPVertex(&vts0[0], 1, 0),
	gsSPVertex(&vts0[0], 1, 1),
	gsSPVertex(&vts0[0], 1, 2),
	gsSP1Triangle(0, 1, 2, 0),
	gsSPEndDisplayList()
};

static Vtx vts1[] = {
	{
		{ { 0, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
	{
		{ { 1, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
	{
		{ { 2, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
	{
		{ { 3, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
	{
		{ { 4, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
	{
		{ { 5, 0, 0 }, 0, { 0, 0 }, { 0x00, 0x00, 0x00, 0xff } }
	},
};

static Gfx drawmesh1[] = {
	gsSPVertex(&vts1[0], 4, 0),
	gsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
	gsSP1Triangle(3, 2, 1, 0),
	gsSPVertex(&vts1[4], 1, 1),
	gsSPVertex(&vts1[5], 1, 3),
	gsSP2Triangles(0, 1, 2, 0, 2, 3, 0, 0),
	gsSPEndDisplayList()
};

static Vtx vts2[] = {
};

static Gfx drawmesh2[] = {
	gsSPEndDisplayList()
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 1, 1, 1, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
	MATERIAL_INIT( VECTOR4F_SET( 0.5, 0.5, 0.5, 1 ), TEXTUREMAPPING_CONST, TEXTURE_ID_NONE ),
};

static Layer layers[] = {
	LAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
	LAYER_INIT( 1, drawmesh1, sizeof(drawmesh1), vts1, sizeof(vts1),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
	LAYER_INIT( 0, drawmesh2, sizeof(drawmesh2), vts2, sizeof(vts2),  RECTANGLE_INIT(0, 0, 0, 0), LAYERATTRIBUTE_NONE ),
};

)" "StaticMesh mesh = STATICMESH_INIT( layers, 3, materials, 2, NULL, 0 ); \n";
    EXPECT_EQ(save_text(mesh), expected);
}

TEST(WriterBatches, IndicesPastSixteenBitsPrintInFull) {
    // Batch starts and unbatched indices print as they stand at any width. (A
    // layer holds primitives or batches; here both, to see each.)
    Layer layer;
    layer.vertices.resize(1);
    layer.primitives = {Triangle{{40000, 65536, 70000}}};
    layer.batches = {Batch{{Load{123456, 3, 61}}, {{63, 62, 61}}}};
    Mesh mesh;
    mesh.add_layer(layer);
    const std::string text = save_text(mesh);
    EXPECT_NE(text.find("\tgsSPVertex(&vts0[40000], 1, 0),\n"
                        "\tgsSPVertex(&vts0[65536], 1, 1),\n"
                        "\tgsSPVertex(&vts0[70000], 1, 2),\n"
                        "\tgsSP1Triangle(0, 1, 2, 0),\n"
                        "\tgsSPVertex(&vts0[123456], 3, 61),\n"
                        "\tgsSP1Triangle(63, 62, 61, 0),\n"
                        "\tgsSPEndDisplayList()\n"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace ultraback
