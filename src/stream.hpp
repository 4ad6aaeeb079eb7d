#pragma once
// The reader's only access to the input: a byte source, a read buffer in
// front of it, and the byte window `remaining` that bounds every read.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "error.hpp"
#include "vec3.hpp"

namespace stream {

using ::Vec3;

// Where the bytes come from. read_some returns how many bytes it placed in
// `out` (0 only at the end of the data), or an I/O error.
struct Source {
    virtual ~Source() = default;
    virtual Result<std::size_t> read_some(std::span<std::byte> out) = 0;
};

// An open file descriptor, read from its current position. Interrupted reads
// are asked again. The descriptor is not owned.
struct FileSource final : Source {
    explicit FileSource(int fd) : fd(fd) {}
    Result<std::size_t> read_some(std::span<std::byte> out) override;
    int fd;
};

// Bytes in memory, for tests and fuzzing.
struct MemorySource final : Source {
    explicit MemorySource(std::span<const std::byte> data) : data(data) {}
    Result<std::size_t> read_some(std::span<std::byte> out) override;
    std::span<const std::byte> data;
    std::size_t pos = 0;
};

struct Stream {
    Stream(Source& source, std::uint64_t remaining);

    // Fills `out`. A request larger than the window takes nothing, leaves
    // `out` as it was and sets the window to 0. Otherwise the window is
    // lowered by the whole request before the bytes arrive.
    Status read_exact(std::span<std::byte> out) {
        // Nearly every read is one small field that the buffer already holds.
        if (!out.empty() && out.size() <= remaining && out.size() <= end_ - begin_) {
            std::memcpy(out.data(), buffer_.data() + begin_, out.size());
            begin_ += out.size();
            remaining -= out.size();
            position_ += out.size();
            return {};
        }
        return read_exact_slow(out);
    }
    // Passes over n bytes under the same window rule as read_exact.
    Status skip(std::uint64_t n);
    // Bytes taken from the source through this stream so far. A read that
    // the window refuses takes none, so the parsers find where a chunk really
    // ends from this, not from the window.
    std::uint64_t position() const { return position_; }

    Source& source;
    std::uint64_t remaining;

private:
    Status read_exact_slow(std::span<std::byte> out);
    Status fill();
    std::vector<std::byte> buffer_;
    std::size_t begin_ = 0, end_ = 0;
    std::uint64_t position_ = 0;
};

struct ChunkHeader {
    std::uint32_t id = 0;
    std::uint32_t length = 0;
};

struct SubchunkHeader {
    std::uint32_t id = 0;
    std::uint16_t length = 0;
};

// Each operation zeroes its buffers before reading, so a read refused by the
// window yields 0.
Result<ChunkHeader> read_chunk(Stream& s);
Result<SubchunkHeader> read_subchunk(Stream& s);
Result<Vec3> read_vector3f(Stream& s);
Result<std::string> read_string(Stream& s);                 // "invalid utf-8" on bad text
Result<std::vector<std::uint8_t>> read_ordinal(Stream& s);  // raw bytes, final 0 kept
Result<std::uint8_t> read_u1(Stream& s);
Result<std::uint16_t> read_u2(Stream& s);
Result<std::uint32_t> read_u4(Stream& s);
Result<float> read_f4(Stream& s);
// Variable-length index: 2 bytes, or 4 bytes when the first is 0xFF, the
// value being the low 24 bits.
Result<std::uint32_t> read_vx(Stream& s);

constexpr std::uint32_t make_id(const char (&text)[5]) {
    return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
           std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint32_t(std::uint8_t(text[3]));
}

}  // namespace stream
