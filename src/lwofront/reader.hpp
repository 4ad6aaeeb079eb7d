#pragma once
// The reader: an IFF FORM of type LWO2, LWO3 or LWOB into the object model.
// LWO3 and LWOB files become the records an LWO2 file of the same mesh gives
// (Object::format says which it was).

#include <functional>
#include <string_view>

#include "error.hpp"
#include "lwofront/model.hpp"
#include "stream.hpp"

namespace lwofront {

struct ReadOptions {
    // Texture blocks that are not image maps (procedural, gradient, shader)
    // are dropped with a warning instead of failing the read.
    bool skip_unknown_blocks = false;
    // Receives each warning as a whole line, "Warning: ..." and its line
    // feed; with none, warnings are dropped.
    std::function<void(std::string_view line)> warn = nullptr;
};

// Checks the FORM header and reads chunks until the stream's window runs out.
// Warns once per LWO3 surface with nodes it does not evaluate, and once per
// LWO3 or LWOB surface whose image is mapped by a projection.
Result<Object> process(stream::Stream& stream, const ReadOptions& options = {});
// The body after "FORM" and its length: the form type, then the chunks.
Result<Object> handle_form(stream::Stream& stream, const ReadOptions& options = {});

}  // namespace lwofront
