#pragma once
// The command line: option rules, the scale grammar and the paths derived
// from the input path. Nothing here touches a file.

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

inline constexpr const char* kBanner = "quillmesh " QUILLMESH_VERSION "\n";
inline constexpr const char* kUsage =
    "Usage: quillmesh inputfile [-o outputfile] [-s scalefactor] [-n name] [-t]\n"
    "       [-b] [-c cachesize] [-d depfile] [-k] [-q] [-e] [-f] [-m] [-v] [-r]\n"
    "       [-l] [-p preview.png] [-g] [-H header.h]\n";

// The usage lines, then the option table, for --help.
std::string help_text();

// What the command line asks for: a conversion, or only a text.
enum class Request { convert, help, version };

struct Settings {
    Request request = Request::convert;  // help and version leave the other fields unset
    std::string input_path;
    std::string output_path;
    std::string texture_dir;  // the input's directory part; "" is the current directory
    std::string object_name = "mesh";
    float scale = 1.0f;
    bool tile = false;
    bool batch = false;                  // -b: fill the vertex cache
    int cache_size = 32;                 // -c: vertex cache slots, 3 to 64 (16 with -f)
    bool cache_size_unused = false;      // -c given without -b, where it changes nothing
    std::optional<std::string> depfile;  // -d: Make rule naming what the output depends on
    bool skip_unknown_blocks = false;    // -k: warn about non-image texture blocks instead of failing
    bool quiet = false;                  // -q: print no warnings
    bool warnings_are_errors = false;    // -e: print the warnings, then fail without writing
    bool fast3d = false;                 // -f: one-triangle commands only, a 16-vertex cache
    bool split_surfaces = false;         // -m: one layer per (layer, surface) pair
    bool vertex_colors = false;          // -v: vertex colours in place of normals
    bool fit_textures = false;           // -r: make every texture fit TMEM
    bool lit_normals = false;            // -l: normals as LightWave shades them
    std::optional<std::string> preview;  // -p: PNG picture of the converted mesh
    bool draw_list = false;              // -g: a display list that draws the whole mesh
    std::optional<std::string> header;   // -H: header declaring the record (and draw list)
};

inline constexpr std::string_view kNoInput = "No input file";
inline constexpr std::string_view kStandardOutput = "/dev/stdout";

// The settings, or the one-line reason why the command line is refused.
// `args` are the arguments after the program name. Options may come before
// and after the input, the one argument that is not an option; "--" ends the
// options. When `first_names_a_file` (the first argument names an existing
// file, whatever it looks like), that argument is the input.
std::expected<Settings, std::string> parse_command_line(std::span<const std::string_view> args,
                                                       bool first_names_a_file);

// An optional sign, then digits with an optional point and fraction (at
// least one digit in all) and an optional exponent; or "inf" or "NaN" after
// the sign. Correctly rounded to single precision. Nothing else is accepted.
std::optional<float> parse_scale(std::string_view text);

struct InputPath {
    std::string directory;  // "models", ".", "/", or "" for a bare file name
    std::string file_name;  // the last component, extension kept
};

// Fails for paths whose last component is not a name: "", "/", ".", "a/..".
std::optional<InputPath> split_input_path(std::string_view path);

// Letters, digits and '_', not starting with a digit, and not a C keyword:
// the record name must compile.
bool is_c_identifier(std::string_view text);

}  // namespace cli
