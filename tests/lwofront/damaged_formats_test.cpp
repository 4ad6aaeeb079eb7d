// Damaged LWO3 and LWOB files: every prefix of the small objects, every
// length field grown, shrunk, emptied and maximal, and a table of damage
// with the error each gives. Each read gives an object or one of the reader's
// errors, never a crash or a hang; the errors are those of the LWO2 reader.

#include <gtest/gtest.h>

#include <set>

#include "lwofront/parse.hpp"
#include "support/lwo_formats.hpp"

namespace {

using lwo_test::Builder;
using namespace lwofront;

bool is_known_error(const Error& e) {
    static const std::set<std::string> known = {
        "failed to fill whole buffer", "invalid utf-8", "IO error", "Unknown BLOK header",
        "sub-chunk runs past the end of its parent", "POLS chunk holds a polygon of more than 1023 points",
    };
    return known.count(e.description()) == 1 || e.lwo == LwoError::NoLayer;
}

struct Sample {
    const char* name;
    Builder builder;
};

std::vector<Sample> samples() { return {{"LWO3", lwo_test::lwo3_object()}, {"LWOB", lwo_test::lwob_object()}}; }

TEST(DamagedFormats, EveryPrefix) {
    for (const Sample& sample : samples()) {
        ASSERT_TRUE(lwo_test::parse(sample.builder.bytes)) << sample.name;
        lwo_test::expect_every_prefix_read_or_refused(sample.builder.bytes, sample.name, is_known_error);
    }
}

// Writes `value` big-endian into the length field.
void set_length(std::vector<std::byte>& bytes, const Builder::Length& field, std::uint64_t value) {
    for (int i = field.size - 1; i >= 0; --i, value >>= 8) bytes[field.at + std::size_t(i)] = std::byte(value & 0xFF);
}

std::uint64_t length_at(const std::vector<std::byte>& bytes, const Builder::Length& field) {
    std::uint64_t value = 0;
    for (int i = 0; i < field.size; ++i) value = value << 8 | std::to_integer<std::uint64_t>(bytes[field.at + std::size_t(i)]);
    return value;
}

TEST(DamagedFormats, EveryLengthGrownShrunkEmptiedAndMaximal) {
    for (const Sample& sample : samples()) {
        const auto& bytes = sample.builder.bytes;
        ASSERT_GT(sample.builder.lengths.size(), 10u);
        for (const Builder::Length& field : sample.builder.lengths) {
            const std::uint64_t length = length_at(bytes, field);
            const std::uint64_t max = field.size == 2 ? 0xFFFF : 0xFFFFFFFF;
            for (std::uint64_t value : {length + 1, length + 2, length - 1, length - 2, std::uint64_t{0}, max}) {
                if (value > max) continue;
                SCOPED_TRACE(std::string(sample.name) + " length at " + std::to_string(field.at) + " set to " +
                             std::to_string(value));
                auto spoiled = bytes;
                set_length(spoiled, field, value);
                auto r = lwo_test::parse(spoiled);
                if (!r) {
                EXPECT_TRUE(is_known_error(r.error())) << r.error().description();
            }
            }
        }
    }
}

struct Damage {
    const char* what;
    std::vector<std::byte> bytes;
    ErrorKind kind;
    LwoError lwo;
    const char* text;
};

TEST(DamagedFormats, ErrorsAsInLwo2) {
    std::vector<Damage> cases;
    {
        Builder b;
        b.form("LWO4", [] {});
        cases.push_back({"another form type", b.bytes, ErrorKind::Lwo, LwoError::Invalid, "IO error"});
    }
    {
        Builder b;
        b.form("LWO3", [&] { b.header("PNTS", 24).vec3(0, 0, 0); });
        cases.push_back({"LWO3 chunk past the end of the file", b.bytes, ErrorKind::Io, LwoError::None,
                         "failed to fill whole buffer"});
    }
    {
        Builder b;
        b.form("LWO3", [&] { b.chunk("PNTS", [&] { b.vec3(0, 0, 0); }); });
        cases.push_back({"LWO3 geometry before LAYR", b.bytes, ErrorKind::Lwo, LwoError::NoLayer,
                         "PNTS chunk before any LAYR chunk"});
    }
    {
        Builder b;
        b.form("LWO3", [&] {
            b.form("SURF", [&] {
                lwo_test::lead(b, [&] { b.str("S").str(""); });
                b.header("SMAN", 40).f4(1);
            });
        });
        cases.push_back({"LWO3 chunk past the end of its SURF", b.bytes, ErrorKind::Lwo, LwoError::SubchunkOverrun,
                         "sub-chunk runs past the end of its parent"});
    }
    {
        Builder b;
        b.form("LWO3", [&] {
            b.form("SURF", [&] {
                b.form("NODS", [&] {
                    b.form("NNDS", [&] {
                        lwo_test::material_node(b, "Standard", "M", 1, 1, 1, [&] {
                            b.form("TXTR", [&] { b.form("BLOK", [&] { b.form("PROC", [] {}); }); });
                        });
                    });
                });
            });
        });
        cases.push_back({"LWO3 procedural block", b.bytes, ErrorKind::Lwo, LwoError::UnknownBlokHeader,
                         "Unknown BLOK header"});
    }
    {
        Builder b;
        b.form("LWO3", [&] { b.form("CLIP", [&] { b.form("STIL", [&] { lwo_test::lead(b, [&] { b.raw({0x80, 0}); }); }); }); });
        cases.push_back({"LWO3 clip name not UTF-8", b.bytes, ErrorKind::Utf8, LwoError::None, "invalid utf-8"});
    }
    {
        Builder b;
        b.form("LWOB", [&] { b.header("POLS", 100).u2(3); });
        cases.push_back({"LWOB chunk past the end of the file", b.bytes, ErrorKind::Io, LwoError::None,
                         "failed to fill whole buffer"});
    }
    {
        Builder b;
        b.form("LWOB", [&] { b.chunk("SURF", [&] { b.str("S").subheader("COLR", 9).raw({1, 2, 3, 4}); }); });
        cases.push_back({"LWOB sub-chunk past the end of its SURF", b.bytes, ErrorKind::Lwo,
                         LwoError::SubchunkOverrun, "sub-chunk runs past the end of its parent"});
    }
    {
        Builder b;
        b.form("LWOB", [&] {
            b.chunk("POLS", [&] {
                b.u2(1024);
                for (int k = 0; k < 1024; ++k) b.u2(0);
                b.u2(1);
            });
        });
        cases.push_back({"LWOB polygon of 1024 points", b.bytes, ErrorKind::Lwo, LwoError::Damaged,
                         "POLS chunk holds a polygon of more than 1023 points"});
    }
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        lwo_test::expect_error(lwo_test::parse(c.bytes), c.kind, c.lwo, c.text);
    }
}

TEST(DamagedFormats, ErrorsSayWhichFormatWasRead) {
    const std::pair<const char*, const char*> cases[] = {
        {"LWO3", "the file was read as an LWO3 object (LightWave 2015 and later)"},
        {"LWOB", "the file was read as an LWOB object (LightWave 5 and earlier)"},
        {"LWO2", ""},
    };
    for (const auto& [type, hint] : cases) {
        SCOPED_TRACE(type);
        Builder b;
        b.form(type, [&] { b.header("PNTS", 24).vec3(0, 0, 0); });
        auto r = lwo_test::parse(b.bytes);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().description(), "failed to fill whole buffer");
        EXPECT_EQ(r.error().hint, hint);
    }
}

TEST(DamagedFormats, DeepNestingIsPassedOverNotFollowed) {
    // 100000 FORMs of the types the reader knows, each inside the last: it
    // descends only where each type belongs, so the depth costs no stack.
    constexpr std::size_t kDepth = 100000;
    const char* types[] = {"NODS", "NNDS", "NTAG", "NDTA", "SATR", "VALU", "TXTR", "BLOK", "TMAP"};
    // Each FORM holds the next: 12 bytes of header and type a level.
    Builder nested;
    for (std::size_t level = 0; level < kDepth; ++level)
        nested.header("FORM", std::uint32_t(4 + 12 * (kDepth - 1 - level))).id(types[level % std::size(types)]);
    const std::vector<std::byte>& inner = nested.bytes;
    Builder file;
    file.form("LWO3", [&] {
        file.form("SURF", [&] {
            lwo_test::lead(file, [&] { file.str("S").str(""); });
            file.bytes.insert(file.bytes.end(), inner.begin(), inner.end());
        });
    });
    auto r = lwo_test::parse(file.bytes);
    ASSERT_TRUE(r) << r.error().description();
    EXPECT_EQ(r->surfaces.at(0).name, "S");
}

}  // namespace
