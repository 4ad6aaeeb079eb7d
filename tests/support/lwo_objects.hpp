#pragma once
// The common chunks of small test objects, written with the LWO2 byte
// builder: layers, points, polygons, texture maps, tags, clips and surfaces.
// Tests that need an odd chunk write it with the Builder itself.
//
//   lwo_test::Builder b;
//   b.form([&] {
//       lwo_test::layer(b);
//       lwo_test::points(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
//       lwo_test::faces(b, {{0, 1, 2}});
//   });
//   std::string file = lwo_test::bytes_text(b);

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/lwo_builder.hpp"

namespace lwo_test {

struct Point {
    float x, y, z;
};
struct Uv {
    float u, v;
};
struct SeamUv {
    std::uint32_t point, polygon;
    Uv uv;
};

inline std::string bytes_text(const Builder& b) {
    return {reinterpret_cast<const char*>(b.bytes.data()), b.bytes.size()};
}

// A whole object file: FORM, LWO2, then what `body` writes.
inline std::string object(const std::function<void(Builder&)>& body) {
    Builder b;
    b.form([&] { body(b); });
    return bytes_text(b);
}

inline void tags(Builder& b, std::initializer_list<std::string_view> names) {
    b.chunk("TAGS", [&] {
        for (std::string_view name : names) b.str(name);
    });
}

// A layer at the origin, without name or parent.
inline void layer(Builder& b, std::uint16_t number = 0) {
    b.chunk("LAYR", [&] { b.u2(number).u2(0).vec3(0, 0, 0).str("").u2(0); });
}

inline void points(Builder& b, const std::vector<std::array<float, 3>>& list) {
    b.chunk("PNTS", [&] {
        for (const auto& p : list) b.vec3(p[0], p[1], p[2]);
    });
}

inline void faces(Builder& b, const std::vector<std::vector<std::uint32_t>>& polygons) {
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (const auto& corners : polygons) {
            b.u2(static_cast<std::uint16_t>(corners.size()));
            for (std::uint32_t corner : corners) b.vx(corner);
        }
    });
}

// A TXUV map with one entry per point, points 0, 1, 2, ... in order.
inline void txuv(Builder& b, std::initializer_list<Uv> list, std::string_view name = "UV") {
    b.chunk("VMAP", [&] {
        b.id("TXUV").u2(2).str(name);
        std::uint32_t point = 0;
        for (const Uv& uv : list) b.vx(point++).f4(uv.u).f4(uv.v);
    });
}

inline void txuv_vmad(Builder& b, std::initializer_list<SeamUv> list) {
    b.chunk("VMAD", [&] {
        b.id("TXUV").u2(2).str("UV");
        for (const SeamUv& e : list) b.vx(e.point).vx(e.polygon).f4(e.uv.u).f4(e.uv.v);
    });
}

// The SURF tag of polygons 0, 1, 2, ... in order.
inline void surface_tags(Builder& b, std::initializer_list<std::uint16_t> per_polygon) {
    b.chunk("PTAG", [&] {
        b.id("SURF");
        std::uint32_t polygon = 0;
        for (std::uint16_t tag : per_polygon) b.vx(polygon++).u2(tag);
    });
}

inline void clip(Builder& b, std::uint32_t index, std::string_view file) {
    b.chunk("CLIP", [&] {
        b.u4(index);
        b.sub("STIL", [&] { b.str(file); });
    });
}

// A surface, with a COLR when `color` is given and an image map block naming
// clip `image` unless it is 0.
inline void surface(Builder& b, std::string_view name, std::optional<Point> color, std::uint32_t image) {
    b.chunk("SURF", [&] {
        b.str(name).str("");
        if (color) b.sub("COLR", [&] { b.vec3(color->x, color->y, color->z).vx(0); });
        if (image != 0) {
            b.sub("BLOK", [&] {
                b.sub("IMAP", [&] {
                    b.str("\x80");
                    b.sub("CHAN", [&] { b.id("COLR"); });
                });
                b.sub("PROJ", [&] { b.u2(5); });
                b.sub("IMAG", [&] { b.vx(image); });
                b.sub("VMAP", [&] { b.str("UV"); });
            });
        }
    });
}

}  // namespace lwo_test
