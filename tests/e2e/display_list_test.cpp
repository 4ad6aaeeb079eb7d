// The display lists draw exactly the object's triangles, in both modes. The
// built program converts an object; the host C compiler builds the output
// with the test myheader.h, whose macros encode the F3DEX2 command words, and
// with support/gbi/interpret.c, which runs every layer's list against a
// vertex cache of a given size and prints the triangles drawn as vertex
// values. Batched output (-b, with cache sizes 3, 16, 32 and 64) must draw
// the same triangles as the default output, each once with its winding, and
// never load past the cache. Batches read slots that earlier batches loaded:
// a slot read before its load is refused by the interpreter, and one read
// after a later load overwrote it draws the wrong vertex values, which the
// comparison catches.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "support/lwo_objects.hpp"
#include "support/process.hpp"

namespace fs = std::filesystem;
using test_support::run_command;
using test_support::shell_quote;
using test_support::TempDir;

namespace {

// The triangles drawn, each as "layer: A | B | C" rotated to start at its
// least rotation (so winding counts, the starting corner not), sorted.
using Drawn = std::vector<std::string>;

std::string least_rotation(const std::string& line) {
    const std::size_t colon = line.find(": ");
    const std::size_t bar1 = line.find(" | ");
    const std::size_t bar2 = line.find(" | ", bar1 + 3);
    if (colon == std::string::npos || bar1 == std::string::npos || bar2 == std::string::npos) return "bad: " + line;
    const std::string head = line.substr(0, colon + 2);
    const std::array<std::string, 3> c{line.substr(colon + 2, bar1 - colon - 2), line.substr(bar1 + 3, bar2 - bar1 - 3),
                                       line.substr(bar2 + 3)};
    std::array<std::string, 3> best{c[0], c[1], c[2]};
    for (const auto& r : {std::array<std::string, 3>{c[1], c[2], c[0]}, std::array<std::string, 3>{c[2], c[0], c[1]}})
        best = std::min(best, r);
    return head + best[0] + " | " + best[1] + " | " + best[2];
}

Drawn parse(const std::string& output) {
    Drawn drawn;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        drawn.push_back(least_rotation(output.substr(at, end - at)));
        at = end + 1;
    }
    std::sort(drawn.begin(), drawn.end());
    return drawn;
}

// Equal, or a short account of the first difference (the lists can be long).
::testing::AssertionResult same_triangles(const Drawn& expected, const Drawn& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    return ::testing::AssertionFailure() << expected.size() << " triangles expected, " << actual.size()
                                         << " drawn; first difference: expected "
                                         << (e == expected.end() ? "nothing" : *e) << ", drawn "
                                         << (a == actual.end() ? "nothing" : *a);
}

struct Interpreted {
    bool ok = false;
    std::string message;  // what failed, when not ok
    Drawn drawn;
    std::vector<std::string> states;  // with a draw list: each layer's state line, in drawing order
};

// Triangle lines to `drawn`, the draw list's "state N: ..." lines to `states`.
void split_output(const std::string& output, Interpreted& r) {
    std::string triangles;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(at, end - at);
        if (line.starts_with("state ")) {
            r.states.push_back(line);
        } else {
            triangles += line + "\n";
        }
        at = end + 1;
    }
    r.drawn = parse(triangles);
}

class Checker {
public:
    // Converts `object` with `options`, builds the result with the
    // interpreter against the myheader.h in `header_dir` and runs it with
    // `slots` cache slots. With `draw_list` the interpreter runs mesh_draw
    // (the options must hold -g) instead of the layers' lists one by one.
    Interpreted run(const fs::path& object, const std::string& options, int slots,
                    const std::string& header_dir = QUILLMESH_TEST_HEADER_DIR, bool draw_list = false) {
        const std::string tag = std::to_string(count_++);
        const fs::path c_file = dir_.path() / ("out" + tag + ".c");
        const fs::path program = dir_.path() / ("run" + tag);
        Interpreted r;
        auto converted = test_support::run_quillmesh(
            dir_.path(), shell_quote(object.string()) + " -o " + shell_quote(c_file.string()) + " " + options);
        if (converted.exit_status != 0) {
            r.message = "conversion failed: " + converted.output;
            return r;
        }
        const std::string support = QUILLMESH_TEST_HEADER_DIR;
        auto built = run_command("cc -std=c99 -w " + std::string(draw_list ? "-DQUILLMESH_TEST_DRAW=mesh_draw " : "") +
                                 "-I" + shell_quote(header_dir) + " -o " + shell_quote(program.string()) +
                                 " " + shell_quote(support + "/gbi/interpret.c") + " " +
                                 shell_quote(c_file.string()));
        if (built.exit_status != 0) {
            r.message = "build failed: " + built.output.substr(0, 2000);
            return r;
        }
        // Standard error is empty unless the interpreter refuses the list;
        // then its message is the last line.
        auto ran = run_command(shell_quote(program.string()) + " " + std::to_string(slots));
        fs::remove(program);
        fs::remove(c_file);
        if (ran.exit_status != 0) {
            std::string last = ran.output.substr(0, ran.output.size() - (ran.output.ends_with('\n') ? 1 : 0));
            last = last.substr(last.rfind('\n') + 1);
            r.message = "interpreter refused (" + std::to_string(ran.exit_status) + "): " + last;
            return r;
        }
        r.ok = true;
        split_output(ran.output, r);
        return r;
    }

    const fs::path& dir() const { return dir_.path(); }

private:
    TempDir dir_;
    int count_ = 0;
};

// Default output against batched output with each cache size.
void check_object(Checker& checker, const fs::path& object, const std::string& extra = "") {
    SCOPED_TRACE(object.filename().string());
    const Interpreted plain = checker.run(object, extra, 16);
    ASSERT_TRUE(plain.ok) << plain.message;
    ASSERT_FALSE(plain.drawn.empty());
    for (int slots : {3, 16, 32, 64}) {
        SCOPED_TRACE("cache " + std::to_string(slots));
        const Interpreted batched = checker.run(object, extra + " -b -c " + std::to_string(slots), slots);
        ASSERT_TRUE(batched.ok) << batched.message;
        EXPECT_TRUE(same_triangles(plain.drawn, batched.drawn));
    }
}

// ---- objects made here ----

struct Shape {
    std::vector<std::array<float, 3>> points;
    std::vector<std::vector<std::uint32_t>> polygons;
};

std::string lwo_object(const std::vector<Shape>& layers) {
    return lwo_test::object([&](lwo_test::Builder& b) {
        for (std::size_t i = 0; i < layers.size(); ++i) {
            lwo_test::layer(b, static_cast<std::uint16_t>(i));
            lwo_test::points(b, layers[i].points);
            lwo_test::faces(b, layers[i].polygons);
        }
    });
}

// columns x rows cells over a bumpy surface, as two triangles or one quad
// each; point (r, c) is at x = step * c, z = step * r.
Shape grid(std::uint32_t columns, std::uint32_t rows, bool quads, float step = 16) {
    Shape s;
    for (std::uint32_t r = 0; r <= rows; ++r)
        for (std::uint32_t c = 0; c <= columns; ++c)
            s.points.push_back({step * static_cast<float>(c), static_cast<float>((r * 7 + c * 3) % 5),
                                step * static_cast<float>(r)});
    const std::uint32_t stride = columns + 1;
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c) {
            const std::uint32_t p = r * stride + c;
            if (quads) {
                s.polygons.push_back({p, p + stride, p + stride + 1, p + 1});
            } else {
                s.polygons.push_back({p, p + stride + 1, p + 1});
                s.polygons.push_back({p, p + stride, p + stride + 1});
            }
        }
    return s;
}

// A star of `corners` points as one polygon (cut into triangles by the
// converter), or as a fan of triangles around a centre.
Shape star(std::uint32_t corners, bool fan) {
    Shape s;
    if (fan) s.points.push_back({0, 0, 0});
    const std::uint32_t first = fan ? 1 : 0;
    std::vector<std::uint32_t> ring;
    for (std::uint32_t k = 0; k < corners; ++k) {
        const float angle = 6.2831853f * static_cast<float>(k) / static_cast<float>(corners);
        const float radius = k % 2 == 0 ? 1000.0f : 600.0f;
        s.points.push_back({radius * std::cos(angle), radius * std::sin(angle), static_cast<float>(k % 3)});
        ring.push_back(first + k);
    }
    if (!fan) {
        s.polygons.push_back(ring);
    } else {
        for (std::uint32_t k = 0; k < corners; ++k) s.polygons.push_back({0, ring[k], ring[(k + 1) % corners]});
    }
    return s;
}

fs::path write_object(const Checker& checker, const std::string& name, const std::vector<Shape>& layers) {
    const fs::path path = checker.dir() / name;
    test_support::write_file(path, lwo_object(layers));
    return path;
}

TEST(DisplayLists, BatchedDrawTheSameTrianglesAsDefaultOnMadeObjects) {
    Checker checker;
    Shape odds;  // a repeated corner, an unused point, two boxes apart
    odds.points = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {99, 99, 99}};
    odds.polygons = {{0, 0, 1}, {0, 1, 2, 3}, {3, 2, 1}};
    for (float x : {100.0f, 300.0f}) {
        const auto o = static_cast<std::uint32_t>(odds.points.size());
        for (float dx : {0.0f, 20.0f})
            for (float dy : {0.0f, 20.0f})
                for (float dz : {0.0f, 20.0f}) odds.points.push_back({x + dx, dy, dz});
        for (const auto& f : std::vector<std::vector<std::uint32_t>>{
                 {0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}}) {
            odds.polygons.push_back({o + f[0], o + f[1], o + f[2], o + f[3]});
        }
    }
    const fs::path object = write_object(
        checker, "made.lwo", {grid(20, 14, false), grid(12, 12, true), star(60, false), star(200, true), odds});
    check_object(checker, object);
}

TEST(DisplayLists, BatchedDrawTheSameTrianglesAsDefaultOnRealAndSampleFiles) {
    Checker checker;
    std::vector<fs::path> objects;
    for (const fs::path& dir : {fs::path(QUILLMESH_REAL_LWO2_DIR), fs::path(QUILLMESH_SOURCE_DIR) / "examples"}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (entry.path().extension() == ".lwo") objects.push_back(entry.path());
        }
    }
    std::sort(objects.begin(), objects.end());
    ASSERT_FALSE(objects.empty());
    // -k: a file with texture blocks that are not image maps converts too.
    for (const fs::path& object : objects) check_object(checker, object, "-k");
}

// The text without the layers' vertex arrays and display lists.
std::string without_layer_arrays(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::string_view rest = std::string_view(text).substr(at);
        const bool layer_array = rest.starts_with("static Vtx vts") || rest.starts_with("static Gfx drawmesh");
        const std::size_t end = layer_array ? text.find("};\n\n", at) + 4 : text.find('\n', at) + 1;
        if (!layer_array) out += text.substr(at, end - at);
        at = end;
    }
    return out;
}

TEST(DisplayLists, BatchingChangesOnlyVertexArraysAndDisplayLists) {
    // boxuv has a texture, hierarchy four layers and three surfaces.
    TempDir dir;
    for (const char* name : {"boxuv.lwo", "hierarchy.lwo"}) {
        SCOPED_TRACE(name);
        const std::string object = shell_quote(std::string(QUILLMESH_REAL_LWO2_DIR) + "/" + name);
        const fs::path plain = dir.path() / "plain.c", batched = dir.path() / "batched.c";
        ASSERT_EQ(test_support::run_quillmesh(dir.path(), object + " -o plain.c").exit_status, 0);
        ASSERT_EQ(test_support::run_quillmesh(dir.path(), object + " -b -c 5 -o batched.c").exit_status, 0);
        const std::string plain_text = test_support::read_file(plain), batched_text = test_support::read_file(batched);
        EXPECT_NE(plain_text, batched_text);
        const std::string plain_rest = without_layer_arrays(plain_text);
        EXPECT_EQ(plain_rest.find("static Vtx"), std::string::npos);
        EXPECT_EQ(plain_rest.find("static Gfx"), std::string::npos);
        EXPECT_NE(plain_rest.find("static Layer layers[] = {\n"), std::string::npos);
        // Not EXPECT_EQ: a texture makes the texts long, too long to diff.
        EXPECT_TRUE(plain_rest == without_layer_arrays(batched_text));
    }
}

TEST(DisplayLists, LoadsPastTheCacheAreRefused) {
    Checker checker;
    const fs::path object = write_object(checker, "grid.lwo", {grid(20, 20, false), grid(6, 6, true)});
    // The interpreter holds the lists to the cache size it is given.
    for (auto [options, slots] : {std::pair{"-b -c 64", 32}, std::pair{"-b -c 32", 16}, std::pair{"-b", 31}}) {
        SCOPED_TRACE(options);
        const Interpreted r = checker.run(object, options, slots);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("): layer 0, command "), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(": load overflows the vertex cache"), std::string::npos) << r.message;
    }
    // The default lists use four slots, for quads.
    EXPECT_TRUE(checker.run(object, "", 4).ok);
    const Interpreted three = checker.run(object, "", 3);
    EXPECT_EQ(three.message, "interpreter refused (1): layer 1, command 3: load overflows the vertex cache");
}

TEST(DisplayLists, BatchedLayerPastSixteenBitIndices) {
    // 2 x 11000 cells of a flat strip: 33003 points, 44000 triangles, all
    // facing +y. The default mode cannot address them; batched it can.
    Checker checker;
    Shape strip;
    const std::uint32_t columns = 11000, rows = 2, stride = columns + 1;
    for (std::uint32_t r = 0; r <= rows; ++r)
        for (std::uint32_t c = 0; c <= columns; ++c)
            strip.points.push_back({static_cast<float>(c), 0, static_cast<float>(r)});
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c) {
            const std::uint32_t p = r * stride + c;
            strip.polygons.push_back({p, p + stride + 1, p + 1});
            strip.polygons.push_back({p, p + stride, p + stride + 1});
        }
    const fs::path object = write_object(checker, "strip.lwo", {strip});

    // Corners reversed, z negated; the normal (0, 1, 0) in every vertex.
    auto vertex = [&](std::uint32_t i) {
        const auto& p = strip.points[i];
        return std::to_string(static_cast<int>(p[0])) + " 0 " + std::to_string(-static_cast<int>(p[2])) +
               " 0 0 0 127 0 255";
    };
    Drawn expected;
    for (const auto& t : strip.polygons) {
        expected.push_back(least_rotation("0: " + vertex(t[0]) + " | " + vertex(t[2]) + " | " + vertex(t[1])));
    }
    std::sort(expected.begin(), expected.end());

    const Interpreted plain = checker.run(object, "", 32);
    EXPECT_FALSE(plain.ok);
    EXPECT_EQ(plain.message,
              "conversion failed: layer 0 has 33003 vertices, more than the 32768 a display list can address\n");

    const Interpreted batched = checker.run(object, "-b", 32);
    ASSERT_TRUE(batched.ok) << batched.message;
    EXPECT_TRUE(same_triangles(expected, batched.drawn));
}

// -f lists, built against the Fast3D test header, draw the default output's
// triangles; batched, within Fast3D's 16 slots.
void check_fast3d(Checker& checker, const fs::path& object, const std::string& extra = "") {
    SCOPED_TRACE(object.filename().string());
    const std::string fast3d = std::string(QUILLMESH_TEST_HEADER_DIR) + "/fast3d";
    const Interpreted plain = checker.run(object, extra, 16);
    ASSERT_TRUE(plain.ok) << plain.message;
    for (const char* options : {" -f", " -f -b", " -f -b -c 5"}) {
        SCOPED_TRACE(options);
        const Interpreted one = checker.run(object, extra + options, 16, fast3d);
        ASSERT_TRUE(one.ok) << one.message;
        EXPECT_TRUE(same_triangles(plain.drawn, one.drawn));
    }
}

TEST(DisplayLists, Fast3dListsDrawTheSameTriangles) {
    Checker checker;
    const fs::path made = write_object(checker, "made.lwo", {grid(9, 7, false), grid(6, 5, true), star(40, false)});
    check_fast3d(checker, made);
    for (const char* name : {"boxuv.lwo", "hierarchy.lwo", "concave_polygon.lwo"}) {
        check_fast3d(checker, fs::path(QUILLMESH_REAL_LWO2_DIR) / name, "-k");
    }
}

TEST(DisplayLists, Fast3dHeaderRefusesTwoTriangleCommands) {
    // Without -f, quads are drawn with gsSP2Triangles, which Fast3D lacks.
    Checker checker;
    const fs::path object = write_object(checker, "quads.lwo", {grid(2, 2, true)});
    const Interpreted r = checker.run(object, "", 16, std::string(QUILLMESH_TEST_HEADER_DIR) + "/fast3d");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.starts_with("build failed: ")) << r.message;
}

// A drawn triangle by its corners' positions only, "x y z" each, rotated as
// least_rotation does.
std::string shape_only(const std::string& line) {
    std::string out = "0: ";
    std::size_t at = line.find(": ") + 2;
    for (int corner = 0; corner < 3; ++corner) {
        const std::size_t end = std::min(line.find(" | ", at), line.size());
        std::vector<std::string> fields;
        for (std::size_t f = at; f < end;) {
            const std::size_t blank = std::min(line.find(' ', f), end);
            fields.push_back(line.substr(f, blank - f));
            f = blank + 1;
        }
        if (fields.size() != 9) return "bad: " + line;
        if (corner > 0) out += " | ";
        out += fields[0] + " " + fields[1] + " " + fields[2];
        at = end + 3;
    }
    return least_rotation(out);
}

Drawn shapes_only(const Drawn& drawn) {
    Drawn out;
    for (const std::string& line : drawn) out.push_back(shape_only(line));
    std::sort(out.begin(), out.end());
    return out;
}

// `option` alone, batched, and batched for Fast3D draw the default output's
// triangles by their positions.
void check_same_positions(Checker& checker, const fs::path& object, const std::string& option) {
    SCOPED_TRACE(object.filename().string() + " " + option);
    const Interpreted plain = checker.run(object, "", 16);
    ASSERT_TRUE(plain.ok) << plain.message;
    const std::string header = QUILLMESH_TEST_HEADER_DIR;
    for (auto [options, slots, header_dir] : {std::tuple{option, 16, header}, std::tuple{option + " -b", 32, header},
                                              std::tuple{option + " -f -b", 16, header + "/fast3d"}}) {
        SCOPED_TRACE(options);
        const Interpreted changed = checker.run(object, options, slots, header_dir);
        ASSERT_TRUE(changed.ok) << changed.message;
        EXPECT_TRUE(same_triangles(shapes_only(plain.drawn), shapes_only(changed.drawn)));
    }
}

TEST(DisplayLists, OneLayerPerSurfaceDrawsTheSameTriangles) {
    // The layers differ, and so may texture coordinates (each group is
    // measured in its own surface's texture) and normals (averaged over the
    // group's polygons, as LightWave smooths within a surface); positions and
    // winding may not.
    Checker checker;
    for (const char* name : {"multi_layer/house.lwo", "textured_box/box.lwo"}) {
        check_same_positions(checker, fs::path(QUILLMESH_SOURCE_DIR) / "examples" / name, "-m");
    }
}

TEST(DisplayLists, VertexColoursDrawTheSameTriangles) {
    // The colour bytes change (box_2vc_1unused has RGB and RGBA maps and
    // VMAD overrides, so vertices split); positions and winding do not.
    Checker checker;
    const fs::path object = fs::path(QUILLMESH_REAL_LWO2_DIR) / "box_2vc_1unused.lwo";
    check_same_positions(checker, object, "-v");
    check_same_positions(checker, object, "-v -m");
}

// ---- the draw list (-g) ----

// The draw list, run by the interpreter, calls every layer's list once, in
// order, with the state the interpreter checks against the mesh's tables
// (texture, format, size, tile, palette); it draws the triangles the layers'
// lists draw alone, lit exactly where the layers carry normals.
TEST(DrawList, DrawsEveryLayerOnceWithItsMaterialsState) {
    struct Case {
        std::string object, options;
        int slots;
        bool fast3d, lit;
    };
    const fs::path examples = fs::path(QUILLMESH_SOURCE_DIR) / "examples";
    const fs::path real = QUILLMESH_REAL_LWO2_DIR;
    const std::vector<Case> cases = {
        {(examples / "textured_box/box.lwo").string(), "", 16, false, true},
        {(examples / "multi_layer/house.lwo").string(), "", 16, false, true},
        {(examples / "multi_layer/house.lwo").string(), "-m", 16, false, true},
        {(examples / "big_texture/plane.lwo").string(), "-t", 16, false, true},
        {(examples / "big_texture/plane.lwo").string(), "-t -b -c 32", 32, false, true},
        {(examples / "seam/tube.lwo").string(), "-b", 32, false, true},
        {(examples / "textured_box/box.lwo").string(), "-f", 16, true, true},
        {(examples / "big_texture/plane.lwo").string(), "-t -f -b", 16, true, true},
        {(real / "box_2vc_1unused.lwo").string(), "-v", 16, false, false},
        {(real / "box_2vc_1unused.lwo").string(), "-v -m -f", 16, true, false},
        {(real / "box_2vc_1unused.lwo").string(), "", 16, false, true},
    };
    Checker checker;
    const std::string header = QUILLMESH_TEST_HEADER_DIR;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object + " " + c.options);
        const std::string header_dir = c.fast3d ? header + "/fast3d" : header;
        const Interpreted layers = checker.run(c.object, c.options, c.slots, header_dir);
        ASSERT_TRUE(layers.ok) << layers.message;
        const Interpreted drawn = checker.run(c.object, c.options + " -g", c.slots, header_dir, true);
        ASSERT_TRUE(drawn.ok) << drawn.message;
        EXPECT_TRUE(same_triangles(layers.drawn, drawn.drawn));
        ASSERT_FALSE(drawn.states.empty());
        for (std::size_t n = 0; n < drawn.states.size(); ++n) {
            const std::string& state = drawn.states[n];
            EXPECT_TRUE(state.starts_with("state " + std::to_string(n) + ": lit " + (c.lit ? "1" : "0"))) << state;
            EXPECT_EQ(state.find("left off"), std::string::npos) << state;
        }
    }
}

}  // namespace
