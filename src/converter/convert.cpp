#include "converter/convert.hpp"

#include <algorithm>
#include <memory>
#include <cassert>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "converter/texturing/fit.hpp"
#include "converter/layer.hpp"
#include "converter/batching/layer_batching.hpp"
#include "converter/maps.hpp"
#include "converter/normals.hpp"
#include "converter/projection.hpp"
#include "converter/scale_check.hpp"
#include "converter/surface.hpp"
#include "converter/surface_groups.hpp"
#include "converter/texturing/texture.hpp"
#include "converter/tile.hpp"
#include "converter/texturing/wrap.hpp"
#include "lwofront/surface_index.hpp"
#include "ultraback/check.hpp"

namespace converter {

namespace {

using lwofront::Object;
using ultraback::Mesh;

// One entry per clip: its image's size (its pixels are let go once its
// texture is made), or nothing when it could not be loaded.
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

// A clip's texture as made from its image, and with -r the line that says
// how it was fitted: said in pass 2, in the order of the clips.
struct ClipTexture {
    ultraback::Texture texture;
    std::string fitted;  // the fitting line without its leading "texture N"
};

ClipTexture make_clip_texture(const image::Image& image, bool fit, bool wraps, std::string_view name) {
    ClipTexture made{prepare_texture(image), {}};
    if (fit && !fits_in_tmem(made.texture)) {
        if (std::optional<Fitted> fitted = fit_texture(image, wraps)) {
            made.fitted = fitted_line(0, name, made.texture, *fitted).substr(std::string_view("texture 0").size());
            made.texture = std::move(fitted->texture);  // texture coordinates follow its size
        }
    }
    return made;
}

// Passes 1 and 2: one texture per clip. Each distinct image file is decoded
// once, made into its texture at once and its pixels let go, so no more than
// one decoded image is held at any time; a later clip naming the same file
// (and, with -r, wrapping alike) takes a copy of that texture. From here on
// only whether an image loaded is read. The lines come in the order of the
// two passes: every image that could not be opened, then for every texture
// how it was fitted (a note) and whether it is over the TMEM budget.
ImageList load_textures(const Object& object, const lwofront::SurfaceIndex& surface_index, const Options& options,
                        const LoadImage& load_image, Mesh& mesh, const Warn& warn, const Note& note) {
    const std::size_t clips = object.clips.size();
    const std::vector<bool> wrapped =
        options.fit_textures ? wrapped_clips(object, surface_index, options.scale, options.split_surfaces)
                             : std::vector<bool>(clips, false);
    ImageList images;
    images.reserve(clips);
    mesh.textures.reserve(clips);
    std::vector<std::string> fitted(clips);
    std::unordered_map<std::string, std::size_t> first_clip;  // image path (and wrapping) -> the clip that decoded it
    for (std::size_t k = 0; k < clips; ++k) {
        const lwofront::Clip& clip = object.clips[k];
        std::string path = image_path(clip, options.base_dir);
        std::optional<image::Image> loaded;
        std::optional<ultraback::Texture> texture;
        if (!path.empty() && load_image) {
            auto [seen, first] = first_clip.try_emplace(path + (wrapped[k] ? "\n1" : "\n0"), k);
            if (!first) {
                if (const std::optional<image::Image>& earlier = images[seen->second]) {
                    loaded = image::Image{earlier->width, earlier->height, {}};
                    texture = mesh.textures[seen->second];
                    fitted[k] = fitted[seen->second];
                }
            } else if (Result<image::Image> image = load_image(path)) {
                ClipTexture made =
                    make_clip_texture(*image, options.fit_textures, wrapped[k], last_component(clip.stills.front()));
                texture = std::move(made.texture);
                fitted[k] = std::move(made.fitted);
                loaded = image::Image{image->width, image->height, {}};
            }
        }
        if (!loaded) say(warn, "Warning: Couldn't open texture: " + path + "\n");
        images.push_back(std::move(loaded));
        mesh.textures.push_back(texture ? std::move(*texture) : placeholder_texture());
    }
    bool over_budget = false;
    for (std::size_t k = 0; k < clips; ++k) {
        if (!images[k]) continue;
        if (!fitted[k].empty()) say(note, "texture " + std::to_string(k) + fitted[k]);
        if (!fits_in_tmem(mesh.textures[k])) {
            say(warn, "Warning: texture won't fit into TMEM\n");
            over_budget = true;
        }
    }
    if (over_budget && !options.tile && !options.fit_textures)
        say(warn, "Hint: -r fits such textures into texture memory; -t splits their layers into tiles\n");
    return images;
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

// The maps a layer's conversion reads: with a surface whose texture is
// mapped by a projection, the projection's values instead of the layer's
// texture maps, and none for front projection.
LayerMaps layer_maps(const lwofront::Layr& layer, const SurfaceUse* use, const Options& options) {
    if (use && use->layer_projection) {
        return resolve_maps(layer, options.vertex_colors, options.lit_normals,
                            std::make_shared<const TextureMaps>(
                                project_layer(layer, *use->layer_projection, options.scale)));
    }
    LayerMaps maps = resolve_maps(layer, options.vertex_colors, options.lit_normals);
    if (use && use->unmapped) {
        maps.chosen.texture = nullptr;
        maps.chosen.texture_vmad = nullptr;
        maps.texture = {};
    }
    return maps;
}

// The material of a layer and the surface it reads: the surface's, or for
// polygons that name none a grey material made the first time it is needed
// and shared after.
struct LayerSurface {
    std::size_t material = 0;
    const SurfaceUse* use = nullptr;
};

// Layers [from, to) of the mesh, final, to `layer_done`, each checked first
// while it still holds its arrays.
void hand_on(Mesh& mesh, std::size_t from, std::size_t to, [[maybe_unused]] std::size_t cache_size,
             const LayerDone& layer_done) {
    if (!layer_done) return;
    for (std::size_t n = from; n < to; ++n) {
        assert(ultraback::find_drawing_fault(mesh.layers[n], n, cache_size).empty());
        layer_done(mesh.layers[n]);
    }
}

struct LayerPass {
    const Options& options;
    const ImageList& images;
    const std::vector<SurfaceUse>& uses;
    std::uint16_t highest_number = 0;
    std::optional<std::size_t> default_material;
    Mesh& mesh;
    const Warn& warn;
    LayerBatching* batching = nullptr;
    std::vector<float> smoothing;  // with lit normals, per surface its smoothing angle
    const LayerDone& layer_done;
    std::size_t handed_on = 0;  // layers given to `layer_done` so far

    // The layers final so far, in order, to `layer_done`: with batching the
    // batching hands on each as it is final, else every one made goes now.
    void hand_on_final() {
        if (batching) {
            handed_on = batching->put_back_batched(mesh.layers);
            return;
        }
        hand_on(mesh, handed_on, mesh.layers.size(), options.cache_size, layer_done);
        handed_on = mesh.layers.size();
    }

    LayerSurface surface(std::optional<std::size_t> named) {
        if (named) return {*named, &uses[*named]};
        if (!default_material) {
            default_material = mesh.materials.size();
            mesh.materials.push_back({std::nullopt, kGrey});
        }
        return {*default_material, nullptr};
    }

    // A layer, or one surface's polygons of it, drawn with that surface:
    // whole or, with tiling, one layer per polygon; then batched meanwhile,
    // or else final.
    // With lit normals, `polygon_surfaces` gives each polygon's surface.
    Status convert(const lwofront::Layr& layer, std::size_t position, LayerSurface surface,
                   std::vector<std::uint32_t> polygon_surfaces) {
        const LayerMaps maps = layer_maps(layer, surface.use, options);
        // Found for the whole layer, so its tiles keep the normals it gives
        // them; colours take the normals' place.
        std::optional<CornerNormals> normals;
        if (options.lit_normals && !maps.chosen.color) {
            normals = corner_normals(layer, maps, Shading{std::move(polygon_surfaces), smoothing});
        }
        const std::size_t made = mesh.layers.size();
        Status done = make(layer, maps, position, surface, normals ? &*normals : nullptr);
        if (!done) return done;
        if (batching) batching->hand_over(mesh.layers, made);
        hand_on_final();
        return done;
    }

    Status make(const lwofront::Layr& layer, const LayerMaps& maps, std::size_t position, LayerSurface surface,
                const CornerNormals* normals) {
        const std::optional<std::size_t> t = surface.use ? surface.use->layer_texture : std::nullopt;
        LayerSettings settings{.material = surface.material,
                               .texture = std::nullopt,
                               .attributes = {},
                               .position = position,
                               .max_vertices = kMaxIndexedVertices,
                               .normals = normals};
        // A texture whose image failed to load scales nothing.
        if (t && images[*t]) settings.texture = TextureSize{mesh.textures[*t].width, mesh.textures[*t].height};

        const ultraback::Texture* over_budget =
            options.tile && t && !fits_in_tmem(mesh.textures[*t]) ? &mesh.textures[*t] : nullptr;
        if (over_budget) return append_tiles(mesh, layer, maps, settings, *over_budget, highest_number, warn);
        // Batched, display-list indices are cache slots, so a layer may hold
        // more vertices than a 16-bit index reaches.
        settings.max_vertices = options.batch ? kMaxBatchedVertices : kMaxIndexedVertices;
        Result<ultraback::Layer> converted = convert_layer(layer, maps, settings, warn);
        if (!converted) return std::unexpected(std::move(converted.error()));
        mesh.add_layer(std::move(*converted));
        return {};
    }
};

// Pass 4: the layers, whole or, with tiling, one layer per polygon; with -m
// first one layer per surface its polygons name. With -b each is handed to
// `batching` once made, and all are batched when it returns. Each layer goes
// on to `layer_done` in order as soon as it is final.
Status convert_layers(const Object& object, const lwofront::SurfaceIndex& surface_index, const Options& options,
                      const ImageList& images, const std::vector<SurfaceUse>& uses, Mesh& mesh, const Warn& warn,
                      LayerBatching* batching, const LayerDone& layer_done) {
    LayerPass pass{.options = options,
                   .images = images,
                   .uses = uses,
                   .highest_number = 0,
                   .default_material = std::nullopt,
                   .mesh = mesh,
                   .warn = warn,
                   .batching = batching,
                   .smoothing = {},
                   .layer_done = layer_done};
    if (options.lit_normals) {
        for (const lwofront::Surf& surface : object.surfaces) pass.smoothing.push_back(surface.smoothing_angle);
    }
    for (const lwofront::Layr& layer : object.layers) pass.highest_number = std::max(pass.highest_number, layer.number);
    // One output layer per layer at least: room for them all at once, so many
    // small layers do not pay for the list twice while it grows.
    mesh.layers.reserve(mesh.layers.size() + object.layers.size());
    bool shared_layers = false;  // a layer whose polygons name several surfaces

    for (std::size_t i = 0; i < object.layers.size(); ++i) {
        const lwofront::Layr& layer = object.layers[i];
        const std::string collapse = collapse_warning(layer.points.vec, options.scale, i);
        if (!collapse.empty()) say(warn, collapse);
        if (options.vertex_colors && !choose_maps(layer, true).color) {
            say(warn, "Warning: layer " + std::to_string(i) + " has no vertex colour map; it keeps its normals.\n");
        }

        std::vector<SurfaceGroup> groups;
        if (options.split_surfaces) groups = group_by_surface(object, surface_index, layer);
        for (SurfaceGroup& group : groups) {
            std::vector<std::uint32_t> polygon_surfaces;
            if (options.lit_normals) {
                polygon_surfaces.assign(group.layer.pols.polygons.size(),
                                        group.surface ? static_cast<std::uint32_t>(*group.surface) : kNone);
            }
            const LayerSurface surface = pass.surface(group.surface);
            if (Status done = pass.convert(group.layer, i, surface, std::move(polygon_surfaces)); !done) return done;
        }
        if (!groups.empty()) continue;

        // The lowest surface the polygons name stands for the whole layer.
        std::vector<std::size_t> surfaces = lwofront::surfaces_in_layer(surface_index, object, layer);
        if (surfaces.size() > 1) {
            say(warn, "Warning: more than one surface referenced in layer " + std::to_string(i) + ".\n");
            if (!shared_layers) say(warn, "Hint: -m gives each surface of a layer an output layer of its own\n");
            shared_layers = true;
        }
        std::optional<std::size_t> named;
        if (!surfaces.empty()) named = surfaces.front();
        std::vector<std::uint32_t> polygon_surfaces;
        if (options.lit_normals) polygon_surfaces = surface_per_polygon(object, surface_index, layer);
        if (Status done = pass.convert(layer, i, pass.surface(named), std::move(polygon_surfaces)); !done) return done;
    }
    if (batching) batching->finish(mesh.layers);
    pass.hand_on_final();
    return {};
}

}  // namespace

Result<Mesh> convert(const Object& object, const Options& options, const LoadImage& load_image, const Warn& warn,
                     const Note& note, const LayerDone& layer_done) {
    Mesh mesh;
    // The surfaces by name, found once for every layer of the run.
    const lwofront::SurfaceIndex surface_index = lwofront::index_surfaces(object);
    ImageList images = load_textures(object, surface_index, options, load_image, mesh, warn, note);
    const std::vector<SurfaceUse> uses = read_surfaces(object, mesh, warn);
    // Pass 5: with batching, every layer (tile layers too) is redrawn through
    // the vertex cache, on the other cores while the next layers are made.
    std::optional<LayerBatching> batching;
    if (options.batch) batching.emplace(options.cache_size, object.layers.size(), layer_done);
    if (Status converted = convert_layers(object, surface_index, options, images, uses, mesh, warn,
                                          batching ? &*batching : nullptr, layer_done);
        !converted) {
        return std::unexpected(std::move(converted.error()));
    }
    // Layers handed on have only their material and attributes left.
    assert(ultraback::find_mesh_fault(mesh, options.cache_size).empty());
    return mesh;
}

}  // namespace converter
