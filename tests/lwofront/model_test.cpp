#include "lwofront/model.hpp"

#include <gtest/gtest.h>

namespace {

using namespace lwofront;

TEST(Model, NewLayerIsEmpty) {
    Layr layer = Layr::create(3, 1, {1, 2, 3}, "name", 2);
    EXPECT_EQ(layer.number, 3u);
    EXPECT_EQ(layer.flags, 1u);
    EXPECT_EQ(layer.pivot.y, 2.0f);
    EXPECT_EQ(layer.name, "name");
    EXPECT_EQ(layer.parent, 2u);
    EXPECT_TRUE(layer.points.vec.empty());
    EXPECT_TRUE(layer.vmaps.empty());
    EXPECT_TRUE(layer.vmads.empty());
    ASSERT_TRUE(std::holds_alternative<OtherType>(layer.pols.kind));
    EXPECT_EQ(std::get<OtherType>(layer.pols.kind).id, 0u);
    EXPECT_TRUE(layer.pols.polygons.empty());
    ASSERT_TRUE(std::holds_alternative<OtherType>(layer.ptag.kind));
    EXPECT_EQ(std::get<OtherType>(layer.ptag.kind).id, 0u);
    EXPECT_TRUE(layer.ptag.entries.empty());
}

Vmap map_with_vertices(std::initializer_list<std::uint32_t> vertices) {
    Vmap map;
    for (std::uint32_t v : vertices) {
        const float value = float(v);
        map.entries.push_back({v, {&value, 1}});
    }
    return map;
}

TEST(Model, CollectRefs) {
    struct Case {
        const char* name;
        Vmap map;
        std::vector<std::uint32_t> indices;
        std::vector<std::uint32_t> found;  // vertex of each entry returned
    };
    const Case cases[] = {
        {"dense map in point order", map_with_vertices({0, 1, 2, 3}), {3, 0, 2}, {3, 0, 2}},
        {"sparse map", map_with_vertices({5, 9}), {9, 4, 5}, {9, 5}},
        {"index at or above the entry count", map_with_vertices({7, 2, 1}), {7, 3, 1}, {7, 1}},
        {"unordered map", map_with_vertices({2, 0, 1}), {0, 1, 2}, {0, 1, 2}},
        {"empty map", map_with_vertices({}), {0, 1}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> found;
        for (const VmapEntry& entry : c.map.collect_refs(c.indices)) {
            found.push_back(entry.vertex);
            ASSERT_EQ(entry.values.size(), 1u);
            EXPECT_EQ(entry.values[0], float(entry.vertex));
        }
        EXPECT_EQ(found, c.found);
    }
}

TEST(Model, SurfacesInLayer) {
    Object object;
    object.tags = {"Third", "First", "Wood", "wood", "Wood "};
    for (const char* name : {"First", "Second", "Third"}) object.surfaces.push_back({name, "", {}});

    struct Case {
        const char* name;
        std::vector<std::uint16_t> tags;
        std::vector<std::size_t> surfaces;
    };
    const Case cases[] = {
        {"third, first, third again", {0, 1, 0}, {0, 2}},
        {"no tag entries", {}, {}},
        {"tags outside the list name nothing", {5, 0xFFFF, 1}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Layr layer = Layr::create(0, 0, {}, "", 0);
        for (std::uint16_t tag : c.tags) layer.ptag.entries.push_back({0, tag});
        EXPECT_EQ(object.get_surfaces_in_layer(layer), c.surfaces);
    }

    // Names compare as exact bytes: case and trailing spaces count.
    Object wood;
    wood.tags = {"wood", "Wood "};
    wood.surfaces.push_back({"Wood", "", {}});
    Layr layer = Layr::create(0, 0, {}, "", 0);
    layer.ptag.entries = {{0, 0}, {1, 1}};
    EXPECT_TRUE(wood.get_surfaces_in_layer(layer).empty());

    Object no_surfaces;
    no_surfaces.tags = {"Wood"};
    layer.ptag.entries = {{0, 0}};
    EXPECT_TRUE(no_surfaces.get_surfaces_in_layer(layer).empty());

    // Surfaces of one name are all named by its tag; unnamed surfaces by none
    // but an empty tag.
    Object twins;
    twins.tags = {"Twin", "", "Other"};
    for (const char* name : {"", "Twin", "Other", "Twin", ""}) twins.surfaces.push_back({name, "", {}});
    layer.ptag.entries = {{0, 0}, {1, 0}};
    EXPECT_EQ(twins.get_surfaces_in_layer(layer), (std::vector<std::size_t>{1, 3}));
    layer.ptag.entries = {{0, 2}, {1, 1}};
    EXPECT_EQ(twins.get_surfaces_in_layer(layer), (std::vector<std::size_t>{0, 2, 4}));
}

}  // namespace
