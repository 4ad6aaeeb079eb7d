#include "ultraback/output_buffer.hpp"

#include <cassert>
#include <cstring>
#include <utility>

namespace ultraback {

Output::Output(Sink& sink)
    : sink_(sink), buffer_(std::make_unique_for_overwrite<char[]>(kSaveBufferSize + kMaxRecord)),
      pos_(buffer_.get()), full_(buffer_.get() + kSaveBufferSize) {}

Status Output::finish() {
    const auto used = static_cast<std::size_t>(pos_ - buffer_.get());
    if (!failed() && used > 0) {
        if (Status written = sink_.write({buffer_.get(), used}); !written) {
            error_ = std::move(written.error());
        }
    }
    pos_ = buffer_.get();
    if (failed()) return std::unexpected(std::move(*error_));
    return {};
}

void Output::long_text(std::string_view s) {
    for (; s.size() > kMaxPiece; s.remove_prefix(kMaxPiece)) text(s.substr(0, kMaxPiece));
    text(s);
}

void Output::spill() {
    char* start = buffer_.get();
    if (!failed()) {
        if (Status written = sink_.write({start, kSaveBufferSize}); !written) {
            error_ = std::move(written.error());
        }
    }
    // The overflow past a full buffer starts the next one. No piece wrote
    // past the room behind the buffer.
    assert(pos_ <= full_ + kMaxPiece);
    const auto rest = static_cast<std::size_t>(pos_ - start) - kSaveBufferSize;
    std::memmove(start, start + kSaveBufferSize, rest);
    pos_ = start + rest;
}

}  // namespace ultraback
