#pragma once
// Small helpers for tests that use files and run programs: a temporary
// directory that is removed again, whole-file reads and writes, a shell
// command's exit status with its combined output, running quillmesh, and
// compiling its C text.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmesh-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The paths of everything below `dir`, relative to it, sorted.
inline std::vector<std::string> files_in(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        names.push_back(std::filesystem::relative(entry.path(), dir).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// One argument for the shell, taken literally.
inline std::string shell_quote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

struct CommandResult {
    int exit_status = -1;  // -1 when the command did not exit normally
    std::string output;    // standard output and standard error together
};

inline CommandResult run_command(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, count);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    return result;
}

#ifdef QUILLMESH_TEST_HEADER_DIR
// Compiles C text against the test myheader.h; the status and the compiler's
// messages.
inline CommandResult compile_c(const std::string& text) {
    TempDir dir;
    const std::filesystem::path source = dir.path() / "mesh.c";
    write_file(source, text);
    return run_command("cc -std=c99 -Wall -Werror -c -I" + shell_quote(QUILLMESH_TEST_HEADER_DIR) + " -o " +
                       shell_quote((dir.path() / "mesh.o").string()) + " " + shell_quote(source.string()));
}
#endif

#ifdef QUILLMESH_EXE
// The one way tests run the built program: inside `dir`, with umask 022 so
// the modes of the files it makes are known, and `args` as bash text after
// the program's path.
inline CommandResult run_quillmesh(const std::filesystem::path& dir, const std::string& args) {
    return run_command("cd " + shell_quote(dir.string()) + " && umask 022 && bash -c " +
                       shell_quote(shell_quote(QUILLMESH_EXE) + " " + args));
}
#endif

}  // namespace test_support
