#pragma once
// The converted mesh as short lines of text, so that tests compare whole
// layers and meshes with texts written out by hand and failures show a diff.
//   v x y z s t nx ny nz a   one vertex; the normal bytes as signed numbers
//   tri a b c / quad a b c d   one primitive
//   layer N material M [seams]
//   texture W H format / material T|- r g b a / rect N left top right bottom

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <variant>

#include "ultraback/mesh.hpp"

namespace mesh_text {

inline std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

inline std::string vertices_and_primitives(const ultraback::Layer& layer) {
    std::string out;
    auto add = [&](long long value) {
        out += ' ';
        out += std::to_string(value);
    };
    for (const ultraback::Vertex& v : layer.vertices) {
        out += "v";
        for (long long value : {v.x, v.y, v.z, v.s, v.t}) add(value);
        for (std::uint8_t byte : {v.r, v.g, v.b}) add(static_cast<std::int8_t>(byte));
        add(v.a);
        out += "\n";
    }
    for (const ultraback::Primitive& p : layer.primitives) {
        if (const auto* t = std::get_if<ultraback::Triangle>(&p)) {
            out += "tri";
            for (auto i : t->indices) add(i);
        } else {
            out += "quad";
            for (auto i : std::get<ultraback::Quad>(p).indices) add(i);
        }
        out += "\n";
    }
    return out;
}

inline std::string layer_head(const ultraback::Layer& layer) {
    bool seams = layer.attributes.contains(ultraback::LayerAttribute::PreventSeams);
    return "material " + std::to_string(layer.material) + (seams ? " seams" : "") + "\n";
}

inline std::string layer(const ultraback::Layer& l) { return layer_head(l) + vertices_and_primitives(l); }

inline std::string format_name(const ultraback::TexelData& texels) {
    static const char* names[] = {"ci4", "rgba16", "rgba32", "unknown", "ci8", "i4", "i8", "ia4", "ia8", "ia16"};
    static_assert(std::size(names) == std::variant_size_v<ultraback::TexelData>);
    return names[texels.index()];
}

inline std::string mesh(const ultraback::Mesh& m) {
    // Built with += only: g++ 12 warns falsely (-Wrestrict) on some chains
    // of string + string at -O3.
    std::string out;
    auto add = [&](auto... parts) { ((out += parts), ...); };
    for (const ultraback::Texture& t : m.textures) {
        add("texture ", std::to_string(t.width), " ", std::to_string(t.height), " ", format_name(t.texels), "\n");
    }
    for (const ultraback::Material& mat : m.materials) {
        add("material ", mat.texture ? std::to_string(*mat.texture) : std::string("-"));
        for (float c : {mat.color.r, mat.color.g, mat.color.b, mat.color.a}) add(" ", number(c));
        add("\n");
    }
    for (std::size_t i = 0; i < m.layers.size(); ++i) add("layer ", std::to_string(i), " ", layer(m.layers[i]));
    for (const auto& [index, r] : m.layer_rects) {
        add("rect ", std::to_string(index), " ", std::to_string(r.left), " ", std::to_string(r.top), " ",
            std::to_string(r.right), " ", std::to_string(r.bottom), "\n");
    }
    return out;
}

}  // namespace mesh_text
