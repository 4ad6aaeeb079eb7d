// The output's temporary, unnamed (O_TMPFILE) and named: while it is written
// the output is untouched, an uncommitted file leaves nothing, and a commit
// replaces the output with a file of the usual permissions.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "output_file.hpp"
#include "support/process.hpp"

namespace {

using test_support::files_in;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

struct TemporaryCase {
    const char* name;
    output::Temporary temporary;
};

// Whether the file system of `dir` makes unnamed files; where it does not,
// create() falls back to a named temporary.
bool takes_unnamed_files(const std::filesystem::path& dir) {
    const int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
}

class OutputTemporary : public testing::TestWithParam<TemporaryCase> {};

TEST_P(OutputTemporary, ReplacesTheOutputOnlyWhenCommitted) {
    const TemporaryCase& c = GetParam();
    TempDir dir;
    const std::string path = (dir.path() / "out.c").string();
    write_file(path, "old");
    const mode_t old_mask = umask(022);
    {
        Result<output::OutputFile> file = output::create(path, c.temporary);
        ASSERT_TRUE(file);
        const bool unnamed = c.temporary == output::Temporary::unnamed_if_possible && takes_unnamed_files(dir.path());
        EXPECT_EQ(file->unnamed, unnamed);
        output::FdSink sink(file->fd);
        ASSERT_TRUE(sink.write(std::string_view("new")));
        EXPECT_EQ(files_in(dir.path()).size(), unnamed ? 1u : 2u);
        EXPECT_EQ(read_file(path), "old");
        ASSERT_TRUE(output::commit(*file));
    }
    umask(old_mask);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"out.c"});
    EXPECT_EQ(read_file(path), "new");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_P(OutputTemporary, UncommittedLeavesNothing) {
    const TemporaryCase& c = GetParam();
    TempDir dir;
    const std::string path = (dir.path() / "out.c").string();
    write_file(path, "old");
    {
        Result<output::OutputFile> file = output::create(path, c.temporary);
        ASSERT_TRUE(file);
        output::FdSink sink(file->fd);
        ASSERT_TRUE(sink.write(std::string_view("new")));
    }
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"out.c"});
    EXPECT_EQ(read_file(path), "old");
}

INSTANTIATE_TEST_SUITE_P(Kinds, OutputTemporary,
                         testing::Values(TemporaryCase{"unnamed", output::Temporary::unnamed_if_possible},
                                         TemporaryCase{"named", output::Temporary::named}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
