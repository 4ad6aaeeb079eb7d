#include "converter/convert.hpp"

#include <algorithm>
#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "converter/batch.hpp"
#include "converter/fit.hpp"
#include "converter/layer.hpp"
#include "converter/maps.hpp"
#include "converter/scale_check.hpp"
#include "converter/surface.hpp"
#include "converter/surface_groups.hpp"
#include "converter/texture.hpp"
#include "converter/tile.hpp"
#include "converter/wrap.hpp"
#include "ultraback/check.hpp"

namespace converter {

namespace {

using lwofront::Object;
using ultraback::Mesh;

// One entry per clip: its image, or nothing when it could not be loaded.
using ImageList = std::vector<std::optional<image::Image>>;

// The last component of a stored file name; empty when it has none ("",
// "/", ".", "a/.."). "." steps and repeated or trailing slashes are passed
// over.
std::string_view last_component(std::string_view name) {
    std::string_view last;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = std::min(name.find('/', start), name.size());
        std::string_view part = name.substr(start, end - start);
        if (!part.empty() && part != ".") last = part;
        start = end + 1;
    }
    return last == ".." ? std::string_view{} : last;
}

// The image is looked up beside the input file, whatever directory the
// object names. A clip without a usable name gives the empty path.
std::string image_path(const lwofront::Clip& clip, const std::string& base_dir) {
    if (clip.stills.empty()) return {};
    std::string_view name = last_component(clip.stills.front());
    if (name.empty()) return {};
    if (base_dir.empty()) return std::string(name);
    return base_dir + "/" + std::string(name);
}

// Pass 1: one image per clip, or nothing when it cannot be loaded.
ImageList load_images(const Object& object, const std::string& base_dir, const LoadImage& load_image,
                      const Warn& warn) {
    ImageList images;
    images.reserve(object.clips.size());
    for (const lwofront::Clip& clip : object.clips) {
        std::string path = image_path(clip, base_dir);
        std::optional<image::Image> loaded;
        if (!path.empty() && load_image) {
            if (Result<image::Image> image = load_image(path)) loaded = std::move(*image);
        }
        if (!loaded) say(warn, "Warning: Couldn't open texture: " + path + "\n");
        images.push_back(std::move(loaded));
    }
    return images;
}

// Pass 2: one texture per clip. From here on only the images' sizes are
// read, so their pixels are let go.
void prepare_textures(const Object& object, bool fit, ImageList& images, Mesh& mesh, const Warn& warn) {
    mesh.textures.reserve(images.size());
    const std::vector<bool> wrapped = fit ? wrapped_clips(object) : std::vector<bool>(images.size(), false);
    for (std::size_t k = 0; k < images.size(); ++k) {
        std::optional<image::Image>& image = images[k];
        if (!image) {
            mesh.textures.push_back(placeholder_texture());
            continue;
        }
        ultraback::Texture texture = prepare_texture(*image);
        if (fit && !fits_in_tmem(texture)) {
            if (std::optional<Fitted> fitted = fit_texture(*image, wrapped[k])) {
                const std::string_view name = last_component(object.clips[k].stills.front());
                say(warn, fitted_line(k, name, texture, *fitted));
                texture = std::move(fitted->texture);  // texture coordinates follow its size
            }
        }
        if (!fits_in_tmem(texture)) say(warn, "Warning: texture won't fit into TMEM\n");
        mesh.textures.push_back(std::move(texture));
        image->pixels = {};
    }
}

// Pass 3: each surface read once, for its material here and its layers'
// texture in pass 4.
std::vector<SurfaceUse> read_surfaces(const Object& object, Mesh& mesh, const Warn& warn) {
    std::vector<SurfaceUse> uses;
    uses.reserve(object.surfaces.size());
    mesh.materials.reserve(object.surfaces.size());
    for (const lwofront::Surf& surface : object.surfaces) {
        uses.push_back(read_surface(surface, object.clips.size(), warn));
        mesh.materials.push_back(uses.back().material);
    }
    return uses;
}

// The material of a layer and the surface it reads: the surface's, or for
// polygons that name none a grey material made the first time it is needed
// and shared after.
struct LayerSurface {
    std::size_t material = 0;
    const SurfaceUse* use = nullptr;
};

struct LayerPass {
    const Options& options;
    const ImageList& images;
    const std::vector<SurfaceUse>& uses;
    std::uint16_t highest_number = 0;
    std::optional<std::size_t> default_material;
    Mesh& mesh;
    const Warn& warn;

    LayerSurface surface(std::optional<std::size_t> named) {
        if (named) return {*named, &uses[*named]};
        if (!default_material) {
            default_material = mesh.materials.size();
            mesh.materials.push_back({std::nullopt, kGrey});
        }
        return {*default_material, nullptr};
    }

    // A layer, or one surface's polygons of it, drawn with that surface:
    // whole or, with tiling, one layer per polygon.
    Status convert(const lwofront::Layr& layer, std::size_t position, LayerSurface surface) {
        const std::optional<std::size_t> t = surface.use ? surface.use->layer_texture : std::nullopt;
        LayerSettings settings{surface.material, std::nullopt, {}, position, kMaxIndexedVertices,
                               options.vertex_colors};
        // A texture whose image failed to load scales nothing.
        if (t && images[*t]) settings.texture = TextureSize{mesh.textures[*t].width, mesh.textures[*t].height};

        const ultraback::Texture* over_budget =
            options.tile && t && !fits_in_tmem(mesh.textures[*t]) ? &mesh.textures[*t] : nullptr;
        if (over_budget) return append_tiles(mesh, layer, settings, *over_budget, highest_number, warn);
        // Batched, display-list indices are cache slots, so a layer may hold
        // more vertices than a 16-bit index reaches.
        settings.max_vertices = options.batch ? kMaxBatchedVertices : kMaxIndexedVertices;
        Result<ultraback::Layer> converted = convert_layer(layer, settings, warn);
        if (!converted) return std::unexpected(std::move(converted.error()));
        mesh.add_layer(std::move(*converted));
        return {};
    }
};

// Pass 4: the layers, whole or, with tiling, one layer per polygon; with -m
// first one layer per surface its polygons name.
Status convert_layers(const Object& object, const Options& options, const ImageList& images,
                      const std::vector<SurfaceUse>& uses, Mesh& mesh, const Warn& warn) {
    LayerPass pass{options, images, uses, 0, std::nullopt, mesh, warn};
    for (const lwofront::Layr& layer : object.layers) pass.highest_number = std::max(pass.highest_number, layer.number);

    for (std::size_t i = 0; i < object.layers.size(); ++i) {
        const lwofront::Layr& layer = object.layers[i];
        const std::string collapse = collapse_warning(layer.points.vec, options.scale, i);
        if (!collapse.empty()) say(warn, collapse);
        if (options.vertex_colors && !first_color(layer.vmaps)) {
            say(warn, "Warning: layer " + std::to_string(i) + " has no vertex colour map; it keeps its normals.\n");
        }

        std::vector<SurfaceGroup> groups;
        if (options.split_surfaces) groups = group_by_surface(object, layer);
        for (SurfaceGroup& group : groups) {
            if (Status done = pass.convert(group.layer, i, pass.surface(group.surface)); !done) return done;
        }
        if (!groups.empty()) continue;

        // The lowest surface the polygons name stands for the whole layer.
        std::vector<std::size_t> surfaces = object.get_surfaces_in_layer(layer);
        if (surfaces.size() > 1) {
            say(warn, "Warning: more than one surface referenced in layer " + std::to_string(i) + ".\n");
        }
        std::optional<std::size_t> named;
        if (!surfaces.empty()) named = surfaces.front();
        if (Status done = pass.convert(layer, i, pass.surface(named)); !done) return done;
    }
    return {};
}

}  // namespace

Result<Mesh> convert(const Object& object, const Options& options, const LoadImage& load_image, const Warn& warn) {
    Mesh mesh;
    ImageList images = load_images(object, options.base_dir, load_image, warn);
    prepare_textures(object, options.fit_textures, images, mesh, warn);
    const std::vector<SurfaceUse> uses = read_surfaces(object, mesh, warn);
    if (Status converted = convert_layers(object, options, images, uses, mesh, warn); !converted) {
        return std::unexpected(std::move(converted.error()));
    }
    // Pass 5: with batching, every layer (tile layers too) is redrawn through
    // the vertex cache.
    if (options.batch) {
        for (ultraback::Layer& layer : mesh.layers) batch_layer(layer, options.cache_size);
    }
    assert(ultraback::find_mesh_fault(mesh, options.cache_size).empty());
    return mesh;
}

}  // namespace converter
