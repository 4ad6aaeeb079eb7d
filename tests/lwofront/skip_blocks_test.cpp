// With -k, texture blocks that are not image maps are dropped with a warning;
// the image blocks beside them still reach the material.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/convert.hpp"
#include "lwofront/parse.hpp"
#include "support/lwo_objects.hpp"

namespace {

using lwo_test::Builder;

// Surface "Wood" with a procedural block (its header holds an ordinal and a
// CHAN, and the block a TMAP, all to be passed over), then an image block
// naming clip 1; one clip.
Builder procedural_beside_image() {
    Builder b;
    b.form([&] {
        lwo_test::clip(b, 1, "wood.png");
        b.chunk("SURF", [&] {
            b.str("Wood").str("");
            b.sub("BLOK", [&] {
                b.sub("PROC", [&] {
                    b.str("\x80");
                    b.sub("CHAN", [&] { b.id("COLR"); });
                });
                b.sub("TMAP", [&] { b.sub("CNTR", [&] { b.vec3(0, 0, 0).vx(0); }); });
                b.sub("IMAG", [&] { b.vx(7); });
            });
            b.sub("BLOK", [&] {
                b.sub("IMAP", [&] { b.str("\x81"); });
                b.sub("IMAG", [&] { b.vx(1); });
            });
            b.sub("COLR", [&] { b.vec3(1, 0, 0).vx(0); });
        });
    });
    return b;
}

Result<lwofront::Object> read(const Builder& b, bool skip, std::vector<std::string>& warnings) {
    const lwofront::ReadOptions options{
        .skip_unknown_blocks = skip,
        .warn = [&](std::string_view line) { warnings.emplace_back(line); },
    };
    return lwo_test::parse(b.span(), options);
}

TEST(SkipUnknownBlocks, WithoutTheOptionTheReadFails) {
    std::vector<std::string> warnings;
    lwo_test::expect_error(read(procedural_beside_image(), false, warnings), ErrorKind::Lwo,
                           LwoError::UnknownBlokHeader, "Unknown BLOK header");
    EXPECT_TRUE(warnings.empty());
}

TEST(SkipUnknownBlocks, ImageBlockStillReachesTheMaterial) {
    std::vector<std::string> warnings;
    auto object = read(procedural_beside_image(), true, warnings);
    ASSERT_TRUE(object) << object.error().description();
    EXPECT_EQ(warnings, std::vector<std::string>{"Warning: skipped texture block PROC of surface Wood: not an image map\n"});
    ASSERT_EQ(object->surfaces.size(), 1u);
    const auto& attributes = object->surfaces[0].attributes;
    ASSERT_EQ(attributes.size(), 2u);  // the image block and the colour
    ASSERT_TRUE(std::holds_alternative<lwofront::Blok>(attributes[0]));
    EXPECT_TRUE(std::holds_alternative<lwofront::Colr>(attributes[1]));

    std::vector<std::string> conversion_warnings;
    auto load = [](const std::string&) -> Result<image::Image> {
        image::Image image;
        image.width = image.height = 1;
        image.pixels = {{255, 0, 0, 255}};
        return image;
    };
    auto mesh = converter::convert(*object, {}, load,
                                   [&](std::string_view line) { conversion_warnings.emplace_back(line); });
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->materials.size(), 1u);
    EXPECT_EQ(mesh->materials[0].texture, std::optional<std::size_t>(0));
    EXPECT_TRUE(conversion_warnings.empty());
}

}  // namespace
