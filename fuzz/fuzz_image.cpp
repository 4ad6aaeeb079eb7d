// Bytes as a texture image file: decoding, texture preparation and the TMEM
// budget test, as the converter runs them for every clip.

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <variant>

#include "check.hpp"
#include "converter/texturing/texel_format.hpp"
#include "converter/texturing/texture.hpp"
#include "image.hpp"

namespace {

// What prepare_texture promises for an image it was given.
void check_texture(const image::Image& image, const ultraback::Texture& texture) {
    const std::size_t count = image.width * image.height;
    FUZZ_CHECK(texture.width == image.width && texture.height == image.height);
    std::visit(
        [&](const auto& texels) {
            using T = std::decay_t<decltype(texels)>;
            if constexpr (std::is_same_v<T, ultraback::Ci4>) {
                FUZZ_CHECK(!texels.palette.empty() && texels.palette.size() <= 16);
                FUZZ_CHECK(texels.indices.size() == (count + 1) / 2);
                for (std::size_t k = 0; k < count; ++k) {
                    const unsigned index = k % 2 == 0 ? texels.indices[k / 2] >> 4 : texels.indices[k / 2] & 0xF;
                    FUZZ_CHECK(index < texels.palette.size());
                    FUZZ_CHECK(texels.palette[index] == converter::rgba5551(image.pixels[k]));
                }
            } else if constexpr (std::is_same_v<T, ultraback::Rgba16>) {
                FUZZ_CHECK(texels.texels.size() == count);
                for (std::size_t k = 0; k < count; ++k) {
                    FUZZ_CHECK(texels.texels[k] == converter::rgba5551(image.pixels[k]));
                }
            } else {
                FUZZ_CHECK(!"an image becomes Ci4 or Rgba16");
            }
        },
        texture.texels);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Result<image::Image> image = image::Image::decode(std::as_bytes(std::span(data, size)));
    if (!image) {
        FUZZ_CHECK(image.error().description() == "Could not open image");
        return 0;
    }
    FUZZ_CHECK(image::loadable_size(image->width, image->height));
    FUZZ_CHECK(image->pixels.size() == image->width * image->height);

    const ultraback::Texture texture = converter::prepare_texture(*image);
    check_texture(*image, texture);
    (void)converter::fits_in_tmem(texture);
    return 0;
}
