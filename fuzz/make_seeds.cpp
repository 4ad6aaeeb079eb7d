// Writes the generated seeds of the fuzz corpus:
//
//   quillmesh_fuzz_seeds fuzz/corpus
//
// gives fuzz/corpus/fuzz_pipeline/gen-* (two control bytes, then an LWO2,
// LWO3 or LWOB file; see fuzz_pipeline.cpp) and fuzz/corpus/fuzz_image/gen-*
// (one small image
// per format the decoder reads). The real files beside them are copied by
// hand from tests/data/real-lwo2 and tests/data/lwo3-lwob.

#include <stb/stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lwo_builder.hpp"
#include "lwo_formats.hpp"
#include "png_builder.hpp"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Options of the pipeline target's first byte, then of its second.
constexpr std::uint8_t kTile = 1;
constexpr std::uint8_t kNegativeScale = 1 << 1;
constexpr std::uint8_t kBatch = 1 << 4;
constexpr std::uint8_t kSplitSurfaces = 1;
constexpr std::uint8_t kFitTextures = 1 << 3;
constexpr std::uint8_t kPreview = 1 << 4;

void write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_object(const fs::path& dir, const std::string& name, std::uint8_t control, std::uint8_t more,
                  const lwo_test::Builder& b) {
    Bytes bytes{control, more};
    for (std::byte v : b.bytes) bytes.push_back(std::uint8_t(v));
    write(dir / ("gen-" + name), bytes);
}

void layer(lwo_test::Builder& b, std::uint16_t number) {
    b.chunk("LAYR", [&] { b.u2(number).u2(0).vec3(0, 0, 0).str("layer").u2(0); });
}

// One surface whose first block maps clip 1; the clip names `image`.
void textured_surface(lwo_test::Builder& b, const std::string& image) {
    b.chunk("CLIP", [&] {
        b.u4(1);
        b.sub("STIL", [&] { b.str("images/" + image); });
    });
    b.chunk("SURF", [&] {
        b.str("Skin").str("");
        b.sub("COLR", [&] { b.vec3(0.8f, 0.5f, 0.2f).vx(0); });
        b.sub("DIFF", [&] { b.f4(1).vx(0); });
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] {
                b.raw({0x80, 0});
                b.sub("CHAN", [&] { b.id("COLR"); });
                b.sub("ENAB", [&] { b.u2(1); });
                b.sub("OPAC", [&] { b.u2(0).f4(1).vx(0); });
            });
            b.sub("TMAP", [&] {
                b.sub("CNTR", [&] { b.vec3(0, 0, 0).vx(0); });
                b.sub("SIZE", [&] { b.vec3(1, 1, 1).vx(0); });
                b.sub("CSYS", [&] { b.u2(0); });
            });
            b.sub("PROJ", [&] { b.u2(5); });
            b.sub("IMAG", [&] { b.vx(1); });
            b.sub("WRAP", [&] { b.u2(1).u2(1); });
            b.sub("VMAP", [&] { b.str("uv"); });
        });
    });
}

// A textured cube: eight points, six quads, a texture map and one surface.
lwo_test::Builder cube(const std::string& image) {
    lwo_test::Builder b;
    b.form([&] {
        b.chunk("TAGS", [&] { b.str("Skin"); });
        layer(b, 0);
        b.chunk("PNTS", [&] {
            for (int k = 0; k < 8; ++k) b.vec3(k & 1 ? 1.f : -1.f, k & 2 ? 1.f : -1.f, k & 4 ? 1.f : -1.f);
        });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("uv");
            for (int k = 0; k < 8; ++k) b.vx(k).f4(k & 1 ? 1.f : 0.f).f4(k & 2 ? 1.f : 0.f);
        });
        b.chunk("POLS", [&] {
            b.id("FACE");
            for (auto q : {std::vector<int>{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4},
                           {1, 5, 7, 3}}) {
                b.u2(4);
                for (int v : q) b.vx(v);
            }
        });
        b.chunk("PTAG", [&] {
            b.id("SURF");
            for (int p = 0; p < 6; ++p) b.vx(p).u2(0);
        });
        textured_surface(b, image);
    });
    return b;
}

// Polygons of 3, 4, 5 and 7 corners, one concave, with per-polygon texture
// values (VMAD) on a shared point, and a second layer with its own surface.
lwo_test::Builder shapes() {
    lwo_test::Builder b;
    b.form([&] {
        b.chunk("TAGS", [&] { b.str("Skin").str("Other"); });
        layer(b, 0);
        b.chunk("PNTS", [&] {
            const float xy[][2] = {{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}, {6, 0}, {6, 3}, {8, 5}, {5, 6}};
            for (auto p : xy) b.vec3(p[0], p[1], 0);
        });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("uv");
            for (int k = 0; k < 9; ++k) b.vx(k).f4(k / 8.f).f4(1 - k / 8.f);
        });
        b.chunk("VMAD", [&] {
            b.id("TXUV").u2(2).str("uv");
            b.vx(1).vx(0).f4(0.25f).f4(0.75f);
            b.vx(1).vx(2).f4(0.5f).f4(0.5f);
        });
        b.chunk("POLS", [&] {
            b.id("FACE");
            b.u2(3).vx(0).vx(1).vx(3);
            b.u2(5).vx(0).vx(1).vx(2).vx(3).vx(4);
            b.u2(4).vx(1).vx(5).vx(6).vx(2);
            b.u2(7).vx(5).vx(6).vx(7).vx(8).vx(2).vx(3).vx(1);
        });
        b.chunk("PTAG", [&] {
            b.id("SURF");
            for (int p = 0; p < 4; ++p) b.vx(p).u2(0);
        });
        layer(b, 1);
        b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0); });
        b.chunk("POLS", [&] { b.id("FACE").u2(3).vx(0).vx(1).vx(2); });
        b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(1); });
        textured_surface(b, "c.png");
        b.chunk("SURF", [&] {
            b.str("Other").str("");
            b.sub("COLR", [&] { b.vec3(0, 0, 1).vx(0); });
        });
    });
    return b;
}

void write_pipeline_seeds(const fs::path& dir) {
    fs::create_directories(dir);
    write_object(dir, "cube-a", 0, 0, cube("a.png"));
    write_object(dir, "cube-b-tiled", kTile, 0, cube("b.png"));
    write_object(dir, "cube-b-fitted-drawn", kBatch, kFitTextures | kPreview, cube("b.png"));
    write_object(dir, "cube-missing-image", 0, 0, cube("missing.png"));
    write_object(dir, "shapes-tiled", kTile | kNegativeScale, 0, shapes());
    write_object(dir, "shapes-by-surface", 0, kSplitSurfaces, shapes());
    lwo_test::Builder empty;
    empty.form([] {});
    write_object(dir, "empty", 0, 0, empty);
    write_object(dir, "lwo3-nodes", 0, 0, lwo_test::lwo3_object());
    write_object(dir, "lwob-projected", 0, 0, lwo_test::lwob_object());
}

void append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void write_image_seeds(const fs::path& dir) {
    fs::create_directories(dir);
    constexpr int w = 8, h = 8;
    Bytes rgba;
    for (int k = 0; k < w * h; ++k) {
        rgba.insert(rgba.end(), {std::uint8_t(k * 4), std::uint8_t(255 - k), std::uint8_t(k % 3 * 100),
                                 std::uint8_t(k % 2 ? 255 : 128)});
    }
    Bytes out;
    stbi_write_png_to_func(append, &out, w, h, 4, rgba.data(), w * 4);
    write(dir / "gen-rgba.png", out);
    out.clear();
    stbi_write_bmp_to_func(append, &out, w, h, 3, rgba.data());
    write(dir / "gen-rgb.bmp", out);
    out.clear();
    stbi_write_tga_to_func(append, &out, w, h, 4, rgba.data());
    write(dir / "gen-rle.tga", out);
    out.clear();
    stbi_write_jpg_to_func(append, &out, w, h, 3, rgba.data(), 80);
    write(dir / "gen-baseline.jpg", out);

    using namespace png_builder;
    // Four colours through a palette with transparency, at 2 bits a pixel.
    write(dir / "gen-palette.png",
          png(4, 2, 2, 3, {{0x1B}, {0xE4}},
              {chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9}), chunk("tRNS", {255, 0})}));
    // Grey and alpha at 16 bits a channel.
    write(dir / "gen-grey16.png", png(2, 1, 16, 4, {{0x12, 0x34, 0xFF, 0xFF, 0xAB, 0xCD, 0x00, 0x00}}));
    // Binary PPM, 2 by 2.
    Bytes ppm{'P', '6', ' ', '2', ' ', '2', ' ', '2', '5', '5', '\n'};
    for (int k = 0; k < 12; ++k) ppm.push_back(std::uint8_t(k * 20));
    write(dir / "gen-small.ppm", ppm);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmesh_fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    write_pipeline_seeds(corpus / "fuzz_pipeline");
    write_image_seeds(corpus / "fuzz_image");
    return 0;
}
