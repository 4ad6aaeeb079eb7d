// Colour quantisation by median cut, refined by k-means. Distances are taken
// in Oklab (a colour space where equal distances look about equally
// different) with alpha as a fourth axis; centroids are averaged in sRGB so
// that a palette entry is a colour the picture could hold. Colours are
// visited in sorted order and every tie is broken by position, so the same
// pixels always give the same palette.

#include "converter/texturing/quantise.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "converter/texturing/texel_format.hpp"

namespace converter {
namespace {

using image::Pixel;
using Point = std::array<float, 4>;  // Oklab L, a, b and alpha, each about 0..1

constexpr int kRefinements = 8;

// sRGB channels 0..255 (fractional for averages) to Oklab with alpha.
Point perceptual(float r8, float g8, float b8, float a8) {
    const auto lin = [](float c) {
        const float v = c / 255.0f;
        return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
    };
    const float r = lin(r8), g = lin(g8), b = lin(b8);
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return {0.2104542553f * l + 0.7936178010f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s, a8 / 255.0f};
}

float distance(const Point& x, const Point& y) {
    float sum = 0;
    for (int d = 0; d < 4; ++d) sum += (x[d] - y[d]) * (x[d] - y[d]);
    return sum;
}

struct Color {
    Pixel pixel;
    std::uint32_t weight = 0;  // pixels of this colour
    Point point;
};

// Distinct colours in ascending key order, each with its pixel count.
std::vector<Color> distinct_colors(std::span<const Pixel> pixels) {
    std::unordered_map<std::uint32_t, std::uint32_t> counts;
    for (Pixel p : pixels) ++counts[color_key(p)];
    std::vector<Color> colors;
    colors.reserve(counts.size());
    for (const auto& [key, weight] : counts) {
        const Pixel p = key_color(key);
        colors.push_back({p, weight, perceptual(p.r, p.g, p.b, p.a)});
    }
    std::sort(colors.begin(), colors.end(),
              [](const Color& x, const Color& y) { return color_key(x.pixel) < color_key(y.pixel); });
    return colors;
}

std::vector<Pixel> first_appearance(std::span<const Pixel> pixels, std::size_t count) {
    std::vector<Pixel> palette;
    for (Pixel p : pixels) {
        if (std::find(palette.begin(), palette.end(), p) != palette.end()) continue;
        palette.push_back(p);
        if (palette.size() > count) return {};
    }
    return palette;
}

struct Box {
    std::size_t begin = 0, end = 0;  // a range of the colour list
};

// The axis along which a box's colours spread most, and how far.
std::pair<int, float> widest_axis(const std::vector<Color>& colors, Box box) {
    int axis = 0;
    float widest = -1;
    for (int d = 0; d < 4; ++d) {
        float low = colors[box.begin].point[d], high = low;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            low = std::min(low, colors[i].point[d]);
            high = std::max(high, colors[i].point[d]);
        }
        if (high - low > widest) {
            widest = high - low;
            axis = d;
        }
    }
    return {axis, widest};
}

// Splits the widest box at its weighted median until there are `count`.
std::vector<Box> median_cut(std::vector<Color>& colors, std::size_t count) {
    std::vector<Box> boxes{{0, colors.size()}};
    while (boxes.size() < count) {
        std::size_t chosen = boxes.size();
        int axis = 0;
        float widest = 0;
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2) continue;
            auto [d, spread] = widest_axis(colors, boxes[b]);
            if (chosen == boxes.size() || spread > widest) {
                chosen = b;
                axis = d;
                widest = spread;
            }
        }
        if (chosen == boxes.size()) break;  // every box holds one colour
        Box box = boxes[chosen];
        std::sort(colors.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  colors.begin() + static_cast<std::ptrdiff_t>(box.end), [axis](const Color& x, const Color& y) {
                      if (x.point[axis] != y.point[axis]) return x.point[axis] < y.point[axis];
                      return color_key(x.pixel) < color_key(y.pixel);
                  });
        std::uint64_t total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) total += colors[i].weight;
        std::uint64_t seen = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
            seen += colors[i].weight;
            split = i + 1;
            if (2 * seen >= total) break;
        }
        boxes[chosen] = {box.begin, split};
        boxes.push_back({split, box.end});
    }
    return boxes;
}

struct Centroid {
    std::array<double, 4> rgba{};  // sRGB channels 0..255
    Point point{};

    void set(const std::array<double, 4>& value) {
        rgba = value;
        point = perceptual(static_cast<float>(value[0]), static_cast<float>(value[1]),
                           static_cast<float>(value[2]), static_cast<float>(value[3]));
    }
};

// Weighted sRGB mean of the colours for which `member` holds.
template <class Member>
bool mean_of(const std::vector<Color>& colors, Member member, std::array<double, 4>& mean) {
    std::array<double, 4> sum{};
    double weight = 0;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        if (!member(i)) continue;
        const Color& c = colors[i];
        const double w = c.weight;
        sum[0] += c.pixel.r * w;
        sum[1] += c.pixel.g * w;
        sum[2] += c.pixel.b * w;
        sum[3] += c.pixel.a * w;
        weight += w;
    }
    if (weight == 0) return false;
    for (int d = 0; d < 4; ++d) mean[d] = sum[d] / weight;
    return true;
}

std::size_t nearest(const std::vector<Centroid>& centroids, const Point& point) {
    std::size_t best = 0;
    float best_distance = distance(centroids[0].point, point);
    for (std::size_t c = 1; c < centroids.size(); ++c) {
        const float d = distance(centroids[c].point, point);
        if (d < best_distance) {
            best_distance = d;
            best = c;
        }
    }
    return best;
}

std::uint8_t to_byte(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

std::vector<Pixel> quantise_palette(std::span<const Pixel> pixels, std::size_t count) {
    assert(count >= 1);
    if (std::vector<Pixel> own = first_appearance(pixels, count); !own.empty() || pixels.empty()) return own;

    std::vector<Color> colors = distinct_colors(pixels);
    std::vector<Centroid> centroids;
    for (Box box : median_cut(colors, count)) {
        std::array<double, 4> mean{};
        mean_of(colors, [&](std::size_t i) { return i >= box.begin && i < box.end; }, mean);
        centroids.emplace_back().set(mean);
    }

    std::vector<std::size_t> cluster(colors.size(), 0);
    for (int round = 0; round < kRefinements; ++round) {
        bool moved = false;
        for (std::size_t i = 0; i < colors.size(); ++i) {
            const std::size_t c = nearest(centroids, colors[i].point);
            moved = moved || c != cluster[i];
            cluster[i] = c;
        }
        if (!moved && round > 0) break;
        for (std::size_t c = 0; c < centroids.size(); ++c) {
            std::array<double, 4> mean{};
            // An emptied cluster keeps its centroid.
            if (mean_of(colors, [&](std::size_t i) { return cluster[i] == c; }, mean)) centroids[c].set(mean);
        }
    }

    std::vector<Pixel> palette;
    for (const Centroid& c : centroids) {
        palette.push_back({to_byte(c.rgba[0]), to_byte(c.rgba[1]), to_byte(c.rgba[2]), to_byte(c.rgba[3])});
    }
    return palette;
}

}  // namespace converter
