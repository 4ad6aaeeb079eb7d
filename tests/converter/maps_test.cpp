#include "converter/maps.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/model_builder.hpp"

namespace {

using namespace model_builder;

// Which map of the layer's list was chosen, as "vmap N" / "vmad N", or "-".
template <class Map>
std::string which(const Map* chosen, const lwofront::LazyVector<Map>& maps, const char* kind) {
    if (!chosen) return "-";
    return kind + std::to_string(chosen - maps.data());
}

std::string chosen_text(const lwofront::Layr& l, bool vertex_colors) {
    const converter::ChosenMaps c = converter::choose_maps(l, vertex_colors);
    return which(c.texture, l.vmaps, "vmap ") + " " + which(c.texture_vmad, l.vmads, "vmad ") + " " +
           which(c.color, l.vmaps, "vmap ") + " " + which(c.color_vmad, l.vmads, "vmad ");
}

TEST(ChooseMaps, TheOneRuleForEveryMap) {
    struct Case {
        const char* name;
        std::vector<lwofront::Vmap> vmaps;
        std::vector<lwofront::Vmad> vmads;
        bool vertex_colors;
        std::string expected;  // texture, its VMAD, colour, its VMAD
    };
    const std::vector<Case> cases = {
        {"nothing", {}, {}, true, "- - - -"},
        {"first texture map and first texture VMAD, whatever their names",
         {rgb({}, "c"), txuv({}, "a"), txuv({}, "b")},
         {txuv_vmad({}, "z"), txuv_vmad({}, "a")},
         false,
         "vmap 1 vmad 0 - -"},
        {"a texture VMAD without a texture map is not read", {}, {txuv_vmad({})}, false, "- - - -"},
        {"colours only when asked for", {rgb({}, "c")}, {rgb_vmad({}, "c")}, false, "- - - -"},
        {"the colour VMAD of the colour map's name, not the first",
         {rgb({}, "used"), rgb({}, "unused")},
         {rgb_vmad({}, "unused"), rgb_vmad({}, "used")},
         true,
         "- - vmap 0 vmad 1"},
        {"a colour VMAD of another type does not count",
         {rgb({}, "c")},
         {lwofront::Vmad{lwofront::OtherType{0x52474241}, 4, "c", {}}},  // RGBA
         true,
         "- - vmap 0 -"},
        {"a colour VMAD without its map is not read", {rgb({}, "a")}, {rgb_vmad({}, "b")}, true, "- - vmap 0 -"},
    };
    for (const Case& c : cases) {
        lwofront::Layr l = layer({});
        l.vmaps = c.vmaps;
        l.vmads = c.vmads;
        EXPECT_EQ(chosen_text(l, c.vertex_colors), c.expected) << c.name;
    }
}

TEST(ResolveMaps, APointTakesItsFirstEntryInStoredOrder) {
    lwofront::Layr l = layer({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    // Point 1 first in the list holds point 2's position; point 0 has two
    // entries; point 1 none; point 7 is not a point of the layer.
    l.vmaps.push_back(txuv({{2, {0.5f, 0}}, {0, {0.25f, 0}}, {0, {0.75f, 0}}, {7, {1, 1}}}));
    const converter::LayerMaps maps = converter::resolve_maps(l, false);
    auto u = [&](std::uint32_t point) {
        const std::span<const float> values = maps.texture.of(point);
        return values.empty() ? -1.0f : values[0];
    };
    EXPECT_EQ(u(0), 0.25f);
    EXPECT_EQ(u(1), -1.0f);
    EXPECT_EQ(u(2), 0.5f);
    EXPECT_EQ(u(7), -1.0f);
    EXPECT_TRUE(maps.color.of(0).empty());
}

TEST(PolygonValues, APolygonsOwnValueForAPoint) {
    const lwofront::Vmad vmad =
        txuv_vmad({{1, 0, {0.1f, 0}}, {2, 1, {0.2f, 0}}, {1, 1, {0.3f, 0}}, {1, 1, {0.4f, 0}}, {1, 9, {0.5f, 0}}});
    const converter::PolygonValues values = converter::polygon_values(&vmad, 2);
    auto u = [&](std::uint32_t point, std::size_t polygon) {
        const std::span<const float> found = values.of(point, polygon);
        return found.empty() ? -1.0f : found[0];
    };
    EXPECT_EQ(u(1, 0), 0.1f);
    EXPECT_EQ(u(1, 1), 0.3f);  // the first of two
    EXPECT_EQ(u(2, 1), 0.2f);
    EXPECT_EQ(u(2, 0), -1.0f);
    EXPECT_EQ(u(1, 9), -1.0f);  // beyond the polygons
    EXPECT_TRUE(converter::polygon_values(nullptr, 2).of(1, 0).empty());
}

}  // namespace
