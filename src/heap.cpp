#include "heap.hpp"

#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace heap {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks from this size up are mapped on their own and given back when
// freed: a list grown by doubling then leaves no copies behind in the heap.
// The largest threshold the allocator takes.
constexpr int kLeastMappedBlock = 32 << 20;
// Below this, huge pages would only round a small run's memory up.
constexpr std::uint64_t kLeastInput = std::uint64_t{4} << 20;
// A converted object holds about three times its file in the object model
// and the mesh together, and some more while a layer is made.
constexpr std::uint64_t kHeapPerInputByte = 4;
constexpr std::uint64_t kMostHeap = std::uint64_t{1} << 30;
// The heap is grown in pieces below the mapping threshold, so that they come
// from the heap itself.
constexpr std::size_t kPiece = std::size_t{16} << 20;
constexpr std::size_t kMostPieces = kMostHeap / kPiece;
// Of the heap grown for a run, the part touched ahead of the reading: about
// what the object model takes of each byte of a file that is mostly
// geometry. Touching more than a run then uses would only add to its peak.
constexpr std::uint64_t kTouchedAheadPerTwoInputBytes = 3;
// The run's threads (the text writer, batching helpers, the preview) use a
// few KiB of stack; the stack limit would reserve 8 MiB for each.
constexpr std::size_t kThreadStack = std::size_t{1} << 20;

// Marks [start, end) for huge pages, as far as whole huge pages lie in it.
void advise_huge_pages(std::uintptr_t start, std::uintptr_t end) {
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = end & ~(kHugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// Makes [start, end) present, huge page by huge page in address order, as
// the allocator hands it out: the reading then finds its memory cleared
// instead of waiting at each huge page while the kernel clears it (on a
// virtual machine a large share of a run), and the clearing takes a core
// the reading leaves idle. The contents are not touched, so the allocator
// may hand out and fill any of it meanwhile.
void touch_ahead(std::uintptr_t start, std::uintptr_t end) {
    constexpr std::uintptr_t kPage = 4096;
    start = (start + kPage - 1) & ~(kPage - 1);
    while (start < end) {
        const std::uintptr_t next = std::min((start + kHugePage) & ~(kHugePage - 1), end & ~(kPage - 1));
        if (next <= start || madvise(reinterpret_cast<void*>(start), next - start, MADV_POPULATE_WRITE) != 0) return;
        start = next;
    }
}

}  // namespace

void prepare_for_run(std::uint64_t input_length) {
    // Under a limit on address space (ulimit -v) the stacks' reservations
    // alone decided whether a run had the memory left to finish.
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) == 0) {
        pthread_attr_setstacksize(&attributes, kThreadStack);
        pthread_setattr_default_np(&attributes);
        pthread_attr_destroy(&attributes);
    }
    // Memory a layer frees stays in the heap for the next instead of being
    // given back and touched afresh; only the largest blocks are mapped.
    mallopt(M_MMAP_THRESHOLD, kLeastMappedBlock);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kMostHeap));
    if (input_length < kLeastInput) return;
    // The threads (batching, the preview, the text) take their memory from
    // the same heap, instead of arenas of their own touched afresh.
    mallopt(M_ARENA_MAX, 1);

    // The heap grown once to what the run is likely to use and marked for
    // huge pages, then handed back to the allocator whole: later blocks are
    // carved from it, and a page of it costs memory only once touched.
    const auto size = static_cast<std::size_t>(std::min(input_length * kHeapPerInputByte, kMostHeap));
    std::array<void*, kMostPieces> pieces{};
    std::size_t count = 0;
    for (; count < pieces.size() && count * kPiece < size; ++count) {
        pieces[count] = std::malloc(kPiece);
        if (pieces[count] == nullptr) break;
    }
    // Pieces follow each other in a heap grown in place; where they do not,
    // each run of them is advised apart.
    std::uintptr_t run_start = 0, run_end = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const auto start = reinterpret_cast<std::uintptr_t>(pieces[n]);
        if (run_end == 0 || start < run_end || start - run_end > 64) {
            advise_huge_pages(run_start, run_end);
            run_start = start;
        }
        run_end = start + kPiece;
    }
    advise_huge_pages(run_start, run_end);
    for (std::size_t n = count; n-- > 0;) std::free(pieces[n]);

    // The allocator carves the next blocks from the start of the heap grown
    // in one run, which is then touched ahead. A kernel without
    // MADV_POPULATE_WRITE (before 5.14) refuses it, and nothing is.
    const auto first = reinterpret_cast<std::uintptr_t>(pieces[0]);
    const auto ahead = static_cast<std::uintptr_t>(input_length * kTouchedAheadPerTwoInputBytes / 2);
    if (count == 0 || run_start != first || run_end - first < ahead) return;
    try {
        std::thread(touch_ahead, first, first + ahead).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the reading touches its memory itself.
    }
}

}  // namespace heap
