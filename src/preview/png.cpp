// The PNG writer is compiled here, private to this file, with allocations
// that fail as the rest of the program's do: the packaged one asserts that
// each of its allocations succeeded, which ends a run short of memory by
// abort() with its temporaries left behind, instead of by std::bad_alloc.
// zlib compresses for it: stb's own compressor took about five times as long
// on a dense object's picture, and made a larger file.

#include <zlib.h>

#include <cstdlib>
#include <new>

#include "preview/preview.hpp"

namespace {

void* writer_malloc(std::size_t size) {
    void* block = std::malloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

// stb must be given all three; only its own compressor, which zlib replaces,
// grows blocks.
[[maybe_unused]] void* writer_realloc(void* block, std::size_t size) {
    void* grown = std::realloc(block, size);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
}

// zlib's fastest level: a picture is mostly runs of a few colours, which it
// finds as well as the slower levels do. The compressed bytes grow into a
// buffer of a tenth of the picture's, doubled when full, since a buffer of
// the worst case's size would hold as much again as the picture itself.
unsigned char* zlib_compress(unsigned char* data, int length, int* compressed_length, int /*quality*/) {
    z_stream stream{};
    if (deflateInit(&stream, Z_BEST_SPEED) != Z_OK) throw std::bad_alloc();  // its one failure with these settings
    std::size_t capacity = static_cast<std::size_t>(length) / 10 + 64;
    auto* compressed = static_cast<unsigned char*>(std::malloc(capacity));
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(length);
    int status = Z_OK;
    while (compressed != nullptr) {
        stream.next_out = compressed + stream.total_out;
        stream.avail_out = static_cast<uInt>(capacity - stream.total_out);
        status = deflate(&stream, Z_FINISH);
        if (status != Z_OK && status != Z_BUF_ERROR) break;  // the end, or a fault
        capacity *= 2;
        auto* grown = static_cast<unsigned char*>(std::realloc(compressed, capacity));
        if (grown == nullptr) std::free(compressed);
        compressed = grown;
    }
    deflateEnd(&stream);
    if (compressed == nullptr) throw std::bad_alloc();
    if (status != Z_STREAM_END) {
        std::free(compressed);
        return nullptr;  // stb then refuses the picture
    }
    *compressed_length = static_cast<int>(stream.total_out);
    return compressed;
}

}  // namespace

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_MALLOC(size) writer_malloc(size)
#define STBIW_REALLOC(block, size) writer_realloc(block, size)
#define STBIW_FREE(block) std::free(block)
#define STBIW_ZLIB_COMPRESS zlib_compress
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
    // Speed over size: rows are not filtered (a search for each row's best
    // filter passes over the picture five more times). The setting is
    // fixed, so the bytes stay the same from run to run.
    stbi_write_force_png_filter = 0;
    static_assert(sizeof(Rgb) == 3, "pixels are packed RGB");
    const auto* rgb = reinterpret_cast<const unsigned char*>(picture.pixels.data());
    if (!stbi_write_png_to_func(append, &bytes, picture.width, picture.height, 3, rgb, picture.width * 3)) {
        return std::unexpected(io_error("Couldn't encode the preview image"));
    }
    return bytes;
}

}  // namespace preview
