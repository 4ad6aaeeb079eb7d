// The bodies of CLIP and SURF chunks, with the texture blocks (BLOK) of a
// surface. Sub-chunk names are matched only at their own level: the header
// sub-chunks (CHAN, ENAB, OPAC) inside an IMAP header, the block attributes
// after it, the texture-map attributes inside a TMAP. Anything else is skipped.

#include "lwofront/chunk.hpp"

namespace lwofront::detail {

using stream::make_id;
using stream::Stream;

namespace {

Status read_header_attr(Stream& s, std::uint32_t id, BlokHeader& header) {
    switch (id) {
        case make_id("CHAN"): {
            Chan chan;
            LWO_TRY(read_field(s, chan.channel));
            header.attributes.push_back(chan);
            return {};
        }
        case make_id("ENAB"): {
            Enab enab;
            LWO_TRY(read_field(s, enab.enable));
            header.attributes.push_back(enab);
            return {};
        }
        case make_id("OPAC"): {
            Opac opac;
            LWO_TRY(read_fields(s, opac.type, opac.opacity, Vx{opac.envelope}));
            header.attributes.push_back(opac);
            return {};
        }
        default: return {};
    }
}

Status read_tmap_attr(Stream& s, std::uint32_t id, Tmap& tmap) {
    switch (id) {
        case make_id("CNTR"): {
            Cntr cntr;
            LWO_TRY(read_fields(s, cntr.vector, Vx{cntr.envelope}));
            tmap.attributes.push_back(cntr);
            return {};
        }
        case make_id("SIZE"): {
            Size size;
            LWO_TRY(read_fields(s, size.vector, Vx{size.envelope}));
            tmap.attributes.push_back(size);
            return {};
        }
        case make_id("ROTA"): {
            Rota rota;
            LWO_TRY(read_fields(s, rota.vector, Vx{rota.envelope}));
            tmap.attributes.push_back(rota);
            return {};
        }
        case make_id("OREF"): {
            Oref oref;
            LWO_TRY(read_field(s, oref.name));
            tmap.attributes.push_back(std::move(oref));
            return {};
        }
        case make_id("FALL"): {
            Fall fall;
            LWO_TRY(read_fields(s, fall.type, fall.vector, Vx{fall.envelope}));
            tmap.attributes.push_back(fall);
            return {};
        }
        case make_id("CSYS"): {
            Csys csys;
            LWO_TRY(read_field(s, csys.type));
            tmap.attributes.push_back(csys);
            return {};
        }
        default: return {};
    }
}

Status read_blok_attr(Stream& s, std::uint32_t id, Blok& blok) {
    switch (id) {
        case make_id("TMAP"): {
            Tmap tmap;
            LWO_TRY(read_subchunks(s, [&](std::uint32_t sub) { return read_tmap_attr(s, sub, tmap); }));
            blok.attributes.push_back(std::move(tmap));
            return {};
        }
        case make_id("PROJ"): {
            Proj proj;
            LWO_TRY(read_field(s, proj.mode));
            blok.attributes.push_back(proj);
            return {};
        }
        case make_id("AXIS"): {
            Axis axis;
            LWO_TRY(read_field(s, axis.axis));
            blok.attributes.push_back(axis);
            return {};
        }
        case make_id("IMAG"): {
            Imag imag;
            LWO_TRY(read_field(s, Vx{imag.image}));
            blok.attributes.push_back(imag);
            return {};
        }
        case make_id("WRAP"): {
            Wrap wrap;
            LWO_TRY(read_fields(s, wrap.width_wrap, wrap.height_wrap));
            blok.attributes.push_back(wrap);
            return {};
        }
        case make_id("WRPW"): {
            Wrpw wrpw;
            LWO_TRY(read_fields(s, wrpw.cycles, Vx{wrpw.envelope}));
            blok.attributes.push_back(wrpw);
            return {};
        }
        case make_id("WRPH"): {
            Wrph wrph;
            LWO_TRY(read_fields(s, wrph.cycles, Vx{wrph.envelope}));
            blok.attributes.push_back(wrph);
            return {};
        }
        case make_id("VMAP"): {
            VmapName vmap;
            LWO_TRY(read_field(s, vmap.name));
            blok.attributes.push_back(std::move(vmap));
            return {};
        }
        case make_id("AAST"): {
            Aast aast;
            LWO_TRY(read_fields(s, aast.flags, aast.strength));
            blok.attributes.push_back(aast);
            return {};
        }
        case make_id("PIXB"): {
            Pixb pixb;
            LWO_TRY(read_field(s, pixb.flags));
            blok.attributes.push_back(pixb);
            return {};
        }
        default: return {};
    }
}

// The block header sub-chunk: only image maps (IMAP) are read.
Status read_blok_header(Stream& s, BlokHeader& header) {
    auto sub = stream::read_subchunk(s);
    if (!sub) return std::unexpected(std::move(sub).error());
    return read_nested(s, sub->length, Level::Subchunk, [&]() -> Status {
        if (sub->id != make_id("IMAP")) {
            return std::unexpected(lwo_error(LwoError::UnknownBlokHeader, "Unknown BLOK header"));
        }
        header.kind = BlokHeaderKind::Imap;
        auto ordinal = stream::read_ordinal(s);
        if (!ordinal) return std::unexpected(std::move(ordinal).error());
        header.ordinal = std::move(*ordinal);
        return read_subchunks(s, [&](std::uint32_t id) { return read_header_attr(s, id, header); });
    });
}

Result<Blok> read_blok(Stream& s) {
    Blok blok;
    LWO_TRY(read_blok_header(s, blok.header));
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) { return read_blok_attr(s, id, blok); }));
    return blok;
}

Status read_surf_attr(Stream& s, std::uint32_t id, Surf& surf) {
    switch (id) {
        case make_id("COLR"): {
            Colr colr;
            LWO_TRY(read_fields(s, colr.color, Vx{colr.envelope}));
            surf.attributes.push_back(colr);
            return {};
        }
        case make_id("DIFF"): {
            Diff diff;
            LWO_TRY(read_fields(s, diff.value, Vx{diff.envelope}));
            surf.attributes.push_back(diff);
            return {};
        }
        case make_id("SPEC"): {
            Spec spec;
            LWO_TRY(read_fields(s, spec.value, Vx{spec.envelope}));
            surf.attributes.push_back(spec);
            return {};
        }
        case make_id("GLOS"): {
            Glos glos;
            LWO_TRY(read_fields(s, glos.value, Vx{glos.envelope}));
            surf.attributes.push_back(glos);
            return {};
        }
        case make_id("BLOK"): {
            auto blok = read_blok(s);
            if (!blok) return std::unexpected(std::move(blok).error());
            surf.attributes.push_back(std::move(*blok));
            return {};
        }
        default: return {};
    }
}

}  // namespace

Result<Clip> read_clip(Stream& s) {
    Clip clip;
    LWO_TRY(read_field(s, clip.index));
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) -> Status {
        if (id != make_id("STIL")) return {};
        std::string still;
        LWO_TRY(read_field(s, still));
        clip.stills.push_back(std::move(still));
        return {};
    }));
    return clip;
}

Result<Surf> read_surf(Stream& s) {
    Surf surf;
    LWO_TRY(read_fields(s, surf.name, surf.source));
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) { return read_surf_attr(s, id, surf); }));
    return surf;
}

}  // namespace lwofront::detail
