#pragma once
// The one "nothing here" value of the converter's 32-bit index tables: no
// map entry for a point, no copy of a polygon, no group, no vertex.

#include <cstdint>

namespace converter {

inline constexpr std::uint32_t kNone = UINT32_MAX;

}  // namespace converter
