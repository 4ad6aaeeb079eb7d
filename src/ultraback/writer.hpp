#pragma once
// The C-source writer: turns a Mesh into the text a libultra game compiles.

#include <cstddef>
#include <memory>
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

class Output;

// The text in its order, written as its parts are ready: each layer's
// vertices and display list as soon as the layer is final (so its arrays may
// be let go), then the rest from the finished mesh. Everything goes through
// one large buffer into the sink; the first failing write ends the writing,
// the bytes before it staying in the sink, and `finish` reports it.
class TextWriter {
public:
    explicit TextWriter(Sink& sink, const SaveOptions& options = {});
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // The next layer, numbered from 0 in the order given.
    void write_layer(const Layer& layer);
    // Textures, tables, the closing line and with `draw_list` the draw list.
    // `mesh` holds the layers written, in order; only their material and
    // attributes are read here, and for the draw list their vertices.
    Status finish(const Mesh& mesh, std::string_view object_name);

private:
    std::unique_ptr<Output> out_;
    bool pairs_;
    bool draw_list_;
    std::size_t layers_written_ = 0;
};

// The whole text of a finished mesh, as TextWriter writes it.
Status save(const Mesh& mesh, std::string_view object_name, Sink& sink, const SaveOptions& options = {});

std::string create_texture_name(std::size_t texture_number);

// The shortest decimal digits that read back as the same float, laid out
// without exponent: "1", "0.5", "0.0000001", "NaN", "inf", "-inf".
std::string format_float(float value);

}  // namespace ultraback
