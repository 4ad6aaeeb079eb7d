// quillmesh_samplegen: writes the sample objects bundled in examples/ and
// large textured grids for timing the converter.
//
//   quillmesh_samplegen examples <dir>              the samples, one folder each
//   quillmesh_samplegen grid <triangles> <out.lwo> [<degrees>]
//                                                   a benchmark grid, its PNG beside it; with
//                                                   degrees, its surface has that smoothing
//                                                   angle (for timing lit normals, -l)
//
// Objects are LWO2 bytes from the tests' byte builder, textures PNG files from
// stb_image_write. Nothing depends on the clock, a random seed or the
// platform's maths library, so every run writes the same bytes.

#include <stb/stb_image_write.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/lwo_builder.hpp"

namespace {

namespace fs = std::filesystem;

// ---- A small object description, written out as LWO2 -----------------------

struct Point {
    float x = 0, y = 0, z = 0;
};

struct Uv {
    float u = 0, v = 0;
};

struct Face {
    std::vector<std::uint32_t> corners;  // clockwise seen from the front, as LightWave keeps them
    std::uint16_t surface = 0;           // position in Object::surfaces, which is also its tag
};

// Point `point` takes the texture value `uv` in polygon `polygon` only (VMAD).
struct Seam {
    std::uint32_t point = 0;
    std::uint32_t polygon = 0;
    Uv uv;
};

struct Layer {
    std::string name;
    std::vector<Point> points;
    std::vector<Uv> uvs;  // one per point, or none for a layer without texture map
    std::vector<Face> faces;
    std::vector<Seam> seams;
};

struct Surface {
    std::string name;
    Point color;
    std::uint32_t clip = 0;  // image clip counted from 1; 0 for an untextured surface
    float smoothing = 0;     // smoothing angle in radians (SMAN); 0 writes none
};

struct Object {
    std::vector<Layer> layers;
    std::vector<Surface> surfaces;
    std::vector<std::string> clips;  // image file names, stored without a directory
};

constexpr std::string_view kUvMapName = "UVMap";

void write_layer(lwo_test::Builder& b, const Layer& layer, std::uint16_t number) {
    b.chunk("LAYR", [&] { b.u2(number).u2(0).vec3(0, 0, 0).str(layer.name); });
    b.chunk("PNTS", [&] {
        for (const Point& p : layer.points) b.vec3(p.x, p.y, p.z);
    });
    // The reader skips the bounding box; real files always have one.
    b.chunk("BBOX", [&] {
        Point low = layer.points.empty() ? Point{} : layer.points.front();
        Point high = low;
        for (const Point& p : layer.points) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
        b.vec3(low.x, low.y, low.z).vec3(high.x, high.y, high.z);
    });
    if (!layer.uvs.empty()) {
        b.chunk("VMAP", [&] {
            b.id("TXUV").u2(2).str(kUvMapName);
            for (std::uint32_t i = 0; i < layer.uvs.size(); ++i) b.vx(i).f4(layer.uvs[i].u).f4(layer.uvs[i].v);
        });
    }
    b.chunk("POLS", [&] {
        b.id("FACE");
        for (const Face& face : layer.faces) {
            b.u2(static_cast<std::uint16_t>(face.corners.size()));
            for (std::uint32_t corner : face.corners) b.vx(corner);
        }
    });
    b.chunk("PTAG", [&] {
        b.id("SURF");
        for (std::uint32_t i = 0; i < layer.faces.size(); ++i) b.vx(i).u2(layer.faces[i].surface);
    });
    if (!layer.seams.empty()) {
        b.chunk("VMAD", [&] {
            b.id("TXUV").u2(2).str(kUvMapName);
            for (const Seam& seam : layer.seams) b.vx(seam.point).vx(seam.polygon).f4(seam.uv.u).f4(seam.uv.v);
        });
    }
}

// An image map block as modelling tools write it: UV projection through the
// layer's texture map, repeating in both directions.
void write_image_block(lwo_test::Builder& b, std::uint32_t clip) {
    b.sub("BLOK", [&] {
        b.sub("IMAP", [&] {
            b.str("\x80");  // ordinal
            b.sub("CHAN", [&] { b.id("COLR"); });
            b.sub("OPAC", [&] { b.u2(0).f4(1).vx(0); });
            b.sub("ENAB", [&] { b.u2(1); });
        });
        b.sub("TMAP", [&] {
            b.sub("CNTR", [&] { b.vec3(0, 0, 0).vx(0); });
            b.sub("SIZE", [&] { b.vec3(1, 1, 1).vx(0); });
            b.sub("ROTA", [&] { b.vec3(0, 0, 0).vx(0); });
            b.sub("FALL", [&] { b.u2(0).vec3(0, 0, 0).vx(0); });
            b.sub("OREF", [&] { b.str("(none)"); });
            b.sub("CSYS", [&] { b.u2(0); });
        });
        b.sub("PROJ", [&] { b.u2(5); });  // 5: UV
        b.sub("AXIS", [&] { b.u2(2); });
        b.sub("IMAG", [&] { b.vx(clip); });
        b.sub("WRAP", [&] { b.u2(1).u2(1); });  // 1: repeat
        b.sub("WRPW", [&] { b.f4(1).vx(0); });
        b.sub("WRPH", [&] { b.f4(1).vx(0); });
        b.sub("VMAP", [&] { b.str(kUvMapName); });
        b.sub("AAST", [&] { b.u2(1).f4(1); });
        b.sub("PIXB", [&] { b.u2(1); });
    });
}

std::vector<std::byte> lwo_bytes(const Object& object) {
    lwo_test::Builder b;
    b.form([&] {
        b.chunk("TAGS", [&] {
            for (const Surface& surface : object.surfaces) b.str(surface.name);
        });
        for (std::size_t i = 0; i < object.layers.size(); ++i) {
            write_layer(b, object.layers[i], static_cast<std::uint16_t>(i));
        }
        for (std::uint32_t i = 0; i < object.clips.size(); ++i) {
            b.chunk("CLIP", [&] {
                b.u4(i + 1);
                b.sub("STIL", [&] { b.str(object.clips[i]); });
            });
        }
        for (const Surface& surface : object.surfaces) {
            b.chunk("SURF", [&] {
                b.str(surface.name).str("");
                b.sub("COLR", [&] { b.vec3(surface.color.x, surface.color.y, surface.color.z).vx(0); });
                b.sub("DIFF", [&] { b.f4(1).vx(0); });
                if (surface.smoothing > 0) b.sub("SMAN", [&] { b.f4(surface.smoothing); });
                if (surface.clip != 0) write_image_block(b, surface.clip);
            });
        }
    });
    return std::move(b.bytes);
}

// ---- Images -----------------------------------------------------------------

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // top row first

    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h)) {}
    Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool write_file(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) std::fprintf(stderr, "quillmesh_samplegen: cannot write %s\n", path.string().c_str());
    return static_cast<bool>(out);
}

bool write_png(const fs::path& path, const Image& image) {
    std::vector<unsigned char> png;
    if (stbi_write_png_to_func(append_bytes, &png, image.width, image.height, 4, image.pixels.data(),
                               image.width * 4) == 0) {
        std::fprintf(stderr, "quillmesh_samplegen: cannot encode %s\n", path.string().c_str());
        return false;
    }
    return write_file(path, png.data(), png.size());
}

bool write_lwo(const fs::path& path, const Object& object) {
    std::vector<std::byte> bytes = lwo_bytes(object);
    return write_file(path, bytes.data(), bytes.size());
}

// 32 x 32, four colours: a wooden crate side with a frame, planks and a brace.
Image crate_image() {
    const Rgba frame{92, 58, 30}, plank{181, 129, 74}, gap{140, 96, 52}, brace{120, 80, 40};
    Image image(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            Rgba c = y % 8 == 7 ? gap : plank;
            if (x - y >= -2 && x - y <= 2) c = brace;
            if (x < 3 || y < 3 || x > 28 || y > 28) c = frame;
            image.at(x, y) = c;
        }
    }
    return image;
}

// 64 x 64, a colour ramp: every pixel its own colour, so it stays 16-bit RGBA.
Image gradient_image() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            image.at(x, y) = {static_cast<std::uint8_t>(x * 4 + 2), static_cast<std::uint8_t>(y * 4 + 2),
                              static_cast<std::uint8_t>(255 - x * 2 - y), 255};
        }
    }
    return image;
}

// 64 x 32, eight vertical bands between black borders: any jump in the
// texture coordinates across the seam shows as a broken band.
Image stripes_image() {
    const Rgba bands[8] = {{230, 60, 50},  {240, 150, 40}, {240, 220, 60}, {90, 190, 70},
                           {50, 170, 190}, {60, 90, 200},  {140, 70, 190}, {220, 90, 170}};
    Image image(64, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) image.at(x, y) = y < 2 || y > 29 ? Rgba{0, 0, 0} : bands[x / 8];
    }
    return image;
}

// 32 x 32, bricks in a running bond: mortar and two brick shades.
Image brick_image() {
    const Rgba mortar{200, 195, 185}, red{170, 70, 50}, dark{140, 55, 40};
    Image image(32, 32);
    for (int y = 0; y < 32; ++y) {
        const int row = y / 8;
        for (int x = 0; x < 32; ++x) {
            const int shifted = x + (row % 2) * 8;
            const bool joint = y % 8 == 7 || shifted % 16 == 15;
            image.at(x, y) = joint ? mortar : ((shifted / 16 + row) % 3 == 0 ? dark : red);
        }
    }
    return image;
}

// 16 x 16, three greens in a fixed scatter.
Image grass_image() {
    const Rgba greens[3] = {{70, 140, 50}, {90, 165, 60}, {55, 115, 40}};
    Image image(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) image.at(x, y) = greens[(x * 7 + y * 11 + x * y) % 3];
    }
    return image;
}

// 256 x 256 for the benchmark grid: a 16-colour checkerboard of 16-pixel
// squares, so it becomes a CI4 texture over the TMEM budget.
Image grid_image() {
    Image image(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int k = (x / 16 + y / 16 * 3) % 16;
            image.at(x, y) = {static_cast<std::uint8_t>(k * 16), static_cast<std::uint8_t>(255 - k * 12),
                              static_cast<std::uint8_t>(k % 2 == 0 ? 60 : 200), 255};
        }
    }
    return image;
}

// ---- Geometry helpers -------------------------------------------------------

struct IntVec {
    int x = 0, y = 0, z = 0;
};

IntVec operator*(int k, IntVec v) { return {k * v.x, k * v.y, k * v.z}; }
IntVec operator+(IntVec a, IntVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Point to_point(IntVec v) { return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}; }

// A box of half size `half` around the origin, four points per side so that
// every side shows the whole texture. Each side lists its corners bottom-left,
// top-left, top-right, bottom-right as seen from outside, with `right` x `up`
// pointing inwards.
Layer box_layer(int half) {
    struct Side {
        IntVec normal, right, up;
    };
    const Side sides[6] = {
        {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},  {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
    };
    const int corner_u[4] = {0, 0, 1, 1};
    const int corner_v[4] = {0, 1, 1, 0};
    Layer layer;
    layer.name = "Box";
    for (const Side& side : sides) {
        Face face;
        for (int k = 0; k < 4; ++k) {
            const IntVec p = half * side.normal + (2 * corner_u[k] - 1) * half * side.right +
                             (2 * corner_v[k] - 1) * half * side.up;
            face.corners.push_back(static_cast<std::uint32_t>(layer.points.size()));
            layer.points.push_back(to_point(p));
            layer.uvs.push_back({static_cast<float>(corner_u[k]), static_cast<float>(corner_v[k])});
        }
        layer.faces.push_back(face);
    }
    return layer;
}

// Four walls around x0..x1, z0..z1 from y0 to y1, open at top and bottom:
// points 0-3 the bottom ring, 4-7 the top ring, walls facing -z, +x, +z, -x.
void add_walls(Layer& layer, int x0, int x1, int z0, int z1, int y0, int y1, std::uint16_t surface) {
    const auto first = static_cast<std::uint32_t>(layer.points.size());
    const int ring_x[4] = {x0, x1, x1, x0};
    const int ring_z[4] = {z0, z0, z1, z1};
    for (int y : {y0, y1}) {
        for (int k = 0; k < 4; ++k) layer.points.push_back(to_point({ring_x[k], y, ring_z[k]}));
    }
    for (std::uint32_t k = 0; k < 4; ++k) {
        const std::uint32_t next = (k + 1) % 4;
        layer.faces.push_back({{first + k, first + 4 + k, first + 4 + next, first + next}, surface});
    }
}

// ---- The bundled samples ----------------------------------------------------

// One side of the crate texture on each side of a box; the texture is CI4 and
// fits texture memory.
bool write_textured_box(const fs::path& dir) {
    Object object;
    object.surfaces = {{"Crate", {1, 1, 1}, 1}};
    object.clips = {"box.png"};
    object.layers = {box_layer(64)};
    return write_png(dir / "box.png", crate_image()) && write_lwo(dir / "box.lwo", object);
}

// A square of 2 x 2 quads under a 64 x 64 texture of more than 16 colours:
// 16-bit RGBA, four times the TMEM budget. With -t each quad becomes a layer
// of its own with the rectangle of the texture it covers.
bool write_big_texture(const fs::path& dir) {
    Layer layer;
    layer.name = "Plane";
    for (int row = 0; row <= 2; ++row) {
        for (int column = 0; column <= 2; ++column) {
            layer.points.push_back(to_point({column * 128 - 128, 0, row * 128 - 128}));
            layer.uvs.push_back({static_cast<float>(column) / 2, static_cast<float>(row) / 2});
        }
    }
    auto point = [](int column, int row) { return static_cast<std::uint32_t>(row * 3 + column); };
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            layer.faces.push_back({{point(column, row), point(column, row + 1), point(column + 1, row + 1),
                                    point(column + 1, row)},
                                   0});
        }
    }
    Object object;
    object.surfaces = {{"Gradient", {1, 1, 1}, 1}};
    object.clips = {"gradient.png"};
    object.layers = {layer};
    return write_png(dir / "gradient.png", gradient_image()) && write_lwo(dir / "plane.lwo", object);
}

// An open octagonal tube unwrapped around its side. The texture map gives the
// points of the first column u = 0; the last column of quads closes the tube
// on those same points, where the texture needs u = 1, so two VMAD entries
// give them that value in the last quad only.
bool write_seam(const fs::path& dir) {
    // An octagon of radius 100; 70.71068 is 100 x cos 45 degrees.
    const float ring_x[8] = {100, 70.71068f, 0, -70.71068f, -100, -70.71068f, 0, 70.71068f};
    const float ring_z[8] = {0, 70.71068f, 100, 70.71068f, 0, -70.71068f, -100, -70.71068f};
    Layer layer;
    layer.name = "Tube";
    for (int ring = 0; ring < 2; ++ring) {
        for (int k = 0; k < 8; ++k) {
            layer.points.push_back({ring_x[k], static_cast<float>(ring * 200), ring_z[k]});
            layer.uvs.push_back({static_cast<float>(k) / 8, static_cast<float>(ring)});
        }
    }
    for (std::uint32_t k = 0; k < 8; ++k) {
        const std::uint32_t next = (k + 1) % 8;
        layer.faces.push_back({{k, 8 + k, 8 + next, next}, 0});
    }
    layer.seams = {{0, 7, {1, 0}}, {8, 7, {1, 1}}};
    Object object;
    object.surfaces = {{"Stripes", {1, 1, 1}, 1}};
    object.clips = {"stripes.png"};
    object.layers = {layer};
    return write_png(dir / "stripes.png", stripes_image()) && write_lwo(dir / "tube.lwo", object);
}

// A house on a hexagonal lawn, in three layers over three surfaces:
// layer 0 the brick walls (quads) and the roof (triangles), two surfaces in
// one layer; layer 1 the lawn, one polygon of six corners; layer 2 a chimney
// in the untextured roof colour, without a texture map.
bool write_multi_layer(const fs::path& dir) {
    enum : std::uint16_t { kBrick, kRoof, kGrass };

    Layer house;
    house.name = "House";
    add_walls(house, -64, 64, -64, 64, 0, 96, kBrick);
    house.points.push_back({0, 144, 0});  // the roof's apex, point 8
    for (std::uint32_t k = 0; k < 4; ++k) house.faces.push_back({{4 + k, 8, 4 + (k + 1) % 4}, kRoof});
    // Each wall spans the texture once, every other one mirrored.
    house.uvs = {{0, 0}, {1, 0}, {0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 1}, {1, 1}, {0.5f, 1}};

    // A regular hexagon of radius 160; 138.56406 is 160 x sin 60 degrees.
    const float hex_x[6] = {160, 80, -80, -160, -80, 80};
    const float hex_z[6] = {0, 138.56406f, 138.56406f, 0, -138.56406f, -138.56406f};
    Layer lawn;
    lawn.name = "Lawn";
    Face hexagon{{}, kGrass};
    for (std::uint32_t k = 0; k < 6; ++k) {
        lawn.points.push_back({hex_x[k], 0, hex_z[k]});
        lawn.uvs.push_back({(hex_x[k] + 160) / 320, (hex_z[k] + 160) / 320});
        hexagon.corners.push_back((6 - k) % 6);  // 0, 5, 4, ...: clockwise seen from above
    }
    lawn.faces = {hexagon};

    Layer chimney;
    chimney.name = "Chimney";
    add_walls(chimney, 24, 44, -10, 10, 100, 150, kRoof);

    Object object;
    object.surfaces = {{"Brick", {1, 1, 1}, 1}, {"Roof", {0.6f, 0.2f, 0.15f}, 0}, {"Grass", {1, 1, 1}, 2}};
    object.clips = {"brick.png", "grass.png"};
    object.layers = {house, lawn, chimney};
    return write_png(dir / "brick.png", brick_image()) && write_png(dir / "grass.png", grass_image()) &&
           write_lwo(dir / "house.lwo", object);
}

bool write_examples(const fs::path& root) {
    struct Sample {
        const char* folder;
        bool (*write)(const fs::path&);
    };
    const Sample samples[] = {{"textured_box", write_textured_box},
                              {"big_texture", write_big_texture},
                              {"seam", write_seam},
                              {"multi_layer", write_multi_layer}};
    for (const Sample& sample : samples) {
        const fs::path dir = root / sample.folder;
        std::error_code error;
        fs::create_directories(dir, error);
        if (error) {
            std::fprintf(stderr, "quillmesh_samplegen: cannot create %s\n", dir.string().c_str());
            return false;
        }
        if (!sample.write(dir)) return false;
    }
    return true;
}

// ---- The benchmark grid -----------------------------------------------------

// Every grid cell is one quad, which the converter draws as two triangles, so
// a grid of T triangles has (T + 1) / 2 quads. A full layer is 171 x 171
// cells on 172 x 172 = 29584 points, plus up to four points split by VMAD
// entries: below 30000 vertices. The layers lie side by side in a square.
// The bumps tilt neighbouring cells to one of two normals 82 degrees apart,
// so a smoothing angle above that smooths every point and one below splits
// most points in two.
constexpr std::uint32_t kCells = 171;
constexpr std::uint32_t kCellsPerLayer = kCells * kCells;
constexpr int kStep = 4;
constexpr std::uint32_t kMaxTriangles = 10'000'000;

Layer grid_layer(std::uint32_t cells, int origin_x, int origin_z) {
    const std::uint32_t rows = (cells + kCells - 1) / kCells;
    const std::uint32_t row_points = kCells + 1;
    Layer layer;
    layer.name = "Grid";
    layer.points.reserve((rows + 1) * row_points);
    layer.uvs.reserve((rows + 1) * row_points);
    for (std::uint32_t r = 0; r <= rows; ++r) {
        for (std::uint32_t c = 0; c <= kCells; ++c) {
            const int bump = static_cast<int>((c * 7 + r * 13) % 5);  // gentle, varied normals
            layer.points.push_back(to_point({origin_x + static_cast<int>(c) * kStep, bump,
                                             origin_z + static_cast<int>(r) * kStep}));
            layer.uvs.push_back({static_cast<float>(c) / kCells, static_cast<float>(r) / kCells});
        }
    }
    auto point = [&](std::uint32_t c, std::uint32_t r) { return r * row_points + c; };
    layer.faces.reserve(cells);
    for (std::uint32_t i = 0; i < cells; ++i) {
        const std::uint32_t c = i % kCells, r = i / kCells;
        layer.faces.push_back({{point(c, r), point(c, r + 1), point(c + 1, r + 1), point(c + 1, r)}, 0});
    }
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(4, cells); ++i) {
        layer.seams.push_back({point(i, 0), i, {(static_cast<float>(i) + 0.5f) / kCells, 0.5f / kCells}});
    }
    return layer;
}

bool write_grid(std::uint32_t triangles, const fs::path& out, float smoothing) {
    const std::uint32_t quads = triangles / 2 + triangles % 2;
    const std::uint32_t layer_count = (quads + kCellsPerLayer - 1) / kCellsPerLayer;
    std::uint32_t side = 1;  // layers per row of the square
    while (side * side < layer_count) ++side;
    const int half_extent = static_cast<int>(side * kCells) * kStep / 2;

    const std::string image_name = out.stem().string() + ".png";
    Object object;
    object.surfaces = {{"Grid", {1, 1, 1}, 1, smoothing}};
    object.clips = {image_name};
    object.layers.reserve(layer_count);
    for (std::uint32_t l = 0; l < layer_count; ++l) {
        const std::uint32_t cells = std::min(kCellsPerLayer, quads - l * kCellsPerLayer);
        object.layers.push_back(grid_layer(cells, static_cast<int>(l % side * kCells) * kStep - half_extent,
                                           static_cast<int>(l / side * kCells) * kStep - half_extent));
    }
    return write_png(out.parent_path() / image_name, grid_image()) && write_lwo(out, object);
}

int usage() {
    std::fprintf(stderr,
                 "Usage: quillmesh_samplegen examples <dir>\n"
                 "       quillmesh_samplegen grid <triangles> <out.lwo> [<smoothing degrees>]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "examples") return write_examples(fs::path(args[1])) ? 0 : 1;
    if ((args.size() == 3 || args.size() == 4) && args[0] == "grid") {
        std::uint32_t triangles = 0;
        const std::string_view text = args[1];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), triangles);
        if (error != std::errc{} || end != text.data() + text.size() || triangles == 0 ||
            triangles > kMaxTriangles) {
            std::fprintf(stderr, "quillmesh_samplegen: the triangle count must be 1 to %u\n",
                         static_cast<unsigned>(kMaxTriangles));
            return 2;
        }
        unsigned degrees = 0;
        if (args.size() == 4) {
            const std::string_view angle = args[3];
            const auto [at, bad] = std::from_chars(angle.data(), angle.data() + angle.size(), degrees);
            if (bad != std::errc{} || at != angle.data() + angle.size() || degrees == 0 || degrees > 180) {
                std::fprintf(stderr, "quillmesh_samplegen: the smoothing angle must be 1 to 180 degrees\n");
                return 2;
            }
        }
        const float radians = static_cast<float>(degrees) * 3.14159265f / 180.0f;
        return write_grid(triangles, fs::path(args[2]), radians) ? 0 : 1;
    }
    return usage();
}
