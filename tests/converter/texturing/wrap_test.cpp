// Which clips are wrapped: a layer whose texture map leaves 0..1 marks every
// clip that the surfaces of its polygons name.

#include "converter/texturing/wrap.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "converter/model_builder.hpp"

namespace {

using namespace model_builder;

// Clips 1 to 3; surface A names clip 1 in one block and clip 2 in another,
// surface B names clip 3. One triangle tagged with surface `tag`.
lwofront::Object object_with(std::uint16_t tag, lwofront::Layr l) {
    lwofront::Object object;
    object.tags = {"A", "B"};
    object.clips = {clip("a.png"), clip("b.png"), clip("c.png")};
    object.surfaces.push_back(surface("A", {blok({1}), blok({2})}));
    object.surfaces.push_back(surface("B", {blok({3})}));
    tag_all(l, tag);
    object.layers.push_back(std::move(l));
    return object;
}

std::vector<bool> wrapped(const lwofront::Object& object, bool split_surfaces = false) {
    return converter::wrapped_clips(object, lwofront::index_surfaces(object), 1.0f, split_surfaces);
}

lwofront::Layr triangle() { return layer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}); }

TEST(WrappedClips, TextureCoordinatesBeyondTheUnitSquare) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<float> uv;
        bool per_polygon;
        std::vector<bool> expected;
    };
    for (const Case& c : std::vector<Case>{
             {"inside, edges included", {1.0f, 0.0f}, false, {false, false, false}},
             {"beyond 1", {1.5f, 0.5f}, false, {true, true, false}},
             {"below 0", {0.5f, -0.25f}, false, {true, true, false}},
             {"not a number", {nan, 0.5f}, false, {true, true, false}},
             {"beyond 1 in a per-polygon map", {2.0f, 0.0f}, true, {true, true, false}},
         }) {
        SCOPED_TRACE(c.what);
        lwofront::Layr l = triangle();
        l.vmaps.push_back(txuv({{0, {0, 0}}, {1, c.per_polygon ? std::vector<float>{1, 0} : c.uv}, {2, {0, 1}}}));
        if (c.per_polygon) l.vmads.push_back(txuv_vmad({{1, 0, c.uv}}));
        EXPECT_EQ(wrapped(object_with(0, std::move(l))), c.expected);
    }
}

TEST(WrappedClips, OnlyTheFirstTextureMapAndOnlyTheSurfacesUsed) {
    lwofront::Layr l = triangle();
    l.vmaps.push_back(txuv({{0, {0.5f, 0.5f}}}, "first"));
    l.vmaps.push_back(txuv({{0, {5.0f, 5.0f}}}, "second"));
    EXPECT_EQ(wrapped(object_with(1, std::move(l))), (std::vector<bool>{false, false, false}));

    lwofront::Layr wrapping = triangle();
    wrapping.vmaps.push_back(txuv({{0, {3.0f, 0.5f}}}));
    EXPECT_EQ(wrapped(object_with(1, std::move(wrapping))), (std::vector<bool>{false, false, true}));

    // A per-polygon map without a texture map gives no texture coordinates.
    lwofront::Layr unmapped = triangle();
    unmapped.vmads.push_back(txuv_vmad({{1, 0, {2.0f, 0.0f}}}));
    EXPECT_EQ(wrapped(object_with(1, std::move(unmapped))), (std::vector<bool>{false, false, false}));
}

// A block that maps its image by `mode` (0 planar, 1 cylindrical) around Z,
// size 2.
lwofront::Blok projected_blok(std::uint32_t image, std::uint16_t mode) {
    lwofront::Blok b;
    b.attributes.push_back(lwofront::Tmap{{lwofront::Size{{2, 2, 2}, 0}}});
    b.attributes.push_back(lwofront::Proj{mode});
    b.attributes.push_back(lwofront::Axis{2});
    b.attributes.push_back(lwofront::Imag{image});
    return b;
}

TEST(WrappedClips, ProjectedTexturesByTheirOwnCoordinates) {
    // The triangle lies within 0..1 of a planar projection of size 2 (u about
    // 1/2, t 1), but crosses the seam of a cylinder around Z, where
    // its corners go past u = 1. With -m or without, alike.
    for (const std::uint16_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        lwofront::Layr l = layer({{0.01f, -1, 0}, {-0.01f, -1, 0}, {0.01f, -1, 1}}, {{0, 1, 2}});
        lwofront::Object object = object_with(1, std::move(l));
        object.surfaces[1] = surface("B", {projected_blok(3, mode)});
        EXPECT_EQ(wrapped(object), (std::vector<bool>{false, false, mode == 1}));
        EXPECT_EQ(wrapped(object, true), (std::vector<bool>{false, false, mode == 1}));
    }
}

}  // namespace
