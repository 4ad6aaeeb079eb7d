// The C text must compile against a game header: save a mesh with every kind
// of record and run the host C compiler on it with the test myheader.h.

#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

Mesh rich_mesh() {
    Mesh mesh;
    Layer shapes;
    shapes.vertices = {
        {-100, 200, -300, -64, 2048, 0x7f, 0x00, 0x81, 0xff},
        {100, 200, -300, 2048, 2048, 0x00, 0x7f, 0x00, 0xff},
        {100, -200, 300, 2048, -64, 0x00, 0x00, 0x7f, 0xff},
        {-100, -200, 300, -64, -64, 0x81, 0x81, 0x81, 0xff},
    };
    shapes.primitives = {Triangle{{0, 1, 2}}, Quad{{0, 1, 2, 3}}, Triangle{{3, 2, 0}}};
    mesh.add_layer(shapes);

    Layer tile = shapes;
    tile.material = 1;
    tile.attributes.insert(LayerAttribute::PreventSeams);
    mesh.add_layer(tile);
    mesh.layer_rects.push_back({1, {0, 0, 32, 64}});

    mesh.add_layer(Layer{});  // no vertices: an empty initialiser list, a GNU C extension

    mesh.textures.push_back({3, 3, Ci4{{0x01, 0x23, 0x45, 0x67, 0x80}, {0x0001, 0xf801, 0x07c1, 0x003f}}});
    mesh.textures.push_back({2, 2, Rgba16{{0xf801, 0x07c1, 0x003f, 0xffff}}});
    mesh.textures.push_back({1, 1, Rgba32{{0xff00ffff}}});
    mesh.textures.push_back({0, 0, Unknown{}});
    mesh.materials.push_back({std::nullopt, {0.8f, 0.1f, 1.0f / 3.0f, 1.0f}});
    mesh.materials.push_back({0, {1.0f, 1.0f, 1.0f, 1.0f}});
    mesh.materials.push_back({1, {0.5f, 0.5f, 0.5f, 1.0f}});
    mesh.materials.push_back({3, {0.0f, 0.0f, 0.0f, 1.0f}});
    return mesh;
}

TEST(WriterCompile, RichMeshCompilesAgainstGameHeader) {
    StringSink sink;
    ASSERT_TRUE(save(rich_mesh(), "rich_mesh", sink).has_value());

    const auto result = test_support::compile_c(sink.text);
    EXPECT_EQ(result.exit_status, 0) << result.output;

    // The check can fail: a macro given the wrong number of arguments.
    std::string broken = sink.text;
    broken.replace(broken.find("LAYER_INIT( "), 12, "LAYER_INIT( 1, ");
    EXPECT_NE(test_support::compile_c(broken).exit_status, 0);
}

TEST(WriterCompile, FittedFormatsCompileAgainstGameHeader) {
    Mesh mesh;
    mesh.textures.push_back({2, 1, Ci8{{0x00, 0x01}, std::vector<std::uint16_t>(256)}});
    mesh.textures.push_back({3, 1, I4{{0x0f, 0x80}}});
    mesh.textures.push_back({2, 1, I8{{0x00, 0xff}}});
    mesh.textures.push_back({2, 1, Ia4{{0xf0}}});
    mesh.textures.push_back({1, 1, Ia8{{0x84}}});
    mesh.textures.push_back({1, 1, Ia16{{0x1234}}});
    mesh.materials.push_back({5, {1.0f, 1.0f, 1.0f, 1.0f}});
    StringSink sink;
    ASSERT_TRUE(save(mesh, "fitted", sink).has_value());
    const auto result = test_support::compile_c(sink.text);
    EXPECT_EQ(result.exit_status, 0) << result.output;
}

}  // namespace
}  // namespace ultraback
