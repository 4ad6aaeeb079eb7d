// The driver through the built program: messages, exit statuses, and which
// files exist afterwards.

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace fs = std::filesystem;
using test_support::files_in;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

namespace {

const std::string kUsage =
    "Usage: quillmesh inputfile [-o outputfile] [-s scalefactor] [-n name] [-t]\n"
    "       [-b] [-c cachesize] [-d depfile] [-k] [-q] [-e] [-f] [-m] [-v] [-r]\n"
    "       [-p preview.png]\n";

// "FORM", a length and "LWO2": an object with no chunks at all.
const std::string kEmptyObject = std::string("FORM\0\0\0\4LWO2", 12);

const std::string kEmptyMeshText =
    "#include \"myheader.h\"\n\n"
    "static Material materials[] = {\n};\n\n"
    "static Layer layers[] = {\n};\n\n";

std::string closing(const std::string& name) {
    return "StaticMesh " + name + " = STATICMESH_INIT( layers, 0, materials, 0, NULL, 0 ); \n";
}

test_support::CommandResult run_in(const TempDir& dir, const std::string& args) {
    return test_support::run_quillmesh(dir.path(), args);
}

TEST(Driver, NoArgumentsPrintsBannerAndUsage) {
    TempDir dir;
    auto result = run_in(dir, "");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, "quillmesh 1.5.0\n" + kUsage);
    EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(Driver, RefusedCommandLinesTouchNoFile) {
    struct Case {
        std::string args, reason;
    };
    for (const Case& c : std::vector<Case>{
             {"cube.lwo -x", "Unrecognized option: 'x'"},
             {"cube.lwo -s", "Argument to option 's' missing"},
             {"cube.lwo -n a -n b", "Option 'n' given more than once"},
             {"cube.lwo -s 1.5x", "Invalid scale factor: '1.5x'"},
             {"cube.lwo -s infinity", "Invalid scale factor: 'infinity'"},
             {"cube.lwo -c 65", "Invalid cache size: '65' (3 to 64)"},
             {"cube.lwo -n $'\\xc3'", "Argument is not valid UTF-8"},
             {"'' -o out.c", "Input path has no file name: ''"},
             {"sub/.. -o out.c", "Input path has no file name: 'sub/..'"},
         }) {
        TempDir dir;
        write_file(dir.path() / "cube.lwo", kEmptyObject);
        auto result = run_in(dir, c.args);
        EXPECT_EQ(result.exit_status, 2) << c.args;
        EXPECT_EQ(result.output, c.reason + "\n" + kUsage) << c.args;
        EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"cube.lwo"}) << c.args;
    }
}

TEST(Driver, FailedRunsLeaveNoNewFileAndKeepAnExistingOne) {
    struct Case {
        std::string input_bytes;  // empty: no input file at all
        std::string args, message;
    };
    for (const Case& c : std::vector<Case>{
             {"", "missing.lwo -o out.c", "Couldn't open input file\nmissing.lwo: No such file or directory\n"},
             {"FORM", "in.lwo -o out.c", "IO error\nHint: the file ends inside its FORM header\n"},
             // A chunk that claims more bytes than the file holds.
             {kEmptyObject + std::string("PNTS\0\0\0\x18\0\0\0\0", 12), "in.lwo -o out.c",
              "failed to fill whole buffer\n"},
             {std::string("FORM\0\0\0\4LWLO", 12), "in.lwo -o out.c",
              "IO error\nHint: the file is an IFF FORM of type LWLO, not a LightWave object (LWO2, LWO3 or LWOB)\n"},
             {std::string("JUNK\0\0\0\4LWO2", 12), "in.lwo -o out.c", "IO error\nHint: the file does not begin with an IFF FORM header, as a LightWave object does\n"},
             {kEmptyObject, "in.lwo -o nodir/out.c", "Couldn't create output file\nnodir/out.c: No such file or directory\n"},
         }) {
        for (bool existing_output : {false, true}) {
            TempDir dir;
            if (!c.input_bytes.empty()) write_file(dir.path() / "in.lwo", c.input_bytes);
            if (existing_output) write_file(dir.path() / "out.c", "keep me");
            auto before = files_in(dir.path());
            auto result = run_in(dir, c.args);
            EXPECT_EQ(result.exit_status, 1) << c.args;
            EXPECT_EQ(result.output, c.message) << c.args;
            EXPECT_EQ(files_in(dir.path()), before) << c.args;
            if (existing_output) {
                EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
            }
        }
    }
}

TEST(Driver, EmptyInputFileIsNotAnObject) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", "");
    auto result = run_in(dir, "in.lwo");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, "IO error\nHint: the file is empty\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.lwo"});
}

TEST(Driver, DefaultOutputPathsAndObjectName) {
    TempDir dir;
    fs::create_directory(dir.path() / "models");
    write_file(dir.path() / "models/cube.lwo", kEmptyObject);
    write_file(dir.path() / "cube.lwo", kEmptyObject);

    for (std::string input : {"models/cube.lwo", "./cube.lwo", "cube.lwo"}) {
        auto result = run_in(dir, input);
        EXPECT_EQ(result.exit_status, 0) << input;
        EXPECT_EQ(result.output, "") << input;
        EXPECT_EQ(read_file(dir.path() / (input + ".c")), kEmptyMeshText + closing("mesh")) << input;
    }
    auto named = run_in(dir, "cube.lwo -n level1");
    EXPECT_EQ(named.exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "cube.lwo.c"), kEmptyMeshText + closing("level1"));
}

TEST(Driver, OutputGetsTheModeOfANewFileAndReplacesAnOldOne) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", kEmptyObject);
    write_file(dir.path() / "out.c", "old text that is longer than the new one ............................");
    chmod((dir.path() / "out.c").c_str(), 0600);
    auto result = run_in(dir, "in.lwo -o out.c");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(read_file(dir.path() / "out.c"), kEmptyMeshText + closing("mesh"));
    struct stat info;
    ASSERT_EQ(stat((dir.path() / "out.c").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"in.lwo", "out.c"}));
}

TEST(Driver, OutputThroughALinkReplacesTheTarget) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", kEmptyObject);
    write_file(dir.path() / "target.c", "old");
    fs::create_symlink("target.c", dir.path() / "link.c");
    EXPECT_EQ(run_in(dir, "in.lwo -o link.c").exit_status, 0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.c"));
    EXPECT_EQ(read_file(dir.path() / "target.c"), kEmptyMeshText + closing("mesh"));
}

TEST(Driver, OutputThatIsNotARegularFileIsWrittenDirectly) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", kEmptyObject);
    auto piped = run_in(dir, "in.lwo -o /dev/stdout | cat");
    EXPECT_EQ(piped.exit_status, 0);
    EXPECT_EQ(piped.output, kEmptyMeshText + closing("mesh"));

    auto full = run_in(dir, "in.lwo -o /dev/full");
    EXPECT_EQ(full.exit_status, 1);
    EXPECT_EQ(full.output, "No space left on device\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.lwo"});
}

TEST(Driver, RefusesToOverwriteTheInput) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", kEmptyObject);
    fs::create_directory(dir.path() / "sub");
    fs::create_symlink("../in.lwo", dir.path() / "sub/link.lwo");
    fs::create_hard_link(dir.path() / "in.lwo", dir.path() / "hard.lwo");
    for (std::string output : {"in.lwo", "./sub/../in.lwo", "sub/link.lwo", "hard.lwo"}) {
        auto result = run_in(dir, "in.lwo -o " + output);
        EXPECT_EQ(result.exit_status, 2) << output;
        EXPECT_EQ(result.output, "Output file is the input file; choose another with -o\n") << output;
        EXPECT_EQ(read_file(dir.path() / "in.lwo"), kEmptyObject) << output;
    }
}

TEST(Driver, InputWithoutALengthFails) {
    TempDir dir;
    // /dev/null has a length of 0, so it reads as an empty file.
    auto empty = run_in(dir, "/dev/stdin -o out.c < /dev/null");
    EXPECT_EQ(empty.exit_status, 1);
    EXPECT_EQ(empty.output, "IO error\nHint: the file is empty\n");
    auto piped = run_in(dir, "/dev/stdin -o out.c < <(printf FORM)");
    EXPECT_EQ(piped.exit_status, 1);
    EXPECT_EQ(piped.output, "Couldn't find the length of the input file\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{});
}

}  // namespace
