// The warning for layers whose points collapse when truncated to whole
// numbers, and the scale it suggests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/scale_check.hpp"

namespace converter {
namespace {

std::vector<lwofront::Vec3> unit_box() {
    std::vector<lwofront::Vec3> corners;
    for (float x : {-0.5f, 0.5f})
        for (float y : {-0.5f, 0.5f})
            for (float z : {-0.5f, 0.5f}) corners.push_back({x, y, z});
    return corners;
}

// A 200 x 200 grid of points an eighth apart (exact in binary): 40000
// points, 64 to each of 25 x 25 whole positions, and apart again at ten
// times the scale (1.25 apart).
std::vector<lwofront::Vec3> fine_grid() {
    std::vector<lwofront::Vec3> points;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 200; ++j) points.push_back({static_cast<float>(i) / 8, static_cast<float>(j) / 8, 0});
    return points;
}

TEST(ScaleCheck, WarnsWhenFewerThanHalfThePositionsRemain) {
    struct Case {
        const char* what;
        std::vector<lwofront::Vec3> points;
        float scale;
        std::string warning;
    };
    const std::string box = "Warning: the 8 distinct points of layer 3 fall onto 1 position at this scale";
    for (const Case& c : std::vector<Case>{
             {"a 1 x 1 x 1 box", unit_box(), 1.0f, box + "; try -s 10\n"},
             // The factor is named as -s takes it: after the scale given.
             {"the box scaled by 0.5 already", unit_box(), 0.5f, box + "; try -s 5\n"},
             {"a point repeated is one point", {{0.5f, 0, 0}, {0.5f, 0, 0}, {0.25f, 0, 0}, {0.75f, 0, 0}}, 1.0f,
              "Warning: the 3 distinct points of layer 3 fall onto 1 position at this scale; try -s 10\n"},
             {"0 and -0 are one point", {{0, 0, 0}, {-0.0f, 0, 0}}, 1.0f, ""},
             {"half the positions remain", {{0, 0, 0}, {0.5f, 0, 0}, {1, 0, 0}, {1.5f, 0, 0}}, 1.0f, ""},
             {"points a unit apart", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 1.0f, ""},
             {"no points", {}, 1.0f, ""},
             {"a large layer", fine_grid(), 1.0f,
              "Warning: the 40000 distinct points of layer 3 fall onto 625 positions at this scale; try -s 10\n"},
             {"a factor of 100 keeps them apart", {{0, 0, 0}, {0.01f, 0, 0}, {0.02f, 0, 0}}, 1.0f,
              "Warning: the 3 distinct points of layer 3 fall onto 1 position at this scale; try -s 100\n"},
             // Ten times larger would leave the 16-bit range: no factor named.
             {"no factor fits 16 bits", {{30000, 0, 0}, {30000.1f, 0, 0}, {30000.2f, 0, 0}}, 1.0f,
              "Warning: the 3 distinct points of layer 3 fall onto 1 position at this scale.\n"},
         }) {
        EXPECT_EQ(collapse_warning(c.points, c.scale, 3), c.warning) << c.what;
    }
}

}  // namespace
}  // namespace converter
