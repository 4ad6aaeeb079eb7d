// The command line through the built program: help and version, refused
// operands and names, where messages go, -q and -e, and the dependency file
// read by make.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_support.hpp"

namespace {

using namespace e2e;
using test_support::files_in;
using test_support::read_file;
using test_support::shell_quote;
using test_support::write_file;

const std::string kUsage =
    "Usage: quillmesh inputfile [-o outputfile] [-s scalefactor] [-n name] [-t]\n"
    "       [-b] [-c cachesize] [-d depfile] [-k] [-q] [-e] [-f] [-m] [-v] [-r]\n"
    "       [-l] [-p preview.png] [-g] [-H header.h]\n";

// One textured triangle whose image clip names `image`.
std::string textured_triangle(std::string_view image) {
    return lwo_test::object([&](lwo_test::Builder& b) {
        tags(b, {"Wood"});
        layer(b);
        points(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        txuv(b, {{0, 0}, {1, 0}, {0, 1}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, image);
        surface(b, "Wood", std::nullopt, 1);
    });
}

const std::string kMissingTexture = "Warning: Couldn't open texture: wood.png\n";

struct Outputs {
    int exit_status = -1;
    std::string out, err;  // standard output and standard error apart
};

// Runs quillmesh inside `dir` with `args`, its standard error apart; `rest`
// (a pipe or redirection) follows.
Outputs run_apart(const fs::path& dir, const std::string& args, const std::string& rest = "") {
    auto result = test_support::run_quillmesh(dir, args + " 2>stderr.txt " + rest);
    Outputs outputs{result.exit_status, result.output, read_file(dir / "stderr.txt")};
    fs::remove(dir / "stderr.txt");
    return outputs;
}

TEST(CommandLineRun, VersionAndHelpPrintAndTouchNothing) {
    test_support::TempDir dir;
    for (std::string args : {"--version", "in.lwo --version", "'' --version"}) {
        Outputs run = run_apart(dir.path(), args);
        EXPECT_EQ(run.exit_status, 0) << args;
        EXPECT_EQ(run.out, "quillmesh 1.5.0\n") << args;
        EXPECT_EQ(run.err, "") << args;
    }
    for (std::string args : {"--help", "-h", "in.lwo -th -x"}) {
        Outputs run = run_apart(dir.path(), args);
        EXPECT_EQ(run.exit_status, 0) << args;
        EXPECT_EQ(run.out.substr(0, kUsage.size()), kUsage) << args;
        EXPECT_EQ(run.err, "") << args;
    }
    EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(CommandLineRun, HelpHasARowForEveryOptionOfTheUsage) {
    test_support::TempDir dir;
    const std::string help = run_apart(dir.path(), "--help").out;
    const std::string usage = help.substr(0, help.find("\n\n"));
    std::regex option(R"(\[(-[a-z]))");
    int options = 0;
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it, ++options) {
        const std::string row = "\n  " + (*it)[1].str() + " ";
        EXPECT_NE(help.find(row), std::string::npos) << "no row for " << (*it)[1] << " in:\n" << help;
    }
    EXPECT_GE(options, 10);
    for (std::string row : {"\n  -h, --help  ", "\n  --version   "})
        EXPECT_NE(help.find(row), std::string::npos) << row;
}

// `quillmesh models/*.lwo` once converted the first object and said nothing.
TEST(CommandLineRun, RefusedOperandsAndNamesCreateNothing) {
    struct Case {
        std::string args, reason;
    };
    for (const Case& c : std::vector<Case>{
             {"models/*.lwo", "Extra argument: 'models/b.lwo' (one input file per run)"},
             {"models/a.lwo -t -- models/b.lwo", "Extra argument: 'models/b.lwo' (one input file per run)"},
             {"-o out.c", "No input file"},
             {"-b -- models/a.lwo models/b.lwo", "Extra argument: 'models/b.lwo' (one input file per run)"},
             {"models/a.lwo -n 'my mesh'", "Invalid object name: 'my mesh' (not a C identifier)"},
             {"models/a.lwo -n 3d", "Invalid object name: '3d' (not a C identifier)"},
             {"models/a.lwo -n static", "Invalid object name: 'static' (not a C identifier)"},
         }) {
        test_support::TempDir dir;
        fs::create_directory(dir.path() / "models");
        write_file(dir.path() / "models/a.lwo", textured_triangle("wood.png"));
        write_file(dir.path() / "models/b.lwo", textured_triangle("wood.png"));
        Outputs run = run_apart(dir.path(), c.args);
        EXPECT_EQ(run.exit_status, 2) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err, c.reason + "\n" + kUsage) << c.args;
        EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"models", "models/a.lwo", "models/b.lwo"}))
            << c.args;
    }
}

TEST(CommandLineRun, NamesThatAreCIdentifiersCompile) {
    test_support::TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("wood.png"));
    for (std::string name : {"_Crate2", "x", "level_1_floor"}) {
        ProgramRun run = run_quillmesh(dir.path(), "in.lwo -q -n " + name, "in.lwo.c");
        EXPECT_EQ(run.exit_status, 0) << name;
        EXPECT_NE(run.c_text.find("StaticMesh " + name + " = "), std::string::npos) << name;
        auto compiled = compile_c(run.c_text);
        EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
    }
}

// Errors and warnings go to standard error, where a build log shows them
// even when standard output is thrown away; what was done to a texture is
// news, on standard output unless the C text (or the rule) goes there.
TEST(CommandLineRun, ErrorsAndWarningsGoToStandardError) {
    test_support::TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("wood.png"));
    ProgramRun reference = run_quillmesh(dir.path(), "in.lwo -o ref.c", "ref.c");
    ASSERT_EQ(reference.output, kMissingTexture);

    Outputs to_a_file = run_apart(dir.path(), "in.lwo -o out.c");
    EXPECT_EQ(to_a_file.out, "");
    EXPECT_EQ(to_a_file.err, kMissingTexture);

    for (std::string output : {"-", "/dev/stdout"}) {
        SCOPED_TRACE(output);
        Outputs piped = run_apart(dir.path(), "in.lwo -o " + output, "| cat");
        EXPECT_EQ(piped.exit_status, 0);
        EXPECT_EQ(piped.out, reference.c_text);
        EXPECT_EQ(piped.err, kMissingTexture);

        Outputs to_file = run_apart(dir.path(), "in.lwo -o " + output + " > redirected.c");
        EXPECT_EQ(to_file.exit_status, 0);
        EXPECT_EQ(to_file.out, "");
        EXPECT_EQ(to_file.err, kMissingTexture);
        EXPECT_EQ(read_file(dir.path() / "redirected.c"), reference.c_text);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "-"));

    Outputs rule = run_apart(dir.path(), "in.lwo -o out.c -d /dev/stdout", "| cat");
    EXPECT_EQ(rule.out, "out.c: \\\n in.lwo \\\n wood.png\n\nwood.png:\n");
    EXPECT_EQ(rule.err, kMissingTexture);

    Outputs failed = run_apart(dir.path(), "missing.lwo -o -", "| cat");
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "Couldn't open input file\nmissing.lwo: No such file or directory\n");
    // Nor any text of a run that fails once its layers are made.
    Outputs refused = run_apart(dir.path(), "in.lwo -e -o -", "| cat");
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, kMissingTexture + "Warnings treated as errors (-e)\n");

    // 64 x 64 RGBA16 is over the budget: -r fits it and says so.
    std::vector<Rgba> pixels;
    for (int k = 0; k < 64 * 64; ++k) pixels.push_back({std::uint8_t(k * 7), std::uint8_t(k / 64 * 4), 9, 255});
    write_file(dir.path() / "wood.png", rgba_png(64, 64, pixels));
    Outputs fitted = run_apart(dir.path(), "in.lwo -r -o out.c");
    EXPECT_EQ(fitted.exit_status, 0);
    EXPECT_TRUE(fitted.out.starts_with("texture 0 (wood.png): 64x64 RGBA16 -> ")) << fitted.out;
    EXPECT_EQ(fitted.err, "");
    Outputs fitted_to_stdout = run_apart(dir.path(), "in.lwo -r -o - > fitted.c");
    EXPECT_EQ(fitted_to_stdout.out, "");
    EXPECT_EQ(fitted_to_stdout.err, fitted.out);
}

// Orders a compiler takes: options before the input, after it, around it.
TEST(CommandLineRun, OptionsBeforeAndAfterTheInput) {
    test_support::TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("wood.png"));
    const ProgramRun reference = run_quillmesh(dir.path(), "in.lwo -b -o ref.c", "ref.c");
    ASSERT_EQ(reference.exit_status, 0);
    for (std::string args : {"-b in.lwo -o out.c", "-o out.c in.lwo -b", "-bo out.c -- in.lwo"}) {
        const ProgramRun run = run_quillmesh(dir.path(), args, "out.c");
        EXPECT_EQ(run.exit_status, 0) << args;
        EXPECT_EQ(run.output, kMissingTexture) << args;
        EXPECT_TRUE(run.c_text == reference.c_text) << args;
        fs::remove(dir.path() / "out.c");
    }
}

// -c sizes the cache of -b; alone it changes nothing, which is worth saying.
TEST(CommandLineRun, CacheSizeWithoutBatchingWarns) {
    test_support::TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("wood.png"));
    const std::string warning = "Warning: -c sets the cache size of -b, which is not given\n";
    const ProgramRun run = run_quillmesh(dir.path(), "in.lwo -c 16 -o out.c", "out.c");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.output, warning + kMissingTexture);
    EXPECT_EQ(run_quillmesh(dir.path(), "in.lwo -q -c 16 -o q.c", "q.c").output, "");
    const ProgramRun refused = run_quillmesh(dir.path(), "in.lwo -e -c 16 -o e.c", "e.c");
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_EQ(refused.output, warning + "Warnings treated as errors (-e)\n");
    EXPECT_FALSE(fs::exists(dir.path() / "e.c"));
}

TEST(CommandLineRun, QuietAndWarningsAsErrors) {
    struct Case {
        std::string flags;
        bool texture_present;
        int exit_status;
        std::string output;
        bool written;
    };
    const std::string stopped = kMissingTexture + "Warnings treated as errors (-e)\n";
    for (const Case& c : std::vector<Case>{
             {"", false, 0, kMissingTexture, true},
             {"-q", false, 0, "", true},
             {"-e", false, 1, stopped, false},
             {"-qe", false, 1, stopped, false},
             {"-e", true, 0, "", true},
         }) {
        test_support::TempDir dir;
        write_file(dir.path() / "in.lwo", textured_triangle("wood.png"));
        if (c.texture_present) write_file(dir.path() / "wood.png", solid_png(2, 2, {255, 0, 0, 255}));
        ProgramRun run = run_quillmesh(dir.path(), "in.lwo -d in.d " + c.flags, "in.lwo.c");
        EXPECT_EQ(run.exit_status, c.exit_status) << c.flags;
        EXPECT_EQ(run.output, c.output) << c.flags;
        EXPECT_EQ(!run.c_text.empty(), c.written) << c.flags;
        EXPECT_EQ(fs::exists(dir.path() / "in.d"), c.written) << c.flags;
    }
}

// make reads the rule; deleting a texture image must not stop it with
// "No rule to make target": the object is converted again, with a warning.
TEST(CommandLineRun, MakeConvertsAgainWhenATextureIsDeleted) {
    if (test_support::run_command("make --version").exit_status != 0) GTEST_SKIP() << "make is not installed";
    test_support::TempDir dir;
    write_file(dir.path() / "my box.lwo", textured_triangle("wood.png"));
    write_file(dir.path() / "wood.png", solid_png(2, 2, {255, 0, 0, 255}));
    write_file(dir.path() / "Makefile",
               "box.c: my\\ box.lwo\n"
               "\t$(QUILLMESH) 'my box.lwo' -o box.c -d box.c.d\n"
               "-include box.c.d\n");
    const std::string make = "cd " + shell_quote(dir.path().string()) + " && make QUILLMESH=" + shell_quote(QUILLMESH_EXE);

    auto first = test_support::run_command(make);
    ASSERT_EQ(first.exit_status, 0) << first.output;
    EXPECT_EQ(read_file(dir.path() / "box.c.d"), "box.c: \\\n my\\ box.lwo \\\n wood.png\n\nwood.png:\n");
    EXPECT_NE(read_file(dir.path() / "box.c").find("TEXTURE_FMT_CI4"), std::string::npos);

    fs::remove(dir.path() / "wood.png");
    auto second = test_support::run_command(make);
    EXPECT_EQ(second.exit_status, 0) << second.output;
    EXPECT_NE(second.output.find(kMissingTexture), std::string::npos) << second.output;
    EXPECT_EQ(read_file(dir.path() / "box.c").find("TEXTURE_FMT_CI4"), std::string::npos);
}

}  // namespace
