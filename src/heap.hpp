#pragma once
// The allocator's settings for one run: memory a layer frees is kept for the
// next, and a large input's working memory is taken from the system in huge
// pages, so that a big object costs a few hundred page faults instead of one
// per 4 KiB touched; and the threads' stacks are reserved at the size they
// need, not the stack limit's. The start of that heap is made present on a
// thread of its own while the reading begins.

#include <cstdint>

namespace heap {

// Called once, before the input is read and any thread is started; `input_length` is the input file's
// length in bytes. Failing to get huge pages changes nothing but speed.
void prepare_for_run(std::uint64_t input_length);

}  // namespace heap
