#include "cli.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

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

struct OptionValues {
    std::optional<std::string> scale, output, name, cache_size, depfile, preview;
    bool tile = false, batch = false, skip_unknown_blocks = false;
};

std::optional<std::string>* value_slot(OptionValues& values, char letter) {
    switch (letter) {
        case 's': return &values.scale;
        case 'o': return &values.output;
        case 'n': return &values.name;
        case 'c': return &values.cache_size;
        case 'd': return &values.depfile;
        case 'p': return &values.preview;
        default: return nullptr;
    }
}

bool* flag_slot(OptionValues& values, char letter) {
    switch (letter) {
        case 't': return &values.tile;
        case 'b': return &values.batch;
        case 'k': return &values.skip_unknown_blocks;
        default: return nullptr;
    }
}

std::optional<int> parse_cache_size(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 3 || value > 64) return std::nullopt;
    return value;
}

// Short options only: values attached (-s2) or in the next argument even when
// it starts with a dash (-s -1), flags grouped (-tt is refused as a repeat),
// "--" ends the options, other arguments are collected and ignored.
std::expected<OptionValues, std::string> parse_options(std::span<const std::string_view> args) {
    OptionValues values;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--") break;
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg[1] == '-') return std::unexpected("Unrecognized option: '" + std::string(arg.substr(2)) + "'");
        for (std::size_t j = 1; j < arg.size(); ++j) {
            char letter = arg[j];
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

std::expected<Settings, std::string> parse_command_line(std::span<const std::string_view> args) {
    for (std::string_view arg : args)
        if (!is_valid_utf8(arg)) return std::unexpected(std::string("Argument is not valid UTF-8"));

    Settings settings;
    settings.input_path = std::string(args[0]);
    std::optional<InputPath> input = split_input_path(args[0]);
    if (!input) return std::unexpected("Input path has no file name: '" + settings.input_path + "'");

    std::expected<OptionValues, std::string> options = parse_options(args);
    if (!options) return std::unexpected(options.error());

    std::string scale_text = options->scale.value_or("1.0");
    std::optional<float> scale = parse_scale(scale_text);
    if (!scale) return std::unexpected("Invalid scale factor: '" + scale_text + "'");

    std::optional<int> cache_size = parse_cache_size(options->cache_size.value_or("32"));
    if (!cache_size) return std::unexpected("Invalid cache size: '" + *options->cache_size + "' (3 to 64)");

    settings.scale = *scale;
    settings.cache_size = *cache_size;
    settings.batch = options->batch;
    settings.depfile = options->depfile;
    settings.preview = options->preview;
    settings.skip_unknown_blocks = options->skip_unknown_blocks;
    settings.texture_dir = input->directory;
    settings.output_path = options->output ? *options->output : default_output_path(*input);
    if (options->name) settings.object_name = *options->name;
    settings.tile = options->tile;
    return settings;
}

}  // namespace cli
