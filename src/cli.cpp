#include "cli.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "ultraback/vertex_cache.hpp"
#include "utf8.hpp"

namespace cli {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Length of the UTF-8 sequence that starts with `lead`, 1 for anything else,
// so a reason can quote a whole option character.
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// One row of the option table that --help prints.
struct OptionHelp {
    std::string_view option, text;
};

// One row per option, in the order of the usage lines.
constexpr OptionHelp kOptionHelp[] = {
    {"-o FILE", "output file (- for standard output); default: the input path with .c appended"},
    {"-s SCALE", "multiply every coordinate by SCALE; default 1"},
    {"-n NAME", "name of the StaticMesh record, a C identifier; default mesh"},
    {"-t", "split layers whose texture does not fit TMEM into tiles"},
    {"-b", "batch vertices to fill the vertex cache"},
    {"-c N", "vertex cache size for -b, 3 to 64; default 32 (with -f 3 to 16, default 16)"},
    {"-d FILE", "also write a Make rule naming what the output depends on"},
    {"-k", "skip texture blocks that are not image maps, with a warning"},
    {"-r", "fit textures over the TMEM budget: format, size, colours"},
    {"-q", "print no warnings"},
    {"-e", "warnings are errors: print them, then fail, writing nothing"},
    {"-f", "Fast3D: only one-triangle commands, a 16-vertex cache"},
    {"-m", "one output layer per (layer, surface) pair, each with its material"},
    {"-v", "vertex colours from the first RGB or RGBA map instead of normals"},
    {"-l", "normals as LightWave shades them: smoothed per surface, facing the console's way"},
    {"-p FILE", "also write a PNG picture of the mesh as the console draws it"},
    {"-g", "also write Gfx NAME_draw[], which draws every layer with its material"},
    {"-H FILE", "also write a header declaring the record (and with -g NAME_draw)"},
    {"-h, --help", "print this help"},
    {"--version", "print the version"},
};

// The keywords of C up to C23, which cannot name a record.
constexpr std::string_view kCKeywords[] = {
    "alignas", "alignof", "auto", "bool", "break", "case", "char", "const", "constexpr", "continue",
    "default", "do", "double", "else", "enum", "extern", "false", "float", "for", "goto", "if", "inline",
    "int", "long", "nullptr", "register", "restrict", "return", "short", "signed", "sizeof", "static",
    "static_assert", "struct", "switch", "thread_local", "true", "typedef", "typeof", "typeof_unqual",
    "union", "unsigned", "void", "volatile", "while", "_Alignas", "_Alignof", "_Atomic", "_BitInt",
    "_Bool", "_Complex", "_Decimal128", "_Decimal32", "_Decimal64", "_Generic", "_Imaginary",
    "_Noreturn", "_Static_assert", "_Thread_local"};

struct OptionValues {
    Request request = Request::convert;
    std::optional<std::string> input;
    std::optional<std::string> scale, output, name, cache_size, depfile, preview, header;
    bool tile = false, batch = false, skip_unknown_blocks = false, quiet = false, warnings_are_errors = false;
    bool fast3d = false, split_surfaces = false, vertex_colors = false, fit_textures = false, draw_list = false;
    bool lit_normals = false;
};

std::optional<std::string>* value_slot(OptionValues& values, char letter) {
    switch (letter) {
        case 's': return &values.scale;
        case 'o': return &values.output;
        case 'n': return &values.name;
        case 'c': return &values.cache_size;
        case 'd': return &values.depfile;
        case 'p': return &values.preview;
        case 'H': return &values.header;
        default: return nullptr;
    }
}

bool* flag_slot(OptionValues& values, char letter) {
    switch (letter) {
        case 't': return &values.tile;
        case 'b': return &values.batch;
        case 'k': return &values.skip_unknown_blocks;
        case 'q': return &values.quiet;
        case 'e': return &values.warnings_are_errors;
        case 'f': return &values.fast3d;
        case 'm': return &values.split_surfaces;
        case 'v': return &values.vertex_colors;
        case 'r': return &values.fit_textures;
        case 'g': return &values.draw_list;
        case 'l': return &values.lit_normals;
        default: return nullptr;
    }
}

std::optional<int> parse_cache_size(std::string_view text, std::size_t max) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    const auto size = static_cast<std::size_t>(value);
    if (size < ultraback::kMinCacheSize || size > max) return std::nullopt;
    return value;
}

// A run converts one object: a second file name would be silently ignored.
std::string extra_operand(std::string_view operand) {
    return "Extra argument: '" + std::string(operand) + "' (one input file per run)";
}

// Short options, and the long --help and --version: values attached (-s2) or
// in the next argument even when it starts with a dash (-s -1), flags grouped
// (-tt is refused as a repeat), "--" ends the options. Options may stand
// before and after the input, which is the one argument that is not an
// option (or the first, when `first_is_input`); any other is refused. A help
// or version request ends the parsing where it stands.
std::expected<OptionValues, std::string> parse_options(std::span<const std::string_view> args, bool first_is_input) {
    OptionValues values;
    auto take_operand = [&](std::string_view arg) -> std::expected<void, std::string> {
        if (values.input) return std::unexpected(extra_operand(arg));
        values.input = std::string(arg);
        return {};
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (i == 0 && first_is_input) {
            // Still read as options too, if it looks like them.
            values.input = std::string(arg);
            if (arg.size() < 2 || arg[0] != '-' || arg == "--") continue;
        }
        if (arg == "--") {
            for (std::size_t k = i + 1; k < args.size(); ++k)
                if (auto taken = take_operand(args[k]); !taken) return std::unexpected(taken.error());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            if (auto taken = take_operand(arg); !taken) return std::unexpected(taken.error());
            continue;
        }
        if (arg == "--help" || arg == "--version") {
            values.request = arg == "--help" ? Request::help : Request::version;
            return values;
        }
        if (arg[1] == '-') return std::unexpected("Unrecognized option: '" + std::string(arg.substr(2)) + "'");
        for (std::size_t j = 1; j < arg.size(); ++j) {
            char letter = arg[j];
            if (letter == 'h') {
                values.request = Request::help;
                return values;
            }
            if (bool* flag = flag_slot(values, letter)) {
                if (*flag) return std::unexpected("Option '" + std::string(1, letter) + "' given more than once");
                *flag = true;
                continue;
            }
            std::optional<std::string>* slot = value_slot(values, letter);
            if (!slot) {
                std::string_view option = arg.substr(j, sequence_length(static_cast<unsigned char>(letter)));
                return std::unexpected("Unrecognized option: '" + std::string(option) + "'");
            }
            if (slot->has_value())
                return std::unexpected("Option '" + std::string(1, letter) + "' given more than once");
            if (j + 1 < arg.size()) {
                *slot = std::string(arg.substr(j + 1));
            } else if (i + 1 < args.size()) {
                *slot = std::string(args[++i]);
            } else {
                return std::unexpected("Argument to option '" + std::string(1, letter) + "' missing");
            }
            break;
        }
    }
    return values;
}

std::string default_output_path(const InputPath& input) {
    if (input.directory.empty()) return input.file_name + ".c";
    if (input.directory == "/") return "/" + input.file_name + ".c";
    return input.directory + "/" + input.file_name + ".c";
}

}  // namespace

std::string help_text() {
    std::string text = std::string(kUsage) + "       quillmesh -h | --help | --version\n\nOptions:\n";
    for (const OptionHelp& row : kOptionHelp) {
        std::string option = "  " + std::string(row.option);
        option.resize(std::max<std::size_t>(option.size() + 2, 14), ' ');
        text += option + std::string(row.text) + "\n";
    }
    return text;
}

bool is_c_identifier(std::string_view text) {
    auto is_letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (text.empty() || !is_letter(text[0])) return false;
    for (char c : text)
        if (!is_letter(c) && !is_digit(c)) return false;
    return std::find(std::begin(kCKeywords), std::end(kCKeywords), text) == std::end(kCKeywords);
}

std::optional<float> parse_scale(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string_view body = text.substr(i);
    if (body == "inf") return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    if (body == "NaN") return negative ? -std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::quiet_NaN();

    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent_digits = 0;
        while (i < text.size() && is_digit(text[i])) ++i, ++exponent_digits;
        if (exponent_digits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;

    // The grammar is checked; from_chars rounds correctly but takes no "+".
    std::string_view number = text[0] == '+' ? text.substr(1) : text;
    float value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Overflow to infinity or underflow to zero: strtof rounds these
        // correctly too and says which.
        value = std::strtof(std::string(number).c_str(), nullptr);
    } else if (ec != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<InputPath> split_input_path(std::string_view path) {
    // Trailing slashes belong to no component: "models/" names models.
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    std::string_view trimmed = path.substr(0, end);
    std::size_t slash = trimmed.rfind('/');
    std::string_view name = slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return std::nullopt;

    InputPath result;
    result.file_name = std::string(name);
    if (slash != std::string_view::npos) {
        std::string_view directory = trimmed.substr(0, slash);
        while (directory.size() > 1 && directory.back() == '/') directory.remove_suffix(1);
        result.directory = directory.empty() ? "/" : std::string(directory);
    }
    return result;
}

std::expected<Settings, std::string> parse_command_line(std::span<const std::string_view> args,
                                                       bool first_names_a_file) {
    for (std::string_view arg : args)
        if (!is_valid_utf8(arg)) return std::unexpected(std::string("Argument is not valid UTF-8"));

    // A help or version request stands even when no input is named.
    std::expected<OptionValues, std::string> options = parse_options(args, first_names_a_file);
    Settings settings;
    if (options && options->request != Request::convert) {
        settings.request = options->request;
        return settings;
    }
    if (!options) return std::unexpected(options.error());
    if (!options->input) return std::unexpected(std::string(kNoInput));

    settings.input_path = *options->input;
    std::optional<InputPath> input = split_input_path(settings.input_path);
    if (!input) return std::unexpected("Input path has no file name: '" + settings.input_path + "'");

    // An unset variable in a build script gives an empty path.
    if (options->output && options->output->empty()) return std::unexpected(std::string("Empty output path for -o"));
    if (options->depfile && options->depfile->empty())
        return std::unexpected(std::string("Empty dependency file path for -d"));
    if (options->header && options->header->empty()) return std::unexpected(std::string("Empty header path for -H"));

    std::string scale_text = options->scale.value_or("1.0");
    std::optional<float> scale = parse_scale(scale_text);
    if (!scale) return std::unexpected("Invalid scale factor: '" + scale_text + "'");

    const bool fast3d = options->fast3d;
    // Fast3D's cache is its whole vertex buffer.
    const std::size_t max_cache = fast3d ? ultraback::kMaxFast3dCacheSize : ultraback::kMaxCacheSize;
    const std::size_t default_cache = fast3d ? ultraback::kMaxFast3dCacheSize : ultraback::kDefaultCacheSize;
    std::optional<int> cache_size =
        parse_cache_size(options->cache_size.value_or(std::to_string(default_cache)), max_cache);
    if (!cache_size) {
        return std::unexpected("Invalid cache size: '" + *options->cache_size +
                               (fast3d ? "' (3 to 16 with -f)" : "' (3 to 64)"));
    }

    settings.scale = *scale;
    settings.cache_size = *cache_size;
    settings.batch = options->batch;
    settings.depfile = options->depfile;
    settings.preview = options->preview;
    settings.draw_list = options->draw_list;
    settings.header = options->header;
    settings.skip_unknown_blocks = options->skip_unknown_blocks;
    settings.fast3d = fast3d;
    settings.split_surfaces = options->split_surfaces;
    settings.vertex_colors = options->vertex_colors;
    settings.texture_dir = input->directory;
    // "-" is standard output, as for most tools that write a file.
    settings.output_path = !options->output ? default_output_path(*input)
                           : *options->output == "-" ? std::string(kStandardOutput)
                                                     : *options->output;
    settings.cache_size_unused = options->cache_size && !options->batch;
    if (options->name) settings.object_name = *options->name;
    if (!is_c_identifier(settings.object_name))
        return std::unexpected("Invalid object name: '" + settings.object_name + "' (not a C identifier)");
    settings.tile = options->tile;
    settings.quiet = options->quiet;
    settings.warnings_are_errors = options->warnings_are_errors;
    settings.fit_textures = options->fit_textures;
    settings.lit_normals = options->lit_normals;
    return settings;
}

}  // namespace cli
