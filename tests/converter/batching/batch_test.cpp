#include "converter/batching/batch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "converter/batching/cache_order.hpp"
#include "converter/layer.hpp"
#include "converter/batching/layer_batching.hpp"
#include "converter/model_builder.hpp"

namespace {

using ultraback::Layer;
using ultraback::Quad;
using ultraback::Triangle;
using Drawn = std::array<std::int32_t, 3>;

// A layer whose vertex i has x = i, so a drawn vertex names its index.
Layer numbered(std::size_t vertex_count, std::vector<ultraback::Primitive> primitives) {
    Layer layer;
    for (std::size_t i = 0; i < vertex_count; ++i) {
        layer.vertices.push_back({static_cast<std::int16_t>(i), 1, 2, 3, 4, 5, 6, 7, 255});
    }
    layer.primitives = std::move(primitives);
    layer.material = 2;
    return layer;
}

// What the default display list draws: triangles as they stand, quads as
// (0, 1, 2) and (0, 2, 3).
std::vector<Drawn> drawn_by_primitives(const Layer& layer) {
    std::vector<Drawn> out;
    for (const ultraback::Primitive& p : layer.primitives) {
        if (const auto* t = std::get_if<Triangle>(&p)) {
            out.push_back({t->indices[0], t->indices[1], t->indices[2]});
        } else {
            const auto& q = std::get<Quad>(p).indices;
            out.push_back({q[0], q[1], q[2]});
            out.push_back({q[0], q[2], q[3]});
        }
    }
    return out;
}

// What the batches draw, by the x of the vertices in the named slots, run
// through a cache that starts empty and keeps what each load leaves alone.
// Checks the layout on the way: loads laid out back to back over the whole
// vertex array, each within the cache, every slot read loaded before.
std::vector<Drawn> drawn_by_batches(const Layer& layer, std::size_t cache_size) {
    std::vector<Drawn> out;
    std::vector<std::int32_t> cache(cache_size, -1);
    std::uint32_t next = 0;
    for (const ultraback::Batch& batch : layer.batches) {
        EXPECT_FALSE(batch.triangles.empty());
        for (const ultraback::Load& load : batch.loads) {
            EXPECT_EQ(load.start, next);
            EXPECT_GE(load.count, 1u);
            EXPECT_LE(load.slot + load.count, cache_size);
            next = load.start + load.count;
            for (std::uint32_t k = 0; k < load.count && load.slot + k < cache_size; ++k)
                cache[load.slot + k] = layer.vertices.at(load.start + k).x;
        }
        for (const ultraback::SlotTriangle& t : batch.triangles) {
            Drawn d{};
            for (int k = 0; k < 3; ++k) {
                EXPECT_LT(t[k], cache_size);
                d[k] = t[k] < cache_size ? cache[t[k]] : -1;
                EXPECT_NE(d[k], -1) << "slot " << int{t[k]} << " read before it is loaded";
            }
            out.push_back(d);
        }
    }
    EXPECT_EQ(next, layer.vertices.size());
    return out;
}

std::vector<Drawn> sorted(std::vector<Drawn> d) {
    std::sort(d.begin(), d.end());
    return d;
}

struct Figures {
    std::size_t triangles = 0, loaded = 0, commands = 0;
};

Figures figures(const Layer& batched) {
    Figures f;
    for (const ultraback::Batch& b : batched.batches) {
        f.triangles += b.triangles.size();
        for (const ultraback::Load& load : b.loads) f.loaded += load.count;
        f.commands += b.loads.size() + (b.triangles.size() + 1) / 2;
    }
    return f;
}

// A grid of columns x rows cells, each two triangles, points row by row.
std::vector<ultraback::Primitive> grid(std::int32_t columns, std::int32_t rows) {
    std::vector<ultraback::Primitive> out;
    const std::int32_t stride = columns + 1;
    for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < columns; ++c) {
            const std::int32_t p = r * stride + c;
            out.push_back(Triangle{{p, p + stride + 1, p + 1}});
            out.push_back(Triangle{{p, p + stride, p + stride + 1}});
        }
    return out;
}

struct Case {
    const char* name;
    Layer layer;
};

std::vector<Case> cases() {
    std::vector<ultraback::Primitive> fan;
    for (std::int32_t k = 0; k < 300; ++k) fan.push_back(Triangle{{0, 1 + k, 1 + (k + 1) % 300}});
    std::vector<ultraback::Primitive> quads;
    for (std::int32_t r = 0; r < 6; ++r)
        for (std::int32_t c = 0; c < 6; ++c) {
            const std::int32_t p = r * 7 + c;
            quads.push_back(Quad{{p, p + 1, p + 8, p + 7}});
        }
    std::vector<ultraback::Primitive> scattered = grid(8, 8);
    std::reverse(scattered.begin(), scattered.end());
    std::rotate(scattered.begin(), scattered.begin() + 37, scattered.end());
    return {
        {"grid", numbered(17 * 13, grid(16, 12))},
        {"quads", numbered(49, quads)},
        {"fan", numbered(301, fan)},
        {"scattered", numbered(81, scattered)},
        // Corners repeated, the same triangle twice, an unused vertex (5),
        // and a lone triangle apart from the rest.
        {"odd", numbered(9, {Triangle{{0, 0, 1}}, Triangle{{1, 2, 3}}, Triangle{{1, 2, 3}}, Quad{{2, 3, 4, 2}},
                             Triangle{{6, 7, 8}}, Triangle{{4, 4, 4}}})},
    };
}

TEST(BatchLayer, DrawsEveryTriangleOnceInItsCornerOrderWithinTheCache) {
    for (const Case& c : cases()) {
        for (std::size_t cache_size : {3u, 4u, 16u, 32u, 64u}) {
            SCOPED_TRACE(std::string(c.name) + " cache " + std::to_string(cache_size));
            Layer batched = c.layer;
            converter::batch_layer(batched, cache_size);
            EXPECT_TRUE(batched.primitives.empty());
            EXPECT_EQ(batched.material, 2u);
            EXPECT_EQ(sorted(drawn_by_batches(batched, cache_size)), sorted(drawn_by_primitives(c.layer)));

            Layer again = c.layer;
            converter::batch_layer(again, cache_size);
            EXPECT_EQ(again.vertices.size(), batched.vertices.size());
            EXPECT_EQ(drawn_by_batches(again, cache_size), drawn_by_batches(batched, cache_size));

            Layer grown = c.layer;
            converter::batch_layer(grown, cache_size, converter::BatchOrder::Grown);
            EXPECT_EQ(sorted(drawn_by_batches(grown, cache_size)), sorted(drawn_by_primitives(c.layer)));

            // Kept in the listed order, the same slot allocation draws the
            // triangles in exactly that order.
            Layer listed = c.layer;
            converter::batch_layer(listed, cache_size, converter::BatchOrder::AsListed);
            EXPECT_EQ(drawn_by_batches(listed, cache_size), drawn_by_primitives(c.layer));
        }
    }
}

std::vector<std::int32_t> xs(const Layer& layer) {
    std::vector<std::int32_t> out;
    for (const ultraback::Vertex& v : layer.vertices) out.push_back(v.x);
    return out;
}

TEST(BatchLayer, SmallShapesInOneLoad) {
    // A quad and the triangle beside it: one load of the five vertices in the
    // order the batch grew (the quad's first half, the triangle on the edge
    // 1-2, the quad's second half), each triangle's corners as drawn; the
    // unused vertex 4 dropped.
    Layer layer = numbered(6, {Quad{{0, 1, 2, 3}}, Triangle{{1, 5, 2}}});
    converter::batch_layer(layer, 32);
    ASSERT_EQ(layer.batches.size(), 1u);
    EXPECT_EQ(layer.batches[0].loads, (std::vector<ultraback::Load>{{0, 5, 0}}));
    EXPECT_EQ(xs(layer), (std::vector<std::int32_t>{0, 1, 2, 5, 3}));
    EXPECT_EQ(layer.batches[0].triangles,
              (std::vector<ultraback::SlotTriangle>{{0, 1, 2}, {1, 3, 2}, {0, 2, 4}}));

    // Nothing drawn: no batch, no vertex.
    layer = numbered(4, {});
    converter::batch_layer(layer, 32);
    EXPECT_TRUE(layer.batches.empty());
    EXPECT_TRUE(layer.vertices.empty());
}

TEST(BatchLayer, SharedVerticesStayInTheirSlots) {
    // Three slots, two triangles on the edge 1-2: the second batch keeps 1
    // and 2 where they are and loads 3 over 0, which nothing needs any more.
    Layer layer = numbered(4, {Triangle{{0, 1, 2}}, Triangle{{2, 1, 3}}});
    converter::batch_layer(layer, 3);
    ASSERT_EQ(layer.batches.size(), 2u);
    EXPECT_EQ(layer.batches[0].loads, (std::vector<ultraback::Load>{{0, 3, 0}}));
    EXPECT_EQ(layer.batches[1].loads, (std::vector<ultraback::Load>{{3, 1, 0}}));
    EXPECT_EQ(layer.batches[1].triangles, (std::vector<ultraback::SlotTriangle>{{2, 1, 0}}));
    EXPECT_EQ(xs(layer), (std::vector<std::int32_t>{0, 1, 2, 3}));

    // A strip of four triangles through four slots: after the first batch
    // every batch loads one vertex, into the slot of the one left behind.
    layer = numbered(6, {Triangle{{0, 1, 2}}, Triangle{{2, 1, 3}}, Triangle{{2, 3, 4}}, Triangle{{4, 3, 5}}});
    converter::batch_layer(layer, 4);
    std::size_t loaded = 0;
    for (const ultraback::Batch& b : layer.batches)
        for (const ultraback::Load& load : b.loads) loaded += load.count;
    EXPECT_EQ(loaded, 6u);
    EXPECT_EQ(xs(layer), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(BatchLayer, FillsTheCacheOnAGrid) {
    // 64 x 64 cells: the default display list costs 4 commands and 3 loads
    // per triangle; batches that start from an empty cache load 0.78 with 32
    // slots. Three slots hold one triangle: the batches then run as strips,
    // each loading one vertex.
    struct Row {
        std::size_t cache_size;
        double most_loaded, most_commands;  // per triangle
    };
    for (const Row& row : {Row{32, 0.65, 0.6}, Row{16, 0.72, 0.7}, Row{64, 0.6, 0.56}, Row{3, 1.05, 2.05}}) {
        SCOPED_TRACE(row.cache_size);
        Layer layer = numbered(65 * 65, grid(64, 64));
        converter::batch_layer(layer, row.cache_size);
        const Figures f = figures(layer);
        ASSERT_EQ(f.triangles, 2u * 64 * 64);
        EXPECT_LE(static_cast<double>(f.loaded) / static_cast<double>(f.triangles), row.most_loaded);
        EXPECT_LE(static_cast<double>(f.commands) / static_cast<double>(f.triangles), row.most_commands);
    }
}

// A globe of `segments` x `rings` cells, quads between the rings and
// triangle fans at the poles (the first and last point), listed ring by
// ring as a modeller saves it, but each ring from a different meridian.
Layer globe(std::int32_t segments, std::int32_t rings) {
    const std::int32_t points = 2 + segments * (rings - 1);
    const auto at = [&](std::int32_t ring, std::int32_t segment) {
        return 1 + (ring - 1) * segments + (segment + 7 * ring) % segments;
    };
    std::vector<ultraback::Primitive> out;
    for (std::int32_t s = 0; s < segments; ++s) out.push_back(Triangle{{0, at(1, s), at(1, s + 1)}});
    for (std::int32_t r = 1; r + 1 < rings; ++r)
        for (std::int32_t s = 0; s < segments; ++s)
            out.push_back(Quad{{at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)}});
    for (std::int32_t s = 0; s < segments; ++s)
        out.push_back(Triangle{{points - 1, at(rings - 1, s + 1), at(rings - 1, s)}});
    return numbered(static_cast<std::size_t>(points), out);
}

std::size_t cost(const Figures& f) { return 4 * f.loaded + f.commands; }

TEST(BatchLayer, TakesTheCheaperOfGrownAndOrderedBatches) {
    // A load weighs four commands. Two of the globe's rings (24 points
    // each) fit a cache of 64: cut from the cache order, its batches load
    // every point once, which the grown ones do not.
    std::vector<Case> all = cases();
    all.push_back({"globe", globe(24, 16)});
    for (const Case& c : all) {
        for (std::size_t cache_size : {3u, 4u, 16u, 32u, 64u}) {
            SCOPED_TRACE(std::string(c.name) + " cache " + std::to_string(cache_size));
            Layer chosen = c.layer, grown = c.layer, listed = c.layer;
            converter::batch_layer(chosen, cache_size);
            converter::batch_layer(grown, cache_size, converter::BatchOrder::Grown);
            EXPECT_LE(cost(figures(chosen)), cost(figures(grown)));
            if (std::string(c.name) == "globe" && cache_size == 64) {
                const std::size_t points = c.layer.vertices.size();
                EXPECT_EQ(figures(chosen).loaded, points);
                EXPECT_LT(figures(chosen).loaded, figures(grown).loaded);
            }
        }
    }
}

TEST(CacheOrder, DrawsEveryTriangleOnceTheSameWayEachTime) {
    std::vector<Case> all = cases();
    all.push_back({"globe", globe(24, 16)});
    for (const Case& c : all) {
        SCOPED_TRACE(c.name);
        std::vector<converter::Corners> triangles;
        for (const Drawn& d : drawn_by_primitives(c.layer))
            triangles.push_back({{static_cast<std::uint32_t>(d[0]), static_cast<std::uint32_t>(d[1]),
                                  static_cast<std::uint32_t>(d[2])}});
        const std::vector<std::uint32_t> order = converter::cache_order(triangles, c.layer.vertices.size());
        std::vector<std::uint32_t> each(order);
        std::sort(each.begin(), each.end());
        ASSERT_EQ(each.size(), triangles.size());
        for (std::uint32_t t = 0; t < each.size(); ++t) EXPECT_EQ(each[t], t);
        EXPECT_EQ(converter::cache_order(triangles, c.layer.vertices.size()), order);
    }
}

TEST(ConvertLayer, BatchedLayersMayHoldMoreVerticesThanSixteenBitIndices) {
    // 40000 points, a triangle over the last three.
    std::vector<lwofront::Vec3> points(40000);
    for (std::size_t i = 0; i < points.size(); ++i) points[i] = {static_cast<float>(i % 1000), 0, static_cast<float>(i / 1000)};
    const lwofront::Layr l = model_builder::layer(points, {{39997, 39998, 39999}});

    const converter::LayerMaps maps = converter::resolve_maps(l, false);
    converter::LayerSettings settings{.material = 0,
                                      .texture = std::nullopt,
                                      .attributes = {},
                                      .position = 4,
                                      .max_vertices = converter::kMaxBatchedVertices};
    auto converted = converter::convert_layer(l, maps, settings, {});
    ASSERT_TRUE(converted);
    ASSERT_EQ(converted->vertices.size(), 40000u);
    ASSERT_EQ(converted->primitives.size(), 1u);
    const auto& indices = std::get<Triangle>(converted->primitives[0]).indices;
    EXPECT_EQ((Drawn{indices[0], indices[1], indices[2]}), (Drawn{39997, 39999, 39998}));

    converter::batch_layer(*converted, 32);
    ASSERT_EQ(converted->batches.size(), 1u);
    EXPECT_EQ(converted->vertices.size(), 3u);

    settings.max_vertices = converter::kMaxIndexedVertices;
    auto refused = converter::convert_layer(l, maps, settings, {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().description(),
              "layer 4 has 40000 vertices, more than the 32768 a display list can address");
}

}  // namespace

namespace {

void expect_same_batches(const std::vector<Layer>& layers, const std::vector<Layer>& alone) {
    ASSERT_EQ(layers.size(), alone.size());
    for (std::size_t i = 0; i < layers.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(layers[i].primitives.empty());
        EXPECT_EQ(xs(layers[i]), xs(alone[i]));
        ASSERT_EQ(layers[i].batches.size(), alone[i].batches.size());
        for (std::size_t b = 0; b < layers[i].batches.size(); ++b) {
            EXPECT_EQ(layers[i].batches[b].loads, alone[i].batches[b].loads);
            EXPECT_EQ(layers[i].batches[b].triangles, alone[i].batches[b].triangles);
        }
    }
}

// Sixteen layers of different sizes, for the threads to share.
std::vector<Layer> many_layers() {
    std::vector<Layer> layers;
    for (int copy = 0; copy < 3; ++copy)
        for (const Case& c : cases()) layers.push_back(c.layer);
    layers.push_back(numbered(0, {}));
    return layers;
}

std::vector<Layer> batched_alone(std::vector<Layer> layers) {
    for (Layer& layer : layers) converter::batch_layer(layer, 16);
    return layers;
}

TEST(LayerBatching, LayersHandedOverWhileTheListGrowsComeBackInPlace) {
    const std::vector<Layer> all = many_layers();
    const std::vector<Layer> alone = batched_alone(all);
    std::vector<Layer> layers;
    converter::LayerBatching batching(16, all.size());
    // Handed over a few at a time, as the converter makes them; the list
    // moves as it grows, which the batching must not mind.
    for (std::size_t made = 0; made < all.size(); made += 4) {
        layers.shrink_to_fit();
        for (std::size_t i = made; i < std::min(made + 4, all.size()); ++i) layers.push_back(all[i]);
        batching.hand_over(layers, made);
    }
    batching.finish(layers);
    expect_same_batches(layers, alone);
}

TEST(LayerBatching, WritesEveryLayerOnceInItsOrder) {
    const std::vector<Layer> all = many_layers();
    const std::vector<Layer> alone = batched_alone(all);
    // The threads meet differently each time: a few runs, so that a layer
    // left unwritten by one of the ways shows.
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        std::vector<Layer> written;  // one thread writes at a time
        std::vector<Layer> layers;
        converter::LayerBatching batching(16, all.size(), [&](Layer& layer) {
            written.push_back(layer);
            // As the text writer does: the arrays go with the text.
            layer.vertices = {};
            layer.batches = {};
        });
        for (std::size_t made = 0; made < all.size(); made += 4) {
            for (std::size_t i = made; i < std::min(made + 4, all.size()); ++i) layers.push_back(all[i]);
            batching.hand_over(layers, made);
            // The layers back are written, and they are the first ones.
            const std::size_t final = batching.put_back_batched(layers);
            for (std::size_t i = 0; i < final; ++i) EXPECT_TRUE(layers[i].vertices.empty()) << i;
        }
        batching.finish(layers);
        expect_same_batches(written, alone);
        for (const Layer& layer : layers) EXPECT_TRUE(layer.vertices.empty());
    }
}

TEST(LayerBatching, LetGoUnfinishedWhenTheConversionFails) {
    std::vector<Layer> layers = many_layers();
    converter::LayerBatching batching(16, layers.size());
    batching.hand_over(layers, 0);
    // Destroyed without `finish`: the helpers stop, nothing is left running
    // on the layers.
}

}  // namespace
