#pragma once
// A small LightWave object byte writer for tests (LWO2, and with form(type)
// and f8() the LWO3 and LWOB layouts).
//
//   lwo_test::Builder b;
//   b.form([&] {
//       b.chunk("TAGS", [&] { b.str("Wood"); });
//       b.chunk("LAYR", [&] { b.u2(0).u2(0).vec3(0, 0, 0).str("").u2(0); });
//       b.chunk("PNTS", [&] { b.vec3(0, 0, 0).vec3(1, 0, 0).vec3(0, 1, 0); });
//       b.chunk("POLS", [&] { b.id("FACE").u2(3).vx(0).vx(1).vx(2); });
//       b.chunk("SURF", [&] {
//           b.str("Wood").str("");
//           b.sub("COLR", [&] { b.vec3(1, 1, 1).vx(0); });
//       });
//   });
//   // b.bytes now holds the whole file.
//
// Every number is written big-endian. chunk() (4-byte length) and sub()
// (2-byte length) write the header, run the body, fill in the length the body
// wrote and add the pad byte after an odd length, as a well-formed file has.
// header() and subheader() write a header with any length and nothing else,
// for malformed files. str() writes the text, its 0 byte and a pad byte when
// that count is odd. vx() writes the variable-length index: 2 bytes below
// 0xFF00, else 4 bytes starting with 0xFF. form(type, body) writes a FORM of
// that type (a whole LWO3 or LWOB file, or a container inside one). Every
// length chunk() and sub() fill in is listed in `lengths`, so tests can spoil
// each one.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace lwo_test {

struct Builder {
    struct Length {
        std::size_t at = 0;  // offset of the length field in `bytes`
        int size = 0;        // 2 or 4 bytes
    };
    std::vector<std::byte> bytes;
    std::vector<Length> lengths;

    Builder& u1(std::uint8_t v) {
        bytes.push_back(std::byte(v));
        return *this;
    }
    Builder& u2(std::uint16_t v) { return u1(std::uint8_t(v >> 8)).u1(std::uint8_t(v)); }
    Builder& u4(std::uint32_t v) { return u2(std::uint16_t(v >> 16)).u2(std::uint16_t(v)); }
    Builder& f4(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return u4(bits);
    }
    Builder& f8(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return u4(std::uint32_t(bits >> 32)).u4(std::uint32_t(bits));
    }
    Builder& vec3(float x, float y, float z) { return f4(x).f4(y).f4(z); }
    Builder& vx(std::uint32_t v) { return v < 0xFF00 ? u2(std::uint16_t(v)) : u4(0xFF000000u | v); }
    // Four characters, written as they stand.
    Builder& id(std::string_view four) { return raw(four.substr(0, 4)); }
    Builder& str(std::string_view text) {
        raw(text).u1(0);
        if ((text.size() + 1) % 2 == 1) u1(0);
        return *this;
    }
    Builder& raw(std::string_view text) {
        for (char c : text) u1(std::uint8_t(c));
        return *this;
    }
    Builder& raw(std::initializer_list<std::uint8_t> list) {
        for (std::uint8_t v : list) u1(v);
        return *this;
    }

    Builder& header(std::string_view four, std::uint32_t length) { return id(four).u4(length); }
    Builder& subheader(std::string_view four, std::uint16_t length) { return id(four).u2(length); }

    template <class Body>
    Builder& chunk(std::string_view four, Body body) {
        return nest(four, 4, body);
    }
    template <class Body>
    Builder& sub(std::string_view four, Body body) {
        return nest(four, 2, body);
    }
    // "FORM", the length of all that follows, "LWO2", then the body.
    template <class Body>
    Builder& form(Body body) {
        return chunk("FORM", [&] {
            id("LWO2");
            body();
        });
    }

    // "FORM", the length of all that follows, the type, then the body.
    template <class Body>
    Builder& form(std::string_view type, Body body) {
        return chunk("FORM", [&] {
            id(type);
            body();
        });
    }

    std::span<const std::byte> span() const { return bytes; }

private:
    template <class Body>
    Builder& nest(std::string_view four, int length_size, Body& body) {
        id(four);
        const std::size_t at = bytes.size();
        lengths.push_back({at, length_size});
        for (int i = 0; i < length_size; ++i) u1(0);  // the length, filled in below
        body();
        std::size_t length = bytes.size() - at - std::size_t(length_size);
        for (int i = length_size - 1; i >= 0; --i, length >>= 8) bytes[at + std::size_t(i)] = std::byte(length & 0xFF);
        if ((bytes.size() - at - std::size_t(length_size)) % 2 == 1) u1(0);
        return *this;
    }
};

}  // namespace lwo_test
