// The flat per-layer storage of polygons and map entries, the lists a layer
// makes with their first item, and the geometry chunks read whole and taken
// apart in memory: cut inside an item by the chunk's end, spanning several
// reads, following a longer body, or cut short by a source that ends early.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "lwofront/model.hpp"
#include "lwofront/parse.hpp"
#include "support/lwo_objects.hpp"

namespace {

using lwo_test::Builder;
using namespace lwofront;

template <class T>
std::vector<T> items(std::span<const T> view) {
    return {view.begin(), view.end()};
}

// One layer, then the given chunk with a declared length of `length` bytes
// whatever the body holds, so the window ends where the length says.
std::vector<std::byte> cut_chunk(std::string_view id, std::uint32_t length, const std::function<void(Builder&)>& body) {
    Builder b;
    b.form([&] {
        lwo_test::layer(b);
        b.header(id, length);
        Builder rest;
        body(rest);
        rest.bytes.resize(length);
        b.bytes.insert(b.bytes.end(), rest.bytes.begin(), rest.bytes.end());
    });
    return b.bytes;
}

TEST(FlatStorage, PolygonListHandsOutEachPolygonInPlace) {
    Pols pols;
    EXPECT_TRUE(pols.polygons.empty());
    const std::vector<std::uint32_t> a{0, 1, 2}, none{}, c{3, 4, 5, 6};
    pols.polygons.push_back({0x8000, a});
    pols.polygons.push_back({0, none});
    pols.polygons.push_back({0x0400, c});

    ASSERT_EQ(pols.polygons.size(), 3u);
    EXPECT_EQ(pols.polygons[0].flags, 0x8000u);
    EXPECT_EQ(items(pols.polygons[0].vertices), a);
    EXPECT_TRUE(pols.polygons[1].vertices.empty());
    EXPECT_EQ(items(pols.polygons.back().vertices), c);
    std::vector<std::size_t> sizes;
    for (const Polygon polygon : pols.polygons) sizes.push_back(polygon.vertices.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 0, 4}));

    // A copy owns its corners: changing the original leaves it as it was.
    const Pols copy = pols;
    pols.polygons.clear();
    pols.polygons.push_back({0, c});
    ASSERT_EQ(copy.polygons.size(), 3u);
    EXPECT_EQ(items(copy.polygons[0].vertices), a);
    EXPECT_EQ(items(copy.polygons[2].vertices), c);
    EXPECT_EQ(pols.polygons.size(), 1u);
}

TEST(FlatStorage, MapEntriesKeepTheirOwnValueCounts) {
    Vmap map{Txuv{}, 2, "uv", {}};
    const std::vector<float> uv{0.25f, 0.5f}, one{1}, none{};
    map.entries.push_back({7, uv});
    map.entries.push_back({2, one});
    map.entries.push_back({9, none});
    ASSERT_EQ(map.entries.size(), 3u);
    EXPECT_EQ(map.entries[0].vertex, 7u);
    EXPECT_EQ(items(map.entries[0].values), uv);
    EXPECT_EQ(items(map.entries[1].values), one);
    EXPECT_TRUE(map.entries[2].values.empty());

    Vmad vmad{Txuv{}, 2, "uv", {}};
    vmad.entries.push_back({3, 5, uv});
    const Vmad copy = vmad;
    vmad.entries.push_back({4, 6, one});
    ASSERT_EQ(copy.entries.size(), 1u);
    EXPECT_EQ(copy.entries[0].vertex, 3u);
    EXPECT_EQ(copy.entries[0].polygon, 5u);
    EXPECT_EQ(items(copy.entries[0].values), uv);
}

// A layer's lists are made with their first item, since a file may hold a
// million empty layers; layers still copy and assign as values, empty or not.
TEST(FlatStorage, LayerListsCopyAsValues) {
    Layr layer;
    const std::vector<std::uint32_t> corners{0, 1, 2};
    const std::vector<float> uv{0.25f, 0.5f};
    layer.pols.polygons.push_back({0x8000, corners});
    layer.ptag.entries.push_back({0, 7});
    layer.vmaps.push_back(Vmap{Txuv{}, 2, "uv", {}});
    layer.vmaps.back().entries.push_back({1, uv});
    layer.vmads.push_back(Vmad{Txuv{}, 2, "uv", {}});

    const Layr copy = layer;
    Layr assigned = copy;
    layer.pols.polygons.clear();
    layer.ptag.entries.clear();
    layer.vmaps.clear();
    layer.vmads.clear();
    ASSERT_EQ(copy.pols.polygons.size(), 1u);
    EXPECT_EQ(copy.pols.polygons[0].flags, 0x8000u);
    EXPECT_EQ(items(copy.pols.polygons[0].vertices), corners);
    ASSERT_EQ(copy.ptag.entries.size(), 1u);
    EXPECT_EQ(copy.ptag.entries[0].tag, 7u);
    ASSERT_EQ(copy.vmaps.size(), 1u);
    EXPECT_EQ(items(copy.vmaps[0].entries[0].values), uv);
    EXPECT_EQ(copy.vmads.size(), 1u);

    // Assigning the emptied layer empties every list; empty lists walk as such.
    assigned = layer;
    EXPECT_TRUE(assigned.pols.polygons.empty());
    EXPECT_TRUE(assigned.ptag.entries.empty());
    EXPECT_TRUE(assigned.vmaps.empty());
    EXPECT_EQ(assigned.vmads.begin(), assigned.vmads.end());
    EXPECT_EQ(copy.vmaps.size(), 1u);
}

// A chunk whose declared length ends inside an item: fields past the end read
// as 0, as a read refused by the stream's window does.
TEST(FlatStorage, GeometryCutInsideAnItem) {
    struct Case {
        const char* name;
        std::vector<std::byte> bytes;
        std::function<void(const Layr&)> check;
    };
    const Case cases[] = {
        {"PNTS: a point cut after x keeps x, the rest 0",
         cut_chunk("PNTS", 16, [](Builder& b) { b.vec3(1, 2, 3).vec3(4, 5, 6); }),
         [](const Layr& l) {
             ASSERT_EQ(l.points.vec.size(), 2u);
             EXPECT_EQ(l.points.vec[1].x, 4.0f);
             EXPECT_EQ(l.points.vec[1].y, 0.0f);
             EXPECT_EQ(l.points.vec[1].z, 0.0f);
         }},
        {"PNTS: two bytes of a point give a point of zeros",
         cut_chunk("PNTS", 14, [](Builder& b) { b.vec3(1, 2, 3).vec3(4, 5, 6); }),
         [](const Layr& l) {
             ASSERT_EQ(l.points.vec.size(), 2u);
             EXPECT_EQ(l.points.vec[1].x, 0.0f);
         }},
        {"POLS: corners past the end are 0",
         cut_chunk("POLS", 10, [](Builder& b) { b.id("FACE").u2(0x8004).vx(5).vx(6).vx(7).vx(8); }),
         [](const Layr& l) {
             ASSERT_EQ(l.pols.polygons.size(), 1u);
             EXPECT_EQ(l.pols.polygons[0].flags, 0x8000u);
             EXPECT_EQ(items(l.pols.polygons[0].vertices), (std::vector<std::uint32_t>{5, 6, 0, 0}));
         }},
        {"POLS: a long index cut after its first half keeps its high byte",
         cut_chunk("POLS", 10, [](Builder& b) { b.id("FACE").u2(3).vx(1).vx(0x20304).vx(2); }),
         [](const Layr& l) {
             ASSERT_EQ(l.pols.polygons.size(), 1u);
             EXPECT_EQ(items(l.pols.polygons[0].vertices), (std::vector<std::uint32_t>{1, 0x20000, 0}));
         }},
        {"POLS: a type cut short reads as 0 and no polygon follows",
         cut_chunk("POLS", 2, [](Builder& b) { b.id("FACE"); }),
         [](const Layr& l) {
             EXPECT_TRUE(std::holds_alternative<OtherType>(l.pols.kind));
             EXPECT_EQ(std::get<OtherType>(l.pols.kind).id, 0u);
             EXPECT_TRUE(l.pols.polygons.empty());
         }},
        {"PTAG: a tag cut short is 0",
         cut_chunk("PTAG", 11, [](Builder& b) { b.id("SURF").vx(1).u2(2).vx(3).u2(4); }),
         [](const Layr& l) {
             ASSERT_EQ(l.ptag.entries.size(), 2u);
             EXPECT_EQ(l.ptag.entries[1].polygon, 3u);
             EXPECT_EQ(l.ptag.entries[1].tag, 0u);
         }},
        {"VMAD: an entry without room for its values is dropped",
         cut_chunk("VMAD", 4 + 2 + 4 + 12 + 8, [](Builder& b) {
             b.id("TXUV").u2(2).str("uv").vx(1).vx(0).f4(0.5f).f4(0.25f).vx(2).vx(0).f4(1).f4(1);
         }),
         [](const Layr& l) {
             ASSERT_EQ(l.vmads.size(), 1u);
             ASSERT_EQ(l.vmads[0].entries.size(), 1u);
             EXPECT_EQ(items(l.vmads[0].entries[0].values), (std::vector<float>{0.5f, 0.25f}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = lwo_test::parse(c.bytes);
        ASSERT_TRUE(r) << r.error().description();
        ASSERT_EQ(r->layers.size(), 1u);
        c.check(r->layers[0]);
    }
}

// A body larger than one read, and a shorter body after it in the same buffer.
TEST(FlatStorage, LongBodyThenShortBody) {
    constexpr std::uint32_t kPoints = 120'000;  // 1.4 MB, more than one read
    Builder b;
    b.form([&] {
        lwo_test::layer(b);
        b.chunk("PNTS", [&] {
            for (std::uint32_t i = 0; i < kPoints; ++i) b.vec3(float(i), 0, 1);
        });
        b.chunk("POLS", [&] {
            b.id("FACE");
            for (std::uint32_t i = 0; i + 2 < kPoints; i += 3) b.u2(3).vx(i).vx(i + 1).vx(i + 2);
        });
        lwo_test::layer(b);
        b.chunk("PNTS", [&] { b.vec3(7, 8, 9); });
        b.chunk("POLS", [&] { b.id("FACE").u2(1).vx(0); });
    });
    auto r = lwo_test::parse(b.span());
    ASSERT_TRUE(r) << r.error().description();
    ASSERT_EQ(r->layers.size(), 2u);
    const Layr& big = r->layers[0];
    ASSERT_EQ(big.points.vec.size(), kPoints);
    EXPECT_EQ(big.points.vec.back().x, float(kPoints - 1));
    ASSERT_EQ(big.pols.polygons.size(), kPoints / 3);
    EXPECT_EQ(items(big.pols.polygons.back().vertices),
              (std::vector<std::uint32_t>{kPoints - 3, kPoints - 2, kPoints - 1}));

    const Layr& small = r->layers[1];
    ASSERT_EQ(small.points.vec.size(), 1u);
    EXPECT_EQ(small.points.vec[0].z, 9.0f);
    ASSERT_EQ(small.pols.polygons.size(), 1u);
    EXPECT_EQ(items(small.pols.polygons[0].vertices), (std::vector<std::uint32_t>{0}));
}

// A file that shrank while it was read: the window promises more bytes than
// the source has, and the read of a body fails at any point of it.
TEST(FlatStorage, SourceEndingInsideABodyFails) {
    Builder b;
    b.form([&] {
        lwo_test::layer(b);
        b.chunk("PNTS", [&] {
            for (int i = 0; i < 100'000; ++i) b.vec3(1, 2, 3);
        });
    });
    for (std::size_t missing : {std::size_t{1}, std::size_t{12}, std::size_t{600'000}}) {
        SCOPED_TRACE(missing);
        const auto bytes = b.span();
        stream::MemorySource source(bytes.first(bytes.size() - missing));
        stream::Stream s(source, bytes.size());
        lwo_test::expect_error(lwofront::process(s), ErrorKind::Io, LwoError::None, "failed to fill whole buffer");
    }
}

}  // namespace
