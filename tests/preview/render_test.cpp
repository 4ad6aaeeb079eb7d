// The whole picture from meshes built by hand, including meshes whose
// numbers point nowhere, which the writer prints as they are.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "preview/preview.hpp"
#include "support/process.hpp"

namespace preview {
namespace {

constexpr int kSize = kPictureSize;

Rgb pixel(const Picture& picture, int x, int y) {
    return picture.pixels[static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)];
}

bool is_grey(const Picture& picture, int x, int y, std::uint8_t level) {
    const Rgb p = pixel(picture, x, y);
    return p.r == level && p.g == level && p.b == level;
}

TEST(PreviewRender, EmptyMeshIsBackgroundAndDividers) {
    const Picture picture = render(ultraback::Mesh{});
    ASSERT_EQ(picture.width, kSize);
    ASSERT_EQ(picture.height, kSize);
    ASSERT_EQ(picture.pixels.size(), std::size_t{kSize} * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool divider = x == kSize / 2 || y == kSize / 2;
            ASSERT_TRUE(is_grey(picture, x, y, divider ? 0x70 : 0x90)) << x << ", " << y;
        }
    }
}

// A square facing the front, counter-clockwise seen from there, in a layer
// whose material number, texture number and some vertex indices point past
// their lists: it is drawn in plain grey, the bad triangles left out.
TEST(PreviewRender, NumbersPointingNowhereDrawNeutrally) {
    ultraback::Mesh mesh;
    ultraback::Layer layer;
    layer.vertices = {{-10, -10, 0}, {10, -10, 0}, {10, 10, 0}, {-10, 10, 0}};
    for (ultraback::Vertex& v : layer.vertices) v.b = 0x7f, v.a = 0xff;  // normal (0, 0, 1)
    layer.primitives = {ultraback::Quad{{0, 1, 2, 3}}, ultraback::Triangle{{0, 1, 7}}};
    layer.material = 3;
    mesh.add_layer(layer);
    ultraback::Layer textured = layer;
    textured.material = 0;
    mesh.materials.push_back({5, {1, 0, 0, 1}});  // texture 5 of none: the colour alone
    mesh.add_layer(textured);

    const Picture picture = render(mesh);
    // The front view's centre: lit straight on, 0x50 + 0xaf x 0.816 = 223 of
    // 255; the first layer's grey 0xc0 gives 168, the second layer, drawn at
    // the same depth afterwards, does not replace it.
    const Rgb centre = pixel(picture, 256, 256);
    EXPECT_EQ(centre.r, 168);
    EXPECT_EQ(centre.g, 168);
    EXPECT_EQ(centre.b, 168);
    EXPECT_TRUE(is_grey(picture, 10, 10, 0x90));
}

// With vertex colours the bytes are the shade, unlit: the light, which would
// leave the front at 168 of 255 as above, plays no part.
TEST(PreviewRender, VertexColoursAreDrawnUnlit) {
    ultraback::Mesh mesh;
    ultraback::Layer layer;
    layer.vertices = {{-10, -10, 0}, {10, -10, 0}, {10, 10, 0}, {-10, 10, 0}};
    for (ultraback::Vertex& v : layer.vertices) v.r = 0xff, v.g = 0x80, v.b = 0x00, v.a = 0xff;
    layer.primitives = {ultraback::Quad{{0, 1, 2, 3}}};
    layer.vertex_colors = true;
    mesh.add_layer(layer);
    mesh.materials.push_back({std::nullopt, {1, 1, 1, 1}});
    const Picture picture = render(mesh);
    const Rgb centre = pixel(picture, 256, 256);
    EXPECT_EQ(centre.r, 255);
    EXPECT_EQ(centre.g, 128);
    EXPECT_EQ(centre.b, 0);
}

TEST(PreviewRender, PngHasTheSizeAndTheSameBytesEveryTime) {
    ultraback::Mesh mesh;
    ultraback::Layer layer;
    layer.vertices = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
    layer.primitives = {ultraback::Triangle{{0, 1, 2}}};
    mesh.add_layer(layer);
    mesh.materials.push_back({std::nullopt, {0.5f, 0.5f, 0.5f, 1}});
    const Result<std::vector<char>> first = encode_png(render(mesh));
    const Result<std::vector<char>> second = encode_png(render(mesh));
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(*first == *second);
    ASSERT_GT(first->size(), 24u);
    // The PNG signature, then IHDR with width and height 1024.
    EXPECT_EQ(std::string(first->data() + 1, 3), "PNG");
    EXPECT_EQ(std::string(first->data() + 16, 8), std::string("\0\0\4\0\0\0\4\0", 8));
}

// The encoder out of memory throws as every allocation of the program does,
// so the run ends as out of memory: an encoder that asserts its allocations
// would abort and leave the run's temporaries behind. The encoding runs in a
// fresh copy of this test program, whose heap no earlier test has grown.
TEST(PreviewRender, PngEncoderOutOfMemoryThrows) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
#else
    const Picture picture{kSize, kSize, std::vector<Rgb>(std::size_t{kSize} * kSize, Rgb{90, 90, 90})};
    if (std::getenv("QUILLMESH_ENCODE_WITHOUT_MEMORY") != nullptr) {
        // Address space for little more than the program holds now, and then
        // every byte of it taken, so the encoder's first allocation fails.
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
        const rlimit as{limit, limit};
        if (pages == 0 || setrlimit(RLIMIT_AS, &as) != 0) _exit(2);
        for (std::size_t size = 1u << 16; size >= 16; size /= 4)
            while (std::malloc(size) != nullptr) {
            }
        try {
            const Result<std::vector<char>> png = encode_png(picture);
            _exit(png ? 1 : 3);
        } catch (const std::bad_alloc&) {
            _exit(0);
        }
    }
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const test_support::CommandResult run = test_support::run_command(
        "QUILLMESH_ENCODE_WITHOUT_MEMORY=1 " + test_support::shell_quote(self) +
        " --gtest_filter=PreviewRender.PngEncoderOutOfMemoryThrows");
    EXPECT_EQ(run.exit_status, 0) << run.output;
#endif
}

}  // namespace
}  // namespace preview
