#pragma once
// Texture coordinates of an image that a block maps by a projection (planar,
// cylindrical, spherical or cubic) instead of a UV map, as LightWave computes
// them. They are handed on as a texture map with per-polygon values, so that
// splitting, tiling, wrapping and batching treat them like a UV map's.

#include <cstdint>
#include <optional>

#include "converter/maps.hpp"
#include "lwofront/model.hpp"

namespace converter {

enum class ProjectionKind { Planar, Cylindrical, Spherical, Cubic };

// A projection as a block's PROJ, AXIS, WRPW, WRPH and TMAP describe it.
struct Projection {
    ProjectionKind kind = ProjectionKind::Planar;
    int axis = 0;                 // 0 X, 1 Y, 2 Z
    Vec3 centre{0, 0, 0};         // CNTR
    Vec3 size{1, 1, 1};           // SIZE
    Vec3 rotation{0, 0, 0};       // ROTA: heading, pitch, bank in radians
    bool world = false;           // CSYS 1: measured from the origin, not the layer's pivot
    float width_wraps = 1.0f;     // WRPW: cylindrical and spherical
    float height_wraps = 1.0f;    // WRPH: spherical
};

// How a block maps its image: by a projection computed here, by front
// projection (4), which needs a camera, or else by a UV map (PROJ 5, no
// PROJ, or a mode LightWave does not write).
struct BlockMapping {
    std::optional<Projection> projection;
    bool front = false;
};

// The last of each attribute counts, as LightWave reads settings.
BlockMapping block_mapping(const lwofront::Blok& blok);
// The mapping of the surface's first block, which maps the texture of its
// layers; a UV map when it has no block.
BlockMapping first_block_mapping(const lwofront::Surf& surface);

// The texture coordinates of every polygon corner of `layer` (whose points
// were multiplied by `scale`) under `projection`, as a TXUV map of (u, v),
// v = 1 at the image's top row: each point that polygons use takes the value
// of its first polygon, and the corners whose value differs (across a seam,
// at a cube's edge, at a pole) get VMAD entries. Points no polygon draws get
// no value.
TextureMaps project_layer(const lwofront::Layr& layer, const Projection& projection, float scale);

}  // namespace converter
