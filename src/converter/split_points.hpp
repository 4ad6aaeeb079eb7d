#pragma once
// Splitting the points whose value differs per polygon (VMAD): a point that
// a polygon gives its own texture value or colour is copied, and that
// polygon uses the copy. Copies follow the points as read; a polygon that
// uses one is copied with that corner replaced. Everything else is read from
// the layer in place, so a layer without VMADs costs nothing here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "converter/sentinel.hpp"
#include "lwofront/model.hpp"

namespace converter {

// A layer's points and polygons after splitting.
struct SplitLayer {
    explicit SplitLayer(const lwofront::Layr& layer)
        : layer(layer), read_points(static_cast<std::uint32_t>(layer.points.vec.size())) {}

    std::size_t point_count() const { return read_points + split_from.size(); }
    const lwofront::Vec3& point(std::uint32_t i) const {
        return layer.points.vec[i < read_points ? i : split_from[i - read_points]];
    }
    std::span<const std::uint32_t> corners(std::size_t polygon) const {
        if (edited.empty() || edited[polygon] == kNone) return layer.pols.polygons[polygon].vertices;
        return copies[edited[polygon]];
    }
    std::vector<std::uint32_t>& editable_corners(std::size_t polygon);
    // Appends a copy of point i that keeps its values; returns the copy's index.
    std::uint32_t copy_point(std::uint32_t i);

    const lwofront::Layr& layer;
    std::uint32_t read_points;
    std::vector<std::uint32_t> split_from;  // per split point: the point it copies
    // Per split point: the values of its texture VMAD entry, and of its
    // colour VMAD entry, where it was split off by one.
    std::vector<std::optional<std::span<const float>>> split_entry;
    std::vector<std::optional<std::span<const float>>> split_color;
    std::vector<std::uint32_t> edited;  // per polygon: its copy, or kNone
    std::vector<std::vector<std::uint32_t>> copies;
};

enum class VmadValues { Texture, Color };

// For each point i as read, in ascending order, and each VMAD entry for i in
// stored order (entries naming no polygon, or a polygon without i, are
// ignored): copy point i and give the copy to the entry's polygon in place
// of a corner that holds i. Texture entries take the first corner that still
// holds i, so a second entry for the same polygon takes the next corner.
// Colour entries come after the texture ones and take the first corner that
// held i as read: a copy the texture VMAD made there takes the colour; a
// corner that is still i gets a copy of its own.
void split_points(SplitLayer& layer, const lwofront::Vmad& vmad, VmadValues values);

}  // namespace converter
