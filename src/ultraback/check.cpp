#include "ultraback/check.hpp"

#include <algorithm>
#include <cstdint>
#include <variant>
#include <vector>

#include "overloaded.hpp"

namespace ultraback {

namespace {

constexpr std::size_t kMaxIndexedVertices = 32768;

std::string at_layer(std::size_t n, const char* what) { return "layer " + std::to_string(n) + ": " + what; }

std::string primitives_fault(const Layer& layer, std::size_t n) {
    if (layer.batches.empty() && layer.vertices.size() > kMaxIndexedVertices) {
        return at_layer(n, "more vertices than 16-bit indices reach");
    }
    auto in_range = [&](const auto& indices) {
        for (std::int32_t index : indices) {
            if (index < 0 || static_cast<std::size_t>(index) >= layer.vertices.size()) return false;
        }
        return true;
    };
    for (const Primitive& primitive : layer.primitives) {
        const bool sound = std::visit(Overloaded{[&](const Triangle& t) { return in_range(t.indices); },
                                                 [&](const Quad& q) { return in_range(q.indices); }},
                                      primitive);
        if (!sound) return at_layer(n, "a primitive names a vertex that does not exist");
    }
    return {};
}

// Loads run through a cache that starts empty at the layer, so a triangle
// may read a slot an earlier batch loaded, but never one no load reached.
std::string batches_fault(const Layer& layer, std::size_t n, std::size_t cache_size) {
    if (!layer.batches.empty() && !layer.primitives.empty()) return at_layer(n, "batched and with primitives");
    std::vector<bool> loaded(cache_size, false);
    for (const Batch& batch : layer.batches) {
        for (const Load& load : batch.loads) {
            if (load.count < 1 || std::size_t{load.slot} + load.count > cache_size) {
                return at_layer(n, "a load fills none or runs past the cache");
            }
            if (std::size_t{load.start} + load.count > layer.vertices.size()) {
                return at_layer(n, "a load reads vertices that do not exist");
            }
            std::fill_n(loaded.begin() + load.slot, load.count, true);
        }
        for (const SlotTriangle& triangle : batch.triangles) {
            for (std::uint8_t slot : triangle) {
                if (slot >= cache_size || !loaded[slot]) return at_layer(n, "a triangle names a slot no load filled");
            }
        }
    }
    return {};
}

// Texels the data holds, whether they are packed two per byte, and the most
// palette entries the format takes.
struct TexelFacts {
    std::size_t texels = 0;
    bool packed = false;
    std::size_t palette = 0;
    std::size_t palette_limit = 0;
};

std::string texture_fault(const Texture& texture, std::size_t j) {
    const TexelFacts facts = std::visit(
        Overloaded{[](const Ci4& ci4) { return TexelFacts{ci4.indices.size() * 2, true, ci4.palette.size(), 16}; },
                   [](const Rgba16& rgba16) { return TexelFacts{rgba16.texels.size()}; },
                   [](const Rgba32& rgba32) { return TexelFacts{rgba32.texels.size()}; },
                   [](const Unknown&) { return TexelFacts{}; },
                   [](const Ci8& ci8) { return TexelFacts{ci8.indices.size(), false, ci8.palette.size(), 256}; },
                   [](const I4& i4) { return TexelFacts{i4.texels.size() * 2, true}; },
                   [](const I8& i8) { return TexelFacts{i8.texels.size()}; },
                   [](const Ia4& ia4) { return TexelFacts{ia4.texels.size() * 2, true}; },
                   [](const Ia8& ia8) { return TexelFacts{ia8.texels.size()}; },
                   [](const Ia16& ia16) { return TexelFacts{ia16.texels.size()}; }},
        texture.texels);
    const std::size_t count = std::size_t{texture.width} * texture.height;
    if (facts.texels != count && !(facts.packed && count % 2 == 1 && facts.texels == count + 1)) {
        return "texture " + std::to_string(j) + ": its data does not hold width x height texels";
    }
    if (facts.palette > facts.palette_limit) {
        return "texture " + std::to_string(j) + ": more than " + std::to_string(facts.palette_limit) +
               " palette colours";
    }
    return {};
}

}  // namespace

std::string find_drawing_fault(const Layer& layer, std::size_t n, std::size_t cache_size) {
    if (std::string fault = primitives_fault(layer, n); !fault.empty()) return fault;
    return batches_fault(layer, n, cache_size);
}

std::string find_mesh_fault(const Mesh& mesh, std::size_t cache_size) {
    for (std::size_t n = 0; n < mesh.layers.size(); ++n) {
        const Layer& layer = mesh.layers[n];
        if (layer.material >= mesh.materials.size()) return at_layer(n, "names a material that does not exist");
        if (std::string fault = find_drawing_fault(layer, n, cache_size); !fault.empty()) return fault;
    }
    for (std::size_t k = 0; k < mesh.materials.size(); ++k) {
        const auto& texture = mesh.materials[k].texture;
        if (texture && *texture >= mesh.textures.size()) {
            return "material " + std::to_string(k) + ": names a texture that does not exist";
        }
    }
    for (std::size_t j = 0; j < mesh.textures.size(); ++j) {
        if (std::string fault = texture_fault(mesh.textures[j], j); !fault.empty()) return fault;
    }
    for (const auto& [layer, rect] : mesh.layer_rects) {
        if (layer >= mesh.layers.size()) return "a layer rectangle names a layer that does not exist";
    }
    return {};
}

}  // namespace ultraback
