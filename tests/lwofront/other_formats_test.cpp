// LWO3 and LWOB files read into the records of an LWO2 object: the small
// objects of support/lwo_formats.hpp, and the rules where the formats differ.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lwofront/attributes.hpp"
#include "lwofront/parse.hpp"
#include "support/lwo_formats.hpp"

namespace {

using namespace lwofront;
using lwo_test::all_of;
using lwo_test::blocks_of;
using lwo_test::Builder;

struct Read {
    Result<Object> object;
    std::vector<std::string> warnings;
};

Read read(std::span<const std::byte> bytes, bool skip_unknown_blocks = false) {
    Read r{Object{}, {}};
    ReadOptions options;
    options.skip_unknown_blocks = skip_unknown_blocks;
    options.warn = [&](std::string_view line) { r.warnings.emplace_back(line); };
    r.object = lwo_test::parse(bytes, options);
    return r;
}

Vec3 colour_of(const Surf& surf) {
    std::vector<Vec3> colours;
    for (const SurfAttr& a : surf.attributes)
        if (const Colr* c = std::get_if<Colr>(&a)) colours.push_back(c->color);
    EXPECT_EQ(colours.size(), 1u) << surf.name;
    return colours.empty() ? Vec3{} : colours.front();
}

void expect_colour(const Vec3& got, float r, float g, float b) {
    EXPECT_EQ(got.x, r);
    EXPECT_EQ(got.y, g);
    EXPECT_EQ(got.z, b);
}

TEST(Lwo3, GeometryAsInLwo2AndOnlyTheSurfaceTagsCount) {
    const Read r = read(lwo_test::lwo3_object().bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    const Object& o = *r.object;
    EXPECT_EQ(o.format, Format::Lwo3);
    EXPECT_EQ(o.tags, (std::vector<std::string>{"Box", "Photo"}));
    ASSERT_EQ(o.layers.size(), 1u);
    const Layr& layer = o.layers[0];
    EXPECT_EQ(layer.points.vec.size(), 4u);
    ASSERT_EQ(layer.pols.polygons.size(), 2u);
    EXPECT_EQ(layer.pols.polygons[1].vertices.size(), 3u);
    EXPECT_EQ(layer.vmaps.size(), 1u);
    EXPECT_EQ(layer.vmads.size(), 1u);
    // The sketch-colour tags before the surface tags replace nothing.
    ASSERT_TRUE(std::holds_alternative<SurfTag>(layer.ptag.kind));
    ASSERT_EQ(layer.ptag.entries.size(), 2u);
    EXPECT_EQ(layer.ptag.entries[1].tag, 1u);
}

TEST(Lwo3, SurfaceTakesTheConnectedMaterialAndItsBlock) {
    const Read r = read(lwo_test::lwo3_object().bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    const Surf& box = r.object->surfaces.at(0);
    EXPECT_EQ(box.name, "Box");
    // Not the red of the unconnected node listed first, nor the white of the
    // "Subsurface Color" input.
    expect_colour(colour_of(box), 0.25f, 0.5f, 0.75f);
    EXPECT_EQ(box.smoothing_angle, 1.5f);
    EXPECT_EQ(box.sides, 3u);
    const auto blocks = blocks_of(box);
    ASSERT_EQ(blocks.size(), 1u);
    const Blok& blok = *blocks[0];
    EXPECT_EQ(blok.header.ordinal, (std::vector<std::uint8_t>{0x80, 0}));
    EXPECT_EQ(blok.header.attributes.size(), 3u);  // CHAN, OPAC, ENAB
    ASSERT_EQ(all_of<Tmap>(blok).size(), 1u);
    EXPECT_EQ(all_of<Tmap>(blok)[0].attributes.size(), 2u);
    EXPECT_EQ(all_of<Proj>(blok).at(0).mode, 5u);
    // Clip index 7 is the first clip of the file.
    EXPECT_EQ(all_of<Imag>(blok).at(0).image, 1u);
    EXPECT_EQ(all_of<Wrpw>(blok).at(0).cycles, 2.0f);
    EXPECT_EQ(all_of<VmapName>(blok).at(0).name, "uv");
}

TEST(Lwo3, ImageNodeBecomesAClipAndOtherNodesAWarning) {
    const Read r = read(lwo_test::lwo3_object().bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    const Object& o = *r.object;
    ASSERT_EQ(o.clips.size(), 2u);
    EXPECT_EQ(o.clips[0].index, 7u);
    EXPECT_EQ(o.clips[0].stills, std::vector<std::string>{"images/box.png"});
    EXPECT_EQ(o.clips[1].stills, std::vector<std::string>{"images/photo.png"});
    const Surf& photo = o.surfaces.at(1);
    expect_colour(colour_of(photo), 0, 1, 0);
    const auto blocks = blocks_of(photo);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(all_of<Proj>(*blocks[0]).at(0).mode, 5u);
    EXPECT_EQ(all_of<Imag>(*blocks[0]).at(0).image, 2u);
    EXPECT_EQ(all_of<VmapName>(*blocks[0]).at(0).name, "uv");
    EXPECT_EQ(r.warnings, std::vector<std::string>{"Warning: surface Photo uses only the colour and image of its "
                                                   "material node; other connected nodes are ignored.\n"});
}

TEST(Lwo3, ImageNodeNamingAClipsFileSharesThatClip) {
    Builder b;
    b.form("LWO3", [&] {
        b.form("CLIP", [&] {
            lwo_test::lead(b, [&] { b.u4(3); });
            b.form("STIL", [&] { lwo_test::lead(b, [&] { b.str("shared.png"); }); });
        });
        b.form("SURF", [&] {
            lwo_test::lead(b, [&] { b.str("S").str(""); });
            b.form("NODS", [&] {
                b.form("NNDS", [&] {
                    lwo_test::material_node(b, "Standard", "M", 0.5, 0.5, 0.5, [] {});
                    lwo_test::node(b, "Image", "I", [&] {
                        b.form("IIMG", [&] {
                            b.form("CLIP", [&] { b.form("STIL", [&] { lwo_test::lead(b, [&] { b.str("shared.png"); }); }); });
                        });
                    });
                });
                b.form("NCON", [&] {
                    lwo_test::connection(b, "Surface", "Material", "M");
                    lwo_test::connection(b, "M", "Color", "I");
                });
            });
        });
    });
    const Read r = read(b.bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    ASSERT_EQ(r.object->clips.size(), 1u);
    const auto blocks = blocks_of(r.object->surfaces.at(0));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(all_of<Imag>(*blocks[0]).at(0).image, 1u);
    EXPECT_TRUE(r.warnings.empty());
}

TEST(Lwob, PolygonsSurfacesAndDetailPolygons) {
    const Read r = read(lwo_test::lwob_object().bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    const Object& o = *r.object;
    EXPECT_EQ(o.format, Format::Lwob);
    EXPECT_EQ(o.tags, (std::vector<std::string>{"Red", "Globe"}));
    ASSERT_EQ(o.layers.size(), 1u);
    const Layr& layer = o.layers[0];
    EXPECT_EQ(layer.points.vec.size(), 4u);
    ASSERT_TRUE(std::holds_alternative<Face>(layer.pols.kind));
    ASSERT_EQ(layer.pols.polygons.size(), 3u);
    EXPECT_EQ(layer.pols.polygons[0].vertices.size(), 4u);
    EXPECT_EQ(layer.pols.polygons[1].vertices.size(), 3u);
    EXPECT_EQ(layer.pols.polygons[2].vertices.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<SurfTag>(layer.ptag.kind));
    ASSERT_EQ(layer.ptag.entries.size(), 2u);  // surface 0 gives no tag
    EXPECT_EQ(layer.ptag.entries[0].polygon, 0u);
    EXPECT_EQ(layer.ptag.entries[0].tag, 0u);
    EXPECT_EQ(layer.ptag.entries[1].polygon, 1u);
    EXPECT_EQ(layer.ptag.entries[1].tag, 1u);
}

TEST(Lwob, SurfaceColourFlagsAndProjectedTexture) {
    const Read r = read(lwo_test::lwob_object().bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    const Object& o = *r.object;
    const Surf& red = o.surfaces.at(0);
    expect_colour(colour_of(red), 1, 0, 0);
    EXPECT_EQ(red.smoothing_angle, 1.5620696f);  // 89.5 degrees, LightWave's default
    EXPECT_EQ(red.sides, 3u);
    EXPECT_TRUE(blocks_of(red).empty());

    const Surf& globe = o.surfaces.at(1);
    expect_colour(colour_of(globe), 0, 128.0f / 255.0f, 1);
    EXPECT_EQ(globe.smoothing_angle, 0.5f);
    EXPECT_EQ(globe.sides, 1u);
    const auto blocks = blocks_of(globe);
    ASSERT_EQ(blocks.size(), 1u);  // the diffuse texture is not read
    EXPECT_EQ(all_of<Proj>(*blocks[0]).at(0).mode, 1u);
    EXPECT_EQ(all_of<Axis>(*blocks[0]).at(0).axis, 1u);
    EXPECT_EQ(all_of<Imag>(*blocks[0]).at(0).image, 1u);
    const Tmap tmap = all_of<Tmap>(*blocks[0]).at(0);
    ASSERT_EQ(tmap.attributes.size(), 2u);
    EXPECT_EQ(std::get<Cntr>(tmap.attributes[0]).vector.y, 1.0f);
    EXPECT_EQ(std::get<Size>(tmap.attributes[1]).vector.y, 2.0f);
    ASSERT_EQ(o.clips.size(), 1u);
    EXPECT_EQ(o.clips[0].stills, std::vector<std::string>{"images/earth.png"});
    EXPECT_EQ(r.warnings, std::vector<std::string>{"Warning: surface Globe maps its image by a projection, which is "
                                                   "not supported: its texture coordinates are 0.\n"});
}

// An LWOB file of one surface with the given sub-chunks.
template <class Body>
std::vector<std::byte> lwob_surface(Body body) {
    Builder b;
    b.form("LWOB", [&] {
        b.chunk("SURF", [&] {
            b.str("S");
            body(b);
        });
    });
    return b.bytes;
}

TEST(Lwob, TexturesSharingAnImageShareAClipAndNoImageGivesNoBlock) {
    const auto bytes = lwob_surface([](Builder& b) {
        b.sub("CTEX", [&] { b.str("Planar Image Map"); });
        b.sub("TIMG", [&] { b.str("a.png"); });
        b.sub("CTEX", [&] { b.str("Cubic Image Map"); });
        b.sub("TIMG", [&] { b.str("(none)"); });
        b.sub("CTEX", [&] { b.str("Spherical Image Map"); });
        b.sub("TIMG", [&] { b.str("a.png"); });
    });
    const Read r = read(bytes);
    ASSERT_TRUE(r.object) << r.object.error().description();
    EXPECT_EQ(r.object->clips.size(), 1u);
    const auto blocks = blocks_of(r.object->surfaces.at(0));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(all_of<Imag>(*blocks[1]).at(0).image, 1u);
    EXPECT_EQ(r.warnings.size(), 1u);  // one per surface
}

TEST(Lwob, ProceduralColourTextureFollowsTheBlockRule) {
    const auto bytes = lwob_surface([](Builder& b) {
        b.sub("CTEX", [&] { b.str("Fractal Noise"); });
        b.sub("TIMG", [&] { b.str("a.png"); });
    });
    lwo_test::expect_error(read(bytes).object, ErrorKind::Lwo, LwoError::UnknownBlokHeader, "Unknown BLOK header");
    const Read skipped = read(bytes, true);
    ASSERT_TRUE(skipped.object);
    EXPECT_TRUE(blocks_of(skipped.object->surfaces.at(0)).empty());
    EXPECT_EQ(skipped.warnings,
              std::vector<std::string>{"Warning: skipped texture block CTEX of surface S: not an image map\n"});
}

}  // namespace
