// -g and -H through the built program: the draw list follows the unchanged
// text, the header declares what the game names, and a game file that
// includes the header links against the C text and calls the draw list.

#include <gtest/gtest.h>

#include <string>

#include "e2e/e2e_support.hpp"

namespace {

using namespace e2e;
using test_support::shell_quote;

const fs::path kBox = fs::path(QUILLMESH_SOURCE_DIR) / "examples/textured_box/box.lwo";

TEST(HeaderRun, DrawListFollowsTheDefaultTextAndTheHeaderDeclaresIt) {
    test_support::TempDir dir;
    const std::string box = shell_quote(kBox.string());
    ProgramRun plain = run_quillmesh(dir.path(), box + " -o plain.c -n crate", "plain.c");
    ProgramRun header_only = run_quillmesh(dir.path(), box + " -o header_only.c -n crate -H only.h", "header_only.c");
    // Options before the input as after it.
    ProgramRun drawn = run_quillmesh(dir.path(), "-g -H crate.h " + box + " -o crate.c -n crate", "crate.c");
    ASSERT_EQ(plain.exit_status, 0) << plain.output;
    ASSERT_EQ(header_only.exit_status, 0) << header_only.output;
    ASSERT_EQ(drawn.exit_status, 0) << drawn.output;
    EXPECT_EQ(header_only.c_text, plain.c_text);
    EXPECT_TRUE(drawn.c_text.starts_with(plain.c_text + "\nGfx crate_draw[] = {\n"));

    EXPECT_EQ(test_support::read_file(dir.path() / "only.h"),
              "/* Made by quillmesh from one object: its record. */\n"
              "#ifndef QUILLMESH_crate_H\n#define QUILLMESH_crate_H\n\n#include \"myheader.h\"\n\n"
              "extern StaticMesh crate;\n\n#endif\n");
    EXPECT_EQ(test_support::read_file(dir.path() / "crate.h"),
              "/* Made by quillmesh from one object: its record and the display list that draws it.\n"
              " * The draw list sets each layer's texture, combiner, primitive colour\n"
              " * and lighting on or off; render mode, z-buffer, fog, lights and\n"
              " * matrices stay the game's. */\n"
              "#ifndef QUILLMESH_crate_H\n#define QUILLMESH_crate_H\n\n#include \"myheader.h\"\n\n"
              "extern StaticMesh crate;\nextern Gfx crate_draw[];\n\n#endif\n");

    // A game's file: the header twice (the guard holds), the two names used.
    test_support::write_file(dir.path() / "game.c",
                             "#include \"crate.h\"\n#include \"crate.h\"\n"
                             "int main(void) { return crate.layer_count == 1 && crate_draw[0].words.w0 != 0 ? 0 : 1; }\n");
    const std::string support = QUILLMESH_TEST_HEADER_DIR;
    const auto built = test_support::run_command(
        "cd " + shell_quote(dir.path().string()) + " && cc -std=c99 -Wall -Werror -I. -I" + shell_quote(support) +
        " -o game game.c crate.c && ./game");
    EXPECT_EQ(built.exit_status, 0) << built.output;
}

// The header, written over the input by any path or link, would destroy the
// object.
TEST(HeaderRun, ThatNamesTheInputIsRefused) {
    test_support::TempDir dir;
    fs::copy_file(kBox, dir.path() / "box.lwo");
    fs::create_hard_link(dir.path() / "box.lwo", dir.path() / "hard.lwo");
    const std::string object = test_support::read_file(dir.path() / "box.lwo");
    for (const std::string header : {"box.lwo", "./box.lwo", "hard.lwo"}) {
        ProgramRun run = run_quillmesh(dir.path(), "box.lwo -g -H " + header, "box.lwo.c");
        EXPECT_EQ(run.exit_status, 2) << header;
        EXPECT_EQ(run.output, "Header file is the input file; choose another with -H\n") << header;
        EXPECT_EQ(test_support::read_file(dir.path() / "box.lwo"), object) << header;
        EXPECT_FALSE(fs::exists(dir.path() / "box.lwo.c")) << header;
    }
}

}  // namespace
