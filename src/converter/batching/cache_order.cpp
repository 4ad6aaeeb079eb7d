// Triangle order by scores of recent use, after Tom Forsyth's linear-speed
// vertex cache optimisation, with the age of a vertex counted in triangles
// drawn since its last use instead of a simulated cache: each vertex scores
// by that age and by how few triangles still wait for it, a triangle by its
// corners' scores, and the best waiting triangle around the corners of the
// last four triangles is drawn next (or around those of the last 32 if none
// waits there, or else the first waiting triangle of the layer).
//
// The batcher cuts this order into small batches and keeps in the cache
// what the order uses next, so the order only has to keep the vertices it
// works on few and together.

#include "converter/batching/cache_order.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "converter/sentinel.hpp"

namespace converter {

namespace {

constexpr std::uint32_t kAges = 64;       // triangles after which a vertex counts as unused
constexpr std::size_t kKept = 32;         // triangles whose corners are looked around
constexpr std::size_t kLooked = 4;        // the latest of them, looked around first
constexpr std::size_t kMostWaiting = 64;  // more waiting triangles score as many

// Scores in thousandths. The corners of the triangle drawn last score 750,
// less than those used one triangle earlier (977), so that the order does
// not run off in a thin strip; then the score falls as (1 - age / kAges)^1.5 to
// nothing. A vertex gains 2000 / sqrt(waiting triangles): finishing one
// frees its slot. Division and square root are exact in IEEE arithmetic, so
// the tables, and the order, are the same everywhere.
struct Scores {
    std::array<std::int32_t, kAges + 1> by_age{};
    std::array<std::int32_t, kMostWaiting + 1> by_waiting{};
};

Scores make_scores() {
    Scores s;
    for (std::size_t p = 0; p < kAges; ++p) {
        const double r = 1.0 - static_cast<double>(p) / static_cast<double>(kAges);
        s.by_age[p] = p == 0 ? 750 : static_cast<std::int32_t>(std::lround(1000.0 * r * std::sqrt(r)));
    }
    s.by_age[kAges] = 0;
    for (std::size_t n = 1; n <= kMostWaiting; ++n)
        s.by_waiting[n] = static_cast<std::int32_t>(std::lround(2000.0 / std::sqrt(static_cast<double>(n))));
    return s;
}

}  // namespace

std::vector<std::uint32_t> cache_order(std::span<const Corners> triangles, std::size_t vertex_count) {
    static const Scores scores = make_scores();
    const std::size_t count = triangles.size();
    // The triangles with a repeated corner named as `vertex_count`, a
    // vertex that scores nothing, so that every sum adds three corners.
    const auto none = static_cast<std::uint32_t>(vertex_count);
    std::vector<Corners> corners(triangles.begin(), triangles.end());
    for (Corners& t : corners) {
        auto& [a, b, c] = t.v;
        if (c == a || c == b) c = none;
        if (b == a) b = none;
    }

    // The waiting triangles around each vertex; a drawn triangle is swapped
    // out by the vertex's last entry.
    std::vector<std::uint32_t> waiting(vertex_count + 1, 0);
    for (const Corners& t : corners)
        for (std::uint32_t c : t.v) ++waiting[c];
    waiting[none] = 0;
    std::vector<std::size_t> first(vertex_count + 1, 0);
    for (std::size_t v = 0; v < vertex_count; ++v) first[v + 1] = first[v] + waiting[v];
    std::vector<std::uint32_t> around(first[vertex_count]);
    {
        std::vector<std::size_t> next(first.begin(), first.end() - 1);
        for (std::size_t t = 0; t < count; ++t)
            for (std::uint32_t c : corners[t].v)
                if (c != none) around[next[c]++] = static_cast<std::uint32_t>(t);
    }

    // When each vertex was last used, in triangles drawn (a finished vertex
    // as never), and its score by the triangles waiting for it.
    std::vector<std::uint32_t> used(vertex_count + 1, 0);
    std::vector<std::int32_t> by_waiting(vertex_count + 1, 0);
    const auto score_waiting = [&](std::uint32_t v) {
        by_waiting[v] = scores.by_waiting[std::min<std::size_t>(waiting[v], kMostWaiting)];
    };
    for (std::uint32_t v = 0; v < vertex_count; ++v) score_waiting(v);
    std::uint32_t now = kAges;
    const auto score = [&](std::uint32_t v) -> std::int32_t {
        return scores.by_age[std::min<std::uint32_t>(now - used[v], kAges)] + by_waiting[v];
    };

    // The first of the best wins, so equal scores keep the layer's order.
    std::uint32_t best = kNone;
    std::int32_t best_score = -1;
    std::vector<std::uint32_t> seen(count, 0);  // the last `now` the triangle was considered at
    const auto consider = [&](std::uint32_t t) {
        if (seen[t] == now) return;
        seen[t] = now;
        const auto [a, b, c] = corners[t].v;
        const std::int32_t sum = score(a) + score(b) + score(c);
        if (sum > best_score || (sum == best_score && t < best)) {
            best_score = sum;
            best = t;
        }
    };
    for (std::uint32_t t = 0; t < count; ++t) consider(t);

    std::vector<bool> drawn(count, false);
    // The corners of the triangles drawn last, the latest at `now % kKept`.
    std::array<Corners, kKept> last{};
    for (Corners& l : last) l = {{none, none, none}};
    std::size_t scan = 0;  // triangles before it are drawn
    std::vector<std::uint32_t> order;
    order.reserve(count);
    while (order.size() < count) {
        if (best == kNone) {
            while (drawn[scan]) ++scan;
            best = static_cast<std::uint32_t>(scan);
        }
        const std::uint32_t t = best;
        order.push_back(t);
        drawn[t] = true;
        ++now;
        for (std::uint32_t v : corners[t].v) {
            if (v == none) continue;
            std::uint32_t* entries = around.data() + first[v];
            std::uint32_t* end = entries + waiting[v];
            *std::find(entries, end, t) = *(end - 1);
            --waiting[v];
            used[v] = waiting[v] > 0 ? now : 0;
            score_waiting(v);
        }
        last[now % kKept] = corners[t];

        best = kNone;
        best_score = -1;
        for (std::size_t back = 0; back < kKept && (best == kNone || back < kLooked); ++back) {
            for (std::uint32_t v : last[(now - back) % kKept].v) {
                if (v == none || used[v] != now - back) continue;  // finished, or seen at a later triangle
                const std::uint32_t* entries = around.data() + first[v];
                for (std::uint32_t e = 0; e < waiting[v]; ++e) consider(entries[e]);
            }
        }
    }
    return order;
}

}  // namespace converter
