#include "converter/convert.hpp"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <variant>

#include "converter/batch.hpp"
#include "converter/layer.hpp"
#include "converter/texture.hpp"
#include "converter/tile.hpp"
#include "lwofront/surface_index.hpp"

namespace converter {

namespace {

using lwofront::Object;
using ultraback::Mesh;

constexpr ultraback::Color kGrey{0.5f, 0.5f, 0.5f, 1.0f};

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

// Passes 1 and 2: one texture per clip. Each distinct image file is decoded
// once, made into its texture at once and its pixels let go, so no more than
// one decoded image is held at any time; a later clip naming the same file
// takes a copy of that texture. From here on only the images' sizes are read.
// The warnings come in the order of the two passes: every image that could not
// be opened, then every texture over the TMEM budget.
ImageList load_textures(const Object& object, const std::string& base_dir, const LoadImage& load_image, Mesh& mesh,
                        const Warn& warn) {
    ImageList images;
    images.reserve(object.clips.size());
    mesh.textures.reserve(object.clips.size());
    std::unordered_map<std::string, std::size_t> first_clip;  // image path -> the clip that decoded it
    for (const lwofront::Clip& clip : object.clips) {
        std::string path = image_path(clip, base_dir);
        std::optional<image::Image> loaded;
        std::optional<ultraback::Texture> texture;
        if (!path.empty() && load_image) {
            auto [seen, first] = first_clip.try_emplace(path, images.size());
            if (!first) {
                if (const std::optional<image::Image>& earlier = images[seen->second]) {
                    loaded = image::Image{earlier->width, earlier->height, {}};
                    texture = mesh.textures[seen->second];
                }
            } else if (Result<image::Image> image = load_image(path)) {
                texture = prepare_texture(*image);
                loaded = image::Image{image->width, image->height, {}};
            }
        }
        if (!loaded) say(warn, "Warning: Couldn't open texture: " + path + "\n");
        images.push_back(std::move(loaded));
        mesh.textures.push_back(texture ? std::move(*texture) : placeholder_texture());
    }
    for (std::size_t k = 0; k < images.size(); ++k) {
        if (images[k] && !fits_in_tmem(mesh.textures[k])) say(warn, "Warning: texture won't fit into TMEM\n");
    }
    return images;
}

// Pass 3: one material per surface: the last Colr, and the last Imag of the
// last block, when it names a clip.
void make_materials(const Object& object, Mesh& mesh, const Warn& warn) {
    mesh.materials.reserve(object.surfaces.size());
    for (const lwofront::Surf& surface : object.surfaces) {
        ultraback::Material material{std::nullopt, kGrey};
        for (const lwofront::SurfAttr& attribute : surface.attributes) {
            if (const auto* colr = std::get_if<lwofront::Colr>(&attribute)) {
                material.color.r = colr->color.x;
                material.color.g = colr->color.y;
                material.color.b = colr->color.z;
            } else if (const auto* blok = std::get_if<lwofront::Blok>(&attribute)) {
                for (const lwofront::BlokAttr& inner : blok->attributes) {
                    const auto* imag = std::get_if<lwofront::Imag>(&inner);
                    if (!imag) continue;
                    if (imag->image >= 1 && imag->image <= object.clips.size()) {
                        material.texture = imag->image - 1;
                    } else {
                        material.texture = std::nullopt;
                        say(warn, "Warning: surface " + surface.name + " names image " +
                                      std::to_string(imag->image) + ", which is not a clip.\n");
                    }
                }
            }
        }
        mesh.materials.push_back(material);
    }
}

// The texture a layer of this surface is tiled by, when it is over budget:
// the one of the first Imag of the first block.
const ultraback::Texture* texture_over_budget(const lwofront::Surf& surface, const Mesh& mesh) {
    std::optional<std::uint32_t> clip = first_block_image(surface);
    if (!clip || *clip < 1 || *clip > mesh.textures.size()) return nullptr;
    const ultraback::Texture& texture = mesh.textures[*clip - 1];
    return fits_in_tmem(texture) ? nullptr : &texture;
}

// Pass 4: the layers, whole or, with tiling, one layer per polygon.
Status convert_layers(const Object& object, const Options& options, const ImageList& images, Mesh& mesh,
                      const Warn& warn) {
    std::uint16_t highest_number = 0;
    for (const lwofront::Layr& layer : object.layers) highest_number = std::max(highest_number, layer.number);

    std::optional<std::size_t> default_material;  // for layers that name no surface
    // One output layer per layer at least: room for them all at once, so many
    // small layers do not pay for the list twice while it grows.
    mesh.layers.reserve(mesh.layers.size() + object.layers.size());
    const lwofront::SurfaceIndex surface_index = lwofront::index_surfaces(object);
    for (std::size_t i = 0; i < object.layers.size(); ++i) {
        const lwofront::Layr& layer = object.layers[i];
        std::vector<std::size_t> surfaces = lwofront::surfaces_in_layer(surface_index, object, layer);
        if (surfaces.size() > 1) {
            say(warn, "Warning: more than one surface referenced in layer " + std::to_string(i) + ".\n");
        }

        std::size_t material = 0;
        const lwofront::Surf* surface = nullptr;
        if (surfaces.empty()) {
            if (!default_material) {
                default_material = mesh.materials.size();
                mesh.materials.push_back({std::nullopt, kGrey});
            }
            material = *default_material;
        } else {
            material = surfaces.front();
            surface = &object.surfaces[material];
        }

        const ultraback::Texture* over_budget =
            options.tile && surface ? texture_over_budget(*surface, mesh) : nullptr;
        if (over_budget) {
            TileTexture size{over_budget->width, over_budget->height};
            if (Status tiled = append_tiles(mesh, layer, i, material, *surface, images, size, highest_number, warn);
                !tiled) {
                return tiled;
            }
            continue;
        }

        // Batched, display-list indices are cache slots, so a layer may hold
        // more vertices than a 16-bit index reaches.
        const std::size_t max_vertices = options.batch ? kMaxBatchedVertices : kMaxIndexedVertices;
        Result<ultraback::Layer> converted =
            convert_layer(layer, material, surface, images, {}, i, warn, max_vertices);
        if (!converted) return std::unexpected(std::move(converted.error()));
        mesh.add_layer(std::move(*converted));
    }
    return {};
}

}  // namespace

Result<Mesh> convert(const Object& object, const Options& options, const LoadImage& load_image, const Warn& warn) {
    Mesh mesh;
    ImageList images = load_textures(object, options.base_dir, load_image, mesh, warn);
    make_materials(object, mesh, warn);
    if (Status converted = convert_layers(object, options, images, mesh, warn); !converted) {
        return std::unexpected(std::move(converted.error()));
    }
    // Pass 5: with batching, every layer (tile layers too) is redrawn through
    // the vertex cache.
    if (options.batch) {
        for (ultraback::Layer& layer : mesh.layers) batch_layer(layer, options.cache_size);
    }
    return mesh;
}

}  // namespace converter
