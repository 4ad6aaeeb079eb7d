// Texture coordinates by projection, against values worked out by hand from
// the rules at the top of projection.cpp: each projection along each axis,
// wrap counts, a pole, a polygon across the cylinder's seam, a cube's faces,
// and the way the values reach the vertices through layer conversion.

#include "converter/projection.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "converter/layer.hpp"
#include "converter/model_builder.hpp"
#include "lwofront/parse.hpp"

namespace converter {
namespace {

using lwofront::Vec3;
using model_builder::layer;

// A corner's value as layer conversion reads it: its polygon's own (VMAD),
// else its point's; u across and t down the image.
struct CornerUt {
    float u;
    float t;
};

CornerUt corner(const TextureMaps& made, const lwofront::Layr& l, std::uint32_t point, std::size_t polygon) {
    const PolygonValues own = polygon_values(&made.vmad, l.pols.polygons.size());
    std::span<const float> values = own.of(point, polygon);
    const LayerMaps maps = resolve_maps(l, false, false, std::make_shared<const TextureMaps>(made));
    if (values.empty()) values = maps.texture.of(point);
    EXPECT_EQ(values.size(), 2u);
    if (values.size() != 2) return {-99, -99};
    return {values[0], 1.0f - values[1]};
}

Projection make(ProjectionKind kind, int axis, Vec3 size = {1, 1, 1}, Vec3 centre = {0, 0, 0}, float width_wraps = 1,
                float height_wraps = 1) {
    Projection p;
    p.kind = kind;
    p.axis = axis;
    p.size = size;
    p.centre = centre;
    p.width_wraps = width_wraps;
    p.height_wraps = height_wraps;
    return p;
}

struct PointCase {
    std::string name;
    Projection projection;
    Vec3 point;
    float u;
    float t;
};

TEST(Projection, OnePointPerProjectionAndAxis) {
    using enum ProjectionKind;
    const std::vector<PointCase> cases = {
        // (5, 0.5, 1) - (1, 0, 0) = (4, 0.5, 1): u = 1/4 + 1/2, t = -0.5/2 + 1/2.
        {"planar X", make(Planar, 0, {2, 2, 4}, {1, 0, 0}), {5, 0.5f, 1}, 0.75f, 0.25f},
        {"planar Y", make(Planar, 1, {2, 2, 2}), {0.5f, 9, -0.5f}, 0.75f, 0.75f},
        {"planar Z", make(Planar, 2), {-0.25f, 0.25f, 7}, 0.25f, 0.25f},
        // Around Y, +X has heading pi/2: u = 1 - 1/4; t = -0.25/2 + 1/2.
        {"cylindrical Y at +X", make(Cylindrical, 1, {1, 2, 1}), {1, 0.25f, 0}, 0.75f, 0.375f},
        // +Z is heading 0, the image's left edge.
        {"cylindrical Y at +Z", make(Cylindrical, 1), {0, 0, 1}, 0, 0.5f},
        // -X: heading -pi/2, u = 1/4 of a turn, two turns across the image.
        {"cylindrical Y twice around", make(Cylindrical, 1, {1, 1, 1}, {0, 0, 0}, 2), {-1, 0, 0}, 0.5f, 0.5f},
        // Negative wraps run the image backwards.
        {"cylindrical Y backwards", make(Cylindrical, 1, {1, 2, 1}, {0, 0, 0}, -1), {1, 0.25f, 0}, -0.75f, 0.375f},
        // Around X: (a, b, c) = (z, x, -y) = (-1, 0.5, 0), heading pi/2.
        {"cylindrical X", make(Cylindrical, 0, {4, 1, 1}), {0.5f, 0, -1}, 0.75f, 0.375f},
        // Around Z: (a, b, c) = (-x, z, -y) = (0, 0.5, -1), heading pi.
        {"cylindrical Z", make(Cylindrical, 2), {0, 1, 0.5f}, 0.5f, 0},
        // 45 degrees up: t = 1/2 - 1/4.
        {"spherical Y", make(Spherical, 1), {0, 1, 1}, 0, 0.25f},
        {"spherical Y wrapped", make(Spherical, 1, {1, 1, 1}, {0, 0, 0}, 2, 3), {1, 0, 0}, 1.5f, 1.5f},
        // Around X: (a, b, c) = (1, -1, 0): heading -pi/2, 45 degrees down.
        {"spherical X", make(Spherical, 0), {-1, 0, 1}, 0.25f, 0.75f},
        {"spherical Z", make(Spherical, 2), {0, -1, 0}, 0, 0.5f},
        // The size does not matter to a sphere, the centre does.
        {"spherical Y off centre", make(Spherical, 1, {9, 9, 9}, {0, -1, 0}), {0, 0, 1}, 0, 0.25f},
    };
    for (const PointCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The point and two more along its own heading, so no corner moves.
        const Vec3 p = c.point;
        const lwofront::Layr l = layer({p, {p.x * 2, p.y * 2, p.z * 2}, {p.x * 3, p.y * 2, p.z * 3}}, {{0, 1, 2}});
        const TextureMaps made = project_layer(l, c.projection, 1.0f);
        const CornerUt got = corner(made, l, 0, 0);
        EXPECT_NEAR(got.u, c.u, 1e-6f);
        EXPECT_NEAR(got.t, c.t, 1e-6f);
    }
}

TEST(Projection, ScaleMovesCentreAndSizeWithThePoints) {
    // The driver multiplied the points by 10: (1, 2, 3) was (0.1, 0.2, 0.3).
    const Projection p = make(ProjectionKind::Planar, 2, {0.4f, 0.8f, 1}, {0.1f, 0, 0});
    const lwofront::Layr l = layer({{1, 2, 3}, {2, 2, 3}, {1, 3, 3}}, {{0, 1, 2}});
    const CornerUt got = corner(project_layer(l, p, 10.0f), l, 0, 0);
    EXPECT_NEAR(got.u, 0.5f, 1e-6f);   // (0.1 - 0.1) / 0.4 + 1/2
    EXPECT_NEAR(got.t, 0.25f, 1e-6f);  // -0.2 / 0.8 + 1/2
}

TEST(Projection, ObjectCoordinatesStartAtThePivotWorldCoordinatesDoNot) {
    lwofront::Layr l = layer({{1, 0, 0}, {1, 1, 0}, {2, 0, 0}}, {{0, 1, 2}});
    l.pivot = {0.5f, 0, 0};
    Projection p = make(ProjectionKind::Planar, 2);
    EXPECT_NEAR(corner(project_layer(l, p, 1.0f), l, 0, 0).u, 1.0f, 1e-6f);
    p.world = true;
    EXPECT_NEAR(corner(project_layer(l, p, 1.0f), l, 0, 0).u, 1.5f, 1e-6f);
}

TEST(Projection, RotationTurnsTheTexture) {
    // A heading of a quarter turn takes the texture's +Z to +X, so planar Z
    // now reads -z where it read x.
    Projection p = make(ProjectionKind::Planar, 2);
    p.rotation = {1.5707964f, 0, 0};
    const lwofront::Layr l = layer({{0, 0, -0.25f}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}});
    EXPECT_NEAR(corner(project_layer(l, p, 1.0f), l, 0, 0).u, 0.75f, 1e-6f);
}

TEST(Projection, PoleTakesTheMeanHeadingOfItsPolygon) {
    // Sphere around Y: the pole (0, 1, 0) has no heading; (1, 0, 0) has
    // u = 3/4 and (1, 0, -1) u = 5/8.
    const lwofront::Layr l = layer({{0, 1, 0}, {1, 0, 0}, {1, 0, -1}}, {{0, 1, 2}});
    const TextureMaps made = project_layer(l, make(ProjectionKind::Spherical, 1), 1.0f);
    const CornerUt pole = corner(made, l, 0, 0);
    EXPECT_NEAR(pole.u, 0.6875f, 1e-6f);
    EXPECT_NEAR(pole.t, 0, 1e-6f);
}

TEST(Projection, PolygonAcrossTheSeamStaysOnOneTurnAndItsPointsSplit) {
    // Around Y the seam is at +Z. Quad 0 lies left of it (u just above 0),
    // quad 1 across it: its right corners, just below u = 1, would drag its
    // left ones across the whole image; instead they are lifted by one turn.
    const lwofront::Layr l = layer({{-0.3f, 0, 1}, {-0.1f, 0, 1}, {-0.1f, 1, 1}, {-0.3f, 1, 1}, {0.1f, 0, 1},
                                    {0.1f, 1, 1}},
                                   {{0, 1, 2, 3}, {1, 4, 5, 2}});
    const TextureMaps made = project_layer(l, make(ProjectionKind::Cylindrical, 1), 1.0f);
    const float left = corner(made, l, 1, 0).u;
    const float lifted = corner(made, l, 1, 1).u;
    EXPECT_NEAR(left, 0.0158628f, 1e-6f);  // atan(0.1) / 2pi
    EXPECT_NEAR(lifted, left + 1.0f, 1e-6f);
    EXPECT_NEAR(corner(made, l, 4, 1).u, 1.0f - 0.0158628f, 1e-6f);
    EXPECT_EQ(made.vmad.entries.size(), 2u);  // points 1 and 2 in quad 1

    // Converted, the two points are copied for quad 1: 6 + 2 vertices, and
    // quad 1's corners span 2 texels of a 64-texel image, not 62.
    const LayerMaps maps = resolve_maps(l, false, false, std::make_shared<const TextureMaps>(made));
    LayerSettings settings;
    settings.texture = TextureSize{64, 64};
    const Result<ultraback::Layer> out = convert_layer(l, maps, settings, nullptr);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->vertices.size(), 8u);
    EXPECT_EQ(out->vertices[1].s, 1 * 64);   // 1.015 texels, in quad 0
    EXPECT_EQ(out->vertices[6].s, 65 * 64);  // the copy of point 1: 65.015 texels
    EXPECT_EQ(out->vertices[4].s, 62 * 64);  // 62.98 texels
    const auto* quad = std::get_if<ultraback::Quad>(&out->primitives[1]);
    ASSERT_NE(quad, nullptr);
    // Corners 6, 4, 5, 7 (1 and 2 copied), reversed as (c1, c0, c3, c2).
    EXPECT_EQ(std::to_array(quad->indices), (std::array<std::int32_t, 4>{4, 6, 7, 5}));
}

TEST(Projection, CubeFacesEachTakeTheirOwnAxis) {
    // A unit cube: each face is planar along the axis it faces, so a corner
    // point reads differently in each of its three faces.
    const lwofront::Layr l = layer({{-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, -0.5f},
                                    {-0.5f, 0.5f, -0.5f}, {-0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, 0.5f},
                                    {0.5f, 0.5f, 0.5f}, {-0.5f, 0.5f, 0.5f}},
                                   {{0, 1, 2, 3}, {5, 4, 7, 6}, {1, 5, 6, 2}, {4, 0, 3, 7}, {3, 2, 6, 7}, {4, 5, 1, 0}});
    const TextureMaps made = project_layer(l, make(ProjectionKind::Cubic, 1), 1.0f);
    // Point 1 = (0.5, -0.5, -0.5): facing Z (face 0) u = x + 1/2, t = -y + 1/2;
    // facing X (face 2) u = z + 1/2; facing Y (face 5) t = -z + 1/2.
    const CornerUt z = corner(made, l, 1, 0);
    const CornerUt x = corner(made, l, 1, 2);
    const CornerUt y = corner(made, l, 1, 5);
    EXPECT_FLOAT_EQ(z.u, 1);
    EXPECT_FLOAT_EQ(z.t, 1);
    EXPECT_FLOAT_EQ(x.u, 0);
    EXPECT_FLOAT_EQ(x.t, 1);
    EXPECT_FLOAT_EQ(y.u, 1);
    EXPECT_FLOAT_EQ(y.t, 1);
    // Every face covers the image exactly: each corner 0 or 1 in u and t.
    for (std::size_t k = 0; k < l.pols.polygons.size(); ++k) {
        for (std::uint32_t point : l.pols.polygons[k].vertices) {
            const CornerUt c = corner(made, l, point, k);
            EXPECT_TRUE(c.u == 0 || c.u == 1) << k << " " << point;
            EXPECT_TRUE(c.t == 0 || c.t == 1) << k << " " << point;
        }
    }
}

TEST(Projection, PointsNoPolygonDrawsGetNoValue) {
    const lwofront::Layr l = layer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}, {3, 9, 1}});
    const TextureMaps made = project_layer(l, make(ProjectionKind::Planar, 2), 1.0f);
    EXPECT_EQ(made.map.entries.size(), 3u);
    EXPECT_TRUE(made.vmad.entries.empty());
}

TEST(Projection, BlockMappingReadsTheBlock) {
    using namespace lwofront;
    Blok blok;
    Tmap tmap;
    tmap.attributes = {Cntr{{1, 2, 3}, 0}, Size{{4, 5, 6}, 0}, Rota{{0.5f, 0, 0}, 0}, Csys{1}};
    blok.attributes = {tmap, Proj{2}, Axis{2}, Imag{1}, Wrpw{3, 0}, Wrph{0.5f, 0}};
    const BlockMapping mapping = block_mapping(blok);
    ASSERT_TRUE(mapping.projection);
    EXPECT_FALSE(mapping.front);
    EXPECT_EQ(mapping.projection->kind, ProjectionKind::Spherical);
    EXPECT_EQ(mapping.projection->axis, 2);
    EXPECT_EQ(mapping.projection->centre.z, 3);
    EXPECT_EQ(mapping.projection->size.y, 5);
    EXPECT_EQ(mapping.projection->rotation.x, 0.5f);
    EXPECT_TRUE(mapping.projection->world);
    EXPECT_EQ(mapping.projection->width_wraps, 3);
    EXPECT_EQ(mapping.projection->height_wraps, 0.5f);

    for (const std::uint16_t uv : {5, 6}) {
        blok.attributes = {Proj{uv}, Imag{1}};
        EXPECT_FALSE(block_mapping(blok).projection);
        EXPECT_FALSE(block_mapping(blok).front);
    }
    blok.attributes = {Imag{1}};
    EXPECT_FALSE(block_mapping(blok).projection);
    blok.attributes = {Proj{4}, Imag{1}};
    EXPECT_TRUE(block_mapping(blok).front);
    EXPECT_FALSE(block_mapping(blok).projection);
}

// The globe of real-lwo2/ under each projection LightWave wrote it with:
// every polygon's corners lie within half a turn of each other, so none is
// drawn across the whole image (the cylinder's poles sit on its axis only up
// to rounding, and still take their neighbours' u), and the seam splits
// points where the plane splits none.
TEST(Projection, RealGlobesStayOnOneTurnPerPolygon) {
    struct File {
        std::string name;
        ProjectionKind kind;
        bool splits;
    };
    for (const File& f : {File{"earth_planar_y.lwo", ProjectionKind::Planar, false},
                          File{"earth_cylindrical_y.lwo", ProjectionKind::Cylindrical, true},
                          File{"earth_spherical_y.lwo", ProjectionKind::Spherical, true}}) {
        SCOPED_TRACE(f.name);
        std::ifstream in(std::string(QUILLMESH_REAL_LWO2_DIR) + "/" + f.name, std::ios::binary);
        const std::vector<char> chars{std::istreambuf_iterator<char>(in), {}};
        const std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(chars.data()),
                                           reinterpret_cast<const std::byte*>(chars.data()) + chars.size());
        const Result<lwofront::Object> object = lwo_test::parse(bytes);
        ASSERT_TRUE(object);
        const BlockMapping mapping = first_block_mapping(object->surfaces.at(0));
        ASSERT_TRUE(mapping.projection);
        EXPECT_EQ(mapping.projection->kind, f.kind);
        EXPECT_EQ(mapping.projection->axis, 1);
        const lwofront::Layr& l = object->layers.at(0);
        const TextureMaps made = project_layer(l, *mapping.projection, 1.0f);
        EXPECT_EQ(made.map.entries.size(), l.points.vec.size());
        EXPECT_EQ(!made.vmad.entries.empty(), f.splits);
        for (std::size_t k = 0; k < l.pols.polygons.size(); ++k) {
            float low = INFINITY, high = -INFINITY;
            for (std::uint32_t point : l.pols.polygons[k].vertices) {
                const CornerUt c = corner(made, l, point, k);
                low = std::fmin(low, c.u);
                high = std::fmax(high, c.u);
            }
            EXPECT_LE(high - low, 0.5f * mapping.projection->width_wraps) << "polygon " << k;
        }
    }
}

}  // namespace
}  // namespace converter
