// The decoder compiled here, with its allocations routed through functions
// that note a failure (image_decoder.hpp).

#include "image_decoder.hpp"

#include <cstdlib>

namespace {

thread_local bool allocation_failed = false;

void* decoder_malloc(std::size_t size) {
    void* block = std::malloc(size);
    if (block == nullptr && size > 0) allocation_failed = true;
    return block;
}

void* decoder_realloc(void* block, std::size_t size) {
    void* grown = std::realloc(block, size);
    if (grown == nullptr && size > 0) allocation_failed = true;
    return grown;
}

}  // namespace

#define STB_IMAGE_IMPLEMENTATION
#define STBI_MALLOC(size) decoder_malloc(size)
#define STBI_REALLOC(block, size) decoder_realloc(block, size)
#define STBI_FREE(block) std::free(block)
// The decoder's warnings are not ours to fix (GCC 12 sees a use after
// realloc in its own code, through our macro).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace image::decoder {

void forget_memory_failure() { allocation_failed = false; }

bool memory_failed() { return allocation_failed; }

}  // namespace image::decoder
