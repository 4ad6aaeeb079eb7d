/*
 * A tiny "game" that uses the meshes quillmesh made for it. Each model is
 * drawn with one gSPDisplayList of its draw list, which loads every layer's
 * texture and sets its combiner; the game sets render mode, z-buffer, lights
 * and matrices itself. On the console the frame's list would go to the RSP;
 * on the host the game only describes the meshes and what it would draw.
 */
#include <stdio.h>

/* Made by quillmesh_add_models() in CMakeLists.txt, with HEADERS. */
#include "model_box.h"
#include "model_plane.h"

static const char *format_name(u8 format) {
    switch (format) {
        case TEXTURE_FMT_CI4: return "CI4";
        case TEXTURE_FMT_RGBA16: return "RGBA16";
        case TEXTURE_FMT_RGBA32: return "RGBA32";
        case TEXTURE_FMT_CI8: return "CI8";
        case TEXTURE_FMT_I4: return "I4";
        case TEXTURE_FMT_I8: return "I8";
        case TEXTURE_FMT_IA4: return "IA4";
        case TEXTURE_FMT_IA8: return "IA8";
        case TEXTURE_FMT_IA16: return "IA16";
        default: return "none";
    }
}

/* Triangles drawn by a display list, counted from its command words. */
static u32 count_triangles(const Layer *layer) {
    u32 triangles = 0;
    for (u32 i = 0; i < layer->displaylist_size / sizeof(Gfx); ++i) {
        u32 command = layer->displaylist[i].words.w0 >> 24;
        if (command == G_TRI1) triangles += 1;
#ifdef G_TRI2 /* Fast3D has no two-triangle command */
        if (command == G_TRI2) triangles += 2;
#endif
    }
    return triangles;
}

static void describe(const char *name, const StaticMesh *mesh) {
    u32 vertices = 0, triangles = 0, tiles = 0;
    for (u32 i = 0; i < mesh->layer_count; ++i) {
        const Layer *layer = &mesh->layers[i];
        vertices += layer->vertices_size / sizeof(Vtx);
        triangles += count_triangles(layer);
        if (layer->attributes & LAYERATTRIBUTE_PREVENT_SEAMS) ++tiles;
    }
    printf("%s: %u layers (%u tiles), %u vertices, %u triangles, %u materials, %u textures\n", name,
           (unsigned)mesh->layer_count, (unsigned)tiles, (unsigned)vertices, (unsigned)triangles,
           (unsigned)mesh->material_count, (unsigned)mesh->texture_count);
    for (u32 i = 0; i < mesh->texture_count; ++i) {
        const Texture *texture = &mesh->textures[i];
        printf("  texture %u: %u x %u %s\n", (unsigned)i, (unsigned)texture->width,
               (unsigned)texture->height, format_name(texture->format));
    }
}

/* The layers a model's draw list calls, counted from its command words. */
static u32 count_layer_calls(const Gfx *draw) {
    u32 calls = 0;
    for (; draw->words.w0 >> 24 != G_ENDDL; ++draw)
        if (draw->words.w0 >> 24 == G_DL) ++calls;
    return calls;
}

int main(void) {
    /* The frame's models, one command each. */
    Gfx frame[3];
    gSPDisplayList(&frame[0], model_box_draw);
    gSPDisplayList(&frame[1], model_plane_draw);
    gSPEndDisplayList(&frame[2]);
    (void)frame;

    describe("model_box", &model_box);
    describe("model_plane", &model_plane);
    printf("frame: model_box_draw calls %u layers, model_plane_draw %u\n",
           (unsigned)count_layer_calls(model_box_draw), (unsigned)count_layer_calls(model_plane_draw));
    return 0;
}
