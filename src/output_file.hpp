#pragma once
// The output file is written whole or not at all: the text goes to a
// temporary file beside it, which replaces the output only once everything
// was written and flushed. Outputs that are not regular files (a pipe,
// /dev/stdout on a terminal) are written directly.
//
// Where the file system allows it the temporary has no name while it is
// written (O_TMPFILE), so a run killed outright (SIGKILL, the out-of-memory
// killer, a power cut) leaves nothing behind; it is given a temporary name
// only to be renamed over the output at once. Elsewhere it is a named
// temporary from the start, removed by its owner or the signal handler.
//
// Everything happens relative to a descriptor of the output's directory, and
// the temporary's name is short and fixed in length, so every path the system
// accepts for the output works, however long the output's name or the
// directory's absolute path.

#include <span>
#include <string>

#include "error.hpp"
#include "ultraback/writer.hpp"

namespace output {

// A name in a directory open as `dir_fd`, which the place owns.
struct Place {
    Place() = default;
    Place(Place&& other) noexcept;
    Place& operator=(Place&& other) noexcept;
    ~Place();

    int dir_fd = -1;
    std::string name;
};

// Where text written to `path` lands: through symbolic links to the file they
// lead to, so a link itself stays in place; a link that leads to nothing is
// replaced itself.
Result<Place> resolve(const std::string& path);

struct OutputFile {
    OutputFile() = default;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    // An uncommitted file is closed and its temporary removed.
    ~OutputFile();

    int fd = -1;
    Place target;           // where the temporary is moved
    std::string temp_name;  // in target.dir_fd; empty when unnamed or writing directly
    bool unnamed = false;   // an O_TMPFILE temporary, named only by commit
    int cleanup_slot = -1;  // the temporary's entry in the interrupt table

    // Whether what is written stays out of sight until commit: false for an
    // output written directly.
    bool is_temporary() const { return unnamed || !temp_name.empty(); }
};

enum class Temporary {
    unnamed_if_possible,  // O_TMPFILE, or a named one where it is refused
    named,
};

// Creates the temporary file (or opens a non-regular output directly).
Result<OutputFile> create(const std::string& path, Temporary temporary = Temporary::unnamed_if_possible);

// Closes the file and moves the temporary onto the output path, with the
// permissions a newly created file gets.
Status commit(OutputFile& file);

// True when `path` names the file open as `fd`, by any path or link.
bool is_same_file(int fd, const std::string& path);

// True when writing to `a` and to `b` would write the same file, by any path
// or link, whether or not it exists yet.
bool is_same_target(const std::string& a, const std::string& b);

// Writes to a file descriptor, retrying interrupted and partial writes.
struct FdSink final : ultraback::Sink {
    explicit FdSink(int fd) : fd(fd) {}
    Status write(std::span<const char> bytes) override;
    int fd;
};

}  // namespace output
