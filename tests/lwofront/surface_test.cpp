#include <gtest/gtest.h>

#include <functional>

#include "lwofront/parse.hpp"
#include "support/lwo_builder.hpp"

namespace {

using lwo_test::Builder;
using lwo_test::expect_error;
using lwo_test::parse;
using namespace lwofront;
using stream::make_id;

// A file holding one SURF chunk named "S" with an empty source, whose
// sub-chunks `body` writes.
Builder surface_file(const std::function<void(Builder&)>& body) {
    Builder b;
    b.form([&] {
        b.chunk("SURF", [&] {
            b.str("S").str("");
            body(b);
        });
    });
    return b;
}

Surf read_surface(const Builder& b) {
    auto r = parse(b.span());
    EXPECT_TRUE(r) << r.error().description();
    if (!r || r->surfaces.size() != 1) {
        ADD_FAILURE() << "expected one surface";
        return {};
    }
    return r->surfaces[0];
}

TEST(Surface, NameSourceAndNoAttributes) {
    Builder b;
    b.form([&] { b.chunk("SURF", [&] { b.str("Wood").str("Base"); }); });
    Surf surf = read_surface(b);
    EXPECT_EQ(surf.name, "Wood");
    EXPECT_EQ(surf.source, "Base");
    EXPECT_TRUE(surf.attributes.empty());
}

TEST(Surface, ShadingAttributesInFileOrder) {
    Surf surf = read_surface(surface_file([](Builder& b) {
        b.sub("COLR", [&] { b.vec3(1, 0.5f, 0.25f).vx(0); });
        b.sub("LUMI", [&] { b.f4(1).vx(0); });
        b.sub("DIFF", [&] { b.f4(0.75f).vx(3); });
        b.sub("SPEC", [&] { b.f4(0.5f).vx(0x10000); });
        b.sub("GLOS", [&] { b.f4(0.125f).vx(0xFF00); });
        b.sub("COLR", [&] { b.vec3(0, 0, 1).vx(0x123456); });
    }));
    ASSERT_EQ(surf.attributes.size(), 5u);
    const auto& first = std::get<Colr>(surf.attributes[0]);
    EXPECT_EQ(first.color.x, 1.0f);
    EXPECT_EQ(first.color.y, 0.5f);
    EXPECT_EQ(first.color.z, 0.25f);
    EXPECT_EQ(first.envelope, 0u);
    EXPECT_EQ(std::get<Diff>(surf.attributes[1]).value, 0.75f);
    EXPECT_EQ(std::get<Diff>(surf.attributes[1]).envelope, 3u);
    EXPECT_EQ(std::get<Spec>(surf.attributes[2]).value, 0.5f);
    EXPECT_EQ(std::get<Spec>(surf.attributes[2]).envelope, 0x10000u);
    EXPECT_EQ(std::get<Glos>(surf.attributes[3]).value, 0.125f);
    EXPECT_EQ(std::get<Glos>(surf.attributes[3]).envelope, 0xFF00u);
    EXPECT_EQ(std::get<Colr>(surf.attributes[4]).color.z, 1.0f);
    EXPECT_EQ(std::get<Colr>(surf.attributes[4]).envelope, 0x123456u);
}

TEST(Surface, ImageMapBlockWithEveryAttribute) {
    Surf surf = read_surface(surface_file([](Builder& b) {
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] {
                b.raw({0x80, 0x00});
                b.sub("CHAN", [&] { b.id("COLR"); });
                b.sub("NEGA", [&] { b.u2(0); });
                b.sub("OPAC", [&] { b.u2(2).f4(0.5f).vx(0x20000); });
                b.sub("ENAB", [&] { b.u2(1); });
            });
            b.sub("TMAP", [&] {
                b.sub("CNTR", [&] { b.vec3(1, 2, 3).vx(1); });
                b.sub("SIZE", [&] { b.vec3(4, 5, 6).vx(0x10001); });
                b.sub("ROTA", [&] { b.vec3(7, 8, 9).vx(2); });
                b.sub("OREF", [&] { b.str("(none)"); });
                b.sub("FALL", [&] { b.u2(1).vec3(0, 1, 0).vx(3); });
                b.sub("CSYS", [&] { b.u2(1); });
            });
            b.sub("PROJ", [&] { b.u2(5); });
            b.sub("AXIS", [&] { b.u2(2); });
            b.sub("IMAG", [&] { b.vx(1); });
            b.sub("WRAP", [&] { b.u2(1).u2(2); });
            b.sub("WRPW", [&] { b.f4(2).vx(0); });
            b.sub("WRPH", [&] { b.f4(3).vx(0xFF10); });
            b.sub("VMAP", [&] { b.str("Texture"); });
            b.sub("AAST", [&] { b.u2(1).f4(0.25f); });
            b.sub("PIXB", [&] { b.u2(1); });
            b.sub("NEGA", [&] { b.u2(0); });
        });
    }));
    ASSERT_EQ(surf.attributes.size(), 1u);
    const Blok& blok = std::get<Blok>(surf.attributes[0]);
    EXPECT_EQ(blok.header.kind, BlokHeaderKind::Imap);
    EXPECT_EQ(blok.header.ordinal, (std::vector<std::uint8_t>{0x80, 0x00}));
    ASSERT_EQ(blok.header.attributes.size(), 3u);
    EXPECT_EQ(std::get<Chan>(blok.header.attributes[0]).channel, make_id("COLR"));
    const Opac& opac = std::get<Opac>(blok.header.attributes[1]);
    EXPECT_EQ(opac.type, 2u);
    EXPECT_EQ(opac.opacity, 0.5f);
    EXPECT_EQ(opac.envelope, 0x20000u);
    EXPECT_EQ(std::get<Enab>(blok.header.attributes[2]).enable, 1u);

    ASSERT_EQ(blok.attributes.size(), 10u);
    const Tmap& tmap = std::get<Tmap>(blok.attributes[0]);
    ASSERT_EQ(tmap.attributes.size(), 6u);
    EXPECT_EQ(std::get<Cntr>(tmap.attributes[0]).vector.z, 3.0f);
    EXPECT_EQ(std::get<Cntr>(tmap.attributes[0]).envelope, 1u);
    EXPECT_EQ(std::get<Size>(tmap.attributes[1]).vector.x, 4.0f);
    EXPECT_EQ(std::get<Size>(tmap.attributes[1]).envelope, 0x10001u);
    EXPECT_EQ(std::get<Rota>(tmap.attributes[2]).vector.y, 8.0f);
    EXPECT_EQ(std::get<Oref>(tmap.attributes[3]).name, "(none)");
    const Fall& fall = std::get<Fall>(tmap.attributes[4]);
    EXPECT_EQ(fall.type, 1u);
    EXPECT_EQ(fall.vector.y, 1.0f);
    EXPECT_EQ(fall.envelope, 3u);
    EXPECT_EQ(std::get<Csys>(tmap.attributes[5]).type, 1u);
    EXPECT_EQ(std::get<Proj>(blok.attributes[1]).mode, 5u);
    EXPECT_EQ(std::get<Axis>(blok.attributes[2]).axis, 2u);
    EXPECT_EQ(std::get<Imag>(blok.attributes[3]).image, 1u);
    EXPECT_EQ(std::get<Wrap>(blok.attributes[4]).width_wrap, 1u);
    EXPECT_EQ(std::get<Wrap>(blok.attributes[4]).height_wrap, 2u);
    EXPECT_EQ(std::get<Wrpw>(blok.attributes[5]).cycles, 2.0f);
    EXPECT_EQ(std::get<Wrph>(blok.attributes[6]).cycles, 3.0f);
    EXPECT_EQ(std::get<Wrph>(blok.attributes[6]).envelope, 0xFF10u);
    EXPECT_EQ(std::get<VmapName>(blok.attributes[7]).name, "Texture");
    EXPECT_EQ(std::get<Aast>(blok.attributes[8]).flags, 1u);
    EXPECT_EQ(std::get<Aast>(blok.attributes[8]).strength, 0.25f);
    EXPECT_EQ(std::get<Pixb>(blok.attributes[9]).flags, 1u);
}

TEST(Surface, ImageIndexInItsLongForm) {
    Surf surf = read_surface(surface_file([](Builder& b) {
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] { b.raw({0x80, 0x00}); });
            b.sub("IMAG", [&] { b.vx(0x10002); });
        });
    }));
    const Blok& blok = std::get<Blok>(surf.attributes.at(0));
    EXPECT_EQ(std::get<Imag>(blok.attributes.at(0)).image, 0x10002u);
}

TEST(Surface, NamesAreMatchedOnlyAtTheirOwnLevel) {
    Surf surf = read_surface(surface_file([](Builder& b) {
        b.sub("CHAN", [&] { b.id("COLR"); });  // header sub-chunk at surface level
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] {
                b.raw({0x80, 0x00});
                b.sub("AXIS", [&] { b.u2(1); });  // block attribute inside the header
            });
            b.sub("ENAB", [&] { b.u2(1); });            // header sub-chunk after the header
            b.sub("CNTR", [&] { b.vec3(1, 1, 1).vx(0); });  // TMAP sub-chunk outside a TMAP
            b.sub("TMAP", [&] {
                b.sub("PROJ", [&] { b.u2(1); });  // block attribute inside a TMAP
            });
            b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0); });  // surface attribute in a block
        });
    }));
    ASSERT_EQ(surf.attributes.size(), 1u);
    const Blok& blok = std::get<Blok>(surf.attributes[0]);
    EXPECT_TRUE(blok.header.attributes.empty());
    ASSERT_EQ(blok.attributes.size(), 1u);
    EXPECT_TRUE(std::get<Tmap>(blok.attributes[0]).attributes.empty());
}

TEST(Surface, BlockThatIsNotAnImageMapFailsTheWholeRead) {
    for (const char* header : {"SHDR", "PROC", "GRAD"}) {
        SCOPED_TRACE(header);
        Builder b;
        b.form([&] {
            b.chunk("SURF", [&] {
                b.str("S").str("");
                b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0); });
                b.sub("BLOK", [&] {
                    b.sub(header, [&] {
                        b.raw({0x80, 0x00});
                        b.sub("ENAB", [&] { b.u2(1); });
                    });
                    b.sub("FUNC", [&] { b.str("x").u4(0); });
                });
            });
        });
        expect_error(parse(b.span()), ErrorKind::Lwo, LwoError::UnknownBlokHeader, "Unknown BLOK header");
    }
    // An empty block has no header: its zero identifier is no IMAP either.
    auto empty = surface_file([](Builder& b) { b.sub("BLOK", [] {}); });
    expect_error(parse(empty.span()), ErrorKind::Lwo, LwoError::UnknownBlokHeader, "Unknown BLOK header");
}

TEST(Clip, StillsAndOtherSubchunks) {
    Builder b;
    b.form([&] {
        b.chunk("CLIP", [&] {
            b.u4(1);
            b.sub("STIL", [&] { b.str("images/wood.png"); });
            b.sub("FLAG", [&] { b.u2(0).u2(0); });
            b.sub("STIL", [&] { b.str("second.png"); });
        });
        b.chunk("CLIP", [&] { b.u4(2); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->clips.size(), 2u);
    EXPECT_EQ(r->clips[0].index, 1u);
    EXPECT_EQ(r->clips[0].stills, (std::vector<std::string>{"images/wood.png", "second.png"}));
    EXPECT_EQ(r->clips[1].index, 2u);
    EXPECT_TRUE(r->clips[1].stills.empty());
}

// A sub-chunk that claims more than its parent has left fails at once, at
// every level, even when the file holds enough bytes after the parent.
TEST(Subchunk, RunningPastItsParentIsAnError) {
    struct Case {
        const char* name;
        std::function<void(Builder&)> surface;  // the SURF sub-chunks
    };
    const Case cases[] = {
        {"surface attribute", [](Builder& b) { b.subheader("COLR", 100).vec3(1, 1, 1).vx(0); }},
        {"block header",
         [](Builder& b) {
             b.sub("BLOK", [&] { b.subheader("IMAP", 40).raw({0x80, 0}); });
         }},
        {"header attribute",
         [](Builder& b) {
             b.sub("BLOK", [&] {
                 b.sub("IMAP", [&] { b.raw({0x80, 0}).subheader("CHAN", 8).id("COLR"); });
             });
         }},
        {"block attribute",
         [](Builder& b) {
             b.sub("BLOK", [&] {
                 b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                 b.subheader("IMAG", 4).u2(1);
             });
         }},
        {"texture-map attribute",
         [](Builder& b) {
             b.sub("BLOK", [&] {
                 b.sub("IMAP", [&] { b.raw({0x80, 0}); });
                 b.sub("TMAP", [&] { b.subheader("CNTR", 20).vec3(0, 0, 0).vx(0); });
             });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Builder b;
        b.form([&] {
            b.chunk("SURF", [&] {
                b.str("S").str("");
                c.surface(b);
            });
            b.chunk("XTRA", [&] { b.raw(std::string(200, 'x')); });
        });
        expect_error(parse(b.span()), ErrorKind::Lwo, LwoError::SubchunkOverrun,
                     "sub-chunk runs past the end of its parent");
    }

    Builder clip;
    clip.form([&] {
        clip.chunk("CLIP", [&] { clip.u4(1).subheader("STIL", 30).str("a.png"); });
        clip.chunk("XTRA", [&] { clip.raw(std::string(200, 'x')); });
    });
    expect_error(parse(clip.span()), ErrorKind::Lwo, LwoError::SubchunkOverrun,
                 "sub-chunk runs past the end of its parent");
}

// Bytes a handler leaves unread in a sub-chunk, and the pad after an odd
// length, are passed over so the next sub-chunk is read where it starts.
TEST(Subchunk, NextSubchunkIsFoundWhereItStarts) {
    Surf surf = read_surface(surface_file([](Builder& b) {
        b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0).u4(0xDEADBEEF); });  // longer than its fields
        b.sub("XTRA", [&] { b.raw({1, 2, 3}); });                      // odd length, padded
        b.sub("BLOK", [&] {
            b.sub("IMAP", [&] {
                b.raw({0x80, 0});
                b.sub("CHAN", [&] { b.id("COLR").u1(7); });  // odd and longer than its field
                b.sub("ENAB", [&] { b.u2(1); });
            });
            b.sub("TMAP", [&] {
                b.sub("CSYS", [&] { b.u2(1).u2(9); });
                b.sub("CNTR", [&] { b.vec3(1, 2, 3).vx(0); });
            });
            b.sub("IMAG", [&] { b.vx(1).u1(5); });
            b.sub("PROJ", [&] { b.u2(5); });
        });
        b.sub("DIFF", [&] { b.f4(0.5f).vx(0); });
    }));
    ASSERT_EQ(surf.attributes.size(), 3u);
    EXPECT_EQ(std::get<Colr>(surf.attributes[0]).color.x, 1.0f);
    const Blok& blok = std::get<Blok>(surf.attributes[1]);
    ASSERT_EQ(blok.header.attributes.size(), 2u);
    EXPECT_EQ(std::get<Enab>(blok.header.attributes[1]).enable, 1u);
    ASSERT_EQ(blok.attributes.size(), 3u);
    ASSERT_EQ(std::get<Tmap>(blok.attributes[0]).attributes.size(), 2u);
    EXPECT_EQ(std::get<Cntr>(std::get<Tmap>(blok.attributes[0]).attributes[1]).vector.z, 3.0f);
    EXPECT_EQ(std::get<Imag>(blok.attributes[1]).image, 1u);
    EXPECT_EQ(std::get<Proj>(blok.attributes[2]).mode, 5u);
    EXPECT_EQ(std::get<Diff>(surf.attributes[2]).value, 0.5f);

    // A STIL written with zeros after its name, as some modellers do.
    Builder clip;
    clip.form([&] {
        clip.chunk("CLIP", [&] {
            clip.u4(1);
            clip.sub("STIL", [&] { clip.str("white.bmp").raw(std::string(28, '\0')); });
            clip.sub("STIL", [&] { clip.str("next.bmp"); });
        });
    });
    auto r = parse(clip.span());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->clips.at(0).stills, (std::vector<std::string>{"white.bmp", "next.bmp"}));
}

TEST(Subchunk, MissingPadAtTheEndOfItsParentIsTolerated) {
    // SURF body: "S\0", "\0\0", then an unpadded 3-byte sub-chunk: 13 bytes.
    Builder b;
    b.header("FORM", 0).id("LWO2");
    b.header("SURF", 13).str("S").str("").subheader("XTRA", 3).raw({1, 2, 3});
    b.u1(0);  // the SURF chunk's own pad
    b.chunk("TAGS", [&] { b.str("S"); });
    auto r = parse(b.span());
    ASSERT_TRUE(r) << r.error().description();
    EXPECT_EQ(r->surfaces.size(), 1u);
    EXPECT_EQ(r->tags, std::vector<std::string>{"S"});
}

}  // namespace
