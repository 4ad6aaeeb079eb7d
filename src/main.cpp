// The driver: settings from the command line, then read, scale, convert and
// write, in that order. Errors, warnings and their hints go to standard
// error, so that a build log shows them even when standard output is thrown
// away; the banner, help, version and the lines that say what was done to a
// texture go to standard output, unless the output is standard output
// itself. Exit status: 0 for success, the banner, help and version, 1 for a
// run that fails, 2 for a refused command line.

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <string>
#include <system_error>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "cli.hpp"
#include "converter/convert.hpp"
#include "depfile.hpp"
#include "heap.hpp"
#include "image.hpp"
#include "interrupt.hpp"
#include "lwofront/reader.hpp"
#include "output_file.hpp"
#include "preview/preview.hpp"
#include "stream.hpp"
#include "ultraback/header.hpp"
#include "ultraback/layer_writing.hpp"
#include "ultraback/writer.hpp"
#include "warning_line.hpp"

namespace {

constexpr int kFailed = 1;
constexpr int kRefused = 2;

// Standard output, or standard error when the C text or the rule goes to
// standard output (-o -, -o /dev/stdout), where news would land inside it.
FILE* news_stream = stdout;

// Errors, warnings and hints.
void print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

// What the program was asked to say, or did beyond the plain conversion.
void print_news(std::string_view text) { std::fwrite(text.data(), 1, text.size(), news_stream); }

void choose_news_stream(const cli::Settings& settings) {
    if (output::is_same_file(STDOUT_FILENO, settings.output_path) ||
        (settings.depfile && output::is_same_file(STDOUT_FILENO, *settings.depfile)) ||
        (settings.header && output::is_same_file(STDOUT_FILENO, *settings.header)))
        news_stream = stderr;
}

// A failure's fixed line, then, where it helps, a line that says more.
int fail(const Error& error) {
    print(error.description());
    print("\n");
    if (!error.hint.empty()) print(warning_line("Hint: " + error.hint + "\n"));
    return kFailed;
}

// A file that could not be opened or made: the fixed line, then the path and
// the system's reason.
int fail_on_file(std::string_view message, const std::string& path, std::string_view reason) {
    print(message);
    print(warning_line(path + ": " + std::string(reason) + "\n"));
    return kFailed;
}

// Owns the input descriptor for the whole run.
struct InputFile {
    explicit InputFile(int fd) : fd(fd) {}
    ~InputFile() {
        if (fd >= 0) close(fd);
    }
    int fd;
};

using PreviewBytes = std::future<Result<std::vector<char>>>;
using BlankCanvas = std::future<preview::Canvas>;

// Runs `work` on a thread of its own; without a thread to be had, when its
// result is asked for. A failed start may have moved from what it was
// given, so each start gets its own copy.
template <typename Work>
auto start_thread(const Work& work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, work);
    }
}

// The picture of the mesh as written, as PNG bytes. It only reads the mesh,
// so it is drawn on another thread while the C text is formatted and
// written, into the canvas made while the layers were.
PreviewBytes start_preview(const ultraback::Mesh& mesh, BlankCanvas& blank) {
    return start_thread([&mesh, &blank] { return preview::encode_png(preview::render(mesh, blank.get())); });
}

// The picture, into the preview's temporary file.
Status write_preview(PreviewBytes& bytes, const output::OutputFile& file) {
    Result<std::vector<char>> png = bytes.get();
    if (!png) return std::unexpected(png.error());
    output::FdSink sink(file.fd);
    return sink.write(*png);
}

// The directory of a path as the rule names it: "." for a bare name.
std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What the rule names: the input, then each image tried, or for an image
// that is not there, the folder it would be put in. A missing file in a rule
// is out of date in every build (make remakes its empty rule each time, and
// CMake's Makefile generator then converts twice a build), while the folder
// is newer than the output only once an image is added to it. A folder that
// the outputs are written into is newer after every run, so there the
// missing image itself is named, as for a deleted one.
std::vector<std::string> rule_dependencies(const cli::Settings& settings, std::vector<std::string> dependencies) {
    std::vector<struct stat> output_folders;
    for (const std::optional<std::string>& path :
         {std::optional(settings.output_path), settings.depfile, settings.preview, settings.header}) {
        struct stat folder;
        if (!path) continue;
        if (Result<output::Place> place = output::resolve(*path); place && fstat(place->dir_fd, &folder) == 0)
            output_folders.push_back(folder);
    }
    for (std::size_t k = 1; k < dependencies.size(); ++k) {
        struct stat info;
        if (stat(dependencies[k].c_str(), &info) == 0) continue;
        const std::string folder = folder_of(dependencies[k]);
        if (stat(folder.c_str(), &info) != 0) continue;
        const bool written_to = std::any_of(output_folders.begin(), output_folders.end(), [&](const struct stat& out) {
            return out.st_dev == info.st_dev && out.st_ino == info.st_ino;
        });
        if (!written_to) dependencies[k] = folder;
    }
    return dependencies;
}

// The first path a Make rule cannot carry, or nullptr.
const std::string* unwritable_dependency(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        if (!depfile::make_can_carry(path)) return &path;
    return nullptr;
}

int refuse_dependency(const std::string& path) {
    print(warning_line("A dependency's path holds a control character that a Make rule cannot carry: " + path));
    print("\n");
    return kFailed;
}

// The input's length, when it is a file that has one: a FIFO, a socket or a
// terminal has none, and reading it could wait for ever. Devices that seek,
// such as /dev/null, have one.
std::optional<std::uint64_t> input_length(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode)))
        return std::nullopt;
    // Opened without blocking so that a FIFO cannot stall the open; reads
    // block again.
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) return std::nullopt;
    off_t length = lseek(fd, 0, SEEK_END);
    if (length < 0 || lseek(fd, 0, SEEK_SET) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(length);
}

// The lines the stages have to say. Warnings, with the hint that may follow
// one, go to standard error; -q leaves them out unless -e makes them errors,
// which are always printed. Notes (how -r fitted a texture) say what was done
// and are no fault: they go with the news, and -q leaves them out.
struct Messages {
    const cli::Settings& settings;
    bool warned = false;  // a hint only follows a warning, so it counts alike

    void warning(std::string_view line) {
        warned = true;
        if (!settings.quiet || settings.warnings_are_errors) print(line);
    }
    void note(std::string_view line) const {
        if (!settings.quiet) print_news(line);
    }
    converter::Warn to_warn() {
        return [this](std::string_view line) { warning(line); };
    }
    converter::Note to_note() const {
        return [this](std::string_view line) { note(line); };
    }
};

int refuse(std::string_view message) {
    print(message);
    return kRefused;
}

// Two outputs that are one file would replace each other; the message names
// the option to change.
int refuse_clashing_outputs(const cli::Settings& settings) {
    if (settings.depfile && output::is_same_target(settings.output_path, *settings.depfile))
        return refuse("Dependency file is the output file; choose another with -d\n");
    // Otherwise the picture, committed first, would be replaced by the file.
    if (settings.preview && (output::is_same_target(settings.output_path, *settings.preview) ||
                             (settings.depfile && output::is_same_target(*settings.depfile, *settings.preview))))
        return refuse("Preview file is the output or dependency file; choose another with -p\n");
    if (settings.header && (output::is_same_target(settings.output_path, *settings.header) ||
                            (settings.depfile && output::is_same_target(*settings.depfile, *settings.header)) ||
                            (settings.preview && output::is_same_target(*settings.preview, *settings.header))))
        return refuse("Header file is the output, dependency or preview file; choose another with -H\n");
    return 0;
}

// An output that is the input would destroy the object; the message names
// the option whose path is the input's.
int refuse_overwriting_input(int input_fd, const cli::Settings& settings) {
    if (output::is_same_file(input_fd, settings.output_path))
        return refuse("Output file is the input file; choose another with -o\n");
    if (settings.depfile && output::is_same_file(input_fd, *settings.depfile))
        return refuse("Dependency file is the input file; choose another with -d\n");
    if (settings.preview && output::is_same_file(input_fd, *settings.preview))
        return refuse("Preview file is the input file; choose another with -p\n");
    if (settings.header && output::is_same_file(input_fd, *settings.header))
        return refuse("Header file is the input file; choose another with -H\n");
    return 0;
}

// The outputs while they are written: temporaries beside their paths, moved
// into place only when all is written.
struct Outputs {
    output::OutputFile text;
    std::optional<output::OutputFile> dependency_file, preview_file, header_file;
};

// The temporary of a file named with an option, when it is; false once it
// could not be made and `failure` is printed.
bool create_optional(const std::optional<std::string>& path, std::string_view failure,
                     std::optional<output::OutputFile>& file) {
    if (!path) return true;
    Result<output::OutputFile> created = output::create(*path);
    if (!created) {
        fail_on_file(failure, *path, created.error().description());
        return false;
    }
    file.emplace(std::move(*created));
    return true;
}

// Every output made before the input is read, so a run that cannot write
// reads nothing.
std::optional<Outputs> create_outputs(const cli::Settings& settings) {
    Result<output::OutputFile> text = output::create(settings.output_path);
    if (!text) {
        fail_on_file("Couldn't create output file\n", settings.output_path, text.error().description());
        return std::nullopt;
    }
    std::optional<Outputs> outputs(
        Outputs{.text = std::move(*text), .dependency_file = {}, .preview_file = {}, .header_file = {}});
    if (!create_optional(settings.depfile, "Couldn't create dependency file\n", outputs->dependency_file) ||
        !create_optional(settings.preview, "Couldn't create preview file\n", outputs->preview_file) ||
        !create_optional(settings.header, "Couldn't create header file\n", outputs->header_file))
        return std::nullopt;
    return outputs;
}

// The object, read and scaled.
Result<lwofront::Object> read_object(int fd, std::uint64_t length, const cli::Settings& settings,
                                     Messages& messages) {
    stream::FileSource source(fd);
    stream::Stream in(source, length);
    const lwofront::ReadOptions read_options{.skip_unknown_blocks = settings.skip_unknown_blocks,
                                             .warn = messages.to_warn()};
    Result<lwofront::Object> object = lwofront::process(in, read_options);
    if (object) lwofront::scale_points(*object, settings.scale);
    return object;
}

// The mesh. Every image the conversion tries, loaded or not, is added to
// `dependencies`: adding a missing image must make the build convert the
// object again.
Result<ultraback::Mesh> convert_object(const lwofront::Object& object, const cli::Settings& settings,
                                       Messages& messages, std::vector<std::string>& dependencies,
                                       const converter::LayerDone& layer_done) {
    auto load_image = [&dependencies](const std::string& path) {
        dependencies.push_back(path);
        return image::Image::open(path);
    };
    const converter::Options options{.base_dir = settings.texture_dir,
                                     .tile = settings.tile,
                                     .batch = settings.batch,
                                     .cache_size = static_cast<std::size_t>(settings.cache_size),
                                     .scale = settings.scale,
                                     .split_surfaces = settings.split_surfaces,
                                     .vertex_colors = settings.vertex_colors,
                                     .fit_textures = settings.fit_textures,
                                     .lit_normals = settings.lit_normals};
    return converter::convert(object, options, load_image, messages.to_warn(), messages.to_note(), layer_done);
}

// The files the rule names as made by the run: the output, and the header.
std::vector<std::string> rule_targets(const cli::Settings& settings) {
    std::vector<std::string> targets{settings.output_path};
    if (settings.header) targets.push_back(*settings.header);
    return targets;
}

// The rest of the C text (the layers' is written), then the rule, the preview
// and the header. The others are moved into place first: a run that fails
// past this point leaves no new output, and a new rule beside an old output
// only makes the build convert again.
int write_outputs(const cli::Settings& settings, const ultraback::Mesh& mesh,
                  const std::vector<std::string>& dependencies, Outputs& outputs, ultraback::TextWriter& text,
                  BlankCanvas blank) {
    PreviewBytes preview_bytes;
    if (outputs.preview_file) preview_bytes = start_preview(mesh, blank);
    if (Status saved = text.finish(mesh, settings.object_name); !saved) return fail(saved.error());
    if (outputs.dependency_file) {
        output::FdSink rule_sink(outputs.dependency_file->fd);
        std::string rule = depfile::make_rule(rule_targets(settings), rule_dependencies(settings, dependencies));
        if (Status written = rule_sink.write(rule); !written) return fail(written.error());
    }
    if (outputs.preview_file) {
        if (Status written = write_preview(preview_bytes, *outputs.preview_file); !written)
            return fail(written.error());
    }
    if (outputs.header_file) {
        output::FdSink header_sink(outputs.header_file->fd);
        const std::string header = ultraback::header_text(settings.object_name, settings.draw_list);
        if (Status written = header_sink.write(header); !written) return fail(written.error());
    }
    for (std::optional<output::OutputFile>* other :
         {&outputs.dependency_file, &outputs.preview_file, &outputs.header_file}) {
        if (!*other) continue;
        if (Status committed = output::commit(**other); !committed) return fail(committed.error());
    }
    if (Status committed = output::commit(outputs.text); !committed) return fail(committed.error());
    return 0;
}

// Read, convert and write, the layers' text written as they are made.
int read_convert_write(const cli::Settings& settings, int input_fd, std::uint64_t length,
                       std::vector<std::string>& dependencies, Outputs& outputs) {
    // Each layer's text is written on another core while the next layers are
    // made. With -b the other cores batch, and write each layer's text
    // between layers as soon as it and those before it are batched (the
    // converter's LayerBatching): a third thread would only share the cores,
    // and take its stack from a tight memory limit. An output written
    // directly (a pipe, a terminal) gets no text before the conversion has
    // succeeded.
    const bool early = outputs.text.is_temporary();
    output::FdSink sink(outputs.text.fd);
    ultraback::TextWriter text(
        sink, ultraback::SaveOptions{.one_triangle_commands = settings.fast3d, .draw_list = settings.draw_list});
    // The preview and the draw list read the layers' arrays after their text.
    const bool keep_arrays = outputs.preview_file.has_value() || settings.draw_list;
    ultraback::LayerWriting layer_writing(text, keep_arrays, early && !settings.batch);
    converter::LayerDone hand_over;
    if (early) hand_over = [&](ultraback::Layer& layer) { layer_writing.hand_over(layer); };

    BlankCanvas blank;
    if (outputs.preview_file) blank = start_thread(preview::blank_canvas);

    Messages messages{.settings = settings};
    Result<lwofront::Object> object = read_object(input_fd, length, settings, messages);
    if (!object) return fail(object.error());
    Result<ultraback::Mesh> mesh = convert_object(*object, settings, messages, dependencies, hand_over);
    if (!mesh) return fail(mesh.error());
    if (settings.warnings_are_errors && messages.warned) {
        print("Warnings treated as errors (-e)\n");
        return kFailed;
    }
    if (settings.depfile) {
        if (const std::string* path = unwritable_dependency(dependencies)) return refuse_dependency(*path);
    }
    if (!early) {
        for (ultraback::Layer& layer : mesh->layers) layer_writing.hand_over(layer);
    }
    layer_writing.finish(mesh->layers);
    return write_outputs(settings, *mesh, dependencies, outputs, text, std::move(blank));
}

// The steps in order: refuse clashing paths, open the input, create the
// outputs, read, convert, write.
int run(const cli::Settings& settings) {
    choose_news_stream(settings);
    if (int refused = refuse_clashing_outputs(settings)) return refused;
    InputFile input(open(settings.input_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (input.fd < 0) return fail_on_file("Couldn't open input file\n", settings.input_path, std::strerror(errno));
    if (int refused = refuse_overwriting_input(input.fd, settings)) return refused;
    std::optional<std::uint64_t> length = input_length(input.fd);
    if (!length) {
        print("Couldn't find the length of the input file\n");
        return kFailed;
    }
    heap::prepare_for_run(*length);
    // The rule's paths from the command line are checked before any file is
    // made; the image paths once the conversion has tried them.
    std::vector<std::string> dependencies{settings.input_path};
    if (settings.depfile) {
        std::vector<std::string> named = rule_targets(settings);
        named.push_back(settings.input_path);
        if (const std::string* path = unwritable_dependency(named)) return refuse_dependency(*path);
    }
    std::optional<Outputs> outputs = create_outputs(settings);
    if (!outputs) return kFailed;
    return read_convert_write(settings, input.fd, *length, dependencies, *outputs);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_news(cli::kBanner);
        print_news(cli::kUsage);
        return 0;
    }
    std::vector<std::string_view> args(argv + 1, argv + argc);
    struct stat first;
    const bool first_names_a_file = stat(argv[1], &first) == 0;
    std::expected<cli::Settings, std::string> settings = cli::parse_command_line(args, first_names_a_file);
    if (!settings) {
        print(settings.error());
        print("\n");
        print(cli::kUsage);
        return kRefused;
    }
    if (settings->request == cli::Request::help) {
        print_news(cli::help_text());
        return 0;
    }
    if (settings->request == cli::Request::version) {
        print_news(cli::kBanner);
        return 0;
    }
    if (settings->cache_size_unused) {
        // A warning like any other: -q silences it, -e fails on it.
        if (!settings->quiet || settings->warnings_are_errors) print("Warning: -c sets the cache size of -b, which is not given\n");
        if (settings->warnings_are_errors) {
            print("Warnings treated as errors (-e)\n");
            return kFailed;
        }
    }
    interrupt::install_handlers();
    try {
        return run(*settings);
    } catch (const std::bad_alloc&) {
        // Unwinding has closed the files and removed the temporaries.
        print("Out of memory\n");
        return kFailed;
    }
}
