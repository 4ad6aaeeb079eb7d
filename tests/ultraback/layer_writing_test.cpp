// The layers' text written on a thread while the caller goes on: the same
// bytes as save, and the layers' arrays given back or let go.

#include "ultraback/layer_writing.hpp"

#include <gtest/gtest.h>

#include <string>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

// Layers of different sizes, so several fill the writer's buffer and others
// end inside it; a material for every layer.
Mesh layered_mesh() {
    Mesh mesh;
    mesh.materials.push_back({std::nullopt, {1.0f, 0.5f, 0.25f, 1.0f}});
    mesh.materials.push_back({std::nullopt, {0.0f, 1.0f, 0.0f, 1.0f}});
    for (int n = 0; n < 9; ++n) {
        Layer layer;
        const int vertices = n % 3 == 0 ? 9000 : 3 + n;
        for (int k = 0; k < vertices; ++k)
            layer.vertices.push_back(Vertex{std::int16_t(k), std::int16_t(-n), 3, 4, -5, 0x0a, 0xff, 0x81, 0xff});
        for (int k = 0; k + 3 < vertices; k += 2) {
            if (k % 4 == 0) layer.primitives.push_back(Triangle{{k, k + 1, k + 2}});
            else layer.primitives.push_back(Quad{{k, k + 1, k + 2, k + 3}});
        }
        layer.material = std::size_t(n % 2);
        if (n == 4) layer.attributes.insert(LayerAttribute::PreventSeams);
        mesh.add_layer(std::move(layer));
    }
    return mesh;
}

TEST(LayerWriting, WritesTheSameTextAsSaveAndKeepsOrLetsGoTheArrays) {
    const Mesh whole = layered_mesh();
    StringSink expected;
    ASSERT_TRUE(save(whole, "mesh", expected));
    struct Case {
        bool keep;
        bool on_a_thread;
    };
    for (const Case c : {Case{false, true}, Case{true, true}, Case{false, false}, Case{true, false}}) {
        SCOPED_TRACE(std::string(c.keep ? "kept" : "let go") + (c.on_a_thread ? ", on a thread" : ", in place"));
        Mesh mesh = layered_mesh();
        StringSink sink;
        TextWriter text(sink);
        {
            LayerWriting writing(text, c.keep, c.on_a_thread);
            for (Layer& layer : mesh.layers) writing.hand_over(layer);
            writing.finish(mesh.layers);
        }
        ASSERT_TRUE(text.finish(mesh, "mesh"));
        EXPECT_EQ(sink.text, expected.text);
        for (std::size_t n = 0; n < mesh.layers.size(); ++n) {
            EXPECT_EQ(mesh.layers[n].material, whole.layers[n].material);
            EXPECT_EQ(mesh.layers[n].attributes, whole.layers[n].attributes);
            EXPECT_EQ(mesh.layers[n].vertices.empty(), !c.keep);
        }
        if (c.keep) {
            StringSink again;
            ASSERT_TRUE(save(mesh, "mesh", again));
            EXPECT_EQ(again.text, expected.text);
        }
    }
}

// A writer dropped before finishing (the run failed meanwhile) stops without
// waiting for layers that will never come.
TEST(LayerWriting, StopsWhenDroppedUnfinished) {
    Mesh mesh = layered_mesh();
    StringSink sink;
    TextWriter text(sink);
    {
        LayerWriting writing(text, false);
        writing.hand_over(mesh.layers[0]);
    }
    SUCCEED();
}

}  // namespace
}  // namespace ultraback
