// The PNG writer is compiled here, private to this file, with allocations
// that fail as the rest of the program's do: the packaged one asserts that
// each of its allocations succeeded, which ends a run short of memory by
// abort() with its temporaries left behind, instead of by std::bad_alloc.

#include <cstdlib>
#include <new>

#include "preview/preview.hpp"

namespace {

void* writer_malloc(std::size_t size) {
    void* block = std::malloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* writer_realloc(void* block, std::size_t size) {
    void* grown = std::realloc(block, size);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
}

}  // namespace

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_MALLOC(size) writer_malloc(size)
#define STBIW_REALLOC(block, size) writer_realloc(block, size)
#define STBIW_FREE(block) std::free(block)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace preview {

Result<std::vector<char>> encode_png(const Picture& picture) {
    std::vector<char> bytes;
    // stb hands over the whole file in one call.
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<char>*>(context);
        const char* begin = static_cast<const char*>(data);
        out->insert(out->end(), begin, begin + size);
    };
    // Speed over size: no per-row filter search and stb's lowest
    // compression level (levels below 5 are 5) make a dense object's picture
    // about twice as fast to encode and a few per cent larger. Both settings
    // are fixed, so the bytes stay the same from run to run.
    stbi_write_force_png_filter = 0;
    stbi_write_png_compression_level = 5;
    static_assert(sizeof(Rgb) == 3, "pixels are packed RGB");
    const auto* rgb = reinterpret_cast<const unsigned char*>(picture.pixels.data());
    if (!stbi_write_png_to_func(append, &bytes, picture.width, picture.height, 3, rgb, picture.width * 3)) {
        return std::unexpected(io_error("Couldn't encode the preview image"));
    }
    return bytes;
}

}  // namespace preview
