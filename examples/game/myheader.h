/*
 * myheader.h - reference game header for the C files that quillmesh writes.
 *
 * Every generated file begins with #include "myheader.h" and leaves to this
 * header all that it uses: libultra's Vtx and Gfx with the display-list
 * commands gsSPVertex, gsSP1Triangle, gsSP2Triangles and gsSPEndDisplayList,
 * and the game's own record types, initialiser macros and constants below.
 * Copy it into your game and change the records to suit your renderer; keep
 * the macro names and their numbers of arguments.
 *
 * For the console the libultra pieces come from <ultra64.h>, which encodes
 * the commands for the microcode the game selects: define F3DEX_GBI_2
 * (F3DEX2), F3DEX_GBI or F3DLP_GBI (F3DEX, F3DLX, F3DLP) before it, or none
 * of them for Fast3D, whose lists need quillmesh -f. Where that header is
 * missing, as on a developer's PC, host-compilable stand-ins are defined
 * instead, encoding the same selection, so that tools and tests can compile
 * and inspect the meshes. Define MYHEADER_HOST to force the stand-ins,
 * MYHEADER_ULTRA64 to force <ultra64.h> (for a compiler without
 * __has_include).
 *
 * Texel and palette arrays are declared with TEXTURE_ALIGN, since the RDP
 * loads them in 64-bit words from 8-byte-aligned addresses. The generated
 * file defines it for GCC and Clang; define it here for another compiler.
 */
#ifndef MYHEADER_H
#define MYHEADER_H

#if !defined(MYHEADER_HOST) && !defined(MYHEADER_ULTRA64)
#  if defined(__has_include)
#    if __has_include(<ultra64.h>)
#      define MYHEADER_ULTRA64 1
#    else
#      define MYHEADER_HOST 1
#    endif
#  else
     /* The console's old compilers know no __has_include. */
#    define MYHEADER_ULTRA64 1
#  endif
#endif

#ifdef MYHEADER_ULTRA64

#include <ultra64.h>

#else /* host stand-ins for the libultra pieces */

#include <stddef.h>

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef signed char s8;
typedef short s16;
typedef int s32;
typedef float f32;

/* A vertex as the RSP reads it: position, flag word, texture coordinate in
   texels times 64, and a colour (unlit) or a normal and alpha (lit). */
typedef struct {
    short ob[3];
    unsigned short flag;
    short tc[2];
    unsigned char cn[4];
} Vtx_t;

typedef struct {
    short ob[3];
    unsigned short flag;
    short tc[2];
    signed char n[3];
    unsigned char a;
} Vtx_tn;

typedef union {
    Vtx_t v;
    Vtx_tn n;
    long long int force_structure_alignment;
} Vtx;

/* A display-list command is two 32-bit words. On the console the second word
   of a vertex load holds the array's address; a 64-bit host cannot fold an
   address into 32 bits in a static initialiser, so there such commands use
   the `address` member, whose second field is a pointer. */
typedef struct {
    u32 w0;
    u32 w1;
} Gwords;

typedef struct {
    u32 w0;
    const void *w1;
} Gaddress;

typedef union {
    Gwords words;
    Gaddress address;
    long long int force_structure_alignment;
} Gfx;

#define GBI_SHIFTL(v, s, w) ((u32)(((u32)(v) & ((0x01u << (w)) - 1u)) << (s)))

/* The commands as the selected microcode reads them, as <ultra64.h> would
   encode them: F3DEX2, F3DEX (also F3DLX and F3DLP), or Fast3D when none is
   selected. The vertex buffer holds 32 vertices with F3DEX2 and F3DEX (64
   with their rejection variants, F3DEX2.Rej and F3DEX.Rej) and 16 with
   Fast3D, which has no two-triangle command. */
#if defined(F3DEX_GBI_2)

#define G_VTX 0x01
#define G_TRI1 0x05
#define G_TRI2 0x06
#define G_ENDDL 0xdf

/* Load n vertices from v into the vertex buffer from slot v0 on. */
#define gsSPVertex(v, n, v0) \
    { .address = { GBI_SHIFTL(G_VTX, 24, 8) | GBI_SHIFTL((n), 12, 8) | GBI_SHIFTL((v0) + (n), 1, 7), (v) } }

#elif defined(F3DEX_GBI) || defined(F3DLP_GBI)

#define G_VTX 0x04
#define G_TRI1 0xbf
#define G_TRI2 0xb1
#define G_ENDDL 0xb8

#define gsSPVertex(v, n, v0)                                                                      \
    { .address = { GBI_SHIFTL(G_VTX, 24, 8) | GBI_SHIFTL((v0) * 2, 16, 8) | GBI_SHIFTL((n), 10, 6) | \
                       GBI_SHIFTL(sizeof(Vtx) * (n) - 1, 0, 10),                                    \
                   (v) } }

#else /* Fast3D */

#define G_VTX 0x04
#define G_TRI1 0xbf
#define G_ENDDL 0xb8

#define gsSPVertex(v, n, v0)                                                                        \
    { .address = { GBI_SHIFTL(G_VTX, 24, 8) | GBI_SHIFTL((n) - 1, 20, 4) | GBI_SHIFTL((v0), 16, 4) | \
                       GBI_SHIFTL(sizeof(Vtx) * (n), 0, 16),                                          \
                   (v) } }

/* Fast3D has no two-triangle command: a list that uses one names this
   undeclared identifier in the compiler's error. */
#define gsSP2Triangles(v00, v01, v02, flag0, v10, v11, v12, flag1) \
    { .words = { fast3d_has_no_gsSP2Triangles_convert_with_quillmesh_f, 0 } }

/* A triangle's vertex slots as byte offsets (slot times 10), with the flag
   in the top byte. */
#define gsSP1Triangle(v0, v1, v2, flag)                                                  \
    { .words = { GBI_SHIFTL(G_TRI1, 24, 8),                                              \
                 GBI_SHIFTL((flag), 24, 8) | GBI_SHIFTL((v0) * 10, 16, 8) |               \
                     GBI_SHIFTL((v1) * 10, 8, 8) | GBI_SHIFTL((v2) * 10, 0, 8) } }

#endif

#if defined(F3DEX_GBI_2) || defined(F3DEX_GBI) || defined(F3DLP_GBI)

/* A triangle's vertex slots (as byte offsets, slot times 2), the one named
   by `flag` first. */
#define GBI_TRI_WORD(v0, v1, v2) \
    (GBI_SHIFTL((v0) * 2, 16, 8) | GBI_SHIFTL((v1) * 2, 8, 8) | GBI_SHIFTL((v2) * 2, 0, 8))
#define GBI_TRI_WORD_FLAG(v0, v1, v2, flag)          \
    (((flag) == 0)   ? GBI_TRI_WORD(v0, v1, v2)   \
     : ((flag) == 1) ? GBI_TRI_WORD(v1, v2, v0)   \
                     : GBI_TRI_WORD(v2, v0, v1))

#if defined(F3DEX_GBI_2)
/* F3DEX2 carries the slots in the first word. */
#define gsSP1Triangle(v0, v1, v2, flag) \
    { .words = { GBI_SHIFTL(G_TRI1, 24, 8) | GBI_TRI_WORD_FLAG(v0, v1, v2, flag), 0 } }
#else
#define gsSP1Triangle(v0, v1, v2, flag) \
    { .words = { GBI_SHIFTL(G_TRI1, 24, 8), GBI_TRI_WORD_FLAG(v0, v1, v2, flag) } }
#endif

#define gsSP2Triangles(v00, v01, v02, flag0, v10, v11, v12, flag1)                   \
    { .words = { GBI_SHIFTL(G_TRI2, 24, 8) | GBI_TRI_WORD_FLAG(v00, v01, v02, flag0), \
                 GBI_TRI_WORD_FLAG(v10, v11, v12, flag1) } }

#endif

#define gsSPEndDisplayList() { .words = { GBI_SHIFTL(G_ENDDL, 24, 8), 0 } }

#endif /* MYHEADER_ULTRA64 */

/* ---- The game's records ---- */

/* Texel formats: TEXTURE_INIT's last argument. */
#define TEXTURE_FMT_UNKNOWN 0 /* an image that could not be loaded: no texels */
#define TEXTURE_FMT_RGBA32 1
#define TEXTURE_FMT_RGBA16 2  /* RGBA 5551 */
#define TEXTURE_FMT_CI4 3     /* 4-bit indices into a palette of RGBA 5551 */
/* Made only by quillmesh -r, which fits textures to TMEM. 4-bit texels are
   packed two per byte, the earlier one in the high nibble. */
#define TEXTURE_FMT_CI8 4     /* 8-bit indices into a palette of 256 RGBA 5551 colours */
#define TEXTURE_FMT_I4 5      /* 4-bit intensity */
#define TEXTURE_FMT_I8 6      /* 8-bit intensity */
#define TEXTURE_FMT_IA4 7     /* 3-bit intensity, 1-bit alpha */
#define TEXTURE_FMT_IA8 8     /* 4-bit intensity (high nibble), 4-bit alpha */
#define TEXTURE_FMT_IA16 9    /* 8-bit intensity (high byte), 8-bit alpha */

/* How a material applies its texture; the converter always asks for the
   texture as it is. */
#define TEXTUREMAPPING_CONST 0

/* Material.texture of a material without a texture. */
#define TEXTURE_ID_NONE (-1)

/* Layer.attributes: a set of flags. */
#define LAYERATTRIBUTE_NONE 0x00
/* The layer is one tile of a texture too large for TMEM (quillmesh -t):
   draw it with clamped texture coordinates so that tiles meet without seams. */
#define LAYERATTRIBUTE_PREVENT_SEAMS 0x01

typedef struct {
    u16 width, height;     /* in texels; 0 for TEXTURE_FMT_UNKNOWN */
    const void *texels;    /* u16[] for RGBA16 and IA16, u32[] for RGBA32, else u8[] */
    u32 size;              /* bytes of texels */
    const void *palette;   /* u16[] for CI4 and CI8, else NULL */
    u32 palette_size;      /* bytes of palette */
    u8 format;             /* TEXTURE_FMT_... */
} Texture;

#define TEXTURE_INIT(width, height, texels, size, palette, palette_size, format) \
    { (width), (height), (texels), (size), (palette), (palette_size), (format) }

typedef struct {
    f32 r, g, b, a;
} Vector4f;

#define VECTOR4F_SET(r, g, b, a) { (r), (g), (b), (a) }

typedef struct {
    Vector4f color;  /* the surface colour; alpha 1 */
    u8 mapping;      /* TEXTUREMAPPING_... */
    s32 texture;     /* index into StaticMesh.textures, or TEXTURE_ID_NONE */
} Material;

#define MATERIAL_INIT(color, mapping, texture) { color, (mapping), (texture) }

/* The texels that a tile layer covers, in texels of its whole texture. */
typedef struct {
    u16 left, top, right, bottom;
} Rectangle;

#define RECTANGLE_INIT(left, top, right, bottom) { (left), (top), (right), (bottom) }

typedef struct {
    u32 material;           /* index into StaticMesh.materials */
    Gfx *displaylist;       /* loads vertices and draws; ends with gsSPEndDisplayList */
    u32 displaylist_size;   /* bytes */
    Vtx *vertices;
    u32 vertices_size;      /* bytes */
    Rectangle rect;         /* all 0 unless LAYERATTRIBUTE_PREVENT_SEAMS */
    u8 attributes;          /* LAYERATTRIBUTE_... */
} Layer;

#define LAYER_INIT(material, displaylist, displaylist_size, vertices, vertices_size, rect, attributes) \
    { (material), (displaylist), (displaylist_size), (vertices), (vertices_size), rect, (attributes) }

/* One converted object; quillmesh -n names it. */
typedef struct {
    const Layer *layers;
    u32 layer_count;
    const Material *materials;
    u32 material_count;
    const Texture *textures;  /* NULL when the object has no image clips */
    u32 texture_count;
} StaticMesh;

#define STATICMESH_INIT(layers, layer_count, materials, material_count, textures, texture_count) \
    { (layers), (layer_count), (materials), (material_count), (textures), (texture_count) }

#endif /* MYHEADER_H */
