#pragma once
// Reading LWO2 bytes from memory in tests, the way the driver reads a file:
// the window is the length of the data; and every prefix of an object read.

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

// Every prefix of `bytes`, read as a file that long, gives an object or an
// error `known` accepts; read as a file that shrank while it was read (the
// window still says the whole length), an I/O error.
template <class Known>
void expect_every_prefix_read_or_refused(std::span<const std::byte> bytes, const std::string& name, Known known) {
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        SCOPED_TRACE(name + " cut at " + std::to_string(k));
        const std::span<const std::byte> prefix = bytes.first(k);
        auto r = parse(prefix);
        if (!r) {
            EXPECT_TRUE(known(r.error())) << r.error().description();
        }
        stream::MemorySource source(prefix);
        stream::Stream s(source, bytes.size());
        auto shrunk = lwofront::process(s);
        ASSERT_FALSE(shrunk);
        EXPECT_EQ(shrunk.error().kind, ErrorKind::Io);
    }
}

inline void expect_error(const Result<lwofront::Object>& r, ErrorKind kind, LwoError lwo, const std::string& text) {
    ASSERT_FALSE(r) << "parsed, but expected: " << text;
    EXPECT_EQ(r.error().kind, kind);
    EXPECT_EQ(r.error().lwo, lwo);
    EXPECT_EQ(r.error().description(), text);
}

}  // namespace lwo_test
