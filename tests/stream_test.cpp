#include "stream.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using stream::make_id;
using stream::MemorySource;
using stream::Stream;

std::vector<std::byte> bytes_of(std::initializer_list<int> list) {
    std::vector<std::byte> out;
    for (int v : list) out.push_back(std::byte(v));
    return out;
}

std::vector<std::byte> bytes_of(std::string_view text) {
    std::vector<std::byte> out;
    for (char c : text) out.push_back(std::byte(c));
    return out;
}

// Hands out at most one byte per call, to show that results do not depend on
// how the source splits its data.
struct TrickleSource final : stream::Source {
    explicit TrickleSource(std::span<const std::byte> data) : data(data) {}
    Result<std::size_t> read_some(std::span<std::byte> out) override {
        if (pos == data.size() || out.empty()) return 0;
        out[0] = data[pos++];
        return 1;
    }
    std::span<const std::byte> data;
    std::size_t pos = 0;
};

struct FailingSource final : stream::Source {
    Result<std::size_t> read_some(std::span<std::byte>) override {
        return std::unexpected(io_error("Input/output error"));
    }
};

TEST(Stream, ClosedWindowReadsZerosAndConsumesNothing) {
    const auto data = bytes_of("ABCDEFGHIJKLMNOP");
    MemorySource source(data);
    Stream s(source, 0);

    auto chunk = stream::read_chunk(s);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->id, 0u);
    EXPECT_EQ(chunk->length, 0u);
    auto sub = stream::read_subchunk(s);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->id, 0u);
    EXPECT_EQ(sub->length, 0u);
    auto v = stream::read_vector3f(s);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->x, 0.0f);
    EXPECT_EQ(v->y, 0.0f);
    EXPECT_EQ(v->z, 0.0f);
    EXPECT_EQ(stream::read_string(s).value(), "");
    EXPECT_EQ(stream::read_ordinal(s).value(), std::vector<std::uint8_t>{0});
    EXPECT_EQ(stream::read_u1(s).value(), 0u);
    EXPECT_EQ(stream::read_u2(s).value(), 0u);
    EXPECT_EQ(stream::read_u4(s).value(), 0u);
    EXPECT_EQ(stream::read_f4(s).value(), 0.0f);
    EXPECT_EQ(stream::read_vx(s).value(), 0u);
    EXPECT_TRUE(s.skip(1));
    EXPECT_EQ(s.remaining, 0u);
    EXPECT_EQ(s.position(), 0u);

    // Nothing was taken from the source.
    s.remaining = 4;
    EXPECT_EQ(stream::read_u4(s).value(), make_id("ABCD"));
}

TEST(Stream, RefusedReadLeavesBufferAndClosesWindow) {
    const auto data = bytes_of("ABCDEFGH");
    MemorySource source(data);
    Stream s(source, 3);
    std::array<std::byte, 4> out;
    out.fill(std::byte(0xAA));
    ASSERT_TRUE(s.read_exact(out));
    for (std::byte b : out) EXPECT_EQ(b, std::byte(0xAA));
    EXPECT_EQ(s.remaining, 0u);
    EXPECT_EQ(s.position(), 0u);
}

TEST(Stream, RequestOfTheWholeWindowReadsItAndClosesIt) {
    const auto data = bytes_of("ABCDEFGH");
    MemorySource source(data);
    Stream s(source, 4);
    EXPECT_EQ(stream::read_u4(s).value(), make_id("ABCD"));
    EXPECT_EQ(s.remaining, 0u);
    EXPECT_EQ(s.position(), 4u);
}

TEST(Stream, ChunkHeaders) {
    const auto data = bytes_of({0x46, 0x4F, 0x52, 0x4D, 0x00, 0x00, 0x00, 0x0C, 0x99});
    {
        MemorySource source(data);
        Stream s(source, 20);
        auto chunk = stream::read_chunk(s);
        ASSERT_TRUE(chunk);
        EXPECT_EQ(chunk->id, 0x464F524Du);
        EXPECT_EQ(chunk->length, 12u);
        EXPECT_EQ(s.remaining, 12u);
    }
    {
        // Six bytes left: the ID is read, the length is refused and reads 0,
        // and the two bytes after the ID stay in the file.
        MemorySource source(data);
        Stream s(source, 6);
        auto chunk = stream::read_chunk(s);
        ASSERT_TRUE(chunk);
        EXPECT_EQ(chunk->id, make_id("FORM"));
        EXPECT_EQ(chunk->length, 0u);
        EXPECT_EQ(s.remaining, 0u);
        EXPECT_EQ(s.position(), 4u);
        s.remaining = 2;
        EXPECT_EQ(stream::read_u2(s).value(), 0u);
        s.remaining = 3;
        EXPECT_EQ(stream::read_u2(s).value(), 0x000Cu);
    }
    {
        MemorySource source(data);
        Stream s(source, 20);
        auto sub = stream::read_subchunk(s);
        ASSERT_TRUE(sub);
        EXPECT_EQ(sub->id, make_id("FORM"));
        EXPECT_EQ(sub->length, 0u);
        EXPECT_EQ(s.remaining, 14u);
    }
}

TEST(Stream, Strings) {
    struct Case {
        const char* name;
        std::vector<std::byte> data;
        std::uint64_t window;
        std::string text;  // when valid
        bool valid;
        std::uint64_t consumed;
    };
    const Case cases[] = {
        {"pad after even text", bytes_of({'A', 'B', 0, 0, 'X'}), 5, "AB", true, 4},
        {"no pad after odd text", bytes_of({'A', 'B', 'C', 0, 'X'}), 5, "ABC", true, 4},
        {"empty", bytes_of({0, 0, 'X'}), 3, "", true, 2},
        {"ends at the window", bytes_of({'A', 'B', 'C', 'D'}), 2, "AB", true, 2},
        {"window ends before the pad", bytes_of({'A', 'B', 'C', 'D'}), 3, "ABC", true, 3},
        {"lone 0 at the window's end", bytes_of({0, 0}), 1, "", true, 1},
        {"two-byte letter", bytes_of({0xC3, 0xA9, 0, 0}), 4, "\xC3\xA9", true, 4},
        {"four-byte letter", bytes_of({0xF0, 0x9F, 0x98, 0x80, 0, 0}), 6, "\xF0\x9F\x98\x80", true, 6},
        {"stray continuation byte", bytes_of({0x80, 0}), 2, "", false, 2},
        {"overlong form", bytes_of({0xC0, 0x80, 0, 0}), 4, "", false, 4},
        {"surrogate", bytes_of({0xED, 0xA0, 0x80, 0}), 4, "", false, 4},
        {"above U+10FFFF", bytes_of({0xF4, 0x90, 0x80, 0x80, 0, 0}), 6, "", false, 6},
        {"cut sequence", bytes_of({0xE2, 0x82, 0, 0}), 4, "", false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySource source(c.data);
        Stream s(source, c.window);
        auto text = stream::read_string(s);
        if (c.valid) {
            ASSERT_TRUE(text);
            EXPECT_EQ(*text, c.text);
        } else {
            ASSERT_FALSE(text);
            EXPECT_EQ(text.error().kind, ErrorKind::Utf8);
            EXPECT_EQ(text.error().description(), "invalid utf-8");
        }
        EXPECT_EQ(s.position(), c.consumed);
        EXPECT_EQ(s.remaining, c.window - c.consumed);
    }
}

TEST(Stream, OrdinalKeepsRawBytesAndFinalZero) {
    const auto data = bytes_of({0x80, 0x00, 0x41});
    MemorySource source(data);
    Stream s(source, 3);
    EXPECT_EQ(stream::read_ordinal(s).value(), (std::vector<std::uint8_t>{0x80, 0x00}));
    EXPECT_EQ(s.position(), 2u);
}

TEST(Stream, Numbers) {
    const auto data = bytes_of({0x12, 0x34, 0x56, 0x78, 0x3F, 0x80, 0x00, 0x00, 0x7F, 0xC0, 0x00, 0x01, 0xFF,
                                0x80, 0x00, 0x00});
    MemorySource source(data);
    Stream s(source, data.size());
    EXPECT_EQ(stream::read_u1(s).value(), 0x12u);
    EXPECT_EQ(stream::read_u1(s).value(), 0x34u);
    EXPECT_EQ(stream::read_u2(s).value(), 0x5678u);
    EXPECT_EQ(stream::read_f4(s).value(), 1.0f);
    // NaN and infinity keep their bit patterns.
    const float nan = stream::read_f4(s).value();
    std::uint32_t bits;
    std::memcpy(&bits, &nan, 4);
    EXPECT_EQ(bits, 0x7FC00001u);
    const float inf = stream::read_f4(s).value();
    EXPECT_TRUE(std::isinf(inf) && inf < 0);
}

TEST(Stream, VariableLengthIndex) {
    struct Case {
        std::vector<std::byte> data;
        std::uint64_t window;
        std::uint32_t value;
        std::uint64_t consumed;
    };
    const Case cases[] = {
        {bytes_of({0x00, 0x05, 0x77, 0x77}), 4, 5, 2},
        {bytes_of({0xFE, 0xFF, 0x77, 0x77}), 4, 0xFEFF, 2},
        {bytes_of({0xFF, 0x01, 0x02, 0x03}), 4, 0x010203, 4},
        {bytes_of({0xFF, 0x00, 0x00, 0x00}), 4, 0, 4},
        {bytes_of({0xFF, 0xFF, 0xFF, 0xFF}), 4, 0xFFFFFF, 4},
        // The window ends after the first half: the second half reads as 0.
        {bytes_of({0xFF, 0x12, 0x34, 0x56}), 3, 0x120000, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        MemorySource source(c.data);
        Stream s(source, c.window);
        EXPECT_EQ(stream::read_vx(s).value(), c.value);
        EXPECT_EQ(s.position(), c.consumed);
    }
}

TEST(Stream, SourceEndingEarlyIsUnexpectedEof) {
    const auto data = bytes_of("ABCDEF");
    MemorySource source(data);
    Stream s(source, 100);
    EXPECT_EQ(stream::read_u4(s).value(), make_id("ABCD"));
    auto r = stream::read_u4(s);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Io);
    EXPECT_EQ(r.error().description(), "failed to fill whole buffer");
    // The window was lowered by the whole request before the bytes came.
    EXPECT_EQ(s.remaining, 92u);

    MemorySource again(data);
    Stream t(again, 100);
    auto skipped = t.skip(7);
    ASSERT_FALSE(skipped);
    EXPECT_EQ(skipped.error().description(), "failed to fill whole buffer");
}

TEST(Stream, SourceErrorIsHandedUp) {
    FailingSource source;
    Stream s(source, 10);
    auto r = stream::read_u2(s);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Io);
    EXPECT_EQ(r.error().description(), "Input/output error");
    EXPECT_EQ(s.remaining, 8u);
}

TEST(Stream, ResultsDoNotDependOnHowTheSourceSplitsData) {
    // Larger than the read buffer, so reads and skips cross its refills.
    std::vector<std::byte> data(200000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::byte((i * 7 + i / 251) & 0xFF);
    auto run = [&](stream::Source& source) {
        Stream s(source, data.size());
        std::vector<std::uint32_t> seen;
        seen.push_back(stream::read_u4(s).value());
        EXPECT_TRUE(s.skip(70001));
        seen.push_back(stream::read_u2(s).value());
        std::vector<std::byte> big(100000);
        EXPECT_TRUE(s.read_exact(big));
        for (std::size_t i = 0; i < big.size(); i += 997) seen.push_back(std::uint32_t(big[i]));
        EXPECT_TRUE(s.skip(29000));
        seen.push_back(stream::read_u4(s).value());
        EXPECT_EQ(s.position(), 4u + 70001 + 2 + 100000 + 29000 + 4);
        EXPECT_EQ(s.remaining, data.size() - s.position());
        return seen;
    };
    MemorySource memory(data);
    TrickleSource trickle(data);
    const auto expected = run(memory);
    EXPECT_EQ(run(trickle), expected);
    EXPECT_EQ(expected[1], std::uint32_t(data[4 + 70001]) << 8 | std::uint32_t(data[4 + 70002]));
}

TEST(FileSource, ReadsAFileAndReportsPlatformErrors) {
    std::FILE* temp = std::tmpfile();
    ASSERT_NE(temp, nullptr);
    const int fd = ::dup(::fileno(temp));
    std::fclose(temp);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "FORM\0\0\0\4LWO2", 12), 12);
    ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
    stream::FileSource file(fd);
    Stream s(file, 12);
    auto chunk = stream::read_chunk(s);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->id, make_id("FORM"));
    EXPECT_EQ(chunk->length, 4u);
    EXPECT_EQ(stream::read_u4(s).value(), make_id("LWO2"));
    ::close(fd);

    // The descriptor is closed now: the source reports the platform's text.
    Stream closed(file, 4);
    auto r = stream::read_u4(closed);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::Io);
    EXPECT_EQ(r.error().description(), std::strerror(EBADF));
}

extern "C" void ignore_signal(int) {}

TEST(FileSource, InterruptedReadIsAskedAgain) {
    // A handler installed without SA_RESTART makes a blocked read() fail with
    // EINTR; the source must ask again and still deliver the bytes.
    struct sigaction action {};
    action.sa_handler = ignore_signal;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);

    const pthread_t reader = ::pthread_self();
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::pthread_kill(reader, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(::write(pipe_fds[1], "LWO2", 4), 4);
    });
    stream::FileSource source(pipe_fds[0]);
    Stream s(source, 4);
    auto r = stream::read_u4(s);
    writer.join();
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    ::sigaction(SIGUSR1, &previous, nullptr);
    ASSERT_TRUE(r) << r.error().description();
    EXPECT_EQ(*r, make_id("LWO2"));
}

}  // namespace
