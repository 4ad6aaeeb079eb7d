// The reference game header (examples/game/myheader.h) off the console:
// its stand-ins must encode the commands for the microcode the game selects,
// as libultra would, and refuse what that microcode lacks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.hpp"

namespace {

using test_support::run_command;
using test_support::shell_quote;
using test_support::TempDir;

// Prints the command words of a vertex load (first word only: the second is
// an address), a triangle, a pair of triangles when the microcode has the
// command, and the end of a list.
constexpr const char* kProgram = R"(#include <stdio.h>
#include "myheader.h"
static Vtx v[4];
static Gfx list[] = {
    gsSPVertex(&v[0], 3, 1),
    gsSP1Triangle(0, 1, 2, 0),
#ifdef TWO
    gsSP2Triangles(0, 1, 2, 0, 0, 2, 3, 0),
#endif
    gsSPEndDisplayList(),
};
int main(void) {
    unsigned i;
    printf("%08x\n", (unsigned)list[0].words.w0);
    for (i = 1; i < sizeof list / sizeof list[0]; ++i)
        printf("%08x %08x\n", (unsigned)list[i].words.w0, (unsigned)list[i].words.w1);
    return 0;
}
)";

test_support::CommandResult build_and_run(const TempDir& dir, const std::string& defines) {
    const std::string header_dir = std::string(QUILLMESH_SOURCE_DIR) + "/examples/game";
    const auto source = dir.path() / "words.c";
    const auto program = dir.path() / "words";
    test_support::write_file(source, kProgram);
    auto built = run_command("cc -std=c99 -Wall -Werror -DMYHEADER_HOST " + defines + " -I" + shell_quote(header_dir) +
                             " -o " + shell_quote(program.string()) + " " + shell_quote(source.string()));
    if (built.exit_status != 0) return built;
    return run_command(shell_quote(program.string()));
}

TEST(ReferenceHeader, EncodesTheSelectedMicrocode) {
    // Worked from the GBI: F3DEX2 loads with n << 12 | (v0 + n) << 1 and
    // puts slots x 2 into the first word; F3DEX loads with v0 x 2 << 16 |
    // n << 10 | (16 n - 1) and puts slots x 2 into the second word; Fast3D
    // loads with (n - 1) << 20 | v0 << 16 | 16 n and counts slots x 10.
    struct Case {
        std::string defines;
        std::string words;
    };
    for (const Case& c : std::vector<Case>{
             {"-DF3DEX_GBI_2 -DTWO", "01003008\n05000204 00000000\n06000204 00000406\ndf000000 00000000\n"},
             {"-DF3DEX_GBI -DTWO", "04020c2f\nbf000000 00000204\nb1000204 00000406\nb8000000 00000000\n"},
             {"-DF3DLP_GBI -DTWO", "04020c2f\nbf000000 00000204\nb1000204 00000406\nb8000000 00000000\n"},
             {"", "04210030\nbf000000 00000a14\nb8000000 00000000\n"},
         }) {
        SCOPED_TRACE(c.defines);
        TempDir dir;
        const auto ran = build_and_run(dir, c.defines);
        EXPECT_EQ(ran.exit_status, 0);
        EXPECT_EQ(ran.output, c.words);
    }
}

TEST(ReferenceHeader, FastThreeDRefusesTwoTriangleCommands) {
    TempDir dir;
    const auto built = build_and_run(dir, "-DTWO");
    EXPECT_NE(built.exit_status, 0);
    EXPECT_NE(built.output.find("fast3d_has_no_gsSP2Triangles_convert_with_quillmesh_f"), std::string::npos)
        << built.output;
}

// The draw list (-g) of a textured sample, built against the reference
// header for each microcode, with the game's run-time gSPDisplayList: the
// commands' opcodes in order. The RDP's are the same for all; the RSP's
// texture switch, geometry mode, other mode and list call are F3DEX2's
// (d7, d9, e3, de) or the older microcodes' (bb, b7, ba, 06).
TEST(ReferenceHeader, EncodesTheDrawListForTheSelectedMicrocode) {
    constexpr const char* kGame = R"(#include <stdio.h>
#include "box.h"
int main(void) {
    Gfx list[2];
    const Gfx *g;
    gSPDisplayList(&list[0], box_draw);
    gSPEndDisplayList(&list[1]);
    if (list[0].address.w1 != box_draw) return 1;
    for (g = box_draw; g->words.w0 >> 24 != (list[1].words.w0 >> 24); ++g) printf("%02x ", (unsigned)(g->words.w0 >> 24));
    printf("%02x\n", (unsigned)(list[0].words.w0 >> 24));
    return 0;
}
)";
    // pipe sync, combiner; texture LUT; the palette load (image, tile sync,
    // tile, load sync, TLUT, pipe sync); the texel load (image, tile, load
    // sync, block, pipe sync, tile, tile size); lighting, texture, the layer.
    const std::string rdp = "e7 fc OM fd e8 f5 e6 f0 e7 fd f5 e6 f3 e7 f5 f2 ";
    struct Case {
        std::string defines, options, sp;  // sp: geometry mode, texture, list call
    };
    for (const Case& c : std::vector<Case>{{"-DF3DEX_GBI_2", "", "d9 d7 de de\n"},
                                           {"-DF3DEX_GBI", "", "b7 bb 06 06\n"},
                                           {"", "-f", "b7 bb 06 06\n"}}) {
        SCOPED_TRACE(c.defines);
        TempDir dir;
        const std::string box = std::string(QUILLMESH_SOURCE_DIR) + "/examples/textured_box/box.lwo";
        const auto converted = run_command("cd " + shell_quote(dir.path().string()) + " && " +
                                           shell_quote(QUILLMESH_EXE) + " " + shell_quote(box) +
                                           " -o box.c -n box -g -H box.h " + c.options);
        ASSERT_EQ(converted.exit_status, 0) << converted.output;
        test_support::write_file(dir.path() / "game.c", kGame);
        const std::string header_dir = std::string(QUILLMESH_SOURCE_DIR) + "/examples/game";
        const auto ran = run_command("cd " + shell_quote(dir.path().string()) + " && cc -std=c99 -Wall -Werror " +
                                     "-DMYHEADER_HOST " + c.defines + " -I. -I" + shell_quote(header_dir) +
                                     " -o game game.c box.c && ./game");
        ASSERT_EQ(ran.exit_status, 0) << ran.output.substr(0, 2000);
        std::string expected = rdp;
        expected.replace(expected.find("OM"), 2, c.defines == "-DF3DEX_GBI_2" ? "e3" : "ba");
        EXPECT_EQ(ran.output, expected + c.sp);
    }
}

}  // namespace
