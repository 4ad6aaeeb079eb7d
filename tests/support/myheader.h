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

/* Texture, combiner and mode commands, as the draw list (-g) uses them. The
   RDP commands and the texture load macros are the same for every
   microcode; the RSP's display-list call, texture switch, geometry mode and
   other-mode commands differ between F3DEX2 and Fast3D. */

#ifdef QUILLMESH_TEST_FAST3D
#define G_DL 0x06
#define G_TEXTURE 0xBB
#define G_SETGEOMETRYMODE 0xB7
#define G_CLEARGEOMETRYMODE 0xB6
#define G_SETOTHERMODE_H 0xBA
#define G_LIGHTING 0x00020000

#define gsSPTexture(s, t, level, tile, on)                                                            \
    { .words = {GBI_SHIFTL(G_TEXTURE, 24, 8) | GBI_SHIFTL((level), 11, 3) | GBI_SHIFTL((tile), 8, 3) | \
                    GBI_SHIFTL((on), 0, 8),                                                           \
                GBI_SHIFTL((s), 16, 16) | GBI_SHIFTL((t), 0, 16)} }
#define gsSPSetGeometryMode(word) { .words = {GBI_SHIFTL(G_SETGEOMETRYMODE, 24, 8), (u32)(word)} }
#define gsSPClearGeometryMode(word) { .words = {GBI_SHIFTL(G_CLEARGEOMETRYMODE, 24, 8), (u32)(word)} }
#define gsSPSetOtherMode(cmd, sft, len, data) \
    { .words = {GBI_SHIFTL((cmd), 24, 8) | GBI_SHIFTL((sft), 8, 8) | GBI_SHIFTL((len), 0, 8), (u32)(data)} }
#else
#define G_DL 0xDE
#define G_TEXTURE 0xD7
#define G_GEOMETRYMODE 0xD9
#define G_SETOTHERMODE_H 0xE3
#define G_LIGHTING 0x00200000

#define gsSPTexture(s, t, level, tile, on)                                                            \
    { .words = {GBI_SHIFTL(G_TEXTURE, 24, 8) | GBI_SHIFTL((level), 11, 3) | GBI_SHIFTL((tile), 8, 3) | \
                    GBI_SHIFTL((on), 1, 7),                                                           \
                GBI_SHIFTL((s), 16, 16) | GBI_SHIFTL((t), 0, 16)} }
/* Clears the bits of `c`, then sets those of `s`. */
#define gsSPGeometryMode(c, s) \
    { .words = {GBI_SHIFTL(G_GEOMETRYMODE, 24, 8) | GBI_SHIFTL(~(u32)(c), 0, 24), (u32)(s)} }
#define gsSPSetGeometryMode(word) gsSPGeometryMode(0, (word))
#define gsSPClearGeometryMode(word) gsSPGeometryMode((word), 0)
#define gsSPSetOtherMode(cmd, sft, len, data)                                                   \
    { .words = {GBI_SHIFTL((cmd), 24, 8) | GBI_SHIFTL(32 - (sft) - (len), 8, 8) |               \
                    GBI_SHIFTL((len) - 1, 0, 8),                                                \
                (u32)(data)} }
#endif

#define gsSPDisplayList(dl) { .addr = {GBI_SHIFTL(G_DL, 24, 8), (dl)} }

#define G_ON 1
#define G_OFF 0
#define G_MDSFT_TEXTLUT 14
#define G_TT_NONE (0 << G_MDSFT_TEXTLUT)
#define G_TT_RGBA16 (2 << G_MDSFT_TEXTLUT)
#define gsDPSetTextureLUT(type) gsSPSetOtherMode(G_SETOTHERMODE_H, G_MDSFT_TEXTLUT, 2, (type))

#define G_SETTIMG 0xFD
#define G_SETCOMBINE 0xFC
#define G_SETPRIMCOLOR 0xFA
#define G_SETTILE 0xF5
#define G_LOADTILE 0xF4
#define G_LOADBLOCK 0xF3
#define G_SETTILESIZE 0xF2
#define G_LOADTLUT 0xF0
#define G_RDPTILESYNC 0xE8
#define G_RDPPIPESYNC 0xE7
#define G_RDPLOADSYNC 0xE6

#define gsDPNoParam(cmd) { .words = {GBI_SHIFTL((cmd), 24, 8), 0} }
#define gsDPPipeSync() gsDPNoParam(G_RDPPIPESYNC)
#define gsDPTileSync() gsDPNoParam(G_RDPTILESYNC)
#define gsDPLoadSync() gsDPNoParam(G_RDPLOADSYNC)

#define gsDPSetPrimColor(m, l, r, g, b, a)                                                       \
    { .words = {GBI_SHIFTL(G_SETPRIMCOLOR, 24, 8) | GBI_SHIFTL((m), 8, 8) | GBI_SHIFTL((l), 0, 8), \
                GBI_SHIFTL((r), 24, 8) | GBI_SHIFTL((g), 16, 8) | GBI_SHIFTL((b), 8, 8) | GBI_SHIFTL((a), 0, 8)} }

/* The colour combiner: (a - b) * c + d for colour and alpha, two cycles. */
#define G_CCMUX_COMBINED 0
#define G_CCMUX_TEXEL0 1
#define G_CCMUX_TEXEL1 2
#define G_CCMUX_PRIMITIVE 3
#define G_CCMUX_SHADE 4
#define G_CCMUX_ENVIRONMENT 5
#define G_CCMUX_1 6
#define G_CCMUX_0 31
#define G_ACMUX_COMBINED 0
#define G_ACMUX_TEXEL0 1
#define G_ACMUX_TEXEL1 2
#define G_ACMUX_PRIMITIVE 3
#define G_ACMUX_SHADE 4
#define G_ACMUX_ENVIRONMENT 5
#define G_ACMUX_1 6
#define G_ACMUX_0 7

#define GCCc0w0(saRGB0, mRGB0, saA0, mA0) \
    (GBI_SHIFTL((saRGB0), 20, 4) | GBI_SHIFTL((mRGB0), 15, 5) | GBI_SHIFTL((saA0), 12, 3) | GBI_SHIFTL((mA0), 9, 3))
#define GCCc1w0(saRGB1, mRGB1) (GBI_SHIFTL((saRGB1), 5, 4) | GBI_SHIFTL((mRGB1), 0, 5))
#define GCCc0w1(sbRGB0, aRGB0, sbA0, aA0) \
    (GBI_SHIFTL((sbRGB0), 28, 4) | GBI_SHIFTL((aRGB0), 15, 3) | GBI_SHIFTL((sbA0), 12, 3) | GBI_SHIFTL((aA0), 9, 3))
#define GCCc1w1(sbRGB1, saA1, mA1, aRGB1, sbA1, aA1)                                                  \
    (GBI_SHIFTL((sbRGB1), 24, 4) | GBI_SHIFTL((saA1), 21, 3) | GBI_SHIFTL((mA1), 18, 3) |             \
     GBI_SHIFTL((aRGB1), 6, 3) | GBI_SHIFTL((sbA1), 3, 3) | GBI_SHIFTL((aA1), 0, 3))
#define gsDPSetCombineLERP(a0, b0, c0, d0, Aa0, Ab0, Ac0, Ad0, a1, b1, c1, d1, Aa1, Ab1, Ac1, Ad1)          \
    { .words = {GBI_SHIFTL(G_SETCOMBINE, 24, 8) |                                                        \
                    GBI_SHIFTL(GCCc0w0(G_CCMUX_##a0, G_CCMUX_##c0, G_ACMUX_##Aa0, G_ACMUX_##Ac0) |       \
                                   GCCc1w0(G_CCMUX_##a1, G_CCMUX_##c1),                                  \
                               0, 24),                                                                   \
                GCCc0w1(G_CCMUX_##b0, G_CCMUX_##d0, G_ACMUX_##Ab0, G_ACMUX_##Ad0) |                      \
                    GCCc1w1(G_CCMUX_##b1, G_ACMUX_##Aa1, G_ACMUX_##Ac1, G_CCMUX_##d1, G_ACMUX_##Ab1,     \
                            G_ACMUX_##Ad1)} }

/* Texel formats and sizes, and what the load macros derive from a size. */
#define G_IM_FMT_RGBA 0
#define G_IM_FMT_CI 2
#define G_IM_FMT_IA 3
#define G_IM_FMT_I 4
#define G_IM_SIZ_4b 0
#define G_IM_SIZ_8b 1
#define G_IM_SIZ_16b 2
#define G_IM_SIZ_32b 3
#define G_IM_SIZ_4b_BYTES 0
#define G_IM_SIZ_8b_BYTES 1
#define G_IM_SIZ_16b_BYTES 2
#define G_IM_SIZ_32b_BYTES 4
#define G_IM_SIZ_8b_TILE_BYTES 1
#define G_IM_SIZ_16b_TILE_BYTES 2
#define G_IM_SIZ_32b_TILE_BYTES 2
#define G_IM_SIZ_8b_LINE_BYTES 1
#define G_IM_SIZ_16b_LINE_BYTES 2
#define G_IM_SIZ_32b_LINE_BYTES 2
#define G_IM_SIZ_8b_LOAD_BLOCK G_IM_SIZ_16b
#define G_IM_SIZ_16b_LOAD_BLOCK G_IM_SIZ_16b
#define G_IM_SIZ_32b_LOAD_BLOCK G_IM_SIZ_32b
#define G_IM_SIZ_8b_SHIFT 1
#define G_IM_SIZ_16b_SHIFT 0
#define G_IM_SIZ_32b_SHIFT 0
#define G_IM_SIZ_8b_INCR 1
#define G_IM_SIZ_16b_INCR 0
#define G_IM_SIZ_32b_INCR 0

#define G_TX_LOADTILE 7
#define G_TX_RENDERTILE 0
#define G_TX_NOMIRROR 0
#define G_TX_WRAP 0
#define G_TX_MIRROR 1
#define G_TX_CLAMP 2
#define G_TX_NOMASK 0
#define G_TX_NOLOD 0
#define G_TEXTURE_IMAGE_FRAC 2
#define G_TX_DXT_FRAC 11

#define gsDPSetTextureImage(fmt, siz, width, img)                                                 \
    { .addr = {GBI_SHIFTL(G_SETTIMG, 24, 8) | GBI_SHIFTL((fmt), 21, 3) | GBI_SHIFTL((siz), 19, 2) | \
                   GBI_SHIFTL((width) - 1, 0, 12),                                                \
               (img)} }
#define gsDPSetTile(fmt, siz, line, tmem, tile, palette, cmt, maskt, shiftt, cms, masks, shifts)  \
    { .words = {GBI_SHIFTL(G_SETTILE, 24, 8) | GBI_SHIFTL((fmt), 21, 3) | GBI_SHIFTL((siz), 19, 2) | \
                    GBI_SHIFTL((line), 9, 9) | GBI_SHIFTL((tmem), 0, 9),                          \
                GBI_SHIFTL((tile), 24, 3) | GBI_SHIFTL((palette), 20, 4) | GBI_SHIFTL((cmt), 18, 2) | \
                    GBI_SHIFTL((maskt), 14, 4) | GBI_SHIFTL((shiftt), 10, 4) | GBI_SHIFTL((cms), 8, 2) | \
                    GBI_SHIFTL((masks), 4, 4) | GBI_SHIFTL((shifts), 0, 4)} }
#define gsDPLoadTileGeneric(cmd, tile, uls, ult, lrs, lrt)                                     \
    { .words = {GBI_SHIFTL((cmd), 24, 8) | GBI_SHIFTL((uls), 12, 12) | GBI_SHIFTL((ult), 0, 12), \
                GBI_SHIFTL((tile), 24, 3) | GBI_SHIFTL((lrs), 12, 12) | GBI_SHIFTL((lrt), 0, 12)} }
#define gsDPSetTileSize(tile, uls, ult, lrs, lrt) gsDPLoadTileGeneric(G_SETTILESIZE, tile, uls, ult, lrs, lrt)
#define gsDPLoadTile(tile, uls, ult, lrs, lrt) gsDPLoadTileGeneric(G_LOADTILE, tile, uls, ult, lrs, lrt)
#define gsDPLoadBlock(tile, uls, ult, lrs, dxt) gsDPLoadTileGeneric(G_LOADBLOCK, tile, uls, ult, lrs, dxt)
#define gsDPLoadTLUTCmd(tile, count) \
    { .words = {GBI_SHIFTL(G_LOADTLUT, 24, 8), GBI_SHIFTL((tile), 24, 3) | GBI_SHIFTL((count), 14, 10)} }

/* The line step of a block load: 1 << 11 over the 64-bit words of a row. */
#define GBI_MAX(a, b) ((a) > (b) ? (a) : (b))
#define TXL2WORDS(txls, b_txl) GBI_MAX(1, ((txls) * (b_txl) / 8))
#define CALC_DXT(width, b_txl) (((1 << G_TX_DXT_FRAC) + TXL2WORDS(width, b_txl) - 1) / TXL2WORDS(width, b_txl))
#define TXL2WORDS_4b(txls) GBI_MAX(1, ((txls) / 16))
#define CALC_DXT_4b(width) (((1 << G_TX_DXT_FRAC) + TXL2WORDS_4b(width) - 1) / TXL2WORDS_4b(width))

#define gsDPLoadTextureBlock(timg, fmt, siz, width, height, pal, cms, cmt, masks, maskt, shifts, shiftt)        \
    gsDPSetTextureImage(fmt, siz##_LOAD_BLOCK, 1, timg),                                                          \
        gsDPSetTile(fmt, siz##_LOAD_BLOCK, 0, 0, G_TX_LOADTILE, 0, cmt, maskt, shiftt, cms, masks, shifts),       \
        gsDPLoadSync(),                                                                                           \
        gsDPLoadBlock(G_TX_LOADTILE, 0, 0, (((width) * (height) + siz##_INCR) >> siz##_SHIFT) - 1,               \
                      CALC_DXT(width, siz##_BYTES)),                                                              \
        gsDPPipeSync(),                                                                                           \
        gsDPSetTile(fmt, siz, ((((width) * siz##_LINE_BYTES) + 7) >> 3), 0, G_TX_RENDERTILE, pal, cmt, maskt,    \
                    shiftt, cms, masks, shifts),                                                                  \
        gsDPSetTileSize(G_TX_RENDERTILE, 0, 0, ((width) - 1) << G_TEXTURE_IMAGE_FRAC,                             \
                        ((height) - 1) << G_TEXTURE_IMAGE_FRAC)

#define gsDPLoadTextureBlock_4b(timg, fmt, width, height, pal, cms, cmt, masks, maskt, shifts, shiftt)            \
    gsDPSetTextureImage(fmt, G_IM_SIZ_16b, 1, timg),                                                              \
        gsDPSetTile(fmt, G_IM_SIZ_16b, 0, 0, G_TX_LOADTILE, 0, cmt, maskt, shiftt, cms, masks, shifts),           \
        gsDPLoadSync(),                                                                                           \
        gsDPLoadBlock(G_TX_LOADTILE, 0, 0, (((width) * (height) + 3) >> 2) - 1, CALC_DXT_4b(width)),             \
        gsDPPipeSync(),                                                                                           \
        gsDPSetTile(fmt, G_IM_SIZ_4b, ((((width) >> 1) + 7) >> 3), 0, G_TX_RENDERTILE, pal, cmt, maskt, shiftt,   \
                    cms, masks, shifts),                                                                          \
        gsDPSetTileSize(G_TX_RENDERTILE, 0, 0, ((width) - 1) << G_TEXTURE_IMAGE_FRAC,                             \
                        ((height) - 1) << G_TEXTURE_IMAGE_FRAC)

#define gsDPLoadTextureTile(timg, fmt, siz, width, height, uls, ult, lrs, lrt, pal, cms, cmt, masks, maskt,       \
                            shifts, shiftt)                                                                       \
    gsDPSetTextureImage(fmt, siz, width, timg),                                                                   \
        gsDPSetTile(fmt, siz, ((((lrs) - (uls) + 1) * siz##_TILE_BYTES + 7) >> 3), 0, G_TX_LOADTILE, 0, cmt,     \
                    maskt, shiftt, cms, masks, shifts),                                                           \
        gsDPLoadSync(),                                                                                           \
        gsDPLoadTile(G_TX_LOADTILE, (uls) << G_TEXTURE_IMAGE_FRAC, (ult) << G_TEXTURE_IMAGE_FRAC,                 \
                     (lrs) << G_TEXTURE_IMAGE_FRAC, (lrt) << G_TEXTURE_IMAGE_FRAC),                               \
        gsDPPipeSync(),                                                                                           \
        gsDPSetTile(fmt, siz, ((((lrs) - (uls) + 1) * siz##_LINE_BYTES + 7) >> 3), 0, G_TX_RENDERTILE, pal, cmt, \
                    maskt, shiftt, cms, masks, shifts),                                                           \
        gsDPSetTileSize(G_TX_RENDERTILE, (uls) << G_TEXTURE_IMAGE_FRAC, (ult) << G_TEXTURE_IMAGE_FRAC,            \
                        (lrs) << G_TEXTURE_IMAGE_FRAC, (lrt) << G_TEXTURE_IMAGE_FRAC)

#define gsDPLoadTextureTile_4b(timg, fmt, width, height, uls, ult, lrs, lrt, pal, cms, cmt, masks, maskt, shifts, \
                               shiftt)                                                                            \
    gsDPSetTextureImage(fmt, G_IM_SIZ_8b, ((width) >> 1), timg),                                                  \
        gsDPSetTile(fmt, G_IM_SIZ_8b, (((((lrs) - (uls) + 1) >> 1) + 7) >> 3), 0, G_TX_LOADTILE, 0, cmt, maskt,  \
                    shiftt, cms, masks, shifts),                                                                  \
        gsDPLoadSync(),                                                                                           \
        gsDPLoadTile(G_TX_LOADTILE, (uls) << (G_TEXTURE_IMAGE_FRAC - 1), (ult) << G_TEXTURE_IMAGE_FRAC,           \
                     (lrs) << (G_TEXTURE_IMAGE_FRAC - 1), (lrt) << G_TEXTURE_IMAGE_FRAC),                         \
        gsDPPipeSync(),                                                                                           \
        gsDPSetTile(fmt, G_IM_SIZ_4b, (((((lrs) - (uls) + 1) >> 1) + 7) >> 3), 0, G_TX_RENDERTILE, pal, cmt,     \
                    maskt, shiftt, cms, masks, shifts),                                                           \
        gsDPSetTileSize(G_TX_RENDERTILE, (uls) << G_TEXTURE_IMAGE_FRAC, (ult) << G_TEXTURE_IMAGE_FRAC,            \
                        (lrs) << G_TEXTURE_IMAGE_FRAC, (lrt) << G_TEXTURE_IMAGE_FRAC)

/* A palette into TMEM's upper half: 16 entries at palette `pal`, or 256. */
#define gsDPLoadTLUT_pal16(pal, dram)                                                                 \
    gsDPSetTextureImage(G_IM_FMT_RGBA, G_IM_SIZ_16b, 1, dram), gsDPTileSync(),                        \
        gsDPSetTile(0, 0, 0, (256 + (((pal) & 0xF) * 16)), G_TX_LOADTILE, 0, 0, 0, 0, 0, 0, 0), gsDPLoadSync(), \
        gsDPLoadTLUTCmd(G_TX_LOADTILE, 15), gsDPPipeSync()
#define gsDPLoadTLUT_pal256(dram)                                                                                \
    gsDPSetTextureImage(G_IM_FMT_RGBA, G_IM_SIZ_16b, 1, dram), gsDPTileSync(),                                   \
        gsDPSetTile(0, 0, 0, 256, G_TX_LOADTILE, 0, 0, 0, 0, 0, 0, 0), gsDPLoadSync(),                           \
        gsDPLoadTLUTCmd(G_TX_LOADTILE, 255), gsDPPipeSync()

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
