#pragma once
// The C-source writer: turns a Mesh into the text a libultra game compiles.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "error.hpp"
#include "ultraback/mesh.hpp"

namespace ultraback {

// Where the text goes. write either takes all of `bytes` or returns an error.
struct Sink {
    virtual ~Sink() = default;
    virtual Status write(std::span<const char> bytes) = 0;
};

// Collects everything in memory; for tests and callers that want the text.
struct StringSink final : Sink {
    Status write(std::span<const char> bytes) override {
        text.append(bytes.data(), bytes.size());
        return {};
    }
    std::string text;
};

// save hands the sink whole buffers of this size; only the last write is shorter.
inline constexpr std::size_t kSaveBufferSize = 256 * 1024;

struct SaveOptions {
    // Only gsSP1Triangle, for the oldest microcode (Fast3D), which has no
    // two-triangle command.
    bool one_triangle_commands = false;
    // After the record, `Gfx NAME_draw[]`, which draws every layer with its
    // material's state (draw_list.hpp).
    bool draw_list = false;
};

// Writes the whole text through a large buffer into `sink`. The first failing
// write ends it; the bytes before it stay in the sink.
Status save(const Mesh& mesh, std::string_view object_name, Sink& sink, const SaveOptions& options = {});

std::string create_texture_name(std::size_t texture_number);

// The shortest decimal digits that read back as the same float, laid out
// without exponent: "1", "0.5", "0.0000001", "NaN", "inf", "-inf".
std::string format_float(float value);

}  // namespace ultraback
