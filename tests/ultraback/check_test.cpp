#include "ultraback/check.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace ultraback;

// A layer of one quad and one batched layer over a 4 x 3 CI4 texture and a
// 3 x 1 RGBA16 one, both named by materials: sound as it stands.
Mesh sound_mesh() {
    Mesh mesh;
    Layer quad;
    quad.vertices.resize(4);
    quad.primitives.push_back(Quad{{0, 1, 2, 3}});
    quad.primitives.push_back(Triangle{{3, 2, 1}});
    mesh.layers.push_back(quad);
    Layer batched;
    batched.vertices.resize(5);
    // The second batch reads slots 1 and 2 that the first one loaded.
    batched.batches.push_back(Batch{{Load{1, 4, 0}}, {{0, 1, 2}, {0, 2, 3}}});
    batched.batches.push_back(Batch{{Load{0, 1, 4}}, {{1, 2, 4}}});
    batched.material = 1;
    mesh.layers.push_back(batched);
    mesh.materials.push_back({0, {}});
    mesh.materials.push_back({1, {}});
    mesh.textures.push_back({4, 3, Ci4{std::vector<std::uint8_t>(6), std::vector<std::uint16_t>(16)}});
    mesh.textures.push_back({3, 1, Rgba16{std::vector<std::uint16_t>(3)}});
    mesh.layer_rects.push_back({1, Rectangle{}});
    return mesh;
}

TEST(FindMeshFault, NamesTheFirstBrokenInvariant) {
    const struct {
        const char* name;
        std::function<void(Mesh&)> breaks;
        std::string fault;
    } cases[] = {
        {"sound", [](Mesh&) {}, ""},
        {"material", [](Mesh& m) { m.layers[1].material = 2; }, "layer 1: names a material that does not exist"},
        {"index", [](Mesh& m) { m.layers[0].primitives[1] = Triangle{{0, 4, 1}}; },
         "layer 0: a primitive names a vertex that does not exist"},
        {"negative index", [](Mesh& m) { m.layers[0].primitives[0] = Quad{{0, 1, -1, 3}}; },
         "layer 0: a primitive names a vertex that does not exist"},
        {"16-bit indices", [](Mesh& m) { m.layers[0].vertices.resize(32769); },
         "layer 0: more vertices than 16-bit indices reach"},
        {"batched with primitives", [](Mesh& m) { m.layers[1].primitives.push_back(Triangle{}); },
         "layer 1: batched and with primitives"},
        {"empty load", [](Mesh& m) { m.layers[1].batches[0].loads[0].count = 0; },
         "layer 1: a load fills none or runs past the cache"},
        {"load beyond the vertices", [](Mesh& m) { m.layers[1].batches[0].loads[0].start = 2; },
         "layer 1: a load reads vertices that do not exist"},
        {"slot never loaded", [](Mesh& m) { m.layers[1].batches[1].triangles[0][0] = 5; },
         "layer 1: a triangle names a slot no load filled"},
        {"slot read before its load", [](Mesh& m) { m.layers[1].batches[0].triangles[1][2] = 4; },
         "layer 1: a triangle names a slot no load filled"},
        {"texture", [](Mesh& m) { m.materials[0].texture = 2; }, "material 0: names a texture that does not exist"},
        {"texel count", [](Mesh& m) { m.textures[1].width = 4; },
         "texture 1: its data does not hold width x height texels"},
        {"palette", [](Mesh& m) { std::get<Ci4>(m.textures[0].texels).palette.push_back(0); },
         "texture 0: more than 16 palette colours"},
        {"CI8 palette", [](Mesh& m) { m.textures[1] = {3, 1, Ci8{std::vector<std::uint8_t>(3), std::vector<std::uint16_t>(257)}}; },
         "texture 1: more than 256 palette colours"},
        {"IA16 texel count", [](Mesh& m) { m.textures[1] = {3, 1, Ia16{std::vector<std::uint16_t>(2)}}; },
         "texture 1: its data does not hold width x height texels"},
        {"rectangle", [](Mesh& m) { m.layer_rects.push_back({2, Rectangle{}}); },
         "a layer rectangle names a layer that does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = sound_mesh();
        c.breaks(mesh);
        EXPECT_EQ(find_mesh_fault(mesh), c.fault);
    }
}

TEST(FindMeshFault, HoldsBatchesToTheGivenCacheAndOddCi4ToItsHalfByte) {
    Mesh mesh = sound_mesh();
    EXPECT_EQ(find_mesh_fault(mesh, 5), "");
    EXPECT_EQ(find_mesh_fault(mesh, 4), "layer 1: a load fills none or runs past the cache");

    // 3 x 3 texels take five bytes, the last half unused; an RGBA16 texture
    // has no such slack.
    mesh.textures[0] = {3, 3, Ci4{std::vector<std::uint8_t>(5), {}}};
    EXPECT_EQ(find_mesh_fault(mesh), "");
    mesh.textures[1] = {3, 3, Rgba16{std::vector<std::uint16_t>(10)}};
    EXPECT_EQ(find_mesh_fault(mesh), "texture 1: its data does not hold width x height texels");

    // The other 4-bit formats have the same slack, the 8-bit ones none.
    for (const TexelData& sound : {TexelData{I4{std::vector<std::uint8_t>(5)}}, TexelData{Ia4{std::vector<std::uint8_t>(5)}},
                                   TexelData{I8{std::vector<std::uint8_t>(9)}}, TexelData{Ia8{std::vector<std::uint8_t>(9)}},
                                   TexelData{Ci8{std::vector<std::uint8_t>(9), std::vector<std::uint16_t>(256)}}}) {
        mesh.textures[1] = {3, 3, sound};
        EXPECT_EQ(find_mesh_fault(mesh), "");
    }
    mesh.textures[1] = {3, 3, I8{std::vector<std::uint8_t>(10)}};
    EXPECT_EQ(find_mesh_fault(mesh), "texture 1: its data does not hold width x height texels");
}

}  // namespace
