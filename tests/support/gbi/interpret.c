/*
 * Runs the display lists of a converted object the way the console's F3DEX2
 * microcode would (Fast3D when built against support/fast3d/myheader.h),
 * and prints every triangle drawn.
 *
 * Built by the tests together with a converted file, against the test
 * myheader.h (whose macros encode the GBI command words), as
 *     cc interpret.c converted.c -o interpret
 * and run as
 *     interpret SLOTS
 * with the size of the vertex cache. For each layer, in order, the cache
 * starts empty; G_VTX loads vertices into slots, G_TRI1 and G_TRI2 draw from
 * slots, G_ENDDL ends the list. Each triangle is printed as one line:
 *     layer: x y z s t r g b a | x y z s t r g b a | x y z s t r g b a
 * its corners in drawing order. Anything the console would not draw as
 * meant ends the run with a message on standard error and exit status 1: a
 * load past the cache or past the vertex array, a slot outside the cache or
 * never loaded in this layer, an unknown command, a list that runs past its
 * end without G_ENDDL.
 *
 * Built with -DQUILLMESH_TEST_DRAW=mesh_draw it runs that draw list (-g)
 * instead: each G_DL must call the next layer's list, every layer once, in
 * order. Before each layer it prints the state the layer is drawn with:
 *     state N: lit L combine C texture J fmt F siz S tile ULS ULT LRS LRT
 *              cm CMS CMT mask MS MT palette P prim R G B A
 * (one line; "texture off" where there is none, followed by "(the
 * material's texture left off)" when the material names one), and
 * refuses what the console would draw wrong: a change of RDP state after
 * drawing without a pipe sync, a load past TMEM or past the texture's
 * array, a texturing combiner with the texture off, a texture or palette
 * that is not the material's, a tile of another format or size than the
 * texture's (or than the rectangle of a tile layer), a texture scale other
 * than texels times 64, palette lookup that does not match the format.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "myheader.h"

extern StaticMesh mesh;

/* The message is the last line of the combined output: the triangles
   printed so far go out first. */
static void fail(u32 layer, size_t command, const char *what) {
    fflush(stdout);
    fprintf(stderr, "layer %u, command %zu: %s\n", (unsigned)layer, command, what);
    exit(1);
}

static void print_vertex(const Vtx *v) {
    printf("%d %d %d %d %d %u %u %u %u", v->v.ob[0], v->v.ob[1], v->v.ob[2], v->v.tc[0], v->v.tc[1],
           (unsigned)v->v.cn[0], (unsigned)v->v.cn[1], (unsigned)v->v.cn[2], (unsigned)v->v.cn[3]);
}

#ifdef QUILLMESH_TEST_FAST3D
enum { kSlotStride = 10 }; /* bytes of vertex buffer per slot */
#else
enum { kSlotStride = 2 };
#endif

/* One triangle from the three 8-bit slot offsets in the low 24 bits of `word`. */
static void draw(u32 layer, size_t command, u32 word, const Vtx *const *cache, u32 slots) {
    const u32 offsets[3] = {(word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF};
    int k;
    for (k = 0; k < 3; ++k) {
        if (offsets[k] % kSlotStride != 0) fail(layer, command, "odd slot offset");
        if (offsets[k] / kSlotStride >= slots) fail(layer, command, "slot outside the cache");
        if (cache[offsets[k] / kSlotStride] == NULL) fail(layer, command, "slot not loaded");
    }
    printf("%u: ", (unsigned)layer);
    for (k = 0; k < 3; ++k) {
        if (k > 0) printf(" | ");
        print_vertex(cache[offsets[k] / kSlotStride]);
    }
    printf("\n");
}

/* The vertices a G_VTX command loads: how many, and the slot after the last. */
static void vertex_load(u32 w0, u32 *count, u32 *end) {
#ifdef QUILLMESH_TEST_FAST3D
    *count = ((w0 >> 20) & 0x0F) + 1;
    *end = ((w0 >> 16) & 0x0F) + *count;
    if ((w0 & 0xFFFF) != *count * sizeof(Vtx)) *count = 0; /* refused as a bad count */
#else
    *count = (w0 >> 12) & 0xFF;
    *end = (w0 >> 1) & 0x7F;
#endif
}

/* Runs layer n's own list against a cache that starts empty. */
static void run_layer(u32 n, u32 slots) {
    const Vtx *cache[128];
    const Layer *layer = &mesh.layers[n];
    const size_t commands = layer->displaylist_size / sizeof(Gfx);
    const size_t vertex_count = layer->vertices_size / sizeof(Vtx);
    size_t c;
    int ended = 0;
    u32 k;
    for (k = 0; k < slots; ++k) cache[k] = NULL;
    for (c = 0; c < commands && !ended; ++c) {
        const Gfx *g = &layer->displaylist[c];
        const u32 w0 = g->words.w0;
        switch (w0 >> 24) {
            case G_VTX: {
                u32 count, end;
                const Vtx *from = (const Vtx *)g->addr.addr;
                vertex_load(w0, &count, &end);
                if (count == 0 || count > end) fail(n, c, "bad vertex count");
                if (end > slots) fail(n, c, "load overflows the vertex cache");
                if (from < layer->vertices || from + count > layer->vertices + vertex_count)
                    fail(n, c, "load outside the vertex array");
                for (k = 0; k < count; ++k) cache[end - count + k] = from + k;
                break;
            }
#ifdef QUILLMESH_TEST_FAST3D
            case G_TRI1:
                draw(n, c, g->words.w1, cache, slots);
                break;
#else
            case G_TRI1:
                draw(n, c, w0, cache, slots);
                break;
            case G_TRI2:
                draw(n, c, w0, cache, slots);
                draw(n, c, g->words.w1, cache, slots);
                break;
#endif
            case G_ENDDL:
                ended = 1;
                break;
            default:
                fail(n, c, "unknown command");
        }
    }
    if (!ended) fail(n, c, "no end command");
}

#ifdef QUILLMESH_TEST_DRAW
#include "run_draw_list.h"
#endif

int main(int argc, char **argv) {
    u32 slots;
    u32 n;
    if (argc != 2) {
        fprintf(stderr, "usage: interpret SLOTS\n");
        return 2;
    }
    slots = (u32)strtoul(argv[1], NULL, 10);
    if (slots < 1 || slots > 128) {
        fprintf(stderr, "SLOTS: 1 to 128\n");
        return 2;
    }
#ifdef QUILLMESH_TEST_DRAW
    run_draw_list(slots);
#else
    for (n = 0; n < mesh.layer_count; ++n) run_layer(n, slots);
#endif
    (void)n;
    return 0;
}
