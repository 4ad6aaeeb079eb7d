// The real LWO3 and LWOB files through the built program: each converts, with
// and without batching, and its C source compiles against the test header.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.hpp"

namespace {

using test_support::compile_c;
using test_support::read_file;
using test_support::run_quillmesh;
using test_support::TempDir;

TEST(OtherFormatsRun, RealFilesConvertAndCompile) {
    namespace fs = std::filesystem;
    int files = 0;
    for (const char* folder : {"lwo3", "lwob"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(QUILLMESH_LWO3_LWOB_DIR) / folder)) {
            ++files;
            for (const char* options : {"-s 100", "-s 100 -b"}) {
                SCOPED_TRACE(entry.path().string() + " " + options);
                TempDir dir;
                fs::copy_file(entry.path(), dir.path() / "in.lwo");
                const auto run = run_quillmesh(dir.path(), std::string("in.lwo -o out.c ") + options);
                EXPECT_EQ(run.exit_status, 0) << run.output;
                const auto compiled = compile_c(read_file(dir.path() / "out.c"));
                EXPECT_EQ(compiled.exit_status, 0) << compiled.output;
            }
        }
    }
    EXPECT_EQ(files, 13);
}

}  // namespace
