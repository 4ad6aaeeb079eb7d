#include "ultraback/layer_writing.hpp"

#include <cassert>
#include <system_error>
#include <utility>

namespace ultraback {

namespace {

constexpr std::size_t kMostWaiting = 2;

}  // namespace

LayerWriting::LayerWriting(TextWriter& writer, bool keep_arrays, bool on_a_thread)
    : writer_(writer), keep_arrays_(keep_arrays) {
    // One core gains nothing from a second thread.
    if (!on_a_thread || std::thread::hardware_concurrency() < 2) return;
    try {
        thread_ = std::jthread([this] { work(); });
    } catch (const std::system_error&) {
        // No thread to be had: each layer is written as it is handed over.
    }
}

LayerWriting::~LayerWriting() { close(); }

void LayerWriting::close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
}

void LayerWriting::hand_over(Layer& layer) {
    Job job{handed_over_++, {}};
    job.arrays.vertices = std::exchange(layer.vertices, {});
    job.arrays.primitives = std::exchange(layer.primitives, {});
    job.arrays.batches = std::exchange(layer.batches, {});
    if (!thread_.joinable()) {
        write(job);
        return;
    }
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return waiting_.size() < kMostWaiting || failure_; });
        waiting_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void LayerWriting::finish(std::span<Layer> layers) {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    for (Job& job : written_) {
        assert(job.position < layers.size());
        Layer& layer = layers[job.position];
        layer.vertices = std::move(job.arrays.vertices);
        layer.primitives = std::move(job.arrays.primitives);
        layer.batches = std::move(job.arrays.batches);
    }
    written_.clear();
}

// The layer's text, then its arrays kept or let go.
void LayerWriting::write(Job& job) {
    writer_.write_layer(job.arrays);
    if (keep_arrays_) {
        const std::lock_guard lock(mutex_);
        written_.push_back(std::move(job));
    }
}

void LayerWriting::work() {
    try {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !waiting_.empty() || closed_; });
            if (waiting_.empty()) return;
            Job job = std::move(waiting_.front());
            waiting_.pop_front();
            lock.unlock();
            room_.notify_one();
            write(job);
            job = {};  // the arrays let go outside the lock
            lock.lock();
        }
    } catch (...) {
        // Out of memory: `finish` throws it on the caller's thread.
        {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
        }
        room_.notify_all();
    }
}

}  // namespace ultraback
