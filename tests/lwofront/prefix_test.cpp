// One object that uses every chunk and sub-chunk the reader handles, read
// whole, cut at every byte, and with single bytes spoiled: each read must give
// an object or an error, never a crash or a hang.

#include <gtest/gtest.h>

#include <set>

#include "lwofront/parse.hpp"
#include "support/lwo_builder.hpp"

namespace {

using lwo_test::Builder;
using namespace lwofront;

std::vector<std::byte> full_object() {
    Builder b;
    b.form([&] {
        b.chunk("TAGS", [&] { b.str("Wood").str("Default"); });
        b.chunk("LAYR", [&] { b.u2(1).u2(0).vec3(0, 1, 0).str("base").u2(0); });
        b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(1, 1, 0).vec3(0, 1, 0); });
        b.chunk("BBOX", [&] { b.vec3(0, 0, 0).vec3(1, 1, 0); });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("uv");
            for (std::uint32_t i = 0; i < 4; ++i) b.vx(i).f4(float(i & 1)).f4(float(i >> 1));
        });
        b.chunk("POLS", [&] { b.id("FACE").u2(4).vx(0).vx(1).vx(2).vx(3).u2(0x8003).vx(0).vx(1).vx(0x10000); });
        b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0).vx(0x10001).u2(1); });
        b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(2).vx(0).f4(0.5f).f4(0.5f); });
        b.chunk("XTRA", [&] { b.raw({1, 2, 3}); });
        b.chunk("LAYR", [&] { b.u2(2).u2(0).vec3(0, 0, 0).str("child").u2(1); });
        b.chunk("PNTS", [&] { b.vec3(2, 2, 2); });
        b.chunk("CLIP", [&] {
            b.u4(1);
            b.sub("STIL", [&] { b.str("images/wood.png"); });
            b.sub("FLAG", [&] { b.u2(0).u2(1); });
        });
        b.chunk("SURF", [&] {
            b.str("Wood").str("");
            b.sub("COLR", [&] { b.vec3(0.5f, 0.25f, 0).vx(0); });
            b.sub("DIFF", [&] { b.f4(1).vx(0); });
            b.sub("SPEC", [&] { b.f4(0).vx(0x10000); });
            b.sub("GLOS", [&] { b.f4(0.4f).vx(0); });
            b.sub("XTRA", [&] { b.raw({9}); });
            b.sub("BLOK", [&] {
                b.sub("IMAP", [&] {
                    b.raw({0x80, 0});
                    b.sub("CHAN", [&] { b.id("COLR"); });
                    b.sub("OPAC", [&] { b.u2(0).f4(1).vx(0); });
                    b.sub("ENAB", [&] { b.u2(1); });
                    b.sub("NEGA", [&] { b.u2(0); });
                });
                b.sub("TMAP", [&] {
                    b.sub("CNTR", [&] { b.vec3(0, 0, 0).vx(0); });
                    b.sub("SIZE", [&] { b.vec3(1, 1, 1).vx(0); });
                    b.sub("ROTA", [&] { b.vec3(0, 0, 0).vx(0); });
                    b.sub("OREF", [&] { b.str("(none)"); });
                    b.sub("FALL", [&] { b.u2(0).vec3(0, 0, 0).vx(0); });
                    b.sub("CSYS", [&] { b.u2(0); });
                });
                b.sub("PROJ", [&] { b.u2(5); });
                b.sub("AXIS", [&] { b.u2(2); });
                b.sub("IMAG", [&] { b.vx(1); });
                b.sub("WRAP", [&] { b.u2(1).u2(1); });
                b.sub("WRPW", [&] { b.f4(1).vx(0); });
                b.sub("WRPH", [&] { b.f4(1).vx(0); });
                b.sub("VMAP", [&] { b.str("uv"); });
                b.sub("AAST", [&] { b.u2(1).f4(1); });
                b.sub("PIXB", [&] { b.u2(1); });
            });
        });
    });
    return b.bytes;
}

// Every error the reader can give, by description.
bool is_known_error(const Error& e) {
    static const std::set<std::string> known = {
        "failed to fill whole buffer",    "invalid utf-8", "IO error", "Unknown BLOK header",
        "sub-chunk runs past the end of its parent",
    };
    return known.count(e.description()) == 1 || e.lwo == LwoError::NoLayer;
}

TEST(Prefix, WholeObjectReadsCompletely) {
    const auto bytes = full_object();
    auto r = lwo_test::parse(bytes);
    ASSERT_TRUE(r) << r.error().description();
    EXPECT_EQ(r->tags, (std::vector<std::string>{"Wood", "Default"}));
    ASSERT_EQ(r->layers.size(), 2u);
    const Layr& base = r->layers[0];
    EXPECT_EQ(base.points.vec.size(), 4u);
    ASSERT_EQ(base.vmaps.size(), 1u);
    EXPECT_EQ(base.vmaps[0].entries.size(), 4u);
    ASSERT_EQ(base.pols.polygons.size(), 2u);
    ASSERT_EQ(base.pols.polygons[1].vertices.size(), 3u);
    EXPECT_EQ(base.pols.polygons[1].vertices[2], 0x10000u);
    ASSERT_EQ(base.ptag.entries.size(), 2u);
    EXPECT_EQ(base.ptag.entries[1].polygon, 0x10001u);
    ASSERT_EQ(base.vmads.size(), 1u);
    EXPECT_EQ(base.vmads[0].entries.size(), 1u);
    EXPECT_EQ(r->layers[1].parent, 1u);
    EXPECT_EQ(r->layers[1].points.vec.size(), 1u);
    ASSERT_EQ(r->clips.size(), 1u);
    EXPECT_EQ(r->clips[0].stills, std::vector<std::string>{"images/wood.png"});
    ASSERT_EQ(r->surfaces.size(), 1u);
    const auto& attributes = r->surfaces[0].attributes;
    ASSERT_EQ(attributes.size(), 5u);
    const Blok& blok = std::get<Blok>(attributes[4]);
    EXPECT_EQ(blok.header.attributes.size(), 3u);
    EXPECT_EQ(blok.attributes.size(), 10u);
    EXPECT_EQ(std::get<Tmap>(blok.attributes[0]).attributes.size(), 6u);
}

TEST(Prefix, EveryCutGivesAnObjectOrAnError) {
    lwo_test::expect_every_prefix_read_or_refused(full_object(), "LWO2", is_known_error);
}

TEST(Prefix, EverySpoiledByteGivesAnObjectOrAnError) {
    const auto bytes = full_object();
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            auto spoiled = bytes;
            spoiled[k] = std::byte(value);
            auto r = lwo_test::parse(spoiled);
            if (!r) {
                EXPECT_TRUE(is_known_error(r.error())) << k << ": " << r.error().description();
            }
        }
    }
}

}  // namespace
