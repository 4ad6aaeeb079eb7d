#pragma once
// Independent pieces of work shared out over the machine's cores. Each piece
// must touch only its own data, so that the result does not depend on which
// thread ran which piece or on how many cores there are.

#include <cstddef>
#include <functional>

namespace parallel {

// Calls work(i) once for every i in [0, count), on up to as many threads as
// the machine has cores (the calling thread among them), and returns when
// all calls have. When threads cannot be started, the calling thread does
// the rest alone. An exception from work (std::bad_alloc) stops the pieces
// not yet started and is thrown again here once every thread has finished.
void for_each_index(std::size_t count, const std::function<void(std::size_t)>& work);

}  // namespace parallel
