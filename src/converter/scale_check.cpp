#include "converter/scale_check.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "converter/numeric.hpp"

namespace converter {

namespace {

// Points are told apart by their bits; 0 and -0 count as one. Only for a
// layer that collapses, so keys are built once and sorted.
std::vector<lwofront::Vec3> distinct_points(std::span<const lwofront::Vec3> points) {
    using Key = std::array<std::uint32_t, 3>;
    std::vector<std::pair<Key, std::uint32_t>> keyed;
    keyed.reserve(points.size());
    for (std::uint32_t i = 0; i < points.size(); ++i) {
        const lwofront::Vec3& p = points[i];
        keyed.push_back({{std::bit_cast<std::uint32_t>(p.x + 0.0f), std::bit_cast<std::uint32_t>(p.y + 0.0f),
                          std::bit_cast<std::uint32_t>(p.z + 0.0f)},
                         i});
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<lwofront::Vec3> out;
    for (std::size_t k = 0; k < keyed.size(); ++k) {
        if (k == 0 || keyed[k].first != keyed[k - 1].first) out.push_back(points[keyed[k].second]);
    }
    return out;
}

// The number of distinct vertex positions of the points multiplied by
// `factor`, truncated as the layer conversion truncates them. Every layer is
// counted, so the positions, packed into 48 bits, go into an open-addressing
// set (at most half full) rather than being sorted.
std::size_t distinct_positions(std::span<const lwofront::Vec3> points, float factor) {
    constexpr std::uint64_t kEmpty = UINT64_MAX;  // no packed position has the top bits
    const int bits_for_index = std::bit_width(2 * points.size() | 1);
    std::vector<std::uint64_t> set(std::size_t{1} << bits_for_index, kEmpty);
    const std::size_t mask = set.size() - 1;
    auto bits = [](std::int16_t v) { return static_cast<std::uint64_t>(static_cast<std::uint16_t>(v)); };
    std::size_t distinct = 0;
    for (const lwofront::Vec3& p : points) {
        const std::uint64_t position = bits(trunc_i16(p.x * factor)) << 32 | bits(trunc_i16(p.y * factor)) << 16 |
                                       bits(trunc_i16(-p.z * factor));
        // Fibonacci hashing: the top bits of the product spread grid-like keys.
        std::size_t at = static_cast<std::size_t>((position * 0x9E3779B97F4A7C15ull) >> (64 - bits_for_index)) & mask;
        while (set[at] != kEmpty && set[at] != position) at = (at + 1) & mask;
        if (set[at] == kEmpty) set[at] = position, ++distinct;
    }
    return distinct;
}

float largest_magnitude(std::span<const lwofront::Vec3> points) {
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
    // The points as read bound the distinct ones: most layers stop here.
    const std::size_t positions = distinct_positions(points, 1.0f);
    if (2 * positions >= points.size()) return {};
    const std::vector<lwofront::Vec3> distinct = distinct_points(points);
    if (2 * positions >= distinct.size()) return {};

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
