// The chunks of an LWOB file, the format of LightWave 5 and earlier, read into
// the records of an LWO2 object: the file's one layer; SRFS, the surface
// names, as the tags; POLS with each polygon's surface as a SURF tag; SURF with
// its byte colour, flags and the image of its colour texture.
//
// LWOB stores no texture coordinates: a colour texture is mapped by a
// projection (planar, cylindrical, ...), which becomes a block with that
// projection, its axis, size and centre. Its image becomes a clip, one per
// file name.

#include <array>
#include <optional>

#include "lwofront/chunk.hpp"

namespace lwofront::detail {

using stream::make_id;
using stream::Stream;

namespace {

// LightWave's smoothing angle for a smoothed surface without SMAN: 89.5°.
constexpr float kDefaultSmoothing = 1.5620696f;

constexpr std::uint16_t kSmoothingFlag = 4;
constexpr std::uint16_t kDoubleSidedFlag = 256;

// The projection a texture's mapping names, or none for a procedural one.
std::optional<std::uint16_t> projection_of(const std::string& mapping) {
    static const std::array<const char*, 5> kNames = {"Planar Image Map", "Cylindrical Image Map",
                                                      "Spherical Image Map", "Cubic Image Map",
                                                      "Front Projection Image Map"};
    for (std::size_t mode = 0; mode < kNames.size(); ++mode)
        if (mapping == kNames[mode]) return std::uint16_t(mode);
    return std::nullopt;
}

// A colour texture while its sub-chunks are read.
struct Texture {
    std::uint16_t projection = 0;
    std::uint16_t axis_flags = 0;  // TFLG: 1 X, 2 Y, 4 Z
    Vec3 size{1, 1, 1};
    Vec3 centre;
    std::string image;
};

std::uint16_t axis_of(std::uint16_t flags) {
    if (flags & 4) return 2;
    if (flags & 2) return 1;
    return 0;
}

// The clip position of an image file, adding the clip on first use.
std::size_t clip_of(Object& object, ClipsByFile& clips, const std::string& file) {
    auto [found, added] = clips.try_emplace(file, object.clips.size());
    if (added) object.clips.push_back(Clip{0, {file}});
    return found->second;
}

// The block of a finished texture; a texture without an image gives none.
void add_texture(Surf& surf, Object& object, ClipsByFile& clips, const Texture& texture) {
    if (texture.image.empty() || texture.image == "(none)") return;
    Blok blok;
    Tmap tmap;
    tmap.attributes.push_back(Cntr{texture.centre, 0});
    tmap.attributes.push_back(Size{texture.size, 0});
    blok.attributes.push_back(std::move(tmap));
    blok.attributes.push_back(Proj{texture.projection});
    blok.attributes.push_back(Axis{axis_of(texture.axis_flags)});
    blok.attributes.push_back(Imag{std::uint32_t(clip_of(object, clips, texture.image) + 1)});
    surf.attributes.push_back(std::move(blok));
}

Status read_colr(Stream& s, Surf& surf) {
    std::array<float, 3> rgb{};
    for (float& channel : rgb) {
        auto byte = stream::read_u1(s);
        if (!byte) return std::unexpected(std::move(byte).error());
        channel = float(*byte) / 255.0f;
    }
    surf.attributes.push_back(Colr{Vec3{rgb[0], rgb[1], rgb[2]}, 0});
    return {};
}

bool is_texture(std::uint32_t id) {
    switch (id) {
        case make_id("CTEX"):
        case make_id("DTEX"):
        case make_id("STEX"):
        case make_id("RTEX"):
        case make_id("TTEX"):
        case make_id("LTEX"):
        case make_id("BTEX"): return true;
        default: return false;
    }
}

}  // namespace

Status read_lwob_pols(Stream& s, Object& object) {
    Pols pols;
    pols.kind = Face{};
    Ptag ptag;
    ptag.kind = SurfTag{};
    while (s.remaining != 0) {
        std::uint16_t count = 0;
        LWO_TRY(read_field(s, count));
        if (count > 1023)
            return std::unexpected(lwo_error(LwoError::Damaged, "POLS chunk holds a polygon of more than 1023 points"));
        for (std::uint16_t k = 0; k < count; ++k) {
            std::uint16_t point = 0;
            LWO_TRY(read_field(s, point));
            pols.polygons.add_corner(point);
        }
        std::uint16_t surface_word = 0;
        LWO_TRY(read_field(s, surface_word));
        int surface = static_cast<std::int16_t>(surface_word);
        // A negative surface number is followed by the count of the detail
        // polygons, which follow in the same layout and are read like the
        // others.
        if (surface < 0) {
            surface = -surface;
            std::uint16_t details = 0;
            LWO_TRY(read_field(s, details));
        }
        const std::uint32_t polygon = std::uint32_t(pols.polygons.size());
        pols.polygons.end_polygon(0);
        // Surface 0 names none: the polygon has no tag.
        if (surface != 0) ptag.entries.push_back({polygon, std::uint16_t(surface - 1)});
    }
    Layr& layer = object.layers.back();
    layer.pols = std::move(pols);
    layer.ptag = std::move(ptag);
    return {};
}

Result<Surf> read_lwob_surf(Stream& s, Object& object, ClipsByFile& clips, const ReadOptions& options) {
    Surf surf;
    LWO_TRY(read_field(s, surf.name));
    std::uint16_t flags = 0;
    std::optional<float> smoothing;
    // The colour texture being read; the sub-chunks of other textures
    // (diffuse, specular, ...) go nowhere.
    std::optional<Texture> texture;
    LWO_TRY(read_subchunks(s, [&](std::uint32_t id) -> Status {
        if (is_texture(id)) {
            if (texture) add_texture(surf, object, clips, *texture);
            texture.reset();
            if (id != make_id("CTEX")) return {};
            std::string mapping;
            LWO_TRY(read_field(s, mapping));
            const std::optional<std::uint16_t> projection = projection_of(mapping);
            if (!projection) return refuse_block(id, surf.name, options);
            texture = Texture{};
            texture->projection = *projection;
            return {};
        }
        switch (id) {
            case make_id("COLR"): return read_colr(s, surf);
            case make_id("FLAG"): return read_field(s, flags);
            case make_id("SMAN"): {
                float angle = 0;
                LWO_TRY(read_field(s, angle));
                smoothing = angle;
                return {};
            }
            default: break;
        }
        if (!texture) return {};
        switch (id) {
            case make_id("TIMG"): return read_field(s, texture->image);
            case make_id("TFLG"): return read_field(s, texture->axis_flags);
            case make_id("TSIZ"): return read_field(s, texture->size);
            case make_id("TCTR"): return read_field(s, texture->centre);
            default: return {};
        }
    }));
    if (texture) add_texture(surf, object, clips, *texture);
    if (flags & kSmoothingFlag) surf.smoothing_angle = smoothing.value_or(kDefaultSmoothing);
    if (flags & kDoubleSidedFlag) surf.sides = 3;
    return surf;
}

}  // namespace lwofront::detail
