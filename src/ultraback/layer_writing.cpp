#include "ultraback/layer_writing.hpp"

#include <cassert>
#include <system_error>
#include <utility>

namespace ultraback {

namespace {

constexpr std::size_t kMostWaiting = 2;
// Layers are gathered until they hold this many vertices and primitives
// (about a megabyte of text): small enough to overlap, large enough that the
// hand-over costs nothing beside the writing.
constexpr std::size_t kLeastJobSize = 16384;
// What a layer's own lines (its names, braces, end of list) count for.
constexpr std::size_t kLayerSize = 8;

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
    if (gathering_.arrays.empty()) gathering_.first = handed_over_;
    ++handed_over_;
    Layer& arrays = gathering_.arrays.emplace_back();
    arrays.vertices = std::exchange(layer.vertices, {});
    arrays.primitives = std::exchange(layer.primitives, {});
    arrays.batches = std::exchange(layer.batches, {});
    gathering_.size += kLayerSize + arrays.vertices.size() + arrays.primitives.size();
    for (const Batch& batch : arrays.batches) gathering_.size += batch.loads.size() + batch.triangles.size();
    if (!thread_.joinable() || gathering_.size >= kLeastJobSize) send(std::exchange(gathering_, {}));
}

void LayerWriting::send(Job job) {
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
    if (!gathering_.arrays.empty()) send(std::exchange(gathering_, {}));
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    for (Job& job : written_) {
        assert(job.first + job.arrays.size() <= layers.size());
        for (std::size_t n = 0; n < job.arrays.size(); ++n) {
            Layer& layer = layers[job.first + n];
            layer.vertices = std::move(job.arrays[n].vertices);
            layer.primitives = std::move(job.arrays[n].primitives);
            layer.batches = std::move(job.arrays[n].batches);
        }
    }
    written_.clear();
}

// The layers' text, then their arrays kept or let go.
void LayerWriting::write(Job& job) {
    for (const Layer& arrays : job.arrays) writer_.write_layer(arrays);
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
