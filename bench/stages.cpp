// quillmesh_bench_stages: times the stages of one conversion separately, to
// see where the time of a run goes.
//
//   quillmesh_bench_stages <object.lwo> [repeats, default 5]
//
// Each stage runs `repeats` times on the same input; the best wall time and
// the best processor time are shown (the second stays steadier on a busy
// machine), with the heap in use after the stage (malloc's own count, so
// allocator slack shows too). "save" formats into a sink that only counts
// bytes; "write" also sends them to a file in /tmp, as the program does.
// Before the object and the mesh are freed, what their lists hold is shown
// by part. "render" and "encode" are the preview of -p; "batch" is the
// extra step of -b, "batch/1" the same on one core.

#include <fcntl.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "object_file.hpp"
#include "converter/batching/batch.hpp"
#include "converter/convert.hpp"
#include "converter/batching/layer_batching.hpp"
#include "image.hpp"
#include "lwofront/reader.hpp"
#include "output_file.hpp"
#include "preview/preview.hpp"
#include "stream.hpp"
#include "ultraback/writer.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct CountingSink final : ultraback::Sink {
    Status write(std::span<const char> bytes) override {
        count += bytes.size();
        return {};
    }
    std::size_t count = 0;
};

double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};

double heap_mib() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// Runs `step` `repeats` times, each after an untimed `prepare`, and returns
// the best wall and processor times in seconds.
template <class Prepare, class Step>
Timing best_of(int repeats, Prepare&& prepare, Step&& step) {
    Timing best;
    for (int r = 0; r < repeats; ++r) {
        prepare();
        const auto start = Clock::now();
        const double cpu_start = cpu_seconds();
        step();
        best.cpu = std::min(best.cpu, cpu_seconds() - cpu_start);
        best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}


void row(std::string_view stage, Timing time, double heap) {
    std::printf("%-10s %9.1f ms %9.1f ms %10.1f MiB\n", std::string(stage).c_str(), time.wall * 1000.0,
                time.cpu * 1000.0, heap);
}

// What the object and the mesh hold, by part: the capacity of every list; for
// the flat polygon and map lists, what their items take (flags and the end of
// each polygon, point and the end of each map entry, and the corners and
// values themselves).
struct Usage {
    const char* part;
    double bytes = 0;
};

template <class T>
double list_bytes(const std::vector<T>& list) {
    return static_cast<double>(list.capacity() * sizeof(T));
}

void print_usage(const lwofront::Object& object, const ultraback::Mesh& mesh) {
    Usage usage[] = {{"object points"}, {"object polygons"}, {"object VMAP"}, {"object PTAG"},
                     {"mesh vertices"}, {"mesh primitives"}};
    for (const lwofront::Layr& layer : object.layers) {
        usage[0].bytes += list_bytes(layer.points.vec);
        for (const lwofront::Polygon polygon : layer.pols.polygons) {
            usage[1].bytes += static_cast<double>(2 + 4 + 4 * polygon.vertices.size());
        }
        for (const lwofront::Vmap& vmap : layer.vmaps) {
            for (const lwofront::VmapEntry entry : vmap.entries) {
                usage[2].bytes += static_cast<double>(4 + 4 + 4 * entry.values.size());
            }
        }
        usage[3].bytes += static_cast<double>(layer.ptag.entries.size() * sizeof(lwofront::PtagEntry));
    }
    for (const ultraback::Layer& layer : mesh.layers) {
        usage[4].bytes += list_bytes(layer.vertices);
        usage[5].bytes += list_bytes(layer.primitives);
    }
    for (const Usage& u : usage) std::printf("  %-16s %8.1f MiB\n", u.part, u.bytes / (1024.0 * 1024.0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: quillmesh_bench_stages <object.lwo> [repeats]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int repeats = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;

    std::printf("%-10s %12s %12s %14s\n", "stage", "wall", "cpu", "heap after");
    std::optional<lwofront::Object> object;
    const Timing read = best_of(repeats, [&] { object.reset(); }, [&] {
        if (auto loaded = bench::read_object(path)) object = std::move(*loaded);
    });
    if (!object) {
        std::fprintf(stderr, "quillmesh_bench_stages: cannot read %s\n", path.c_str());
        return 1;
    }
    row("read", read, heap_mib());

    const converter::Options options{.base_dir = bench::texture_dir(path),
                                     .tile = false,
                                     .batch = false,
                                     .cache_size = 32,
                                     .scale = 1.0f,
                                     .split_surfaces = false,
                                     .vertex_colors = false,
                                     .fit_textures = false};
    const converter::LoadImage load_image = [](const std::string& p) { return image::Image::open(p); };
    std::optional<ultraback::Mesh> mesh;
    const Timing convert = best_of(repeats, [&] { mesh.reset(); }, [&] {
        Result<ultraback::Mesh> converted = converter::convert(*object, options, load_image, {});
        if (converted) mesh = std::move(*converted);
    });
    if (!mesh) {
        std::fprintf(stderr, "quillmesh_bench_stages: cannot convert %s\n", path.c_str());
        return 1;
    }
    row("convert", convert, heap_mib());

    CountingSink counter;
    const Timing save = best_of(repeats, [&] { counter.count = 0; }, [&] {
        (void)ultraback::save(*mesh, "mesh", counter);
    });
    row("save", save, heap_mib());

    const std::string out_path = "/tmp/quillmesh_bench_stages.c";
    const Timing write = best_of(repeats, [&] { unlink(out_path.c_str()); }, [&] {
        const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        output::FdSink sink(fd);
        (void)ultraback::save(*mesh, "mesh", sink);
        close(fd);
    });
    unlink(out_path.c_str());
    row("write", write, heap_mib());

    // The -p preview: drawing the four views, then the PNG encoding.
    std::optional<preview::Picture> picture;
    const Timing render = best_of(repeats, [&] { picture.reset(); }, [&] { picture = preview::render(*mesh); });
    row("render", render, heap_mib());
    std::size_t png_bytes = 0;
    const Timing encode = best_of(repeats, [] {}, [&] {
        if (auto png = preview::encode_png(*picture)) png_bytes = png->size();
    });
    row("encode", encode, heap_mib());
    picture.reset();

    // -b: every layer of a copy of the mesh redrawn through the vertex cache,
    // on all cores, then on one.
    std::optional<ultraback::Mesh> batched;
    const Timing batch = best_of(repeats, [&] { batched = *mesh; }, [&] {
        converter::LayerBatching batching(converter::kDefaultCacheSize, batched->layers.size());
        batching.hand_over(batched->layers, 0);
        batching.finish(batched->layers);
    });
    row("batch", batch, heap_mib());
    const Timing batch_one = best_of(repeats, [&] { batched = *mesh; }, [&] {
        for (ultraback::Layer& layer : batched->layers) converter::batch_layer(layer, converter::kDefaultCacheSize);
    });
    row("batch/1", batch_one, heap_mib());
    batched.reset();

    std::printf("held after convert, by part:\n");
    print_usage(*object, *mesh);
    const Timing free_all = best_of(1, [] {}, [&] {
        mesh.reset();
        object.reset();
    });
    row("free", free_all, heap_mib());
    std::printf("output %zu bytes, preview %zu bytes\n", counter.count, png_bytes);
    return 0;
}
