// The driver: settings from the command line, then read, scale, convert and
// write, in that order. Every message goes to standard output, unless the
// output is standard output itself. Exit status: 0 for success, the banner,
// help and version, 1 for a run that fails, 2 for a refused command line.

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "cli.hpp"
#include "converter/convert.hpp"
#include "depfile.hpp"
#include "image.hpp"
#include "lwofront/reader.hpp"
#include "output_file.hpp"
#include "preview/preview.hpp"
#include "stream.hpp"
#include "ultraback/writer.hpp"

namespace {

constexpr int kFailed = 1;
constexpr int kRefused = 2;

// Standard output, or standard error when the C text or the rule goes to
// standard output (-o /dev/stdout), where messages would land inside it.
FILE* message_stream = stdout;

void print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), message_stream); }

void choose_message_stream(const cli::Settings& settings) {
    if (output::is_same_file(STDOUT_FILENO, settings.output_path) ||
        (settings.depfile && output::is_same_file(STDOUT_FILENO, *settings.depfile)))
        message_stream = stderr;
}

int fail(const Error& error) {
    print(error.description());
    print("\n");
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

// The picture of the mesh as written, into the preview's temporary file.
Status write_preview(const ultraback::Mesh& mesh, const output::OutputFile& file) {
    Result<std::vector<char>> png = preview::encode_png(preview::render(mesh));
    if (!png) return std::unexpected(png.error());
    output::FdSink sink(file.fd);
    return sink.write(*png);
}

int run(const cli::Settings& settings) {
    choose_message_stream(settings);
    InputFile input(open(settings.input_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.fd < 0) {
        print("Couldn't open input file\n");
        return kFailed;
    }
    if (output::is_same_file(input.fd, settings.output_path) ||
        (settings.depfile && output::is_same_file(input.fd, *settings.depfile)) ||
        (settings.preview && output::is_same_file(input.fd, *settings.preview))) {
        print("Output file is the input file; choose another with -o\n");
        return kRefused;
    }
    Result<output::OutputFile> out = output::create(settings.output_path);
    if (!out) {
        print("Couldn't create output file\n");
        return kFailed;
    }
    std::optional<output::OutputFile> dependency_file;
    if (settings.depfile) {
        Result<output::OutputFile> created = output::create(*settings.depfile);
        if (!created) {
            print("Couldn't create dependency file\n");
            return kFailed;
        }
        dependency_file.emplace(std::move(*created));
    }
    std::optional<output::OutputFile> preview_file;
    if (settings.preview) {
        Result<output::OutputFile> created = output::create(*settings.preview);
        if (!created) {
            print("Couldn't create preview file\n");
            return kFailed;
        }
        preview_file.emplace(std::move(*created));
    }

    off_t length = lseek(input.fd, 0, SEEK_END);
    if (length < 0 || lseek(input.fd, 0, SEEK_SET) != 0) {
        print("Couldn't find the length of the input file\n");
        return kFailed;
    }
    stream::FileSource source(input.fd);
    stream::Stream in(source, static_cast<std::uint64_t>(length));
    // -q silences warnings; -e makes them errors, which are always printed.
    std::size_t warnings = 0;
    auto warn = [&](std::string_view line) {
        if (line.starts_with("Warning: ")) ++warnings;  // a fitted texture's line is news, not a fault
        if (!settings.quiet || settings.warnings_are_errors) print(line);
    };
    lwofront::ReadOptions read_options{settings.skip_unknown_blocks, warn};
    Result<lwofront::Object> object = lwofront::process(in, read_options);
    if (!object) return fail(object.error());

    lwofront::scale_points(*object, settings.scale);

    // Every image the conversion tries, loaded or not, is a dependency: adding
    // a missing image must make the build convert the object again.
    std::vector<std::string> dependencies{settings.input_path};
    auto load_image = [&](const std::string& path) {
        dependencies.push_back(path);
        return image::Image::open(path);
    };
    converter::Options options{settings.texture_dir, settings.tile, settings.batch,
                               static_cast<std::size_t>(settings.cache_size), settings.scale,
                               settings.split_surfaces, settings.vertex_colors, settings.fit_textures};
    Result<ultraback::Mesh> mesh = converter::convert(*object, options, load_image, warn);
    if (!mesh) return fail(mesh.error());
    if (settings.warnings_are_errors && warnings > 0) {
        print("Warnings treated as errors (-e)\n");
        return kFailed;
    }

    output::FdSink sink(out->fd);
    ultraback::SaveOptions save_options{settings.fast3d};
    if (Status saved = ultraback::save(*mesh, settings.object_name, sink, save_options); !saved) {
        return fail(saved.error());
    }
    if (dependency_file) {
        output::FdSink rule_sink(dependency_file->fd);
        std::string rule = depfile::make_rule(settings.output_path, dependencies);
        if (Status written = rule_sink.write(rule); !written) return fail(written.error());
    }
    if (preview_file) {
        if (Status written = write_preview(*mesh, *preview_file); !written) return fail(written.error());
    }
    if (Status committed = output::commit(*out); !committed) return fail(committed.error());
    if (dependency_file) {
        if (Status committed = output::commit(*dependency_file); !committed) return fail(committed.error());
    }
    if (preview_file) {
        if (Status committed = output::commit(*preview_file); !committed) return fail(committed.error());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print(cli::kBanner);
        print(cli::kUsage);
        return 0;
    }
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::expected<cli::Settings, std::string> settings = cli::parse_command_line(args);
    if (!settings) {
        print(settings.error());
        print("\n");
        print(cli::kUsage);
        return kRefused;
    }
    if (settings->request == cli::Request::help) {
        print(cli::help_text());
        return 0;
    }
    if (settings->request == cli::Request::version) {
        print(cli::kBanner);
        return 0;
    }
    return run(*settings);
}
