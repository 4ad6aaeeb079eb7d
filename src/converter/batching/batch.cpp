// Batching by greedy growth over shared vertices, or by cutting the cache
// order (cache_order.hpp) into small batches, with vertices resident across
// batches; each layer takes whichever costs less (see cheapest).
//
// The console draws from a small vertex cache: a vertex command loads
// consecutive vertices of the array into a run of slots and leaves the other
// slots as they are; each triangle command names three slots. Every vertex
// load is a transfer and a transform on the console, so loads are the cost
// that matters; commands come second.
//
// A batch is a set of loads followed by triangles drawn from the cache. Its
// triangles may read, besides the vertices it loads, any vertex an earlier
// batch left in a slot ("resident"); those it reads are pinned, and its loads
// go into the other slots, so pinned plus loaded vertices fit the cache.
//
// A batch starts at a seed triangle and grows. Each triangle that comes into
// reach (around a vertex the batch uses) is ranked by the vertices it would
// load, then by the slots it would add to the batch, then by when it was
// first seen; a triangle that adds nothing is taken at once. The best one
// that fits is taken, which grows the batch outwards ring by ring and prefers
// the vertices the last batch left behind. When none fits, the first waiting
// triangle of the layer is taken if it fits, else the batch is closed. The
// next seed is the waiting triangle around the batch just closed that loads
// the fewest vertices, the first-listed among equals, so batches follow the
// surface in the order it was modelled and keep their shared edge (with
// three slots this makes strips); without one, the first waiting triangle of
// the layer.
//
// Cut from a given order instead, a batch runs while its vertices fill at
// most half the cache, so that the other half keeps what the order uses
// next.
//
// Closing a batch picks its slots: free ones (empty, or holding a vertex no
// waiting triangle uses) in as few runs as possible, then those holding the
// least recently used vertices (cut from a given order: those it needs
// last). Each run of slots is one vertex command, and the vertex array is
// laid out command after command. The loaded vertices are placed in their
// slots by the first waiting triangle around them, so that what the next
// batches give up lies together.

#include "converter/batching/batch.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <variant>
#include <vector>

#include "converter/batching/cache_order.hpp"
#include "converter/sentinel.hpp"
#include "overloaded.hpp"

namespace converter {

namespace {

using ultraback::Batch;
using ultraback::Layer;
using ultraback::Load;

// Waiting triangles that one vertex of the batch puts forward.
constexpr std::size_t kMaxLookAround = 256;

// A layer's triangles, each written once into memory not zeroed first.
struct Triangles {
    std::span<const Corners> all() const { return {at.get(), count}; }

    std::unique_ptr<Corners[]> at;
    std::size_t count = 0;
};

// The triangles as the unbatched writer draws them: a triangle as it stands,
// a quad as (0, 1, 2) and (0, 2, 3).
Triangles drawn_triangles(const Layer& layer) {
    Triangles out{std::make_unique_for_overwrite<Corners[]>(layer.primitives.size() * 2)};
    Corners* next = out.at.get();
    auto u = [](std::int32_t i) { return static_cast<std::uint32_t>(i); };
    for (const ultraback::Primitive& primitive : layer.primitives) {
        std::visit(Overloaded{[&](const ultraback::Triangle& t) {
                                  *next++ = {{u(t.indices[0]), u(t.indices[1]), u(t.indices[2])}};
                              },
                              [&](const ultraback::Quad& q) {
                                  *next++ = {{u(q.indices[0]), u(q.indices[1]), u(q.indices[2])}};
                                  *next++ = {{u(q.indices[0]), u(q.indices[2]), u(q.indices[3])}};
                              }},
                   primitive);
    }
    out.count = static_cast<std::size_t>(next - out.at.get());
    return out;
}

// The waiting triangles around each vertex, one entry per corner. A vertex's
// entries start in triangle order; a taken triangle is dropped the next time
// its entry is met, by moving the vertex's last entry into its place.
struct Around {
    Around(std::span<const Corners> triangles, std::size_t vertex_count)
        : first(std::make_unique_for_overwrite<std::size_t[]>(vertex_count + 1)), live(vertex_count, 0) {
        for (const Corners& t : triangles)
            for (std::uint32_t c : t.v) ++live[c];
        // Each vertex's end first, then filled from the back, which leaves
        // its entries in triangle order and `first` at their start.
        std::size_t end = 0;
        for (std::size_t v = 0; v < vertex_count; ++v) first[v] = end += live[v];
        first[vertex_count] = end;
        // Every entry is written below: not zeroed first, as `first` is not.
        list = std::make_unique_for_overwrite<std::uint32_t[]>(end);
        for (std::size_t t = triangles.size(); t-- > 0;)
            for (std::uint32_t c : triangles[t].v) list[--first[c]] = static_cast<std::uint32_t>(t);
    }

    std::unique_ptr<std::size_t[]> first;  // per vertex: where its entries start
    std::vector<std::uint32_t> live;       // per vertex: how many entries are left
    std::unique_ptr<std::uint32_t[]> list;
};

// A few vertices, at most a cache of them: a list that never allocates,
// for the steps taken once per triangle.
struct CacheList {
    void push_back(std::uint32_t v) {
        assert(count < kMaxCacheSize);
        at[count++] = v;
    }
    void clear() { count = 0; }
    std::size_t size() const { return count; }
    std::uint32_t& operator[](std::size_t k) { return at[k]; }
    const std::uint32_t* begin() const { return at.data(); }
    const std::uint32_t* end() const { return at.data() + count; }

    std::array<std::uint32_t, kMaxCacheSize> at;
    std::size_t count = 0;
};

// Calls run(first, length) for each run of set bits, lowest first.
template <class Run>
void for_each_run(std::uint64_t bits, Run&& run) {
    // Adding its lowest bit to a run of ones clears it.
    for (; bits != 0; bits &= bits + (bits & -bits)) {
        const int first = std::countr_zero(bits);
        run(static_cast<std::size_t>(first), static_cast<std::size_t>(std::countr_one(bits >> first)));
    }
}

// Slots that a closing batch may load into, a bit each: free ones in as few
// runs as possible, then the least recently used. `keep[s]` is 0 for a free
// slot (a bit of `free_slots`), kNone for one the batch reads, otherwise
// larger the more recently its vertex was used; a slot chosen from those
// becomes kNone.
std::uint64_t choose_slots(std::span<std::uint32_t> keep, std::uint64_t free_slots, std::size_t count) {
    // `free_slots` marks the zeros of `keep`, found while `keep` is made.
    assert(keep.size() == kMaxCacheSize || free_slots >> keep.size() == 0);
    for (std::size_t s = 0; s < keep.size(); ++s) assert((keep[s] == 0) == ((free_slots >> s & 1) != 0));
    struct Run {
        std::uint8_t length, first;
    };
    std::array<Run, kMaxCacheSize> runs;
    std::size_t run_count = 0;
    for_each_run(free_slots, [&](std::size_t first, std::size_t length) {
        runs[run_count++] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(first)};
    });
    std::uint64_t chosen = 0;
    std::size_t chosen_count = 0;
    const auto choose = [&](std::size_t s) {
        chosen |= std::uint64_t{1} << s;
        ++chosen_count;
    };
    // Slots [first, first + length), length at least 1.
    const auto choose_run = [&](std::size_t first, std::size_t length) {
        chosen |= (~std::uint64_t{0} >> (64 - length)) << first;
        chosen_count += length;
    };
    // The shortest run that holds what is left, else the longest whole.
    while (chosen_count < count && run_count > 0) {
        const std::size_t left = count - chosen_count;
        const auto better = [left](Run a, Run b) {
            const bool a_holds = a.length >= left, b_holds = b.length >= left;
            if (a_holds != b_holds) return a_holds;
            return a_holds ? a.length < b.length : a.length > b.length;
        };
        std::size_t best = 0;
        for (std::size_t r = 1; r < run_count; ++r)
            if (better(runs[r], runs[best])) best = r;
        const std::size_t take = std::min<std::size_t>(left, runs[best].length);
        choose_run(runs[best].first, take);
        runs[best] = runs[--run_count];
    }
    if (chosen_count < count) {
        // By last use, then slot: the first of the least recently used.
        std::array<std::uint64_t, kMaxCacheSize> used;
        std::size_t used_count = 0;
        for (std::size_t s = 0; s < keep.size(); ++s)
            if (keep[s] != 0 && keep[s] != kNone) used[used_count++] = std::uint64_t{keep[s]} << 8 | s;
        const std::size_t need = count - chosen_count;
        assert(need <= used_count);
        // Which they are matters, not their order.
        std::nth_element(used.begin(), used.begin() + static_cast<std::ptrdiff_t>(need),
                         used.begin() + static_cast<std::ptrdiff_t>(used_count));
        for (std::size_t k = 0; k < need; ++k) {
            const std::size_t oldest = used[k] & 0xFF;
            choose(oldest);
            keep[oldest] = kNone;
        }
    }
    return chosen;
}

// What a vertex adds to a triangle's cost while a batch grows: nothing if
// the batch uses it, a slot if an earlier batch left it in one, else a slot
// and a load. With a load weighing 4, a triangle's weight (its distinct
// corners summed) is 3 * loads + slots and holds both: loads = weight / 4,
// slots = loads + weight % 4.
enum Weight : std::uint8_t { kInBatch = 0, kResident = 1, kAbsent = 4 };

std::size_t loads_of(std::uint32_t weight) { return weight / 4; }
std::size_t slots_of(std::uint32_t weight) { return weight / 4 + weight % 4; }

// The growing batch's candidates, in queues by the vertices each would load
// and then the slots it would add, that is by weight (a triangle that adds
// none is taken at once), each queue in the order the triangles entered it.
// A batch settles at most a cache of vertices, each putting forward at most
// kMaxLookAround triangles, and meets a triangle at most once per corner:
// a queue has room for the fewer of these from the start and never grows.
struct Candidates {
    static constexpr std::size_t kQueues = 12;
    static std::size_t queue(std::uint32_t weight) { return weight - 1; }

    Candidates(std::size_t cache_size, std::size_t triangle_count)
        : room(std::min(cache_size * kMaxLookAround, 3 * triangle_count)),
          entries(std::make_unique_for_overwrite<std::uint32_t[]>(kQueues * room)) {}

    void clear() {
        sizes.fill(0);
        heads.fill(0);
        lowest = 0;
    }
    void push(std::size_t queue, std::uint32_t t) {
        assert(sizes[queue] < room);
        entries[queue * room + sizes[queue]++] = t;
        lowest = std::min(lowest, queue);
    }
    std::span<const std::uint32_t> of(std::size_t queue) const {
        return {entries.get() + queue * room, sizes[queue]};
    }

    std::size_t room;                          // entries per queue
    std::unique_ptr<std::uint32_t[]> entries;  // queue after queue, `room` each
    std::array<std::size_t, kQueues> sizes{};
    std::array<std::size_t, kQueues> heads{};  // entries before it are used up
    std::size_t lowest = 0;                    // queues before it are used up
};

// Where a triangle was last queued: 0 before it is, then the growing
// batch's number (28 bits of it, see Batcher::open) above the queue's 4
// bits; kTaken once the triangle is drawn, which no queue matches.
constexpr std::uint32_t kUnseen = 0;
constexpr std::uint32_t kTaken = UINT32_MAX;
constexpr std::uint32_t kEpochs = std::uint32_t{1} << 28;
static_assert(Candidates::kQueues <= 15, "a queue fits 4 bits besides kTaken's");

// A triangle as it is weighed, and where it was queued: what a growing
// batch reads of every triangle it comes near, in one 16-byte record.
struct Weighed {
    std::uint32_t v[3];  // its corners, a repeated one as `none`
    std::uint32_t sighting = kUnseen;
};

class Batcher {
public:
    Batcher(std::span<const Corners> triangles, std::size_t vertex_count, std::size_t cache_size)
        : triangles_(triangles), around_(triangles, vertex_count), cache_size_(cache_size),
          remaining_(vertex_count + 1, 0), weight_(vertex_count + 1, kAbsent), slot_of_(vertex_count, kNone),
          held_(cache_size, kNone) {
        // A repeated corner counts once: the later ones name `none`, a
        // vertex that weighs nothing, so that a weight sums three corners.
        const auto none = static_cast<std::uint32_t>(vertex_count);
        weight_[none] = kInBatch;
        weighed_.reserve(triangles.size());
        for (const Corners& t : triangles) {
            const auto [a, b, c] = t.v;
            weighed_.push_back({{a, b == a ? none : b, c == a || c == b ? none : c}});
            for (std::uint32_t v : weighed_.back().v) ++remaining_[v];
        }
    }

    // Fills `order` with the layer vertex of every loaded vertex, load after
    // load, and `batches` with the loads and their slot triangles.
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

    // The same, keeping the triangles in their listed order: each batch runs
    // while its vertices fill at most half the cache, and a closing batch
    // gives up the slots of the vertices needed last.
    void run_in_order(std::vector<std::uint32_t>& order, std::vector<Batch>& batches) {
        order_ = &order;
        batches_ = &batches;
        in_order_ = true;
        for (std::uint32_t t = 0; t < triangles_.size(); ++t) {
            if (batch_ == 0 || !fits_half(t)) {
                if (batch_ != 0) close();
                open();
            }
            take(t);
            settled_ = batch_vertices_.size();
        }
        if (batch_ != 0) close();
    }

private:
    bool taken(std::uint32_t t) const { return weighed_[t].sighting == kTaken; }
    // The sighting of a triangle in queue `q` of the growing batch.
    std::uint32_t sighting(std::size_t q) const { return epoch_ << 4 | static_cast<std::uint32_t>(q); }

    // A repeated corner counts once (see weighed_).
    std::uint32_t weight(std::uint32_t t) const {
        const auto [a, b, c] = weighed_[t].v;
        return weight_[a] + weight_[b] + weight_[c];
    }
    bool fits(std::uint32_t t) const { return batch_vertices_.size() + slots_of(weight(t)) <= cache_size_; }
    // Small batches leave slots to keep what the listed order uses next;
    // three slots hold one triangle.
    bool fits_half(std::uint32_t t) const {
        return batch_vertices_.size() + slots_of(weight(t)) <= std::max<std::size_t>(3, cache_size_ / 2);
    }

    void open() {
        ++batch_;
        // A sighting holds 28 bits of the batch number: before they run out
        // (a layer of hundreds of millions of triangles), every sighting is
        // forgotten and the count starts again.
        if (++epoch_ == kEpochs) {
            for (Weighed& w : weighed_)
                if (w.sighting != kTaken) w.sighting = kUnseen;
            epoch_ = 1;
        }
        batch_vertices_.clear();
        settled_ = 0;
        candidates_.clear();
    }

    // Reads only the triangle's record, which visiting it brought near.
    void take(std::uint32_t t) {
        for (std::uint32_t c : weighed_[t].v) {
            --remaining_[c];
            if (weight_[c] == kInBatch) continue;
            if (weight_[c] == kAbsent) loading_.push_back(c);
            weight_[c] = kInBatch;
            batch_vertices_.push_back(c);
        }
        weighed_[t].sighting = kTaken;
        drawn_.push_back(t);
    }

    // Takes what the vertices the batch gained last complete and queues the
    // rest around them, the last gained first. Only a triangle that adds no
    // vertex is taken meanwhile, so the list holds still.
    void settle() {
        const std::size_t from = settled_;
        settled_ = batch_vertices_.size();
        for (std::size_t i = settled_; i-- > from;) {
            const std::uint32_t v = batch_vertices_[i];
            std::uint32_t* entries = around_.list.get() + around_.first[v];
            // A local count, which the stores below cannot alias. Visiting
            // takes only triangles that bring no vertex, so no other list
            // changes meanwhile.
            std::uint32_t live = around_.live[v];
            // A vertex shared by very many triangles (the middle of a large
            // fan) shows only some of them to each batch, so that the
            // batches around it cost time in proportion to their size.
            for (std::uint32_t k = 0; k < live && k < kMaxLookAround;) {
                const std::uint32_t t = entries[k];
                if (taken(t)) {
                    entries[k] = entries[--live];
                    continue;
                }
                ++k;
                visit(t);
            }
            around_.live[v] = live;
        }
    }

    // A cost only falls while the batch grows, so a triangle's entry in a
    // queue that no longer matches its cost lies behind a better one.
    void visit(std::uint32_t t) {
        const std::uint32_t w = weight(t);
        if (w == 0) {
            take(t);
            return;
        }
        const std::size_t queue = Candidates::queue(w);
        std::uint32_t& seen = weighed_[t].sighting;
        if (seen == sighting(queue)) return;
        seen = sighting(queue);
        candidates_.push(queue, t);
    }

    // The first triangle of the best queue that still belongs there and
    // fits; those that do not fit now never will at this cost.
    std::uint32_t best_candidate() {
        for (std::size_t q = candidates_.lowest; q < Candidates::kQueues; ++q) {
            const std::span<const std::uint32_t> queue = candidates_.of(q);
            const std::uint32_t in_queue = sighting(q);
            std::size_t head = candidates_.heads[q];
            while (head < queue.size()) {
                const std::uint32_t t = queue[head++];
                if (weighed_[t].sighting == in_queue && fits(t)) {
                    candidates_.heads[q] = head;
                    candidates_.lowest = q;
                    return t;
                }
            }
            candidates_.heads[q] = head;
        }
        candidates_.lowest = Candidates::kQueues;
        return kNone;
    }

    void grow(std::uint32_t seed) {
        open();
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
        close();
    }

    // Loads the batch's new vertices into the slots chosen for them, one
    // vertex command per run of slots, and draws its triangles from them.
    void close() {
        std::array<std::uint32_t, kMaxCacheSize> keep;  // the first cache_size_ are set below
        std::uint64_t free_slots = 0;
        for (std::size_t s = 0; s < cache_size_; ++s) {
            const std::uint32_t v = held_[s];
            if (v == kNone) keep[s] = 0;
            else if (weight_[v] == kInBatch) keep[s] = kNone;
            else if (remaining_[v] == 0) keep[s] = 0;
            else if (in_order_) keep[s] = kNone - next_use(v);  // the later, the sooner given up
            else keep[s] = last_used_[s];
            free_slots |= std::uint64_t{keep[s] == 0} << s;
        }
        const std::uint64_t chosen = choose_slots(std::span(keep).first(cache_size_), free_slots, loading_.size());
        // Vertices that no later triangle needs go first, then the others
        // by the first waiting triangle around them: the slots that the
        // next batches free then form runs.
        // Each key is followed by the vertex's place in the list, which
        // keeps equals in their order.
        const std::size_t count = loading_.size();
        assert(count <= kMaxCacheSize);
        std::array<std::uint64_t, kMaxCacheSize> keyed;
        std::array<std::uint32_t, kMaxCacheSize> listed;
        for (std::size_t k = 0; k < count; ++k) {
            keyed[k] = std::uint64_t{first_waiting_around(loading_[k])} << 32 | k;
            listed[k] = loading_[k];
        }
        // A few keys, each distinct: sorted by insertion.
        for (std::size_t i = 1; i < count; ++i) {
            const std::uint64_t key = keyed[i];
            std::size_t j = i;
            for (; j > 0 && keyed[j - 1] > key; --j) keyed[j] = keyed[j - 1];
            keyed[j] = key;
        }
        for (std::size_t k = 0; k < count; ++k) loading_[k] = listed[static_cast<std::uint32_t>(keyed[k])];
        // Each run of slots is a command; a run starts where a slot follows
        // one not chosen.
        Batch batch;
        batch.loads.reserve(static_cast<std::size_t>(std::popcount(chosen & ~(chosen << 1))));
        batch.triangles.reserve(drawn_.size());
        std::size_t k = 0;
        for_each_run(chosen, [&](std::size_t first, std::size_t length) {
            batch.loads.push_back(Load{static_cast<std::uint32_t>(order_->size()), static_cast<std::uint32_t>(length),
                                       static_cast<std::uint8_t>(first)});
            for (std::size_t s = first; s < first + length; ++s, ++k) {
                if (held_[s] != kNone) {
                    slot_of_[held_[s]] = kNone;
                    weight_[held_[s]] = kAbsent;
                }
                held_[s] = loading_[k];
                slot_of_[loading_[k]] = static_cast<std::uint32_t>(s);
                order_->push_back(loading_[k]);
            }
        });
        assert(k == loading_.size());
        // Every vertex of the batch now has its slot.
        for (std::uint32_t v : batch_vertices_) {
            last_used_[slot_of_[v]] = batch_;
            weight_[v] = kResident;
        }
        for (std::uint32_t t : drawn_) {
            const Corners& c = triangles_[t];
            batch.triangles.push_back({static_cast<std::uint8_t>(slot_of_[c.v[0]]),
                                       static_cast<std::uint8_t>(slot_of_[c.v[1]]),
                                       static_cast<std::uint8_t>(slot_of_[c.v[2]])});
        }
        batches_->push_back(std::move(batch));
        loading_.clear();
        drawn_.clear();
    }

    // In listed order: 1 + the next triangle that uses a vertex still
    // waited for. Its entries are in triangle order and taken in that
    // order, so those taken are passed over once.
    std::uint32_t next_use(std::uint32_t v) {
        assert(in_order_ && remaining_[v] > 0);
        const std::uint32_t* entries = around_.list.get();
        while (taken(entries[around_.first[v]])) {
            ++around_.first[v];
            --around_.live[v];
        }
        return entries[around_.first[v]] + 1;
    }

    // 0 for a vertex no waiting triangle uses, else 1 + the first of them.
    std::uint32_t first_waiting_around(std::uint32_t v) const {
        if (remaining_[v] == 0) return 0;
        std::uint32_t first = kNone - 1;
        const std::uint32_t* entries = around_.list.get() + around_.first[v];
        const std::size_t looked = std::min<std::size_t>(around_.live[v], kMaxLookAround);
        for (std::size_t k = 0; k < looked; ++k)
            if (!taken(entries[k])) first = std::min(first, entries[k] + 1);
        return first;
    }

    std::uint32_t next_waiting() {
        while (scan_ < triangles_.size() && taken(static_cast<std::uint32_t>(scan_))) ++scan_;
        return scan_ < triangles_.size() ? static_cast<std::uint32_t>(scan_) : kNone;
    }

    // The waiting triangle around the batch just closed that loads the
    // fewest vertices, the first-listed among equals.
    std::uint32_t next_seed() {
        // Loads above the triangle, so that one comparison ranks both.
        std::uint64_t best = std::uint64_t{3} << 32 | kNone;
        for (std::size_t q = 0; q < Candidates::kQueues; ++q)
            for (std::uint32_t t : candidates_.of(q))
                if (weighed_[t].sighting == sighting(q))
                    best = std::min(best, std::uint64_t{loads_of(weight(t))} << 32 | t);
        const auto seed = static_cast<std::uint32_t>(best);
        return seed != kNone ? seed : next_waiting();
    }

    const std::span<const Corners> triangles_;
    std::vector<Weighed> weighed_;  // per triangle
    Around around_;
    const std::size_t cache_size_;

    std::vector<std::uint32_t> remaining_;                     // per vertex and `none`: triangles not taken
    std::vector<Weight> weight_;                               // per vertex, and `none`
    std::vector<std::uint32_t> slot_of_;                       // per vertex: its slot, or kNone
    std::vector<std::uint32_t> held_;                          // per slot: its vertex, or kNone
    std::vector<std::uint32_t> last_used_ = std::vector<std::uint32_t>(kMaxCacheSize, 0);  // per slot

    Candidates candidates_{cache_size_, triangles_.size()};
    CacheList batch_vertices_;          // the batch uses, in the order it gained them
    std::size_t settled_ = 0;           // batch_vertices_ before it are settled
    CacheList loading_;                 // to be loaded by the batch
    std::vector<std::uint32_t> drawn_;  // triangles of the batch
    bool in_order_ = false;             // the triangles taken as listed
    std::size_t scan_ = 0;              // triangles before it are taken
    std::uint32_t batch_ = 0;           // number of the batch growing, from 1
    std::uint32_t epoch_ = 0;           // the batch's number in the sightings, from 1

    std::vector<std::uint32_t>* order_ = nullptr;
    std::vector<Batch>* batches_ = nullptr;
};

struct Batched {
    std::vector<std::uint32_t> loaded;  // the layer vertex of each loaded vertex
    std::vector<Batch> batches;
};

Batched grown(std::span<const Corners> triangles, std::size_t vertex_count, std::size_t cache_size) {
    Batched out;
    Batcher(triangles, vertex_count, cache_size).run(out.loaded, out.batches);
    return out;
}

Batched as_listed(std::span<const Corners> triangles, std::size_t vertex_count, std::size_t cache_size) {
    Batched out;
    Batcher(triangles, vertex_count, cache_size).run_in_order(out.loaded, out.batches);
    return out;
}

std::size_t commands(const Batched& b) {
    std::size_t n = 0;
    for (const Batch& batch : b.batches) n += batch.loads.size() + (batch.triangles.size() + 1) / 2;
    return n;
}

// Layers larger than this (more triangles than the console draws in a few
// frames) take the grown batches alone: the cache order would more than
// double the time batching takes.
constexpr std::size_t kMostOrdered = 16384;

// The grown batches, or those of the cache order if they cost less, a load
// weighing as much as four commands (a transfer and a transform against a
// word of the display list): small batches trade commands for loads, which
// pays only where they save enough loads. Equal costs keep the grown ones.
Batched cheapest(std::span<const Corners> triangles, std::size_t vertex_count, std::size_t cache_size) {
    Batched by_growth = grown(triangles, vertex_count, cache_size);
    if (triangles.size() > kMostOrdered) return by_growth;
    std::vector<Corners> ordered;
    ordered.reserve(triangles.size());
    for (std::uint32_t t : cache_order(triangles, vertex_count)) ordered.push_back(triangles[t]);
    Batched by_order = as_listed(ordered, vertex_count, cache_size);
    const auto cost = [](const Batched& b) { return 4 * b.loaded.size() + commands(b); };
    return cost(by_order) < cost(by_growth) ? std::move(by_order) : std::move(by_growth);
}

}  // namespace

void batch_layer(Layer& layer, std::size_t cache_size, BatchOrder order) {
    // The command line holds the size in range; a slot must fit a byte and a
    // triangle needs three.
    assert(cache_size >= kMinCacheSize && cache_size <= kMaxCacheSize);
    cache_size = std::clamp(cache_size, kMinCacheSize, kMaxCacheSize);
    Batched batched;
    {
        const Triangles drawn = drawn_triangles(layer);
        const std::span<const Corners> triangles = drawn.all();
        // The triangles say all the primitives did: their memory goes to
        // the batching.
        layer.primitives = {};
        const std::size_t vertex_count = layer.vertices.size();
        switch (order) {
            case BatchOrder::Cheapest: batched = cheapest(triangles, vertex_count, cache_size); break;
            case BatchOrder::Grown: batched = grown(triangles, vertex_count, cache_size); break;
            case BatchOrder::AsListed: batched = as_listed(triangles, vertex_count, cache_size); break;
        }
    }
    std::vector<ultraback::Vertex> vertices;
    vertices.reserve(batched.loaded.size());
    for (std::uint32_t v : batched.loaded) vertices.push_back(layer.vertices[v]);
    layer.vertices = std::move(vertices);
    layer.batches = std::move(batched.batches);
}

}  // namespace converter
