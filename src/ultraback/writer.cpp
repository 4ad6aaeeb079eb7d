// The C-source writer: the mesh's text, piece by piece and record by record,
// formatted straight into the output buffer (output_buffer.hpp).

#include "ultraback/writer.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "overloaded.hpp"
#include "ultraback/draw_list.hpp"
#include "ultraback/output_buffer.hpp"
#include "ultraback/text.hpp"

namespace ultraback {

namespace {

// Elements in rows of `row_length`; every element is followed by ", ".
template <class T>
void write_elements(Output& out, const std::vector<T>& items, std::size_t row_length, int digits) {
    for (std::size_t row = 0; row < items.size(); row += row_length) {
        if (out.failed()) return;
        Record r(out);
        if (row != 0) r.text("\n\t");
        for (std::size_t k = row; k < std::min(items.size(), row + row_length); ++k) r.element(items[k], digits);
    }
}

void slots(Record& r, const SlotTriangle& t) { r.dec(t[0]).text(", ").dec(t[1]).text(", ").dec(t[2]).text(", 0"); }

// Triangles two to a command, a last odd one alone; or, for a microcode
// without the two-triangle command, each alone.
void write_triangles(Record& r, std::span<const SlotTriangle> triangles, bool pairs) {
    std::size_t k = 0;
    for (; pairs && k + 1 < triangles.size(); k += 2) {
        r.text("\tgsSP2Triangles(");
        slots(r, triangles[k]);
        r.text(", ");
        slots(r, triangles[k + 1]);
        r.text("),\n");
    }
    for (; k < triangles.size(); ++k) {
        r.text("\tgsSP1Triangle(");
        slots(r, triangles[k]);
        r.text("),\n");
    }
}

// The batch's vertex commands, each into its run of slots, then its
// triangles.
void write_batch(Output& out, const Batch& batch, std::size_t n, bool pairs) {
    for (const Load& load : batch.loads) {
        Record r(out);
        r.text("\tgsSPVertex(&vts").dec(n).text("[").dec(load.start).text("], ").dec(load.count);
        r.text(", ").dec(load.slot).text("),\n");
    }
    // Two triangles at most per record, so a record stays within its room.
    const std::span<const SlotTriangle> triangles = batch.triangles;
    for (std::size_t k = 0; k < triangles.size(); k += 2) {
        Record r(out);
        write_triangles(r, triangles.subspan(k, std::min<std::size_t>(2, triangles.size() - k)), pairs);
    }
}

void write_layer_text(Output& out, const Layer& layer, std::size_t n, bool pairs) {
    out.text("static Vtx vts");
    out.dec(n);
    out.text("[] = {\n");
    for (const Vertex& v : layer.vertices) {
        if (out.failed()) return;
        Record r(out);
        r.text("\t{\n\t\t{ { ").dec(v.x).text(", ").dec(v.y).text(", ").dec(v.z);
        r.text(" }, 0, { ").dec(v.s).text(", ").dec(v.t);
        r.text(" }, { 0x").hex(v.r, 2).text(", 0x").hex(v.g, 2).text(", 0x").hex(v.b, 2).text(", 0x").hex(v.a, 2);
        r.text(" } }\n\t},\n");
    }
    out.text("};\n\n");

    out.text("static Gfx drawmesh");
    out.dec(n);
    out.text("[] = {\n");
    // Each primitive loads its own vertices into slots 0 to 2 (or 3).
    const auto load = [&](Record& r, std::int32_t index, char slot) {
        r.text("\tgsSPVertex(&vts").dec(n).text("[").dec(index).text("], 1, ").text({&slot, 1}).text("),\n");
    };
    for (const Primitive& primitive : layer.primitives) {
        if (out.failed()) return;
        Record r(out);
        // A quad is drawn as its slots (0, 1, 2) and (0, 2, 3).
        constexpr SlotTriangle kFirst{0, 1, 2};
        constexpr SlotTriangle kQuad[] = {kFirst, {0, 2, 3}};
        std::visit(Overloaded{
                       [&](const Triangle& triangle) {
                           load(r, triangle.indices[0], '0');
                           load(r, triangle.indices[1], '1');
                           load(r, triangle.indices[2], '2');
                           write_triangles(r, {&kFirst, 1}, pairs);
                       },
                       [&](const Quad& quad) {
                           load(r, quad.indices[0], '0');
                           load(r, quad.indices[1], '1');
                           load(r, quad.indices[2], '2');
                           load(r, quad.indices[3], '3');
                           write_triangles(r, kQuad, pairs);
                       },
                   },
                   primitive);
    }
    for (const Batch& batch : layer.batches) {
        if (out.failed()) return;
        write_batch(out, batch, n, pairs);
    }
    out.text("\tgsSPEndDisplayList()\n};\n\n");
}

// The RDP loads texels and palettes in 64-bit words from 8-byte-aligned
// addresses, while C aligns a u8 or u16 array only to its element. The game's
// header may define TEXTURE_ALIGN itself; this default serves GCC and Clang
// and leaves other compilers to the header.
constexpr std::string_view kTextureAlignDefault =
    "#ifndef TEXTURE_ALIGN\n"
    "#if defined(__GNUC__) || defined(__clang__)\n"
    "#define TEXTURE_ALIGN __attribute__((aligned(8)))\n"
    "#else\n"
    "#define TEXTURE_ALIGN\n"
    "#endif\n"
    "#endif\n\n";

void open_texel_array(Output& out, std::string_view element_type, std::size_t j) {
    out.text("static ");
    out.text(element_type);
    out.text(" ");
    out.text(create_texture_name(j));
    out.text("[] TEXTURE_ALIGN = {\n\t");
}

// An empty array is not valid C, so an empty texture gets one dummy element.
void close_texel_array(Output& out, bool empty) {
    if (empty) out.text("\t0\t//dummy element - texture is empty");
    out.text("\n};\n\n");
}

void write_palette(Output& out, const std::vector<std::uint16_t>& palette, std::size_t j) {
    out.text("static u16 palette");
    out.dec(j);
    out.text("[] TEXTURE_ALIGN = {\n\t");
    write_elements(out, palette, 8, 4);
    out.text("\n};\n\n");
}

void write_byte_texels(Output& out, const std::vector<std::uint8_t>& bytes, std::size_t j) {
    open_texel_array(out, "u8", j);
    write_elements(out, bytes, 4, 2);
    close_texel_array(out, bytes.empty());
}

void write_u16_texels(Output& out, const std::vector<std::uint16_t>& texels, std::size_t j) {
    open_texel_array(out, "u16", j);
    write_elements(out, texels, 4, 4);
    close_texel_array(out, texels.empty());
}

void write_texture(Output& out, const Texture& texture, std::size_t j) {
    std::visit(Overloaded{
                   [&](const Ci4& ci4) {
                       write_palette(out, ci4.palette, j);
                       write_byte_texels(out, ci4.indices, j);
                   },
                   [&](const Rgba16& rgba16) { write_u16_texels(out, rgba16.texels, j); },
                   [&](const Rgba32& rgba32) {
                       open_texel_array(out, "u32", j);
                       write_elements(out, rgba32.texels, 4, 8);
                       close_texel_array(out, rgba32.texels.empty());
                   },
                   [&](const Unknown& unknown) {
                       open_texel_array(out, "u32", j);
                       write_elements(out, unknown.bytes, 4, 8);  // one byte per 32-bit element
                       close_texel_array(out, unknown.bytes.empty());
                   },
                   [&](const Ci8& ci8) {
                       write_palette(out, ci8.palette, j);
                       write_byte_texels(out, ci8.indices, j);
                   },
                   [&](const I4& i4) { write_byte_texels(out, i4.texels, j); },
                   [&](const I8& i8) { write_byte_texels(out, i8.texels, j); },
                   [&](const Ia4& ia4) { write_byte_texels(out, ia4.texels, j); },
                   [&](const Ia8& ia8) { write_byte_texels(out, ia8.texels, j); },
                   [&](const Ia16& ia16) { write_u16_texels(out, ia16.texels, j); },
               },
               texture.texels);
}

// What a texture's table line says about its arrays.
struct TextureFacts {
    std::size_t size = 0;  // bytes of the texel data
    std::size_t palette_size = 0;  // bytes of the palette
    bool has_palette = false;
    std::string_view format;
};

TextureFacts texture_facts(const TexelData& texels) {
    return std::visit(
        Overloaded{
            [](const Ci4& ci4) {
                return TextureFacts{ci4.indices.size(), 2 * ci4.palette.size(), true, "TEXTURE_FMT_CI4"};
            },
            [](const Rgba16& rgba16) { return TextureFacts{2 * rgba16.texels.size(), 0, false, "TEXTURE_FMT_RGBA16"}; },
            [](const Rgba32& rgba32) { return TextureFacts{4 * rgba32.texels.size(), 0, false, "TEXTURE_FMT_RGBA32"}; },
            [](const Unknown& unknown) { return TextureFacts{unknown.bytes.size(), 0, false, "TEXTURE_FMT_UNKNOWN"}; },
            [](const Ci8& ci8) {
                return TextureFacts{ci8.indices.size(), 2 * ci8.palette.size(), true, "TEXTURE_FMT_CI8"};
            },
            [](const I4& i4) { return TextureFacts{i4.texels.size(), 0, false, "TEXTURE_FMT_I4"}; },
            [](const I8& i8) { return TextureFacts{i8.texels.size(), 0, false, "TEXTURE_FMT_I8"}; },
            [](const Ia4& ia4) { return TextureFacts{ia4.texels.size(), 0, false, "TEXTURE_FMT_IA4"}; },
            [](const Ia8& ia8) { return TextureFacts{ia8.texels.size(), 0, false, "TEXTURE_FMT_IA8"}; },
            [](const Ia16& ia16) { return TextureFacts{2 * ia16.texels.size(), 0, false, "TEXTURE_FMT_IA16"}; },
        },
        texels);
}

void write_texture_table(Output& out, const std::vector<Texture>& textures) {
    out.text("static Texture textures[] = {\n");
    for (std::size_t j = 0; j < textures.size(); ++j) {
        const Texture& texture = textures[j];
        const TextureFacts facts = texture_facts(texture.texels);
        out.text("\tTEXTURE_INIT(");
        out.dec(texture.width);
        out.text(", ");
        out.dec(texture.height);
        out.text(", &texture");
        out.dec(j);
        out.text(", ");
        out.dec(facts.size);
        if (facts.has_palette) {
            out.text(", &palette");
            out.dec(j);
        } else {
            out.text(", NULL");
        }
        out.text(", ");
        out.dec(facts.palette_size);
        out.text(", ");
        out.text(facts.format);
        out.text("),\n");
    }
    out.text("};\n\n");
}

void write_material_table(Output& out, const std::vector<Material>& materials) {
    out.text("static Material materials[] = {\n");
    for (const Material& material : materials) {
        out.text("\tMATERIAL_INIT( VECTOR4F_SET( ");
        out.flt(material.color.r);
        out.text(", ");
        out.flt(material.color.g);
        out.text(", ");
        out.flt(material.color.b);
        out.text(", ");
        out.flt(material.color.a);
        out.text(" ), TEXTUREMAPPING_CONST, ");
        if (material.texture) {
            out.dec(*material.texture);
        } else {
            out.text("TEXTURE_ID_NONE");
        }
        out.text(" ),\n");
    }
    out.text("};\n\n");
}

std::string_view attribute_name(LayerAttribute attribute) {
    switch (attribute) {
        case LayerAttribute::PreventSeams: return "LAYERATTRIBUTE_PREVENT_SEAMS";
    }
    return "";
}

void write_layer_table(Output& out, const Mesh& mesh) {
    // A layer's rectangle is the first entry naming it; entries naming no
    // layer are never read. Indexed once instead of scanned per layer, since
    // a tiled object has one entry per layer.
    std::vector<const Rectangle*> rects(mesh.layers.size(), nullptr);
    for (const auto& [index, rect] : mesh.layer_rects) {
        if (index < rects.size() && rects[index] == nullptr) rects[index] = &rect;
    }
    const Rectangle none{};

    out.text("static Layer layers[] = {\n");
    for (std::size_t n = 0; n < mesh.layers.size(); ++n) {
        if (out.failed()) return;
        const Layer& layer = mesh.layers[n];
        const Rectangle& rect = rects[n] ? *rects[n] : none;
        out.text("\tLAYER_INIT( ");
        out.dec(layer.material);
        out.text(", drawmesh");
        out.dec(n);
        out.text(", sizeof(drawmesh");
        out.dec(n);
        out.text("), vts");
        out.dec(n);
        out.text(", sizeof(vts");
        out.dec(n);
        out.text("),  RECTANGLE_INIT(");
        out.dec(rect.left);
        out.text(", ");
        out.dec(rect.top);
        out.text(", ");
        out.dec(rect.right);
        out.text(", ");
        out.dec(rect.bottom);
        out.text("), ");
        if (layer.attributes.empty()) out.text("LAYERATTRIBUTE_NONE");
        for (LayerAttribute attribute : kLayerAttributes) {
            if (layer.attributes.contains(attribute)) out.text(attribute_name(attribute));
        }
        out.text(" ),\n");
    }
    out.text("};\n\n");
}

void write_closing(Output& out, const Mesh& mesh, std::string_view object_name) {
    out.text("StaticMesh ");
    out.text(object_name);
    out.text(" = STATICMESH_INIT( layers, ");
    out.dec(mesh.layers.size());
    out.text(", materials, ");
    out.dec(mesh.materials.size());
    out.text(mesh.textures.empty() ? ", NULL, " : ", textures, ");
    out.dec(mesh.textures.size());
    out.text(" ); \n");
}

}  // namespace

TextWriter::TextWriter(Sink& sink, const SaveOptions& options)
    : out_(std::make_unique<Output>(sink)), pairs_(!options.one_triangle_commands), draw_list_(options.draw_list) {
    out_->text("#include \"myheader.h\"\n\n");
}

TextWriter::~TextWriter() = default;

void TextWriter::write_layer(const Layer& layer) {
    if (!out_->failed()) write_layer_text(*out_, layer, layers_written_, pairs_);
    ++layers_written_;
}

Status TextWriter::finish(const Mesh& mesh, std::string_view object_name) {
    assert(layers_written_ == mesh.layers.size());
    Output& out = *out_;
    if (!mesh.textures.empty()) out.text(kTextureAlignDefault);
    for (std::size_t j = 0; j < mesh.textures.size() && !out.failed(); ++j) {
        write_texture(out, mesh.textures[j], j);
    }
    if (!mesh.textures.empty() && !out.failed()) write_texture_table(out, mesh.textures);
    if (!out.failed()) write_material_table(out, mesh.materials);
    if (!out.failed()) write_layer_table(out, mesh);
    if (!out.failed()) write_closing(out, mesh, object_name);
    if (draw_list_ && !out.failed()) out.text(draw_list_text(mesh, object_name));
    return out.finish();
}

Status save(const Mesh& mesh, std::string_view object_name, Sink& sink, const SaveOptions& options) {
    TextWriter writer(sink, options);
    for (const Layer& layer : mesh.layers) writer.write_layer(layer);
    return writer.finish(mesh, object_name);
}

std::string create_texture_name(std::size_t texture_number) {
    char digits[kMaxDecimalChars];
    char* end = std::to_chars(digits, digits + sizeof digits, texture_number).ptr;
    return "texture" + std::string(digits, end);
}

}  // namespace ultraback
