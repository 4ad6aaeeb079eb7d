#pragma once
// The triangles a layer's display list draws, in its order, as the writer
// lays the list out: a Triangle as (first, second, third), a Quad as
// (first, second, third) and (first, third, fourth), and a batch's triangles
// over the cache slots its loads, or earlier batches' loads, filled. An
// index that reaches outside the layer's vertices, or a slot no load filled,
// draws nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <variant>

#include "ultraback/mesh.hpp"

namespace preview {

// Calls draw(i0, i1, i2) with positions in layer.vertices.
template <class Draw>
void for_each_triangle(const ultraback::Layer& layer, Draw&& draw) {
    const std::size_t size = layer.vertices.size();
    const auto valid = [size](std::int64_t i) { return i >= 0 && static_cast<std::size_t>(i) < size; };
    const auto emit = [&](std::int64_t a, std::int64_t b, std::int64_t c) {
        if (valid(a) && valid(b) && valid(c))
            draw(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(c));
    };
    for (const ultraback::Primitive& primitive : layer.primitives) {
        std::visit(
            [&](const auto& p) {
                emit(p.indices[0], p.indices[1], p.indices[2]);
                if constexpr (std::extent_v<decltype(p.indices)> == 4) emit(p.indices[0], p.indices[2], p.indices[3]);
            },
            primitive);
    }
    // The vertex cache as the loads leave it: empty at the layer's start, a
    // slot keeping its vertex until a later load overwrites it.
    std::array<std::int64_t, 256> cache;
    cache.fill(-1);
    for (const ultraback::Batch& batch : layer.batches) {
        for (const ultraback::Load& load : batch.loads) {
            for (std::size_t k = 0; k < load.count && load.slot + k < cache.size(); ++k) {
                cache[load.slot + k] = std::int64_t{load.start} + static_cast<std::int64_t>(k);
            }
        }
        for (const ultraback::SlotTriangle& t : batch.triangles) emit(cache[t[0]], cache[t[1]], cache[t[2]]);
    }
}

}  // namespace preview
