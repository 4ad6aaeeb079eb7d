// The containers of an LWO3 file: CLIP, and SURF with its node graph.
//
// LWO3 gives every chunk inside a container a 4-byte length, and every
// container is a FORM of its own type; the fixed fields that an LWO2
// container held before its sub-chunks sit in a leading chunk named by four
// spaces. The reader descends only into the containers it knows, each at its
// own level, so how deep it follows the nesting is fixed by this file,
// whatever the input holds; every other chunk or FORM is passed over by its
// length, and each one is read inside its own window (chunk.hpp).
//
// A surface has no colour or texture of its own: they are the "Color" input
// of the material node that NCON connects to the input "Material" of the node
// "Surface". The colour is the value of that input; the image is a texture
// block inside it, or the image node connected to it. Other nodes are not
// evaluated.

#include <algorithm>
#include <bit>
#include <map>
#include <optional>
#include <set>

#include "lwofront/chunk.hpp"
#include "warning_line.hpp"

namespace lwofront::detail {

using stream::make_id;
using stream::Stream;

namespace {

constexpr std::uint32_t kLead = make_id("    ");
constexpr std::uint32_t kForm = make_id("FORM");

// Reads the chunks of a container until its window ends, each in its own
// window, handing `handle` the identifier and whether it is a FORM (whose
// identifier is then its type, already read).
template <class Handle>
Status read_items(Stream& s, Handle&& handle) {
    while (s.remaining != 0) {
        auto header = stream::read_chunk(s);
        if (!header) return std::unexpected(std::move(header).error());
        LWO_TRY(read_nested(s, header->length, Level::Subchunk, [&]() -> Status {
            if (header->id != kForm) return handle(header->id, false);
            std::uint32_t type = 0;
            LWO_TRY(read_field(s, type));
            return handle(type, true);
        }));
    }
    return {};
}

// The fixed fields of an item: the body of a plain chunk, or the leading
// chunk of a FORM.
template <class Read>
Status read_lead(Stream& s, bool form, Read&& read) {
    if (!form) return read();
    return read_items(s, [&](std::uint32_t id, bool inner) -> Status {
        if (id == kLead && !inner) return read();
        return {};
    });
}

// Runs `inner` inside each FORM of the given type among the items.
template <class Inner>
Status read_within(Stream& s, std::uint32_t type, Inner&& inner) {
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (form && id == type) return inner();
        return {};
    });
}

Status read_tmap(Stream& s, Tmap& tmap) {
    return read_items(s, [&](std::uint32_t id, bool form) {
        return read_lead(s, form, [&] { return read_tmap_field(s, id, tmap); });
    });
}

// FORM IMAP: the ordinal in the leading chunk, then the header's attributes.
Status read_imap(Stream& s, BlokHeader& header) {
    header.kind = BlokHeaderKind::Imap;
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == kLead && !form) return take(stream::read_ordinal(s), header.ordinal);
        return read_lead(s, form, [&] { return read_header_field(s, id, header); });
    });
}

// FORM BLOK: the header FORM first, then the block's attributes. A block that
// is not an image map follows the LWO2 rule.
Status read_block(Stream& s, const std::string& surface, const ReadOptions& options, std::vector<Blok>& blocks) {
    Blok blok;
    std::optional<std::uint32_t> header_id;
    LWO_TRY(read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (!header_id) {
            header_id = form ? id : 0;
            return *header_id == make_id("IMAP") ? read_imap(s, blok.header) : Status{};
        }
        if (*header_id != make_id("IMAP")) return {};
        if (id == make_id("TMAP")) {
            if (!form) return {};
            Tmap tmap;
            LWO_TRY(read_tmap(s, tmap));
            blok.attributes.push_back(std::move(tmap));
            return {};
        }
        return read_lead(s, form, [&] { return read_blok_field(s, id, blok); });
    }));
    if (header_id != make_id("IMAP")) return refuse_block(header_id.value_or(0), surface, options);
    blocks.push_back(std::move(blok));
    return {};
}

// One node of a surface's graph, as far as the material is read.
struct Node {
    std::string name;
    std::optional<Vec3> color;        // the value of its "Color" input
    std::vector<Blok> color_blocks;   // the texture blocks of that input
    std::optional<std::string> image; // an image node's own file name
    std::string uv_map;               // an image node's UV map
};

// The output of `output_node` feeds the input `input` of `input_node`.
struct Connection {
    std::string input_node;
    std::string input;
    std::string output_node;
};

Result<double> read_f8(Stream& s) {
    auto high = stream::read_u4(s);
    if (!high) return std::unexpected(std::move(high).error());
    auto low = stream::read_u4(s);
    if (!low) return std::unexpected(std::move(low).error());
    return std::bit_cast<double>(std::uint64_t{*high} << 32 | *low);
}

// The leading chunk of the inner VALU of a colour: a count, then as many
// doubles. Fewer than three give no colour.
Status read_color(Stream& s, Node& node) {
    std::uint32_t count = 0;
    LWO_TRY(read_field(s, count));
    if (count < 3) return {};
    float rgb[3];
    for (float& channel : rgb) {
        auto value = read_f8(s);
        if (!value) return std::unexpected(std::move(value).error());
        channel = static_cast<float>(*value);
    }
    node.color = Vec3{rgb[0], rgb[1], rgb[2]};
    return {};
}

// FORM VALU of the "Color" input: its value in an inner VALU, its texture
// blocks in a TXTR.
Status read_color_value(Stream& s, Node& node, const ReadOptions& options, const std::string& surface) {
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (!form) return {};
        if (id == make_id("VALU")) return read_lead(s, true, [&] { return read_color(s, node); });
        if (id == make_id("TXTR"))
            return read_within(s, make_id("BLOK"), [&] { return read_block(s, surface, options, node.color_blocks); });
        return {};
    });
}

// FORM ENTR: one input of a node, its NAME before its VALU.
Status read_entry(Stream& s, Node& node, const ReadOptions& options, const std::string& surface) {
    std::string name;
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == make_id("NAME") && !form) return read_field(s, name);
        if (id == make_id("VALU") && form && name == "Color") return read_color_value(s, node, options, surface);
        return {};
    });
}

// FORM NDTA: a material's inputs (SATR > META > ADAT > ENTR), or an image
// node's file (IIMG > CLIP > STIL) and UV map (IUVI).
Status read_node_data(Stream& s, Node& node, const ReadOptions& options, const std::string& surface) {
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == make_id("SATR") && form) {
            return read_within(s, make_id("META"), [&] {
                return read_within(s, make_id("ADAT"), [&] {
                    return read_within(s, make_id("ENTR"), [&] { return read_entry(s, node, options, surface); });
                });
            });
        }
        if (id == make_id("IIMG") && form) {
            return read_within(s, make_id("CLIP"), [&] {
                return read_within(s, make_id("STIL"), [&] {
                    return read_lead(s, true, [&]() -> Status {
                        std::string file;
                        LWO_TRY(read_field(s, file));
                        node.image = std::move(file);
                        return {};
                    });
                });
            });
        }
        if (id == make_id("IUVI") && !form) return read_field(s, node.uv_map);
        return {};
    });
}

// FORM NTAG: one node.
Status read_node(Stream& s, std::vector<Node>& nodes, const ReadOptions& options, const std::string& surface) {
    Node node;
    LWO_TRY(read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == make_id("NNME") && !form) return read_field(s, node.name);
        if (id == make_id("NDTA") && form) return read_node_data(s, node, options, surface);
        return {};
    }));
    nodes.push_back(std::move(node));
    return {};
}

// FORM NCON: connections, each opened by its INME.
Status read_connections(Stream& s, std::vector<Connection>& connections) {
    return read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (form) return {};
        if (id == make_id("INME")) connections.emplace_back();
        if (connections.empty()) connections.emplace_back();
        Connection& c = connections.back();
        switch (id) {
            case make_id("INME"): return read_field(s, c.input_node);
            case make_id("IINM"): return read_field(s, c.input);
            case make_id("IINN"): return read_field(s, c.output_node);
            default: return {};
        }
    });
}

const Node* find_node(const std::vector<Node>& nodes, const std::string& name) {
    for (const Node& node : nodes)
        if (node.name == name) return &node;
    return nullptr;
}

const Connection* find_input(const std::vector<Connection>& connections, const std::string& node,
                             const std::string& input) {
    for (const Connection& c : connections)
        if (c.input_node == node && c.input == input) return &c;
    return nullptr;
}

// The surface's colour and texture from its connected material; a warning
// when other nodes are connected, since they are not evaluated.
void apply_material(Surf& surf, std::size_t position, const std::vector<Node>& nodes,
                    const std::vector<Connection>& connections, const ReadOptions& options,
                    std::vector<NodeImage>& node_images) {
    std::set<std::string> used;
    const Connection* to_surface = find_input(connections, "Surface", "Material");
    const Node* material = to_surface ? find_node(nodes, to_surface->output_node) : nullptr;
    if (material) {
        used.insert(material->name);
        if (material->color) surf.attributes.push_back(Colr{*material->color, 0});
        const Connection* to_color = find_input(connections, material->name, "Color");
        const Node* image = to_color ? find_node(nodes, to_color->output_node) : nullptr;
        if (image && image->image) {
            // A connected input overrides the value the input holds.
            used.insert(image->name);
            node_images.push_back({position, *image->image, image->uv_map});
        } else {
            for (const Blok& blok : material->color_blocks) surf.attributes.push_back(blok);
        }
    }
    const bool others = std::ranges::any_of(connections, [&](const Connection& c) { return !used.contains(c.output_node); });
    if (others && options.warn)
        options.warn(warning_line("Warning: surface " + surf.name +
                                  " uses only the colour and image of its material node; other connected nodes are "
                                  "ignored.\n"));
}

}  // namespace

Result<Clip> read_lwo3_clip(Stream& s) {
    Clip clip;
    LWO_TRY(read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == kLead && !form) return read_field(s, clip.index);
        if (id == make_id("STIL") && form) return read_lead(s, true, [&] { return append(clip.stills, stream::read_string(s)); });
        return {};
    }));
    return clip;
}

Result<Surf> read_lwo3_surf(Stream& s, const ReadOptions& options, std::size_t position,
                            std::vector<NodeImage>& node_images) {
    Surf surf;
    std::vector<Node> nodes;
    std::vector<Connection> connections;
    LWO_TRY(read_items(s, [&](std::uint32_t id, bool form) -> Status {
        if (id == kLead && !form) return read_fields(s, surf.name, surf.source);
        if (id == make_id("SMAN") && !form) return read_field(s, surf.smoothing_angle);
        if (id == make_id("SIDE") && !form) return read_field(s, surf.sides);
        if (id != make_id("NODS") || !form) return {};
        return read_items(s, [&](std::uint32_t inner, bool inner_form) -> Status {
            if (!inner_form) return {};
            if (inner == make_id("NNDS"))
                return read_within(s, make_id("NTAG"), [&] { return read_node(s, nodes, options, surf.name); });
            if (inner == make_id("NCON")) return read_connections(s, connections);
            return {};
        });
    }));
    apply_material(surf, position, nodes, connections, options, node_images);
    return surf;
}

void finish_lwo3(Object& object, const std::vector<NodeImage>& node_images) {
    // Clip index to position, the first clip of an index winning.
    std::map<std::uint32_t, std::size_t> by_index;
    std::map<std::string, std::size_t> by_file;
    for (std::size_t k = 0; k < object.clips.size(); ++k) {
        by_index.try_emplace(object.clips[k].index, k);
        if (!object.clips[k].stills.empty()) by_file.try_emplace(object.clips[k].stills.front(), k);
    }
    for (Surf& surf : object.surfaces) {
        for (SurfAttr& attribute : surf.attributes) {
            Blok* blok = std::get_if<Blok>(&attribute);
            if (!blok) continue;
            for (BlokAttr& field : blok->attributes) {
                Imag* imag = std::get_if<Imag>(&field);
                if (!imag) continue;
                const auto found = by_index.find(imag->image);
                // 0 names no clip, so the conversion warns about it.
                imag->image = found == by_index.end() ? 0 : std::uint32_t(found->second + 1);
            }
        }
    }
    for (const NodeImage& node_image : node_images) {
        auto [found, added] = by_file.try_emplace(node_image.file, object.clips.size());
        if (added) object.clips.push_back(Clip{0, {node_image.file}});
        Blok blok;
        blok.attributes.push_back(Proj{5});
        blok.attributes.push_back(Imag{std::uint32_t(found->second + 1)});
        blok.attributes.push_back(VmapName{node_image.uv_map});
        object.surfaces.at(node_image.surface).attributes.push_back(std::move(blok));
    }
}

}  // namespace lwofront::detail
