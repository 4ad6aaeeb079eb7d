// Texture fitting. Every candidate format is tried at the largest size whose
// texels fit its budget: the image is scaled down with stb_image_resize, its
// colours reduced when the format has a palette, then decoded, scaled back up
// to the source's size and compared with the source. The candidate with the
// smallest mean squared error wins; among equals the more compact format.
// Nothing here draws on chance, so an image always fits the same way.

#include "converter/texturing/fit.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <span>
#include <vector>

#include <stb/stb_image_resize.h>

#include "converter/texturing/quantise.hpp"

namespace converter {
namespace {

using image::Pixel;
static_assert(sizeof(Pixel) == 4, "pixels are handed to stb_image_resize as RGBA bytes");

// Texels of a format that fill the budget, and texels in one 64-bit TMEM word.
std::size_t budget_texels(TexelFormat format) {
    return kTexelBudgetBytes * 2 / texel_bytes(format, 2);
}
std::size_t texels_per_word(TexelFormat format) { return 8 * 2 / texel_bytes(format, 2); }

// An sRGB-aware resize with alpha weighting. stb fails only when it cannot
// allocate its working memory, which is the run's out of memory: a fit
// chosen without the candidate would depend on the machine's memory.
std::vector<Pixel> resize(std::span<const Pixel> pixels, Size from, Size to) {
    std::vector<Pixel> out(to.width * to.height);
    const int done = stbir_resize_uint8_srgb(reinterpret_cast<const unsigned char*>(pixels.data()),
                                             static_cast<int>(from.width), static_cast<int>(from.height), 0,
                                             reinterpret_cast<unsigned char*>(out.data()),
                                             static_cast<int>(to.width), static_cast<int>(to.height), 0, 4, 3, 0);
    if (!done) throw std::bad_alloc();
    return out;
}

double mean_squared_error(std::span<const Pixel> a, std::span<const Pixel> b) {
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        const auto d = [](int x, int y) { return static_cast<double>((x - y) * (x - y)); };
        sum += d(a[k].r, b[k].r) + d(a[k].g, b[k].g) + d(a[k].b, b[k].b) + d(a[k].a, b[k].a);
    }
    return a.empty() ? 0 : sum / (4.0 * static_cast<double>(a.size()));
}

bool is_power_of_two(std::size_t n) { return std::has_single_bit(n); }

// The image in `format` at `size`, and how far it strays from the source.
Fitted make_candidate(const image::Image& image, TexelFormat format, Size size) {
    const Size source{image.width, image.height};
    const bool same_size = size.width == source.width && size.height == source.height;
    std::vector<Pixel> scaled = same_size ? image.pixels : resize(image.pixels, source, size);

    Fitted fitted;
    fitted.format = format;
    fitted.texture.width = static_cast<std::uint16_t>(size.width);
    fitted.texture.height = static_cast<std::uint16_t>(size.height);
    if (const std::size_t colors = palette_capacity(format); colors > 0) {
        fitted.texture.texels = encode_indexed(format, scaled, quantise_palette(scaled, colors));
    } else {
        fitted.texture.texels = encode_direct(format, scaled);
    }

    std::vector<Pixel> shown = decode_texels(fitted.texture.texels, scaled.size());
    if (!same_size) shown = resize(shown, size, source);
    fitted.error = mean_squared_error(shown, image.pixels);
    return fitted;
}

// Formats worth trying: grey ones only for a grey image, and those without
// alpha only for an opaque one, so that no colour or transparency is lost
// by the choice of format alone.
bool worth_trying(TexelFormat format, std::span<const Pixel> pixels) {
    const bool grey_only = format == TexelFormat::I4 || format == TexelFormat::I8;
    const bool grey_alpha = format == TexelFormat::Ia4 || format == TexelFormat::Ia8 || format == TexelFormat::Ia16;
    if (!grey_only && !grey_alpha) return true;
    return std::all_of(pixels.begin(), pixels.end(), [&](Pixel p) {
        return p.r == p.g && p.g == p.b && (grey_alpha || p.a == 255);
    });
}

}  // namespace

Size fitted_size(TexelFormat format, Size image, bool power_of_two) {
    const std::size_t budget = budget_texels(format);
    if (power_of_two) {
        Size size{std::bit_floor(image.width), std::bit_floor(image.height)};
        while (!fits_budget(format, size.width, size.height)) {
            // Halve the side that keeps more of its source, so the shape stays close.
            if (size.width > 1 && (size.width * image.height >= size.height * image.width || size.height == 1)) {
                size.width /= 2;
            } else {
                size.height /= 2;
            }
        }
        return size;
    }
    if (fits_budget(format, image.width, image.height)) return image;

    const double scale = std::sqrt(static_cast<double>(budget) / static_cast<double>(image.width) /
                                   static_cast<double>(image.height));
    std::size_t width = static_cast<std::size_t>(static_cast<double>(image.width) * scale);
    width = std::clamp<std::size_t>(width, 1, std::min(image.width, budget));
    const std::size_t word = texels_per_word(format);
    if (width >= word) width -= width % word;
    std::size_t height = (image.height * width + image.width / 2) / image.width;
    height = std::clamp<std::size_t>(height, 1, std::min(image.height, budget / width));
    return {width, height};
}

std::optional<Fitted> fit_texture(const image::Image& image, bool wraps) {
    const std::span<const Pixel> pixels = image.pixels;
    if (pixels.empty() || pixels.size() != image.width * image.height) return std::nullopt;

    const Size source{image.width, image.height};
    const bool keeps_shape = !wraps || (is_power_of_two(source.width) && is_power_of_two(source.height));
    if (const TexelFormat exact = exact_format(pixels); keeps_shape && fits_budget(exact, source.width, source.height)) {
        return make_candidate(image, exact, source);
    }

    std::optional<Fitted> best;
    for (TexelFormat format : kTexelFormats) {
        if (!worth_trying(format, pixels)) continue;
        Fitted candidate = make_candidate(image, format, fitted_size(format, source, wraps));
        if (!best || candidate.error < best->error) best = std::move(candidate);
    }
    return best;
}

std::string fitted_line(std::size_t number, std::string_view name, const ultraback::Texture& before,
                        const Fitted& after) {
    const std::string_view before_format = std::holds_alternative<ultraback::Ci4>(before.texels) ? "CI4" : "RGBA16";
    return "texture " + std::to_string(number) + " (" + std::string(name) + "): " + std::to_string(before.width) +
           "x" + std::to_string(before.height) + " " + std::string(before_format) + " -> " +
           std::to_string(after.texture.width) + "x" + std::to_string(after.texture.height) + " " +
           std::string(format_name(after.format)) + "\n";
}

}  // namespace converter
