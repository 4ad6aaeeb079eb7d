#pragma once
// The writer's output buffer. Every piece of text is formatted straight into
// one large buffer, which goes to the sink in whole-buffer writes; a big mesh
// thus costs a handful of sink calls and no allocation per piece.

#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "error.hpp"
#include "ultraback/text.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {

// The most one append may add, and the most one record (a vertex, a
// primitive with its loads, a row of texels) may add. The buffer has room for
// a record beyond kSaveBufferSize, so a record that starts inside the buffer
// always fits and its pieces need no check of their own.
inline constexpr std::size_t kMaxPiece = 256;
inline constexpr std::size_t kMaxRecord = 1024;
static_assert(kMaxFloatChars <= kMaxPiece && kMaxDecimalChars <= kMaxPiece && kMaxPiece <= kMaxRecord);

class Output {
public:
    explicit Output(Sink& sink);

    // Once a sink write has failed, appends are dropped and nothing more
    // reaches the sink; the writers check this to stop early.
    bool failed() const { return error_.has_value(); }

    void text(std::string_view s) {
        if (s.size() > kMaxPiece) return long_text(s);
        char* p = room();
        std::memcpy(p, s.data(), s.size());
        pos_ = p + s.size();
    }

    template <class Int>
    void dec(Int value) {
        char* p = room();
        pos_ = std::to_chars(p, p + kMaxDecimalChars, value).ptr;
    }

    void hex(std::uint32_t value, int digits) { pos_ = put_hex(room(), value, digits); }

    void flt(float value) { pos_ = put_float(room(), value); }

    // Where the next record goes, with room for kMaxRecord bytes; the record
    // hands back its end with end_record.
    char* begin_record() { return room(); }
    void end_record(char* end) {
        assert(end >= pos_ && end - pos_ <= std::ptrdiff_t(kMaxRecord));
        pos_ = end;
    }

    // Hands over what is left and reports the first failed write, if any.
    Status finish();

private:
    // Only long object names: in pieces that each fit.
    [[gnu::noinline]] void long_text(std::string_view s);

    // Where the next piece goes; sends a full buffer on first. The appends
    // stay small enough to inline, with the rare spill out of line.
    char* room() {
        if (pos_ >= full_) [[unlikely]] spill();
        assert(pos_ < full_ && "a piece starting here has its kMaxPiece bytes of room");
        return pos_;
    }

    [[gnu::noinline]] void spill();

    Sink& sink_;
    std::unique_ptr<char[]> buffer_;
    char* pos_;
    char* full_;  // where a whole buffer ends
    std::optional<Error> error_;
};

// One record formatted straight into the Output's buffer, with one room
// check for the whole record instead of one per piece.
class Record {
public:
    explicit Record(Output& out) : out_(out), p_(out.begin_record()) {}
    ~Record() { out_.end_record(p_); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    Record& text(std::string_view s) {
        std::memcpy(p_, s.data(), s.size());
        p_ += s.size();
        return *this;
    }
    template <class Int>
    Record& dec(Int value) {
        p_ = std::to_chars(p_, p_ + kMaxDecimalChars, value).ptr;
        return *this;
    }
    Record& hex(std::uint32_t value, int digits) {
        p_ = put_hex(p_, value, digits);
        return *this;
    }
    // One element of a texel or palette array: "0x" + hex + ", ".
    Record& element(std::uint32_t value, int digits) { return text("0x").hex(value, digits).text(", "); }

private:
    Output& out_;
    char* p_;
};

}  // namespace ultraback
