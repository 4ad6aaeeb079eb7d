#include "converter/surface.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "converter/model_builder.hpp"

namespace {

using namespace model_builder;

// The material's rule (last Colr, last Imag of any block) and the layers'
// rule (first Imag of the first block) read from one surface, with three
// clips.
TEST(ReadSurface, MaterialTakesTheLastImagLayersTheFirstOfTheFirstBlock) {
    const struct {
        const char* name;
        std::vector<lwofront::SurfAttr> attributes;
        std::optional<std::size_t> material_texture;
        std::optional<std::size_t> layer_texture;
        std::size_t warnings;
    } cases[] = {
        {"nothing", {}, std::nullopt, std::nullopt, 0},
        {"one block, one Imag", {blok({2})}, 1, 1, 0},
        {"one block, two Imag", {blok({2, 3})}, 2, 1, 0},
        {"two blocks", {blok({1}), blok({3})}, 2, 0, 0},
        {"first block without Imag", {blok({}), blok({3})}, 2, std::nullopt, 0},
        {"first Imag names no clip: no layer texture", {blok({4, 2})}, 1, std::nullopt, 1},
        {"last Imag names no clip: no material texture", {blok({2, 0})}, std::nullopt, 1, 1},
        {"attributes around the blocks", {colr(1, 0, 0), blok({3}), colr(0, 1, 0)}, 2, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> warnings;
        const converter::SurfaceUse use = converter::read_surface(
            surface("Wood", c.attributes), 3, [&](std::string_view line) { warnings.emplace_back(line); });
        EXPECT_EQ(use.material.texture, c.material_texture);
        EXPECT_EQ(use.layer_texture, c.layer_texture);
        EXPECT_EQ(warnings.size(), c.warnings);
    }
}

TEST(ReadSurface, LastColrWinsOverGrey) {
    const converter::SurfaceUse grey = converter::read_surface(surface("Plain"), 0, {});
    EXPECT_EQ(grey.material.color.r, 0.5f);
    EXPECT_EQ(grey.material.color.g, 0.5f);
    EXPECT_EQ(grey.material.color.b, 0.5f);
    EXPECT_EQ(grey.material.color.a, 1.0f);

    const converter::SurfaceUse red = converter::read_surface(surface("Red", {colr(0, 1, 0), colr(1, 0, 0.25f)}), 0, {});
    EXPECT_EQ(red.material.color.r, 1.0f);
    EXPECT_EQ(red.material.color.g, 0.0f);
    EXPECT_EQ(red.material.color.b, 0.25f);
    EXPECT_EQ(red.material.color.a, 1.0f);
}

TEST(ReadSurface, EachImagThatNamesNoClipWarns) {
    std::vector<std::string> warnings;
    converter::read_surface(surface("Wood", {blok({0, 1}), blok({7})}), 1,
                            [&](std::string_view line) { warnings.emplace_back(line); });
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Warning: surface Wood names image 0, which is not a clip.\n",
                            "Warning: surface Wood names image 7, which is not a clip.\n",
                        }));
}

}  // namespace
