// quillmesh_bench_measure: runs one command and prints its wall time in
// seconds, its peak resident memory in KiB, its exit status, the processor
// time (user and system) it used in seconds, the user part of it, and its
// minor page faults (memory touched for the first time, a cost of its own on
// a virtual machine):
//
//   quillmesh_bench_measure <program> [arguments...]   ->   "0.412345 91234 0 0.401234 0.300123 812"
//
// The command's own output is discarded. bench/run.sh times the converter and
// the cp floor with it, so both are measured the same way and no GNU time is
// needed.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: quillmesh_bench_measure <program> [arguments...]\n");
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "quillmesh_bench_measure: cannot run %s: %s\n", argv[1], std::strerror(spawned));
        return 1;
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("quillmesh_bench_measure: wait4");
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const auto in_seconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    const double cpu = in_seconds(usage.ru_utime) + in_seconds(usage.ru_stime);
    std::printf("%.6f %ld %d %.6f %.6f %ld\n", seconds, usage.ru_maxrss, exit_status, cpu, in_seconds(usage.ru_utime),
                usage.ru_minflt);
    return 0;
}
