/*
 * The draw-list half of interpret.c, which includes it when built with
 * -DQUILLMESH_TEST_DRAW=NAME_draw: the RSP and RDP state that the texture,
 * combiner and mode commands set, kept as the console keeps it, and checked
 * against the mesh's own tables before each layer is drawn.
 */

extern Gfx QUILLMESH_TEST_DRAW[];

enum { kTmemBytes = 4096, kPaletteTmem = 256 /* 64-bit words: the upper half */ };

typedef struct {
    u32 fmt, siz, line, tmem, palette, cmt, maskt, cms, masks;
    u32 uls, ult, lrs, lrt; /* 10.2 fixed point */
    int set;
} Tile;

typedef struct {
    /* RSP */
    int lit;
    int texture_on;
    u32 scale_s, scale_t;
    /* RDP */
    u32 combine_w0, combine_w1;
    int combine_set;
    u32 prim;
    int prim_set;
    u32 tlut; /* G_TT_... */
    const void *image;
    u32 image_fmt, image_siz, image_width;
    Tile tiles[8];
    const void *texels_from; /* image of the last texel load into TMEM address 0 */
    u32 texel_bytes;         /* TMEM bytes it filled */
    const void *palette_from;
    int drew; /* triangles drawn since the last pipe sync */
} DrawState;

static u32 bytes_of(u32 siz) { return siz == 0 ? 0 : 1u << (siz - 1); } /* 8b 1, 16b 2, 32b 4 */

/* The texture whose texel array begins at `p`, or -1. */
static int texture_at(const void *p) {
    u32 j;
    for (j = 0; j < mesh.texture_count; ++j)
        if (mesh.textures[j].texels == p) return (int)j;
    return -1;
}

/* The G_IM_FMT and G_IM_SIZ of a TEXTURE_FMT. */
static void format_of(u8 format, u32 *fmt, u32 *siz) {
    switch (format) {
        case TEXTURE_FMT_CI4: *fmt = G_IM_FMT_CI, *siz = G_IM_SIZ_4b; break;
        case TEXTURE_FMT_CI8: *fmt = G_IM_FMT_CI, *siz = G_IM_SIZ_8b; break;
        case TEXTURE_FMT_RGBA16: *fmt = G_IM_FMT_RGBA, *siz = G_IM_SIZ_16b; break;
        case TEXTURE_FMT_RGBA32: *fmt = G_IM_FMT_RGBA, *siz = G_IM_SIZ_32b; break;
        case TEXTURE_FMT_I4: *fmt = G_IM_FMT_I, *siz = G_IM_SIZ_4b; break;
        case TEXTURE_FMT_I8: *fmt = G_IM_FMT_I, *siz = G_IM_SIZ_8b; break;
        case TEXTURE_FMT_IA4: *fmt = G_IM_FMT_IA, *siz = G_IM_SIZ_4b; break;
        case TEXTURE_FMT_IA8: *fmt = G_IM_FMT_IA, *siz = G_IM_SIZ_8b; break;
        case TEXTURE_FMT_IA16: *fmt = G_IM_FMT_IA, *siz = G_IM_SIZ_16b; break;
        default: *fmt = 7, *siz = 7;
    }
}

/* The bytes of the texture array the current image names; refuses any other image. */
static u32 room_in_image(const DrawState *s, u32 layer, size_t c) {
    const int j = texture_at(s->image);
    if (j < 0) fail(layer, c, "load from an image that is no texture of the mesh");
    return mesh.textures[j].size;
}

/* A state command after triangles needs a pipe sync first. */
static void needs_sync(const DrawState *s, u32 layer, size_t c) {
    if (s->drew) fail(layer, c, "state changed after drawing without a pipe sync");
}

static void load_block(DrawState *s, u32 w1, u32 layer, size_t c) {
    const Tile *t = &s->tiles[(w1 >> 24) & 7];
    const u32 texels = ((w1 >> 12) & 0xFFF) + 1;
    const u32 bytes = texels * bytes_of(s->image_siz);
    if (t->tmem * 8 + bytes > kTmemBytes) fail(layer, c, "block load past TMEM");
    if (bytes > (room_in_image(s, layer, c) + 7) / 8 * 8) fail(layer, c, "block load past the texture's array");
    s->texels_from = s->image;
    s->texel_bytes = bytes;
}

static void load_tile(DrawState *s, u32 w0, u32 w1, u32 layer, size_t c) {
    const Tile *t = &s->tiles[(w1 >> 24) & 7];
    const u32 uls = ((w0 >> 12) & 0xFFF) >> 2, ult = (w0 & 0xFFF) >> 2;
    const u32 lrs = ((w1 >> 12) & 0xFFF) >> 2, lrt = (w1 & 0xFFF) >> 2;
    const u32 b = bytes_of(s->image_siz);
    if (lrs < uls || lrt < ult) fail(layer, c, "empty tile load");
    if ((lrs - uls + 1) * b > t->line * 8 * (s->image_siz == G_IM_SIZ_32b ? 2 : 1))
        fail(layer, c, "tile row longer than its TMEM line");
    if (t->tmem * 8 + (lrt - ult + 1) * t->line * 8 * (s->image_siz == G_IM_SIZ_32b ? 2 : 1) > kTmemBytes)
        fail(layer, c, "tile load past TMEM");
    if (lrs >= s->image_width) fail(layer, c, "tile load past the image's width");
    if ((lrt * s->image_width + lrs + 1) * b > room_in_image(s, layer, c))
        fail(layer, c, "tile load past the texture's array");
    s->texels_from = s->image;
    s->texel_bytes = (lrt - ult + 1) * t->line * 8;
}

/* Combiner cycle 0 as a name: (a - b) * c + d of the colour. */
static const char *combine_name(const DrawState *s) {
    const u32 a = (s->combine_w0 >> 20) & 0xF, cc = (s->combine_w0 >> 15) & 0x1F;
    const u32 b = (s->combine_w1 >> 28) & 0xF, d = (s->combine_w1 >> 15) & 0x7;
    if (!s->combine_set) return "unset";
    if (a == G_CCMUX_TEXEL0 && b == 15 && cc == G_CCMUX_SHADE && d == 7) return "texture*shade";
    if (a == G_CCMUX_PRIMITIVE && b == 15 && cc == G_CCMUX_SHADE && d == 7) return "primitive*shade";
    if (a == 15 && b == 15 && cc == G_CCMUX_0 && d == G_CCMUX_SHADE) return "shade";
    return "other";
}

/* The checks and the state line before layer n is drawn. */
static void check_layer_state(const DrawState *s, u32 n, size_t c) {
    const Layer *layer = &mesh.layers[n];
    const char *combine = combine_name(s);
    const Tile *t = &s->tiles[G_TX_RENDERTILE];
    printf("state %u: lit %d combine %s", (unsigned)n, s->lit, combine);
    if (combine[0] == 't') {
        const int j = texture_at(s->texels_from);
        const Texture *texture;
        u32 fmt, siz;
        if (!s->texture_on) fail(n, c, "texturing combiner with the texture off");
        if (s->scale_s != 0x8000 || s->scale_t != 0x8000) fail(n, c, "texture scale is not for texels times 64");
        if (j < 0) fail(n, c, "no texture loaded");
        if (layer->material >= mesh.material_count || mesh.materials[layer->material].texture_id != j)
            fail(n, c, "texture is not the material's");
        texture = &mesh.textures[j];
        format_of(texture->format, &fmt, &siz);
        if (!t->set || t->fmt != fmt || t->siz != siz) fail(n, c, "tile format is not the texture's");
        if (layer->attributes & LAYERATTRIBUTE_PREVENT_SEAMS) {
            /* The tile holds the layer's rectangle (4-bit tiles in whole bytes). */
            const Rectangle *r = &layer->rect;
            if ((t->uls >> 2) > r->left || (t->ult >> 2) > r->top || (t->lrs >> 2) + 1 < r->right ||
                (t->lrt >> 2) + 1 < r->bottom || (t->lrs >> 2) >= texture->width || (t->lrt >> 2) >= texture->height)
                fail(n, c, "tile does not hold the layer's rectangle");
        } else if (t->uls != 0 || t->ult != 0 || t->lrt != (u32)(texture->height - 1) << 2 ||
                   (t->lrs != (u32)(texture->width - 1) << 2 &&
                    /* a single row of an odd number of 4-bit texels: one more, in whole bytes */
                    !(siz == G_IM_SIZ_4b && texture->height == 1 && t->lrs == (u32)texture->width << 2))) {
            fail(n, c, "tile size is not the texture's");
        }
        if (fmt == G_IM_FMT_CI) {
            if (s->tlut != G_TT_RGBA16) fail(n, c, "palette lookup off for a colour-indexed texture");
            if (s->palette_from != texture->palette) fail(n, c, "palette is not the texture's");
            if (s->texel_bytes > kPaletteTmem * 8) fail(n, c, "texels overlap the palette");
        } else if (s->tlut != G_TT_NONE) {
            fail(n, c, "palette lookup on for a texture without palette");
        }
        printf(" texture %d fmt %u siz %u tile %u %u %u %u cm %u %u mask %u %u palette %s", j, (unsigned)t->fmt,
               (unsigned)t->siz, (unsigned)(t->uls >> 2), (unsigned)(t->ult >> 2), (unsigned)(t->lrs >> 2),
               (unsigned)(t->lrt >> 2), (unsigned)t->cms, (unsigned)t->cmt, (unsigned)t->masks, (unsigned)t->maskt,
               fmt == G_IM_FMT_CI ? "loaded" : "none");
    } else {
        if (s->texture_on) fail(n, c, "texture on under a combiner without texels");
        printf(" texture off");
        if (layer->material < mesh.material_count && mesh.materials[layer->material].texture_id != TEXTURE_ID_NONE)
            printf(" (the material's texture left off)");
    }
    if (combine[0] == 'p') {
        if (!s->prim_set) fail(n, c, "primitive colour unset");
        printf(" prim %u %u %u %u", (unsigned)(s->prim >> 24), (unsigned)((s->prim >> 16) & 0xFF),
               (unsigned)((s->prim >> 8) & 0xFF), (unsigned)(s->prim & 0xFF));
    }
    printf("\n");
}

static void run_draw_list(u32 slots) {
    DrawState s;
    u32 next = 0; /* the layer the next G_DL must call */
    size_t c;
    const u32 kNoLayer = 0xFFFFFFFFu;
    memset(&s, 0, sizeof s);
    s.lit = -1; /* the game's until set */
    for (c = 0;; ++c) {
        const Gfx *g = &QUILLMESH_TEST_DRAW[c];
        const u32 w0 = g->words.w0, w1 = g->words.w1;
        const u32 op = w0 >> 24;
        if (c > 100000) fail(kNoLayer, c, "no end command");
        switch (op) {
            case G_RDPPIPESYNC: s.drew = 0; break;
            case G_RDPTILESYNC:
            case G_RDPLOADSYNC: break;
            case G_SETCOMBINE:
                needs_sync(&s, next, c);
                s.combine_w0 = w0 & 0xFFFFFF, s.combine_w1 = w1, s.combine_set = 1;
                break;
            case G_SETPRIMCOLOR:
                needs_sync(&s, next, c);
                s.prim = w1, s.prim_set = 1;
                break;
            case G_SETOTHERMODE_H:
#ifdef QUILLMESH_TEST_FAST3D
                if (((w0 >> 8) & 0xFF) != G_MDSFT_TEXTLUT || (w0 & 0xFF) != 2) fail(next, c, "other mode not TEXTLUT");
#else
                if (((w0 >> 8) & 0xFF) != 32 - G_MDSFT_TEXTLUT - 2 || (w0 & 0xFF) != 1)
                    fail(next, c, "other mode not TEXTLUT");
#endif
                needs_sync(&s, next, c);
                s.tlut = w1;
                break;
            case G_SETTIMG:
                s.image = g->addr.addr;
                s.image_fmt = (w0 >> 21) & 7, s.image_siz = (w0 >> 19) & 3, s.image_width = (w0 & 0xFFF) + 1;
                break;
            case G_SETTILE: {
                Tile *t = &s.tiles[(w1 >> 24) & 7];
                needs_sync(&s, next, c);
                t->fmt = (w0 >> 21) & 7, t->siz = (w0 >> 19) & 3, t->line = (w0 >> 9) & 0x1FF, t->tmem = w0 & 0x1FF;
                t->palette = (w1 >> 20) & 0xF, t->cmt = (w1 >> 18) & 3, t->maskt = (w1 >> 14) & 0xF;
                t->cms = (w1 >> 8) & 3, t->masks = (w1 >> 4) & 0xF;
                t->set = 1;
                break;
            }
            case G_SETTILESIZE: {
                Tile *t = &s.tiles[(w1 >> 24) & 7];
                needs_sync(&s, next, c);
                t->uls = (w0 >> 12) & 0xFFF, t->ult = w0 & 0xFFF, t->lrs = (w1 >> 12) & 0xFFF, t->lrt = w1 & 0xFFF;
                break;
            }
            case G_LOADBLOCK: needs_sync(&s, next, c); load_block(&s, w1, next, c); break;
            case G_LOADTILE: needs_sync(&s, next, c); load_tile(&s, w0, w1, next, c); break;
            case G_LOADTLUT: {
                const Tile *t = &s.tiles[(w1 >> 24) & 7];
                needs_sync(&s, next, c);
                if (t->tmem < kPaletteTmem) fail(next, c, "palette below TMEM's upper half");
                if (t->tmem * 8 + (((w1 >> 14) & 0x3FF) + 1) * 8 > kTmemBytes) fail(next, c, "palette past TMEM");
                s.palette_from = s.image;
                if (s.texel_bytes > kPaletteTmem * 8) s.texels_from = NULL; /* the palette overwrote them */
                break;
            }
            case G_TEXTURE:
                s.scale_s = w1 >> 16, s.scale_t = w1 & 0xFFFF;
#ifdef QUILLMESH_TEST_FAST3D
                s.texture_on = (w0 & 0xFF) != 0;
#else
                s.texture_on = ((w0 >> 1) & 0x7F) != 0;
#endif
                if (((w0 >> 8) & 7) != G_TX_RENDERTILE) fail(next, c, "texture on another tile than the render tile");
                break;
#ifdef QUILLMESH_TEST_FAST3D
            case G_SETGEOMETRYMODE:
                if (w1 & G_LIGHTING) s.lit = 1;
                break;
            case G_CLEARGEOMETRYMODE:
                if (w1 & G_LIGHTING) s.lit = 0;
                break;
#else
            case G_GEOMETRYMODE:
                if (!(w0 & G_LIGHTING)) s.lit = 0;
                if (w1 & G_LIGHTING) s.lit = 1;
                break;
#endif
            case G_DL:
                if (next >= mesh.layer_count || g->addr.addr != mesh.layers[next].displaylist)
                    fail(next, c, "display list call is not the next layer's");
                check_layer_state(&s, next, c);
                run_layer(next, slots);
                s.drew = 1;
                ++next;
                break;
            case G_ENDDL:
                if (next != mesh.layer_count) fail(next, c, "draw list ends before the last layer");
                return;
            default:
                fail(next, c, "unknown command");
        }
    }
}
