// Vertex loads and commands per triangle of the batched display lists next
// to what meshoptimizer's orderings give on the same triangles.
//
//   batch_compare CACHE SCALE OBJECT.lwo...
//
// Each object is read as the program reads it with -k, scaled by SCALE and
// converted without batching; each layer's triangles (quads split as drawn)
// are then put through every way below with CACHE slots, and the loads and
// commands counted (the end command left out):
//
//   ours           batch_layer: batches grown over shared vertices, vertices
//                  resident across batches
//   vcache+fill    meshopt_optimizeVertexCache, then batches filled in that
//                  order, each from an empty cache (one load per batch)
//   meshlets       meshopt_buildMeshlets with CACHE vertices, each meshlet a
//                  batch from an empty cache
//   vcache+ours    meshoptimizer's vertex-cache order, cut into batches in
//                  that order by our slot allocation (residency included)
//   meshlets+ours  the meshlets' triangle order, the same way
//
// Prints one line per object and the totals, with ours against the fewest
// loads of meshoptimizer's own two ways.

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "converter/batching/batch.hpp"
#include "converter/convert.hpp"
#include "image.hpp"
#include "object_file.hpp"

namespace {

using ultraback::Layer;

struct Figures {
    std::uint64_t triangles = 0, loads = 0, commands = 0;

    Figures& operator+=(const Figures& o) {
        triangles += o.triangles;
        loads += o.loads;
        commands += o.commands;
        return *this;
    }
};

constexpr std::size_t kWays = 5;
constexpr std::array<const char*, kWays> kWayNames = {"ours", "vcache+fill", "meshlets", "vcache+ours",
                                                      "meshlets+ours"};

// The layer's triangles as the default list draws them, as an index list.
std::vector<unsigned> drawn_indices(const Layer& layer) {
    std::vector<unsigned> out;
    for (const ultraback::Primitive& primitive : layer.primitives) {
        std::visit(
            [&](const auto& p) {
                for (std::size_t k = 2; k < std::size(p.indices); ++k)
                    for (std::int32_t i : {p.indices[0], p.indices[k - 1], p.indices[k]})
                        out.push_back(static_cast<unsigned>(i));
            },
            primitive);
    }
    return out;
}

Figures count_batches(const Layer& batched) {
    Figures f;
    for (const ultraback::Batch& b : batched.batches) {
        f.triangles += b.triangles.size();
        for (const ultraback::Load& load : b.loads) f.loads += load.count;
        f.commands += b.loads.size() + (b.triangles.size() + 1) / 2;
    }
    return f;
}

Figures ours(const Layer& layer, const std::vector<unsigned>& indices, std::size_t cache_size,
             converter::BatchOrder order) {
    Layer copy;
    copy.vertices = layer.vertices;
    for (std::size_t k = 0; k < indices.size(); k += 3) {
        copy.primitives.push_back(ultraback::Triangle{{static_cast<std::int32_t>(indices[k]),
                                                        static_cast<std::int32_t>(indices[k + 1]),
                                                        static_cast<std::int32_t>(indices[k + 2])}});
    }
    converter::batch_layer(copy, cache_size, order);
    return count_batches(copy);
}

// Batches filled in the given order, each from an empty cache.
Figures fill_in_order(const std::vector<unsigned>& indices, std::size_t vertex_count, std::size_t cache_size) {
    Figures f;
    std::vector<std::uint32_t> in_batch(vertex_count, 0);
    std::uint32_t batch = 0;
    std::size_t batch_vertices = 0, batch_triangles = 0;
    auto close = [&] {
        if (batch_triangles == 0) return;
        f.loads += batch_vertices;
        f.commands += 1 + (batch_triangles + 1) / 2;
    };
    for (std::size_t k = 0; k < indices.size(); k += 3) {
        std::size_t added = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const unsigned v = indices[k + c];
            const bool repeat = (c > 0 && v == indices[k]) || (c > 1 && v == indices[k + 1]);
            added += !repeat && in_batch[v] != batch + 1;
        }
        if (batch_vertices + added > cache_size) {
            close();
            ++batch;
            batch_vertices = batch_triangles = 0;
        }
        for (std::size_t c = 0; c < 3; ++c) {
            if (in_batch[indices[k + c]] == batch + 1) continue;
            in_batch[indices[k + c]] = batch + 1;
            ++batch_vertices;
        }
        ++batch_triangles;
        ++f.triangles;
    }
    close();
    return f;
}

std::vector<float> positions(const Layer& layer) {
    std::vector<float> out;
    for (const ultraback::Vertex& v : layer.vertices) {
        out.insert(out.end(), {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)});
    }
    return out;
}

// meshopt_buildMeshlets' figures, and its triangles in meshlet order.
Figures meshlets(const Layer& layer, const std::vector<unsigned>& indices, std::size_t cache_size,
                 std::vector<unsigned>& order) {
    constexpr std::size_t kMaxTriangles = 512;
    const std::vector<float> xyz = positions(layer);
    const std::size_t bound = meshopt_buildMeshletsBound(indices.size(), cache_size, kMaxTriangles);
    std::vector<meshopt_Meshlet> list(bound);
    std::vector<unsigned> vertices(bound * cache_size);
    std::vector<unsigned char> triangles(bound * kMaxTriangles * 3);
    list.resize(meshopt_buildMeshlets(list.data(), vertices.data(), triangles.data(), indices.data(),
                                      indices.size(), xyz.data(), layer.vertices.size(), 3 * sizeof(float),
                                      cache_size, kMaxTriangles, 0.0f));
    Figures f;
    order.clear();
    for (const meshopt_Meshlet& m : list) {
        f.triangles += m.triangle_count;
        f.loads += m.vertex_count;
        f.commands += 1 + (m.triangle_count + 1) / 2;
        for (std::size_t k = 0; k < 3 * std::size_t{m.triangle_count}; ++k)
            order.push_back(vertices[m.vertex_offset + triangles[m.triangle_offset + k]]);
    }
    return f;
}

std::array<Figures, kWays> compare_layer(const Layer& layer, std::size_t cache_size) {
    const std::vector<unsigned> indices = drawn_indices(layer);
    std::array<Figures, kWays> f{};
    if (indices.empty()) return f;
    std::vector<unsigned> vcache(indices.size());
    meshopt_optimizeVertexCache(vcache.data(), indices.data(), indices.size(), layer.vertices.size());
    std::vector<unsigned> meshlet_order;
    f[0] = ours(layer, indices, cache_size, converter::BatchOrder::Grown);
    f[1] = fill_in_order(vcache, layer.vertices.size(), cache_size);
    f[2] = meshlets(layer, indices, cache_size, meshlet_order);
    f[3] = ours(layer, vcache, cache_size, converter::BatchOrder::AsListed);
    f[4] = ours(layer, meshlet_order, cache_size, converter::BatchOrder::AsListed);
    return f;
}

void print_row(const std::string& name, const std::array<Figures, kWays>& f) {
    const double t = static_cast<double>(std::max<std::uint64_t>(f[0].triangles, 1));
    std::printf("%-28s %8llu", name.c_str(), static_cast<unsigned long long>(f[0].triangles));
    for (const Figures& w : f) {
        std::printf("  %5.3f %5.3f", static_cast<double>(w.loads) / t, static_cast<double>(w.commands) / t);
    }
    const std::uint64_t best = std::min(f[1].loads, f[2].loads);
    std::printf("  %6.3f\n", best == 0 ? 0.0 : static_cast<double>(f[0].loads) / static_cast<double>(best));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: batch_compare CACHE SCALE OBJECT.lwo...\n");
        return 2;
    }
    const std::size_t cache_size = std::strtoul(argv[1], nullptr, 10);
    const float scale = std::strtof(argv[2], nullptr);
    if (cache_size < converter::kMinCacheSize || cache_size > converter::kMaxCacheSize) {
        std::printf("CACHE: %zu to %zu\n", converter::kMinCacheSize, converter::kMaxCacheSize);
        return 2;
    }
    std::printf("loads and commands per triangle with %zu slots; last column: ours / meshoptimizer's fewest loads\n",
                cache_size);
    std::printf("%-28s %8s", "object", "tris");
    for (const char* way : kWayNames) std::printf("  %-11s", way);
    std::printf("  %6s\n", "ratio");
    std::array<Figures, kWays> total{};
    for (int a = 3; a < argc; ++a) {
        const std::string path = argv[a];
        Result<lwofront::Object> object = bench::read_object(path, {.skip_unknown_blocks = true, .warn = {}});
        if (!object) {
            std::printf("%s: %s\n", path.c_str(), std::string(object.error().description()).c_str());
            continue;
        }
        lwofront::scale_points(*object, scale);
        const converter::LoadImage load = [](const std::string& p) { return image::Image::open(p); };
        const converter::Options options{.base_dir = bench::texture_dir(path),
                                         .tile = false,
                                         .batch = false,
                                         .cache_size = cache_size,
                                         .scale = 1.0f,
                                         .split_surfaces = false,
                                         .vertex_colors = false,
                                         .fit_textures = false};
        Result<ultraback::Mesh> mesh = converter::convert(*object, options, load, {});
        if (!mesh) {
            std::printf("%s: %s\n", path.c_str(), std::string(mesh.error().description()).c_str());
            continue;
        }
        std::array<Figures, kWays> object_total{};
        for (const Layer& layer : mesh->layers) {
            const std::array<Figures, kWays> f = compare_layer(layer, cache_size);
            for (std::size_t w = 0; w < kWays; ++w) object_total[w] += f[w];
        }
        for (std::size_t w = 0; w < kWays; ++w) total[w] += object_total[w];
        print_row(path.substr(path.find_last_of('/') + 1), object_total);
    }
    print_row("total", total);
    return 0;
}
