#pragma once
// What the chunk handlers (reader.cpp, geometry.cpp, surface.cpp and the
// other formats') share: reading fields, a chunk's kind from its type, and
// nesting a chunk body in the stream's window.
//
// Every body is read inside a window of exactly its declared length. After the
// handler, the bytes it left unread and the IFF pad byte after an odd length
// are passed over, so the next header is read where it really starts. A body
// that claims more than its container has left is an error at once.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "error.hpp"
#include "lwofront/model.hpp"
#include "lwofront/reader.hpp"
#include "stream.hpp"

// Returns the error of a Status or Result from the enclosing function.
#define LWO_TRY(expr)                                                                  \
    do {                                                                               \
        if (auto lwo_try_result_ = (expr); !lwo_try_result_)                           \
            return std::unexpected(std::move(lwo_try_result_).error());                \
    } while (0)

namespace lwofront::detail {

// The named kind when the type is `name`, else Other carrying the type.
template <class Kind, class Named>
Kind kind_of(std::uint32_t type, std::uint32_t name) {
    if (type == name) return Named{};
    return OtherType{type};
}

// A field holding a variable-length index (2 or 4 bytes in the file).
struct Vx {
    std::uint32_t& value;
};

// Hands a read value to `out`, or its error up.
template <class T, class Out>
Status take(Result<T> read, Out& out) {
    if (!read) return std::unexpected(std::move(read).error());
    out = std::move(*read);
    return {};
}

inline Status read_field(stream::Stream& s, std::uint16_t& out) { return take(stream::read_u2(s), out); }
inline Status read_field(stream::Stream& s, std::uint32_t& out) { return take(stream::read_u4(s), out); }
inline Status read_field(stream::Stream& s, float& out) { return take(stream::read_f4(s), out); }
inline Status read_field(stream::Stream& s, Vec3& out) { return take(stream::read_vector3f(s), out); }
inline Status read_field(stream::Stream& s, std::string& out) { return take(stream::read_string(s), out); }
inline Status read_field(stream::Stream& s, Vx out) { return take(stream::read_vx(s), out.value); }

// Reads the fields in order; the first error ends the read.
template <class... Fields>
Status read_fields(stream::Stream& s, Fields&&... fields) {
    Status status;
    ((status = read_field(s, std::forward<Fields>(fields))) && ...);
    return status;
}

// How a body that claims more than its container has left is reported: a
// top-level chunk runs past the end of the file, a sub-chunk past its parent.
enum class Level { Chunk, Subchunk };

inline Error overrun_error(Level level) {
    if (level == Level::Chunk) return io_error(kUnexpectedEof);
    return lwo_error(LwoError::SubchunkOverrun, "sub-chunk runs past the end of its parent");
}

// Runs `body` with the window set to `length`, then leaves the stream just
// past the body and its pad byte, with the container's window restored.
template <class Body>
Status read_nested(stream::Stream& s, std::uint64_t length, Level level, Body&& body) {
    if (length > s.remaining) return std::unexpected(overrun_error(level));
    const std::uint64_t outer = s.remaining - length;
    const std::uint64_t start = s.position();
    s.remaining = length;
    LWO_TRY(body());
    // Reads never pass the window, so the body took at most `length` bytes.
    const std::uint64_t unread = length - (s.position() - start);
    s.remaining = unread;
    LWO_TRY(s.skip(unread));
    s.remaining = outer;
    // The pad may be missing at the very end of the container.
    if (length % 2 == 1 && s.remaining != 0) LWO_TRY(s.skip(1));
    return {};
}

// Reads sub-chunks until the window runs out, each in its own window, handing
// its identifier to `handle`. Whatever `handle` does not read is skipped.
template <class Handle>
Status read_subchunks(stream::Stream& s, Handle&& handle) {
    while (s.remaining != 0) {
        auto header = stream::read_subchunk(s);
        if (!header) return std::unexpected(std::move(header).error());
        LWO_TRY(read_nested(s, header->length, Level::Subchunk, [&] { return handle(header->id); }));
    }
    return {};
}

// Appends a record that was read, or hands its error up.
template <class List, class T>
Status append(List& list, Result<T> read) {
    if (!read) return std::unexpected(std::move(read).error());
    list.push_back(std::move(*read));
    return {};
}

// The four characters of an identifier, for messages; its hex value when one
// of them is not printable, so a message stays one readable line.
inline std::string id_text(std::uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>(id >> shift & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            static const char kDigits[] = "0123456789abcdef";
            std::string hex = "0x";
            for (int nibble = 28; nibble >= 0; nibble -= 4) hex += kDigits[id >> nibble & 0xF];
            return hex;
        }
        text += c;
    }
    return text;
}

// The CLIP and SURF bodies, read inside their chunk's window (surface.cpp).
Result<Clip> read_clip(stream::Stream& s);
Result<Surf> read_surf(stream::Stream& s, const ReadOptions& options);

// The fields of one sub-chunk of a block header, a TMAP or a block, by its
// identifier; an identifier not of that level reads nothing (surface.cpp).
// LWO3 nests the same fields in its own containers.
Status read_header_field(stream::Stream& s, std::uint32_t id, BlokHeader& header);
Status read_tmap_field(stream::Stream& s, std::uint32_t id, Tmap& tmap);
Status read_blok_field(stream::Stream& s, std::uint32_t id, Blok& blok);
// A block that is not an image map: the error, or with -k nothing but a
// warning naming the block and the surface.
Status refuse_block(std::uint32_t header_id, const std::string& surface, const ReadOptions& options);

// An LWO3 surface's image node names its file itself; it becomes a clip once
// every CLIP of the file is read (lwo3.cpp).
struct NodeImage {
    std::size_t surface = 0;  // position in Object::surfaces
    std::string file;
    std::string uv_map;
};

// The FORM CLIP and FORM SURF bodies of an LWO3 file, after the form type.
Result<Clip> read_lwo3_clip(stream::Stream& s);
Result<Surf> read_lwo3_surf(stream::Stream& s, const ReadOptions& options, std::size_t position,
                            std::vector<NodeImage>& node_images);
// Once the whole LWO3 file is read: block images named by clip index are
// renamed by clip position, as the object model counts them, and each node
// image gets its clip and a block.
void finish_lwo3(Object& object, const std::vector<NodeImage>& node_images);

// The chunks of an LWOB file (lwob.cpp). The object has its one layer; the
// images of textures become clips, one per file name, in `clips`.
using ClipsByFile = std::map<std::string, std::size_t>;
Status read_lwob_pols(stream::Stream& s, Object& object);
Result<Surf> read_lwob_surf(stream::Stream& s, Object& object, ClipsByFile& clips, const ReadOptions& options);

}  // namespace lwofront::detail
