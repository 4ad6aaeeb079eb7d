// Writes LWO2 files built to be slow or large to convert, for
// bench/resource_bounds.sh:
//
//   quillmesh_hostile_gen KIND N OUT
//
// KIND and what N counts:
//   shared-point    N triangles that all hold point 0 (a fan over at most
//                   30000 points, so the layer stays within 32768 vertices)
//   vmad-one-point  N VMAD entries for point 0, all naming one polygon whose
//                   1023 corners are all point 0
//   claims-4gib     N kilobytes of skipped chunks, then a chunk that claims
//                   0xFFFFFFFF bytes
//   big-polygons    N polygons of 1023 corners over the same 1023 points on
//                   a widening spiral, so that every corner's triangle holds
//                   all earlier corners: the ear search's worst case
//   comb            N polygons of 1023 corners over the same 1023 points: a
//                   simple comb of 255 long thin teeth, whose every reflex
//                   corner sits in a notch: quadratic for a crossing test
//                   or an ear search that rescans every corner
//   tiled-fan       shared-point with a texture map and a clip whose image,
//                   tile.bmp (written beside OUT), is over the TMEM budget:
//                   converted with -t, every triangle becomes a layer
//   textured-layers N triangles in layers of 173 x 173 = 29929 points (two
//                   triangles to a grid cell), each layer with a texture map
//                   and the texture of tiled-fan: a big textured object as
//                   modellers save them, for bench/run.sh's figures beside
//                   its grid of quads
//   empty-records   N empty tags, N polygons of no corners and N texture-map
//                   entries of no values: 2 bytes of file for each record
//   tiny-chunks     N empty chunks of an unknown kind, then N odd-length ones
//   tiny-subchunks  a surface of N empty sub-chunks, then N odd-length ones
//   empty-layers    N empty LAYR chunks: 8 bytes of file for each layer
//   ptag-surfaces   a layer whose PTAG tags N polygons with a tag no surface
//                   has, then N unnamed surfaces: each surface is looked for
//                   among all the layer's tags
//   layer-ptags     N layers of one tagged polygon each, then N unnamed
//                   surfaces: each layer looks among all the surfaces
//   shared-image    N clips that all name one.png (written beside OUT), a
//                   PNG of 1024 x 1024 pixels in few bytes
//   big-image       one clip naming big.png (written beside OUT), a grey PNG
//                   of N x N pixels in few bytes

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <stb/stb_image_write.h>

#include "lwo_builder.hpp"

namespace {

using lwo_test::Builder;

void layer(Builder& b) {
    b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0); });
}

void shared_point(Builder& b, std::uint32_t n) {
    const std::uint32_t points = std::min<std::uint32_t>(n + 1, 30000);
    layer(b);
    b.chunk("PNTS", [&] {
        b.vec3(0, 0, 0);
        for (std::uint32_t k = 1; k < points; ++k) b.vec3(float(k % 200), float(k / 200), 1);
    });
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (std::uint32_t k = 0; k < n; ++k) {
            const std::uint32_t a = 1 + k % (points - 2);
            b.u2(3).vx(0).vx(a).vx(a + 1);
        }
    });
}

// Clip 1, tile.bmp, and the surface "Tiled" that maps it.
void tiled_surface(Builder& b) {
    b.chunk("CLIP", [&] {
        b.u4(1);
        b.sub("STIL", [&] { b.str("tile.bmp"); });
    });
    b.chunk("SURF", [&] {
        b.str("Tiled").str("");
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] { b.raw({0x80, 0}); });
            b.sub("IMAG", [&] { b.vx(1); });
        });
    });
}

void tiled_fan(Builder& b, std::uint32_t n) {
    b.chunk("TAGS", [&] { b.str("Tiled"); });
    shared_point(b, n);
    const std::uint32_t points = std::min<std::uint32_t>(n + 1, 30000);
    b.chunk("VMAP", [&] {
        b.id("TXUV").u2(2).str("uv");
        for (std::uint32_t k = 0; k < points; ++k) b.vx(k).f4(float(k % 200) / 200).f4(float(k / 200) / 150);
    });
    b.chunk("PTAG", [&] {
        b.id("SURF");
        for (std::uint32_t k = 0; k < n; ++k) b.vx(k).u2(0);
    });
    tiled_surface(b);
}

void textured_layers(Builder& b, std::uint32_t n) {
    constexpr std::uint32_t kSide = 173;  // points along a layer's side
    constexpr std::uint32_t kPerLayer = 2 * (kSide - 1) * (kSide - 1);
    b.chunk("TAGS", [&] { b.str("Tiled"); });
    for (std::uint32_t first = 0; first < n; first += kPerLayer) {
        const std::uint32_t triangles = std::min(kPerLayer, n - first);
        const float offset = float(first / kPerLayer) * float(kSide);
        layer(b);
        b.chunk("PNTS", [&] {
            for (std::uint32_t k = 0; k < kSide * kSide; ++k) b.vec3(offset + float(k % kSide), float(k % 7), float(k / kSide));
        });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("uv");
            for (std::uint32_t k = 0; k < kSide * kSide; ++k)
                b.vx(k).f4(float(k % kSide) / (kSide - 1)).f4(float(k / kSide) / (kSide - 1));
        });
        b.chunk("POLS", [&] {
            b.id("FACE");
            for (std::uint32_t t = 0; t < triangles; ++t) {
                const std::uint32_t cell = t / 2, corner = cell / (kSide - 1) * kSide + cell % (kSide - 1);
                if (t % 2 == 0) b.u2(3).vx(corner).vx(corner + kSide).vx(corner + 1);
                else b.u2(3).vx(corner + 1).vx(corner + kSide).vx(corner + kSide + 1);
            }
        });
        b.chunk("PTAG", [&] {
            b.id("SURF");
            for (std::uint32_t t = 0; t < triangles; ++t) b.vx(t).u2(0);
        });
    }
    tiled_surface(b);
}

// A 64 x 64 BMP of 24-bit pixels in 40 colours: an Rgba16 texture of 4096
// texels, four times what TMEM holds.
std::string tile_bmp() {
    std::string out = "BM";
    auto le = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(char(v >> (8 * i) & 0xFF));
    };
    const std::uint32_t data = 64 * 64 * 3;
    le(54 + data, 4), le(0, 4), le(54, 4), le(40, 4), le(64, 4), le(64, 4), le(1, 2), le(24, 2);
    le(0, 4), le(data, 4), le(2835, 4), le(2835, 4), le(0, 4), le(0, 4);
    for (std::uint32_t k = 0; k < 64 * 64; ++k) {
        const auto c = char(k % 40 * 6);
        out += {c, char(255 - c), c};
    }
    return out;
}

void vmad_one_point(Builder& b, std::uint32_t n) {
    layer(b);
    b.chunk("PNTS", [&] { b.vec3(0, 0, 0); });
    b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv").vx(0).f4(0.5f).f4(0.5f); });
    b.chunk("VMAD", [&] {
        b.id("TXUV").u2(2).str("uv");
        for (std::uint32_t k = 0; k < n; ++k) b.vx(0).vx(0).f4(float(k % 100) / 100).f4(0.25f);
    });
    b.chunk("POLS", [&] {
        b.id("FACE").u2(1023);
        for (int k = 0; k < 1023; ++k) b.vx(0);
    });
}

void claims_4gib(Builder& b, std::uint32_t kib) {
    for (std::uint32_t k = 0; k < kib; ++k) {
        b.chunk("FILL", [&] {
            for (int i = 0; i < 1016; ++i) b.u1(0);
        });
    }
    b.header("PNTS", 0xFFFFFFFFu).vec3(1, 2, 3);
}

void big_polygons(Builder& b, std::uint32_t n) {
    layer(b);
    b.chunk("PNTS", [&] {
        // A little less than half a turn from corner to corner.
        double radius = 1;
        for (int k = 0; k < 1023; ++k) {
            const double angle = 2 * 3.14159265358979 * 0.45 * k;
            b.vec3(float(radius * std::cos(angle)), float(radius * std::sin(angle)), 0);
            radius *= 1.002;
        }
    });
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (std::uint32_t p = 0; p < n; ++p) {
            b.u2(1023);
            for (int k = 0; k < 1023; ++k) b.vx(std::uint32_t(k));
        }
    });
}

void comb(Builder& b, std::uint32_t n) {
    constexpr int kTeeth = 255;
    layer(b);
    b.chunk("PNTS", [&] {
        // Tooth k rises from x = 2k to 2k + 1, over a base strip 0 <= y <= 1;
        // one point below the base closes the outline.
        for (int k = 0; k < kTeeth; ++k) {
            const float x = float(2 * k);
            b.vec3(x, 1, 0).vec3(x, 100, 0).vec3(x + 1, 100, 0).vec3(x + 1, 1, 0);
        }
        b.vec3(float(2 * kTeeth - 1), 0, 0).vec3(float(kTeeth), -1, 0).vec3(0, 0, 0);
    });
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (std::uint32_t p = 0; p < n; ++p) {
            b.u2(4 * kTeeth + 3);
            for (int k = 0; k < 4 * kTeeth + 3; ++k) b.vx(std::uint32_t(k));
        }
    });
}

void empty_records(Builder& b, std::uint32_t n) {
    b.chunk("TAGS", [&] {
        for (std::uint32_t k = 0; k < n; ++k) b.u2(0);
    });
    layer(b);
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (std::uint32_t k = 0; k < n; ++k) b.u2(0);
    });
    b.chunk("VMAP", [&] {
        b.id("TXUV").u2(0).str("uv");
        for (std::uint32_t k = 0; k < n; ++k) b.vx(0);
    });
}

void tiny_chunks(Builder& b, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) b.header("NOPE", 0);
    for (std::uint32_t k = 0; k < n; ++k) b.header("NOPE", 1).u1(7).u1(0);
}

void tiny_subchunks(Builder& b, std::uint32_t n) {
    b.chunk("SURF", [&] {
        b.str("s").str("");
        for (std::uint32_t k = 0; k < n; ++k) b.subheader("NOPE", 0);
        for (std::uint32_t k = 0; k < n; ++k) b.subheader("NOPE", 1).u1(7).u1(0);
    });
}

void empty_layers(Builder& b, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) b.header("LAYR", 0);
}

void unnamed_surfaces(Builder& b, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) b.chunk("SURF", [&] { b.str("").str(""); });
}

void ptag_surfaces(Builder& b, std::uint32_t n) {
    b.chunk("TAGS", [&] { b.str("tag"); });
    layer(b);
    b.chunk("PTAG", [&] {
        b.id("SURF");
        for (std::uint32_t k = 0; k < n; ++k) b.vx(k).u2(0);
    });
    unnamed_surfaces(b, n);
}

void layer_ptags(Builder& b, std::uint32_t n) {
    b.chunk("TAGS", [&] { b.str("tag"); });
    for (std::uint32_t k = 0; k < n; ++k) {
        b.header("LAYR", 0);
        b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0); });
    }
    unnamed_surfaces(b, n);
}

// One textured triangle whose surface maps clip 1, then `clips` clips that
// all name `image`.
void clips_of_one_image(Builder& b, std::uint32_t clips, const char* image) {
    b.chunk("TAGS", [&] { b.str("Skin"); });
    layer(b);
    b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0); });
    b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv").vx(0).f4(0).f4(0).vx(1).f4(1).f4(0).vx(2).f4(0).f4(1); });
    b.chunk("POLS", [&] { b.id("FACE").u2(3).vx(0).vx(1).vx(2); });
    b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0); });
    for (std::uint32_t k = 1; k <= clips; ++k) {
        b.chunk("CLIP", [&] {
            b.u4(k);
            b.sub("STIL", [&] { b.str(image); });
        });
    }
    b.chunk("SURF", [&] {
        b.str("Skin").str("");
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] { b.raw({0x80, 0}); });
            b.sub("IMAG", [&] { b.vx(1); });
        });
    });
}

// A grey PNG of side x side pixels in a few colours, which compresses to
// almost nothing.
bool write_grey_png(const std::filesystem::path& path, std::uint32_t side) {
    std::vector<unsigned char> pixels(std::size_t{side} * side);
    for (std::size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<unsigned char>(k / side % 4 * 60);
    return stbi_write_png(path.c_str(), int(side), int(side), 1, pixels.data(), int(side)) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: quillmesh_hostile_gen KIND N OUT\n");
        return 2;
    }
    const std::string_view kind = argv[1];
    const auto n = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
    Builder b;
    bool known = true;
    b.form([&] {
        if (kind == "shared-point") shared_point(b, n);
        else if (kind == "vmad-one-point") vmad_one_point(b, n);
        else if (kind == "claims-4gib") claims_4gib(b, n);
        else if (kind == "big-polygons") big_polygons(b, n);
        else if (kind == "comb") comb(b, n);
        else if (kind == "tiled-fan") tiled_fan(b, n);
        else if (kind == "textured-layers") textured_layers(b, n);
        else if (kind == "empty-records") empty_records(b, n);
        else if (kind == "tiny-chunks") tiny_chunks(b, n);
        else if (kind == "tiny-subchunks") tiny_subchunks(b, n);
        else if (kind == "empty-layers") empty_layers(b, n);
        else if (kind == "ptag-surfaces") ptag_surfaces(b, n);
        else if (kind == "layer-ptags") layer_ptags(b, n);
        else if (kind == "shared-image") clips_of_one_image(b, n, "one.png");
        else if (kind == "big-image") clips_of_one_image(b, 1, "big.png");
        else known = false;
    });
    if (!known) {
        std::fprintf(stderr, "unknown kind: %s\n", argv[1]);
        return 2;
    }
    if (kind == "tiled-fan" || kind == "textured-layers") {
        const std::string image = tile_bmp();
        std::ofstream(std::filesystem::path(argv[3]).parent_path() / "tile.bmp", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    const std::filesystem::path beside = std::filesystem::path(argv[3]).parent_path();
    if (kind == "shared-image" && !write_grey_png(beside / "one.png", 1024)) return 1;
    if (kind == "big-image" && !write_grey_png(beside / "big.png", n)) return 1;
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.bytes.data()), static_cast<std::streamsize>(b.bytes.size()));
    return out ? 0 : 1;
}
