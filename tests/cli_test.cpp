#include "cli.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// `args` as parsed when the first names no existing file, unless told.
std::expected<cli::Settings, std::string> parse(std::vector<std::string_view> args, bool first_names_a_file = false) {
    return cli::parse_command_line(args, first_names_a_file);
}

TEST(CommandLine, DefaultsFollowTheInputPath) {
    struct Case {
        std::string_view input, output, texture_dir;
    };
    for (const Case& c : std::vector<Case>{
             {"models/cube.lwo", "models/cube.lwo.c", "models"},
             {"./cube.lwo", "./cube.lwo.c", "."},
             {"cube.lwo", "cube.lwo.c", ""},
             {"/data/cube.lwo", "/data/cube.lwo.c", "/data"},
             {"/cube.lwo", "/cube.lwo.c", "/"},
             {"a//b.lwo", "a/b.lwo.c", "a"},
         }) {
        auto settings = parse({c.input});
        ASSERT_TRUE(settings) << c.input;
        EXPECT_EQ(settings->input_path, c.input);
        EXPECT_EQ(settings->output_path, c.output) << c.input;
        EXPECT_EQ(settings->texture_dir, c.texture_dir) << c.input;
        EXPECT_EQ(settings->object_name, "mesh");
        EXPECT_EQ(settings->scale, 1.0f);
        EXPECT_FALSE(settings->tile);
    }
}

TEST(CommandLine, OptionsInAnyPlaceAndForm) {
    auto all = parse({"models/cube.lwo", "-o", "out/cube.c", "-n", "cube", "-s", "0.01", "-t"});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->output_path, "out/cube.c");
    EXPECT_EQ(all->object_name, "cube");
    EXPECT_EQ(all->scale, 0.01f);
    EXPECT_TRUE(all->tile);

    auto attached = parse({"cube.lwo", "-s2", "-oout.c", "-tncube"});
    ASSERT_TRUE(attached);
    EXPECT_EQ(attached->scale, 2.0f);
    EXPECT_EQ(attached->output_path, "out.c");
    EXPECT_EQ(attached->object_name, "cube");
    EXPECT_TRUE(attached->tile);

    auto dash_value = parse({"cube.lwo", "-s", "-1"});
    ASSERT_TRUE(dash_value);
    EXPECT_EQ(dash_value->scale, -1.0f);

    auto ended = parse({"cube.lwo", "-t", "--"});
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->tile);

    auto extras = parse({"cube.lwo", "-bkc16", "-d", "cube.d"});
    ASSERT_TRUE(extras);
    EXPECT_TRUE(extras->batch);
    EXPECT_TRUE(extras->skip_unknown_blocks);
    EXPECT_EQ(extras->cache_size, 16);
    EXPECT_EQ(extras->depfile, "cube.d");
    EXPECT_EQ(all->cache_size, 32);
    EXPECT_FALSE(all->depfile);
    EXPECT_FALSE(all->fit_textures);

    auto fit = parse({"cube.lwo", "-rt"});
    ASSERT_TRUE(fit);
    EXPECT_TRUE(fit->fit_textures);
    EXPECT_TRUE(fit->tile);
    EXPECT_FALSE(parse({"cube.lwo", "-r", "-r"}));

    // A first argument that names a file is the input, and the parser sees
    // it too.
    auto first = parse({"-t", "-o", "out.c"}, true);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->input_path, "-t");
    EXPECT_EQ(first->output_path, "out.c");
    EXPECT_TRUE(first->tile);
}

// Options before, after and around the input, as compilers take them.
TEST(CommandLine, TheInputAmongTheOptions) {
    struct Case {
        std::vector<std::string_view> args;
        std::string_view input, output;
        bool batch;
    };
    for (const Case& c : std::vector<Case>{
             {{"-b", "model.lwo"}, "model.lwo", "model.lwo.c", true},
             {{"-o", "out.c", "model.lwo"}, "model.lwo", "out.c", false},
             {{"-o", "out.c", "model.lwo", "-b"}, "model.lwo", "out.c", true},
             {{"-bo", "out.c", "--", "-model.lwo"}, "-model.lwo", "out.c", true},
             {{"model.lwo", "-o", "-"}, "model.lwo", "/dev/stdout", false},
             {{"-o-", "model.lwo"}, "model.lwo", "/dev/stdout", false},
         }) {
        auto settings = parse(c.args);
        ASSERT_TRUE(settings) << settings.error();
        EXPECT_EQ(settings->input_path, c.input);
        EXPECT_EQ(settings->output_path, c.output);
        EXPECT_EQ(settings->batch, c.batch);
    }
}

TEST(CommandLine, CacheSizeWithoutBatchingIsMarked) {
    EXPECT_TRUE(parse({"cube.lwo", "-c", "16"})->cache_size_unused);
    EXPECT_FALSE(parse({"cube.lwo", "-b", "-c", "16"})->cache_size_unused);
    EXPECT_FALSE(parse({"cube.lwo"})->cache_size_unused);
}

TEST(CommandLine, Fast3dCacheIsSixteenByDefaultAndAtMost) {
    struct Case {
        std::vector<std::string_view> args;
        bool fast3d;
        int cache_size;
    };
    for (const Case& c : std::vector<Case>{
             {{"cube.lwo"}, false, 32},
             {{"cube.lwo", "-f"}, true, 16},
             {{"cube.lwo", "-fb"}, true, 16},
             {{"cube.lwo", "-b", "-c", "16", "-f"}, true, 16},
             {{"cube.lwo", "-f", "-c3"}, true, 3},
         }) {
        auto settings = parse(c.args);
        ASSERT_TRUE(settings) << settings.error();
        EXPECT_EQ(settings->fast3d, c.fast3d);
        EXPECT_EQ(settings->cache_size, c.cache_size);
    }
}

TEST(CommandLine, SurfaceAndColourFlags) {
    auto none = parse({"cube.lwo"});
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->split_surfaces);
    EXPECT_FALSE(none->vertex_colors);
    auto both = parse({"cube.lwo", "-mv"});
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->split_surfaces);
    EXPECT_TRUE(both->vertex_colors);
}

TEST(CommandLine, DrawListAndHeader) {
    auto none = parse({"cube.lwo"});
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->draw_list);
    EXPECT_FALSE(none->header);
    auto both = parse({"-gH", "cube.h", "cube.lwo"});
    ASSERT_TRUE(both) << both.error();
    EXPECT_EQ(both->input_path, "cube.lwo");
    EXPECT_TRUE(both->draw_list);
    EXPECT_EQ(both->header, "cube.h");
}

TEST(CommandLine, RefusedWithAReason) {
    struct Case {
        std::vector<std::string_view> args;
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{
             {{"cube.lwo", "-x"}, "Unrecognized option: 'x'"},
             {{"cube.lwo", "--long"}, "Unrecognized option: 'long'"},
             {{"cube.lwo", "-s"}, "Argument to option 's' missing"},
             {{"cube.lwo", "-t", "-o", "a.c", "-o", "b.c"}, "Option 'o' given more than once"},
             {{"cube.lwo", "-tt"}, "Option 't' given more than once"},
             {{"cube.lwo", "-s", "abc"}, "Invalid scale factor: 'abc'"},
             {{"cube.lwo", "-c", "2"}, "Invalid cache size: '2' (3 to 64)"},
             {{"cube.lwo", "-c65"}, "Invalid cache size: '65' (3 to 64)"},
             {{"cube.lwo", "-c", "+8"}, "Invalid cache size: '+8' (3 to 64)"},
             {{"cube.lwo", "-c", "16x"}, "Invalid cache size: '16x' (3 to 64)"},
             {{"cube.lwo", "-f", "-c", "17"}, "Invalid cache size: '17' (3 to 16 with -f)"},
             {{"cube.lwo", "-c", "32", "-bf"}, "Invalid cache size: '32' (3 to 16 with -f)"},
             {{"cube.lwo", "-ff"}, "Option 'f' given more than once"},
             {{"cube.lwo", "-m", "-vm"}, "Option 'm' given more than once"},
             {{"cube.lwo", "-bb"}, "Option 'b' given more than once"},
             {{"cube.lwo", "-d"}, "Argument to option 'd' missing"},
             {{"cube.lwo", "-o", ""}, "Empty output path for -o"},
             {{"cube.lwo", "-d", ""}, "Empty dependency file path for -d"},
             {{"cube.lwo", "-H", ""}, "Empty header path for -H"},
             {{"cube.lwo", "-H"}, "Argument to option 'H' missing"},
             {{"cube.lwo", "-g", "-tg"}, "Option 'g' given more than once"},
             {{"cube.lwo", "-n", "\xff"}, "Argument is not valid UTF-8"},
             {{""}, "Input path has no file name: ''"},
             {{"/"}, "Input path has no file name: '/'"},
             {{"."}, "Input path has no file name: '.'"},
             {{"models/..", "-o", "x.c"}, "Input path has no file name: 'models/..'"},
             {{"cube.lwo", "extra"}, "Extra argument: 'extra' (one input file per run)"},
             {{"cube.lwo", "-"}, "Extra argument: '-' (one input file per run)"},
             {{"cube.lwo", "--", "-t"}, "Extra argument: '-t' (one input file per run)"},
             {{"-o", "out.c"}, "No input file"},
             {{"-b"}, "No input file"},
             {{"--"}, "No input file"},
             {{"a.lwo", "b.lwo"}, "Extra argument: 'b.lwo' (one input file per run)"},
             {{"-b", "a.lwo", "--", "b.lwo"}, "Extra argument: 'b.lwo' (one input file per run)"},
             {{"cube.lwo", "-qq"}, "Option 'q' given more than once"},
             {{"cube.lwo", "-s", "--help"}, "Invalid scale factor: '--help'"},
             {{"cube.lwo", "-x", "--help"}, "Unrecognized option: 'x'"},
             {{"cube.lwo", "--helpme"}, "Unrecognized option: 'helpme'"},
         }) {
        auto settings = parse(c.args);
        ASSERT_FALSE(settings) << c.reason;
        EXPECT_EQ(settings.error(), c.reason);
    }
    // A first argument that names a file is the input, whatever follows.
    auto named = parse({"-o", "out.c", "cube.lwo"}, true);
    ASSERT_FALSE(named);
    EXPECT_EQ(named.error(), "Extra argument: 'cube.lwo' (one input file per run)");
}

// A help or version request wins over what follows it, and over an input
// path that names no file.
TEST(CommandLine, HelpAndVersionRequests) {
    struct Case {
        std::vector<std::string_view> args;
        cli::Request request;
    };
    for (const Case& c : std::vector<Case>{
             {{"cube.lwo"}, cli::Request::convert},
             {{"--help"}, cli::Request::help},
             {{"-h"}, cli::Request::help},
             {{"cube.lwo", "-th", "-x"}, cli::Request::help},
             {{"", "--help"}, cli::Request::help},
             {{"--version"}, cli::Request::version},
             {{"cube.lwo", "--version", "extra"}, cli::Request::version},
             {{"cube.lwo", "-o", "--help"}, cli::Request::convert},
         }) {
        auto settings = parse(c.args);
        ASSERT_TRUE(settings) << c.args.back();
        EXPECT_EQ(settings->request, c.request) << c.args.back();
    }
}

TEST(CommandLine, ObjectNamesMustBeCIdentifiers) {
    for (std::string_view name : {"mesh", "_", "_Crate2", "x9", "intx", "Static"})
        EXPECT_TRUE(cli::is_c_identifier(name)) << name;
    for (std::string_view name : {"", "my mesh", "3d", "mesh-1", "m\xc3\xa9sh", "a.b", "int", "static", "_Bool", "typeof"})
        EXPECT_FALSE(cli::is_c_identifier(name)) << name;
}

TEST(CommandLine, QuietAndWarningsAsErrors) {
    auto both = parse({"cube.lwo", "-qe"});
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->quiet);
    EXPECT_TRUE(both->warnings_are_errors);
    auto neither = parse({"cube.lwo"});
    ASSERT_TRUE(neither);
    EXPECT_FALSE(neither->quiet);
    EXPECT_FALSE(neither->warnings_are_errors);
}

TEST(ScaleGrammar, AcceptsExactlyTheGrammar) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::string_view text;
        float value;
    };
    for (const Case& c : std::vector<Case>{
             {"2", 2.0f},
             {"0.5", 0.5f},
             {"1.", 1.0f},
             {".5", 0.5f},
             {"+3", 3.0f},
             {"-1", -1.0f},
             {"1e2", 100.0f},
             {"1E+2", 100.0f},
             {"25e-1", 2.5f},
             {"0.01", 0.01f},
             {"inf", inf},
             {"-inf", -inf},
             {"1e39", inf},
             {"1e-50", 0.0f},
             // Halfway between two floats: correct rounding goes to even.
             {"16777217", 16777216.0f},
             {"16777219", 16777220.0f},
             // Just above the halfway point, the decimal tail decides.
             {"16777217.000000001", 16777218.0f},
         }) {
        std::optional<float> value = cli::parse_scale(c.text);
        ASSERT_TRUE(value) << c.text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(*value), std::bit_cast<std::uint32_t>(c.value)) << c.text;
    }
    ASSERT_TRUE(cli::parse_scale("NaN"));
    EXPECT_TRUE(std::isnan(*cli::parse_scale("NaN")));
    EXPECT_TRUE(std::isnan(*cli::parse_scale("-NaN")));

    for (std::string_view bad : {"", "+", ".", "e5", "1e", "1e+", " 1", "1 ", "0x10", "infinity", "Inf", "nan",
                                 "NAN", "nan(1)", "1.2.3", "--1", "1,5", "1f"})
        EXPECT_FALSE(cli::parse_scale(bad)) << bad;
}

}  // namespace
