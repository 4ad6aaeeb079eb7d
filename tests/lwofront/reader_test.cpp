#include "lwofront/reader.hpp"

#include <gtest/gtest.h>

#include "lwofront/parse.hpp"
#include "support/lwo_objects.hpp"

namespace {

using lwo_test::Builder;
using lwo_test::expect_error;
using lwo_test::parse;
using lwofront::Object;
using stream::make_id;

// The items a polygon's corners or an entry's values view, to compare with a list.
template <class T>
std::vector<T> items(std::span<const T> view) {
    return {view.begin(), view.end()};
}

void layr(Builder& b) { lwo_test::layer(b); }

TEST(Reader, FormHeader) {
    Builder empty_form;
    empty_form.form([] {});
    auto r = parse(empty_form.span());
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->tags.empty());
    EXPECT_TRUE(r->layers.empty());
    EXPECT_TRUE(r->clips.empty());
    EXPECT_TRUE(r->surfaces.empty());

    struct Case {
        const char* name;
        Builder bytes;
    };
    Case cases[] = {
        {"empty file", {}},
        {"not a FORM", {}},
        {"form of another type", {}},
        {"FORM without its type", {}},
    };
    cases[1].bytes.header("FORX", 4).id("LWO2");
    cases[2].bytes.header("FORM", 4).id("LWLO");
    cases[3].bytes.header("FORM", 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_error(parse(c.bytes.span()), ErrorKind::Lwo, LwoError::Invalid, "IO error");
    }
}

TEST(Reader, FormLengthIsIgnored) {
    // A FORM length that covers only the type: the chunks after it are read.
    Builder b;
    b.header("FORM", 4).id("LWO2");
    b.chunk("TAGS", [&] { b.str("Wood"); });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->tags, std::vector<std::string>{"Wood"});
}

TEST(Reader, Layers) {
    Builder b;
    b.form([&] {
        // 18 bytes: no parent field, so parent reads as 0.
        b.chunk("LAYR", [&] { b.u2(7).u2(1).vec3(1, 2, 3).str("A"); });
        b.chunk("LAYR", [&] { b.u2(8).u2(0).vec3(0, 0, 0).str("child").u2(7); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->layers.size(), 2u);
    const auto& first = r->layers[0];
    EXPECT_EQ(first.number, 7u);
    EXPECT_EQ(first.flags, 1u);
    EXPECT_EQ(first.pivot.x, 1.0f);
    EXPECT_EQ(first.pivot.y, 2.0f);
    EXPECT_EQ(first.pivot.z, 3.0f);
    EXPECT_EQ(first.name, "A");
    EXPECT_EQ(first.parent, 0u);
    EXPECT_EQ(r->layers[1].name, "child");
    EXPECT_EQ(r->layers[1].parent, 7u);
}

TEST(Reader, LaterChunksReplaceOrAppend) {
    Builder b;
    b.form([&] {
        b.chunk("TAGS", [&] { b.str("a").str("b"); });
        layr(b);
        b.chunk("PNTS", [&] { b.vec3(1, 1, 1).vec3(2, 2, 2); });
        b.chunk("POLS", [&] { b.id("FACE").u2(1).vx(0); });
        b.chunk("PTAG", [&] { b.id("SURF").vx(0).u2(0); });
        b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv1").vx(0).f4(0).f4(0); });
        b.chunk("PNTS", [&] { b.vec3(3, 3, 3); });
        b.chunk("POLS", [&] { b.id("PTCH").u2(2).vx(0).vx(0).u2(1).vx(0); });
        b.chunk("PTAG", [&] { b.id("COLR").vx(1).u2(1); });
        b.chunk("VMAP", [&] { b.id("RGB ").u2(3).str("rgb").vx(0).vec3(0.5f, 0.5f, 0.5f); });
        b.chunk("TAGS", [&] { b.str("c"); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->tags, std::vector<std::string>{"c"});
    ASSERT_EQ(r->layers.size(), 1u);
    const auto& layer = r->layers[0];
    ASSERT_EQ(layer.points.vec.size(), 1u);
    EXPECT_EQ(layer.points.vec[0].x, 3.0f);
    ASSERT_TRUE(std::holds_alternative<lwofront::OtherType>(layer.pols.kind));
    EXPECT_EQ(std::get<lwofront::OtherType>(layer.pols.kind).id, make_id("PTCH"));
    ASSERT_EQ(layer.pols.polygons.size(), 2u);
    EXPECT_EQ(layer.pols.polygons[0].vertices.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<lwofront::OtherType>(layer.ptag.kind));
    EXPECT_EQ(std::get<lwofront::OtherType>(layer.ptag.kind).id, make_id("COLR"));
    ASSERT_EQ(layer.ptag.entries.size(), 1u);
    EXPECT_EQ(layer.ptag.entries[0].polygon, 1u);
    ASSERT_EQ(layer.vmaps.size(), 2u);
    EXPECT_TRUE(lwofront::is_txuv(layer.vmaps[0].kind));
    EXPECT_EQ(layer.vmaps[1].name, "rgb");
    EXPECT_EQ(std::get<lwofront::OtherType>(layer.vmaps[1].kind).id, make_id("RGB "));

    // An empty TAGS chunk empties the list.
    Builder e;
    e.form([&] {
        e.chunk("TAGS", [&] { e.str("a"); });
        e.chunk("TAGS", [] {});
    });
    auto emptied = parse(e.span());
    ASSERT_TRUE(emptied);
    EXPECT_TRUE(emptied->tags.empty());
}

TEST(Reader, Polygons) {
    Builder b;
    b.form([&] {
        layr(b);
        b.chunk("POLS", [&] {
            b.id("FACE");
            b.u2(0x8003).vx(0).vx(1).vx(2);  // flags in the top six bits
            b.u2(0);                         // no vertices, kept all the same
            b.u2(4).vx(3).vx(0xFEFF).vx(0xFF00).vx(0x123456);
        });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    const auto& pols = r->layers[0].pols;
    EXPECT_TRUE(std::holds_alternative<lwofront::Face>(pols.kind));
    ASSERT_EQ(pols.polygons.size(), 3u);
    EXPECT_EQ(pols.polygons[0].flags, 0x8000u);
    EXPECT_EQ(items(pols.polygons[0].vertices), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_TRUE(pols.polygons[1].vertices.empty());
    EXPECT_EQ(pols.polygons[2].flags, 0u);
    EXPECT_EQ(items(pols.polygons[2].vertices), (std::vector<std::uint32_t>{3, 0xFEFF, 0xFF00, 0x123456}));
}

TEST(Reader, VariableLengthIndicesInTagsAndMaps) {
    Builder b;
    b.form([&] {
        layr(b);
        // The tag stays a 2-byte value even when its first byte is 0xFF.
        b.chunk("PTAG", [&] { b.id("SURF").vx(0x10000).u2(0xFF01).vx(2).u2(0); });
        b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv").vx(0x20000).f4(0.25f).f4(0.75f).vx(1).f4(1).f4(0); });
        b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("uv").vx(0xFF00).vx(0x30000).f4(0.5f).f4(0.125f); });
        b.chunk("VMAP", [&] { b.id("PICK").u2(0).str("sel").vx(4).vx(0x40000); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    const auto& layer = r->layers[0];
    EXPECT_TRUE(std::holds_alternative<lwofront::SurfTag>(layer.ptag.kind));
    ASSERT_EQ(layer.ptag.entries.size(), 2u);
    EXPECT_EQ(layer.ptag.entries[0].polygon, 0x10000u);
    EXPECT_EQ(layer.ptag.entries[0].tag, 0xFF01u);
    EXPECT_EQ(layer.ptag.entries[1].polygon, 2u);

    ASSERT_EQ(layer.vmaps.size(), 2u);
    const auto& uv = layer.vmaps[0];
    EXPECT_EQ(uv.dimension, 2u);
    EXPECT_EQ(uv.name, "uv");
    ASSERT_EQ(uv.entries.size(), 2u);
    EXPECT_EQ(uv.entries[0].vertex, 0x20000u);
    EXPECT_EQ(items(uv.entries[0].values), (std::vector<float>{0.25f, 0.75f}));
    EXPECT_EQ(uv.entries[1].vertex, 1u);

    // Dimension 0: entries hold only a vertex index.
    const auto& pick = layer.vmaps[1];
    ASSERT_EQ(pick.entries.size(), 2u);
    EXPECT_EQ(pick.entries[1].vertex, 0x40000u);
    EXPECT_TRUE(pick.entries[1].values.empty());

    ASSERT_EQ(layer.vmads.size(), 1u);
    const auto& vmad = layer.vmads[0];
    EXPECT_TRUE(lwofront::is_txuv(vmad.kind));
    ASSERT_EQ(vmad.entries.size(), 1u);
    EXPECT_EQ(vmad.entries[0].vertex, 0xFF00u);
    EXPECT_EQ(vmad.entries[0].polygon, 0x30000u);
    EXPECT_EQ(items(vmad.entries[0].values), (std::vector<float>{0.5f, 0.125f}));
}

TEST(Reader, UnlistedChunksAreSkipped) {
    Builder b;
    b.form([&] {
        layr(b);
        b.chunk("BBOX", [&] { b.vec3(-1, -1, -1).vec3(1, 1, 1); });
        b.chunk("VMPA", [&] { b.u4(0).u4(0); });
        b.chunk("PNTS", [&] { b.vec3(5, 6, 7); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->layers[0].points.vec.size(), 1u);
    EXPECT_EQ(r->layers[0].points.vec[0].z, 7.0f);
}

TEST(Reader, GeometryBeforeAnyLayerIsRejected) {
    for (const char* id : {"PNTS", "POLS", "PTAG", "VMAP", "VMAD"}) {
        SCOPED_TRACE(id);
        Builder b;
        b.form([&] {
            b.chunk("TAGS", [&] { b.str("a"); });
            b.chunk(id, [&] { b.u4(0); });
            layr(b);
        });
        expect_error(parse(b.span()), ErrorKind::Lwo, LwoError::NoLayer,
                     std::string(id) + " chunk before any LAYR chunk");
    }
}

TEST(Reader, ErrorsOfTheStreamAreHandedUp) {
    Builder bad_text;
    bad_text.form([&] { bad_text.chunk("TAGS", [&] { bad_text.raw({0xC3, 0x28, 0, 0}); }); });
    expect_error(parse(bad_text.span()), ErrorKind::Utf8, LwoError::None, "invalid utf-8");
}

// A chunk that claims more than the file has left fails at once, whatever
// kind it is, instead of being read on out of step.
TEST(Reader, ChunkRunningPastTheEndOfTheFile) {
    struct Case {
        const char* name;
        Builder bytes;
    };
    Case cases[3];
    cases[0].name = "PNTS claiming 4 GiB";
    cases[0].bytes.header("FORM", 0).id("LWO2");
    layr(cases[0].bytes);
    cases[0].bytes.header("PNTS", 0xFFFFFFFF).vec3(1, 2, 3);
    cases[1].name = "LAYR one byte short";
    cases[1].bytes.header("FORM", 0).id("LWO2").header("LAYR", 20).u2(0).u2(0).vec3(0, 0, 0).str("").u1(0);
    cases[2].name = "unlisted chunk";
    cases[2].bytes.header("FORM", 0).id("LWO2").header("BBOX", 24).vec3(0, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect_error(parse(c.bytes.span()), ErrorKind::Io, LwoError::None, "failed to fill whole buffer");
    }

    // The error comes right after the header, before any byte of the body is
    // read, even when the source holds more bytes than the window allows.
    Builder b;
    b.header("FORM", 0).id("LWO2");
    layr(b);
    const std::size_t header_end = b.bytes.size() + 8;
    b.header("PNTS", 24).vec3(1, 2, 3);
    const std::size_t window = b.bytes.size();
    b.vec3(4, 5, 6);
    stream::MemorySource source(b.span());
    stream::Stream s(source, window);
    expect_error(lwofront::process(s), ErrorKind::Io, LwoError::None, "failed to fill whole buffer");
    EXPECT_EQ(s.position(), header_end);
}

TEST(Reader, ClaimedLengthsNeverSizeMemory) {
    // The window is far larger than the data, so only the source's end stops
    // these reads; sizing memory from the claims would ask for gigabytes.
    Builder b;
    b.form([&] {
        layr(b);
        b.header("PNTS", 0xFFFFFFF0).vec3(1, 2, 3);
    });
    stream::MemorySource source(b.span());
    stream::Stream s(source, std::uint64_t(1) << 40);
    expect_error(lwofront::process(s), ErrorKind::Io, LwoError::None, "failed to fill whole buffer");

    // A dimension of 65535 in a VMAP whose entries the chunk does not hold:
    // the cut entry is dropped instead of being padded out with zeros.
    Builder m;
    m.form([&] {
        layr(m);
        m.chunk("VMAP", [&] { m.id("TXUV").u2(0xFFFF).str("uv").vx(0).f4(1); });
        m.chunk("VMAD", [&] { m.id("TXUV").u2(0xFFFF).str("uv").vx(0).vx(0).f4(1); });
    });
    auto r = parse(m.span());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->layers[0].vmaps.size(), 1u);
    EXPECT_TRUE(r->layers[0].vmaps[0].entries.empty());
    ASSERT_EQ(r->layers[0].vmads.size(), 1u);
    EXPECT_TRUE(r->layers[0].vmads[0].entries.empty());
}

TEST(Reader, MapEntryCutByTheChunkEndIsDropped) {
    Builder b;
    b.form([&] {
        layr(b);
        b.chunk("VMAP", [&] { b.id("TXUV").u2(2).str("uv").vx(0).f4(1).f4(2).vx(1).f4(3); });
    });
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    const auto& entries = r->layers[0].vmaps[0].entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(items(entries[0].values), (std::vector<float>{1, 2}));
}

// Bytes a handler leaves unread, and the pad after an odd length, are passed
// over so the next chunk header is read where it starts.
TEST(Reader, NextChunkIsFoundWhereItStarts) {
    struct Case {
        const char* name;
        Builder bytes;
    };
    Case cases[4];
    cases[0].name = "LAYR with bytes after its parent field";
    cases[0].bytes.form([&b = cases[0].bytes] {
        b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0).u4(0xDEADBEEF); });
        b.chunk("PNTS", [&] { b.vec3(5, 6, 7); });
    });
    cases[1].name = "POLS ending inside its last polygon";
    cases[1].bytes.form([&b = cases[1].bytes] {
        b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0); });
        b.chunk("POLS", [&] { b.id("FACE").u2(3).vx(0).u1(9); });
        b.chunk("PNTS", [&] { b.vec3(5, 6, 7); });
    });
    cases[2].name = "unlisted chunk of odd length, padded";
    cases[2].bytes.form([&b = cases[2].bytes] {
        b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0); });
        b.chunk("XTRA", [&] { b.raw({1, 2, 3}); });
        b.chunk("PNTS", [&] { b.vec3(5, 6, 7); });
    });
    cases[3].name = "odd-length LAYR, padded";
    cases[3].bytes.form([&b = cases[3].bytes] {
        b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0).u1(0xEE); });
        b.chunk("PNTS", [&] { b.vec3(5, 6, 7); });
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = parse(c.bytes.span());
        ASSERT_TRUE(r) << r.error().description();
        ASSERT_EQ(r->layers.size(), 1u);
        ASSERT_EQ(r->layers[0].points.vec.size(), 1u);
        EXPECT_EQ(r->layers[0].points.vec[0].x, 5.0f);
    }
}

TEST(Reader, EndsOfFileThatAreTolerated) {
    // An odd-length last chunk without its pad byte.
    Builder unpadded;
    unpadded.header("FORM", 0).id("LWO2");
    layr(unpadded);
    unpadded.header("XTRA", 3).raw({1, 2, 3});
    auto r = parse(unpadded.span());
    ASSERT_TRUE(r) << r.error().description();
    EXPECT_EQ(r->layers.size(), 1u);

    // Fewer bytes than a chunk header after the last chunk: they read as an
    // empty chunk with identifier 0 and end the read.
    for (std::size_t extra : {1, 3, 6, 7}) {
        SCOPED_TRACE(extra);
        Builder b;
        b.form([&] { layr(b); });
        for (std::size_t i = 0; i < extra; ++i) b.u1(0x41);
        auto t = parse(b.span());
        ASSERT_TRUE(t) << t.error().description();
        EXPECT_EQ(t->layers.size(), 1u);
    }
}

}  // namespace

// A large object's geometry bodies are parsed on a second core while the next
// are read: each still lands in its own layer, later chunks still replace or
// append in file order, and a file cut anywhere still fails as a cut file.
TEST(Reader, LargeBodiesKeepTheirLayersAndTheirOrder) {
    constexpr std::uint32_t kPoints = 40000;  // bodies of 320 KB and more
    const auto object = [&](Builder& b) {
        b.form([&] {
            b.chunk("TAGS", [&] { b.str("a").str("b"); });
            for (std::uint32_t l = 0; l < 3; ++l) {
                lwo_test::layer(b, static_cast<std::uint16_t>(l));
                b.chunk("PNTS", [&] {
                    for (std::uint32_t i = 0; i < kPoints; ++i) b.vec3(float(l), float(i), 0);
                });
                b.chunk("POLS", [&] {
                    b.id("FACE");
                    for (std::uint32_t i = 0; i + 2 < kPoints; ++i) b.u2(3).vx(i).vx(i + 1).vx(i + 2 + l);
                });
                b.chunk("PTAG", [&] {
                    b.id("SURF");
                    for (std::uint32_t i = 0; i + 2 < kPoints; i += 2) b.vx(i).u2(static_cast<std::uint16_t>(l % 2));
                });
                for (const char* name : {"first", "second"}) {
                    b.chunk("VMAP", [&] {
                        b.id("TXUV").u2(2).str(name);
                        for (std::uint32_t i = 0; i < kPoints; ++i) b.vx(i).f4(float(l)).f4(float(i));
                    });
                }
                b.chunk("VMAD", [&] { b.id("TXUV").u2(2).str("seam").vx(1).vx(0).f4(0.5f).f4(float(l)); });
                // The layer's last PNTS replaces the first, small as it is.
                if (l == 1) b.chunk("PNTS", [&] { b.vec3(7, 7, 7); });
            }
        });
    };
    Builder b;
    object(b);
    auto r = parse(b.span());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->layers.size(), 3u);
    for (std::uint32_t l = 0; l < 3; ++l) {
        SCOPED_TRACE("layer " + std::to_string(l));
        const lwofront::Layr& layer = r->layers[l];
        EXPECT_EQ(layer.number, l);
        if (l == 1) {
            ASSERT_EQ(layer.points.vec.size(), 1u);
            EXPECT_EQ(layer.points.vec[0].x, 7.0f);
        } else {
            ASSERT_EQ(layer.points.vec.size(), kPoints);
            EXPECT_EQ(layer.points.vec[kPoints - 1].x, float(l));
            EXPECT_EQ(layer.points.vec[kPoints - 1].y, float(kPoints - 1));
        }
        ASSERT_EQ(layer.pols.polygons.size(), kPoints - 2);
        EXPECT_EQ(items(layer.pols.polygons[kPoints - 3].vertices),
                  (std::vector<std::uint32_t>{kPoints - 3, kPoints - 2, kPoints - 1 + l}));
        ASSERT_EQ(layer.ptag.entries.size(), (kPoints - 1) / 2);
        EXPECT_EQ(layer.ptag.entries[1].polygon, 2u);
        EXPECT_EQ(layer.ptag.entries[1].tag, l % 2);
        ASSERT_EQ(layer.vmaps.size(), 2u);
        EXPECT_EQ(layer.vmaps[0].name, "first");
        EXPECT_EQ(layer.vmaps[1].name, "second");
        ASSERT_EQ(layer.vmaps[1].entries.size(), kPoints);
        EXPECT_EQ(items(layer.vmaps[1].entries[kPoints - 1].values), (std::vector<float>{float(l), float(kPoints - 1)}));
        ASSERT_EQ(layer.vmads.size(), 1u);
        EXPECT_EQ(items(layer.vmads[0].entries[0].values), (std::vector<float>{0.5f, float(l)}));
    }

    // Cut inside the bodies of each layer: the read fails as a file that
    // shrank, whichever thread held the bodies read before the cut.
    for (std::size_t eighth = 1; eighth < 8; ++eighth) {
        const std::size_t cut = b.bytes.size() * eighth / 8;
        SCOPED_TRACE("cut at " + std::to_string(cut));
        stream::MemorySource source(b.span().first(cut));
        stream::Stream s(source, b.bytes.size());
        auto shrunk = lwofront::process(s);
        ASSERT_FALSE(shrunk);
        EXPECT_EQ(shrunk.error().kind, ErrorKind::Io);
    }
}
