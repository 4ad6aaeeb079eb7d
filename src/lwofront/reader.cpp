// The FORM header and the top-level chunks: tags, layers and their geometry.
// SURF and CLIP bodies are read in surface.cpp.
//
// Each chunk is read inside a window of its own length (chunk.hpp), so a
// handler that loops "until the chunk ends" loops while the window is open.

#include "lwofront/reader.hpp"

#include <algorithm>

#include "lwofront/chunk.hpp"

namespace lwofront {

using namespace detail;
using stream::make_id;
using stream::Stream;

namespace {

Error invalid_error() { return lwo_error(LwoError::Invalid, "IO error"); }

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

// Points are added as they are read, never reserved from the chunk length.
Status read_pnts(Stream& s, Layr& layer) {
    Pnts points;
    while (s.remaining != 0) LWO_TRY(append(points.vec, stream::read_vector3f(s)));
    layer.points = std::move(points);
    return {};
}

Status read_pols(Stream& s, Layr& layer) {
    Pols pols;
    std::uint32_t type = 0;
    LWO_TRY(read_field(s, type));
    pols.kind = kind_of<PolsKind, Face>(type, make_id("FACE"));
    while (s.remaining != 0) {
        std::uint16_t count = 0;
        LWO_TRY(read_field(s, count));
        Polygon polygon;
        polygon.flags = count & 0xFC00;
        const std::size_t corners = count & 0x03FF;
        // One allocation per polygon, for no more corners than the chunk
        // still holds (each takes at least two bytes).
        polygon.vertices.reserve(std::min<std::uint64_t>(corners, s.remaining / 2));
        for (std::size_t i = 0; i < corners; ++i) LWO_TRY(append(polygon.vertices, stream::read_vx(s)));
        pols.polygons.push_back(std::move(polygon));
    }
    layer.pols = std::move(pols);
    return {};
}

Status read_ptag(Stream& s, Layr& layer) {
    Ptag ptag;
    std::uint32_t type = 0;
    LWO_TRY(read_field(s, type));
    ptag.kind = kind_of<PtagKind, SurfTag>(type, make_id("SURF"));
    while (s.remaining != 0) {
        PtagEntry entry;
        // The tag is a plain 2-byte index into TAGS, not a variable-length one.
        LWO_TRY(read_fields(s, Vx{entry.polygon}, entry.tag));
        ptag.entries.push_back(entry);
    }
    layer.ptag = std::move(ptag);
    return {};
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
bool holds_values(const Stream& s, std::uint16_t dimension) { return s.remaining / 4 >= dimension; }

Status read_values(Stream& s, std::uint16_t dimension, std::vector<float>& values) {
    values.resize(dimension);
    for (float& value : values) LWO_TRY(read_field(s, value));
    return {};
}

Status read_vmap(Stream& s, Layr& layer) {
    Vmap vmap;
    LWO_TRY(read_map_header(s, vmap.kind, vmap.dimension, vmap.name));
    while (s.remaining != 0) {
        VmapEntry entry;
        LWO_TRY(read_field(s, Vx{entry.vertex}));
        if (!holds_values(s, vmap.dimension)) break;
        LWO_TRY(read_values(s, vmap.dimension, entry.values));
        vmap.entries.push_back(std::move(entry));
    }
    layer.vmaps.push_back(std::move(vmap));
    return {};
}

Status read_vmad(Stream& s, Layr& layer) {
    Vmad vmad;
    LWO_TRY(read_map_header(s, vmad.kind, vmad.dimension, vmad.name));
    while (s.remaining != 0) {
        VmadEntry entry;
        LWO_TRY(read_fields(s, Vx{entry.vertex}, Vx{entry.polygon}));
        if (!holds_values(s, vmad.dimension)) break;
        LWO_TRY(read_values(s, vmad.dimension, entry.values));
        vmad.entries.push_back(std::move(entry));
    }
    layer.vmads.push_back(std::move(vmad));
    return {};
}

// Geometry belongs to the last layer; before the first LAYR there is none.
Result<Layr*> current_layer(Object& object, std::uint32_t id) {
    if (object.layers.empty()) {
        return std::unexpected(lwo_error(LwoError::NoLayer, id_text(id) + " chunk before any LAYR chunk"));
    }
    return &object.layers.back();
}

template <class Read>
Status read_geometry(Stream& s, Object& object, std::uint32_t id, Read read) {
    auto layer = current_layer(object, id);
    if (!layer) return std::unexpected(std::move(layer).error());
    return read(s, **layer);
}

// One top-level chunk body; chunks not listed are skipped by read_nested.
Status read_chunk_body(Stream& s, std::uint32_t id, Object& object, const ReadOptions& options) {
    switch (id) {
        case make_id("TAGS"): return read_tags(s, object);
        case make_id("LAYR"): return read_layr(s, object);
        case make_id("PNTS"): return read_geometry(s, object, id, read_pnts);
        case make_id("POLS"): return read_geometry(s, object, id, read_pols);
        case make_id("PTAG"): return read_geometry(s, object, id, read_ptag);
        case make_id("VMAP"): return read_geometry(s, object, id, read_vmap);
        case make_id("VMAD"): return read_geometry(s, object, id, read_vmad);
        case make_id("CLIP"): return append(object.clips, read_clip(s));
        case make_id("SURF"): return append(object.surfaces, read_surf(s, options));
        default: return {};
    }
}

}  // namespace

Result<Object> process(Stream& stream, const ReadOptions& options) {
    auto header = stream::read_chunk(stream);
    if (!header) return std::unexpected(std::move(header).error());
    // The FORM length is not used: the window the driver set (the file's
    // length) bounds the read.
    if (header->id != make_id("FORM")) return std::unexpected(invalid_error());
    return handle_form(stream, options);
}

Result<Object> handle_form(Stream& stream, const ReadOptions& options) {
    auto type = stream::read_u4(stream);
    if (!type) return std::unexpected(std::move(type).error());
    if (*type != make_id("LWO2")) return std::unexpected(invalid_error());

    Object object;
    while (stream.remaining != 0) {
        auto header = stream::read_chunk(stream);
        if (!header) return std::unexpected(std::move(header).error());
        LWO_TRY(read_nested(stream, header->length, Level::Chunk,
                            [&] { return read_chunk_body(stream, header->id, object, options); }));
    }
    return object;
}

}  // namespace lwofront
