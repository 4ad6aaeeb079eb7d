#include "converter/batching/layer_batching.hpp"

#include <algorithm>
#include <cassert>
#include <system_error>
#include <utility>

#include "converter/batching/batch.hpp"
#include "ultraback/check.hpp"

namespace converter {

namespace {

// Layers left waiting when the caller hands over more: beyond these the
// caller batches the first of them itself, so that the layers made ahead of
// the helpers do not gather in memory while the cores share the work.
constexpr std::size_t kMostWaiting = 1;

}  // namespace

LayerBatching::LayerBatching(std::size_t cache_size, std::size_t layers_expected,
                             std::function<void(ultraback::Layer&)> write)
    : cache_size_(cache_size), write_(std::move(write)) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = std::min(cores - 1, layers_expected);
    // Room first: a helper started must be in the list, which the destructor
    // stops.
    helpers_.reserve(wanted);
    try {
        while (helpers_.size() < wanted) helpers_.emplace_back([this] { help(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those there are do the work.
    } catch (...) {
        // Out of memory while starting one: the helpers started must stop
        // waiting for work, or unwinding would wait for them for ever.
        close();
        throw;
    }
}

LayerBatching::~LayerBatching() { close(); }

void LayerBatching::close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
}

void LayerBatching::hand_over(std::span<ultraback::Layer> layers, std::size_t from) {
    assert(from == back_.size());
    back_.resize(layers.size(), false);
    {
        const std::lock_guard lock(mutex_);
        for (std::size_t i = from; i < layers.size(); ++i) waiting_.push_back({i, std::move(layers[i])});
    }
    wake_.notify_all();
    catch_up();
}

void LayerBatching::catch_up() {
    std::unique_lock lock(mutex_);
    // The caller's thread goes back to making layers, which keeps the
    // helpers busy, and leaves the writing to them; with none it writes.
    while (waiting_.size() > kMostWaiting) batch_first(lock, helpers_.empty());
}

void LayerBatching::batch_first(std::unique_lock<std::mutex>& lock, bool write) {
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    batch_layer(job.layer, cache_size_);
    lock.lock();
    batched_.push_back(std::move(job));
    if (write) write_in_turn(lock);
}

void LayerBatching::write_in_turn(std::unique_lock<std::mutex>& lock) {
    // The thread writing already takes this layer too when its turn comes:
    // it looks again under the lock after each layer.
    if (writing_) return;
    writing_ = true;
    for (;;) {
        const auto next =
            std::find_if(batched_.begin(), batched_.end(), [this](const Job& job) { return job.position == written_; });
        if (next == batched_.end()) break;
        Job job = std::move(*next);
        batched_.erase(next);
        assert(ultraback::find_drawing_fault(job.layer, job.position, cache_size_).empty());
        if (write_) {
            lock.unlock();
            write_(job.layer);
            lock.lock();
        }
        ++written_;
        done_.push_back(std::move(job));
    }
    writing_ = false;
}

std::size_t LayerBatching::put_back_batched(std::span<ultraback::Layer> layers) {
    std::vector<Job> done;
    {
        const std::lock_guard lock(mutex_);
        done.swap(done_);
    }
    for (Job& job : done) put_back(layers, job);
    while (all_back_ < back_.size() && back_[all_back_]) ++all_back_;
    return all_back_;
}

void LayerBatching::put_back(std::span<ultraback::Layer> layers, Job& job) {
    assert(job.position < layers.size() && !back_[job.position]);
    layers[job.position] = std::move(job.layer);
    back_[job.position] = true;
}

void LayerBatching::finish(std::span<ultraback::Layer> layers) {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wake_.notify_all();
    work();
    helpers_.clear();  // joins them
    if (failure_) std::rethrow_exception(failure_);
    {
        // What this thread batched in `catch_up` after the helpers last wrote.
        std::unique_lock lock(mutex_);
        write_in_turn(lock);
    }
    assert(batched_.empty() && !writing_);
    for (Job& job : done_) put_back(layers, job);
    done_.clear();
}

void LayerBatching::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !waiting_.empty() || closed_; });
        if (waiting_.empty()) return;
        batch_first(lock, true);
    }
}

void LayerBatching::help() {
    try {
        work();
    } catch (...) {
        // Out of memory, or the writing failed so: `finish` throws it on the
        // caller's thread.
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
    }
}

}  // namespace converter
