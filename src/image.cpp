// Texture image loading through stb_image's callback interface. The same
// buffered reader serves files and bytes in memory, so both take one path.

#include "image.hpp"

#include <stb/stb_image.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "image_decoder.hpp"
#include "image_guard.hpp"

namespace image {
namespace {

constexpr std::size_t kReadBufferSize = 8192;
constexpr std::uint64_t kMaxSide = 65535;
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 30;

Error image_error() { return {ErrorKind::Image, LwoError::None, "Could not open image"}; }

// A file opened for reading. read() returns 0 at the end and on errors;
// failed() tells the two apart.
struct FileSource {
    std::FILE* file = nullptr;

    std::size_t read(char* dst, std::size_t n) { return std::fread(dst, 1, n, file); }
    bool seek(std::uint64_t offset) {
        return offset <= std::uint64_t{LONG_MAX} &&
               std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
    }
    bool failed() const { return std::ferror(file) != 0; }
    std::uint64_t size() const {
        struct stat info;
        if (fstat(fileno(file), &info) != 0 || info.st_size < 0) return 0;
        return static_cast<std::uint64_t>(info.st_size);
    }
};

struct MemorySource {
    std::span<const std::byte> bytes;
    std::size_t position = 0;

    std::size_t read(char* dst, std::size_t n) {
        n = std::min(n, bytes.size() - position);
        if (n > 0) std::memcpy(dst, bytes.data() + position, n);
        position += n;
        return n;
    }
    bool seek(std::uint64_t offset) {
        position = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes.size()));
        return true;
    }
    bool failed() const { return false; }
    std::uint64_t size() const { return bytes.size(); }
};

// An 8192-byte read buffer in front of a source, with the three operations
// stb_image calls back: read, skip (negative n steps back) and eof.
template <class Source>
struct BufferedReader {
    Source source;
    std::array<char, kReadBufferSize> buffer{};
    std::size_t begin = 0;         // next unread byte in buffer
    std::size_t end = 0;           // one past the last valid byte in buffer
    std::uint64_t source_pos = 0;  // source offset of buffer[end]
    bool seek_failed = false;

    std::uint64_t position() const { return source_pos - (end - begin); }

    bool seek(std::uint64_t offset) {
        begin = end = 0;
        source_pos = offset;
        if (!source.seek(offset)) seek_failed = true;
        return !seek_failed;
    }

    void fill() {
        begin = 0;
        end = seek_failed ? 0 : source.read(buffer.data(), buffer.size());
        source_pos += end;
    }

    std::size_t read(char* dst, std::size_t n) {
        std::size_t done = 0;
        while (done < n) {
            if (begin == end) {
                // Large requests bypass the buffer; small ones refill it.
                if (n - done >= buffer.size() && !seek_failed) {
                    std::size_t got = source.read(dst + done, n - done);
                    source_pos += got;
                    done += got;
                    break;
                }
                fill();
                if (begin == end) break;
            }
            std::size_t take = std::min(n - done, end - begin);
            std::memcpy(dst + done, buffer.data() + begin, take);
            begin += take;
            done += take;
        }
        return done;
    }

    void skip(long long n) {
        if (n >= 0 && static_cast<std::uint64_t>(n) <= end - begin) {
            begin += static_cast<std::size_t>(n);
        } else if (n < 0 && static_cast<std::uint64_t>(-n) <= begin) {
            begin -= static_cast<std::size_t>(-n);
        } else {
            std::uint64_t here = position();
            std::uint64_t target = n >= 0 ? here + static_cast<std::uint64_t>(n)
                                          : here - std::min(here, static_cast<std::uint64_t>(-n));
            seek(target);
        }
    }

    bool eof() {
        if (begin == end) fill();
        return begin == end;
    }

    // The next byte, or -1 at the end.
    int get() {
        if (begin == end) fill();
        if (begin == end) return -1;
        return static_cast<unsigned char>(buffer[begin++]);
    }

    bool failed() const { return seek_failed || source.failed(); }

    static int on_read(void* user, char* data, int size) {
        if (size <= 0) return 0;
        auto* self = static_cast<BufferedReader*>(user);
        return static_cast<int>(self->read(data, static_cast<std::size_t>(size)));
    }
    static void on_skip(void* user, int n) { static_cast<BufferedReader*>(user)->skip(n); }
    static int on_eof(void* user) { return static_cast<BufferedReader*>(user)->eof() ? 1 : 0; }
};

// Moves the decoder's RGBA bytes into `pixels`. The decoder's buffer is
// handed back to the system page by page as it is copied (the pages are
// dropped now, the buffer freed by its owner later), so an image is never held
// twice: a large one would otherwise need twice its size for a moment.
void take_pixels(const stbi_uc* data, std::size_t count, std::vector<Pixel>& pixels) {
    constexpr std::size_t kStep = std::size_t{1} << 18;  // pixels copied between hand-backs
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    std::uintptr_t released = (start + page - 1) / page * page;  // the first whole page
    pixels.reserve(count);  // its pages are touched only as they are written
    for (std::size_t done = 0; done < count;) {
        const std::size_t end = std::min(count, done + kStep);
        for (const stbi_uc* bytes = data + 4 * done; done < end; ++done, bytes += 4)
            pixels.push_back({bytes[0], bytes[1], bytes[2], bytes[3]});
        const std::uintptr_t copied = (start + 4 * done) / page * page;
        if (copied > released) {
            madvise(reinterpret_cast<void*>(released), copied - released, MADV_DONTNEED);
            released = copied;
        }
    }
}

// A decoder that failed for want of memory fails the run as any other
// allocation does; only a file that is missing or cannot be decoded is an
// image that could not be opened.
Error decoder_error() {
    if (decoder::memory_failed()) throw std::bad_alloc();
    return image_error();
}

struct StbFree {
    void operator()(stbi_uc* data) const { stbi_image_free(data); }
};

template <class Source>
Result<Image> load(BufferedReader<Source>& reader) {
    stbi_io_callbacks callbacks{&BufferedReader<Source>::on_read, &BufferedReader<Source>::on_skip,
                                &BufferedReader<Source>::on_eof};

    // Only files the decoder can be trusted with reach it (image_guard.hpp).
    std::array<std::uint8_t, 16> head{};
    const std::size_t head_size = reader.read(reinterpret_cast<char*>(head.data()), head.size());
    const guard::Format format = guard::sniff(std::span(head.data(), head_size));
    if (format == guard::Format::Unsupported || !reader.seek(0)) return std::unexpected(image_error());
    if (format == guard::Format::Jpeg) {
        if (!guard::jpeg_is_safe(reader) || reader.failed() || !reader.seek(0)) {
            return std::unexpected(image_error());
        }
    }
    if (format == guard::Format::Png) {
        if (!guard::png_chunks_fit(reader, reader.source.size()) || reader.failed() || !reader.seek(0)) {
            return std::unexpected(image_error());
        }
    }

    // The header alone tells the size; refuse before the decoder allocates.
    int width = 0, height = 0, channels = 0;
    decoder::forget_memory_failure();
    if (!stbi_info_from_callbacks(&callbacks, &reader, &width, &height, &channels)) {
        return std::unexpected(decoder_error());
    }
    if (width <= 0 || height <= 0 ||
        !loadable_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)) ||
        !guard::data_can_hold(format, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                              reader.source.size())) {
        return std::unexpected(image_error());
    }
    if (!reader.seek(0)) return std::unexpected(image_error());

    width = height = 0;
    std::unique_ptr<stbi_uc, StbFree> data(
        stbi_load_from_callbacks(&callbacks, &reader, &width, &height, &channels, 4));
    if (!data || reader.failed() || width <= 0 || height <= 0 ||
        !loadable_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height))) {
        return std::unexpected(decoder_error());
    }

    Image image;
    image.width = static_cast<std::size_t>(width);
    image.height = static_cast<std::size_t>(height);
    take_pixels(data.get(), image.width * image.height, image.pixels);
    return image;
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool loadable_size(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
    // Both sides are at most 16 bits here, so the product cannot overflow.
    return width * height * 4 <= kMaxPixelBytes;
}

Result<Image> Image::open(const std::string& path) {
    // Only regular files are decoded: opening a FIFO without a writer would
    // wait for ever, so the open does not block and the type is checked.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::unexpected(image_error());
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::unexpected(image_error());
    }
    std::unique_ptr<std::FILE, FileClose> file(fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return std::unexpected(image_error());
    }
    // Our own buffer is the only one between the decoder and the file.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    BufferedReader<FileSource> reader;
    reader.source.file = file.get();
    return load(reader);
}

Result<Image> Image::decode(std::span<const std::byte> bytes) {
    BufferedReader<MemorySource> reader;
    reader.source.bytes = bytes;
    return load(reader);
}

}  // namespace image
