// The built program where files are not files, paths are long, the run is
// interrupted or memory runs out: every run that does not succeed leaves no
// new file beside the output, and an old output untouched.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <stb/stb_image_write.h>

#include "e2e/e2e_support.hpp"

namespace {

using namespace e2e;
using test_support::files_in;
using test_support::read_file;
using test_support::shell_quote;
using test_support::TempDir;
using test_support::write_file;

std::string textured_triangle(std::string_view image) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Skin"});
        layer(b, 0);
        points(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        txuv(b, {{0, 0}, {1, 0}, {0, 1}});
        faces(b, {{0, 1, 2}});
        surface_tags(b, {0});
        clip(b, 1, image);
        surface(b, "Skin", std::nullopt, 1);
    });
    return bytes_text(b);
}

// One triangle and `count` surfaces that each name a missing clip: one
// warning line per surface, far more than a pipe holds.
std::string chatty_object(int count) {
    lwo_test::Builder b;
    b.form([&] {
        layer(b, 0);
        points(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        faces(b, {{0, 1, 2}});
        for (int k = 0; k < count; ++k) surface(b, "Surface" + std::to_string(k), std::nullopt, 9);
    });
    return bytes_text(b);
}

// The temporaries in `dir` that process `pid` holds open, named or not (an
// unnamed one shows in /proc as the directory, "/#" and its inode number).
int temporaries_open(pid_t pid, const fs::path& dir) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const fs::path target = fs::read_symlink(entry.path(), error);
        if (error || target.parent_path() != fs::canonical(dir)) continue;
        const std::string name = target.filename().string();
        if (name.starts_with(".quillmesh-") || name.starts_with("#")) ++count;
    }
    return count;
}

// quillmesh started in `dir` with its standard output into a pipe, and the
// signals it handles back at their default action.
struct Child {
    pid_t pid = -1;
    int stdout_fd = -1;
};

Child start(const fs::path& dir, const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
        dup2(pipe_fds[1], STDOUT_FILENO);
        dup2(pipe_fds[1], STDERR_FILENO);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        if (chdir(dir.c_str()) != 0) _exit(127);
        std::vector<char*> argv{const_cast<char*>(QUILLMESH_EXE)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(QUILLMESH_EXE, argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    return {pid, pipe_fds[0]};
}

int wait_for(const Child& child) {
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.stdout_fd);
    return status;
}

bool makes_unnamed_files(const fs::path& dir) {
    const int probe = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe < 0) return false;
    close(probe);
    return true;
}

// A run ended by a signal while it writes leaves no temporary and the old
// output as it was: the handler removes the named temporaries of SIGINT,
// SIGTERM and SIGHUP and ends the run by the same signal; SIGKILL runs no
// handler, and leaves nothing because the files are unnamed until renamed
// into place (a file system without unnamed files gets named temporaries,
// which a SIGKILL leaves behind).
TEST(InterruptedRun, SignalLeavesNoTemporaryAndEndsTheRunBySignal) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        if (signal == SIGKILL && !makes_unnamed_files(dir.path())) continue;
        write_file(dir.path() / "in.lwo", chatty_object(20000));
        write_file(dir.path() / "out.c", "keep me");
        // Nobody reads the warnings, so the run stops in mid-way with its
        // temporaries made.
        Child child = start(dir.path(), {"in.lwo", "-o", "out.c", "-d", "out.d"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (temporaries_open(child.pid, dir.path()) < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(temporaries_open(child.pid, dir.path()), 2);
        kill(child.pid, signal);
        const int status = wait_for(child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"in.lwo", "out.c"}));
        EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
    }
}

TEST(InterruptedRun, ClosedPipeEndsTheRunBySigpipeWithoutTemporaries) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", chatty_object(20000));
    Child child = start(dir.path(), {"in.lwo", "-o", "out.c"});
    char first = 0;
    ASSERT_EQ(read(child.stdout_fd, &first, 1), 1);
    close(child.stdout_fd);
    int status = 0;
    waitpid(child.pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.lwo"});
}

// Out of memory is a failed run like any other. An address-space limit cannot
// be set under the sanitizers, which reserve terabytes of it.
TEST(InterruptedRun, OutOfMemoryFailsTheRunCleanly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
#else
    TempDir dir;
    // 3 million points: 36 MB of file and of point list.
    lwo_test::Builder b;
    b.form([&] {
        layer(b, 0);
        b.chunk("PNTS", [&] {
            for (int k = 0; k < 3'000'000; ++k) b.vec3(float(k % 100), 0, 0);
        });
    });
    write_file(dir.path() / "in.lwo", bytes_text(b));
    write_file(dir.path() / "out.c", "keep me");
    write_file(dir.path() / "empty.lwo", "");
    const std::string limit = "ulimit -v 49152 && ";
    test_support::CommandResult tiny = test_support::run_command(
        limit + "cd " + shell_quote(dir.path().string()) + " && " + shell_quote(QUILLMESH_EXE) + " empty.lwo -o /dev/null");
    ASSERT_EQ(tiny.output, "IO error\nHint: the file is empty\n") << "the program does not start within the limit";
    test_support::CommandResult run = test_support::run_command(
        limit + "cd " + shell_quote(dir.path().string()) + " && " + shell_quote(QUILLMESH_EXE) + " in.lwo -o out.c");
    EXPECT_EQ(run.output, "Out of memory\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"empty.lwo", "in.lwo", "out.c"}));
    EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
#endif
}

#if !defined(__SANITIZE_ADDRESS__)
// Used by the tests under address-space limits, which the address sanitizer
// does not run.
bool holds_temporary(const fs::path& dir) {
    for (const std::string& name : files_in(dir))
        if (name.starts_with(".")) return true;
    return false;
}

// A textured grid of n x n quads in one layer, its 64 x 64 RGBA texture over
// the texture-memory budget, so that -r fits it.
std::string textured_grid(std::uint32_t n) {
    lwo_test::Builder b;
    b.form([&] {
        tags(b, {"Skin"});
        layer(b, 0);
        b.chunk("PNTS", [&] {
            for (std::uint32_t y = 0; y <= n; ++y)
                for (std::uint32_t x = 0; x <= n; ++x) b.vec3(float(x), float(y), 0);
        });
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str("UV");
            for (std::uint32_t k = 0; k < (n + 1) * (n + 1); ++k)
                b.vx(k).f4(float(k % (n + 1)) / float(n)).f4(float(k / (n + 1)) / float(n));
        });
        b.chunk("POLS", [&] {
            b.id("FACE");
            for (std::uint32_t y = 0; y < n; ++y)
                for (std::uint32_t x = 0; x < n; ++x) {
                    const std::uint32_t k = y * (n + 1) + x;
                    b.u2(4).vx(k).vx(k + 1).vx(k + n + 2).vx(k + n + 1);
                }
        });
        b.chunk("PTAG", [&] {
            b.id("SURF");
            for (std::uint32_t k = 0; k < n * n; ++k) b.vx(k).u2(0);
        });
        clip(b, 1, "skin.png");
        surface(b, "Skin", std::nullopt, 1);
    });
    return bytes_text(b);
}
#endif

// Every thread's work under address-space limits from too little to enough,
// 2 MiB apart: whichever allocation fails, in the conversion, the batching
// helpers, the fitting or the preview drawn beside the writing, the run either
// succeeds whole or fails as out of memory, with no new file and no temporary.
TEST(InterruptedRun, OutOfMemoryInAnyThreadFailsTheRunCleanly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
#else
    TempDir dir;
    write_file(dir.path() / "in.lwo", textured_grid(150));
    std::vector<Rgba> pixels;
    for (int k = 0; k < 64 * 64; ++k) pixels.push_back({std::uint8_t(k % 64 * 4), std::uint8_t(k / 64 * 4), 7, 255});
    write_file(dir.path() / "skin.png", rgba_png(64, 64, pixels));
    for (const std::string options : {"-p out.png", "-b", "-b -p out.png", "-r", "-r -b -p out.png"}) {
        int failed = 0, succeeded = 0;
        for (int mib = 8; mib <= 40; mib += 2) {
            SCOPED_TRACE(options + " within " + std::to_string(mib) + " MiB");
            write_file(dir.path() / "out.c", "keep me");
            std::filesystem::remove(dir.path() / "out.png");
            test_support::CommandResult run = test_support::run_command(
                "ulimit -c 0 && ulimit -v " + std::to_string(mib * 1024) + " && cd " + shell_quote(dir.path().string()) +
                " && " + shell_quote(QUILLMESH_EXE) + " in.lwo -q -o out.c " + options);
            ASSERT_FALSE(holds_temporary(dir.path()));
            if (run.exit_status == 0) {
                ++succeeded;
                EXPECT_NE(read_file(dir.path() / "out.c"), "keep me");
                EXPECT_EQ(std::filesystem::exists(dir.path() / "out.png"), options.find("-p") != std::string::npos);
            } else {
                ++failed;
                ASSERT_EQ(run.exit_status, 1) << run.output;
                EXPECT_TRUE(run.output.ends_with("Out of memory\n")) << run.output;
                EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
                EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.png"));
            }
        }
        // The limits span both outcomes, so every stage met its limit somewhere.
        EXPECT_GT(failed, 0) << options;
        EXPECT_GT(succeeded, 0) << options;
    }
#endif
}

// A texture the decoder cannot get memory for is the run's out of memory,
// not a texture that could not be opened: what a build ships must not depend
// on the memory of the machine that built it.
TEST(InterruptedRun, DecoderOutOfMemoryFailsTheRun) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
#else
    TempDir dir;
    // 4096 x 4096 grey, about 100 KB of file: the decoder wants 16 MiB of
    // rows and 64 MiB of RGBA pixels, over the 48 MiB the run may use.
    constexpr int kSide = 4096;
    const std::vector<unsigned char> grey(std::size_t{kSide} * kSide, 128);
    std::string png;
    stbi_write_png_to_func(
        [](void* out, void* data, int size) { static_cast<std::string*>(out)->append(static_cast<char*>(data), size); },
        &png, kSide, kSide, 1, grey.data(), kSide);
    write_file(dir.path() / "big.png", png);
    write_file(dir.path() / "in.lwo", textured_triangle("big.png"));
    write_file(dir.path() / "out.c", "keep me");
    test_support::CommandResult run = test_support::run_command(
        "ulimit -v 49152 && cd " + shell_quote(dir.path().string()) + " && " + shell_quote(QUILLMESH_EXE) +
        " in.lwo -o out.c -d out.d");
    EXPECT_EQ(run.output, "Out of memory\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"big.png", "in.lwo", "out.c"}));
    EXPECT_EQ(read_file(dir.path() / "out.c"), "keep me");
#endif
}

TEST(FilesThatAreNotFiles, FifoInputIsRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir.path() / "in.lwo").c_str(), 0600), 0);
    ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o out.c", "out.c");
    EXPECT_EQ(run.output, "Couldn't find the length of the input file\n");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.lwo"});
}

TEST(FilesThatAreNotFiles, FifoTextureIsATextureThatCouldNotBeOpened) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("a.png"));
    ASSERT_EQ(mkfifo((dir.path() / "a.png").c_str(), 0600), 0);
    ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o out.c", "out.c");
    EXPECT_EQ(run.output, "Warning: Couldn't open texture: a.png\n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.c_text.starts_with("#include \"myheader.h\"\n"));
}

TEST(OutputPaths, EmptyPathsAreRefusedBeforeAnyFileIsMade) {
    for (const std::string options : {"-o ''", "-d ''"}) {
        SCOPED_TRACE(options);
        TempDir dir;
        write_file(dir.path() / "in.lwo", textured_triangle("a.png"));
        ProgramRun run = run_quillmesh(dir.path(), "in.lwo " + options, "in.lwo.c");
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_TRUE(run.output.starts_with("Empty ")) << run.output;
        EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"in.lwo"});
    }
}

TEST(OutputPaths, DependencyFileThroughALinkToTheOutputIsRefused) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("a.png"));
    write_file(dir.path() / "out.c", "keep me");
    fs::create_symlink("out.c", dir.path() / "link.d");
    fs::create_hard_link(dir.path() / "out.c", dir.path() / "hard.d");
    for (const std::string depfile : {"link.d", "hard.d"}) {
        ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o out.c -d " + depfile, "out.c");
        EXPECT_EQ(run.output, "Dependency file is the output file; choose another with -d\n");
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_EQ(run.c_text, "keep me");
    }
}

// Links are followed relative to the folder of each link, to the file they
// lead to; a link to nothing is replaced by the output, as a missing file is
// created.
TEST(OutputPaths, LinksLeadToTheirFileOrAreReplaced) {
    TempDir dir;
    write_file(dir.path() / "in.lwo", textured_triangle("a.png"));
    fs::create_directories(dir.path() / "a/b");
    fs::create_directories(dir.path() / "x");
    write_file(dir.path() / "x/target.c", "old");
    fs::create_symlink("../../x/target.c", dir.path() / "a/b/step.c");
    fs::create_symlink("a/b/step.c", dir.path() / "link.c");
    fs::create_symlink("nowhere.c", dir.path() / "dangling.c");
    ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o link.c -d dangling.c", "x/target.c");
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_TRUE(run.c_text.starts_with("#include"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.c"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "a/b/step.c"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "dangling.c"));
    EXPECT_TRUE(read_file(dir.path() / "dangling.c").starts_with("link.c:"));
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere.c"));
}

// The temporary's name does not grow with the output's, and the directory's
// absolute path plays no part: both runs, the one that creates the output and
// the one that replaces it, succeed.
TEST(OutputPaths, LongestNamesAndDeepestFoldersWorkTwice) {
    const std::string longest(NAME_MAX, 'n');
    for (std::size_t name_length : {std::size_t{248}, std::size_t{NAME_MAX}}) {
        SCOPED_TRACE(name_length);
        TempDir dir;
        write_file(dir.path() / "in.lwo", textured_triangle("a.png"));
        const std::string name = longest.substr(0, name_length);
        for (int run_number = 0; run_number < 2; ++run_number) {
            ProgramRun run = run_quillmesh(dir.path(), "in.lwo -o " + name + " -d " + name.substr(1) + "d",
                                           name);
            EXPECT_EQ(run.exit_status, 0) << run.output;
            EXPECT_TRUE(run.c_text.starts_with("#include"));
        }
    }

    TempDir dir;
    // A folder whose absolute path leaves room for "/out.c" and little more.
    fs::path deep = dir.path();
    std::string cd = "cd " + shell_quote(deep.string());
    constexpr std::size_t kDeepest = PATH_MAX - 11;
    while (deep.string().size() + 1 < kDeepest) {
        const std::string part(std::min<std::size_t>(NAME_MAX, kDeepest - deep.string().size() - 1), 'd');
        deep /= part;
        fs::create_directory(deep);
        cd += " && cd " + part;
    }
    write_file(deep / "in.lwo", textured_triangle("a.png"));
    for (int run_number = 0; run_number < 2; ++run_number) {
        test_support::CommandResult run =
            test_support::run_command(cd + " && " + shell_quote(QUILLMESH_EXE) + " in.lwo -o out.c -d out.d");
        EXPECT_EQ(run.exit_status, 0) << run.output;
        EXPECT_TRUE(read_file(deep / "out.c").starts_with("#include"));
        EXPECT_EQ(files_in(deep), (std::vector<std::string>{"in.lwo", "out.c", "out.d"}));
    }
}

}  // namespace
