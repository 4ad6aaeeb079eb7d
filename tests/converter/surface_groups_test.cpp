#include "converter/surface_groups.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/model_builder.hpp"

namespace {

using namespace model_builder;

// A group as text: its surface, point xs, polygons, then the map entries as
// (point, u) and (point, polygon, u). Built with += only: g++ 12 warns
// falsely (-Wrestrict) on some chains of string + string.
std::string group_text(const converter::SurfaceGroup& g) {
    std::string out;
    auto add = [&](auto... parts) { ((out += parts), ...); };
    auto number = [](float value) { return std::to_string(static_cast<int>(value)); };
    add("surface ", g.surface ? std::to_string(*g.surface) : std::string("-"), " points");
    for (const lwofront::Vec3& p : g.layer.points.vec) add(" ", number(p.x));
    add(" polygons");
    for (const lwofront::Polygon polygon : g.layer.pols.polygons) {
        add(" (");
        for (std::uint32_t c : polygon.vertices) add(std::to_string(c));
        add(")");
    }
    if (g.layer.vmaps.empty() || g.layer.vmads.empty()) return out + " without its maps";
    add(" vmap");
    for (const lwofront::VmapEntry e : g.layer.vmaps[0].entries) {
        add(" (", std::to_string(e.vertex), " ", number(e.values[0]), ")");
    }
    add(" vmad");
    for (const lwofront::VmadEntry e : g.layer.vmads[0].entries) {
        add(" (", std::to_string(e.vertex), " ", std::to_string(e.polygon), " ", number(e.values[0]), ")");
    }
    return out;
}

std::vector<std::string> groups_of(const lwofront::Object& object, const lwofront::Layr& l) {
    std::vector<std::string> out;
    for (const converter::SurfaceGroup& g :
         converter::group_by_surface(object, lwofront::index_surfaces(object), l)) {
        out.push_back(group_text(g));
    }
    return out;
}

// Points 0 to 5 at x = 10 times their index; each map value names its point
// (VMAP) or point and polygon (VMAD) so the renumbering shows.
lwofront::Layr six_points(std::vector<std::vector<std::uint32_t>> polygons, std::vector<std::uint16_t> tags) {
    lwofront::Layr l = layer({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}, {50, 0, 0}}, polygons);
    l.ptag.kind = lwofront::SurfTag{};
    for (std::uint32_t p = 0; p < tags.size(); ++p) l.ptag.entries.push_back({p, tags[p]});
    l.vmaps.push_back(txuv({{5, {5, 0}}, {0, {0, 0}}, {1, {1, 0}}, {2, {2, 0}}, {3, {3, 0}}, {4, {4, 0}}}));
    l.vmads.push_back(txuv_vmad({{2, 2, {22, 0}}, {3, 1, {31, 0}}, {4, 3, {43, 0}}}));
    return l;
}

lwofront::Object tagged_object() {
    lwofront::Object o;
    o.tags = {"A", "B", "C"};  // no surface is named C
    o.surfaces = {surface("A"), surface("B"), surface("A")};  // the first A counts
    return o;
}

TEST(GroupBySurface, GroupsInTheOrderOfTheirFirstPolygonEachRenumbered) {
    const lwofront::Layr l = six_points({{0, 1, 2}, {2, 3, 4}, {5, 2, 1}, {3, 4, 5}}, {1, 0, 1, 2});
    EXPECT_EQ(groups_of(tagged_object(), l),
              (std::vector<std::string>{
                  "surface 1 points 0 10 20 50 polygons (012) (321) vmap (3 5) (0 0) (1 1) (2 2) vmad (2 1 22)",
                  "surface 0 points 20 30 40 polygons (012) vmap (0 2) (1 3) (2 4) vmad (1 0 31)",
                  "surface - points 30 40 50 polygons (012) vmap (2 5) (0 3) (1 4) vmad (1 0 43)",
              }));
}

TEST(GroupBySurface, OneSurfaceLeavesTheLayerAsItIs) {
    EXPECT_TRUE(groups_of(tagged_object(), six_points({{0, 1, 2}, {2, 3, 4}}, {1, 1})).empty());
    // Only the first tag entry of a polygon counts.
    lwofront::Layr retagged = six_points({{0, 1, 2}, {2, 3, 4}}, {0, 0});
    retagged.ptag.entries.push_back({1, 1});
    EXPECT_TRUE(groups_of(tagged_object(), retagged).empty());
    // Polygons without a surface beside others make a group of their own.
    EXPECT_EQ(groups_of(tagged_object(), six_points({{0, 1, 2}, {2, 3, 4}}, {0})).size(), 2u);
}

}  // namespace
