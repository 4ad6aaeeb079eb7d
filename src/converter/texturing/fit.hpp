#pragma once
// Texture fitting: an image over its TMEM budget made to fit, by a more
// compact format first, then by fewer texels, fewer colours or both,
// whichever shows the smallest error.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "converter/texturing/texel_format.hpp"
#include "image.hpp"
#include "ultraback/mesh.hpp"

namespace converter {

struct Size {
    std::size_t width = 0, height = 0;
};

// The largest size, at most the image's, whose texels in `format` fit the
// budget. With `power_of_two`, both sides are powers of two (the RDP wraps
// only those); otherwise the aspect ratio is kept as well as whole texels
// allow, and a width of a full 64-bit TMEM word or more is a whole number of
// words, so that loaded rows need no padding.
Size fitted_size(TexelFormat format, Size image, bool power_of_two);

struct Fitted {
    ultraback::Texture texture;
    TexelFormat format = TexelFormat::Rgba16;
    // Mean squared error per RGBA channel against the source, with the
    // texture decoded and scaled back to the source's size.
    double error = 0;
};

// The image fitted to the budget: as it is in the most compact format that
// holds it exactly, when that fits; otherwise the best of the reduced
// candidates. With `wraps` (texture coordinates go beyond 0..1) both sides
// are powers of two. Nothing for an image without pixels or whose pixel list
// does not match its size.
std::optional<Fitted> fit_texture(const image::Image& image, bool wraps);

// "texture 2 (wood.png): 512x512 RGBA16 -> 64x64 CI4\n"
std::string fitted_line(std::size_t number, std::string_view name, const ultraback::Texture& before,
                        const Fitted& after);

}  // namespace converter
