#pragma once
// Helpers for tests that run the built program on files made in the test:
// LWO2 chunks for small objects, PNG images, running quillmesh in a
// temporary directory, and expected texts with visible tabs.

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/lwo_builder.hpp"
#include "support/png_builder.hpp"
#include "support/process.hpp"

namespace e2e {

namespace fs = std::filesystem;

// Expected texts are raw literals in which a tab is written as a backslash
// and a t; the C text itself never holds a backslash.
inline std::string with_tabs(std::string_view marked) {
    std::string text;
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] == '\\' && i + 1 < marked.size() && marked[i + 1] == 't') {
            text += '\t';
            ++i;
        } else {
            text += marked[i];
        }
    }
    return text;
}

// ---- LWO2 chunks --------------------------------------------------------------

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

inline void tags(lwo_test::Builder& b, std::initializer_list<std::string_view> names) {
    b.chunk("TAGS", [&] {
        for (std::string_view name : names) b.str(name);
    });
}

inline void layer(lwo_test::Builder& b, std::uint16_t number) {
    b.chunk("LAYR", [&] { b.u2(number).u2(0).vec3(0, 0, 0).str(""); });
}

inline void points(lwo_test::Builder& b, std::initializer_list<Point> list) {
    b.chunk("PNTS", [&] {
        for (const Point& p : list) b.vec3(p.x, p.y, p.z);
    });
}

// A TXUV map with one entry per point, points 0, 1, 2, ... in order.
inline void txuv(lwo_test::Builder& b, std::initializer_list<Uv> list) {
    b.chunk("VMAP", [&] {
        b.id("TXUV").u2(2).str("UV");
        std::uint32_t point = 0;
        for (const Uv& uv : list) b.vx(point++).f4(uv.u).f4(uv.v);
    });
}

inline void txuv_vmad(lwo_test::Builder& b, std::initializer_list<SeamUv> list) {
    b.chunk("VMAD", [&] {
        b.id("TXUV").u2(2).str("UV");
        for (const SeamUv& e : list) b.vx(e.point).vx(e.polygon).f4(e.uv.u).f4(e.uv.v);
    });
}

inline void faces(lwo_test::Builder& b, std::initializer_list<std::initializer_list<std::uint32_t>> polygons) {
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (const auto& corners : polygons) {
            b.u2(static_cast<std::uint16_t>(corners.size()));
            for (std::uint32_t corner : corners) b.vx(corner);
        }
    });
}

// The SURF tag of polygons 0, 1, 2, ... in order.
inline void surface_tags(lwo_test::Builder& b, std::initializer_list<std::uint16_t> per_polygon) {
    b.chunk("PTAG", [&] {
        b.id("SURF");
        std::uint32_t polygon = 0;
        for (std::uint16_t tag : per_polygon) b.vx(polygon++).u2(tag);
    });
}

inline void clip(lwo_test::Builder& b, std::uint32_t index, std::string_view file) {
    b.chunk("CLIP", [&] {
        b.u4(index);
        b.sub("STIL", [&] { b.str(file); });
    });
}

// A surface, with a COLR when `color` is given and an image map block naming
// clip `image` unless it is 0.
inline void surface(lwo_test::Builder& b, std::string_view name, std::optional<Point> color, std::uint32_t image) {
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

inline std::string bytes_text(const lwo_test::Builder& b) {
    return {reinterpret_cast<const char*>(b.bytes.data()), b.bytes.size()};
}

// ---- Images --------------------------------------------------------------------

using Rgba = std::array<std::uint8_t, 4>;

// An 8-bit RGBA PNG; `pixels` row by row, top row first.
inline std::string rgba_png(std::uint32_t width, std::uint32_t height, const std::vector<Rgba>& pixels) {
    std::vector<png_builder::Bytes> rows(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgba& p = pixels[y * width + x];
            rows[y].insert(rows[y].end(), p.begin(), p.end());
        }
    }
    png_builder::Bytes png = png_builder::png(width, height, 8, 6, rows);
    return {png.begin(), png.end()};
}

inline std::string solid_png(std::uint32_t width, std::uint32_t height, Rgba color) {
    return rgba_png(width, height, std::vector<Rgba>(std::size_t{width} * height, color));
}

// ---- Running the program -------------------------------------------------------

struct ProgramRun {
    int exit_status = -1;
    std::string output;  // standard output and standard error together
    std::string c_text;  // the output file, empty when there is none
};

// Runs quillmesh inside `dir` with `args` (shell words) and reads `c_file`,
// a path relative to `dir`.
inline ProgramRun run_quillmesh(const fs::path& dir, const std::string& args, const fs::path& c_file) {
    test_support::CommandResult result = test_support::run_command("cd " + test_support::shell_quote(dir.string()) +
                                                                   " && " + test_support::shell_quote(QUILLMESH_EXE) +
                                                                   " " + args);
    ProgramRun run{result.exit_status, result.output, {}};
    if (fs::exists(dir / c_file)) run.c_text = test_support::read_file(dir / c_file);
    return run;
}

// Compiles C text against the test myheader.h; the status and the compiler's
// messages.
inline test_support::CommandResult compile_c(const std::string& text) {
    test_support::TempDir dir;
    const fs::path source = dir.path() / "mesh.c";
    test_support::write_file(source, text);
    return test_support::run_command("cc -std=c99 -Wall -Werror -c -I" +
                                     test_support::shell_quote(QUILLMESH_TEST_HEADER_DIR) + " -o " +
                                     test_support::shell_quote((dir.path() / "mesh.o").string()) + " " +
                                     test_support::shell_quote(source.string()));
}

}  // namespace e2e
