// Bytes through the whole program, in memory: read, scale, convert, write,
// and draw the preview.
//
// The first two bytes choose the options, every one that changes the output:
// the first as bit 0: tiling (-t); bits 1 and 2: the scale factor (-s); bit 3:
// skipping texture blocks that are not image maps (-k); bit 4: batching (-b);
// bits 5 to 7: the vertex cache size (-c); the second as bit 0: a layer per
// surface (-m); bit 1: vertex colours (-v); bit 2: Fast3D (-f, its cache at
// most 16); bit 3: fitting textures (-r); bit 4: the preview (-p). The rest is
// the object file. Images are looked up in a fixed set by file name, the way
// the program finds them beside the object: "a.png" to "d.png" load, every
// other name fails.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "check.hpp"
#include "converter/convert.hpp"
#include "converter/texturing/texture.hpp"
#include "lwofront/reader.hpp"
#include "preview/preview.hpp"
#include "stream.hpp"
#include "ultraback/check.hpp"
#include "ultraback/writer.hpp"

namespace {

image::Image pattern(std::size_t width, std::size_t height, unsigned colors) {
    image::Image image;
    image.width = width;
    image.height = height;
    for (std::size_t k = 0; k < width * height; ++k) {
        const auto c = static_cast<std::uint8_t>(k % colors * 255 / colors);
        image.pixels.push_back({c, static_cast<std::uint8_t>(255 - c), c, 255});
    }
    return image;
}

// Under and over the TMEM budget, in both texel formats.
const std::map<std::string, image::Image, std::less<>>& images() {
    static const std::map<std::string, image::Image, std::less<>> set{
        {"tex/a.png", pattern(4, 4, 2)},     // Ci4, fits
        {"tex/b.png", pattern(64, 64, 40)},  // Rgba16, over budget
        {"tex/c.png", pattern(128, 64, 3)},  // Ci4, over budget
        {"tex/d.png", pattern(1, 1, 1)},
    };
    return set;
}

Result<image::Image> load_image(const std::string& path) {
    auto found = images().find(path);
    if (found == images().end()) return std::unexpected(Error{ErrorKind::Image, LwoError::None, "Could not open image"});
    return found->second;
}

// A warning, or the hint after one.
void check_warning(std::string_view line) {
    FUZZ_CHECK(line.starts_with("Warning: ") || line.starts_with("Hint: "));
    FUZZ_CHECK(line.find('\n') == line.size() - 1);
}

// The line that says how -r fitted a texture.
void check_note(std::string_view line) {
    FUZZ_CHECK(line.starts_with("texture "));
    FUZZ_CHECK(line.find('\n') == line.size() - 1);
}

void check_error(const Error& error) {
    FUZZ_CHECK(!error.description().empty());
    FUZZ_CHECK(error.description().find('\n') == std::string::npos);
}

// The flat polygon and map lists must hand out views that agree with what
// was read: at most 1023 corners under flags without count bits, and exactly
// `dimension` values per entry.
void check_object(const lwofront::Object& object) {
    for (const lwofront::Layr& layer : object.layers) {
        for (const lwofront::Polygon polygon : layer.pols.polygons) {
            FUZZ_CHECK(polygon.vertices.size() <= 1023);
            FUZZ_CHECK((polygon.flags & 0x03FF) == 0);
        }
        for (const lwofront::Vmap& map : layer.vmaps) {
            for (const lwofront::VmapEntry entry : map.entries) FUZZ_CHECK(entry.values.size() == map.dimension);
        }
        for (const lwofront::Vmad& map : layer.vmads) {
            for (const lwofront::VmadEntry entry : map.entries) FUZZ_CHECK(entry.values.size() == map.dimension);
        }
    }
}

constexpr float kScales[] = {1.0f, -1.0f, 1e6f, std::numeric_limits<float>::quiet_NaN()};
constexpr std::size_t kCacheSizes[] = {3, 4, 5, 8, 16, 31, 32, 64};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t control = data[0];
    const std::uint8_t more = data[1];
    const auto file = std::as_bytes(std::span(data + 2, size - 2));

    stream::MemorySource source(file);
    stream::Stream in(source, file.size());
    const lwofront::ReadOptions read_options{.skip_unknown_blocks = (control & 8) != 0, .warn = check_warning};
    Result<lwofront::Object> object = lwofront::process(in, read_options);
    if (!object) {
        check_error(object.error());
        return 0;
    }
    check_object(*object);

    lwofront::scale_points(*object, kScales[control >> 1 & 3]);

    const bool fast3d = (more & 4) != 0;
    const std::size_t cache_size = fast3d ? std::min<std::size_t>(kCacheSizes[control >> 5], 16) : kCacheSizes[control >> 5];
    const converter::Options options{.base_dir = "tex",
                                     .tile = (control & 1) != 0,
                                     .batch = (control & 16) != 0,
                                     .cache_size = cache_size,
                                     .scale = 1.0f,
                                     .split_surfaces = (more & 1) != 0,
                                     .vertex_colors = (more & 2) != 0,
                                     .fit_textures = (more & 8) != 0};
    Result<ultraback::Mesh> mesh = converter::convert(*object, options, load_image, check_warning, check_note);
    if (!mesh) {
        check_error(mesh.error());
        return 0;
    }
    const std::string fault = ultraback::find_mesh_fault(*mesh, cache_size);
    if (!fault.empty()) std::fprintf(stderr, "%s\n", fault.c_str());
    FUZZ_CHECK(fault.empty());

    ultraback::StringSink sink;
    FUZZ_CHECK(ultraback::save(*mesh, "mesh", sink, {.one_triangle_commands = fast3d}));
    FUZZ_CHECK(sink.text.ends_with(" ); \n"));

    if (more & 16) {
        const preview::Picture picture = preview::render(*mesh);
        FUZZ_CHECK(picture.pixels.size() == std::size_t(picture.width) * std::size_t(picture.height));
    }
    return 0;
}
