// The texel formats that fitting makes (CI8, I4, I8, IA4, IA8, IA16): their
// arrays and table lines in the whole C text.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

// What the file says once, before its first texture array.
constexpr std::string_view kAlignBlock =
    "#ifndef TEXTURE_ALIGN\n#if defined(__GNUC__) || defined(__clang__)\n"
    "#define TEXTURE_ALIGN __attribute__((aligned(8)))\n#else\n#define TEXTURE_ALIGN\n#endif\n#endif\n\n";

Mesh fitted_formats_mesh() {
    Mesh mesh;
    std::vector<std::uint16_t> palette(256, 0);
    palette[0] = 0xf801;
    palette[1] = 0x003f;
    palette[9] = 0xffff;
    mesh.textures.push_back({5, 1, Ci8{{0x00, 0x01, 0x09, 0x01, 0x00}, palette}});
    mesh.textures.push_back({3, 1, I4{{0x0f, 0x80}}});
    mesh.textures.push_back({2, 1, I8{{0x00, 0xff}}});
    mesh.textures.push_back({4, 1, Ia4{{0xf0, 0x91}}});
    mesh.textures.push_back({1, 1, Ia8{{0x84}}});
    mesh.textures.push_back({2, 1, Ia16{{0x1234, 0xffff}}});
    mesh.textures.push_back({0, 0, I8{}});
    mesh.materials.push_back({0, {1.0f, 1.0f, 1.0f, 1.0f}});
    return mesh;
}

std::string palette_rows() {
    // 256 entries, eight to a row.
    std::string rows = "\t0xf801, 0x003f, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, \n"
                       "\t0x0000, 0xffff, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, ";
    for (int row = 2; row < 32; ++row) {
        rows += "\n\t";
        for (int k = 0; k < 8; ++k) rows += "0x0000, ";
    }
    return rows;
}

TEST(WriterText, FittedFormats) {
    StringSink sink;
    ASSERT_TRUE(save(fitted_formats_mesh(), "fitted", sink).has_value());
    const std::string expected = "#include \"myheader.h\"\n\n" + std::string(kAlignBlock) +
                                 "static u16 palette0[] TEXTURE_ALIGN = {\n" + palette_rows() + "\n};\n\n" +
                                 R"(static u8 texture0[] TEXTURE_ALIGN = {
	0x00, 0x01, 0x09, 0x01, 
	0x00, 
};

static u8 texture1[] TEXTURE_ALIGN = {
	0x0f, 0x80, 
};

static u8 texture2[] TEXTURE_ALIGN = {
	0x00, 0xff, 
};

static u8 texture3[] TEXTURE_ALIGN = {
	0xf0, 0x91, 
};

static u8 texture4[] TEXTURE_ALIGN = {
	0x84, 
};

static u16 texture5[] TEXTURE_ALIGN = {
	0x1234, 0xffff, 
};

static u8 texture6[] TEXTURE_ALIGN = {
		0	//dummy element - texture is empty
};

static Texture textures[] = {
	TEXTURE_INIT(5, 1, &texture0, 5, &palette0, 512, TEXTURE_FMT_CI8),
	TEXTURE_INIT(3, 1, &texture1, 2, NULL, 0, TEXTURE_FMT_I4),
	TEXTURE_INIT(2, 1, &texture2, 2, NULL, 0, TEXTURE_FMT_I8),
	TEXTURE_INIT(4, 1, &texture3, 2, NULL, 0, TEXTURE_FMT_IA4),
	TEXTURE_INIT(1, 1, &texture4, 1, NULL, 0, TEXTURE_FMT_IA8),
	TEXTURE_INIT(2, 1, &texture5, 4, NULL, 0, TEXTURE_FMT_IA16),
	TEXTURE_INIT(0, 0, &texture6, 0, NULL, 0, TEXTURE_FMT_I8),
};

static Material materials[] = {
	MATERIAL_INIT( VECTOR4F_SET( 1, 1, 1, 1 ), TEXTUREMAPPING_CONST, 0 ),
};

static Layer layers[] = {
};

)" "StaticMesh fitted = STATICMESH_INIT( layers, 0, materials, 1, textures, 7 ); \n";
    EXPECT_EQ(sink.text, expected);
}

}  // namespace
}  // namespace ultraback
