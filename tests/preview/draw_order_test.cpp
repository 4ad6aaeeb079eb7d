// The triangles a layer's display list draws, as the writer lays them out.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "preview/draw_order.hpp"

namespace preview {
namespace {

using Tri = std::array<std::uint32_t, 3>;

std::vector<Tri> drawn(const ultraback::Layer& layer) {
    std::vector<Tri> out;
    for_each_triangle(layer, [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) { out.push_back({a, b, c}); });
    return out;
}

ultraback::Layer with_vertices(std::size_t count) {
    ultraback::Layer layer;
    layer.vertices.resize(count);
    return layer;
}

TEST(PreviewDrawOrder, PrimitivesAsTheDefaultListDrawsThem) {
    ultraback::Layer layer = with_vertices(6);
    layer.primitives = {ultraback::Triangle{{0, 2, 1}}, ultraback::Quad{{1, 0, 3, 2}}, ultraback::Triangle{{5, 4, 3}}};
    EXPECT_EQ(drawn(layer), (std::vector<Tri>{{0, 2, 1}, {1, 0, 3}, {1, 3, 2}, {5, 4, 3}}));
}

// Slots keep their vertices from batch to batch until a load overwrites them.
TEST(PreviewDrawOrder, BatchesDrawOverTheSlotsTheLoadsFilled) {
    ultraback::Layer layer = with_vertices(8);
    layer.batches = {{{{0, 4, 0}}, {{0, 1, 2}, {2, 1, 3}}},
                     {{{4, 3, 0}}, {{2, 0, 1}}},
                     {{{7, 1, 3}}, {{0, 3, 1}, {3, 2, 0}}}};
    EXPECT_EQ(drawn(layer), (std::vector<Tri>{{0, 1, 2}, {2, 1, 3}, {6, 4, 5}, {4, 7, 5}, {7, 6, 4}}));
}

TEST(PreviewDrawOrder, IndicesOutsideTheLayerDrawNothing) {
    ultraback::Layer layer = with_vertices(4);
    layer.primitives = {ultraback::Triangle{{0, 1, 4}}, ultraback::Triangle{{-1, 1, 2}}, ultraback::Quad{{0, 1, 2, 9}},
                        ultraback::Triangle{{0, 1, 2}}};
    // A slot no load filled, and a load that reaches past the vertices.
    layer.batches = {{{{0, 2, 0}}, {{0, 1, 2}}}, {{{2, 3, 0}}, {{0, 1, 2}}}};
    EXPECT_EQ(drawn(layer), (std::vector<Tri>{{0, 1, 2}, {0, 1, 2}}));
}

}  // namespace
}  // namespace preview
