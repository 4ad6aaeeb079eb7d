#pragma once
// The layers' text written on a thread of its own while the next layers are
// made. Layers are handed over in their order and written in that order
// through one TextWriter, so the text is the same bytes on any number of
// cores; without a thread to be had, each is written as it is handed over.
// Small layers travel to the thread together, so that an object of many tiny
// layers does not pay a hand-over between threads for each.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "ultraback/mesh.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {

class LayerWriting {
public:
    // With `keep_arrays` the layers get their arrays back in `finish`, for a
    // reader after the text (the preview); else each layer's arrays are let
    // go once its text is written, so the next layers reuse the memory.
    // Without `on_a_thread` (nothing to overlap with) each layer is written
    // as it is handed over.
    LayerWriting(TextWriter& writer, bool keep_arrays, bool on_a_thread = true);
    // Without `finish`, drops the layers not yet written and waits for the
    // one being written.
    ~LayerWriting();
    LayerWriting(const LayerWriting&) = delete;
    LayerWriting& operator=(const LayerWriting&) = delete;

    // Takes the next layer's vertices, primitives and batches to be written;
    // the layer keeps the rest, which the tables need. Waits while two groups
    // of layers already wait, so that a slow disk or a busy core does not
    // gather the whole mesh in memory.
    void hand_over(Layer& layer);
    // Waits until every layer handed over is written and, when kept, puts
    // their arrays back in `layers` (all the layers handed over, in order).
    // Throws what the thread threw (running out of memory), as writing on
    // this thread would have.
    void finish(std::span<Layer> layers);

private:
    // Layers in order from `first`: their arrays, and about how much text
    // they make, counted in vertices and primitives.
    struct Job {
        std::size_t first = 0;
        std::vector<Layer> arrays;
        std::size_t size = 0;
    };
    void send(Job job);
    void write(Job& job);
    void work();
    void close();

    TextWriter& writer_;
    const bool keep_arrays_;
    std::size_t handed_over_ = 0;
    Job gathering_;  // layers not yet sent
    std::mutex mutex_;
    std::condition_variable wake_;  // a layer waits, or no more will come
    std::condition_variable room_;  // a layer was taken, or the thread failed
    std::deque<Job> waiting_;
    std::vector<Job> written_;  // when kept
    bool closed_ = false;
    std::exception_ptr failure_;
    std::jthread thread_;  // last, so that it stops before the rest goes
};

}  // namespace ultraback
