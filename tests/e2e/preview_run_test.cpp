// The -p preview through the program: pictures of tiny objects against
// committed golden images, pixel for pixel; the same picture for every form
// of display list; no picture from a failed run; the same bytes every run.
//
// The golden images are tests/data/preview/*.png. After a change meant to
// alter the pictures, run the tests with QUILLMESH_UPDATE_GOLDEN=1 to write
// them anew, and look at them before committing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "e2e/e2e_support.hpp"
#include "image.hpp"

namespace e2e {
namespace {

using test_support::read_file;
using test_support::shell_quote;
using test_support::TempDir;
using test_support::write_file;

const fs::path kGoldenDir = fs::path(QUILLMESH_SOURCE_DIR) / "tests/data/preview";

image::Image decode_png(const std::string& bytes) {
    Result<image::Image> decoded = image::Image::decode(std::as_bytes(std::span(bytes.data(), bytes.size())));
    return decoded ? std::move(*decoded) : image::Image{};
}

// The pixels that differ between the picture and the golden image `name`.
void expect_golden(const std::string& png, const std::string& name) {
    const fs::path golden = kGoldenDir / name;
    if (std::getenv("QUILLMESH_UPDATE_GOLDEN")) write_file(golden, png);
    ASSERT_TRUE(fs::exists(golden)) << golden << " is missing; run with QUILLMESH_UPDATE_GOLDEN=1";
    const image::Image expected = decode_png(read_file(golden));
    const image::Image actual = decode_png(png);
    ASSERT_EQ(actual.width, 1024u);
    ASSERT_EQ(actual.height, 1024u);
    ASSERT_EQ(expected.width, actual.width);
    ASSERT_EQ(expected.height, actual.height);
    std::size_t differ = 0, first = 0;
    for (std::size_t i = actual.pixels.size(); i-- > 0;) {
        if (!(actual.pixels[i] == expected.pixels[i])) ++differ, first = i;
    }
    EXPECT_EQ(differ, 0u) << name << ": first differing pixel at x " << first % 1024 << ", y " << first / 1024;
}

struct Picture {
    int exit_status = -1;
    std::string output;
    std::string png;  // empty when no file was written
};

// Converts `lwo` (with its images) in a fresh directory with `args` and -p.
Picture preview(const std::string& lwo, const std::vector<std::pair<std::string, std::string>>& images,
                const std::string& args = "") {
    TempDir dir;
    write_file(dir.path() / "in.lwo", lwo);
    for (const auto& [name, bytes] : images) write_file(dir.path() / name, bytes);
    const ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o out.c -p out.png " + args, "out.c");
    Picture picture{run.exit_status, run.output, {}};
    if (fs::exists(dir.path() / "out.png")) picture.png = read_file(dir.path() / "out.png");
    return picture;
}

// ---- Tiny objects ----------------------------------------------------------
// Corners run clockwise seen from the front, as LightWave keeps them, so each
// face below faces outward.

// A square facing the front under a 4 x 4 image of four quarters, red, green,
// blue and white from the top left, clockwise: CI4 with a 4-entry palette.
std::string textured_quad() {
    return object([](lwo_test::Builder& b) {
        tags(b, {"Paint"});
        layer(b, 0);
        points(b, {{-8, -8, 0}, {-8, 8, 0}, {8, 8, 0}, {8, -8, 0}});
        txuv(b, {{0, 0}, {0, 1}, {1, 1}, {1, 0}});
        faces(b, {{0, 1, 2, 3}});
        surface_tags(b, {0});
        clip(b, 1, "quarters.png");
        surface(b, "Paint", Point{1, 1, 1}, 1);
    });
}

std::string quarters_png() {
    const Rgba r{255, 0, 0, 255}, g{0, 255, 0, 255}, bl{0, 0, 255, 255}, w{255, 255, 255, 255};
    return rgba_png(4, 4, {r, r, g, g, r, r, g, g, w, w, bl, bl, w, w, bl, bl});
}

// The six outward faces of the box from `low` to `high`.
void box_faces(lwo_test::Builder& b, Point low, Point high) {
    points(b, {{low.x, low.y, low.z}, {high.x, low.y, low.z}, {high.x, high.y, low.z}, {low.x, high.y, low.z},
               {low.x, low.y, high.z}, {high.x, low.y, high.z}, {high.x, high.y, high.z}, {low.x, high.y, high.z}});
    faces(b, {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 4, 7, 3}, {1, 2, 6, 5}, {3, 7, 6, 2}, {0, 1, 5, 4}});
}

std::string lit_cube() {
    return object([](lwo_test::Builder& b) {
        tags(b, {"Clay"});
        layer(b, 0);
        box_faces(b, {-10, -10, -10}, {10, 10, 10});
        surface_tags(b, {0, 0, 0, 0, 0, 0});
        surface(b, "Clay", Point{0.8f, 0.6f, 0.4f}, 0);
    });
}

// A flat box in layer 0 and a small box standing on it in layer 1, each with
// a surface of its own colour.
std::string two_layers() {
    return object([](lwo_test::Builder& b) {
        tags(b, {"Base", "Top"});
        layer(b, 0);
        box_faces(b, {-20, -4, -20}, {20, 0, 20});
        surface_tags(b, {0, 0, 0, 0, 0, 0});
        layer(b, 1);
        box_faces(b, {-6, 0, -6}, {6, 16, 6});
        surface_tags(b, {1, 1, 1, 1, 1, 1});
        surface(b, "Base", Point{0.2f, 0.4f, 0.9f}, 0);
        surface(b, "Top", Point{0.9f, 0.3f, 0.2f}, 0);
    });
}

// Two squares side by side: the left one faces the front, the right one the
// back, so no view shows it.
std::string back_faces() {
    return object([](lwo_test::Builder& b) {
        tags(b, {"Card"});
        layer(b, 0);
        points(b, {{-20, -8, 0}, {-20, 8, 0}, {-4, 8, 0}, {-4, -8, 0}, {4, -8, 0}, {4, 8, 0}, {20, 8, 0}, {20, -8, 0}});
        faces(b, {{0, 1, 2, 3}, {4, 7, 6, 5}});
        surface_tags(b, {0, 0});
        surface(b, "Card", Point{0.9f, 0.9f, 0.2f}, 0);
    });
}

// ---- Tests -----------------------------------------------------------------

TEST(PreviewRun, TinyObjectsMatchTheirGoldenImages) {
    struct Case {
        std::string name, object;
        std::vector<std::pair<std::string, std::string>> images;
    };
    for (const Case& c : std::vector<Case>{
             {"textured_quad.png", textured_quad(), {{"quarters.png", quarters_png()}}},
             {"lit_cube.png", lit_cube(), {}},
             {"two_layers.png", two_layers(), {}},
             {"back_faces.png", back_faces(), {}},
         }) {
        SCOPED_TRACE(c.name);
        const Picture picture = preview(c.object, c.images);
        EXPECT_EQ(picture.exit_status, 0) << picture.output;
        EXPECT_EQ(picture.output, "");
        expect_golden(picture.png, c.name);
    }
}

// Batched, tiled, for Fast3D or with the smallest vertex cache, the lists
// draw the same triangles, so the picture is the same to the byte.
TEST(PreviewRun, EveryFormOfDisplayListGivesTheSamePicture) {
    const std::string examples = std::string(QUILLMESH_SOURCE_DIR) + "/examples/";
    for (const std::string sample : {"multi_layer/house.lwo", "big_texture/plane.lwo", "seam/tube.lwo"}) {
        SCOPED_TRACE(sample);
        std::string first;
        for (const std::string options : {"", "-b", "-t", "-f", "-b -f", "-b -t -c 3"}) {
            TempDir dir;
            run_quillmesh(dir.path(), shell_quote(examples + sample) + " -o out.c -p out.png " + options, "out.c");
            ASSERT_TRUE(fs::exists(dir.path() / "out.png")) << options;
            const std::string png = read_file(dir.path() / "out.png");
            if (first.empty()) first = png;
            EXPECT_TRUE(png == first) << options;
        }
    }
}

TEST(PreviewRun, SameInputSameBytes) {
    const Picture first = preview(textured_quad(), {{"quarters.png", quarters_png()}});
    const Picture second = preview(textured_quad(), {{"quarters.png", quarters_png()}});
    ASSERT_FALSE(first.png.empty());
    EXPECT_TRUE(first.png == second.png);
}

// A run that fails writes no picture and leaves one already there as it
// was; a picture that cannot be written fails the run, and then the C file
// is not written either.
TEST(PreviewRun, FailedRunsWriteNoPicture) {
    struct Case {
        std::string object;  // empty: no input file
        std::string args, message;
    };
    for (const Case& c : std::vector<Case>{
             {"", "in.lwo -o out.c -p out.png", "Couldn't open input file\nin.lwo: No such file or directory\n"},
             {"FORM", "in.lwo -o out.c -p out.png", "IO error\nHint: the file ends inside its FORM header\n"},
             {lit_cube(), "in.lwo -o out.c -p nodir/out.png",
              "Couldn't create preview file\nnodir/out.png: No such file or directory\n"},
             {lit_cube(), "in.lwo -o out.c -p /dev/full", "No space left on device\n"},
             // The C text fails while the picture is being drawn.
             {lit_cube(), "in.lwo -o /dev/full -p out.png", "No space left on device\n"},
         }) {
        for (bool existing : {false, true}) {
            SCOPED_TRACE(c.args + (existing ? " over existing files" : ""));
            TempDir dir;
            if (!c.object.empty()) write_file(dir.path() / "in.lwo", c.object);
            if (existing) {
                write_file(dir.path() / "out.png", "old picture");
                write_file(dir.path() / "out.c", "old text");
            }
            const ProgramRun run = run_quillmesh(dir.path(), c.args, "out.c");
            EXPECT_EQ(run.exit_status, 1);
            EXPECT_EQ(run.output, c.message);
            EXPECT_EQ(fs::exists(dir.path() / "out.png"), existing);
            EXPECT_EQ(fs::exists(dir.path() / "out.c"), existing);
            if (existing) {
                EXPECT_EQ(read_file(dir.path() / "out.png"), "old picture");
                EXPECT_EQ(read_file(dir.path() / "out.c"), "old text");
            }
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                EXPECT_NE(entry.path().filename().string().front(), '.') << "temporary left: " << entry.path();
            }
        }
    }
}

TEST(PreviewRun, PictureNamingTheInputIsRefused) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", lit_cube());
    const ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o out.c -p ./in.lwo", "out.c");
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.output, "Preview file is the input file; choose another with -p\n");
    EXPECT_EQ(read_file(dir.path() / "in.lwo"), lit_cube());
}

}  // namespace
}  // namespace e2e
