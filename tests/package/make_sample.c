/*
 * Writes tiny sample files for the package tests.
 *
 *   make_sample object OBJECT.lwo IMAGE   an LWO2 object: one layer with one
 *                                         textured quad whose image clip names
 *                                         IMAGE (looked up beside the object)
 *   make_sample image IMAGE.png RRGGBB    a 2 x 2 PNG of one colour
 *
 * Two objects with different images let a test change one image and see
 * which objects a build converts again; a new colour changes the C text.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <stb/stb_image_write.h>

typedef struct {
    unsigned char data[1024];
    size_t size;
} Buffer;

static void put_u1(Buffer *b, unsigned v) {
    if (b->size == sizeof b->data) {
        fprintf(stderr, "make_sample: object too large\n");
        exit(1);
    }
    b->data[b->size++] = (unsigned char)v;
}

static void put_u2(Buffer *b, unsigned v) {
    put_u1(b, (v >> 8) & 0xFF);
    put_u1(b, v & 0xFF);
}

static void put_u4(Buffer *b, uint32_t v) {
    put_u2(b, (v >> 16) & 0xFFFF);
    put_u2(b, v & 0xFFFF);
}

static void put_f4(Buffer *b, float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    put_u4(b, bits);
}

static void put_id(Buffer *b, const char *id) {
    for (int i = 0; i < 4; ++i) put_u1(b, (unsigned char)id[i]);
}

/* A string, its 0 byte, and a pad byte to an even count. */
static void put_string(Buffer *b, const char *s) {
    size_t n = strlen(s);
    for (size_t i = 0; i < n; ++i) put_u1(b, (unsigned char)s[i]);
    put_u1(b, 0);
    if ((n + 1) % 2 == 1) put_u1(b, 0);
}

/* Chunks and sub-chunks: the header now, the length once the body is in. */
static size_t open_chunk(Buffer *b, const char *id, int length_size) {
    put_id(b, id);
    size_t at = b->size;
    for (int i = 0; i < length_size; ++i) put_u1(b, 0);
    return at;
}

static void close_chunk(Buffer *b, size_t at, int length_size) {
    size_t length = b->size - at - (size_t)length_size;
    for (int i = length_size - 1; i >= 0; --i, length >>= 8) b->data[at + (size_t)i] = length & 0xFF;
    if ((b->size - at) % 2 == 1) put_u1(b, 0);
}

static int write_object(const char *path, const char *image) {
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    Buffer b = {{0}, 0};
    size_t form = open_chunk(&b, "FORM", 4), at, block, header;
    put_id(&b, "LWO2");

    at = open_chunk(&b, "TAGS", 4);
    put_string(&b, "Painted");
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "LAYR", 4);
    put_u2(&b, 0);
    put_u2(&b, 0);
    put_f4(&b, 0), put_f4(&b, 0), put_f4(&b, 0);
    put_string(&b, "Quad");
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "PNTS", 4);
    for (int i = 0; i < 4; ++i) put_f4(&b, corners[i][0] * 10), put_f4(&b, corners[i][1] * 10), put_f4(&b, 0);
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "VMAP", 4);
    put_id(&b, "TXUV");
    put_u2(&b, 2);
    put_string(&b, "UV");
    for (int i = 0; i < 4; ++i) put_u2(&b, (unsigned)i), put_f4(&b, (corners[i][0] + 1) / 2), put_f4(&b, (corners[i][1] + 1) / 2);
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "POLS", 4);
    put_id(&b, "FACE");
    put_u2(&b, 4);
    for (int i = 0; i < 4; ++i) put_u2(&b, (unsigned)i);
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "PTAG", 4);
    put_id(&b, "SURF");
    put_u2(&b, 0);
    put_u2(&b, 0);
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "CLIP", 4);
    put_u4(&b, 1);
    block = open_chunk(&b, "STIL", 2);
    put_string(&b, image);
    close_chunk(&b, block, 2);
    close_chunk(&b, at, 4);

    at = open_chunk(&b, "SURF", 4);
    put_string(&b, "Painted");
    put_string(&b, "");
    block = open_chunk(&b, "COLR", 2);
    put_f4(&b, 1), put_f4(&b, 1), put_f4(&b, 1);
    put_u2(&b, 0);
    close_chunk(&b, block, 2);
    block = open_chunk(&b, "BLOK", 2);
    header = open_chunk(&b, "IMAP", 2);
    put_string(&b, "\x80");
    close_chunk(&b, header, 2);
    header = open_chunk(&b, "PROJ", 2); /* UV mapping through the map "UV" */
    put_u2(&b, 5);
    close_chunk(&b, header, 2);
    header = open_chunk(&b, "IMAG", 2);
    put_u2(&b, 1);
    close_chunk(&b, header, 2);
    header = open_chunk(&b, "VMAP", 2);
    put_string(&b, "UV");
    close_chunk(&b, header, 2);
    close_chunk(&b, block, 2);
    close_chunk(&b, at, 4);

    close_chunk(&b, form, 4);

    FILE *file = fopen(path, "wb");
    if (!file) return 0;
    int written = fwrite(b.data, 1, b.size, file) == b.size;
    return fclose(file) == 0 && written;
}

static int write_image(const char *path, const char *hex) {
    char *end;
    unsigned long rgb = strtoul(hex, &end, 16);
    if (*hex == '\0' || *end != '\0' || rgb > 0xFFFFFF) return 0;
    unsigned char pixels[2 * 2 * 3];
    for (int i = 0; i < 4; ++i) {
        pixels[i * 3] = (rgb >> 16) & 0xFF;
        pixels[i * 3 + 1] = (rgb >> 8) & 0xFF;
        pixels[i * 3 + 2] = rgb & 0xFF;
    }
    return stbi_write_png(path, 2, 2, 3, pixels, 2 * 3) != 0;
}

int main(int argc, char **argv) {
    int ok = 0;
    if (argc == 4 && strcmp(argv[1], "object") == 0) {
        ok = write_object(argv[2], argv[3]);
    } else if (argc == 4 && strcmp(argv[1], "image") == 0) {
        ok = write_image(argv[2], argv[3]);
    } else {
        fprintf(stderr, "usage: make_sample object OBJECT.lwo IMAGE | image IMAGE.png RRGGBB\n");
        return 2;
    }
    if (!ok) fprintf(stderr, "make_sample: could not write %s\n", argv[2]);
    return ok ? 0 : 1;
}
