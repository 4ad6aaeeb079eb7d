#pragma once
// The output file is written whole or not at all: the text goes to a
// temporary file beside it, which replaces the output only once everything
// was written and flushed. Outputs that are not regular files (a pipe,
// /dev/stdout on a terminal) are written directly.

#include <span>
#include <string>

#include "error.hpp"
#include "ultraback/writer.hpp"

namespace output {

struct OutputFile {
    OutputFile() = default;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    // An uncommitted file is closed and its temporary removed.
    ~OutputFile();

    int fd = -1;
    std::string target;     // where the temporary is moved: the output, through links
    std::string temp_path;  // empty when writing directly
};

// Creates the temporary file (or opens a non-regular output directly).
Result<OutputFile> create(const std::string& path);

// Closes the file and moves the temporary onto the output path, with the
// permissions a newly created file gets.
Status commit(OutputFile& file);

// True when `path` names the file open as `fd`, by any path or link.
bool is_same_file(int fd, const std::string& path);

// Writes to a file descriptor, retrying interrupted and partial writes.
struct FdSink final : ultraback::Sink {
    explicit FdSink(int fd) : fd(fd) {}
    Status write(std::span<const char> bytes) override;
    int fd;
};

}  // namespace output
