// Figures of the batched display lists against the default ones.
//
//   batch_stats OBJECT.lwo        commands and vertex loads per triangle in the
//                                 default mode and batched with 32 and 16
//                                 cache slots, and the time of each mode
//   batch_stats --grid T OUT.lwo  writes a regular grid of T triangles (T even),
//                                 in layers of at most 128 x 128 cells so that
//                                 the default mode converts it too
//
// The figures are counted in the written text, as the console would run it.
// Times are processor milliseconds, the fastest of five runs; "convert" is
// the conversion alone, "convert+write" adds forming the C text in memory.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "object_file.hpp"
#include "support/lwo_builder.hpp"
#include "converter/convert.hpp"
#include "image.hpp"
#include "lwofront/reader.hpp"
#include "stream.hpp"
#include "ultraback/writer.hpp"

namespace {

// ---- the grid object ----

constexpr std::uint32_t kBlockCells = 128;  // 129 x 129 = 16641 vertices per layer

std::string grid_object(std::uint64_t triangles) {
    lwo_test::Builder b;
    b.form([&] {
        std::uint64_t cells = triangles / 2;
        for (std::uint32_t layer = 0; cells > 0; ++layer) {
            const auto rows = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(kBlockCells, (cells + kBlockCells - 1) / kBlockCells));
            const auto columns = static_cast<std::uint32_t>(std::min<std::uint64_t>(kBlockCells, cells));
            const std::uint64_t block_cells = std::min<std::uint64_t>(cells, std::uint64_t{rows} * columns);

            b.chunk("LAYR", [&] { b.u2(static_cast<std::uint16_t>(layer)).u2(0).vec3(0, 0, 0).str(""); });
            // Points row by row; layers side by side along x, 8 units a cell.
            b.chunk("PNTS", [&] {
                for (std::uint32_t r = 0; r <= rows; ++r)
                    for (std::uint32_t c = 0; c <= columns; ++c)
                        b.vec3(static_cast<float>(8 * (layer * (kBlockCells + 1) + c)), 0, static_cast<float>(8 * r));
            });
            b.chunk("POLS", [&] {
                b.id("FACE");
                const std::uint32_t stride = columns + 1;
                for (std::uint64_t k = 0; k < block_cells; ++k) {
                    const auto r = static_cast<std::uint32_t>(k / columns), c = static_cast<std::uint32_t>(k % columns);
                    const std::uint32_t p = r * stride + c;
                    const std::uint32_t tri[2][3] = {{p, p + stride + 1, p + 1}, {p, p + stride, p + stride + 1}};
                    for (const auto& t : tri) {
                        b.u2(3);
                        for (std::uint32_t v : t) b.u2(static_cast<std::uint16_t>(v));
                    }
                }
            });
            cells -= block_cells;
        }
    });
    return {reinterpret_cast<const char*>(b.bytes.data()), b.bytes.size()};
}

// ---- the figures ----

struct Figures {
    std::uint64_t triangles = 0, commands = 0, loaded = 0;
};

bool starts(std::string_view line, std::string_view prefix) { return line.substr(0, prefix.size()) == prefix; }

Figures count(std::string_view text) {
    Figures f;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (starts(line, "\tgsSPVertex(")) {
            ++f.commands;
            const std::size_t k = line.find("], ");
            f.loaded += std::strtoull(line.data() + k + 3, nullptr, 10);
        } else if (starts(line, "\tgsSP1Triangle(")) {
            ++f.commands;
            f.triangles += 1;
        } else if (starts(line, "\tgsSP2Triangles(")) {
            ++f.commands;
            f.triangles += 2;
        } else if (starts(line, "\tgsSPEndDisplayList()")) {
            ++f.commands;
        }
    }
    return f;
}

// Processor time of this process, less disturbed than wall time by other
// work on the machine.
double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

struct Mode {
    const char* name;
    bool batch;
    std::size_t cache_size;
};

int stats(const char* path) {
    Result<lwofront::Object> object = bench::read_object(path);
    if (!object) {
        std::printf("%s\n", std::string(object.error().description()).c_str());
        return 1;
    }
    const std::string dir = bench::texture_dir(path);
    const converter::LoadImage load = [](const std::string& p) { return image::Image::open(p); };

    std::printf("%-12s %10s %12s %12s %12s %14s\n", "mode", "triangles", "commands/tri", "loads/tri", "convert ms",
                "convert+write");
    for (const Mode& mode : {Mode{"default", false, 32}, Mode{"batched 32", true, 32}, Mode{"batched 16", true, 16}}) {
        const converter::Options options{.base_dir = dir,
                                         .tile = false,
                                         .batch = mode.batch,
                                         .cache_size = mode.cache_size,
                                         .scale = 1.0f,
                                         .split_surfaces = false,
                                         .vertex_colors = false,
                                         .fit_textures = false};
        std::vector<double> convert_times, total_times;
        std::string text;
        for (int run = 0; run < 5; ++run) {
            const double start = cpu_seconds();
            Result<ultraback::Mesh> mesh = converter::convert(*object, options, load, {});
            convert_times.push_back(cpu_seconds() - start);
            if (!mesh) {
                std::printf("%-12s %s\n", mode.name, std::string(mesh.error().description()).c_str());
                break;
            }
            ultraback::StringSink sink;
            (void)ultraback::save(*mesh, "mesh", sink);
            total_times.push_back(cpu_seconds() - start);
            text = std::move(sink.text);
        }
        if (total_times.empty()) continue;
        const Figures f = count(text);
        const double t = static_cast<double>(std::max<std::uint64_t>(f.triangles, 1));
        std::printf("%-12s %10llu %12.3f %12.3f %12.1f %14.1f\n", mode.name,
                    static_cast<unsigned long long>(f.triangles), static_cast<double>(f.commands) / t,
                    static_cast<double>(f.loaded) / t, 1000 * fastest(convert_times), 1000 * fastest(total_times));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--grid") {
        const std::uint64_t triangles = std::strtoull(argv[2], nullptr, 10);
        std::ofstream out(argv[3], std::ios::binary);
        const std::string bytes = grid_object(triangles);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return out ? 0 : 1;
    }
    if (argc == 2) return stats(argv[1]);
    std::printf("usage: batch_stats OBJECT.lwo | batch_stats --grid TRIANGLES OUT.lwo\n");
    return 2;
}
