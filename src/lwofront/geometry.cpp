#include "lwofront/geometry.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <system_error>
#include <utility>

#include "lwofront/chunk.hpp"
#include "overloaded.hpp"
#include "stream.hpp"

namespace lwofront {

namespace {

using detail::kind_of;

// A body of at least this size starts the helper: below it, a whole object
// parses faster than a thread starts.
constexpr std::size_t kHelperBody = std::size_t{256} << 10;
// Bodies read but not yet parsed, at most: beyond it the reading thread
// parses the first of them itself, so they never gather in memory.
constexpr std::size_t kMostWaiting = 2;

// A geometry chunk's body in memory, taken apart under the stream's window
// rule: a field longer than what is left yields 0 and ends the body. One read
// of the body and plain loads here cost far less than a stream call per field.
class Body {
public:
    explicit Body(std::span<const std::byte> bytes) : bytes_(bytes) {}
    bool ended() const { return pos_ == bytes_.size(); }
    std::size_t left() const { return bytes_.size() - pos_; }

    std::uint16_t u2() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u4() { return take(4); }
    float f4() { return std::bit_cast<float>(take(4)); }
    Vec3 vec3() {
        Vec3 v;
        v.x = f4();
        v.y = f4();
        v.z = f4();
        return v;
    }
    // A variable-length index, as stream::read_vx.
    std::uint32_t vx() {
        const std::uint16_t high = u2();
        if ((high >> 8) != 0xFF) return high;
        return std::uint32_t(high & 0xFF) << 16 | u2();
    }
    // Passes over a variable-length index as vx() reads it.
    void skip_vx() {
        const bool wide = left() >= 2 && bytes_[pos_] == std::byte{0xFF};
        pos_ = std::min(bytes_.size(), pos_ + (left() < 2 ? left() : wide ? 4 : 2));
    }

private:
    std::uint32_t take(std::size_t n) {
        if (left() < n) {
            pos_ = bytes_.size();
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < n; ++k) value = value << 8 | std::to_integer<std::uint32_t>(bytes_[pos_ + k]);
        pos_ += n;
        return value;
    }

    std::span<const std::byte> bytes_;
    std::size_t pos_ = 0;
};

void parse(Body& body, Pnts& points) {
    // A point cut short by the end of the chunk still counts, as zeros.
    points.vec.reserve((body.left() + 11) / 12);
    while (!body.ended()) points.vec.push_back(body.vec3());
}

// How many polygons and corners a POLS body makes after its type: a polygon
// cut short still has all its corners, as zeros.
std::pair<std::size_t, std::size_t> count_polygons(Body body) {
    std::size_t polygons = 0, corners = 0;
    while (!body.ended()) {
        const std::size_t count = body.u2() & 0x03FF;
        for (std::size_t i = 0; i < count; ++i) body.skip_vx();
        ++polygons;
        corners += count;
    }
    return {polygons, corners};
}

void parse(Body& body, Pols& pols) {
    pols.kind = kind_of<PolsKind, Face>(body.u4(), stream::make_id("FACE"));
    // Counted first, so the lists are made once at their size.
    const auto [polygons, corners] = count_polygons(body);
    pols.polygons.reserve(polygons, corners);
    while (!body.ended()) {
        const std::uint16_t count = body.u2();
        const std::size_t corners = count & 0x03FF;
        for (std::size_t i = 0; i < corners; ++i) pols.polygons.add_corner(body.vx());
        pols.polygons.end_polygon(count & 0xFC00);
    }
}

void parse(Body& body, Ptag& ptag) {
    ptag.kind = kind_of<PtagKind, SurfTag>(body.u4(), stream::make_id("SURF"));
    ptag.entries.reserve(body.left() / 4 + 1);
    while (!body.ended()) {
        PtagEntry entry;
        entry.polygon = body.vx();
        // The tag is a plain 2-byte index into TAGS, not a variable-length one.
        entry.tag = body.u2();
        ptag.entries.push_back(entry);
    }
}

// Whether the chunk still holds an entry's values. An entry cut short by the
// end of its chunk is dropped, so that a dimension read from the file never
// sizes memory the file does not back.
bool holds_values(const Body& body, std::uint16_t dimension) { return body.left() / 4 >= dimension; }

void parse(Body& body, Vmap& vmap) {
    const std::size_t entry_bytes = 2 + 4 * std::size_t{vmap.dimension};
    vmap.entries.reserve(body.left() / entry_bytes, body.left() / entry_bytes * vmap.dimension);
    while (!body.ended()) {
        const std::uint32_t vertex = body.vx();
        if (!holds_values(body, vmap.dimension)) break;
        for (std::uint16_t k = 0; k < vmap.dimension; ++k) vmap.entries.add_value(body.f4());
        vmap.entries.end_entry(vertex);
    }
}

void parse(Body& body, Vmad& vmad) {
    const std::size_t entry_bytes = 4 + 4 * std::size_t{vmad.dimension};
    vmad.entries.reserve(body.left() / entry_bytes, body.left() / entry_bytes * vmad.dimension);
    while (!body.ended()) {
        const std::uint32_t vertex = body.vx();
        const std::uint32_t polygon = body.vx();
        if (!holds_values(body, vmad.dimension)) break;
        for (std::uint16_t k = 0; k < vmad.dimension; ++k) vmad.entries.add_value(body.f4());
        vmad.entries.end_entry(vertex, polygon);
    }
}

}  // namespace

void parse_geometry(std::span<const std::byte> bytes, Geometry& geometry) {
    Body body(bytes);
    std::visit([&](auto& chunk) { parse(body, chunk); }, geometry);
}

GeometryReading::~GeometryReading() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

void GeometryReading::add(Object& object, std::size_t layer, std::vector<std::byte> body, Geometry geometry,
                          bool surface_tags_only) {
    if (!helper_ && body.size() >= kHelperBody) start_helper();
    std::unique_lock lock(mutex_);
    if (helper_failure_) std::rethrow_exception(helper_failure_);
    jobs_.push_back({layer, std::move(body), std::move(geometry), surface_tags_only, false});
    // Without a helper each body is parsed as soon as it is read.
    const std::size_t most_waiting = helper_ ? kMostWaiting : 0;
    while (jobs_.size() - taken_ > most_waiting) parse_next(lock);
    put_parsed(object);
    lock.unlock();
    changed_.notify_all();
}

void GeometryReading::finish(Object& object) {
    std::unique_lock lock(mutex_);
    while (parse_next(lock)) {
    }
    changed_.wait(lock, [&] { return helper_failure_ || all_parsed(); });
    if (helper_failure_) std::rethrow_exception(helper_failure_);
    put_parsed(object);
    assert(jobs_.empty());
}

bool GeometryReading::all_parsed() const {
    return std::all_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.parsed; });
}

void GeometryReading::put_parsed(Object& object) {
    while (!jobs_.empty() && jobs_.front().parsed) {
        Job& job = jobs_.front();
        assert(job.layer < object.layers.size());
        Layr& layer = object.layers[job.layer];
        std::visit(Overloaded{
                       [&](Pnts& points) { layer.points = std::move(points); },
                       [&](Pols& pols) { layer.pols = std::move(pols); },
                       [&](Ptag& ptag) {
                           if (!job.surface_tags_only || std::holds_alternative<SurfTag>(ptag.kind))
                               layer.ptag = std::move(ptag);
                       },
                       [&](Vmap& vmap) { layer.vmaps.push_back(std::move(vmap)); },
                       [&](Vmad& vmad) { layer.vmads.push_back(std::move(vmad)); },
                   },
                   job.geometry);
        jobs_.pop_front();
        --taken_;
    }
}

bool GeometryReading::parse_next(std::unique_lock<std::mutex>& lock) {
    if (taken_ == jobs_.size()) return false;
    Job& job = jobs_[taken_++];
    lock.unlock();
    parse_geometry(job.body, job.geometry);
    std::vector<std::byte>().swap(job.body);
    lock.lock();
    job.parsed = true;
    changed_.notify_all();
    return true;
}

void GeometryReading::start_helper() {
    try {
        helper_.emplace([this] { help(); });
    } catch (const std::system_error&) {
        // No second thread: the reading thread parses every body.
    }
}

void GeometryReading::help() {
    std::unique_lock lock(mutex_);
    try {
        while (true) {
            changed_.wait(lock, [&] { return stopping_ || taken_ < jobs_.size(); });
            if (stopping_) return;
            parse_next(lock);
        }
    } catch (...) {
        // Out of memory: the reading thread parses what is left and throws
        // this when the object is put together.
        if (!lock.owns_lock()) lock.lock();
        helper_failure_ = std::current_exception();
        changed_.notify_all();
    }
}

}  // namespace lwofront
