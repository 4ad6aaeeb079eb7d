#include "converter/triangulate.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace converter {

using lwofront::Vec3;

std::optional<Vec3> unit_or_nothing(float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    const Vec3 unit{x / length, y / length, z / length};
    if (!std::isfinite(unit.x) || !std::isfinite(unit.y) || !std::isfinite(unit.z)) return std::nullopt;
    return unit;
}

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

// Whether two of the polygon's edges cross. A sweep along u tests only edges
// whose u ranges overlap, so ordinary polygons take about n log n steps; one
// that crosses itself everywhere, as a spiral of chords does, is found at
// the first edges.
bool crosses_itself(const std::vector<P2>& q) {
    const auto n = static_cast<std::uint32_t>(q.size());
    for (P2 p : q)
        if (!std::isfinite(p.u) || !std::isfinite(p.v)) return false;
    auto low = [&](std::uint32_t e) { return std::min(q[e].u, q[(e + 1) % n].u); };
    auto high = [&](std::uint32_t e) { return std::max(q[e].u, q[(e + 1) % n].u); };
    std::vector<std::uint32_t> edges(n);
    std::iota(edges.begin(), edges.end(), 0u);
    std::sort(edges.begin(), edges.end(), [&](std::uint32_t a, std::uint32_t b) { return low(a) < low(b); });
    std::vector<std::uint32_t> open;  // edges whose u range reaches the sweep
    for (std::uint32_t e : edges) {
        std::erase_if(open, [&](std::uint32_t o) { return high(o) < low(e); });
        for (std::uint32_t o : open)
            if (edges_cross(q[o], q[(o + 1) % n], q[e], q[(e + 1) % n])) return true;
        open.push_back(e);
    }
    return false;
}

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

    // The ear tests below look at up to n^3 / 6 corners in all when the
    // polygon crosses itself so that ears stay rare (a spiral does), which for
    // 1023 corners takes a second. Simple polygons need about n^2 / 2. Past
    // this budget no corner counts as an ear any more, and the rest of the
    // polygon is cut the way the search cuts one without ears.
    std::uint64_t budget = 4 * std::uint64_t{n} * n;

    // An ear: a convex corner whose triangle holds no other corner, not even
    // on its edges (corners in the same place as the triangle's are allowed:
    // polygons that touch themselves have them).
    auto is_ear = [&](std::uint32_t b) {
        const std::uint32_t a = prev[b], c = next[b];
        if (!(area2(q[a], q[b], q[c]) > 0)) return false;
        for (std::uint32_t p = next[c]; p != a; p = next[p]) {
            if (budget == 0) return false;
            --budget;
            if (same_place(q[p], q[a]) || same_place(q[p], q[b]) || same_place(q[p], q[c])) continue;
            if (area2(q[a], q[b], q[p]) >= 0 && area2(q[b], q[c], q[p]) >= 0 && area2(q[c], q[a], q[p]) >= 0)
                return false;
        }
        return true;
    };

    std::uint32_t cur = 0;
    for (std::uint32_t remaining = n; remaining > 3; --remaining) {
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
        cur = next[ear];
    }
    triangles.push_back({prev[cur], cur, next[cur]});
}

}  // namespace converter
