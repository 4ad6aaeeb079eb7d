#pragma once
// Object conversion: the parsed LWO2 object into the output mesh.

#include <cstddef>
#include <functional>
#include <string>

#include "converter/warn.hpp"
#include "error.hpp"
#include "image.hpp"
#include "lwofront/model.hpp"
#include "ultraback/mesh.hpp"
#include "ultraback/vertex_cache.hpp"

namespace converter {

// Loads the image at a path; the program passes image::Image::open.
using LoadImage = std::function<Result<image::Image>(const std::string& path)>;

struct Options {
    std::string base_dir = "";  // directory of the input file; "" is the current one
    bool tile = false;          // split layers whose texture is over the TMEM budget
    bool batch = false;    // draw every layer in batches through the vertex cache
    std::size_t cache_size = ultraback::kDefaultCacheSize;  // vertex cache slots for batching
    float scale = 1.0f;           // what the points were multiplied by, for warnings
    bool split_surfaces = false;  // one layer per (layer, surface) pair
    bool vertex_colors = false;   // colours from each layer's first RGB or RGBA map instead of normals
    bool fit_textures = false;    // fit every texture over the TMEM budget (format, size, colours)
    bool lit_normals = false;     // normals as LightWave shades them: smoothed per surface, z negated
};

// Called with each output layer, in order, as soon as it is final; it may
// take the layer's arrays, whose text is then written while the next layers
// are made.
using LayerDone = std::function<void(ultraback::Layer& layer)>;

// Warnings go to `warn`, what was done beyond the plain conversion to `note`.
Result<ultraback::Mesh> convert(const lwofront::Object& object, const Options& options,
                                const LoadImage& load_image, const Warn& warn, const Note& note = {},
                                const LayerDone& layer_done = {});

}  // namespace converter
