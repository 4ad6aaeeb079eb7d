#pragma once
// Reads LWO2 bytes from memory the way the driver reads a file: the window is
// the length of the data.

#include <span>

#include "lwofront/reader.hpp"
#include "stream.hpp"

namespace lwo_test {

inline Result<lwofront::Object> parse(std::span<const std::byte> bytes) {
    stream::MemorySource source(bytes);
    stream::Stream s(source, bytes.size());
    return lwofront::process(s);
}

}  // namespace lwo_test
