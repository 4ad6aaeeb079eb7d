// The built program on the bundled samples and on real LWO2 files from
// modelling tools: what it prints, that its output compiles against the game
// header with and without tiling, and that a run always writes the same bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_support.hpp"

namespace e2e {
namespace {

using test_support::shell_quote;
using test_support::TempDir;

struct Case {
    std::string input;             // absolute path of the object
    int exit_status;               // the same with and without -t
    std::string output;            // printed without -t
    std::string output_tiled;      // printed with -t
    std::size_t tile_layers;       // LAYERATTRIBUTE_PREVENT_SEAMS lines with -t
};

std::size_t count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Converts `c.input` into a temporary directory, twice, with and without -t,
// and checks each run.
void check(const Case& c) {
    SCOPED_TRACE(c.input);
    for (bool tile : {false, true}) {
        SCOPED_TRACE(tile ? "with -t" : "without -t");
        TempDir dir;
        const std::string args = shell_quote(c.input) + (tile ? " -t" : "") + " -o ";
        const ProgramRun first = run_quillmesh(dir.path(), args + "first.c", "first.c");
        const ProgramRun second = run_quillmesh(dir.path(), args + "second.c", "second.c");

        EXPECT_EQ(first.exit_status, c.exit_status);
        EXPECT_EQ(first.output, tile ? c.output_tiled : c.output);
        EXPECT_EQ(second.exit_status, first.exit_status);
        EXPECT_EQ(second.output, first.output);
        EXPECT_TRUE(second.c_text == first.c_text) << "two runs on the same input wrote different bytes";
        if (c.exit_status != 0) {
            EXPECT_FALSE(fs::exists(dir.path() / "first.c"));
            continue;
        }
        EXPECT_EQ(count(first.c_text, "LAYERATTRIBUTE_PREVENT_SEAMS"), tile ? c.tile_layers : 0);
        const test_support::CommandResult compiled = compile_c(first.c_text);
        EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
    }
}

const std::string kTmemWarning = "Warning: texture won't fit into TMEM\n";
// Said once after the warnings, when neither -r nor -t is given.
const std::string kTmemHint = "Hint: -r fits such textures into texture memory; -t splits their layers into tiles\n";
const std::string kSurfacesHint = "Hint: -m gives each surface of a layer an output layer of its own\n";

TEST(ProgramOnSamples, ConvertAndCompileWithAndWithoutTiling) {
    const std::string examples = std::string(QUILLMESH_SOURCE_DIR) + "/examples/";
    const std::string two_surfaces = "Warning: more than one surface referenced in layer 0.\n";
    for (const Case& c : std::vector<Case>{
             {examples + "textured_box/box.lwo", 0, "", "", 0},
             {examples + "big_texture/plane.lwo", 0, kTmemWarning + kTmemHint, kTmemWarning, 4},
             {examples + "seam/tube.lwo", 0, "", "", 0},
             {examples + "multi_layer/house.lwo", 0, two_surfaces + kSurfacesHint, two_surfaces + kSurfacesHint, 0},
         }) {
        check(c);
    }
}

// Each quad of the 2 x 2 plane covers a quarter of its 64 x 64 texture; the
// rows of quads run from v = 0 (the bottom of the image) up.
TEST(ProgramOnSamples, BigTextureTilesIntoQuarters) {
    TempDir dir;
    const std::string input = std::string(QUILLMESH_SOURCE_DIR) + "/examples/big_texture/plane.lwo";
    const ProgramRun run = run_quillmesh(dir.path(), shell_quote(input) + " -t -o plane.c", "plane.c");
    ASSERT_EQ(run.exit_status, 0);
    for (const char* rect : {"RECTANGLE_INIT(0, 32, 32, 64), LAYERATTRIBUTE_PREVENT_SEAMS",
                             "RECTANGLE_INIT(32, 32, 64, 64), LAYERATTRIBUTE_PREVENT_SEAMS",
                             "RECTANGLE_INIT(0, 0, 32, 32), LAYERATTRIBUTE_PREVENT_SEAMS",
                             "RECTANGLE_INIT(32, 0, 64, 32), LAYERATTRIBUTE_PREVENT_SEAMS"}) {
        EXPECT_EQ(count(run.c_text, rect), 1u) << rect;
    }
    EXPECT_NE(run.c_text.find("TEXTURE_INIT(64, 64, &texture0, 8192, NULL, 0, TEXTURE_FMT_RGBA16)"),
              std::string::npos);
}

std::string collapse(const std::string& points, const std::string& layer, const std::string& positions,
                     const std::string& scale) {
    return "Warning: the " + points + " distinct points of layer " + layer + " fall onto " + positions +
           " at this scale; try -s " + scale + "\n";
}

TEST(ProgramOnRealFiles, ConvertAndCompile) {
    const std::string real = std::string(QUILLMESH_REAL_LWO2_DIR) + "/";
    const std::string kCellShaderError =
        "Unknown BLOK header\nHint: surface Default has a texture block (SHDR) that is not an image map; -k skips "
        "such blocks with a warning\n";
    for (const Case& c : std::vector<Case>{
             {real + "simple_cube.lwo", 0, "", "", 0},
             // Modelled in metres: at scale 1 most points fall together.
             {real + "hierarchy.lwo", 0, collapse("266", "1", "28 positions", "10"),
              collapse("266", "1", "28 positions", "10"), 0},
             // 512 x 512 boxuv.png is over budget; with -t each of the box's
             // six quads becomes a tile layer, each covering all of it.
             {real + "boxuv.lwo", 0, kTmemWarning + kTmemHint + collapse("8", "0", "1 position", "10"),
              kTmemWarning + collapse("8", "0", "1 position", "10") +
                  "Warning: 6 tiles of layer 0 still won't fit into TMEM.\n",
              6},
             {real + "box_2vc_1unused.lwo", 0, collapse("218", "0", "15 positions", "10"),
              collapse("218", "0", "15 positions", "10"), 0},
             {real + "concave_polygon.lwo", 0, collapse("64", "0", "7 positions", "100"),
              collapse("64", "0", "7 positions", "100"), 0},
             // A shader block (SHDR) is not an image map.
             {real + "CellShader.lwo", 1, kCellShaderError, kCellShaderError, 0},
         }) {
        check(c);
    }
}

}  // namespace
}  // namespace e2e
