// Coverage counters for fuzzing with g++. g++ instruments every basic block
// with a call to __sanitizer_cov_trace_pc; this counts each call site in a
// table of 8-bit counters, hashed by return address, that libFuzzer reads as
// one module of "inline 8-bit counters". A few call sites may share a
// counter; with 2^17 of them that costs little guidance.
//
// g++'s trace-cmp also reports float and double comparisons, which libFuzzer
// has no use for; they are taken and dropped here.
//
// g++ keeps UBSan's runtime apart from ASan's, so a UBSan report would end
// the process without libFuzzer saving the input; aborting instead lets its
// signal handler save it.
//
// This file is compiled without instrumentation: it is what the
// instrumentation calls.

#include <cstddef>
#include <cstdint>

extern "C" void __sanitizer_cov_8bit_counters_init(std::uint8_t* start, std::uint8_t* stop);

namespace {

constexpr unsigned kCounterBits = 17;
alignas(4096) std::uint8_t counters[std::size_t{1} << kCounterBits];

// Registered before main, so before libFuzzer looks for modules.
[[gnu::constructor]] void register_counters() {
    __sanitizer_cov_8bit_counters_init(counters, counters + sizeof counters);
}

}  // namespace

extern "C" void __sanitizer_cov_trace_pc() {
    const auto pc = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    // Fibonacci hashing spreads nearby call sites over the whole table.
    const std::uint64_t slot = (std::uint64_t{pc} * 0x9E3779B97F4A7C15u) >> (64 - kCounterBits);
    ++counters[slot];
}

extern "C" void __sanitizer_cov_trace_cmpf(float, float) {}
extern "C" void __sanitizer_cov_trace_cmpd(double, double) {}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1:abort_on_error=1"; }
