#pragma once
// Reading LWO2 bytes from memory in tests, the way the driver reads a file:
// the window is the length of the data.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "lwofront/reader.hpp"
#include "stream.hpp"

namespace lwo_test {

inline Result<lwofront::Object> parse(std::span<const std::byte> bytes, const lwofront::ReadOptions& options = {}) {
    stream::MemorySource source(bytes);
    stream::Stream s(source, bytes.size());
    return lwofront::process(s, options);
}

inline void expect_error(const Result<lwofront::Object>& r, ErrorKind kind, LwoError lwo, const std::string& text) {
    ASSERT_FALSE(r) << "parsed, but expected: " << text;
    EXPECT_EQ(r.error().kind, kind);
    EXPECT_EQ(r.error().lwo, lwo);
    EXPECT_EQ(r.error().description(), text);
}

}  // namespace lwo_test
