#pragma once
// Geometry chunk bodies (PNTS, POLS, PTAG, VMAP, VMAD) taken apart in memory,
// and `GeometryReading`, which parses a large object's bodies on a second
// core while the next are read and puts each into its layer in file order,
// so the object is the same on any number of cores.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <variant>
#include <vector>

#include "lwofront/model.hpp"

namespace lwofront {

// What one geometry chunk becomes; a map arrives with its header read.
using Geometry = std::variant<Pnts, Pols, Ptag, Vmap, Vmad>;

// Fills `geometry` from a chunk body (after a map's header). A field cut
// short by the end of the body reads as zeros; a map entry cut short is
// dropped.
void parse_geometry(std::span<const std::byte> body, Geometry& geometry);

class GeometryReading {
public:
    GeometryReading() = default;
    ~GeometryReading();
    GeometryReading(const GeometryReading&) = delete;
    GeometryReading& operator=(const GeometryReading&) = delete;

    // A chunk body for object.layers[layer]. With `surface_tags_only` a PTAG
    // replaces the layer's tags only when they are of type SURF. The bodies
    // parsed by now, from the first on, are put into their layers.
    void add(Object& object, std::size_t layer, std::vector<std::byte> body, Geometry geometry,
             bool surface_tags_only = false);
    // Every body added is parsed and put into its layer. Out of memory on the
    // helper is thrown here.
    void finish(Object& object);

private:
    struct Job {
        std::size_t layer = 0;
        std::vector<std::byte> body;  // let go once parsed
        Geometry geometry;
        bool surface_tags_only = false;
        bool parsed = false;
    };

    void start_helper();
    void help();
    bool all_parsed() const;
    // Puts the parsed jobs at the front into their layers, in order. Called
    // by the reading thread with the lock held.
    void put_parsed(Object& object);
    // Takes the first job not yet taken and parses it on the calling thread;
    // false when every job is taken. Called with `lock` held.
    bool parse_next(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;  // in file order; a deque, so a job stays put while parsed
    std::size_t taken_ = 0;  // jobs before this are parsed or being parsed
    bool stopping_ = false;
    std::exception_ptr helper_failure_;
    std::optional<std::jthread> helper_;  // last, so that it stops before the rest goes
};

}  // namespace lwofront
