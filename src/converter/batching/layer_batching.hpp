#pragma once
// Batching (-b) on the processor's other cores while the layers are still
// being made. Each layer is batched on its own by batch_layer, so the result
// is the same however many cores there are and whichever thread takes it.
// The batched layers go on to be written in their order, by the helpers
// between layers, so that the caller's thread keeps making layers for them;
// by the caller's thread only in `finish`, or when there is no helper.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "ultraback/mesh.hpp"

namespace converter {

class LayerBatching {
public:
    // Starts a helper thread per core beyond the caller's, at most one per
    // layer expected, or none when the system gives no thread. Each layer
    // batched goes to `write` (if any) once the layers before it have, one
    // thread writing at a time.
    LayerBatching(std::size_t cache_size, std::size_t layers_expected,
                  std::function<void(ultraback::Layer&)> write = {});
    // Without `finish`, drops the layers not yet taken and waits for those
    // being batched.
    ~LayerBatching();
    LayerBatching(const LayerBatching&) = delete;
    LayerBatching& operator=(const LayerBatching&) = delete;

    // Takes layers[from..] to be batched, leaving them empty until they are
    // put back. When more layers wait than the helpers keep up with, batches
    // the first of them on the caller's thread before returning.
    void hand_over(std::span<ultraback::Layer> layers, std::size_t from);
    // Puts back the layers batched and written so far and returns how many
    // layers from the first are all back: those are final.
    std::size_t put_back_batched(std::span<ultraback::Layer> layers);
    // Batches what the helpers have not taken, waits for them, and puts
    // every layer handed over back in its place, written. Throws what a
    // helper threw (running out of memory), as batching or writing on this
    // thread would have.
    void finish(std::span<ultraback::Layer> layers);

private:
    struct Job {
        std::size_t position = 0;
        ultraback::Layer layer;
    };
    // A helper's loop, and the caller's in `finish`: jobs until none are
    // left and no more will come.
    void work();
    void help();
    // Batches waiting layers on the caller's thread while too many wait.
    void catch_up();
    // Batches the first waiting layer, with `lock` (on `mutex_`) let go
    // meanwhile, then, if `write`, writes the layers whose turn has come.
    void batch_first(std::unique_lock<std::mutex>& lock, bool write);
    // Writes the batched layers in their order while the next one is
    // batched, with `lock` let go meanwhile; one thread at a time.
    void write_in_turn(std::unique_lock<std::mutex>& lock);
    // Drops the layers not yet taken and lets the helpers end.
    void close();
    void put_back(std::span<ultraback::Layer> layers, Job& job);

    const std::size_t cache_size_;
    const std::function<void(ultraback::Layer&)> write_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> waiting_;
    std::vector<Job> batched_;   // waiting for their turn to be written
    std::size_t written_ = 0;    // layers [0, written_) are written
    bool writing_ = false;       // a thread is in write_in_turn
    std::vector<Job> done_;      // batched and written, to be put back
    std::vector<bool> back_;     // per layer handed over, whether it is back
    std::size_t all_back_ = 0;  // layers [0, all_back_) are back
    bool closed_ = false;
    std::exception_ptr failure_;
    std::vector<std::jthread> helpers_;  // last, so that they stop before the rest goes
};

}  // namespace converter
