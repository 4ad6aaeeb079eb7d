// The built program on objects whose images are mapped by projection: an
// LWOB quad whose planar texture covers exactly the whole image, front
// projection, and the real globes with every option that reads texture
// coordinates (tiles, batches, fitting), each of whose outputs compiles.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_support.hpp"

namespace e2e {
namespace {

using test_support::TempDir;
using test_support::write_file;

// An LWOB square from (-1, -1) to (1, 1) in the XY plane, its colour texture
// tex.png mapped by `mapping` along Z with size 2 and centre 0.
std::string lwob_square(const std::string& mapping) {
    Builder b;
    b.form("LWOB", [&] {
        b.chunk("SRFS", [&] { b.str("S"); });
        b.chunk("PNTS", [&] { b.vec3(-1, -1, 0).vec3(1, -1, 0).vec3(1, 1, 0).vec3(-1, 1, 0); });
        b.chunk("POLS", [&] { b.u2(4).u2(0).u2(1).u2(2).u2(3).u2(1); });
        b.chunk("SURF", [&] {
            b.str("S");
            b.sub("CTEX", [&] { b.str(mapping); });
            b.sub("TIMG", [&] { b.str("tex.png"); });
            b.sub("TFLG", [&] { b.u2(4); });  // Z
            b.sub("TSIZ", [&] { b.vec3(2, 2, 2); });
            b.sub("TCTR", [&] { b.vec3(0, 0, 0); });
        });
    });
    return {reinterpret_cast<const char*>(b.bytes.data()), b.bytes.size()};
}

// The square converted beside an 8 x 8 tex.png.
ProgramRun convert_square(const std::string& mapping) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", lwob_square(mapping));
    write_file(dir.path() / "tex.png", solid_png(8, 8, {10, 20, 30, 255}));
    return run_quillmesh(dir.path(), "in.lwo -o out.c", "out.c");
}

TEST(ProjectionRun, LwobPlanarSquareCoversTheWholeImage) {
    const ProgramRun run = convert_square("Planar Image Map");
    ASSERT_EQ(run.exit_status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    // u = x/2 + 1/2 and t = -y/2 + 1/2, 8 texels times 64 across.
    for (const std::string vertex : {"{ -1, -1, 0 }, 0, { 0, 512 }", "{ 1, -1, 0 }, 0, { 512, 512 }",
                                     "{ 1, 1, 0 }, 0, { 512, 0 }", "{ -1, 1, 0 }, 0, { 0, 0 }"}) {
        EXPECT_NE(run.c_text.find(vertex), std::string::npos) << vertex << "\n" << run.c_text;
    }
    const test_support::CommandResult compiled = compile_c(run.c_text);
    EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
}

TEST(ProjectionRun, FrontProjectionWarnsAndGivesNoCoordinates) {
    const ProgramRun run = convert_square("Front Projection Image Map");
    ASSERT_EQ(run.exit_status, 0) << run.output;
    EXPECT_EQ(run.output,
              "Warning: surface S maps its image by front projection, which needs a camera: its texture coordinates "
              "are 0.\n");
    EXPECT_NE(run.c_text.find("{ 1, 1, 0 }, 0, { 0, 0 }"), std::string::npos);
}

std::size_t vertex_count(const std::string& c_text) {
    std::size_t n = 0;
    for (std::size_t at = c_text.find("\t\t{ {"); at != std::string::npos; at = c_text.find("\t\t{ {", at + 1)) ++n;
    return n;
}

TEST(ProjectionRun, RealGlobesConvertWithEveryTextureOption) {
    // The globe has 266 points; the sphere's and the cylinder's seams copy
    // some, the plane's none.
    struct Globe {
        std::string file;
        std::string image;
        bool splits;
    };
    for (const Globe& g : {Globe{"earth_planar_y.lwo", "earthSpherical.jpg", false},
                           Globe{"earth_cylindrical_y.lwo", "earthCylindric.jpg", true},
                           Globe{"earth_spherical_y.lwo", "earthSpherical.jpg", true}}) {
        for (const std::string options : {"", " -t", " -b", " -r", " -m"}) {
            SCOPED_TRACE(g.file + options);
            TempDir dir;
            std::filesystem::copy_file(std::string(QUILLMESH_REAL_LWO2_DIR) + "/" + g.file, dir.path() / "in.lwo");
            // A PNG under the name the clip gives: images are known by content.
            // 128 x 64 is over the budget, so -t tiles and -r fits.
            std::vector<Rgba> pixels(128 * 64);
            for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = {std::uint8_t(i % 128 * 2), 0, 0, 255};
            write_file(dir.path() / g.image, rgba_png(128, 64, pixels));
            const ProgramRun run = run_quillmesh(dir.path(), "in.lwo -s 100 -o out.c" + options, "out.c");
            ASSERT_EQ(run.exit_status, 0) << run.output;
            EXPECT_EQ(run.output.find("out of range"), std::string::npos) << run.output;
            if (options.empty()) {
                EXPECT_EQ(vertex_count(run.c_text) > 266, g.splits);
                EXPECT_EQ(vertex_count(run.c_text) >= 266, true);
            }
            const test_support::CommandResult compiled = compile_c(run.c_text);
            EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
        }
    }
}

}  // namespace
}  // namespace e2e
