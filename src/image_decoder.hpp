#pragma once
// stb_image, built into the program with its allocations counted: the
// decoder reports a failed allocation as one more reason for failing, which
// would make a machine short of memory look like a damaged image.

namespace image::decoder {

// Clears this thread's record of a failed allocation.
void forget_memory_failure();

// Whether an allocation of the decoder failed on this thread since the last
// forget_memory_failure().
bool memory_failed();

}  // namespace image::decoder
