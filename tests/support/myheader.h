/*
 * Test stand-in for "myheader.h", the game header that quillmesh's output
 * includes. In a game this header comes from the game itself and builds on
 * libultra; here it declares, in plain C99 for the host compiler, just what
 * the generated C text uses: libultra's Vtx and Gfx with the display-list
 * macros (F3DEX2 command words as the public GBI describes them), and the
 * game's record types, initialiser macros and constants. Tests compile the
 * converter's output against it to prove the text is valid C.
 *
 * Not for the console: on a 64-bit host a command that carries an address
 * keeps a real pointer, so a Gfx is larger than the console's 64 bits.
 */
#ifndef QUILLMESH_TEST_MYHEADER_H
#define QUILLMESH_TEST_MYHEADER_H

#include <stddef.h>

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef short s16;

/* libultra's vertex: position, flag, texture coordinate, and either a colour
   (unlit drawing) or a normal and alpha (lit drawing). */
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

/* A display-list command is two 32-bit words. The console's GBI casts the
   vertex address into the second word; C cannot fold an address into a u32
   constant on a 64-bit host, so address-carrying commands use the `addr`
   member, whose second field is a pointer. */
typedef struct {
    u32 w0;
    u32 w1;
} Gwords;

typedef struct {
    u32 w0;
    const void *addr;
} Gaddr;

typedef union {
    Gwords words;
    Gaddr addr;
    long long int force_structure_alignment;
} Gfx;

/* `v` cut to `width` bits and moved up by `shift`. */
#define GBI_SHIFTL(v, shift, width) ((((u32)(v)) & ((1u << (width)) - 1u)) << (shift))

#ifdef QUILLMESH_TEST_FAST3D
/* Fast3D, the oldest microcode (support/fast3d/myheader.h selects it): a
   16-vertex buffer, slots as byte offsets of 10 per vertex, and no
   two-triangle command. */
#define G_VTX 0x04
#define G_TRI1 0xBF
#define G_ENDDL 0xB8

#define gsSPVertex(v, n, v0) \
    { .addr = {GBI_SHIFTL(G_VTX, 24, 8) | GBI_SHIFTL((n) - 1, 20, 4) | GBI_SHIFTL((v0), 16, 4) | \
               GBI_SHIFTL(sizeof(Vtx) * (n), 0, 16), (v)} }

#define gsSP1Triangle(v0, v1, v2, flag)                                                          \
    { .words = {GBI_SHIFTL(G_TRI1, 24, 8), GBI_SHIFTL((flag), 24, 8) | GBI_SHIFTL((v0) * 10, 16, 8) | \
                                               GBI_SHIFTL((v1) * 10, 8, 8) | GBI_SHIFTL((v2) * 10, 0, 8)} }

#else
#define G_VTX 0x01
#define G_TRI1 0x05
#define G_TRI2 0x06
#define G_ENDDL 0xDF

/* The three vertex-buffer offsets of a triangle (slot times 2), rotated so
   that the vertex named by `flag` comes first. */
#define GBI_TRI_WORD(v0, v1, v2) \
    (GBI_SHIFTL((v0) * 2, 16, 8) | GBI_SHIFTL((v1) * 2, 8, 8) | GBI_SHIFTL((v2) * 2, 0, 8))
#define GBI_TRI_WORD_FLAG(v0, v1, v2, flag) \
    ((flag) == 0 ? GBI_TRI_WORD(v0, v1, v2) : (flag) == 1 ? GBI_TRI_WORD(v1, v2, v0) : GBI_TRI_WORD(v2, v0, v1))

/* Load `n` vertices from `v` into the vertex buffer from slot `v0` on. */
#define gsSPVertex(v, n, v0) \
    { .addr = {GBI_SHIFTL(G_VTX, 24, 8) | GBI_SHIFTL((n), 12, 8) | GBI_SHIFTL((v0) + (n), 1, 7), (v)} }

#define gsSP1Triangle(v0, v1, v2, flag) \
    { .words = {GBI_SHIFTL(G_TRI1, 24, 8) | GBI_TRI_WORD_FLAG(v0, v1, v2, flag), 0} }

#define gsSP2Triangles(v00, v01, v02, flag0, v10, v11, v12, flag1)                 \
    { .words = {GBI_SHIFTL(G_TRI2, 24, 8) | GBI_TRI_WORD_FLAG(v00, v01, v02, flag0), \
                GBI_TRI_WORD_FLAG(v10, v11, v12, flag1)} }

#endif

#define gsSPEndDisplayList() { .words = {GBI_SHIFTL(G_ENDDL, 24, 8), 0} }

/* The game's records. */

#define TEXTURE_FMT_UNKNOWN 0
#define TEXTURE_FMT_RGBA32 1
#define TEXTURE_FMT_RGBA16 2
#define TEXTURE_FMT_CI4 3
/* Made only with -r, when textures are fitted to TMEM. */
#define TEXTURE_FMT_CI8 4
#define TEXTURE_FMT_I4 5
#define TEXTURE_FMT_I8 6
#define TEXTURE_FMT_IA4 7
#define TEXTURE_FMT_IA8 8
#define TEXTURE_FMT_IA16 9

typedef struct {
    u16 width;
    u16 height;
    const void *texels;
    u32 size;            /* bytes of texels */
    const void *palette; /* NULL unless colour-indexed */
    u32 palette_size;    /* bytes of palette */
    u8 format;           /* TEXTURE_FMT_... */
} Texture;

#define TEXTURE_INIT(width, height, texels, size, palette, palette_size, format) \
    { (width), (height), (texels), (size), (palette), (palette_size), (format) }

typedef struct {
    float r, g, b, a;
} Vector4f;

#define VECTOR4F_SET(r, g, b, a) { (r), (g), (b), (a) }

#define TEXTUREMAPPING_CONST 0
#define TEXTURE_ID_NONE (-1)

typedef struct {
    Vector4f color;
    u8 mapping;     /* TEXTUREMAPPING_... */
    s16 texture_id; /* index into the mesh's textures, or TEXTURE_ID_NONE */
} Material;

#define MATERIAL_INIT(color, mapping, texture_id) { color, (mapping), (texture_id) }

typedef struct {
    u16 left, top, right, bottom;
} Rectangle;

#define RECTANGLE_INIT(left, top, right, bottom) { (left), (top), (right), (bottom) }

#define LAYERATTRIBUTE_NONE 0
#define LAYERATTRIBUTE_PREVENT_SEAMS 1

typedef struct {
    u32 material;
    Gfx *displaylist;
    u32 displaylist_size; /* bytes */
    Vtx *vertices;
    u32 vertices_size;    /* bytes */
    Rectangle rect;       /* texel area of a texture tile, else all 0 */
    u32 attributes;       /* LAYERATTRIBUTE_... */
} Layer;

#define LAYER_INIT(material, displaylist, displaylist_size, vertices, vertices_size, rect, attributes) \
    { (material), (displaylist), (displaylist_size), (vertices), (vertices_size), rect, (attributes) }

typedef struct {
    Layer *layers;
    u32 layer_count;
    Material *materials;
    u32 material_count;
    Texture *textures;
    u32 texture_count;
} StaticMesh;

#define STATICMESH_INIT(layers, layer_count, materials, material_count, textures, texture_count) \
    { (layers), (layer_count), (materials), (material_count), (textures), (texture_count) }

#endif
