#pragma once
// Small helpers that build object-model records in memory, so the converter
// can be tested without the LWO2 reader.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"

namespace model_builder {

using lwofront::Vec3;

struct Uv {
    std::uint32_t vertex;
    std::vector<float> values;
};

struct PolygonUv {
    std::uint32_t vertex;
    std::uint32_t polygon;
    std::vector<float> values;
};

inline lwofront::Layr layer(std::vector<Vec3> points, const std::vector<std::vector<std::uint32_t>>& polygons = {},
                            std::uint16_t number = 0) {
    lwofront::Layr l = lwofront::Layr::create(number, 0, {0, 0, 0}, "", 0);
    l.points.vec = std::move(points);
    l.pols.kind = lwofront::Face{};
    for (const auto& corners : polygons) l.pols.polygons.push_back({0, corners});
    return l;
}

inline lwofront::Vmap txuv(const std::vector<Uv>& entries, std::string name = "uv") {
    lwofront::Vmap map{lwofront::Txuv{}, 2, std::move(name), {}};
    for (const Uv& e : entries) map.entries.push_back({e.vertex, e.values});
    return map;
}

inline lwofront::Vmad txuv_vmad(const std::vector<PolygonUv>& entries, std::string name = "uv") {
    lwofront::Vmad map{lwofront::Txuv{}, 2, std::move(name), {}};
    for (const PolygonUv& e : entries) map.entries.push_back({e.vertex, e.polygon, e.values});
    return map;
}

// Vertex colour maps of type RGB.
inline constexpr lwofront::OtherType kRgb{0x52474220};

inline lwofront::Vmap rgb(const std::vector<Uv>& entries, std::string name) {
    lwofront::Vmap map{kRgb, 3, std::move(name), {}};
    for (const Uv& e : entries) map.entries.push_back({e.vertex, e.values});
    return map;
}

inline lwofront::Vmad rgb_vmad(const std::vector<PolygonUv>& entries, std::string name) {
    lwofront::Vmad map{kRgb, 3, std::move(name), {}};
    for (const PolygonUv& e : entries) map.entries.push_back({e.vertex, e.polygon, e.values});
    return map;
}

// A layer's polygons all tagged with one tag.
inline void tag_all(lwofront::Layr& l, std::uint16_t tag) {
    l.ptag.kind = lwofront::SurfTag{};
    for (std::uint32_t p = 0; p < l.pols.polygons.size(); ++p) l.ptag.entries.push_back({p, tag});
}

inline lwofront::Blok blok(std::vector<std::uint32_t> images) {
    lwofront::Blok b;
    b.attributes.emplace_back(std::in_place_type<lwofront::Proj>, std::uint16_t{5});
    for (std::uint32_t image : images) b.attributes.emplace_back(std::in_place_type<lwofront::Imag>, image);
    return b;
}

inline lwofront::Surf surface(std::string name, std::vector<lwofront::SurfAttr> attributes = {}) {
    return lwofront::Surf{std::move(name), "", std::move(attributes)};
}

inline lwofront::Colr colr(float r, float g, float b) { return lwofront::Colr{{r, g, b}, 0}; }

inline lwofront::Clip clip(std::string still) { return lwofront::Clip{1, {std::move(still)}}; }

// An image of the given size whose pixels give `colors` distinct colours.
inline image::Image picture(std::size_t width, std::size_t height, std::size_t colors = 1) {
    image::Image img;
    img.width = width;
    img.height = height;
    img.pixels.resize(width * height);
    for (std::size_t i = 0; i < img.pixels.size(); ++i) {
        auto c = static_cast<std::uint8_t>(i % colors);
        img.pixels[i] = {c, c, c, 255};
    }
    return img;
}

}  // namespace model_builder
