// Lit normals (-l) on made objects whose right normals are known: a cube
// (flat, or smoothed across its edges only above 90 degrees), a cylinder
// (smooth sides, flat caps), normal maps, a point on a texture seam and a
// hard edge at once, and the options -l combines with.

#include "converter/normals.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <numbers>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "converter/convert.hpp"
#include "converter/mesh_text.hpp"
#include "converter/model_builder.hpp"
#include "lwofront/parse.hpp"
#include "ultraback/check.hpp"

namespace {

using namespace model_builder;
using Polygons = std::vector<std::vector<std::uint32_t>>;

constexpr lwofront::OtherType kNorm{0x4E4F524D};

// Each polygon turned, where needed, so that LightWave's normal
// (p1 - p0) x (p2 - p0) points away from the origin: the objects below are
// convex around it.
Polygons facing_out(const std::vector<Vec3>& points, Polygons polygons) {
    for (auto& corners : polygons) {
        const Vec3 &p0 = points[corners[0]], &p1 = points[corners[1]], &p2 = points[corners[2]];
        const Vec3 a{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, b{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        const Vec3 n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
        if (n.x * p0.x + n.y * p0.y + n.z * p0.z < 0) std::reverse(corners.begin(), corners.end());
    }
    return polygons;
}

const std::vector<Vec3> kCubePoints = {{-100, -100, -100}, {100, -100, -100}, {100, 100, -100}, {-100, 100, -100},
                                       {-100, -100, 100},  {100, -100, 100},  {100, 100, 100},  {-100, 100, 100}};
const Polygons kCubeFaces = facing_out(kCubePoints, {{0, 1, 2, 3},
                                                     {4, 5, 6, 7},
                                                     {0, 1, 5, 4},
                                                     {3, 2, 6, 7},
                                                     {0, 3, 7, 4},
                                                     {1, 2, 6, 5}});

// An 8-sided cylinder around the y axis: 8 quads, and caps of 8 corners.
struct Shape {
    std::vector<Vec3> points;
    Polygons polygons;
};
Shape cylinder() {
    Shape s;
    constexpr int kSides = 8;
    for (float y : {-100.0f, 100.0f}) {
        for (int i = 0; i < kSides; ++i) {
            const double a = 2 * std::numbers::pi * i / kSides;
            s.points.push_back({static_cast<float>(100 * std::cos(a)), y, static_cast<float>(100 * std::sin(a))});
        }
    }
    Polygons polygons;
    for (std::uint32_t i = 0; i < kSides; ++i) {
        const std::uint32_t j = (i + 1) % kSides;
        polygons.push_back({i, j, j + kSides, i + kSides});
    }
    std::vector<std::uint32_t> bottom, top;
    for (std::uint32_t i = 0; i < kSides; ++i) bottom.push_back(i), top.push_back(i + kSides);
    polygons.push_back(bottom);
    polygons.push_back(top);
    s.polygons = facing_out(s.points, polygons);
    return s;
}

// One layer, all its polygons of one surface with the given smoothing angle.
lwofront::Object object_of(lwofront::Layr layer, float smoothing_angle) {
    lwofront::Object o;
    o.tags = {"Skin"};
    o.surfaces.push_back(surface("Skin"));
    o.surfaces.back().smoothing_angle = smoothing_angle;
    tag_all(layer, 0);
    o.layers.push_back(std::move(layer));
    return o;
}

ultraback::Mesh convert(const lwofront::Object& object, converter::Options options = {}, bool lit = true,
                        const std::map<std::string, image::Image>& files = {}) {
    options.lit_normals = lit;
    const converter::LoadImage load = [&](const std::string& path) -> Result<image::Image> {
        const auto found = files.find(path);
        if (found == files.end()) return std::unexpected(Error{ErrorKind::Image, LwoError::None, "no image"});
        return found->second;
    };
    Result<ultraback::Mesh> mesh = converter::convert(object, options, load, [](std::string_view) {});
    EXPECT_TRUE(mesh.has_value());
    if (!mesh) return {};
    EXPECT_EQ(ultraback::find_mesh_fault(*mesh, options.cache_size), "");
    return std::move(*mesh);
}

Vec3 normal_of(const ultraback::Vertex& v) {
    return {static_cast<std::int8_t>(v.r) / 127.0f, static_cast<std::int8_t>(v.g) / 127.0f,
            static_cast<std::int8_t>(v.b) / 127.0f};
}

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float length(const Vec3& a) { return std::sqrt(dot(a, a)); }

// The drawn triangles of a layer, each as three vertex indices in drawing order.
std::vector<std::array<std::int32_t, 3>> triangles(const ultraback::Layer& layer) {
    std::vector<std::array<std::int32_t, 3>> out;
    for (const ultraback::Primitive& p : layer.primitives) {
        if (const auto* t = std::get_if<ultraback::Triangle>(&p)) {
            out.push_back({t->indices[0], t->indices[1], t->indices[2]});
        } else {
            const auto& q = std::get<ultraback::Quad>(p).indices;
            out.push_back({q[0], q[1], q[2]});
            out.push_back({q[0], q[2], q[3]});
        }
    }
    return out;
}

// The unit normal of a drawn triangle, counter-clockwise as the console
// draws front faces, in the console's positions.
Vec3 front_of(const ultraback::Layer& layer, const std::array<std::int32_t, 3>& t) {
    const ultraback::Vertex &a = layer.vertices[t[0]], &b = layer.vertices[t[1]], &c = layer.vertices[t[2]];
    const Vec3 u{float(b.x - a.x), float(b.y - a.y), float(b.z - a.z)};
    const Vec3 w{float(c.x - a.x), float(c.y - a.y), float(c.z - a.z)};
    const Vec3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    const float l = length(n);
    return {n.x / l, n.y / l, n.z / l};
}

// Every normal of a drawn corner is unit length (one byte either way) and
// lies on its triangle's front side; `flat` asks for the triangle's own
// normal within 4 degrees.
void expect_lit(const ultraback::Layer& layer, bool flat) {
    const float within_4_degrees = std::cos(4 * std::numbers::pi_v<float> / 180);
    for (const auto& t : triangles(layer)) {
        const Vec3 front = front_of(layer, t);
        for (std::int32_t i : t) {
            const Vec3 n = normal_of(layer.vertices[i]);
            EXPECT_NEAR(length(n), 1.0f, 1.0f / 127) << "vertex " << i;
            EXPECT_GT(dot(n, front), flat ? within_4_degrees : 0.0f) << "vertex " << i;
        }
    }
}

TEST(LitNormals, CubeIsFlatWithoutSmoothingAndBelowARightAngle) {
    struct Case {
        float angle;
        std::size_t vertices;
        bool flat;
    };
    // 89.5 degrees keeps the edges hard; 95 smooths each corner over its
    // three faces, (+-1, +-1, +-1) / sqrt(3), one vertex per point.
    for (const Case& c : {Case{0.0f, 24, true}, Case{1.5620696f, 24, true}, Case{1.658f, 8, false}}) {
        SCOPED_TRACE(c.angle);
        const ultraback::Mesh mesh = convert(object_of(layer(kCubePoints, kCubeFaces), c.angle));
        ASSERT_EQ(mesh.layers.size(), 1u);
        const ultraback::Layer& l = mesh.layers[0];
        EXPECT_EQ(l.vertices.size(), c.vertices);
        expect_lit(l, c.flat);
        if (c.flat) continue;
        for (const ultraback::Vertex& v : l.vertices) {
            // Pointing out from the centre, in the console's frame (z of
            // position and normal negated alike).
            EXPECT_EQ(static_cast<std::int8_t>(v.r), v.x > 0 ? 73 : -73);
            EXPECT_EQ(static_cast<std::int8_t>(v.g), v.y > 0 ? 73 : -73);
            EXPECT_EQ(static_cast<std::int8_t>(v.b), v.z > 0 ? 73 : -73);
        }
    }
}

// Sides meet at 45 degrees, caps at 90: at 60 degrees the sides are smooth
// and the caps flat, so each point is one side vertex (normal pointing away
// from the axis) and one cap vertex.
TEST(LitNormals, CylinderSmoothsItsSidesButNotItsCaps) {
    const Shape shape = cylinder();
    const ultraback::Mesh mesh = convert(object_of(layer(shape.points, shape.polygons), 1.0471976f));
    const ultraback::Layer& l = mesh.layers[0];
    EXPECT_EQ(l.vertices.size(), 32u);
    expect_lit(l, false);
    const float within_4_degrees = std::cos(4 * std::numbers::pi_v<float> / 180);
    std::size_t side = 0, cap = 0;
    for (const ultraback::Vertex& v : l.vertices) {
        const Vec3 n = normal_of(v);
        if (std::fabs(n.y) < 0.01f) {
            const float r = std::hypot(float(v.x), float(v.z));  // of truncated positions
            const Vec3 radial{v.x / r, 0, v.z / r};
            EXPECT_GT(dot(n, radial), within_4_degrees) << v.x << " " << v.y << " " << v.z;
            ++side;
        } else {
            EXPECT_EQ(static_cast<std::int8_t>(v.g), v.y > 0 ? 127 : -127);
            EXPECT_EQ(v.r, 0);
            EXPECT_EQ(v.b, 0);
            ++cap;
        }
    }
    EXPECT_EQ(side, 16u);
    EXPECT_EQ(cap, 16u);
}

// A sphere of 16 segments and 8 rings under a smoothing angle of 89.5
// degrees: one vertex per point, each normal pointing away from the centre.
TEST(LitNormals, SphereNormalsPointAwayFromItsCentre) {
    constexpr std::uint32_t kSegments = 16, kRings = 8;
    std::vector<Vec3> points{{0, 100, 0}};
    for (std::uint32_t r = 1; r < kRings; ++r) {
        const double polar = std::numbers::pi * r / kRings;
        for (std::uint32_t i = 0; i < kSegments; ++i) {
            const double a = 2 * std::numbers::pi * i / kSegments;
            points.push_back({static_cast<float>(100 * std::sin(polar) * std::cos(a)),
                              static_cast<float>(100 * std::cos(polar)),
                              static_cast<float>(100 * std::sin(polar) * std::sin(a))});
        }
    }
    points.push_back({0, -100, 0});
    const auto at = [](std::uint32_t ring, std::uint32_t i) { return 1 + (ring - 1) * kSegments + i % kSegments; };
    const auto bottom = static_cast<std::uint32_t>(points.size() - 1);
    Polygons polygons;
    for (std::uint32_t i = 0; i < kSegments; ++i) {
        polygons.push_back({0, at(1, i), at(1, i + 1)});
        for (std::uint32_t r = 1; r + 1 < kRings; ++r) {
            polygons.push_back({at(r, i), at(r + 1, i), at(r + 1, i + 1), at(r, i + 1)});
        }
        polygons.push_back({bottom, at(kRings - 1, i + 1), at(kRings - 1, i)});
    }
    const ultraback::Layer l = convert(object_of(layer(points, facing_out(points, polygons)), 1.5620696f)).layers[0];
    EXPECT_EQ(l.vertices.size(), points.size());
    expect_lit(l, false);
    const float within_4_degrees = std::cos(4 * std::numbers::pi_v<float> / 180);
    for (std::size_t i = 0; i < points.size(); ++i) {
        // Vertex i is point i, z negated; of radius 100.
        const Vec3 radial{points[i].x / 100, points[i].y / 100, -points[i].z / 100};
        const Vec3 n = normal_of(l.vertices[i]);  // its length is checked above
        EXPECT_GT(dot(n, radial) / length(n), within_4_degrees) << "point " << i;
    }
}

// Smoothing joins only polygons of the same surface: a cube whose top is
// of another smoothed surface keeps the top's edges hard.
TEST(LitNormals, SmoothingStaysWithinASurface) {
    lwofront::Object o = object_of(layer(kCubePoints, kCubeFaces), 1.658f);
    o.tags.push_back("Lid");
    o.surfaces.push_back(surface("Lid"));
    o.surfaces.back().smoothing_angle = 1.658f;
    o.layers[0].ptag.entries[3].tag = 1;  // face 3 is the top, y = 100
    const ultraback::Layer l = convert(o).layers[0];
    // The 4 bottom points smoothed over 3 faces, the 4 top points over the
    // 2 side faces of Skin they hold, and the top's own 4.
    EXPECT_EQ(l.vertices.size(), 12u);
    expect_lit(l, false);
    for (const ultraback::Vertex& v : l.vertices) {
        if (v.y < 0) {
            EXPECT_EQ(static_cast<std::int8_t>(v.g), -73);
        } else {
            EXPECT_TRUE(v.g == 0 || v.g == 127) << int(v.g);
        }
    }
}

lwofront::Vmap norm_vmap(const std::vector<Uv>& entries) {
    lwofront::Vmap map{kNorm, 3, "normals", {}};
    for (const Uv& e : entries) map.entries.push_back({e.vertex, e.values});
    return map;
}

lwofront::Vmad norm_vmad(const std::vector<PolygonUv>& entries, std::string name = "normals") {
    lwofront::Vmad map{kNorm, 3, std::move(name), {}};
    for (const PolygonUv& e : entries) map.entries.push_back({e.vertex, e.polygon, e.values});
    return map;
}

// A square in the xy plane facing -z in LightWave, +z on the console.
const std::vector<Vec3> kSquare = {{0, 0, 0}, {0, 100, 0}, {100, 100, 0}, {100, 0, 0}};
const Polygons kTwoTriangles = {{0, 1, 2}, {0, 2, 3}};

// The map's normals are made unit length and their z negated; a corner
// the VMAD names takes its value over the VMAP's, so its point splits; a
// VMAD without a VMAP (as modellers write them) still counts, and corners it
// does not name are computed.
TEST(LitNormals, NormalMapsGiveTheNormals) {
    lwofront::Layr with_vmap = layer(kSquare, kTwoTriangles);
    with_vmap.vmaps.push_back(norm_vmap({{0, {0, 3, 4}}, {1, {0, 3, 4}}, {2, {0, 3, 4}}, {3, {0, 3, 4}}}));
    with_vmap.vmads.push_back(norm_vmad({{2, 1, {1, 0, 0}}}));
    // 0.6 x 127 = 76.2, 0.8 x 127 = 101.6: bytes 76 and -102 after the flip.
    EXPECT_EQ(mesh_text::layer(convert(object_of(with_vmap, 0)).layers[0]),
              "material 0\n"
              "v 0 0 0 0 0 0 76 -102 255\n"
              "v 0 100 0 0 0 0 76 -102 255\n"
              "v 100 100 0 0 0 0 76 -102 255\n"
              "v 100 0 0 0 0 0 76 -102 255\n"
              "v 100 100 0 0 0 127 0 0 255\n"
              "tri 0 2 1\n"
              "tri 0 3 4\n");

    lwofront::Layr vmad_only = layer(kSquare, kTwoTriangles);
    vmad_only.vmads.push_back(norm_vmad({{0, 0, {0, -1, 0}}}, "other"));
    EXPECT_EQ(mesh_text::layer(convert(object_of(vmad_only, 0)).layers[0]),
              "material 0\n"
              "v 0 0 0 0 0 0 -127 0 255\n"
              "v 0 100 0 0 0 0 0 127 255\n"
              "v 100 100 0 0 0 0 0 127 255\n"
              "v 100 0 0 0 0 0 0 127 255\n"
              "v 0 0 0 0 0 0 0 127 255\n"
              "tri 0 2 1\n"
              "tri 4 3 2\n");
}

// Two triangles at a right angle share the edge of points 0 and 1; a
// texture VMAD gives point 0 its own value in triangle 1, so point 0 is
// split already and keeps one vertex per normal, while point 1 is split for
// its normal alone and keeps its texture value.
TEST(LitNormals, PointOnATextureSeamAndAHardEdge) {
    lwofront::Layr l = layer({{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0, 100}}, {{0, 1, 2}, {1, 0, 3}});
    l.vmaps.push_back(txuv({{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}}));
    l.vmads.push_back(txuv_vmad({{0, 1, {0.5f, 0.5f}}}));
    lwofront::Object o = object_of(std::move(l), 1.5620696f);
    o.clips.push_back(clip("grey.png"));
    o.surfaces[0].attributes.push_back(blok({1}));
    // Triangle 0 faces +z in LightWave (-z on the console), triangle 1 +y.
    // On 4 x 4: s = u x 4 x 64, t = (1 - v) x 4 x 64.
    EXPECT_EQ(mesh_text::layer(convert(o, {}, true, {{"grey.png", picture(4, 4)}}).layers[0]),
              "material 0\n"
              "v 0 0 0 0 256 0 0 -127 255\n"
              "v 100 0 0 256 256 0 0 -127 255\n"
              "v 0 100 0 0 0 0 0 -127 255\n"
              "v 0 0 -100 256 0 0 127 0 255\n"
              "v 0 0 0 128 128 0 127 0 255\n"
              "v 100 0 0 256 256 0 127 0 255\n"
              "tri 0 2 1\n"
              "tri 5 3 4\n");
}

std::string position_and_normal(const ultraback::Vertex& v) {
    std::string out;
    for (int value : {int(v.x), int(v.y), int(v.z), int(static_cast<std::int8_t>(v.r)),
                      int(static_cast<std::int8_t>(v.g)), int(static_cast<std::int8_t>(v.b))}) {
        out += std::to_string(value) + " ";
    }
    return out;
}

// The normals of each drawn corner, with its position, over all layers:
// what lights the model, whatever the layers and order.
std::vector<std::string> lit_corners(const ultraback::Mesh& mesh) {
    std::vector<std::string> out;
    for (const ultraback::Layer& l : mesh.layers) {
        for (const auto& t : triangles(l)) {
            for (std::int32_t i : t) out.push_back(position_and_normal(l.vertices[i]));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The distinct vertices (position and normal) of all layers.
std::vector<std::string> distinct_vertices(const ultraback::Mesh& mesh) {
    std::vector<std::string> out;
    for (const ultraback::Layer& l : mesh.layers) {
        for (const ultraback::Vertex& v : l.vertices) out.push_back(position_and_normal(v));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// A real file with normals in a VMAD only (one concave polygon of 66
// corners): every vertex drawn takes the bytes of its corner's map normal.
TEST(LitNormals, RealFileNormalMap) {
    std::ifstream in(std::string(QUILLMESH_REAL_LWO2_DIR) + "/concave_polygon.lwo", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Result<lwofront::Object> object = lwo_test::parse(std::as_bytes(std::span(text.data(), text.size())));
    ASSERT_TRUE(object.has_value());
    lwofront::scale_points(*object, 100);  // about 1 unit across: apart in 16 bits
    const lwofront::Layr& read = object->layers.at(0);
    ASSERT_EQ(read.vmads.size(), 1u);
    // The bytes each map entry asks for, by the console position of its point.
    std::vector<std::string> asked;
    for (std::size_t k = 0; k < read.vmads[0].entries.size(); ++k) {
        const lwofront::VmadEntry e = read.vmads[0].entries[k];
        const Vec3& p = read.points.vec.at(e.vertex);
        const float l = std::sqrt(e.values[0] * e.values[0] + e.values[1] * e.values[1] + e.values[2] * e.values[2]);
        ultraback::Vertex v;
        v.x = static_cast<std::int16_t>(p.x), v.y = static_cast<std::int16_t>(p.y), v.z = static_cast<std::int16_t>(-p.z);
        const converter::NormalBytes b = converter::lit_normal_bytes({e.values[0] / l, e.values[1] / l, e.values[2] / l});
        v.r = b[0], v.g = b[1], v.b = b[2];
        asked.push_back(position_and_normal(v));
    }
    const ultraback::Mesh mesh = convert(*object);
    ASSERT_EQ(mesh.layers.size(), 1u);
    // Not every triangle's front is checked: the polygon touches itself, and
    // cutting it gives one flat and one turned triangle, with or without -l.
    for (const ultraback::Vertex& v : mesh.layers[0].vertices) EXPECT_NEAR(length(normal_of(v)), 1.0f, 1.0f / 127);
    for (const std::string& corner : lit_corners(mesh)) {
        EXPECT_NE(std::find(asked.begin(), asked.end(), corner), asked.end()) << corner;
    }
}

// Tiles (-t) keep the normals the whole layer gives their corners, and -m
// and -b change the layers and their order, never the lighting.
TEST(LitNormals, TilesSurfaceLayersAndBatchesLightAlike) {
    const Shape shape = cylinder();
    lwofront::Layr l = layer(shape.points, shape.polygons);
    std::vector<Uv> uvs;
    for (std::uint32_t i = 0; i < shape.points.size(); ++i) uvs.push_back({i, {i / 16.0f, i % 2 / 2.0f}});
    l.vmaps.push_back(txuv(uvs));
    lwofront::Object o = object_of(std::move(l), 1.0471976f);
    o.tags.push_back("Lid");
    o.surfaces.push_back(surface("Lid"));
    o.layers[0].ptag.entries[9].tag = 1;  // the second cap
    o.clips.push_back(clip("big.png"));
    o.surfaces[0].attributes.push_back(blok({1}));
    const std::map<std::string, image::Image> files{{"big.png", picture(128, 128, 17)}};

    const ultraback::Mesh untiled = convert(o, {}, true, files);
    const std::vector<std::string> whole = lit_corners(untiled);
    EXPECT_EQ(whole.size(), 8u * 6 + 2 * 6 * 3);  // 8 quads, 2 caps of 6 triangles
    struct Case {
        bool tile, split_surfaces, batch;
        std::size_t layers;
    };
    // Tiled whole, the Lid's cap is a tile too; split by surface first, the
    // Lid's layer has no texture and stays whole.
    for (const Case& c : {Case{true, false, false, 10}, Case{false, true, false, 2}, Case{true, true, false, 10},
                          Case{false, false, true, 1}}) {
        SCOPED_TRACE(std::to_string(c.tile) + std::to_string(c.split_surfaces) + std::to_string(c.batch));
        converter::Options options;
        options.tile = c.tile;
        options.split_surfaces = c.split_surfaces;
        options.batch = c.batch;
        const ultraback::Mesh mesh = convert(o, options, true, files);
        EXPECT_EQ(mesh.layers.size(), c.layers);
        if (c.batch) {
            EXPECT_EQ(distinct_vertices(mesh), distinct_vertices(untiled));
        } else {
            EXPECT_EQ(lit_corners(mesh), whole);
        }
    }
}

// With -v a layer's colours take the normals' place, so -l changes nothing
// there; a layer without colours is lit as -l says.
TEST(LitNormals, VertexColoursReplaceLitNormals) {
    lwofront::Layr coloured = layer(kCubePoints, kCubeFaces);
    std::vector<Uv> colours;
    for (std::uint32_t i = 0; i < 8; ++i) colours.push_back({i, {i / 8.0f, 0.5f, 1}});
    coloured.vmaps.push_back(rgb(colours, "paint"));
    converter::Options with_colours;
    with_colours.vertex_colors = true;
    const lwofront::Object o = object_of(coloured, 0);
    EXPECT_EQ(mesh_text::mesh(convert(o, with_colours, true)), mesh_text::mesh(convert(o, with_colours, false)));
    EXPECT_EQ(convert(object_of(layer(kCubePoints, kCubeFaces), 0), with_colours).layers[0].vertices.size(), 24u);
}

// Without -l nothing changes: the points' normals are averaged, not
// normalised again, and z is not negated.
TEST(LitNormals, DefaultNormalsStayAsTheyWere) {
    const ultraback::Layer l = convert(object_of(layer(kCubePoints, kCubeFaces), 0), {}, false).layers[0];
    EXPECT_EQ(l.vertices.size(), 8u);
    for (const ultraback::Vertex& v : l.vertices) {
        EXPECT_EQ(static_cast<std::int8_t>(v.r), v.x > 0 ? 42 : -42);
        EXPECT_EQ(static_cast<std::int8_t>(v.b), v.z > 0 ? -42 : 42) << "z of the normal is not negated";
    }
}

// A polygon that holds a point twice counts once in the point's smoothed
// normal: the quad (0, 1, 2, 0) faces +z, the triangle (0, 4, 3) leans 45
// degrees towards +x, and point 0 takes the normal halfway between them.
TEST(LitNormals, APointTwiceInAPolygonCountsOnce) {
    const std::vector<Vec3> points = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, -100, 0}, {-100, 0, 100}};
    const ultraback::Mesh mesh = convert(object_of(layer(points, {{0, 1, 2, 0}, {0, 4, 3}}), 1.553f));
    const float half = std::sin(std::numbers::pi_v<float> / 8), most = std::cos(std::numbers::pi_v<float> / 8);
    const converter::NormalBytes once = converter::lit_normal_bytes({half, 0, most});
    int at_zero = 0;
    for (const ultraback::Vertex& v : mesh.layers.at(0).vertices) {
        if (v.x != 0 || v.y != 0 || v.z != 0) continue;
        ++at_zero;
        EXPECT_EQ((std::array{v.r, v.g, v.b}), (std::array{once[0], once[1], once[2]}));
    }
    EXPECT_EQ(at_zero, 1);
}

// Each component becomes round(c x 127) in float, halves away from zero,
// clamped to -127..127; NaN gives 0. z is negated first.
TEST(LitNormals, NormalBytesRoundAndClamp) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float c;
        std::int8_t byte;
    } cases[] = {
        {0.0f, 0},
        {-0.0f, 0},
        {0.5f / 127, 1},                              // a half, away from zero
        {-0.5f / 127, -1},
        {0.49f / 127, 0},
        {2.5f / 127, 3},
        {-2.5f / 127, -3},
        {1.0f, 127},
        {-1.0f, -127},
        {std::nextafter(1.0f, 2.0f), 127},            // beyond a unit normal: clamped
        {-1.01f, -127},
        {1e30f, 127},
        {inf, 127},
        {-inf, -127},
        {nan, 0},
        {std::numeric_limits<float>::denorm_min(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.c);
        const converter::NormalBytes b = converter::lit_normal_bytes({c.c, c.c, -c.c});
        EXPECT_EQ(static_cast<std::int8_t>(b[0]), c.byte);
        EXPECT_EQ(static_cast<std::int8_t>(b[1]), c.byte);
        EXPECT_EQ(static_cast<std::int8_t>(b[2]), c.byte);
        EXPECT_EQ(b[3], 0);
    }
}

}  // namespace
