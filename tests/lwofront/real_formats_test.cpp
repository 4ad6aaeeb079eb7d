// The real LWO3 and LWOB files saved by LightWave (tests/data/lwo3-lwob), read
// the way the driver reads a file, and converted: the LWO3 twin of an LWO2
// file gives the same layers, each surface shows the colour and image of its
// connected material.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "converter/convert.hpp"
#include "converter/mesh_text.hpp"
#include "lwofront/attributes.hpp"
#include "lwofront/reader.hpp"
#include "stream.hpp"
#include "ultraback/check.hpp"

namespace {

using namespace lwofront;
using lwo_test::blocks_of;

struct Read {
    Result<Object> object;
    std::vector<std::string> warnings;
};

Read read_file(const std::string& name) {
    Read r{Object{}, {}};
    const std::string path = std::string(QUILLMESH_LWO3_LWOB_DIR) + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        r.object = std::unexpected(io_error("cannot open " + path));
        return r;
    }
    const off_t length = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    stream::FileSource source(fd);
    stream::Stream s(source, std::uint64_t(length));
    ReadOptions options;
    options.warn = [&](std::string_view line) { r.warnings.emplace_back(line); };
    r.object = process(s, options);
    ::close(fd);
    return r;
}

struct Converted {
    Result<ultraback::Mesh> mesh;
    std::vector<std::string> warnings;
};

// Scaled by 100 so that the unit cubes keep their corners apart; no image
// loads.
Converted convert(Object object) {
    scale_points(object, 100);
    Converted out{ultraback::Mesh{}, {}};
    converter::Options options;
    options.scale = 100;
    converter::LoadImage load = [](const std::string&) -> Result<image::Image> {
        return std::unexpected(Error{ErrorKind::Image, LwoError::None, "Could not open image"});
    };
    out.mesh = converter::convert(object, options, load, [&](std::string_view line) { out.warnings.emplace_back(line); });
    if (out.mesh) {
        EXPECT_EQ(ultraback::find_mesh_fault(*out.mesh, options.cache_size), "");
    }
    return out;
}

const Colr* last_colour(const Surf& surf) {
    const Colr* found = nullptr;
    for (const SurfAttr& a : surf.attributes)
        if (const Colr* c = std::get_if<Colr>(&a)) found = c;
    return found;
}

template <class T>
const T* first_of(const Blok& blok) {
    for (const BlokAttr& a : blok.attributes)
        if (const T* t = std::get_if<T>(&a)) return t;
    return nullptr;
}

TEST(RealFormats, Lwo3TwinGivesTheSameLayersAsItsLwo2File) {
    const Read lwo2 = read_file("lwo2/box3-uv-layers.lwo");
    const Read lwo3 = read_file("lwo3/box3-uv-layers.lwo");
    ASSERT_TRUE(lwo2.object) << lwo2.object.error().description();
    ASSERT_TRUE(lwo3.object) << lwo3.object.error().description();
    EXPECT_EQ(lwo3.object->format, Format::Lwo3);
    const Converted a = convert(*lwo2.object);
    const Converted b = convert(*lwo3.object);
    ASSERT_TRUE(a.mesh && b.mesh);
    ASSERT_EQ(a.mesh->layers.size(), 3u);
    ASSERT_EQ(b.mesh->layers.size(), 3u);
    // The same textures and materials: the text before the first layer.
    const std::string text_a = mesh_text::mesh(*a.mesh), text_b = mesh_text::mesh(*b.mesh);
    EXPECT_EQ(text_a.substr(0, text_a.find("layer ")), text_b.substr(0, text_b.find("layer ")));
    // The files store the layers in different orders: match them by number.
    EXPECT_NE(lwo2.object->layers[0].number, lwo3.object->layers[0].number);
    for (std::size_t i = 0; i < lwo3.object->layers.size(); ++i) {
        const std::uint16_t number = lwo3.object->layers[i].number;
        SCOPED_TRACE("layer number " + std::to_string(number));
        std::size_t j = 0;
        while (j < lwo2.object->layers.size() && lwo2.object->layers[j].number != number) ++j;
        ASSERT_LT(j, lwo2.object->layers.size());
        EXPECT_EQ(mesh_text::layer(b.mesh->layers[i]), mesh_text::layer(a.mesh->layers[j]));
    }
}

TEST(RealFormats, Lwo3SurfacesTakeTheConnectedMaterial) {
    // A connected Standard node of 0.502 beside an unconnected Principled
    // BSDF node of 0.50196.
    const Read phong = read_file("lwo3/Cube07-UVTextureMapPhong.lwo");
    ASSERT_TRUE(phong.object) << phong.object.error().description();
    ASSERT_EQ(phong.object->surfaces.size(), 1u);
    const Colr* colour = last_colour(phong.object->surfaces[0]);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->color.x, float(0.502));
    EXPECT_TRUE(phong.warnings.empty());

    // A texture block inside the Color input, naming clip 1.
    const Read twin = read_file("lwo3/box3-uv-layers.lwo");
    ASSERT_TRUE(twin.object);
    const Surf& back = twin.object->surfaces.at(0);
    EXPECT_EQ(back.name, "Back");
    const auto blocks = blocks_of(back);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(first_of<Imag>(*blocks[0])->image, 1u);
    EXPECT_EQ(first_of<VmapName>(*blocks[0])->name, "Texture");

    // An image node with its file name inline, the same file as the clip.
    const Read image_node = read_file("lwo3/Cube06-UVTextureMapStandard.lwo");
    ASSERT_TRUE(image_node.object);
    ASSERT_EQ(image_node.object->clips.size(), 1u);
    EXPECT_EQ(image_node.object->clips[0].stills, std::vector<std::string>{"Images/general/UV_Grid.jpg"});
    const auto node_blocks = blocks_of(image_node.object->surfaces.at(0));
    ASSERT_EQ(node_blocks.size(), 1u);
    EXPECT_EQ(first_of<Imag>(*node_blocks[0])->image, 1u);
    EXPECT_EQ(first_of<VmapName>(*node_blocks[0])->name, "Texture");
    const Converted converted = convert(*image_node.object);
    ASSERT_TRUE(converted.mesh);
    EXPECT_EQ(converted.mesh->materials.at(0).texture, std::optional<std::size_t>(0));
}

TEST(RealFormats, Lwo3OtherConnectedNodesWarnOncePerSurface) {
    const Read r = read_file("lwo3/Cube11-NormalMap.lwo");
    ASSERT_TRUE(r.object) << r.object.error().description();
    std::vector<std::string> expected;
    for (const char* name : {"Phong", "Standard-PrincipledBSDF"})
        expected.push_back(std::string("Warning: surface ") + name +
                           " uses only the colour and image of its material node; other connected nodes are ignored.\n");
    EXPECT_EQ(r.warnings, expected);
}

TEST(RealFormats, Lwo3GeometryAsInLwo2) {
    struct Case {
        const char* file;
        const char* warning;  // a line the conversion gives, or ""
    };
    for (const Case& c : {Case{"lwo3/UV-Discontinuous-VMAD.lwo", ""}, Case{"lwo3/n-gon.lwo", ""},
                          Case{"lwo3/Line-Basic.lwo", "Warning: skipped 11 polygons with fewer than three corners in layer 0.\n"},
                          Case{"lwo3/Points-Basic.lwo", "Warning: skipped 48 polygons with fewer than three corners in layer 0.\n"},
                          Case{"lwo3/DoubleSidedMaterials.lwo", ""}}) {
        SCOPED_TRACE(c.file);
        const Read r = read_file(c.file);
        ASSERT_TRUE(r.object) << r.object.error().description();
        const Converted converted = convert(*r.object);
        ASSERT_TRUE(converted.mesh) << converted.mesh.error().description();
        if (*c.warning) {
            EXPECT_NE(std::find(converted.warnings.begin(), converted.warnings.end(), c.warning), converted.warnings.end());
        }
    }
    const Read seams = read_file("lwo3/UV-Discontinuous-VMAD.lwo");
    EXPECT_FALSE(seams.object->layers.at(0).vmads.empty());
    const Read ngon = read_file("lwo3/n-gon.lwo");
    std::size_t longest = 0;
    for (const Polygon& p : ngon.object->layers.at(0).pols.polygons) longest = std::max(longest, p.vertices.size());
    EXPECT_GT(longest, 4u);
    const Read double_sided = read_file("lwo3/DoubleSidedMaterials.lwo");
    for (const Surf& surf : double_sided.object->surfaces) EXPECT_EQ(surf.sides, 3u);
}

TEST(RealFormats, LwobFiles) {
    const Read box = read_file("lwob/box1.5.lwo");
    ASSERT_TRUE(box.object) << box.object.error().description();
    EXPECT_EQ(box.object->format, Format::Lwob);
    ASSERT_EQ(box.object->surfaces.size(), 6u);
    EXPECT_EQ(box.object->surfaces[1].name, "Back");
    EXPECT_EQ(last_colour(box.object->surfaces[1])->color.y, 128.0f / 255.0f);
    EXPECT_EQ(box.object->layers.at(0).ptag.entries.size(), 6u);
    const Converted converted = convert(*box.object);
    ASSERT_TRUE(converted.mesh);
    EXPECT_EQ(converted.mesh->materials.size(), 6u);

    const Read sphere = read_file("lwob/sphere_with_mat_gloss_10pc.lwo");
    ASSERT_TRUE(sphere.object);
    EXPECT_NEAR(sphere.object->surfaces.at(0).smoothing_angle, 1.5625f, 0.001f);

    const Read concave = read_file("lwob/ConcavePolygon.lwo");
    ASSERT_TRUE(concave.object);
    EXPECT_EQ(concave.object->layers.at(0).pols.polygons.size(), 1u);
    EXPECT_EQ(concave.object->layers.at(0).pols.polygons[0].vertices.size(), 66u);

    const Read projected = read_file("lwob/bluewithcylindrictexz.lwo");
    ASSERT_TRUE(projected.object);
    const auto blocks = blocks_of(projected.object->surfaces.at(0));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(first_of<Proj>(*blocks[0])->mode, 1u);
    EXPECT_EQ(first_of<Axis>(*blocks[0])->axis, 2u);
    EXPECT_EQ(projected.warnings.size(), 1u);
}

}  // namespace
