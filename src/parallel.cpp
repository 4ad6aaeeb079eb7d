#include "parallel.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace parallel {

void for_each_index(std::size_t count, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_lock;
    // Pieces are handed out in order, one at a time, to whichever thread is
    // free, so a large piece does not hold up the others.
    const auto run = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(failure_lock);
                if (!failure) failure = std::current_exception();
                next.store(count);
            }
        }
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    try {
        for (std::size_t k = 1; k < std::min(cores, count); ++k) helpers.emplace_back(run);
    } catch (const std::system_error&) {
        // Fewer threads than hoped: those started and this one do it all.
    }
    run();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace parallel
