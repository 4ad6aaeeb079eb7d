// The FORM header and the top-level chunks: tags, layers and their geometry.
// SURF and CLIP bodies are read in surface.cpp, LWO3's CLIP and SURF FORMs in
// lwo3.cpp, LWOB's POLS and SURF in lwob.cpp; an LWO3 file's geometry chunks
// are LWO2's and read here.
//
// Each chunk is read inside a window of its own length (chunk.hpp), so a
// handler that loops "until the chunk ends" loops while the window is open.

#include "lwofront/reader.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "lwofront/chunk.hpp"

namespace lwofront {

using namespace detail;
using stream::make_id;
using stream::Stream;

namespace {

Error invalid_error(std::string hint) {
    Error error = lwo_error(LwoError::Invalid, "IO error");
    error.hint = std::move(hint);
    return error;
}

// What a file that is not an IFF FORM is, by its first four bytes.
std::string what_is_not_a_form(std::uint32_t head) {
    if (head == 0x89504E47) return "the file is a PNG image, not a LightWave object";
    if (head >> 8 == 0xFFD8FF) return "the file is a JPEG image, not a LightWave object";
    if (head >> 16 == 0x424D) return "the file is a BMP image, not a LightWave object";
    if (head == make_id("GIF8")) return "the file is a GIF image, not a LightWave object";
    return "the file does not begin with an IFF FORM header, as a LightWave object does";
}

std::string what_form_is_not_lwo(std::uint32_t type) {
    return "the file is an IFF FORM of type " + id_text(type) + ", not a LightWave object (LWO2, LWO3 or LWOB)";
}

// The named kind when the type is `name`, else Other carrying the type.
template <class Kind, class Named>
Kind kind_of(std::uint32_t type, std::uint32_t name) {
    if (type == name) return Named{};
    return OtherType{type};
}

Status read_tags(Stream& s, Object& object) {
    std::vector<std::string> tags;
    while (s.remaining != 0) LWO_TRY(append(tags, stream::read_string(s)));
    object.tags = std::move(tags);
    return {};
}

Status read_layr(Stream& s, Object& object) {
    std::uint16_t number = 0, flags = 0, parent = 0;
    Vec3 pivot;
    std::string name;
    // A chunk without the parent field reads it as 0 through the window.
    LWO_TRY(read_fields(s, number, flags, pivot, name, parent));
    object.layers.push_back(Layr::create(number, flags, pivot, name, parent));
    return {};
}

// The rest of the chunk, read whole into `buffer`. Before each read it grows
// by at most what it already holds (1 MiB at first), so a length from the
// file alone never sizes memory the file does not back.
Status read_rest(Stream& s, std::vector<std::byte>& buffer) {
    constexpr std::size_t kFirstPiece = 1 << 20;
    buffer.clear();
    while (s.remaining != 0) {
        const std::size_t have = buffer.size();
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(s.remaining, std::max(have, kFirstPiece)));
        buffer.resize(have + piece);
        LWO_TRY(s.read_exact(std::span(buffer).subspan(have)));
    }
    return {};
}

// A geometry chunk's body in memory, taken apart under the stream's window
// rule: a field longer than what is left yields 0 and ends the body. One read
// of the body and plain loads here cost far less than a stream call per field.
class Body {
public:
    explicit Body(std::span<const std::byte> bytes) : bytes_(bytes) {}
    bool ended() const { return pos_ == bytes_.size(); }
    std::size_t left() const { return bytes_.size() - pos_; }

    std::uint16_t u2() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u4() { return take(4); }
    float f4() { return std::bit_cast<float>(take(4)); }
    Vec3 vec3() {
        Vec3 v;
        v.x = f4();
        v.y = f4();
        v.z = f4();
        return v;
    }
    // A variable-length index, as stream::read_vx.
    std::uint32_t vx() {
        const std::uint16_t high = u2();
        if ((high >> 8) != 0xFF) return high;
        return std::uint32_t(high & 0xFF) << 16 | u2();
    }
    // Passes over a variable-length index as vx() reads it.
    void skip_vx() {
        const bool wide = left() >= 2 && bytes_[pos_] == std::byte{0xFF};
        pos_ = std::min(bytes_.size(), pos_ + (left() < 2 ? left() : wide ? 4 : 2));
    }

private:
    std::uint32_t take(std::size_t n) {
        if (left() < n) {
            pos_ = bytes_.size();
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < n; ++k) value = value << 8 | std::to_integer<std::uint32_t>(bytes_[pos_ + k]);
        pos_ += n;
        return value;
    }

    std::span<const std::byte> bytes_;
    std::size_t pos_ = 0;
};

// Reads the rest of the chunk into `buffer` and hands it to `parse` as a Body.
template <class Parse>
Status parse_rest(Stream& s, std::vector<std::byte>& buffer, Parse&& parse) {
    LWO_TRY(read_rest(s, buffer));
    Body body(buffer);
    parse(body);
    return {};
}

Status read_pnts(Stream& s, Layr& layer, std::vector<std::byte>& buffer) {
    return parse_rest(s, buffer, [&](Body& body) {
        Pnts points;
        // A point cut short by the end of the chunk still counts, as zeros.
        points.vec.reserve((body.left() + 11) / 12);
        while (!body.ended()) points.vec.push_back(body.vec3());
        layer.points = std::move(points);
    });
}

// How many polygons and corners read_pols makes of a POLS body after its
// type: a polygon cut short still has all its corners, as zeros.
std::pair<std::size_t, std::size_t> count_polygons(Body body) {
    std::size_t polygons = 0, corners = 0;
    while (!body.ended()) {
        const std::size_t count = body.u2() & 0x03FF;
        for (std::size_t i = 0; i < count; ++i) body.skip_vx();
        ++polygons;
        corners += count;
    }
    return {polygons, corners};
}

Status read_pols(Stream& s, Layr& layer, std::vector<std::byte>& buffer) {
    return parse_rest(s, buffer, [&](Body& body) {
        Pols pols;
        pols.kind = kind_of<PolsKind, Face>(body.u4(), make_id("FACE"));
        // Counted first, so the lists are made once at their size.
        const auto [polygons, corners] = count_polygons(body);
        pols.polygons.reserve(polygons, corners);
        while (!body.ended()) {
            const std::uint16_t count = body.u2();
            const std::size_t corners = count & 0x03FF;
            for (std::size_t i = 0; i < corners; ++i) pols.polygons.add_corner(body.vx());
            pols.polygons.end_polygon(count & 0xFC00);
        }
        layer.pols = std::move(pols);
    });
}

Status read_ptag(Stream& s, Layr& layer, std::vector<std::byte>& buffer) {
    return parse_rest(s, buffer, [&](Body& body) {
        Ptag ptag;
        ptag.kind = kind_of<PtagKind, SurfTag>(body.u4(), make_id("SURF"));
        ptag.entries.reserve(body.left() / 4 + 1);
        while (!body.ended()) {
            PtagEntry entry;
            entry.polygon = body.vx();
            // The tag is a plain 2-byte index into TAGS, not a variable-length one.
            entry.tag = body.u2();
            ptag.entries.push_back(entry);
        }
        layer.ptag = std::move(ptag);
    });
}

// The part VMAP and VMAD share: type, dimension, name.
Status read_map_header(Stream& s, VmapKind& kind, std::uint16_t& dimension, std::string& name) {
    std::uint32_t type = 0;
    LWO_TRY(read_fields(s, type, dimension, name));
    kind = kind_of<VmapKind, Txuv>(type, make_id("TXUV"));
    return {};
}

// Whether the chunk still holds an entry's values. An entry cut short by the
// end of its chunk is dropped, so that a dimension read from the file never
// sizes memory the file does not back.
bool holds_values(const Body& body, std::uint16_t dimension) { return body.left() / 4 >= dimension; }

Status read_vmap(Stream& s, Layr& layer, std::vector<std::byte>& buffer) {
    Vmap vmap;
    LWO_TRY(read_map_header(s, vmap.kind, vmap.dimension, vmap.name));
    return parse_rest(s, buffer, [&](Body& body) {
        const std::size_t entry_bytes = 2 + 4 * std::size_t{vmap.dimension};
        vmap.entries.reserve(body.left() / entry_bytes, body.left() / entry_bytes * vmap.dimension);
        while (!body.ended()) {
            const std::uint32_t vertex = body.vx();
            if (!holds_values(body, vmap.dimension)) break;
            for (std::uint16_t k = 0; k < vmap.dimension; ++k) vmap.entries.add_value(body.f4());
            vmap.entries.end_entry(vertex);
        }
        layer.vmaps.push_back(std::move(vmap));
    });
}

Status read_vmad(Stream& s, Layr& layer, std::vector<std::byte>& buffer) {
    Vmad vmad;
    LWO_TRY(read_map_header(s, vmad.kind, vmad.dimension, vmad.name));
    return parse_rest(s, buffer, [&](Body& body) {
        const std::size_t entry_bytes = 4 + 4 * std::size_t{vmad.dimension};
        vmad.entries.reserve(body.left() / entry_bytes, body.left() / entry_bytes * vmad.dimension);
        while (!body.ended()) {
            const std::uint32_t vertex = body.vx();
            const std::uint32_t polygon = body.vx();
            if (!holds_values(body, vmad.dimension)) break;
            for (std::uint16_t k = 0; k < vmad.dimension; ++k) vmad.entries.add_value(body.f4());
            vmad.entries.end_entry(vertex, polygon);
        }
        layer.vmads.push_back(std::move(vmad));
    });
}

// Geometry belongs to the last layer; before the first LAYR there is none.
Result<Layr*> current_layer(Object& object, std::uint32_t id) {
    if (object.layers.empty()) {
        return std::unexpected(lwo_error(LwoError::NoLayer, id_text(id) + " chunk before any LAYR chunk"));
    }
    return &object.layers.back();
}

template <class Read>
Status read_geometry(Stream& s, Object& object, std::uint32_t id, std::vector<std::byte>& buffer, Read read) {
    auto layer = current_layer(object, id);
    if (!layer) return std::unexpected(std::move(layer).error());
    return read(s, **layer, buffer);
}

// What a read keeps between chunks besides the object.
struct Reading {
    std::vector<std::byte> buffer;      // geometry bodies, one at a time
    std::vector<NodeImage> node_images;  // LWO3
    ClipsByFile clips;                   // LWOB
};

// One top-level chunk body of an LWO2 file; chunks not listed are skipped by
// read_nested.
Status read_chunk_body(Stream& s, std::uint32_t id, Object& object, const ReadOptions& options,
                       std::vector<std::byte>& buffer) {
    switch (id) {
        case make_id("TAGS"): return read_tags(s, object);
        case make_id("LAYR"): return read_layr(s, object);
        case make_id("PNTS"): return read_geometry(s, object, id, buffer, read_pnts);
        case make_id("POLS"): return read_geometry(s, object, id, buffer, read_pols);
        case make_id("PTAG"): return read_geometry(s, object, id, buffer, read_ptag);
        case make_id("VMAP"): return read_geometry(s, object, id, buffer, read_vmap);
        case make_id("VMAD"): return read_geometry(s, object, id, buffer, read_vmad);
        case make_id("CLIP"): return append(object.clips, read_clip(s));
        case make_id("SURF"): return append(object.surfaces, read_surf(s, options));
        default: return {};
    }
}

// A PTAG that replaces the layer's tags only when they are of type SURF: it
// is read into a scratch layer first.
Status read_surface_ptag(Stream& s, Object& object, std::vector<std::byte>& buffer) {
    Layr scratch;
    LWO_TRY(read_ptag(s, scratch, buffer));
    if (std::holds_alternative<SurfTag>(scratch.ptag.kind)) {
        auto layer = current_layer(object, make_id("PTAG"));
        if (!layer) return std::unexpected(std::move(layer).error());
        (*layer)->ptag = std::move(scratch.ptag);
    }
    return {};
}

// One top-level chunk body of an LWO3 file: the geometry chunks are those of
// LWO2; clips and surfaces are FORMs. Every sample file tags polygons with
// sketch colours (PTAG COLR) beside their surfaces, so only a SURF tag chunk
// sets a layer's tags.
Status read_lwo3_chunk_body(Stream& s, std::uint32_t id, Object& object, const ReadOptions& options,
                            Reading& reading) {
    switch (id) {
        case make_id("CLIP"):
        case make_id("SURF"): return {};
        case make_id("PTAG"): {
            if (object.layers.empty()) return read_geometry(s, object, id, reading.buffer, read_ptag);
            return read_surface_ptag(s, object, reading.buffer);
        }
        case make_id("FORM"): break;
        default: return read_chunk_body(s, id, object, options, reading.buffer);
    }
    std::uint32_t type = 0;
    LWO_TRY(read_field(s, type));
    switch (type) {
        case make_id("CLIP"): return append(object.clips, read_lwo3_clip(s));
        case make_id("SURF"):
            return append(object.surfaces, read_lwo3_surf(s, options, object.surfaces.size(), reading.node_images));
        default: return {};
    }
}

// One top-level chunk body of an LWOB file, whose one layer exists from the
// start.
Status read_lwob_chunk_body(Stream& s, std::uint32_t id, Object& object, const ReadOptions& options,
                            Reading& reading) {
    switch (id) {
        case make_id("PNTS"): return read_pnts(s, object.layers.back(), reading.buffer);
        // The surface names are the tags that polygons name, as TAGS.
        case make_id("SRFS"): return read_tags(s, object);
        case make_id("POLS"): return read_lwob_pols(s, object);
        case make_id("SURF"): return append(object.surfaces, read_lwob_surf(s, object, reading.clips, options));
        default: return {};
    }
}

std::optional<Format> format_of(std::uint32_t type) {
    switch (type) {
        case make_id("LWO2"): return Format::Lwo2;
        case make_id("LWO3"): return Format::Lwo3;
        case make_id("LWOB"): return Format::Lwob;
        default: return std::nullopt;
    }
}

}  // namespace


Result<Object> process(Stream& stream, const ReadOptions& options) {
    const std::uint64_t length = stream.remaining;
    auto header = stream::read_chunk(stream);
    if (!header) return std::unexpected(std::move(header).error());
    // The FORM length is not used: the window the driver set (the file's
    // length) bounds the read.
    if (header->id != make_id("FORM"))
        return std::unexpected(invalid_error(length == 0 ? "the file is empty" : what_is_not_a_form(header->id)));
    return handle_form(stream, options);
}

namespace {

Result<Object> read_form(Stream& stream, Format format, const ReadOptions& options) {
    Object object;
    object.format = format;
    Reading reading;
    if (format == Format::Lwob) object.layers.push_back(Layr::create(0, 0, Vec3{}, "", 0));
    while (stream.remaining != 0) {
        auto header = stream::read_chunk(stream);
        if (!header) return std::unexpected(std::move(header).error());
        LWO_TRY(read_nested(stream, header->length, Level::Chunk, [&] {
            switch (format) {
                case Format::Lwo2: return read_chunk_body(stream, header->id, object, options, reading.buffer);
                case Format::Lwo3: return read_lwo3_chunk_body(stream, header->id, object, options, reading);
                case Format::Lwob: return read_lwob_chunk_body(stream, header->id, object, options, reading);
            }
            return Status{};
        }));
    }
    if (format == Format::Lwo3) finish_lwo3(object, reading.node_images);
    return object;
}

// A damaged LWO3 or LWOB file says which reader met the damage, since the
// chunk names in the messages are mostly those of LWO2.
std::string format_hint(Format format) {
    switch (format) {
        case Format::Lwo2: return {};
        case Format::Lwo3: return "the file was read as an LWO3 object (LightWave 2015 and later)";
        case Format::Lwob: return "the file was read as an LWOB object (LightWave 5 and earlier)";
    }
    return {};
}

}  // namespace

Result<Object> handle_form(Stream& stream, const ReadOptions& options) {
    const bool ends_early = stream.remaining < 4;
    auto type = stream::read_u4(stream);
    if (!type) return std::unexpected(std::move(type).error());
    const std::optional<Format> format = format_of(*type);
    if (!format)
        return std::unexpected(invalid_error(ends_early ? "the file ends inside its FORM header" : what_form_is_not_lwo(*type)));

    Result<Object> object = read_form(stream, *format, options);
    if (!object && object.error().hint.empty()) object.error().hint = format_hint(*format);
    return object;
}

}  // namespace lwofront
