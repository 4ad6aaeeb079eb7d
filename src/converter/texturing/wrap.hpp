#pragma once
// Which textures are wrapped: drawn with texture coordinates beyond 0..1,
// which the RDP repeats only for power-of-two sides.

#include <vector>

#include "lwofront/model.hpp"
#include "lwofront/surface_index.hpp"

namespace converter {

// One flag per clip: set when a layer whose polygons use a surface that
// names the clip (in any block) has a texture coordinate outside 0..1 in its
// texture map. Looks at the whole map of such a layer, so a point that no
// polygon uses may set it too; a needless power of two costs less than a
// texture that does not repeat. A texture mapped by a projection is tested
// with the coordinates the projection gives the polygons that conversion
// gives it to (the points were multiplied by `scale`): with `split_surfaces`
// (-m) each surface's own polygons, else the whole layer, by the projection
// of the lowest surface it names.
std::vector<bool> wrapped_clips(const lwofront::Object& object, const lwofront::SurfaceIndex& index, float scale,
                                bool split_surfaces);

}  // namespace converter
