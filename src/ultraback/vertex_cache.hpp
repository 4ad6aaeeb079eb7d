#pragma once
// The vertex cache the display lists load into, as the microcodes have it:
// F3DEX2's holds 64 vertices, Fast3D's 16, and a batch needs at least one
// triangle's 3. Batching draws from any size in between.

#include <cstddef>

namespace ultraback {

inline constexpr std::size_t kMinCacheSize = 3;
inline constexpr std::size_t kMaxCacheSize = 64;
inline constexpr std::size_t kMaxFast3dCacheSize = 16;
inline constexpr std::size_t kDefaultCacheSize = 32;

}  // namespace ultraback
