// The bodies of CLIP and SURF chunks, with the texture blocks (BLOK) of a
// surface. Sub-chunk names are matched only at their own level: the header
// sub-chunks (CHAN, ENAB, OPAC) inside an IMAP header, the block attributes
// after it, the texture-map attributes inside a TMAP. Anything else is skipped.

#include "lwofront/chunk.hpp"
#include "warning_line.hpp"

namespace lwofront::detail {

using stream::make_id;
using stream::Stream;

namespace {

// The fields of each attribute, in file order. Envelope and image indices
// are variable-length.
Status read_attr(Stream& s, Colr& a) { return read_fields(s, a.color, Vx{a.envelope}); }
Status read_attr(Stream& s, Diff& a) { return read_fields(s, a.value, Vx{a.envelope}); }
Status read_attr(Stream& s, Spec& a) { return read_fields(s, a.value, Vx{a.envelope}); }
Status read_attr(Stream& s, Glos& a) { return read_fields(s, a.value, Vx{a.envelope}); }

Status read_attr(Stream& s, Chan& a) { return read_fields(s, a.channel); }
Status read_attr(Stream& s, Enab& a) { return read_fields(s, a.enable); }
Status read_attr(Stream& s, Opac& a) { return read_fields(s, a.type, a.opacity, Vx{a.envelope}); }

Status read_attr(Stream& s, Cntr& a) { return read_fields(s, a.vector, Vx{a.envelope}); }
Status read_attr(Stream& s, Size& a) { return read_fields(s, a.vector, Vx{a.envelope}); }
Status read_attr(Stream& s, Rota& a) { return read_fields(s, a.vector, Vx{a.envelope}); }
Status read_attr(Stream& s, Oref& a) { return read_fields(s, a.name); }
Status read_attr(Stream& s, Fall& a) { return read_fields(s, a.type, a.vector, Vx{a.envelope}); }
Status read_attr(Stream& s, Csys& a) { return read_fields(s, a.type); }

Status read_attr(Stream& s, Proj& a) { return read_fields(s, a.mode); }
Status read_attr(Stream& s, Axis& a) { return read_fields(s, a.axis); }
Status read_attr(Stream& s, Imag& a) { return read_fields(s, Vx{a.image}); }
Status read_attr(Stream& s, Wrap& a) { return read_fields(s, a.width_wrap, a.height_wrap); }
Status read_attr(Stream& s, Wrpw& a) { return read_fields(s, a.cycles, Vx{a.envelope}); }
Status read_attr(Stream& s, Wrph& a) { return read_fields(s, a.cycles, Vx{a.envelope}); }
Status read_attr(Stream& s, VmapName& a) { return read_fields(s, a.name); }
Status read_attr(Stream& s, Aast& a) { return read_fields(s, a.flags, a.strength); }
Status read_attr(Stream& s, Pixb& a) { return read_fields(s, a.flags); }

Status read_attr(Stream& s, Tmap& tmap);

// Reads one attribute of the given kind and appends it.
template <class Attr, class List>
Status add(Stream& s, List& list) {
    Attr attr;
    LWO_TRY(read_attr(s, attr));
    list.push_back(std::move(attr));
    return {};
}

}  // namespace

Status read_header_field(Stream& s, std::uint32_t id, BlokHeader& header) {
    auto& list = header.attributes;
    switch (id) {
        case make_id("CHAN"): return add<Chan>(s, list);
        case make_id("ENAB"): return add<Enab>(s, list);
        case make_id("OPAC"): return add<Opac>(s, list);
        default: return {};
    }
}

Status read_tmap_field(Stream& s, std::uint32_t id, Tmap& tmap) {
    auto& list = tmap.attributes;
    switch (id) {
        case make_id("CNTR"): return add<Cntr>(s, list);
        case make_id("SIZE"): return add<Size>(s, list);
        case make_id("ROTA"): return add<Rota>(s, list);
        case make_id("OREF"): return add<Oref>(s, list);
        case make_id("FALL"): return add<Fall>(s, list);
        case make_id("CSYS"): return add<Csys>(s, list);
        default: return {};
    }
}

Status read_blok_field(Stream& s, std::uint32_t id, Blok& blok) {
    auto& list = blok.attributes;
    switch (id) {
        case make_id("TMAP"): return add<Tmap>(s, list);
        case make_id("PROJ"): return add<Proj>(s, list);
        case make_id("AXIS"): return add<Axis>(s, list);
        case make_id("IMAG"): return add<Imag>(s, list);
        case make_id("WRAP"): return add<Wrap>(s, list);
        case make_id("WRPW"): return add<Wrpw>(s, list);
        case make_id("WRPH"): return add<Wrph>(s, list);
        case make_id("VMAP"): return add<VmapName>(s, list);
        case make_id("AAST"): return add<Aast>(s, list);
        case make_id("PIXB"): return add<Pixb>(s, list);
        default: return {};
    }
}

Status refuse_block(std::uint32_t header_id, const std::string& surface, const ReadOptions& options) {
    if (!options.skip_unknown_blocks) {
        Error error = lwo_error(LwoError::UnknownBlokHeader, "Unknown BLOK header");
        error.hint = "surface " + surface + " has a texture block (" + id_text(header_id) +
                     ") that is not an image map; -k skips such blocks with a warning";
        return std::unexpected(std::move(error));
    }
    if (options.warn)
        options.warn(warning_line("Warning: skipped texture block " + id_text(header_id) + " of surface " + surface +
                                  ": not an image map\n"));
    return {};
}

namespace {

Status read_blok(Stream& s, Surf& surf, const ReadOptions& options);

Status read_surf_attr(Stream& s, std::uint32_t id, Surf& surf, const ReadOptions& options) {
    auto& list = surf.attributes;
    switch (id) {
        case make_id("COLR"): return add<Colr>(s, list);
        case make_id("DIFF"): return add<Diff>(s, list);
        case make_id("SPEC"): return add<Spec>(s, list);
        case make_id("GLOS"): return add<Glos>(s, list);
        case make_id("BLOK"): return read_blok(s, surf, options);
        case make_id("SMAN"): return read_field(s, surf.smoothing_angle);
        case make_id("SIDE"): return read_field(s, surf.sides);
        default: return {};
    }
}

Status read_attr(Stream& s, Tmap& tmap) {
    return read_subchunks(s, [&](std::uint32_t id) { return read_tmap_field(s, id, tmap); });
}

// The block header sub-chunk: only image maps (IMAP) are read. Returns the
// header's identifier.
Result<std::uint32_t> read_blok_header(Stream& s, BlokHeader& header) {
    auto sub = stream::read_subchunk(s);
    if (!sub) return std::unexpected(std::move(sub).error());
    LWO_TRY(read_nested(s, sub->length, Level::Subchunk, [&]() -> Status {
        if (sub->id != make_id("IMAP")) return {};
        header.kind = BlokHeaderKind::Imap;
        LWO_TRY(take(stream::read_ordinal(s), header.ordinal));
        return read_subchunks(s, [&](std::uint32_t id) { return read_header_field(s, id, header); });
    }));
    return sub->id;
}

// A block that is not an image map fails the read, or with -k is passed
// over (read_nested skips what is left of it) with a warning.
Status read_blok(Stream& s, Surf& surf, const ReadOptions& options) {
    Blok blok;
    auto header_id = read_blok_header(s, blok.header);
    if (!header_id) return std::unexpected(std::move(header_id).error());
    if (*header_id != make_id("IMAP")) return refuse_block(*header_id, surf.name, options);
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) { return read_blok_field(s, id, blok); }));
    surf.attributes.push_back(std::move(blok));
    return {};
}

}  // namespace

Result<Clip> read_clip(Stream& s) {
    Clip clip;
    LWO_TRY(read_field(s, clip.index));
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) -> Status {
        if (id != make_id("STIL")) return {};
        return append(clip.stills, stream::read_string(s));
    }));
    return clip;
}

Result<Surf> read_surf(Stream& s, const ReadOptions& options) {
    Surf surf;
    LWO_TRY(read_fields(s, surf.name, surf.source));
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) { return read_surf_attr(s, id, surf, options); }));
    return surf;
}

}  // namespace lwofront::detail
