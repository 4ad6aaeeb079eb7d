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
//   tiled-fan       shared-point with a texture map and a clip whose image,
//                   tile.bmp (written beside OUT), is over the TMEM budget:
//                   converted with -t, every triangle becomes a layer
//   empty-records   N empty tags, N polygons of no corners and N texture-map
//                   entries of no values: 2 bytes of file for each record
//   tiny-chunks     N empty chunks of an unknown kind, then N odd-length ones
//   tiny-subchunks  a surface of N empty sub-chunks, then N odd-length ones

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

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
        else if (kind == "tiled-fan") tiled_fan(b, n);
        else if (kind == "empty-records") empty_records(b, n);
        else if (kind == "tiny-chunks") tiny_chunks(b, n);
        else if (kind == "tiny-subchunks") tiny_subchunks(b, n);
        else known = false;
    });
    if (!known) {
        std::fprintf(stderr, "unknown kind: %s\n", argv[1]);
        return 2;
    }
    if (kind == "tiled-fan") {
        const std::string image = tile_bmp();
        std::ofstream(std::filesystem::path(argv[3]).parent_path() / "tile.bmp", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.bytes.data()), static_cast<std::streamsize>(b.bytes.size()));
    return out ? 0 : 1;
}
