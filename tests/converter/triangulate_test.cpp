#include "converter/triangulate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <string>
#include <vector>

namespace {

using converter::Corners3;
using lwofront::Vec3;

std::vector<Vec3> flat(const std::vector<std::pair<float, float>>& xy) {
    std::vector<Vec3> out;
    for (auto [x, y] : xy) out.push_back({x, y, 0});
    return out;
}

double area2(Vec3 a, Vec3 b, Vec3 c) {
    return (double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x);
}

bool inside_polygon(const std::vector<Vec3>& poly, double x, double y) {  // even-odd rule
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        double xi = poly[i].x, yi = poly[i].y, xj = poly[j].x, yj = poly[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

bool inside_triangle(Vec3 a, Vec3 b, Vec3 c, double x, double y) {
    Vec3 p{float(x), float(y), 0};
    double d1 = area2(a, b, p), d2 = area2(b, c, p), d3 = area2(c, a, p);
    return (d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0);
}

// n - 2 triangles of distinct corners, each turning the polygon's way, and
// every sample point inside the polygon in exactly one triangle, every point
// outside in none.
void expect_exact_cover(const std::vector<Vec3>& poly, const std::vector<Corners3>& triangles) {
    ASSERT_EQ(triangles.size(), poly.size() - 2);
    double polygon_area = 0;
    for (std::size_t i = 0; i < poly.size(); ++i) polygon_area += area2({0, 0, 0}, poly[i], poly[(i + 1) % poly.size()]);
    for (const Corners3& t : triangles) {
        for (auto c : t) ASSERT_LT(c, poly.size());
        EXPECT_EQ(std::set<std::uint32_t>(t.begin(), t.end()).size(), 3u);
        double a = area2(poly[t[0]], poly[t[1]], poly[t[2]]);
        EXPECT_TRUE(a == 0 || (a > 0) == (polygon_area > 0)) << "a triangle turns the other way";
    }
    // Samples off every grid line, so none falls on an edge.
    for (double x = -10.37; x < 10.5; x += 0.251) {
        for (double y = -10.41; y < 10.5; y += 0.257) {
            int covered = 0;
            for (const Corners3& t : triangles) covered += inside_triangle(poly[t[0]], poly[t[1]], poly[t[2]], x, y);
            ASSERT_EQ(covered, inside_polygon(poly, x, y) ? 1 : 0) << "at " << x << ", " << y;
        }
    }
}

struct CoverCase {
    const char* name;
    std::vector<std::pair<float, float>> corners;
};

TEST(Triangulate, CoversPolygonsExactly) {
    const CoverCase cases[] = {
        {"convex hexagon", {{4, 0}, {8, 3}, {8, 7}, {4, 10}, {0, 7}, {0, 3}}},
        {"L shape", {{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 6}, {0, 6}}},
        {"L shape starting at its reflex corner", {{2, 2}, {2, 6}, {0, 6}, {0, 0}, {6, 0}, {6, 2}}},
        {"clockwise L", {{0, 6}, {2, 6}, {2, 2}, {6, 2}, {6, 0}, {0, 0}}},
        {"star", {{0, 9}, {2, 3}, {8, 3}, {3, -1}, {5, -8}, {0, -3}, {-5, -8}, {-3, -1}, {-8, 3}, {-2, 3}}},
        {"comb", {{0, 0}, {9, 0}, {9, 6}, {7, 6}, {7, 2}, {5, 2}, {5, 6}, {3, 6}, {3, 2}, {1, 2}, {1, 6}, {0, 6}}},
        {"spiral", {{0, 0}, {8, 0}, {8, 8}, {2, 8}, {2, 4}, {5, 4}, {5, 5}, {3, 5}, {3, 7}, {7, 7}, {7, 1}, {0, 1}}},
        {"collinear corners on the edges", {{0, 0}, {2, 0}, {4, 0}, {4, 2}, {4, 4}, {2, 4}, {0, 4}, {0, 2}}},
        {"first three corners collinear", {{0, 0}, {3, 0}, {6, 0}, {6, 5}, {3, 2}, {0, 5}}},
    };
    for (const CoverCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Vec3> poly = flat(c.corners);
        std::vector<Corners3> triangles;
        converter::triangulate(poly, triangles);
        expect_exact_cover(poly, triangles);
    }
}

TEST(Triangulate, ProjectsOnThePlaneOfThePolygon) {
    // An L shape standing in the yz plane, facing -x: its triangles must turn
    // the way it turns, seen along its own normal.
    std::vector<Vec3> poly = {{1, 0, 0}, {1, 0, 6}, {1, 2, 6}, {1, 2, 2}, {1, 6, 2}, {1, 6, 0}};
    std::optional<Vec3> n = converter::newell_normal(poly);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->x, -1.0f);
    std::vector<Corners3> triangles;
    converter::triangulate(poly, triangles);
    ASSERT_EQ(triangles.size(), 4u);
    double total = 0;
    for (const Corners3& t : triangles) {
        Vec3 a = poly[t[0]], b = poly[t[1]], c = poly[t[2]];
        // x component of (b - a) x (c - a): the triangle's facing along x.
        double facing = (double(b.y) - a.y) * (double(c.z) - a.z) - (double(b.z) - a.z) * (double(c.y) - a.y);
        EXPECT_LE(facing, 0);
        total += facing;
    }
    EXPECT_EQ(total, -2 * 20.0);  // twice the area of the L, all of it facing -x
}

TEST(Triangulate, ConvexPolygonIsCutFromTheLastCorner) {
    std::vector<Vec3> poly = flat({{0, 0}, {2, 0}, {3, 2}, {1, 3}, {-1, 2}});
    std::vector<Corners3> triangles;
    converter::triangulate(poly, triangles);
    EXPECT_EQ(triangles, (std::vector<Corners3>{{4, 0, 1}, {4, 1, 2}, {4, 2, 3}}));
}

TEST(Triangulate, DegenerateInputStillGivesEveryTriangle) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        std::vector<Vec3> corners;
    } cases[] = {
        {"all on a line", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}},
        {"one place", {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}}},
        {"bow tie", {{0, 0, 0}, {2, 2, 0}, {4, 0, 0}, {4, 4, 0}, {2, 2, 0}, {0, 4, 0}}},
        {"figure eight", {{0, 0, 0}, {4, 4, 0}, {4, 0, 0}, {0, 4, 0}, {-1, 2, 0}}},
        {"not a number", {{0, 0, 0}, {nan, 1, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, nan}}},
        {"infinite", {{0, 0, 0}, {inf, 0, 0}, {2, 2, 0}, {0, -inf, 0}, {0, 2, 0}}},
        {"spike back along an edge", {{0, 0, 0}, {4, 0, 0}, {2, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Corners3> triangles;
        converter::triangulate(c.corners, triangles);
        ASSERT_EQ(triangles.size(), c.corners.size() - 2);
        for (const Corners3& t : triangles) {
            EXPECT_EQ(std::set<std::uint32_t>(t.begin(), t.end()).size(), 3u);
            for (auto i : t) ASSERT_LT(i, c.corners.size());
        }
    }
}

TEST(Triangulate, LargestPolygonCoversItsDisc) {
    // 1023 corners, the most a polygon can have, on a wavy circle.
    std::vector<Vec3> poly;
    for (int i = 0; i < 1023; ++i) {
        double a = 2 * std::numbers::pi * i / 1023;
        double r = 9 + 0.5 * std::sin(a * 37);
        poly.push_back({float(r * std::cos(a)), float(r * std::sin(a)), 0});
    }
    std::vector<Corners3> triangles;
    converter::triangulate(poly, triangles);
    expect_exact_cover(poly, triangles);
}

// A comb of 1023 corners, 255 long thin teeth over a base, within -10..10
// and turned by `degrees`: every corner but the teeth's tops is near many
// others, which the crossing test and the ear search find by grid.
std::vector<Vec3> comb(double degrees) {
    std::vector<std::pair<double, double>> xy;
    for (int k = 0; k < 255; ++k) {
        const double x = -9.9 + k * 0.0776;
        xy.insert(xy.end(), {{x, -8}, {x, 9}, {x + 0.0388, 9}, {x + 0.0388, -8}});
    }
    xy.insert(xy.end(), {{9.9, -9}, {0, -9.5}, {-9.9, -9}});
    const double turn = degrees * std::numbers::pi / 180;
    std::vector<Vec3> poly;
    for (auto [x, y] : xy)
        poly.push_back({float(x * std::cos(turn) - y * std::sin(turn)), float(x * std::sin(turn) + y * std::cos(turn)), 0});
    return poly;
}

TEST(Triangulate, CombsAreCoveredExactlyAtAnyTurn) {
    for (double degrees : {0.0, 90.0, 30.0, 45.0}) {
        SCOPED_TRACE(degrees);
        const std::vector<Vec3> poly = comb(degrees);
        std::vector<Corners3> triangles;
        converter::triangulate(poly, triangles);
        expect_exact_cover(poly, triangles);
    }
}

TEST(Triangulate, CombWithOneToothAcrossItsNeighbourIsAFan) {
    for (double degrees : {0.0, 45.0}) {
        SCOPED_TRACE(degrees);
        std::vector<Vec3> poly = comb(degrees);
        poly[4 * 100 + 2] = poly[4 * 101 + 2];  // tooth 100's top reaches over tooth 101
        poly[4 * 100 + 2].y -= 1;
        std::vector<Corners3> triangles;
        converter::triangulate(poly, triangles);
        std::vector<Corners3> fan;
        for (std::uint32_t i = 1; i + 1 < poly.size(); ++i) fan.push_back({0, i, i + 1});
        EXPECT_EQ(triangles, fan);
    }
}

// Edges that cross leave no inside to cover; searching such a polygon for
// ears costs the most, so it is cut as a fan from its first corner.
TEST(Triangulate, PolygonWhoseEdgesCrossIsAFan) {
    std::vector<Vec3> spiral;  // chords a little under half a turn long
    double radius = 1;
    for (int k = 0; k < 1023; ++k) {
        const double angle = 2 * std::numbers::pi * 0.45 * k;
        spiral.push_back({float(radius * std::cos(angle)), float(radius * std::sin(angle)), 0});
        radius *= 1.002;
    }
    const std::vector<Vec3> figure_eight = flat({{0, 0}, {4, 4}, {4, 0}, {0, 4}, {-1, 2}});
    for (const std::vector<Vec3>& poly : {spiral, figure_eight}) {
        std::vector<Corners3> triangles;
        converter::triangulate(poly, triangles);
        std::vector<Corners3> fan;
        for (std::uint32_t i = 1; i + 1 < poly.size(); ++i) fan.push_back({0, i, i + 1});
        EXPECT_EQ(triangles, fan);
    }
}

TEST(NewellNormal, UnitNormalOrNothing) {
    std::optional<Vec3> up = converter::newell_normal(flat({{0, 0}, {2, 0}, {2, 2}, {1, 3}, {0, 2}}));
    ASSERT_TRUE(up);
    EXPECT_EQ(up->x, 0.0f);
    EXPECT_EQ(up->y, 0.0f);
    EXPECT_EQ(up->z, 1.0f);
    EXPECT_FALSE(converter::newell_normal(flat({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}})));
    float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(converter::newell_normal(flat({{0, 0}, {1, 0}, {nan, 1}, {1, 1}, {0, 1}})));
}

}  // namespace
