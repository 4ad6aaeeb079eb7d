// -d through the built program: the rule names the output, the input and
// every image tried, escaped for make; a failed run writes no rule.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "e2e/e2e_support.hpp"

namespace {

using namespace e2e;

// One triangle whose surface names two clips: one found beside the object
// (in a folder with a blank in its name) and one missing.
std::string two_clip_object(std::string_view found, std::string_view missing) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Wood"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, found);
        clip(b, 2, missing);
        surface(b, "Wood", std::nullopt, 1);
    });
    return bytes_text(b);
}

TEST(DependencyFile, NamesEveryImageTriedEscaped) {
    test_support::TempDir dir;
    fs::create_directory(dir.path() / "my models");
    test_support::write_file(dir.path() / "my models/box.lwo", two_clip_object("images/wood #1.png", "gone.png"));
    test_support::write_file(dir.path() / "my models/wood #1.png", solid_png(2, 2, {255, 0, 0, 255}));

    ProgramRun run = run_quillmesh(dir.path(), "'my models/box.lwo' -o 'out dir.c' -d box.d", "out dir.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, "Warning: Couldn't open texture: my models/gone.png\n");
    EXPECT_FALSE(run.c_text.empty());
    // The missing image's folder stands for it: adding the image to it makes
    // the folder newer than the output.
    EXPECT_EQ(test_support::read_file(dir.path() / "box.d"),
              "out\\ dir.c: \\\n my\\ models/box.lwo \\\n my\\ models/wood\\ \\#1.png \\\n my\\ models\n"
              "\nmy\\ models/wood\\ \\#1.png:\n"
              "\nmy\\ models:\n");

    // Where the outputs are written the folder changes with every run, so
    // there the missing image is named itself.
    ProgramRun beside = run_quillmesh(dir.path(), "'my models/box.lwo' -q -o 'my models/out.c' -d box.d", "my models/out.c");
    EXPECT_EQ(beside.exit_status, 0);
    EXPECT_EQ(test_support::read_file(dir.path() / "box.d"),
              "my\\ models/out.c: \\\n my\\ models/box.lwo \\\n my\\ models/wood\\ \\#1.png \\\n my\\ models/gone.png\n"
              "\nmy\\ models/wood\\ \\#1.png:\n"
              "\nmy\\ models/gone.png:\n");
}

// make converts an object whose texture is missing once, not in every build,
// and again when the texture is added.
TEST(DependencyFile, MakeConvertsOnceWhileATextureIsMissing) {
    if (test_support::run_command("make --version").exit_status != 0) GTEST_SKIP() << "make is not installed";
    test_support::TempDir dir;
    fs::create_directory(dir.path() / "models");
    fs::create_directory(dir.path() / "out");
    test_support::write_file(dir.path() / "models/box.lwo", two_clip_object("wood.png", "wood.png"));
    test_support::write_file(dir.path() / "Makefile",
                             "out/box.c: models/box.lwo\n"
                             "\t$(QUILLMESH) models/box.lwo -q -o out/box.c -d out/box.c.d\n"
                             "-include out/box.c.d\n");
    const std::string make = "cd " + test_support::shell_quote(dir.path().string()) +
                             " && make QUILLMESH=" + test_support::shell_quote(QUILLMESH_EXE);
    auto converts = [&] {
        const test_support::CommandResult run = test_support::run_command(make);
        EXPECT_EQ(run.exit_status, 0) << run.output;
        return run.output.find(" -o out/box.c ") != std::string::npos;
    };
    EXPECT_TRUE(converts());
    EXPECT_FALSE(converts());
    EXPECT_FALSE(converts());
    // File times are compared to the nanosecond, but some file systems keep
    // whole seconds or less.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    test_support::write_file(dir.path() / "models/wood.png", solid_png(2, 2, {255, 0, 0, 255}));
    EXPECT_TRUE(converts());
    EXPECT_FALSE(converts());
    EXPECT_EQ(test_support::read_file(dir.path() / "out/box.c.d"),
              "out/box.c: \\\n models/box.lwo \\\n models/wood.png\n\nmodels/wood.png:\n");
}

TEST(DependencyFile, FailedRunWritesNoRuleAndKeepsTheOldOne) {
    test_support::TempDir dir;
    test_support::write_file(dir.path() / "bad.lwo", "not an object");
    for (bool existing : {false, true}) {
        if (existing) test_support::write_file(dir.path() / "bad.d", "old rule\n");
        ProgramRun run = run_quillmesh(dir.path(), "bad.lwo -d bad.d", "bad.lwo.c");
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.output, "IO error\nHint: the file does not begin with an IFF FORM header, as a LightWave object does\n");
        EXPECT_TRUE(run.c_text.empty());
        EXPECT_EQ(fs::exists(dir.path() / "bad.d"), existing);
        if (existing) {
            EXPECT_EQ(test_support::read_file(dir.path() / "bad.d"), "old rule\n");
        }
    }
}

TEST(DependencyFile, ThatNamesTheInputIsRefused) {
    test_support::TempDir dir;
    test_support::write_file(dir.path() / "box.lwo", two_clip_object("a.png", "b.png"));
    ProgramRun run = run_quillmesh(dir.path(), "box.lwo -d box.lwo", "box.lwo.c");
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.output, "Dependency file is the input file; choose another with -d\n");
    EXPECT_EQ(test_support::read_file(dir.path() / "box.lwo"), two_clip_object("a.png", "b.png"));
    EXPECT_FALSE(fs::exists(dir.path() / "box.lwo.c"));
}

}  // namespace
