// How save feeds its sink: whole buffers, text intact across buffer
// boundaries, and a failing write ending the run with exactly the head of the
// text delivered.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

constexpr int kVertexCount = 12000;
constexpr int kTriangleCount = 6000;
constexpr int kTexelCount = 64 * 64;

// Big enough to need several buffers: the same vertex and triangle over and
// over, a 64 by 64 texture, and a long object name.
Mesh big_mesh() {
    Layer layer;
    layer.vertices.assign(kVertexCount, Vertex{1, -2, 3, 4, -5, 0x0a, 0xff, 0x81, 0xff});
    layer.primitives.assign(kTriangleCount, Triangle{{0, 11999, 2}});
    Mesh mesh;
    mesh.add_layer(std::move(layer));
    mesh.textures.push_back({64, 64, Rgba16{std::vector<std::uint16_t>(kTexelCount, 0xbeef)}});
    mesh.materials.push_back({0, {1.0f, 0.5f, 0.25f, 1.0f}});
    return mesh;
}

const std::string kLongName(1000, 'n');

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// The text of big_mesh, built by hand from the same lines.
std::string big_mesh_text() {
    std::string texels = "\t";
    for (int k = 0; k < kTexelCount; ++k) texels += (k != 0 && k % 4 == 0) ? "\n\t0xbeef, " : "0xbeef, ";
    return "#include \"myheader.h\"\n\nstatic Vtx vts0[] = {\n" +
           repeat("\t{\n\t\t{ { 1, -2, 3 }, 0, { 4, -5 }, { 0x0a, 0xff, 0x81, 0xff } }\n\t},\n", kVertexCount) +
           "};\n\nstatic Gfx drawmesh0[] = {\n" +
           repeat("\tgsSPVertex(&vts0[0], 1, 0),\n\tgsSPVertex(&vts0[11999], 1, 1),\n"
                  "\tgsSPVertex(&vts0[2], 1, 2),\n\tgsSP1Triangle(0, 1, 2, 0),\n",
                  kTriangleCount) +
           "\tgsSPEndDisplayList()\n};\n\n#ifndef TEXTURE_ALIGN\n#if defined(__GNUC__) || defined(__clang__)\n"
           "#define TEXTURE_ALIGN __attribute__((aligned(8)))\n#else\n#define TEXTURE_ALIGN\n#endif\n#endif\n\n"
           "static u16 texture0[] TEXTURE_ALIGN = {\n" + texels + "\n};\n\n" +
           "static Texture textures[] = {\n\tTEXTURE_INIT(64, 64, &texture0, 8192, NULL, 0, TEXTURE_FMT_RGBA16),\n};\n\n"
           "static Material materials[] = {\n"
           "\tMATERIAL_INIT( VECTOR4F_SET( 1, 0.5, 0.25, 1 ), TEXTUREMAPPING_CONST, 0 ),\n};\n\n"
           "static Layer layers[] = {\n"
           "\tLAYER_INIT( 0, drawmesh0, sizeof(drawmesh0), vts0, sizeof(vts0),  RECTANGLE_INIT(0, 0, 0, 0), "
           "LAYERATTRIBUTE_NONE ),\n};\n\n"
           "StaticMesh " + kLongName + " = STATICMESH_INIT( layers, 1, materials, 1, textures, 1 ); \n";
}

struct RecordingSink final : Sink {
    Status write(std::span<const char> bytes) override {
        sizes.push_back(bytes.size());
        text.append(bytes.data(), bytes.size());
        return {};
    }
    std::vector<std::size_t> sizes;
    std::string text;
};

TEST(WriterSink, BigMeshGoesOutInWholeBuffers) {
    const std::string expected = big_mesh_text();
    ASSERT_GT(expected.size(), 4 * kSaveBufferSize);

    RecordingSink sink;
    ASSERT_TRUE(save(big_mesh(), kLongName, sink).has_value());
    EXPECT_EQ(sink.text, expected);
    ASSERT_FALSE(sink.sizes.empty());
    for (std::size_t i = 0; i + 1 < sink.sizes.size(); ++i) EXPECT_EQ(sink.sizes[i], kSaveBufferSize) << "write " << i;
    EXPECT_GT(sink.sizes.back(), 0u);
    EXPECT_LE(sink.sizes.back(), kSaveBufferSize);
}

// Takes bytes until `limit`, then keeps the part that fits and fails, like a
// full disk.
struct FailingSink final : Sink {
    explicit FailingSink(std::size_t limit) : limit(limit) {}
    Status write(std::span<const char> bytes) override {
        if (failed) ++writes_after_failure;
        const std::size_t room = limit - text.size();
        if (bytes.size() <= room) {
            text.append(bytes.data(), bytes.size());
            return {};
        }
        text.append(bytes.data(), room);
        failed = true;
        return std::unexpected(io_error("disk full"));
    }
    std::size_t limit;
    std::string text;
    bool failed = false;
    int writes_after_failure = 0;
};

TEST(WriterSink, FailingWriteEndsSaveWithTheHeadDelivered) {
    StringSink whole;
    ASSERT_TRUE(save(big_mesh(), kLongName, whole).has_value());
    const std::string& full = whole.text;

    const std::size_t limits[] = {
        0,
        1,
        full.find("static Gfx drawmesh0"),  // right after the first vertex array
        kSaveBufferSize - 1,
        kSaveBufferSize,  // the first write fits exactly, the second fails
        kSaveBufferSize + 1,
        3 * kSaveBufferSize,
        3 * kSaveBufferSize + 12345,
        full.size() - 1,
    };
    for (std::size_t limit : limits) {
        SCOPED_TRACE(limit);
        FailingSink sink(limit);
        const Status status = save(big_mesh(), kLongName, sink);
        ASSERT_FALSE(status.has_value());
        EXPECT_EQ(status.error().kind, ErrorKind::Io);
        EXPECT_EQ(status.error().description(), "disk full");
        EXPECT_EQ(sink.writes_after_failure, 0);
        EXPECT_EQ(sink.text.size(), limit);
        EXPECT_TRUE(full.starts_with(sink.text));
    }

    FailingSink roomy(full.size());
    EXPECT_TRUE(save(big_mesh(), kLongName, roomy).has_value());
    EXPECT_EQ(roomy.text, full);
}

}  // namespace
}  // namespace ultraback
