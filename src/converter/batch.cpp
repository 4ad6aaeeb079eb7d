// Batching by greedy growth over shared vertices.
//
// The console draws from a small vertex cache: one load command fills slots
// 0 to n - 1 from consecutive vertices, and each triangle command names three
// slots. So a layer costs one load per batch, one command per two triangles,
// and every vertex once per batch that uses it. Good batches are compact
// patches of the surface: many triangles over few vertices.
//
// A batch starts at a seed triangle and grows. Loading a vertex takes at once
// every waiting triangle whose corners are then all loaded; the others around
// it become candidates, in the order found. The batch then takes the earliest
// candidate that needs one more vertex, else the earliest that needs two, as
// long as the cache has room, which grows it outwards ring by ring. When no
// candidate fits, the first waiting triangle of the layer is taken if it fits
// (a separate piece sharing the load), else the batch is closed. The next
// seed is the first-listed waiting triangle that touches the closed batch, so
// batches continue the surface in the order it was modelled; when there is
// none, the first waiting triangle of the layer.
//
// Compared with meshoptimizer's meshlet builder (meshopt_buildMeshlets with
// the same vertex limit) this loads fewer vertices per triangle on grids,
// spheres and modelled objects, and runs several times faster.

#include "converter/batch.hpp"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <functional>
#include <utility>
#include <variant>
#include <vector>

#include "overloaded.hpp"

namespace converter {

namespace {

using ultraback::Batch;
using ultraback::Layer;

constexpr std::uint32_t kNone = UINT32_MAX;
// Waiting triangles that one loaded vertex puts forward.
constexpr std::size_t kMaxLookAround = 256;

struct Corners {
    std::uint32_t v[3];
};

// The triangles as the unbatched writer draws them: a triangle as it stands,
// a quad as (0, 1, 2) and (0, 2, 3).
std::vector<Corners> drawn_triangles(const Layer& layer) {
    std::vector<Corners> out;
    out.reserve(layer.primitives.size() * 2);
    auto u = [](std::int32_t i) { return static_cast<std::uint32_t>(i); };
    for (const ultraback::Primitive& primitive : layer.primitives) {
        std::visit(Overloaded{[&](const ultraback::Triangle& t) {
                                  out.push_back({{u(t.indices[0]), u(t.indices[1]), u(t.indices[2])}});
                              },
                              [&](const ultraback::Quad& q) {
                                  out.push_back({{u(q.indices[0]), u(q.indices[1]), u(q.indices[2])}});
                                  out.push_back({{u(q.indices[0]), u(q.indices[2]), u(q.indices[3])}});
                              }},
                   primitive);
    }
    return out;
}

// The waiting triangles around each vertex, one entry per corner. A vertex's
// entries start in triangle order; a taken triangle is dropped the next time
// its entry is met, by moving the vertex's last entry into its place.
struct Around {
    Around(const std::vector<Corners>& triangles, std::size_t vertex_count)
        : first(vertex_count + 1, 0), live(vertex_count, 0) {
        for (const Corners& t : triangles)
            for (std::uint32_t c : t.v) ++live[c];
        for (std::size_t v = 0; v < vertex_count; ++v) first[v + 1] = first[v] + live[v];
        list.resize(first[vertex_count]);
        std::vector<std::size_t> fill(first.begin(), first.end() - 1);
        for (std::uint32_t t = 0; t < triangles.size(); ++t)
            for (std::uint32_t c : triangles[t].v) list[fill[c]++] = t;
    }

    std::vector<std::size_t> first;    // per vertex: where its entries start
    std::vector<std::uint32_t> live;   // per vertex: how many entries are left
    std::vector<std::uint32_t> list;
};

// A triangle's batch: the one that last saw it waiting and when it first
// did, or kTaken once in a batch.
struct TriangleState {
    std::uint32_t batch = kNone;
    std::uint32_t seen_at = 0;
};
constexpr std::uint32_t kTaken = 0;  // batches count from 1

// The batch that last loaded a vertex, and into which slot.
struct VertexState {
    std::uint32_t batch = kNone;
    std::uint8_t slot = 0;
};

class Batcher {
public:
    Batcher(const std::vector<Corners>& triangles, std::size_t vertex_count, std::size_t cache_size)
        : triangles_(triangles), around_(triangles, vertex_count), cache_size_(cache_size),
          state_(triangles.size()), loaded_(vertex_count) {}

    // Fills `order` with the layer vertex of every loaded vertex, batch after
    // batch, and `batches` with the loads and their slot triangles.
    void run(std::vector<std::uint32_t>& order, std::vector<Batch>& batches) {
        order_ = &order;
        batches_ = &batches;
        order.reserve(triangles_.size());
        std::uint32_t seed = next_waiting();
        while (seed != kNone) {
            grow(seed);
            seed = next_seed();
        }
    }

private:
    bool loaded(std::uint32_t v) const { return loaded_[v].batch == batch_; }
    bool done(std::uint32_t t) const { return state_[t].batch == kTaken; }

    // Vertices a triangle would add to the batch; a repeated corner counts once.
    std::size_t missing(const Corners& t) const {
        const std::uint32_t a = t.v[0], b = t.v[1], c = t.v[2];
        return std::size_t{!loaded(a)} + std::size_t{!loaded(b) && b != a} +
               std::size_t{!loaded(c) && c != a && c != b};
    }
    std::size_t batch_size() const { return order_->size() - batches_->back().start; }
    bool fits(std::uint32_t t) const { return batch_size() + missing(triangles_[t]) <= cache_size_; }

    void take(std::uint32_t t) {
        ultraback::SlotTriangle slots{};
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t c = triangles_[t].v[k];
            if (!loaded(c)) {
                loaded_[c] = {batch_, static_cast<std::uint8_t>(batch_size())};
                order_->push_back(c);
                fresh_.push_back(c);
            }
            slots[k] = loaded_[c].slot;
        }
        state_[t].batch = kTaken;
        drawn_.push_back(slots);
    }

    // Takes what the fresh vertices complete and queues the rest around them
    // by the vertices they still need, each under the number of its first
    // sighting in this batch. A need only falls while the batch grows, so a
    // triangle enters each queue at most once per batch.
    void settle() {
        while (!fresh_.empty()) {
            const std::uint32_t v = fresh_.back();
            fresh_.pop_back();
            std::uint32_t* entries = around_.list.data() + around_.first[v];
            std::uint32_t& live = around_.live[v];
            // A vertex shared by very many triangles (the middle of a large
            // fan) shows only some of them to each batch, so that the
            // batches around it cost time in proportion to their size.
            std::size_t looked = 0;
            for (std::uint32_t k = 0; k < live && looked < kMaxLookAround;) {
                const std::uint32_t t = entries[k];
                if (done(t)) {
                    entries[k] = entries[--live];
                    continue;
                }
                ++k;
                ++looked;
                visit(t);
            }
        }
    }

    void visit(std::uint32_t t) {
        const std::size_t need = missing(triangles_[t]);
        if (need == 0) {
            take(t);
            return;
        }
        TriangleState& state = state_[t];
        if (state.batch != batch_) {
            state = {batch_, sightings_++};
        } else if (need == 2) {
            return;  // queued already, at its first sighting
        }
        if (need == 1) {
            need_one_.push_back({state.seen_at, t});
            std::push_heap(need_one_.begin(), need_one_.end(), std::greater<>{});
        } else {
            need_two_.push_back(t);
        }
    }

    // The earliest-seen waiting candidate needing one vertex, else the
    // earliest needing two; either only when it fits.
    std::uint32_t best_candidate() {
        const std::size_t room = cache_size_ - batch_size();
        if (room >= 1) {
            while (!need_one_.empty()) {
                std::pop_heap(need_one_.begin(), need_one_.end(), std::greater<>{});
                const std::uint32_t t = need_one_.back().second;
                need_one_.pop_back();
                if (!done(t)) return t;
            }
        }
        if (room >= 2) {
            // Queued needing two; one that a capped look left needing one
            // fits all the same.
            while (two_head_ < need_two_.size()) {
                const std::uint32_t t = need_two_[two_head_++];
                if (!done(t)) return t;
            }
        }
        return kNone;
    }

    void grow(std::uint32_t seed) {
        ++batch_;
        batches_->push_back(Batch{static_cast<std::uint32_t>(order_->size()), 0, {}});
        need_one_.clear();
        need_two_.clear();
        two_head_ = 0;
        sightings_ = 0;
        std::uint32_t t = seed;
        while (t != kNone) {
            take(t);
            settle();
            t = best_candidate();
            if (t == kNone) {
                t = next_waiting();
                if (t != kNone && !fits(t)) t = kNone;
            }
        }
        Batch& batch = batches_->back();
        batch.count = static_cast<std::uint32_t>(order_->size() - batch.start);
        batch.triangles.assign(drawn_.begin(), drawn_.end());
        drawn_.clear();
    }

    std::uint32_t next_waiting() {
        while (scan_ < triangles_.size() && done(static_cast<std::uint32_t>(scan_))) ++scan_;
        return scan_ < triangles_.size() ? static_cast<std::uint32_t>(scan_) : kNone;
    }

    // The first-listed waiting triangle around the batch just closed. Every
    // waiting triangle around a loaded vertex was queued when it was loaded.
    std::uint32_t next_seed() {
        std::uint32_t seed = kNone;
        for (const auto& [seen, t] : need_one_) {
            if (!done(t)) seed = std::min(seed, t);
        }
        for (std::size_t k = two_head_; k < need_two_.size(); ++k) {
            if (!done(need_two_[k])) seed = std::min(seed, need_two_[k]);
        }
        return seed != kNone ? seed : next_waiting();
    }

    const std::vector<Corners>& triangles_;
    Around around_;
    const std::size_t cache_size_;

    std::vector<TriangleState> state_;
    std::vector<VertexState> loaded_;
    std::vector<ultraback::SlotTriangle> drawn_;  // by the batch growing
    std::uint32_t sightings_ = 0;
    // Candidates by the vertices they need: a min-heap on first sighting for
    // one, first-sighting order for two.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> need_one_;
    std::vector<std::uint32_t> need_two_;
    std::size_t two_head_ = 0;             // entries before it are used up
    std::vector<std::uint32_t> fresh_;     // loaded, not yet settled
    std::size_t scan_ = 0;                 // triangles before it are done
    std::uint32_t batch_ = 0;              // number of the batch growing, from 1

    std::vector<std::uint32_t>* order_ = nullptr;
    std::vector<Batch>* batches_ = nullptr;
};

}  // namespace

void batch_layer(Layer& layer, std::size_t cache_size) {
    // The command line holds the size in range; a slot must fit a byte and a
    // triangle needs three.
    assert(cache_size >= kMinCacheSize && cache_size <= kMaxCacheSize);
    cache_size = std::clamp(cache_size, kMinCacheSize, kMaxCacheSize);
    std::vector<std::uint32_t> order;
    std::vector<Batch> batches;
    {
        const std::vector<Corners> triangles = drawn_triangles(layer);
        Batcher(triangles, layer.vertices.size(), cache_size).run(order, batches);
    }
    std::vector<ultraback::Vertex> vertices;
    vertices.reserve(order.size());
    for (std::uint32_t v : order) vertices.push_back(layer.vertices[v]);
    layer.vertices = std::move(vertices);
    layer.primitives = {};
    layer.batches = std::move(batches);
}

}  // namespace converter
