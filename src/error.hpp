#pragma once
// The one error value every stage returns. Stages hand it up unchanged; only
// the driver prints it, and it prints description() alone.

#include <expected>
#include <string>
#include <utility>

enum class ErrorKind {
    Io,          // the byte source or sink failed, or the input ended early
    Utf8,        // a string in the file is not valid UTF-8
    Lwo,         // the file is not a well-formed LightWave object (see LwoError)
    Image,       // a texture image could not be loaded
    Conversion,  // the object cannot be turned into a mesh
};

enum class LwoError {
    None,               // the error is not an LwoError
    Invalid,            // not an IFF FORM of type LWO2, LWO3 or LWOB
    UnknownBlokHeader,  // a texture block that is not an image map
    SubchunkOverrun,    // a sub-chunk claims more bytes than its parent has left
    NoLayer,            // a geometry chunk before the first LAYR chunk
    Damaged,            // a chunk whose contents break the format's own rules
};

struct Error {
    ErrorKind kind = ErrorKind::Io;
    LwoError lwo = LwoError::None;
    std::string text;
    // What was found or what to do about it, printed as a line of its own
    // after the description where it helps; empty for most errors.
    std::string hint = {};

    const std::string& description() const { return text; }
};

inline constexpr const char* kUnexpectedEof = "failed to fill whole buffer";

inline Error io_error(std::string text) { return {ErrorKind::Io, LwoError::None, std::move(text)}; }

inline Error lwo_error(LwoError variant, std::string text) {
    return {ErrorKind::Lwo, variant, std::move(text)};
}

template <class T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;
