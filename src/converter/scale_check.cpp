#include "converter/scale_check.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "converter/numeric.hpp"

namespace converter {

namespace {

// Points are told apart by their bits; 0 and -0 count as one.
std::vector<lwofront::Vec3> distinct_points(std::span<const lwofront::Vec3> points) {
    auto key = [](const lwofront::Vec3& p) {
        return std::array<std::uint32_t, 3>{std::bit_cast<std::uint32_t>(p.x + 0.0f),
                                            std::bit_cast<std::uint32_t>(p.y + 0.0f),
                                            std::bit_cast<std::uint32_t>(p.z + 0.0f)};
    };
    std::vector<lwofront::Vec3> out(points.begin(), points.end());
    auto less = [&](const lwofront::Vec3& a, const lwofront::Vec3& b) { return key(a) < key(b); };
    auto same = [&](const lwofront::Vec3& a, const lwofront::Vec3& b) { return key(a) == key(b); };
    std::sort(out.begin(), out.end(), less);
    out.erase(std::unique(out.begin(), out.end(), same), out.end());
    return out;
}

// The distinct vertex positions of the points multiplied by `factor`,
// truncated as the layer conversion truncates them.
std::size_t distinct_positions(const std::vector<lwofront::Vec3>& points, float factor) {
    std::vector<std::array<std::int16_t, 3>> positions;
    positions.reserve(points.size());
    for (const lwofront::Vec3& p : points) {
        positions.push_back({trunc_i16(p.x * factor), trunc_i16(p.y * factor), trunc_i16(-p.z * factor)});
    }
    std::sort(positions.begin(), positions.end());
    return static_cast<std::size_t>(std::unique(positions.begin(), positions.end()) - positions.begin());
}

float largest_magnitude(const std::vector<lwofront::Vec3>& points) {
    float largest = 0;
    for (const lwofront::Vec3& p : points) {
        for (float c : {p.x, p.y, p.z}) {
            if (std::isfinite(c)) largest = std::max(largest, std::fabs(c));
        }
    }
    return largest;
}

std::string shortest(float value) {
    char digits[32];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

}  // namespace

std::string collapse_warning(std::span<const lwofront::Vec3> points, float scale, std::size_t layer_position) {
    const std::vector<lwofront::Vec3> distinct = distinct_points(points);
    const std::size_t positions = distinct_positions(distinct, 1.0f);
    if (distinct.size() < 2 || 2 * positions >= distinct.size()) return {};

    std::string line = "Warning: the " + std::to_string(distinct.size()) + " distinct points of layer " +
                       std::to_string(layer_position) + " fall onto " + std::to_string(positions) +
                       (positions == 1 ? " position" : " positions") + " at this scale";
    // The smallest power of ten that keeps every point apart and every
    // coordinate within 16 bits.
    const float largest = largest_magnitude(distinct);
    float factor = 1.0f;
    for (int k = 1; k <= 9; ++k) {
        factor *= 10.0f;
        if (largest * factor > 32767.0f) break;
        if (distinct_positions(distinct, factor) == distinct.size()) {
            return line + "; try -s " + shortest(scale * factor) + "\n";
        }
    }
    return line + ".\n";
}

}  // namespace converter
