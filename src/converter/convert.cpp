#include "converter/convert.hpp"

#include <algorithm>
#include <utility>
#include <variant>

#include "converter/batch.hpp"
#include "converter/fit.hpp"
#include "converter/layer.hpp"
#include "converter/texture.hpp"
#include "converter/tile.hpp"
#include "converter/wrap.hpp"

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
                texture = std::move(fitted->texture);
                // Texture coordinates are scaled by the image's size.
                image->width = texture.width;
                image->height = texture.height;
            }
        }
        if (!fits_in_tmem(texture)) say(warn, "Warning: texture won't fit into TMEM\n");
        mesh.textures.push_back(std::move(texture));
        image->pixels = {};
    }
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
    for (std::size_t i = 0; i < object.layers.size(); ++i) {
        const lwofront::Layr& layer = object.layers[i];
        std::vector<std::size_t> surfaces = object.get_surfaces_in_layer(layer);
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
    ImageList images = load_images(object, options.base_dir, load_image, warn);
    prepare_textures(object, options.fit_textures, images, mesh, warn);
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
