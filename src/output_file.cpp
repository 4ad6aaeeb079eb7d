#include "output_file.hpp"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "interrupt.hpp"

namespace output {
namespace {

// Links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;
constexpr int kTempAttempts = 100;

Error errno_error() { return io_error(std::strerror(errno)); }
Error errno_error(int code) { return io_error(std::strerror(code)); }

// "dir/name" gives "dir" and "name"; "name" gives "." and "name"; "/name"
// gives "/" and "name".
std::pair<std::string, std::string> split(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

int open_directory(int at, const std::string& path) {
    return openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// ".quillmesh-" and six random letters: the same length for every output.
std::string temp_name() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[6] = {};
    if (getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        static unsigned counter = 0;
        unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + counter++ * 40503u;
        for (unsigned char& r : random) r = static_cast<unsigned char>(seed >>= 5);
    }
    std::string name = ".quillmesh-";
    for (unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
    return name;
}

// The signals whose handler removes temporaries wait while one is made and
// registered, so none is left between the two steps.
struct SignalsHeld {
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
    sigset_t previous;
};

// A new name for `fd`'s file in `dir_fd`, made by `make(name)` (a create or a
// link that fails with EEXIST when the name is taken), and registered for the
// signal handler to remove.
template <class Make>
Result<std::string> take_temp_name(int dir_fd, int& cleanup_slot, Make make) {
    SignalsHeld held;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        std::string name = temp_name();
        if (make(name)) {
            cleanup_slot = interrupt::register_temporary(dir_fd, name.c_str());
            return name;
        }
        if (errno != EEXIST) return std::unexpected(errno_error());
    }
    return std::unexpected(errno_error(EEXIST));
}

Status make_named_temporary(OutputFile& file) {
    const int dir_fd = file.target.dir_fd;
    Result<std::string> name = take_temp_name(dir_fd, file.cleanup_slot, [&](const std::string& candidate) {
        file.fd = openat(dir_fd, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return file.fd >= 0;
    });
    if (!name) return std::unexpected(std::move(name.error()));
    file.temp_name = std::move(*name);
    return {};
}

// The path through which /proc names an open file.
std::string fd_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// An unnamed file in the output's directory; false where the file system or
// the kernel refuses one, or the file could not be named later through /proc.
bool make_unnamed_temporary(OutputFile& file) {
    file.fd = openat(file.target.dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (file.fd < 0) return false;
    if (access(fd_path(file.fd).c_str(), F_OK) != 0) {
        close(file.fd);
        file.fd = -1;
        return false;
    }
    file.unnamed = true;
    return true;
}

// Gives the unnamed file a temporary name beside the output: linkat cannot
// replace a file, so the name is the step before the rename.
Status name_unnamed_temporary(OutputFile& file) {
    const std::string proc_path = fd_path(file.fd);
    const int dir_fd = file.target.dir_fd;
    Result<std::string> name = take_temp_name(dir_fd, file.cleanup_slot, [&](const std::string& candidate) {
        return linkat(AT_FDCWD, proc_path.c_str(), dir_fd, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
    if (!name) return std::unexpected(std::move(name.error()));
    file.temp_name = std::move(*name);
    file.unnamed = false;
    return {};
}

mode_t new_file_mode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool same_inode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

Place::Place(Place&& other) noexcept : dir_fd(other.dir_fd), name(std::move(other.name)) { other.dir_fd = -1; }

Place& Place::operator=(Place&& other) noexcept {
    std::swap(dir_fd, other.dir_fd);
    std::swap(name, other.name);
    return *this;
}

Place::~Place() {
    if (dir_fd >= 0) close(dir_fd);
}

Result<Place> resolve(const std::string& path) {
    auto [directory, name] = split(path);
    if (name.empty() || name == "." || name == "..") return std::unexpected(errno_error(EISDIR));
    Place place;
    place.dir_fd = open_directory(AT_FDCWD, directory);
    if (place.dir_fd < 0) return std::unexpected(errno_error());
    place.name = std::move(name);
    // Links are followed only to a file that is there; a missing name, or a
    // link to nothing, is itself replaced.
    struct stat info;
    if (fstatat(place.dir_fd, place.name.c_str(), &info, 0) != 0) return place;
    for (int links = 0; links < kMaxLinks; ++links) {
        char target[PATH_MAX];
        ssize_t length = readlinkat(place.dir_fd, place.name.c_str(), target, sizeof target);
        if (length < 0) return place;  // not a link: the file itself
        if (static_cast<std::size_t>(length) == sizeof target) return std::unexpected(errno_error(ENAMETOOLONG));
        auto [link_directory, link_name] = split(std::string(target, static_cast<std::size_t>(length)));
        if (link_name.empty() || link_name == "." || link_name == "..") return std::unexpected(errno_error(EISDIR));
        // An absolute directory ignores the descriptor; a relative one is
        // taken from the link's own directory.
        int next = open_directory(place.dir_fd, link_directory);
        if (next < 0) return std::unexpected(errno_error());
        close(place.dir_fd);
        place.dir_fd = next;
        place.name = std::move(link_name);
    }
    return std::unexpected(errno_error(ELOOP));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd(other.fd),
      target(std::move(other.target)),
      temp_name(std::move(other.temp_name)),
      unnamed(other.unnamed),
      cleanup_slot(other.cleanup_slot) {
    other.fd = -1;
    other.temp_name.clear();
    other.unnamed = false;
    other.cleanup_slot = -1;
}

OutputFile::~OutputFile() {
    if (fd >= 0) close(fd);
    if (!temp_name.empty()) unlinkat(target.dir_fd, temp_name.c_str(), 0);
    interrupt::forget_temporary(cleanup_slot);
}

Result<OutputFile> create(const std::string& path, Temporary temporary) {
    OutputFile file;
    // The kernel follows the links here, /proc's links to pipes included,
    // which name no file to replace.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        file.fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (file.fd < 0) return std::unexpected(errno_error());
        return file;
    }
    Result<Place> target = resolve(path);
    if (!target) return std::unexpected(std::move(target.error()));
    file.target = std::move(*target);
    if (temporary == Temporary::unnamed_if_possible && make_unnamed_temporary(file)) return file;
    if (Status made = make_named_temporary(file); !made) return std::unexpected(std::move(made.error()));
    return file;
}

Status commit(OutputFile& file) {
    const bool replaces = file.is_temporary();
    if (replaces && fchmod(file.fd, new_file_mode()) != 0) return std::unexpected(errno_error());
    if (file.unnamed) {
        if (Status named = name_unnamed_temporary(file); !named) return named;
    }
    int fd = file.fd;
    file.fd = -1;
    if (close(fd) != 0) return std::unexpected(errno_error());
    if (!replaces) return {};
    const int dir_fd = file.target.dir_fd;
    if (renameat(dir_fd, file.temp_name.c_str(), dir_fd, file.target.name.c_str()) != 0)
        return std::unexpected(errno_error());
    file.temp_name.clear();
    interrupt::forget_temporary(file.cleanup_slot);
    file.cleanup_slot = -1;
    return {};
}

bool is_same_file(int fd, const std::string& path) {
    struct stat opened, named;
    if (fstat(fd, &opened) != 0 || stat(path.c_str(), &named) != 0) return false;
    return same_inode(opened, named);
}

bool is_same_target(const std::string& a, const std::string& b) {
    Result<Place> first = resolve(a);
    Result<Place> second = resolve(b);
    if (!first || !second) return false;
    struct stat dir_a, dir_b, file_a, file_b;
    if (fstat(first->dir_fd, &dir_a) == 0 && fstat(second->dir_fd, &dir_b) == 0 && same_inode(dir_a, dir_b) &&
        first->name == second->name)
        return true;
    // Hard links: two names of one existing file.
    return fstatat(first->dir_fd, first->name.c_str(), &file_a, 0) == 0 &&
           fstatat(second->dir_fd, second->name.c_str(), &file_b, 0) == 0 && same_inode(file_a, file_b);
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
