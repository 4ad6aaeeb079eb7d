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
//   tiny-chunks     N empty chunks of an unknown kind, then N odd-length ones
//   tiny-subchunks  a surface of N empty sub-chunks, then N odd-length ones

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
        else if (kind == "tiny-chunks") tiny_chunks(b, n);
        else if (kind == "tiny-subchunks") tiny_subchunks(b, n);
        else known = false;
    });
    if (!known) {
        std::fprintf(stderr, "unknown kind: %s\n", argv[1]);
        return 2;
    }
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.bytes.data()), static_cast<std::streamsize>(b.bytes.size()));
    return out ? 0 : 1;
}
