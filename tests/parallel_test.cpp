#include "parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <vector>

namespace {

TEST(Parallel, EveryIndexRunsOnce) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 1000u}) {
        std::vector<std::atomic<int>> runs(count);
        parallel::for_each_index(count, [&](std::size_t i) { ++runs[i]; });
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << count << " " << i;
    }
}

// Running out of memory in one piece ends the call with the same exception,
// once the other threads have stopped.
TEST(Parallel, AnExceptionComesBackToTheCaller) {
    std::vector<std::atomic<int>> runs(1000);
    EXPECT_THROW(parallel::for_each_index(runs.size(),
                                          [&](std::size_t i) {
                                              ++runs[i];
                                              if (i == 3) throw std::bad_alloc();
                                          }),
                 std::bad_alloc);
    EXPECT_EQ(runs[3].load(), 1);
    for (const std::atomic<int>& r : runs) EXPECT_LE(r.load(), 1);
}

}  // namespace
