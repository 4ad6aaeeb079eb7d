#include "output_file.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace output {
namespace {

Error errno_error() { return io_error(std::strerror(errno)); }

std::string directory_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the text finally lands: through a symbolic link to its target, so the
// link itself stays in place.
std::string rename_target(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    return path;
}

mode_t new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd(other.fd), target(std::move(other.target)), temp_path(std::move(other.temp_path)) {
    other.fd = -1;
    other.temp_path.clear();
}

OutputFile::~OutputFile() {
    if (fd >= 0) close(fd);
    if (!temp_path.empty()) unlink(temp_path.c_str());
}

Result<OutputFile> create(const std::string& path) {
    OutputFile file;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        file.fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (file.fd < 0) return std::unexpected(errno_error());
        return file;
    }
    file.target = rename_target(path);
    std::string temp = directory_of(file.target) + "/." + name_of(file.target) + ".XXXXXX";
    file.fd = mkostemp(temp.data(), O_CLOEXEC);
    if (file.fd < 0) return std::unexpected(errno_error());
    file.temp_path = std::move(temp);
    return file;
}

Status commit(OutputFile& file) {
    int fd = file.fd;
    file.fd = -1;
    if (close(fd) != 0) return std::unexpected(errno_error());
    if (file.temp_path.empty()) return {};
    if (chmod(file.temp_path.c_str(), new_file_mode()) != 0) return std::unexpected(errno_error());
    if (rename(file.temp_path.c_str(), file.target.c_str()) != 0)
        return std::unexpected(errno_error());
    file.temp_path.clear();
    return {};
}

bool is_same_file(int fd, const std::string& path) {
    struct stat opened, named;
    if (fstat(fd, &opened) != 0 || stat(path.c_str(), &named) != 0) return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

Status FdSink::write(std::span<const char> bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(errno_error());
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace output
