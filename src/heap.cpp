#include "heap.hpp"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace heap {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this, huge pages would only round a small run's memory up.
constexpr std::uint64_t kLeastInput = std::uint64_t{4} << 20;
// A converted object holds about three times its file in the object model
// and the mesh together, and some more while a layer is made.
constexpr std::uint64_t kHeapPerInputByte = 4;
constexpr std::uint64_t kMostHeap = std::uint64_t{1} << 30;

}  // namespace

void prepare_for_run(std::uint64_t input_length) {
    // Every block from the one heap, which freed blocks stay in, instead of
    // big blocks mapped anew and unmapped on free, and touched afresh each
    // layer. Should the heap fail to grow, malloc still maps memory.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kMostHeap));
    if (input_length < kLeastInput) return;
    // The threads (batching, the preview, the text) take their memory from
    // the same heap, instead of arenas of their own touched afresh.
    mallopt(M_ARENA_MAX, 1);

    // The heap grown once to what the run is likely to use and marked for
    // huge pages, then handed back to the allocator whole: later blocks are
    // carved from it, and a page of it costs memory only once touched.
    const auto size = static_cast<std::size_t>(std::min(input_length * kHeapPerInputByte, kMostHeap));
    void* block = std::malloc(size);
    if (block == nullptr) return;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    std::free(block);
}

}  // namespace heap
