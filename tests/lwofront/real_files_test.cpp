// The real LWO2 files written by modelling tools, read the way the driver
// reads a file: from a descriptor, with the file's length as the window.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "lwofront/reader.hpp"
#include "stream.hpp"

namespace {

using namespace lwofront;

Result<Object> read_real(const std::string& name) {
    const std::string path = std::string(QUILLMESH_REAL_LWO2_DIR) + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return std::unexpected(io_error("cannot open " + path));
    const off_t length = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    stream::FileSource source(fd);
    stream::Stream s(source, std::uint64_t(length));
    auto r = process(s);
    ::close(fd);
    return r;
}

struct Facts {
    const char* file;
    std::vector<std::string> tags;
    std::vector<std::size_t> points;    // per layer
    std::vector<std::size_t> polygons;  // per layer
    std::vector<std::string> surfaces;
};

TEST(RealFiles, ReadWithTheirFacts) {
    const Facts cases[] = {
        {"simple_cube.lwo", {"DkBlu", "Default"}, {8}, {6}, {"Default"}},
        {"boxuv.lwo", {"boxSurface"}, {24}, {6}, {"boxSurface"}},
        {"box_2vc_1unused.lwo", {"DkBlu", "Default"}, {218}, {195}, {"Default"}},
        {"concave_polygon.lwo", {"test_Smoothing"}, {64}, {1}, {"test_Smoothing"}},
        {"hierarchy.lwo",
         {"DkBlu", "BoxOnLayer3", "Default", "RedBox"},
         {8, 266, 8, 8},
         {6, 288, 6, 6},
         {"BoxOnLayer3", "Default", "RedBox"}},
    };
    for (const Facts& c : cases) {
        SCOPED_TRACE(c.file);
        auto r = read_real(c.file);
        ASSERT_TRUE(r) << r.error().description();
        EXPECT_EQ(r->tags, c.tags);
        std::vector<std::size_t> points, polygons;
        for (const Layr& layer : r->layers) {
            points.push_back(layer.points.vec.size());
            polygons.push_back(layer.pols.polygons.size());
            EXPECT_TRUE(std::holds_alternative<Face>(layer.pols.kind));
            // The last tag chunk of each layer is the SURF one.
            EXPECT_TRUE(std::holds_alternative<SurfTag>(layer.ptag.kind));
            EXPECT_EQ(layer.ptag.entries.size(), layer.pols.polygons.size());
        }
        EXPECT_EQ(points, c.points);
        EXPECT_EQ(polygons, c.polygons);
        std::vector<std::string> surfaces;
        for (const Surf& surf : r->surfaces) surfaces.push_back(surf.name);
        EXPECT_EQ(surfaces, c.surfaces);
    }
}

TEST(RealFiles, Details) {
    auto cube = read_real("simple_cube.lwo");
    ASSERT_TRUE(cube);
    for (const Polygon& polygon : cube->layers.at(0).pols.polygons) EXPECT_EQ(polygon.vertices.size(), 4u);
    EXPECT_EQ(cube->layers[0].points.vec[0].x, -1.45f);
    const Colr& colr = std::get<Colr>(cube->surfaces.at(0).attributes.at(0));
    EXPECT_EQ(colr.color.x, 0.78431374f);

    auto hierarchy = read_real("hierarchy.lwo");
    ASSERT_TRUE(hierarchy);
    std::vector<std::uint16_t> numbers, parents;
    std::vector<std::string> names;
    for (const Layr& layer : hierarchy->layers) {
        numbers.push_back(layer.number);
        parents.push_back(layer.parent);
        names.push_back(layer.name);
    }
    EXPECT_EQ(numbers, (std::vector<std::uint16_t>{3, 4, 2, 1}));
    EXPECT_EQ(parents, (std::vector<std::uint16_t>{4, 0, 3, 4}));
    EXPECT_EQ(names[1], "RootOfHierarchy");
    EXPECT_EQ(hierarchy->layers[2].pivot.z, 1.35f);
    EXPECT_EQ(hierarchy->get_surfaces_in_layer(hierarchy->layers[3]), std::vector<std::size_t>{2});

    auto boxuv = read_real("boxuv.lwo");
    ASSERT_TRUE(boxuv);
    ASSERT_EQ(boxuv->clips.size(), 1u);
    EXPECT_EQ(boxuv->clips[0].index, 1u);
    EXPECT_EQ(boxuv->clips[0].stills, std::vector<std::string>{"boxuv.png"});
    const Layr& box = boxuv->layers.at(0);
    ASSERT_EQ(box.vmaps.size(), 1u);
    EXPECT_TRUE(is_txuv(box.vmaps[0].kind));
    EXPECT_EQ(box.vmaps[0].name, "Texture");
    EXPECT_EQ(box.vmaps[0].entries.size(), 24u);
    const auto& attributes = boxuv->surfaces.at(0).attributes;
    ASSERT_EQ(attributes.size(), 4u);  // COLR, DIFF, SPEC, BLOK
    const Blok& blok = std::get<Blok>(attributes[3]);
    EXPECT_EQ(blok.header.ordinal, (std::vector<std::uint8_t>{0x80, 0x00}));
    EXPECT_EQ(blok.header.attributes.size(), 3u);  // CHAN, OPAC, ENAB; NEGA skipped
    ASSERT_EQ(blok.attributes.size(), 10u);
    EXPECT_EQ(std::get<Imag>(blok.attributes[3]).image, 1u);
    EXPECT_EQ(std::get<VmapName>(blok.attributes[7]).name, "Texture");

    // Its STIL holds zeros after the name, and a FLAG sub-chunk follows.
    auto vc = read_real("box_2vc_1unused.lwo");
    ASSERT_TRUE(vc);
    EXPECT_EQ(vc->clips.at(0).stills, std::vector<std::string>{"white.bmp"});
    const Layr& layer = vc->layers.at(0);
    ASSERT_EQ(layer.vmaps.size(), 4u);
    EXPECT_EQ(layer.vmaps[2].dimension, 4u);
    EXPECT_EQ(layer.vmaps[3].name, "Vertex Color_Unused");
    ASSERT_EQ(layer.vmads.size(), 3u);
    EXPECT_EQ(layer.vmads[1].entries.size(), 128u);
    std::size_t corners18 = 0;
    for (const Polygon& polygon : layer.pols.polygons) corners18 += polygon.vertices.size() == 18;
    EXPECT_EQ(corners18, 3u);

    auto concave = read_real("concave_polygon.lwo");
    ASSERT_TRUE(concave);
    EXPECT_EQ(concave->layers.at(0).name, "concave_polygon");
    EXPECT_EQ(concave->layers[0].pols.polygons[0].vertices.size(), 66u);
    EXPECT_EQ(concave->surfaces.at(0).source, "test");
    ASSERT_EQ(concave->layers[0].vmads.size(), 1u);
    EXPECT_EQ(concave->layers[0].vmads[0].entries.size(), 66u);
}

TEST(RealFiles, ShaderBlockIsNotAnImageMap) {
    auto r = read_real("CellShader.lwo");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().lwo, LwoError::UnknownBlokHeader);
    EXPECT_EQ(r.error().description(), "Unknown BLOK header");
}

}  // namespace
