#pragma once
// The parsed object: plain records in file order, mirroring the chunks of an
// LWO2 file. LWO3 and LWOB files are read into the same records (reader.hpp).
// Four-character identifiers are u32 with the first character in the top byte.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "lwofront/runs.hpp"
#include "vec3.hpp"

namespace lwofront {

using ::Vec3;

struct Pnts {
    std::vector<Vec3> vec;
    std::vector<Vec3>& get_vec_mut() { return vec; }
};

// A polygon as its layer holds it: the flags, and its corners viewed in the
// layer's one corner array (valid while that list is neither changed nor
// destroyed).
struct Polygon {
    std::uint16_t flags = 0;                  // top six bits of the count word, in place
    std::span<const std::uint32_t> vertices;  // point indices, at most 1023
};

// The polygons of a layer, in file order, stored flat (runs.hpp); a layer
// without polygons holds no storage for them.
class PolygonList : public ViewList<PolygonList> {
public:
    std::size_t size() const { return lists_.get() ? lists_.get()->flags.size() : 0; }
    Polygon operator[](std::size_t i) const {
        const Lists& lists = *lists_.get();
        return {lists.flags[i], lists.corners[i]};
    }

    // Copies the corners in.
    void push_back(const Polygon& polygon) {
        Lists& lists = lists_.made();
        lists.flags.push_back(polygon.flags);
        lists.corners.push_back(polygon.vertices);
    }
    // Building a polygon in place: its corners, then its flags.
    void add_corner(std::uint32_t point) { lists_.made().corners.add_item(point); }
    void end_polygon(std::uint16_t flags) {
        Lists& lists = lists_.made();
        lists.flags.push_back(flags);
        lists.corners.close_run();
    }
    // Room for the counted polygons and corners; an empty list stays unmade.
    void reserve(std::size_t polygons, std::size_t corners) {
        if (polygons == 0) return;
        Lists& lists = lists_.made();
        lists.flags.reserve(polygons);
        lists.corners.reserve(polygons, corners);
    }
    void clear() { lists_ = {}; }

private:
    struct Lists {
        std::vector<std::uint16_t> flags;
        Runs<std::uint32_t> corners;
    };
    Lazy<Lists> lists_;
};

// Each kind is the named type or Other with its identifier. A new Pols or
// Ptag holds Other with identifier 0.
struct OtherType {
    std::uint32_t id = 0;
};
struct Face {};
struct SurfTag {};
struct Txuv {};
using PolsKind = std::variant<OtherType, Face>;
using PtagKind = std::variant<OtherType, SurfTag>;
using VmapKind = std::variant<OtherType, Txuv>;

struct Pols {
    PolsKind kind;
    PolygonList polygons;
};

struct PtagEntry {
    std::uint32_t polygon = 0;
    std::uint16_t tag = 0;  // position in Object::tags, not checked when read
};

struct Ptag {
    PtagKind kind;
    LazyVector<PtagEntry> entries;
};

// A map entry as its map holds it, its values viewed in the map's one value
// array (valid while the entry list is neither changed nor destroyed).
struct VmapEntry {
    std::uint32_t vertex = 0;
    std::span<const float> values;  // `dimension` values as read
};

// The entries of a VMAP, in file order, stored flat.
class VmapEntries : public ViewList<VmapEntries> {
public:
    std::size_t size() const { return vertices_.size(); }
    VmapEntry operator[](std::size_t i) const { return {vertices_[i], values_[i]}; }

    // Copies the values in.
    void push_back(const VmapEntry& entry) {
        vertices_.push_back(entry.vertex);
        values_.push_back(entry.values);
    }
    // Building an entry in place: its values, then its point.
    void add_value(float value) { values_.add_item(value); }
    void end_entry(std::uint32_t vertex) {
        vertices_.push_back(vertex);
        values_.close_run();
    }
    void reserve(std::size_t entries, std::size_t values) {
        vertices_.reserve(entries);
        values_.reserve(entries, values);
    }
    void clear() {
        vertices_.clear();
        values_.clear();
    }

private:
    std::vector<std::uint32_t> vertices_;
    Runs<float> values_;
};

struct Vmap {
    VmapKind kind;
    std::uint16_t dimension = 0;
    std::string name;
    VmapEntries entries;

    // The entries for the given point indices, in their order; a point
    // without an entry adds nothing.
    std::vector<VmapEntry> collect_refs(std::span<const std::uint32_t> indices) const;
};

struct VmadEntry {
    std::uint32_t vertex = 0;
    std::uint32_t polygon = 0;
    std::span<const float> values;
};

// The entries of a VMAD, in file order, stored flat.
class VmadEntries : public ViewList<VmadEntries> {
public:
    std::size_t size() const { return vertices_.size(); }
    VmadEntry operator[](std::size_t i) const { return {vertices_[i], polygons_[i], values_[i]}; }

    // Copies the values in.
    void push_back(const VmadEntry& entry) {
        vertices_.push_back(entry.vertex);
        polygons_.push_back(entry.polygon);
        values_.push_back(entry.values);
    }
    // Building an entry in place: its values, then its point and polygon.
    void add_value(float value) { values_.add_item(value); }
    void end_entry(std::uint32_t vertex, std::uint32_t polygon) {
        vertices_.push_back(vertex);
        polygons_.push_back(polygon);
        values_.close_run();
    }
    void reserve(std::size_t entries, std::size_t values) {
        vertices_.reserve(entries);
        polygons_.reserve(entries);
        values_.reserve(entries, values);
    }

private:
    std::vector<std::uint32_t> vertices_;
    std::vector<std::uint32_t> polygons_;
    Runs<float> values_;
};

struct Vmad {
    VmapKind kind;
    std::uint16_t dimension = 0;
    std::string name;
    VmadEntries entries;
};

inline bool is_txuv(const VmapKind& kind) { return std::holds_alternative<Txuv>(kind); }

struct Layr {
    static Layr create(std::uint16_t number, std::uint16_t flags, Vec3 pivot, std::string_view name,
                       std::uint16_t parent);
    Pnts& get_points_mut() { return points; }

    std::uint16_t number = 0;
    std::uint16_t flags = 0;
    Vec3 pivot;
    std::string name;
    std::uint16_t parent = 0;
    Pnts points;
    LazyVector<Vmap> vmaps;
    LazyVector<Vmad> vmads;
    Pols pols;
    Ptag ptag;
};

struct Clip {
    std::uint32_t index = 0;
    std::vector<std::string> stills;
};

// Surface attributes. Envelope and image indices are variable-length in the
// file and held widened.
struct Colr {
    Vec3 color;
    std::uint32_t envelope = 0;
};
struct Diff {
    float value = 0;
    std::uint32_t envelope = 0;
};
struct Spec {
    float value = 0;
    std::uint32_t envelope = 0;
};
struct Glos {
    float value = 0;
    std::uint32_t envelope = 0;
};

struct Chan {
    std::uint32_t channel = 0;
};
struct Enab {
    std::uint16_t enable = 0;
};
struct Opac {
    std::uint16_t type = 0;
    float opacity = 0;
    std::uint32_t envelope = 0;
};
using BlokHeaderAttr = std::variant<Chan, Enab, Opac>;

enum class BlokHeaderKind { Imap };

struct BlokHeader {
    BlokHeaderKind kind = BlokHeaderKind::Imap;
    std::vector<std::uint8_t> ordinal;  // as read, final 0 included
    std::vector<BlokHeaderAttr> attributes;
};

struct Cntr {
    Vec3 vector;
    std::uint32_t envelope = 0;
};
struct Size {
    Vec3 vector;
    std::uint32_t envelope = 0;
};
struct Rota {
    Vec3 vector;
    std::uint32_t envelope = 0;
};
struct Oref {
    std::string name;
};
struct Fall {
    std::uint16_t type = 0;
    Vec3 vector;
    std::uint32_t envelope = 0;
};
struct Csys {
    std::uint16_t type = 0;
};
using TmapAttr = std::variant<Cntr, Size, Rota, Oref, Fall, Csys>;

struct Tmap {
    std::vector<TmapAttr> attributes;
};
struct Proj {
    std::uint16_t mode = 0;
};
struct Axis {
    std::uint16_t axis = 0;
};
struct Imag {
    std::uint32_t image = 0;  // clip number counted from 1
};
struct Wrap {
    std::uint16_t width_wrap = 0;
    std::uint16_t height_wrap = 0;
};
struct Wrpw {
    float cycles = 0;
    std::uint32_t envelope = 0;
};
struct Wrph {
    float cycles = 0;
    std::uint32_t envelope = 0;
};
struct VmapName {
    std::string name;
};
struct Aast {
    std::uint16_t flags = 0;
    float strength = 0;
};
struct Pixb {
    std::uint16_t flags = 0;
};
using BlokAttr = std::variant<Tmap, Proj, Axis, Imag, Wrap, Wrpw, Wrph, VmapName, Aast, Pixb>;

struct Blok {
    BlokHeader header;
    std::vector<BlokAttr> attributes;
};

using SurfAttr = std::variant<Colr, Diff, Spec, Glos, Blok>;

struct Surf {
    std::string name;
    std::string source;
    std::vector<SurfAttr> attributes;
    // Kept for lighting and double-sided drawing; lit normals (-l) smooth
    // by the angle, the conversion does not read the sides yet.
    float smoothing_angle = 0;  // SMAN, radians; 0 is flat shading
    std::uint16_t sides = 1;    // SIDE: 1 front only, 3 both sides
};

// Which kind of file the object was read from.
enum class Format { Lwo2, Lwo3, Lwob };

struct Object {
    std::vector<Layr>& get_layers_mut() { return layers; }
    // Positions in `surfaces` of the surfaces that the layer's tags name,
    // ascending, each once. A tag index outside `tags` names no surface.
    std::vector<std::size_t> get_surfaces_in_layer(const Layr& layer) const;

    std::vector<std::string> tags;
    std::vector<Layr> layers;
    std::vector<Clip> clips;
    std::vector<Surf> surfaces;
    Format format = Format::Lwo2;
};

// Multiplies x, y and z of every point of every layer by `scale`, in place.
void scale_points(Object& object, float scale);

}  // namespace lwofront
