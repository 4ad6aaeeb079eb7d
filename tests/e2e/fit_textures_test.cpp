// The program with -r: every texture over budget is fitted, said in one line,
// no TMEM warning follows, the text compiles, and each texture read back
// from the text (by the tests' own decoder) is close to its source image
// scaled to the same size. Texture coordinates follow the fitted size, and
// wrapped textures get power-of-two sides.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <stb/stb_image_resize.h>

#include "e2e/e2e_support.hpp"
#include "image.hpp"
#include "support/texel_decoder.hpp"

namespace e2e {
namespace {

using test_support::shell_quote;
using test_support::TempDir;

// Mean squared error per channel between the decoded texture and the source
// image scaled to the texture's size.
double error_against_source(const texel_decoder::DecodedTexture& texture, const std::string& image_path) {
    Result<image::Image> source = image::Image::open(image_path);
    EXPECT_TRUE(source.has_value());
    if (!source) return 1e9;
    std::vector<unsigned char> scaled(std::size_t{texture.width} * texture.height * 4);
    stbir_resize_uint8_srgb(reinterpret_cast<const unsigned char*>(source->pixels.data()),
                            static_cast<int>(source->width), static_cast<int>(source->height), 0, scaled.data(),
                            static_cast<int>(texture.width), static_cast<int>(texture.height), 0, 4, 3, 0);
    double sum = 0;
    for (std::size_t k = 0; k < texture.pixels.size(); ++k) {
        const texel_decoder::Rgba p = texture.pixels[k];
        const unsigned char* q = &scaled[4 * k];
        for (int c = 0; c < 4; ++c) {
            const int a = c == 0 ? p.r : c == 1 ? p.g : c == 2 ? p.b : p.a;
            sum += static_cast<double>((a - q[c]) * (a - q[c]));
        }
    }
    return sum / (4.0 * static_cast<double>(texture.pixels.size()));
}

TEST(ProgramFitsTextures, RealAndSampleTextures) {
    struct Case {
        std::string object;
        std::string options;  // a scale that keeps the object's points apart
        std::string image;
        std::string output;  // everything the run prints
        double max_error;
    };
    const std::string real = std::string(QUILLMESH_REAL_LWO2_DIR) + "/";
    const std::string examples = std::string(QUILLMESH_SOURCE_DIR) + "/examples/";
    for (const Case& c : std::vector<Case>{
             {real + "boxuv.lwo", "-s 10", real + "boxuv.png", "texture 0 (boxuv.png): 512x512 RGBA16 -> 64x64 CI4\n", 25},
             {examples + "big_texture/plane.lwo", "", examples + "big_texture/gradient.png",
              "texture 0 (gradient.png): 64x64 RGBA16 -> 32x32 RGBA16\n", 12},
         }) {
        SCOPED_TRACE(c.object);
        TempDir dir;
        const ProgramRun run = run_quillmesh(dir.path(), shell_quote(c.object) + " " + c.options + " -r -o out.c", "out.c");
        ASSERT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.output, c.output);
        const test_support::CommandResult compiled = compile_c(run.c_text);
        EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
        const ProgramRun again = run_quillmesh(dir.path(), shell_quote(c.object) + " " + c.options + " -r -o again.c", "again.c");
        EXPECT_TRUE(again.c_text == run.c_text) << "two runs on the same input wrote different bytes";
        // The line is news, not a warning: -e does not fail on it, -q leaves it
        // out, with -e too.
        const ProgramRun strict = run_quillmesh(dir.path(), shell_quote(c.object) + " " + c.options + " -r -e -o strict.c", "strict.c");
        EXPECT_EQ(strict.exit_status, 0);
        EXPECT_EQ(strict.output, c.output);
        const ProgramRun quiet = run_quillmesh(dir.path(), shell_quote(c.object) + " " + c.options + " -r -q -o quiet.c", "quiet.c");
        EXPECT_EQ(quiet.output, "");
        const ProgramRun quiet_strict =
            run_quillmesh(dir.path(), shell_quote(c.object) + " " + c.options + " -r -q -e -o quiet_strict.c", "quiet_strict.c");
        EXPECT_EQ(quiet_strict.exit_status, 0);
        EXPECT_EQ(quiet_strict.output, "");

        std::optional<texel_decoder::DecodedTexture> texture = texel_decoder::decode_texture(run.c_text, 0);
        ASSERT_TRUE(texture);
        const double error = error_against_source(*texture, c.image);
        std::printf("%s: %ux%u %s, mean squared error %.2f\n", c.image.substr(c.image.rfind('/') + 1).c_str(),
                    texture->width, texture->height, texture->format.c_str(), error);
        EXPECT_LT(error, c.max_error);
    }
}

// A quad with texture coordinates from 0 to `reach` and a 48 x 40 image of
// 300 colours, too many texels for RGBA16.
std::string plane_object(float reach) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Plane"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}});
        txuv(b, {{0, 0}, {reach, 0}, {reach, reach}, {0, reach}});
        faces(b, {{0, 1, 2, 3}});
        surface_tags(b, {0});
        clip(b, 1, "colours.png");
        surface(b, "Plane", Point{1, 1, 1}, 1);
    });
    return bytes_text(b);
}

std::string colours_png() {
    std::vector<Rgba> pixels;
    for (std::uint32_t k = 0; k < 48 * 40; ++k) {
        const std::uint32_t i = k % 300;
        pixels.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91),
                          static_cast<std::uint8_t>(i), 255});
    }
    return rgba_png(48, 40, pixels);
}

TEST(ProgramFitsTextures, WrappedTexturesGetPowerOfTwoSidesAndCoordinatesFollow) {
    struct Case {
        float reach;
        std::string line;
        std::string far_corner;  // the vertex at (reach, reach): s = reach * width * 64
    };
    for (const Case& c : std::vector<Case>{
             {1.0f, "texture 0 (colours.png): 48x40 RGBA16 -> 48x40 CI8\n", "{ 3072, 0 }"},
             {2.0f, "texture 0 (colours.png): 48x40 RGBA16 -> 32x32 RGBA16\n", "{ 4096, -2048 }"},
         }) {
        SCOPED_TRACE(c.reach);
        TempDir dir;
        test_support::write_file(dir.path() / "plane.lwo", plane_object(c.reach));
        test_support::write_file(dir.path() / "colours.png", colours_png());
        const ProgramRun run = run_quillmesh(dir.path(), "plane.lwo -r -o plane.c", "plane.c");
        ASSERT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.output, c.line);
        EXPECT_NE(run.c_text.find(c.far_corner), std::string::npos) << run.c_text;

        // Without -r nothing changes: the plain texture and its warning.
        const ProgramRun plain = run_quillmesh(dir.path(), "plane.lwo -o plain.c", "plain.c");
        EXPECT_EQ(plain.output,
                  "Warning: texture won't fit into TMEM\n"
                  "Hint: -r fits such textures into texture memory; -t splits their layers into tiles\n");
        EXPECT_NE(plain.c_text.find("TEXTURE_INIT(48, 40, &texture0, 3840, NULL, 0, TEXTURE_FMT_RGBA16)"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace e2e
