#include "converter/triangulate.hpp"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <utility>

namespace converter {

using lwofront::Vec3;

std::optional<Vec3> newell_normal(std::span<const Vec3> corners) {
    float x = 0, y = 0, z = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3& a = corners[i];
        const Vec3& b = corners[(i + 1) % corners.size()];
        x += (a.y - b.y) * (a.z + b.z);
        y += (a.z - b.z) * (a.x + b.x);
        z += (a.x - b.x) * (a.y + b.y);
    }
    return unit_or_nothing(x, y, z);
}

namespace {

struct P2 {
    double u = 0, v = 0;
};

// Twice the signed area of a, b, c: positive when they turn counter-clockwise.
double area2(P2 a, P2 b, P2 c) { return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u); }

bool same_place(P2 a, P2 b) { return a.u == b.u && a.v == b.v; }

void fan(std::uint32_t n, std::vector<Corners3>& triangles) {
    for (std::uint32_t i = 1; i + 1 < n; ++i) triangles.push_back({0, i, i + 1});
}

// The corners in the plane most across the polygon's normal (Newell's, in
// double), turning counter-clockwise; false when the polygon has no area.
bool project(std::span<const Vec3> corners, std::vector<P2>& q) {
    const std::size_t n = corners.size();
    double nx = 0, ny = 0, nz = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& a = corners[i];
        const Vec3& b = corners[(i + 1) % n];
        nx += (double(a.y) - b.y) * (double(a.z) + b.z);
        ny += (double(a.z) - b.z) * (double(a.x) + b.x);
        nz += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    const double ax = std::fabs(nx), ay = std::fabs(ny), az = std::fabs(nz);
    if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(az) || (ax == 0 && ay == 0 && az == 0)) {
        return false;
    }

    // Drop the normal's largest axis; swap the two left when the normal points
    // down that axis, so the polygon always runs counter-clockwise.
    const int drop = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
    const double toward = drop == 0 ? nx : (drop == 1 ? ny : nz);
    q.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& c = corners[i];
        P2 p = drop == 0 ? P2{c.y, c.z} : (drop == 1 ? P2{c.z, c.x} : P2{c.x, c.y});
        if (toward < 0) std::swap(p.u, p.v);
        q[i] = p;
    }
    return true;
}

// Whether two edges cross at a point inside both. Edges that only touch, meet
// at a corner or run along each other do not count: polygons that touch
// themselves are still cut into ears.
bool edges_cross(P2 a, P2 b, P2 c, P2 d) {
    const double c_side = area2(a, b, c), d_side = area2(a, b, d);
    const double a_side = area2(c, d, a), b_side = area2(c, d, b);
    return ((c_side > 0 && d_side < 0) || (c_side < 0 && d_side > 0)) &&
           ((a_side > 0 && b_side < 0) || (a_side < 0 && b_side > 0));
}

// A grid of about `items` square cells over the box from `low` to `high`
// (one cell when the box is empty or overflows), and the cells a point, a
// box or a segment falls in. Boxes and segments are widened by a little more
// than rounding moves a point, so that nothing the exact tests would find is
// left in a cell apart.
class CellGrid {
public:
    CellGrid() = default;
    CellGrid(P2 low, P2 high, std::size_t items) : low_(low), high_(high) {
        const double width = high.u - low.u, height = high.v - low.v;
        if (!(width > 0 && height > 0 && std::isfinite(width * height))) return;
        const double per_cell = std::sqrt(width * height / double(items));
        const double most = double(items);
        columns_ = std::max<std::size_t>(1, static_cast<std::size_t>(std::min(width / per_cell, most)));
        rows_ = std::max<std::size_t>(1, static_cast<std::size_t>(std::min(height / per_cell, most)));
        margin_ = 1e-9 * std::max(width, height);
    }

    std::size_t count() const { return columns_ * rows_; }
    std::size_t cell(P2 p) const { return row(p.v) * columns_ + column(p.u); }

    template <class Visit>
    void for_each_in_box(P2 low, P2 high, Visit visit) const {
        const std::size_t x0 = column(low.u - margin_), x1 = column(high.u + margin_);
        const std::size_t y0 = row(low.v - margin_), y1 = row(high.v + margin_);
        for (std::size_t y = y0; y <= y1; ++y)
            for (std::size_t x = x0; x <= x1; ++x) visit(y * columns_ + x);
    }

    // Per row of cells, the part of the segment within the row's band.
    template <class Visit>
    void for_each_on_segment(P2 a, P2 b, Visit visit) const {
        const double v0 = std::min(a.v, b.v), v1 = std::max(a.v, b.v);
        const std::size_t y0 = row(v0 - margin_), y1 = row(v1 + margin_);
        for (std::size_t y = y0; y <= y1; ++y) {
            double u0 = std::min(a.u, b.u), u1 = std::max(a.u, b.u);
            if (y0 != y1 && a.v != b.v) {
                const double height = high_.v - low_.v;
                const double band0 = std::max(v0, low_.v + height * double(y) / double(rows_));
                const double band1 = std::min(v1, low_.v + height * double(y + 1) / double(rows_));
                const double at0 = a.u + (b.u - a.u) * ((band0 - a.v) / (b.v - a.v));
                const double at1 = a.u + (b.u - a.u) * ((band1 - a.v) / (b.v - a.v));
                u0 = std::max(u0, std::min(at0, at1));
                u1 = std::min(u1, std::max(at0, at1));
            }
            const std::size_t x0 = column(u0 - margin_), x1 = column(u1 + margin_);
            for (std::size_t x = x0; x <= x1; ++x) visit(y * columns_ + x);
        }
    }

private:
    static std::size_t slot(double x, double low, double high, std::size_t slots) {
        if (slots == 1 || !(x > low)) return 0;
        const double at = (x - low) / (high - low) * double(slots);
        return at >= double(slots) ? slots - 1 : static_cast<std::size_t>(at);
    }
    std::size_t column(double u) const { return slot(u, low_.u, high_.u, columns_); }
    std::size_t row(double v) const { return slot(v, low_.v, high_.v, rows_); }

    P2 low_, high_;
    std::size_t columns_ = 1, rows_ = 1;
    double margin_ = 0;
};

bool finite(P2 p) { return std::isfinite(p.u) && std::isfinite(p.v); }

// The box around the corners that are finite.
std::pair<P2, P2> finite_box(const std::vector<P2>& q) {
    P2 low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
    for (const P2& p : q) {
        if (!finite(p)) continue;
        low = {std::min(low.u, p.u), std::min(low.v, p.v)};
        high = {std::max(high.u, p.u), std::max(high.v, p.v)};
    }
    return {low, high};
}

// Up to this many corners, looking at every corner (or pair of edges) costs
// less than building a grid to find the few worth looking at.
constexpr std::uint32_t kFewCorners = 32;

// Whether two of the polygon's edges cross. Each edge is entered in the cells
// of a grid over the polygon that it passes through (about one corner a
// cell), and only edges that share a cell are tested against each other, so
// the cost follows how many edges pass near each other, not the square of
// their number: a comb of long thin teeth takes a few tests an edge, along
// any axis.
bool crosses_itself(const std::vector<P2>& q) {
    const auto n = static_cast<std::uint32_t>(q.size());
    if (!std::all_of(q.begin(), q.end(), finite)) return false;
    if (n <= kFewCorners) {
        // Every pair: fewer tests than building the grid takes.
        for (std::uint32_t e = 1; e < n; ++e)
            for (std::uint32_t o = 0; o < e; ++o)
                if (edges_cross(q[o], q[(o + 1) % n], q[e], q[(e + 1) % n])) return true;
        return false;
    }
    const auto [low, high] = finite_box(q);
    const CellGrid cells(low, high, n);

    // Each edge is tested against the edges entered before it in the cells it
    // passes, then entered itself: a polygon that crosses itself early is
    // found early. Entries of a cell are chained from its head.
    constexpr std::uint32_t kEnd = UINT32_MAX;
    std::vector<std::uint32_t> head(cells.count(), kEnd);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;  // edge, next entry of its cell
    std::vector<std::uint32_t> tested_with(n, kEnd);  // the last edge each edge was tested against
    for (std::uint32_t e = 0; e < n; ++e) {
        const P2 a = q[e], b = q[(e + 1) % n];
        bool crossed = false;
        cells.for_each_on_segment(a, b, [&](std::size_t cell) {
            for (std::uint32_t k = head[cell]; k != kEnd && !crossed; k = entries[k].second) {
                const std::uint32_t o = entries[k].first;
                if (tested_with[o] == e) continue;
                tested_with[o] = e;
                crossed = edges_cross(q[o], q[(o + 1) % n], a, b);
            }
            entries.push_back({e, head[cell]});
            head[cell] = static_cast<std::uint32_t>(entries.size() - 1);
        });
        if (crossed) return true;
    }
    return false;
}

// The corners still in the polygon, by position, with counts over runs of
// positions (a Fenwick tree).
class AliveCorners {
public:
    explicit AliveCorners(std::uint32_t n) : alive_(n, true), tree_(n + 1, 0) {
        for (std::uint32_t i = 1; i <= n; ++i) {
            tree_[i] += 1;
            if (const std::uint32_t up = i + (i & -i); up <= n) tree_[up] += tree_[i];
        }
    }
    bool holds(std::uint32_t p) const { return alive_[p]; }
    void remove(std::uint32_t p) {
        assert(alive_[p]);
        alive_[p] = false;
        for (std::uint32_t i = p + 1; i < tree_.size(); i += i & -i) --tree_[i];
    }
    // Corners still there after `from` up to `to` included, going round.
    std::uint32_t count_after(std::uint32_t from, std::uint32_t to) const {
        if (to > from) return up_to(to) - up_to(from);
        return up_to(static_cast<std::uint32_t>(alive_.size()) - 1) - up_to(from) + up_to(to);
    }

private:
    // Corners still there at positions 0..p.
    std::uint32_t up_to(std::uint32_t p) const {
        std::uint32_t sum = 0;
        for (std::uint32_t i = p + 1; i > 0; i -= i & -i) sum += tree_[i];
        return sum;
    }
    std::vector<bool> alive_;
    std::vector<std::uint32_t> tree_;
};

// The corners by cell of a grid of about one corner a cell, so that the
// corners near a triangle are found without looking at all of them. Corners
// that are not finite go into a list looked at every time.
class CornerGrid {
public:
    CornerGrid() = default;  // holds nothing
    explicit CornerGrid(const std::vector<P2>& q) {
        const auto [low, high] = finite_box(q);
        cells_ = CellGrid(low, high, q.size());
        starts_.assign(cells_.count() + 1, 0);
        for (const P2& p : q)
            if (finite(p)) ++starts_[cells_.cell(p) + 1];
        for (std::size_t k = 1; k < starts_.size(); ++k) starts_[k] += starts_[k - 1];
        corners_.resize(starts_.back());
        std::vector<std::uint32_t> fill(starts_.begin(), starts_.end() - 1);
        for (std::uint32_t i = 0; i < q.size(); ++i) {
            if (finite(q[i])) {
                corners_[fill[cells_.cell(q[i])]++] = i;
            } else {
                not_finite_.push_back(i);
            }
        }
    }

    // Calls `visit` with every corner whose cell meets the box of a, b, c,
    // and every corner that is not finite.
    template <class Visit>
    void for_each_near(P2 a, P2 b, P2 c, Visit visit) const {
        for (std::uint32_t i : not_finite_) visit(i);
        if (corners_.empty()) return;
        const P2 low{std::min({a.u, b.u, c.u}), std::min({a.v, b.v, c.v})};
        const P2 high{std::max({a.u, b.u, c.u}), std::max({a.v, b.v, c.v})};
        cells_.for_each_in_box(low, high, [&](std::size_t k) {
            for (std::uint32_t j = starts_[k]; j < starts_[k + 1]; ++j) visit(corners_[j]);
        });
    }

private:
    CellGrid cells_;
    std::vector<std::uint32_t> starts_;  // per cell, where its corners begin in corners_
    std::vector<std::uint32_t> corners_;
    std::vector<std::uint32_t> not_finite_;
};

}  // namespace

void triangulate(std::span<const Vec3> corners, std::vector<Corners3>& triangles) {
    const auto n = static_cast<std::uint32_t>(corners.size());
    if (n < 3) return;
    if (n == 3) {
        triangles.push_back({0, 1, 2});
        return;
    }

    std::vector<P2> q;
    if (!project(corners, q)) {
        fan(n, triangles);  // no area to cover
        return;
    }
    // A polygon that crosses itself has no inside to cover exactly, and
    // searching it for ears is the slowest case there is: a fan gives its
    // n - 2 triangles at once.
    if (crosses_itself(q)) {
        fan(n, triangles);
        return;
    }

    std::vector<std::uint32_t> prev(n), next(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    const bool use_grid = n > kFewCorners;
    const CornerGrid grid = use_grid ? CornerGrid(q) : CornerGrid();
    AliveCorners alive(n);
    std::uint32_t remaining = n;

    // The ear tests below count the corners they would look at one by one,
    // up to n^3 / 6 in all when the polygon crosses itself so that ears stay
    // rare (a spiral does). Past this budget no corner counts as an ear any
    // more, and the rest of the polygon is cut the way the search cuts one
    // without ears.
    std::uint64_t budget = 4 * std::uint64_t{n} * n;

    // An ear: a convex corner whose triangle holds no other corner, not even
    // on its edges (corners in the same place as the triangle's are allowed:
    // polygons that touch themselves have them). The corners are looked at
    // in the polygon's order from the one after the ear, as far as the first
    // that blocks it; the grid finds that one among the few corners near the
    // triangle, and the count of corners before it is what that walk would
    // have spent of the budget.
    auto is_ear = [&](std::uint32_t b) {
        const std::uint32_t a = prev[b], c = next[b];
        if (!(area2(q[a], q[b], q[c]) > 0)) return false;
        auto blocks = [&](std::uint32_t p) {
            if (same_place(q[p], q[a]) || same_place(q[p], q[b]) || same_place(q[p], q[c])) return false;
            return area2(q[a], q[b], q[p]) >= 0 && area2(q[b], q[c], q[p]) >= 0 && area2(q[c], q[a], q[p]) >= 0;
        };
        if (!use_grid) {
            for (std::uint32_t p = next[c]; p != a; p = next[p]) {
                if (budget == 0) return false;
                --budget;
                if (blocks(p)) return false;
            }
            return true;
        }
        std::uint32_t first_blocking = n;  // the blocking corner nearest after c, in polygon order
        auto offset = [&](std::uint32_t p) { return (p + n - c) % n; };
        grid.for_each_near(q[a], q[b], q[c], [&](std::uint32_t p) {
            if (!alive.holds(p) || p == a || p == b || p == c) return;
            if (blocks(p) && (first_blocking == n || offset(p) < offset(first_blocking))) first_blocking = p;
        });
        const std::uint64_t looked_at = first_blocking == n ? remaining - 3 : alive.count_after(c, first_blocking);
        if (looked_at > budget) {
            budget = 0;
            return false;
        }
        budget -= looked_at;
        return first_blocking == n;
    };

    std::uint32_t cur = 0;
    for (; remaining > 3; --remaining) {
        // A true ear if there is one; else a corner on a straight line (its
        // triangle has no area); else, for input that is not a simple
        // polygon, any corner, so that the loop always ends.
        std::uint32_t ear = cur;
        bool found = false;
        for (std::uint32_t k = 0, b = cur; k < remaining && !found && budget != 0; ++k, b = next[b]) {
            if (is_ear(b)) ear = b, found = true;
        }
        for (std::uint32_t k = 0, b = cur; k < remaining && !found; ++k, b = next[b]) {
            if (area2(q[prev[b]], q[b], q[next[b]]) == 0) ear = b, found = true;
        }
        triangles.push_back({prev[ear], ear, next[ear]});
        next[prev[ear]] = next[ear];
        prev[next[ear]] = prev[ear];
        alive.remove(ear);
        cur = next[ear];
    }
    triangles.push_back({prev[cur], cur, next[cur]});
}

}  // namespace converter
