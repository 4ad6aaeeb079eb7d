// The byte window and the buffered reads under it.
//
// The window `remaining`, not the source, decides where data ends: a request
// larger than the window takes nothing and closes the window, so parsers see
// zeros past the end of their chunk. The buffer in front of the source only
// saves system calls; it may read ahead of the window, which changes no result.

#include "stream.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "utf8.hpp"

namespace stream {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// Reads n big-endian bytes into a zeroed buffer and returns them as a number.
template <class T, std::size_t N>
Result<T> read_be(Stream& s) {
    std::array<std::byte, N> bytes{};
    if (Status st = s.read_exact(bytes); !st) return std::unexpected(std::move(st).error());
    T value = 0;
    for (std::byte b : bytes) value = T(value << 8 | T(b));
    return value;
}

}  // namespace

Result<std::size_t> FileSource::read_some(std::span<std::byte> out) {
    for (;;) {
        const ssize_t got = ::read(fd, out.data(), out.size());
        if (got >= 0) return std::size_t(got);
        if (errno == EINTR) continue;
        return std::unexpected(io_error(std::strerror(errno)));
    }
}

Result<std::size_t> MemorySource::read_some(std::span<std::byte> out) {
    const std::size_t count = std::min(out.size(), data.size() - pos);
    std::copy_n(data.begin() + std::ptrdiff_t(pos), count, out.begin());
    pos += count;
    return count;
}

Stream::Stream(Source& source, std::uint64_t remaining)
    : source(source), remaining(remaining), buffer_(kBufferSize) {}

Status Stream::fill() {
    begin_ = end_ = 0;
    Result<std::size_t> got = source.read_some(buffer_);
    if (!got) return std::unexpected(std::move(got).error());
    if (*got == 0) return std::unexpected(io_error(kUnexpectedEof));
    end_ = *got;
    return {};
}

Status Stream::read_exact_slow(std::span<std::byte> out) {
    if (remaining < out.size()) {
        remaining = 0;
        return {};
    }
    remaining -= out.size();
    position_ += out.size();
    std::size_t done = 0;
    while (done < out.size()) {
        if (begin_ == end_) {
            // A request the size of the buffer or more goes straight to the
            // source once the buffered bytes are used up.
            if (out.size() - done >= buffer_.size()) {
                Result<std::size_t> got = source.read_some(out.subspan(done));
                if (!got) return std::unexpected(std::move(got).error());
                if (*got == 0) return std::unexpected(io_error(kUnexpectedEof));
                done += *got;
                continue;
            }
            if (Status st = fill(); !st) return st;
        }
        const std::size_t take = std::min(end_ - begin_, out.size() - done);
        std::copy_n(buffer_.begin() + std::ptrdiff_t(begin_), take, out.begin() + std::ptrdiff_t(done));
        begin_ += take;
        done += take;
    }
    return {};
}

Status Stream::skip(std::uint64_t n) {
    if (remaining < n) {
        remaining = 0;
        return {};
    }
    remaining -= n;
    position_ += n;
    while (n != 0) {
        if (begin_ == end_) {
            if (Status st = fill(); !st) return st;
        }
        const std::size_t take = std::size_t(std::min<std::uint64_t>(end_ - begin_, n));
        begin_ += take;
        n -= take;
    }
    return {};
}

Result<ChunkHeader> read_chunk(Stream& s) {
    ChunkHeader header;
    Result<std::uint32_t> id = read_u4(s);
    if (!id) return std::unexpected(std::move(id).error());
    header.id = *id;
    Result<std::uint32_t> length = read_u4(s);
    if (!length) return std::unexpected(std::move(length).error());
    header.length = *length;
    return header;
}

Result<SubchunkHeader> read_subchunk(Stream& s) {
    SubchunkHeader header;
    Result<std::uint32_t> id = read_u4(s);
    if (!id) return std::unexpected(std::move(id).error());
    header.id = *id;
    Result<std::uint16_t> length = read_u2(s);
    if (!length) return std::unexpected(std::move(length).error());
    header.length = *length;
    return header;
}

Result<Vec3> read_vector3f(Stream& s) {
    Vec3 v;
    for (float* field : {&v.x, &v.y, &v.z}) {
        Result<float> value = read_f4(s);
        if (!value) return std::unexpected(std::move(value).error());
        *field = *value;
    }
    return v;
}

Result<std::vector<std::uint8_t>> read_ordinal(Stream& s) {
    std::vector<std::uint8_t> bytes;
    for (;;) {
        Result<std::uint8_t> byte = read_u1(s);
        if (!byte) return std::unexpected(std::move(byte).error());
        bytes.push_back(*byte);
        if (*byte == 0) break;
    }
    // Strings are padded to an even length, the 0 byte counted.
    if (bytes.size() % 2 == 1) {
        Result<std::uint8_t> pad = read_u1(s);
        if (!pad) return std::unexpected(std::move(pad).error());
    }
    return bytes;
}

Result<std::string> read_string(Stream& s) {
    Result<std::vector<std::uint8_t>> bytes = read_ordinal(s);
    if (!bytes) return std::unexpected(std::move(bytes).error());
    bytes->pop_back();
    if (!is_valid_utf8({reinterpret_cast<const char*>(bytes->data()), bytes->size()})) return std::unexpected(Error{ErrorKind::Utf8, LwoError::None, "invalid utf-8"});
    return std::string(bytes->begin(), bytes->end());
}

Result<std::uint8_t> read_u1(Stream& s) { return read_be<std::uint8_t, 1>(s); }
Result<std::uint16_t> read_u2(Stream& s) { return read_be<std::uint16_t, 2>(s); }
Result<std::uint32_t> read_u4(Stream& s) { return read_be<std::uint32_t, 4>(s); }

Result<float> read_f4(Stream& s) {
    Result<std::uint32_t> bits = read_u4(s);
    if (!bits) return std::unexpected(std::move(bits).error());
    float value;
    std::memcpy(&value, &*bits, sizeof value);
    return value;
}

Result<std::uint32_t> read_vx(Stream& s) {
    Result<std::uint16_t> high = read_u2(s);
    if (!high) return std::unexpected(std::move(high).error());
    if ((*high >> 8) != 0xFF) return *high;
    Result<std::uint16_t> low = read_u2(s);
    if (!low) return std::unexpected(std::move(low).error());
    return (std::uint32_t(*high & 0xFF) << 16) | *low;
}

}  // namespace stream
