#pragma once
// Surfaces by name, sorted once, so that finding the surfaces a layer's tags
// name costs time in the layer's own tags rather than in every surface of the
// object for every tag.

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "lwofront/model.hpp"

namespace lwofront {

struct SurfaceIndex {
    // (name, position in Object::surfaces), by name and then position.
    std::vector<std::pair<std::string_view, std::size_t>> by_name;
};

// Views into the object's surface names: the index lives no longer than the
// object.
SurfaceIndex index_surfaces(const Object& object);

// The position of the first surface of that name, when there is one.
std::optional<std::size_t> first_surface_named(const SurfaceIndex& index, std::string_view name);

// Positions of the surfaces that the layer's tags name, ascending, each once:
// what Object::get_surfaces_in_layer gives.
std::vector<std::size_t> surfaces_in_layer(const SurfaceIndex& index, const Object& object, const Layr& layer);

}  // namespace lwofront
