// The FORM header and the top-level chunks: tags, layers and their geometry
// (whose bodies geometry.cpp takes apart).
// SURF and CLIP bodies are read in surface.cpp, LWO3's CLIP and SURF FORMs in
// lwo3.cpp, LWOB's POLS and SURF in lwob.cpp; an LWO3 file's geometry chunks
// are LWO2's and read here.
//
// Each chunk is read inside a window of its own length (chunk.hpp), so a
// handler that loops "until the chunk ends" loops while the window is open.

#include "lwofront/reader.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "lwofront/chunk.hpp"
#include "lwofront/geometry.hpp"

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

// The part VMAP and VMAD share: type, dimension, name.
Status read_map_header(Stream& s, VmapKind& kind, std::uint16_t& dimension, std::string& name) {
    std::uint32_t type = 0;
    LWO_TRY(read_fields(s, type, dimension, name));
    kind = kind_of<VmapKind, Txuv>(type, make_id("TXUV"));
    return {};
}

// Geometry belongs to the last layer; before the first LAYR there is none.
Result<Layr*> current_layer(Object& object, std::uint32_t id) {
    if (object.layers.empty()) {
        return std::unexpected(lwo_error(LwoError::NoLayer, id_text(id) + " chunk before any LAYR chunk"));
    }
    return &object.layers.back();
}

// What a read keeps between chunks besides the object.
struct Reading {
    GeometryReading geometry;
    std::vector<NodeImage> node_images;  // LWO3
    ClipsByFile clips;                   // LWOB
};

// A geometry chunk (PNTS, POLS, PTAG, VMAP, VMAD) of the last layer: a map's
// header read here, the body read whole and handed on to be parsed.
Status read_geometry(Stream& s, Object& object, std::uint32_t id, Reading& reading, bool surface_tags_only = false) {
    auto layer = current_layer(object, id);
    if (!layer) return std::unexpected(std::move(layer).error());
    Geometry geometry;
    switch (id) {
        case make_id("PNTS"): geometry = Pnts{}; break;
        case make_id("POLS"): geometry = Pols{}; break;
        case make_id("PTAG"): geometry = Ptag{}; break;
        case make_id("VMAP"): {
            Vmap vmap;
            LWO_TRY(read_map_header(s, vmap.kind, vmap.dimension, vmap.name));
            geometry = std::move(vmap);
            break;
        }
        case make_id("VMAD"): {
            Vmad vmad;
            LWO_TRY(read_map_header(s, vmad.kind, vmad.dimension, vmad.name));
            geometry = std::move(vmad);
            break;
        }
        default: assert(false && "not a geometry chunk"); return {};
    }
    std::vector<std::byte> body;
    LWO_TRY(read_rest(s, body));
    reading.geometry.add(object, object.layers.size() - 1, std::move(body), std::move(geometry), surface_tags_only);
    return {};
}

// One top-level chunk body of an LWO2 file; chunks not listed are skipped by
// read_nested.
Status read_chunk_body(Stream& s, std::uint32_t id, Object& object, const ReadOptions& options, Reading& reading) {
    switch (id) {
        case make_id("TAGS"): return read_tags(s, object);
        case make_id("LAYR"): return read_layr(s, object);
        case make_id("PNTS"):
        case make_id("POLS"):
        case make_id("PTAG"):
        case make_id("VMAP"):
        case make_id("VMAD"): return read_geometry(s, object, id, reading);
        case make_id("CLIP"): return append(object.clips, read_clip(s));
        case make_id("SURF"): return append(object.surfaces, read_surf(s, options));
        default: return {};
    }
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
        case make_id("PTAG"): return read_geometry(s, object, id, reading, /*surface_tags_only=*/true);
        case make_id("FORM"): break;
        default: return read_chunk_body(s, id, object, options, reading);
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
        case make_id("PNTS"): return read_geometry(s, object, id, reading);
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
                case Format::Lwo2: return read_chunk_body(stream, header->id, object, options, reading);
                case Format::Lwo3: return read_lwo3_chunk_body(stream, header->id, object, options, reading);
                case Format::Lwob: return read_lwob_chunk_body(stream, header->id, object, options, reading);
            }
            return Status{};
        }));
    }
    reading.geometry.finish(object);
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
