#include "depfile.hpp"

#include <algorithm>

namespace depfile {

std::string escape_path(std::string_view path) {
    std::string escaped;
    escaped.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == ' ' || c == '\t') {
            // Backslashes before a blank would otherwise escape it themselves.
            for (std::size_t k = i; k > 0 && path[k - 1] == '\\'; --k) escaped += '\\';
            escaped += '\\';
        } else if (c == '#') {
            escaped += '\\';
        } else if (c == '$') {
            escaped += '$';
        }
        escaped += c;
    }
    return escaped;
}

namespace {

bool named_before(std::span<const std::string> dependencies, std::size_t i) {
    return std::find(dependencies.begin(), dependencies.begin() + i, dependencies[i]) != dependencies.begin() + i;
}

}  // namespace

std::string make_rule(std::string_view target, std::span<const std::string> dependencies) {
    const std::string targets[] = {std::string(target)};
    return make_rule(targets, dependencies);
}

std::string make_rule(std::span<const std::string> targets, std::span<const std::string> dependencies) {
    std::string rule;
    for (const std::string& target : targets) {
        if (!rule.empty()) rule += ' ';
        rule += escape_path(target);
    }
    rule += ":";
    for (std::size_t i = 0; i < dependencies.size(); ++i)
        if (!named_before(dependencies, i)) rule += " \\\n " + escape_path(dependencies[i]);
    rule += "\n";
    for (std::size_t i = 1; i < dependencies.size(); ++i) {
        if (named_before(dependencies, i)) continue;
        rule += '\n';
        rule += escape_path(dependencies[i]);
        rule += ":\n";
    }
    return rule;
}

bool make_can_carry(std::string_view path) {
    return std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
}

}  // namespace depfile
