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

}  // namespace
