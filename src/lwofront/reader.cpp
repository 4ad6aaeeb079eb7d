// The FORM header and the top-level chunks: tags, layers and their geometry.
// SURF and CLIP bodies are read in surface.cpp.
//
// Each chunk is read inside a window of its own length (chunk.hpp), so a
// handler that loops "until the chunk ends" loops while the window is open.

#include "lwofront/reader.hpp"

#include "lwofront/chunk.hpp"

namespace lwofront {

using namespace detail;
using stream::make_id;
using stream::Stream;

namespace {

Error invalid_error() { return lwo_error(LwoError::Invalid, "IO error"); }

Status read_tags(Stream& s, Object& object) {
    std::vector<std::string> tags;
    while (s.remaining != 0) {
        auto tag = stream::read_string(s);
        if (!tag) return std::unexpected(std::move(tag).error());
        tags.push_back(std::move(*tag));
    }
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
    while (s.remaining != 0) {
        Vec3 point;
        LWO_TRY(read_field(s, point));
        points.vec.push_back(point);
    }
    layer.points = std::move(points);
    return {};
}

Status read_pols(Stream& s, Layr& layer) {
    Pols pols;
    std::uint32_t type = 0;
    LWO_TRY(read_field(s, type));
    if (type == make_id("FACE")) {
        pols.kind = Face{};
    } else {
        pols.kind = OtherType{type};
    }
    while (s.remaining != 0) {
        std::uint16_t count = 0;
        LWO_TRY(read_field(s, count));
        Polygon polygon;
        polygon.flags = count & 0xFC00;
        for (int i = 0; i < (count & 0x03FF); ++i) {
            std::uint32_t vertex = 0;
            LWO_TRY(read_field(s, Vx{vertex}));
            polygon.vertices.push_back(vertex);
        }
        pols.polygons.push_back(std::move(polygon));
    }
    layer.pols = std::move(pols);
    return {};
}

Status read_ptag(Stream& s, Layr& layer) {
    Ptag ptag;
    std::uint32_t type = 0;
    LWO_TRY(read_field(s, type));
    if (type == make_id("SURF")) {
        ptag.kind = SurfTag{};
    } else {
        ptag.kind = OtherType{type};
    }
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
    if (type == make_id("TXUV")) {
        kind = Txuv{};
    } else {
        kind = OtherType{type};
    }
    return {};
}

// Reads `dimension` values into `values`. An entry whose values the chunk
// does not hold in full is cut short: the caller drops it, so that a dimension
// read from the file never sizes memory the file does not back.
Result<bool> read_map_values(Stream& s, std::uint16_t dimension, std::vector<float>& values) {
    if (s.remaining / 4 < dimension) return false;
    values.resize(dimension);
    for (float& value : values) LWO_TRY(read_field(s, value));
    return true;
}

Status read_vmap(Stream& s, Layr& layer) {
    Vmap vmap;
    LWO_TRY(read_map_header(s, vmap.kind, vmap.dimension, vmap.name));
    while (s.remaining != 0) {
        VmapEntry entry;
        LWO_TRY(read_field(s, Vx{entry.vertex}));
        auto whole = read_map_values(s, vmap.dimension, entry.values);
        if (!whole) return std::unexpected(std::move(whole).error());
        if (!*whole) break;
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
        auto whole = read_map_values(s, vmad.dimension, entry.values);
        if (!whole) return std::unexpected(std::move(whole).error());
        if (!*whole) break;
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
Status read_chunk_body(Stream& s, std::uint32_t id, Object& object) {
    switch (id) {
        case make_id("TAGS"): return read_tags(s, object);
        case make_id("LAYR"): return read_layr(s, object);
        case make_id("PNTS"): return read_geometry(s, object, id, read_pnts);
        case make_id("POLS"): return read_geometry(s, object, id, read_pols);
        case make_id("PTAG"): return read_geometry(s, object, id, read_ptag);
        case make_id("VMAP"): return read_geometry(s, object, id, read_vmap);
        case make_id("VMAD"): return read_geometry(s, object, id, read_vmad);
        case make_id("CLIP"): {
            auto clip = read_clip(s);
            if (!clip) return std::unexpected(std::move(clip).error());
            object.clips.push_back(std::move(*clip));
            return {};
        }
        case make_id("SURF"): {
            auto surf = read_surf(s);
            if (!surf) return std::unexpected(std::move(surf).error());
            object.surfaces.push_back(std::move(*surf));
            return {};
        }
        default: return {};
    }
}

}  // namespace

Result<Object> process(Stream& stream) {
    auto header = stream::read_chunk(stream);
    if (!header) return std::unexpected(std::move(header).error());
    // The FORM length is not used: the window the driver set (the file's
    // length) bounds the read.
    if (header->id != make_id("FORM")) return std::unexpected(invalid_error());
    return handle_form(stream);
}

Result<Object> handle_form(Stream& stream) {
    auto type = stream::read_u4(stream);
    if (!type) return std::unexpected(std::move(type).error());
    if (*type != make_id("LWO2")) return std::unexpected(invalid_error());

    Object object;
    while (stream.remaining != 0) {
        auto header = stream::read_chunk(stream);
        if (!header) return std::unexpected(std::move(header).error());
        LWO_TRY(read_nested(stream, header->length, Level::Chunk,
                            [&] { return read_chunk_body(stream, header->id, object); }));
    }
    return object;
}

}  // namespace lwofront
