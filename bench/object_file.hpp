#pragma once
// What the benchmark programs share: reading an object file the way the
// program does, and the folder its texture images are looked up in.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cli.hpp"
#include "lwofront/reader.hpp"
#include "stream.hpp"

namespace bench {

inline Result<lwofront::Object> read_object(const std::string& path, const lwofront::ReadOptions& options = {}) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::unexpected(io_error("cannot open " + path + ": " + std::strerror(errno)));
    const off_t length = lseek(fd, 0, SEEK_END);
    lseek(fd, 0, SEEK_SET);
    stream::FileSource source(fd);
    stream::Stream in(source, static_cast<std::uint64_t>(length < 0 ? 0 : length));
    Result<lwofront::Object> object = lwofront::process(in, options);
    close(fd);
    return object;
}

inline std::string texture_dir(const std::string& path) {
    std::optional<cli::InputPath> input = cli::split_input_path(path);
    return input ? input->directory : std::string();
}

}  // namespace bench
