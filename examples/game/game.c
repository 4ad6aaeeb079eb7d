/*
 * A tiny "game" that uses the meshes quillmesh made for it. On the console
 * each layer's display list would be drawn with gSPDisplayList after loading
 * its material's texture; on the host it only describes the meshes.
 */
#include <stdio.h>

#include "myheader.h"

/* Made by quillmesh_add_models() in CMakeLists.txt. */
extern StaticMesh model_box;
extern StaticMesh model_plane;

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

int main(void) {
    describe("model_box", &model_box);
    describe("model_plane", &model_plane);
    return 0;
}
