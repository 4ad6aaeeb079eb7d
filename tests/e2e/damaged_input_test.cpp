// Damaged and hostile inputs through the built program: for each, the exact
// text on standard output, the exit status, and the files afterwards. A run
// that fails leaves no new file and an existing output untouched; a run that
// succeeds prints only its warnings and writes the output.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/lwo_objects.hpp"
#include "support/png_builder.hpp"
#include "support/process.hpp"
#include "warning_line.hpp"

namespace fs = std::filesystem;
using lwo_test::Builder;
using lwo_test::bytes_text;
using lwo_test::clip;
using lwo_test::faces;
using lwo_test::layer;
using lwo_test::object;
using lwo_test::points;
using test_support::files_in;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const std::string kEof = "failed to fill whole buffer\n";
const std::string kSubchunkOverrun = "sub-chunk runs past the end of its parent\n";
const std::string kSkipped1 = "Warning: skipped 1 polygon with fewer than three corners in layer 0.\n";
const std::string kCoordinate = "Warning: vertex coordinate doesn't fit in 16 bits\n";

std::string text(const png_builder::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

void triangle(Builder& b) { points(b, {{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}}); }
// A texture map over the three points of triangle().
void uv_map(Builder& b) { lwo_test::txuv(b, {{0, 0}, {1, 0}, {0, 1}}, "uv"); }
// The surface "Skin", tagged on polygon 0, whose block maps clip `image`.
void textured_surface(Builder& b, std::uint32_t image) {
    b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0); });
    b.chunk("SURF", [&] {
        b.str("Skin").str("");
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] { b.raw({0x80, 0}); });
            b.sub("IMAG", [&] { b.vx(image); });
        });
    });
}
// One textured triangle whose clip names `file`.
std::string textured_triangle(const std::string& file) {
    return object([&](Builder& b) {
        b.chunk("TAGS", [&] { b.str("Skin"); });
        layer(b);
        triangle(b);
        uv_map(b);
        faces(b, {{0, 1, 2}});
        clip(b, 1, file);
        textured_surface(b, 1);
    });
}

// A file that ends inside the last chunk, whose header claims all of it.
std::string cut_in_last_chunk(const std::function<void(Builder&)>& last_chunk) {
    Builder b;
    b.form([&] {
        layer(b);
        last_chunk(b);
    });
    std::string whole = bytes_text(b);
    return whole.substr(0, whole.size() - 3);
}

// A string of invalid UTF-8 (a lone continuation byte) where `place` puts it.
const std::string kBadText = "ab\x80";

png_builder::Bytes grey_png(std::uint32_t width, std::uint32_t height) {
    return png_builder::png(width, height, 8, 0, std::vector<png_builder::Bytes>(height, png_builder::Bytes(width, 90)));
}

// A 24-bit BMP header that claims a size and holds no pixels.
std::string bmp_header(std::uint32_t width, std::uint32_t height) {
    std::string out = "BM";
    auto le = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(char(v >> (8 * i) & 0xFF));
    };
    le(54, 4), le(0, 4), le(54, 4), le(40, 4), le(width, 4), le(height, 4), le(1, 2), le(24, 2);
    le(0, 4), le(0, 4), le(2835, 4), le(2835, 4), le(0, 4), le(0, 4);
    return out;
}

struct Case {
    std::string name;
    std::string object;
    std::string output;  // exactly what the program prints
    int status;
    std::vector<std::pair<std::string, std::string>> images = {};  // files beside the object
    std::string options = "";
};

std::vector<Case> failing_cases() {
    std::vector<Case> cases = {
        {"not an IFF file", "Not an object at all.\n", "IO error\nHint: the file does not begin with an IFF FORM header, as a LightWave object does\n", 1},
        {"empty file", "", "IO error\nHint: the file is empty\n", 1},
        {"FORM of another type", std::string("FORM\0\0\0\x10ILBMBMHD\0\0\0\0", 20),
         "IO error\nHint: the file is an IFF FORM of type ILBM, not a LightWave object (LWO2, LWO3 or LWOB)\n", 1},
        {"FORM of the LWLO type, which is not read", std::string("FORM\0\0\0\4LWLO", 12),
         "IO error\nHint: the file is an IFF FORM of type LWLO, not a LightWave object (LWO2, LWO3 or LWOB)\n", 1},
        {"PNG image", "\x89PNG\r\n\x1a\n", "IO error\nHint: the file is a PNG image, not a LightWave object\n", 1},
        {"geometry before any layer", object([](Builder& b) { triangle(b); }), "PNTS chunk before any LAYR chunk\n",
         1},
        {"sub-chunk longer than its surface",
         object([](Builder& b) {
             b.chunk("SURF", [&] { b.str("Skin").str("").subheader("COLR", 40).vec3(1, 1, 1).u2(0); });
         }),
         kSubchunkOverrun, 1},
        {"sub-chunk longer than its clip",
         object([](Builder& b) { b.chunk("CLIP", [&] { b.u4(1).subheader("STIL", 9).str("a.png"); }); }),
         kSubchunkOverrun, 1},
        {"sub-chunk longer than its block",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] {
                     b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                     b.subheader("IMAG", 4).vx(1);
                 });
             });
         }),
         kSubchunkOverrun, 1},
        {"sub-chunk longer than its texture map",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] {
                     b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                     b.sub("TMAP", [&] { b.subheader("CNTR", 20).vec3(0, 0, 0).vx(0); });
                 });
             });
         }),
         kSubchunkOverrun, 1},
        // The reader takes the first byte of LAYR for the pad: the header read
        // from there claims more than the file holds.
        {"odd-length chunk without its pad byte",
         object([](Builder& b) {
             b.header("XTRA", 3).raw({1, 2, 3});
             layer(b);
         }),
         kEof, 1},
        {"odd-length sub-chunk without its pad byte",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.subheader("XTRA", 1).u1(9);
                 b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0); });
             });
         }),
         kSubchunkOverrun, 1},
        {"unknown block header",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] { b.sub("PROC", [&] { b.raw({0x80, 0}); }); });
             });
         }),
         "Unknown BLOK header\nHint: surface Skin has a texture block (PROC) that is not an image map; -k skips such "
         "blocks with a warning\n",
         1},
    };

    // Every chunk kind, cut short by the end of the file.
    const std::vector<std::pair<std::string, std::function<void(Builder&)>>> chunks = {
        {"TAGS", [](Builder& b) { b.chunk("TAGS", [&] { b.str("Skin").str("Wood"); }); }},
        {"LAYR", [](Builder& b) { layer(b); }},
        {"PNTS", [](Builder& b) { triangle(b); }},
        {"POLS", [](Builder& b) { faces(b, {{0, 1, 2}, {2, 1, 0}}); }},
        {"PTAG", [](Builder& b) { b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0).vx(1).u2(0); }); }},
        {"VMAP", [](Builder& b) { uv_map(b); }},
        {"VMAD", [](Builder& b) { b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(0).vx(0).f4(1).f4(1); }); }},
        {"CLIP", [](Builder& b) { clip(b, 1, "images/skin.png"); }},
        {"SURF", [](Builder& b) { textured_surface(b, 1); }},
        {"BBOX (skipped)", [](Builder& b) { b.chunk("BBOX", [&] { b.vec3(0, 0, 0).vec3(1, 1, 1); }); }},
    };
    for (const auto& [kind, chunk] : chunks) {
        cases.push_back({"truncated " + kind, cut_in_last_chunk(chunk), kEof, 1});
    }

    // Invalid UTF-8 in each kind of string.
    const std::vector<std::pair<std::string, std::function<void(Builder&)>>> strings = {
        {"TAGS", [](Builder& b) { b.chunk("TAGS", [&] { b.str("Skin").str(kBadText); }); }},
        {"LAYR name", [](Builder& b) { b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str(kBadText).u2(0); }); }},
        {"VMAP name",
         [](Builder& b) {
             layer(b);
             b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str(kBadText); });
         }},
        {"VMAD name",
         [](Builder& b) {
             layer(b);
             b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str(kBadText); });
         }},
        {"SURF name", [](Builder& b) { b.chunk("SURF", [&] { b.str(kBadText).str(""); }); }},
        {"SURF source", [](Builder& b) { b.chunk("SURF", [&] { b.str("Skin").str(kBadText); }); }},
        {"STIL file name", [](Builder& b) { clip(b, 1, "images/" + kBadText); }},
        {"block VMAP name",
         [](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] {
                     b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                     b.sub("VMAP", [&] { b.str(kBadText); });
                 });
             });
         }},
        {"OREF object name",
         [](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] {
                     b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                     b.sub("TMAP", [&] { b.sub("OREF", [&] { b.str(kBadText); }); });
                 });
             });
         }},
    };
    for (const auto& [place, write] : strings) {
        cases.push_back({"invalid UTF-8 in " + place, object(write), "invalid utf-8\n", 1});
    }

    // An image name that would add its own rules to the dependency file, and
    // other control characters no escaping carries through Make.
    const std::vector<std::pair<std::string, std::string>> unwritable = {
        {"a line feed", "a.png\n.RECIPEPREFIX=>\nall:\n>touch${IFS}pwned"},
        {"a carriage return", "a.png\rb.png"},
        {"an escape", "a\x1b.png"},
    };
    for (const auto& [character, name] : unwritable) {
        cases.push_back({"image name holding " + character + ", with -d", textured_triangle(name),
                         "Warning: Couldn't open texture: " + warning_line(name) + "\n" +
                             "A dependency's path holds a control character that a Make rule cannot carry: " +
                             warning_line(name) + "\n",
                         1, {{"a.png", text(grey_png(4, 4))}}, "-d out.d"});
    }
    // The dependency file would replace the output it describes.
    for (const std::string& depfile : {std::string("out.c"), std::string("./out.c"), std::string("../$(basename \"$PWD\")/out.c")}) {
        cases.push_back({"-d " + depfile, textured_triangle("a.png"),
                         "Dependency file is the output file; choose another with -d\n", 2,
                         {{"a.png", text(grey_png(4, 4))}}, "-d " + depfile});
    }
    // The preview would be replaced by the output or the rule written after it.
    for (const std::string& options : {std::string("-p out.c"), std::string("-p ./out.c"), std::string("-d out.d -p out.d")}) {
        cases.push_back({options, textured_triangle("a.png"),
                         "Preview file is the output or dependency file; choose another with -p\n", 2,
                         {{"a.png", text(grey_png(4, 4))}}, options});
    }
    return cases;
}

std::vector<Case> succeeding_cases() {
    const std::string kMissing = "Warning: Couldn't open texture: ";
    return {
        // Fewer than 4 bytes after the last chunk read as an empty header.
        {"chunk header cut short",
         object([](Builder& b) {
             layer(b);
             triangle(b);
             faces(b, {{0, 1, 2}});
             b.raw("PN");
         }),
         "", 0},
        {"odd-length chunk with its pad byte",
         object([](Builder& b) {
             b.header("XTRA", 3).raw({1, 2, 3, 0});
             layer(b);
             triangle(b);
             faces(b, {{0, 1, 2}});
         }),
         "", 0},
        {"odd-length chunk at the end without its pad byte",
         object([](Builder& b) {
             layer(b);
             b.header("XTRA", 3).raw({1, 2, 3});
         }),
         "", 0},
        {"odd-length sub-chunk with its pad byte",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.subheader("XTRA", 1).u1(9).u1(0);
                 b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0); });
             });
         }),
         "", 0},
        {"unknown block headers with -k",
         object([](Builder& b) {
             b.chunk("SURF", [&] {
                 b.str("Skin").str("");
                 b.sub("BLOK", [&] { b.sub("PROC", [&] { b.raw({0x80, 0}); }); });
                 b.sub("BLOK", [&] { b.sub("\x01\x02\x03\x04", [&] { b.raw({0x80, 0}); }); });
             });
         }),
         "Warning: skipped texture block PROC of surface Skin: not an image map\n"
         "Warning: skipped texture block 0x01020304 of surface Skin: not an image map\n",
         0, {}, "-k"},
        // Fields that the chunk does not hold read as zeros.
        {"fields cut short inside their chunks",
         object([](Builder& b) {
             b.chunk("LAYR", [&] { b.u2(0); });
             b.chunk("PNTS", [&] { b.vec3(1, 1, 1).f4(2); });
             b.chunk("POLS", [&] { b.id("FACE").u2(3).vx(0).vx(1); });
         }),
         "", 0},
        {"tag index outside TAGS",
         object([](Builder& b) {
             b.chunk("TAGS", [&] { b.str("Skin"); });
             layer(b);
             triangle(b);
             faces(b, {{0, 1, 2}});
             b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(7); });
             b.chunk("SURF", [&] { b.str("Skin").str(""); });
         }),
         "", 0},
        {"point index outside PNTS in POLS",
         object([](Builder& b) {
             layer(b);
             triangle(b);
             faces(b, {{0, 1, 2}, {0, 1, 3}, {0, 0xFEFF, 2}});
         }),
         "Warning: skipped 2 polygons with fewer than three corners in layer 0.\n", 0},
        {"point index outside PNTS in VMAP and VMAD",
         object([](Builder& b) {
             b.chunk("TAGS", [&] { b.str("Skin"); });
             layer(b);
             triangle(b);
             b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv").vx(0).f4(0).f4(0).vx(1).f4(1).f4(0).vx(2).f4(0).f4(1).vx(9).f4(1).f4(1); });
             b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(3).vx(0).f4(1).f4(1).vx(0x10000).vx(0).f4(1).f4(1); });
             faces(b, {{0, 1, 2}});
             clip(b, 1, "a.png");
             textured_surface(b, 1);
         }),
         "", 0, {{"a.png", text(grey_png(4, 4))}}},
        {"polygon index outside POLS in VMAD and PTAG",
         object([](Builder& b) {
             b.chunk("TAGS", [&] { b.str("Skin"); });
             layer(b);
             triangle(b);
             uv_map(b);
             b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(0).vx(1).f4(1).f4(1).vx(1).vx(0x20000).f4(1).f4(1); });
             faces(b, {{0, 1, 2}});
             b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0).vx(5).u2(0).vx(0x30000).u2(0); });
             b.chunk("SURF", [&] { b.str("Skin").str(""); });
         }),
         "", 0},
        {"polygons of 0, 1 and 2 corners",
         object([](Builder& b) {
             layer(b);
             triangle(b);
             faces(b, {{}, {0}, {0, 1}, {0, 1, 2}});
         }),
         "Warning: skipped 3 polygons with fewer than three corners in layer 0.\n", 0},
        {"polygon of 1023 corners",
         object([](Builder& b) {
             layer(b);
             b.chunk("PNTS", [&] {
                 for (int k = 0; k < 1023; ++k) b.vec3(float(k % 32), float(k / 32 * (k % 2 ? 1 : -1)), 0);
             });
             std::vector<std::uint32_t> corners(1023);
             for (std::uint32_t k = 0; k < 1023; ++k) corners[k] = k;
             faces(b, {corners});
         }),
         "", 0},
        {"Imag of 0",
         object([](Builder& b) {
             b.chunk("TAGS", [&] { b.str("Skin"); });
             layer(b);
             triangle(b);
             faces(b, {{0, 1, 2}});
             textured_surface(b, 0);
         }),
         "Warning: surface Skin names image 0, which is not a clip.\n", 0, {}, "-t"},
        {"Imag beyond the clips",
         object([](Builder& b) {
             b.chunk("TAGS", [&] { b.str("Skin"); });
             layer(b);
             triangle(b);
             uv_map(b);
             faces(b, {{0, 1, 2}});
             clip(b, 1, "a.png");
             textured_surface(b, 2);
         }),
         "Warning: surface Skin names image 2, which is not a clip.\n", 0, {{"a.png", text(grey_png(4, 4))}}, "-t"},
        {"NaN and infinite coordinates",
         object([](Builder& b) {
             layer(b);
             points(b, {{{kNaN, 0, 0}}, {{kInf, -kInf, 0}}, {{0, kNaN, kInf}}});
             faces(b, {{0, 1, 2}});
         }),
         kCoordinate + kCoordinate + kCoordinate, 0},
        {"infinite scale", textured_triangle("a.png"), kCoordinate + kCoordinate, 0, {{"a.png", text(grey_png(4, 4))}},
         "-s inf"},
        {"missing image", textured_triangle("images/missing.png"), kMissing + "missing.png\n", 0},
        {"image name holding a line feed, without -d", textured_triangle("a.png\nall:"), kMissing + "a.png?all:\n", 0,
         {{"a.png", text(grey_png(4, 4))}}},
        {"damaged image", textured_triangle("a.png"), kMissing + "a.png\n", 0,
         {{"a.png", text(grey_png(4, 4)).substr(0, 40)}}},
        {"image that claims 40000 by 40000 pixels", textured_triangle("a.png"), kMissing + "a.png\n", 0,
         {{"a.png", text(png_builder::file({png_builder::chunk("IHDR", png_builder::ihdr(40000, 40000, 8, 0))}))}}},
        // Within every size limit, but 54 bytes cannot hold 268 million pixels.
        {"BMP header that claims 16384 by 16384 pixels", textured_triangle("a.bmp"), kMissing + "a.bmp\n", 0,
         {{"a.bmp", bmp_header(16384, 16384)}}},
        {"image in a format the program does not read", textured_triangle("a.ppm"), kMissing + "a.ppm\n", 0,
         {{"a.ppm", "P6 1 1 255\n\x01\x02\x03"}}},
    };
}

// Runs the program in `dir` on in.lwo with output out.c.
test_support::CommandResult run_in(const TempDir& dir, const std::string& options) {
    return test_support::run_quillmesh(dir.path(), "in.lwo -o out.c " + options);
}

void prepare(const TempDir& dir, const Case& c) {
    write_file(dir.path() / "in.lwo", c.object);
    for (const auto& [name, bytes] : c.images) write_file(dir.path() / name, bytes);
}

TEST(DamagedInput, FailedRunsPrintTheirErrorAndLeaveTheFilesAlone) {
    for (const Case& c : failing_cases()) {
        for (bool existing_output : {false, true}) {
            SCOPED_TRACE(c.name + (existing_output ? ", with an existing output" : ""));
            TempDir dir;
            prepare(dir, c);
            if (existing_output) write_file(dir.path() / "out.c", "keep me");
            const std::vector<std::string> before = files_in(dir.path());
            auto result = run_in(dir, c.options);
            EXPECT_EQ(result.output, c.output);
            EXPECT_EQ(result.exit_status, c.status);
            EXPECT_EQ(files_in(dir.path()), before);
            if (existing_output) {
                EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
            }
        }
    }
}

TEST(DamagedInput, SurvivableDamagePrintsItsWarningsAndWritesTheOutput) {
    for (const Case& c : succeeding_cases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        prepare(dir, c);
        write_file(dir.path() / "out.c", "old");
        auto result = run_in(dir, c.options);
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.exit_status, c.status);
        const std::string written = read_file(dir.path() / "out.c");
        EXPECT_TRUE(written.starts_with("#include \"myheader.h\"\n")) << written.substr(0, 200);
        EXPECT_TRUE(written.ends_with(" ); \n")) << written.substr(written.size() - std::min<std::size_t>(200, written.size()));
        std::vector<std::string> expected_files{"in.lwo", "out.c"};
        for (const auto& [name, bytes] : c.images) expected_files.push_back(name);
        std::sort(expected_files.begin(), expected_files.end());
        EXPECT_EQ(files_in(dir.path()), expected_files);
    }
}

}  // namespace
