#pragma once
// Two small objects in the other formats, with every chunk their readers
// handle: an LWO3 file and an LWOB file. The reader tests, the damaged-input
// tables and the fuzz seeds start from them.
//
// LWO3: one layer of a quad and a triangle, a clip of index 7, and two
// surfaces whose materials are node graphs:
//   Box    the connected "Standard (1)" is (0.25, 0.5, 0.75) with a texture
//          block naming clip 7 and UV map "uv"; the unconnected
//          "Principled BSDF (1)" before it is red; SMAN 1.5, SIDE 3;
//   Photo  the connected "Principled BSDF (1)" is green; the image node
//          "Image (1)" (file images/photo.png, UV map "uv") feeds its Color,
//          and a "Gradient (1)" node its Specular.
// LWOB: one quad with one detail triangle, a two-point polygon of surface 0,
// the surfaces Red (smoothing flag without SMAN, double-sided) and Globe (a
// cylindrical colour texture around Y of images/earth.png, after a diffuse
// texture that is not read).

#include <string>
#include <vector>

#include "lwo_builder.hpp"

namespace lwo_test {

// The leading chunk of an LWO3 container.
template <class Body>
void lead(Builder& b, Body body) {
    b.chunk("    ", body);
}

// A node of an LWO3 graph: its server name, its name and its data.
template <class Data>
void node(Builder& b, const std::string& server, const std::string& name, Data data) {
    b.chunk("NSRV", [&] { b.str(server); });
    b.form("NTAG", [&] {
        b.chunk("NRNM", [&] { b.str(server); });
        b.chunk("NNME", [&] { b.str(name); });
        b.chunk("NMOD", [&] { b.u4(1); });
        b.form("NDTA", data);
    });
}

// One input of a material node holding a colour, and whatever `more` adds
// inside its value (a TXTR).
template <class More>
void color_entry(Builder& b, const std::string& input, double r, double g, double bl, More more) {
    b.form("ENTR", [&] {
        b.chunk("NAME", [&] { b.str(input); });
        b.chunk("FLAG", [&] { b.u4(0); });
        b.form("VALU", [&] {
            lead(b, [&] { b.str("vparam3"); });
            b.form("VALU", [&] { lead(b, [&] { b.u4(3).f8(r).f8(g).f8(bl); }); });
            more();
        });
    });
}

template <class More>
void material_node(Builder& b, const std::string& server, const std::string& name, double r, double g, double bl,
                   More more) {
    node(b, server, name, [&] {
        b.form("SATR", [&] {
            b.form("META", [&] {
                b.chunk("VERS", [&] { b.u4(1); });
                b.form("ADAT", [&] {
                    color_entry(b, "Subsurface Color", 1, 1, 1, [] {});
                    color_entry(b, "Color", r, g, bl, more);
                });
            });
        });
    });
}

inline void connection(Builder& b, const std::string& input_node, const std::string& input,
                       const std::string& output_node) {
    b.chunk("INME", [&] { b.str(input_node); });
    b.chunk("IINM", [&] { b.str(input); });
    b.chunk("IINN", [&] { b.str(output_node); });
    b.chunk("IONM", [&] { b.str(input == "Material" ? "Material" : "Color"); });
}

inline Builder lwo3_object() {
    Builder b;
    b.form("LWO3", [&] {
        b.chunk("TAGS", [&] { b.str("Box").str("Photo"); });
        b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0xFFFF); });
        b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(1, 1, 0).vec3(0, 1, 0); });
        b.chunk("BBOX", [&] { b.vec3(0, 0, 0).vec3(1, 1, 0); });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("uv");
            for (std::uint32_t i = 0; i < 4; ++i) b.vx(i).f4(float(i & 1)).f4(float(i >> 1));
        });
        b.chunk("POLS", [&] { b.id("FACE").u2(4).vx(0).vx(1).vx(2).vx(3).u2(3).vx(0).vx(2).vx(3); });
        b.chunk("PTAG", [&] { b.id("COLR").vx(0).u2(1).vx(1).u2(1); });
        b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0).vx(1).u2(1); });
        b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(2).vx(1).f4(0.5f).f4(0.5f); });
        b.form("CLIP", [&] {
            lead(b, [&] { b.u4(7); });
            b.form("STIL", [&] { lead(b, [&] { b.str("images/box.png"); }); });
            b.chunk("FLAG", [&] { b.u4(0x80); });
        });
        b.form("SURF", [&] {
            lead(b, [&] { b.str("Box").str(""); });
            b.chunk("VERS", [&] { b.u4(1700); });
            b.chunk("SMAN", [&] { b.f4(1.5f); });
            b.chunk("SIDE", [&] { b.u2(3); });
            b.form("NODS", [&] {
                b.chunk("NVER", [&] { b.u4(1); });
                b.form("NNDS", [&] {
                    node(b, "Surface", "Surface", [] {});
                    material_node(b, "Principled BSDF", "Principled BSDF (1)", 1, 0, 0, [] {});
                    material_node(b, "Standard", "Standard (1)", 0.25, 0.5, 0.75, [&] {
                        b.form("TXTR", [&] {
                            b.form("BLOK", [&] {
                                b.form("IMAP", [&] {
                                    lead(b, [&] { b.raw({0x80, 0}); });
                                    b.chunk("CHAN", [&] { b.id("COLR"); });
                                    b.form("OPAC", [&] { lead(b, [&] { b.u2(0).f4(1).vx(0); }); });
                                    b.chunk("ENAB", [&] { b.u2(1); });
                                });
                                b.form("TMAP", [&] {
                                    b.form("SIZE", [&] { lead(b, [&] { b.vec3(1, 1, 1).vx(0); }); });
                                    b.chunk("CSYS", [&] { b.u2(0); });
                                });
                                b.chunk("PROJ", [&] { b.u2(5); });
                                b.chunk("IMAG", [&] { b.vx(7); });
                                b.form("WRPW", [&] { lead(b, [&] { b.f4(2).vx(0); }); });
                                b.chunk("VMAP", [&] { b.str("uv"); });
                            });
                        });
                    });
                });
                b.form("NCON", [&] { connection(b, "Surface", "Material", "Standard (1)"); });
            });
        });
        b.form("SURF", [&] {
            lead(b, [&] { b.str("Photo").str(""); });
            b.form("NODS", [&] {
                b.form("NNDS", [&] {
                    node(b, "Surface", "Surface", [] {});
                    material_node(b, "Principled BSDF", "Principled BSDF (1)", 0, 1, 0, [] {});
                    node(b, "Image", "Image (1)", [&] {
                        b.form("IIMG", [&] {
                            b.form("CLIP", [&] { b.form("STIL", [&] { lead(b, [&] { b.str("images/photo.png"); }); }); });
                        });
                        b.chunk("IUVI", [&] { b.str("uv"); });
                    });
                    node(b, "Gradient", "Gradient (1)", [] {});
                });
                b.form("NCON", [&] {
                    connection(b, "Surface", "Material", "Principled BSDF (1)");
                    connection(b, "Principled BSDF (1)", "Color", "Image (1)");
                    connection(b, "Principled BSDF (1)", "Specular", "Gradient (1)");
                });
            });
        });
    });
    return b;
}

inline Builder lwob_object() {
    Builder b;
    b.form("LWOB", [&] {
        b.chunk("SRFS", [&] { b.str("Red").str("Globe"); });
        b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(1, 1, 0).vec3(0, 1, 0); });
        b.chunk("POLS", [&] {
            b.u2(4).u2(0).u2(1).u2(2).u2(3).u2(0xFFFF).u2(1);  // surface -1: one detail polygon follows
            b.u2(3).u2(0).u2(1).u2(2).u2(2);
            b.u2(2).u2(0).u2(1).u2(0);  // surface 0 names none
        });
        b.chunk("SURF", [&] {
            b.str("Red");
            b.sub("COLR", [&] { b.raw({255, 0, 0, 0}); });
            b.sub("FLAG", [&] { b.u2(4 | 256); });
        });
        b.chunk("SURF", [&] {
            b.str("Globe");
            b.sub("COLR", [&] { b.raw({0, 128, 255, 0}); });
            b.sub("FLAG", [&] { b.u2(4); });
            b.sub("SMAN", [&] { b.f4(0.5f); });
            b.sub("DTEX", [&] { b.str("Planar Image Map"); });
            b.sub("TIMG", [&] { b.str("images/bump.png"); });
            b.sub("CTEX", [&] { b.str("Cylindrical Image Map"); });
            b.sub("TIMG", [&] { b.str("images/earth.png"); });
            b.sub("TFLG", [&] { b.u2(2); });
            b.sub("TSIZ", [&] { b.vec3(1, 2, 1); });
            b.sub("TCTR", [&] { b.vec3(0, 1, 0); });
        });
    });
    return b;
}

}  // namespace lwo_test
