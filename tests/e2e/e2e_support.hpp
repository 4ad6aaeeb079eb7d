#pragma once
// Helpers for tests that run the built program on files made in the test:
// PNG images, running quillmesh in a temporary directory, and expected texts
// with visible tabs. The objects are written with support/lwo_objects.hpp.

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/lwo_objects.hpp"
#include "support/png_builder.hpp"
#include "support/process.hpp"

namespace e2e {

namespace fs = std::filesystem;

// Expected texts are raw literals in which a tab is written as a backslash
// and a t; the C text itself never holds a backslash.
inline std::string with_tabs(std::string_view marked) {
    std::string text;
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] == '\\' && i + 1 < marked.size() && marked[i + 1] == 't') {
            text += '\t';
            ++i;
        } else {
            text += marked[i];
        }
    }
    return text;
}

// The objects' chunks come from support/lwo_objects.hpp.
using namespace lwo_test;

// ---- Images --------------------------------------------------------------------

using Rgba = std::array<std::uint8_t, 4>;

// An 8-bit RGBA PNG; `pixels` row by row, top row first.
inline std::string rgba_png(std::uint32_t width, std::uint32_t height, const std::vector<Rgba>& pixels) {
    std::vector<png_builder::Bytes> rows(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgba& p = pixels[y * width + x];
            rows[y].insert(rows[y].end(), p.begin(), p.end());
        }
    }
    png_builder::Bytes png = png_builder::png(width, height, 8, 6, rows);
    return {png.begin(), png.end()};
}

inline std::string solid_png(std::uint32_t width, std::uint32_t height, Rgba color) {
    return rgba_png(width, height, std::vector<Rgba>(std::size_t{width} * height, color));
}

// ---- Running the program -------------------------------------------------------

struct ProgramRun {
    int exit_status = -1;
    std::string output;  // standard output and standard error together
    std::string c_text;  // the output file, empty when there is none
};

// Runs quillmesh inside `dir` with `args` (shell words) and reads `c_file`,
// a path relative to `dir`.
inline ProgramRun run_quillmesh(const fs::path& dir, const std::string& args, const fs::path& c_file) {
    test_support::CommandResult result = test_support::run_quillmesh(dir, args);
    ProgramRun run{result.exit_status, result.output, {}};
    if (fs::exists(dir / c_file)) run.c_text = test_support::read_file(dir / c_file);
    return run;
}

using test_support::compile_c;

}  // namespace e2e
