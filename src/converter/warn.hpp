#pragma once
// How the converter's passes hand on warnings.

#include <functional>
#include <string_view>

#include "warning_line.hpp"

namespace converter {

// Receives each warning as a whole line, "Warning: ..." and its line feed.
using Warn = std::function<void(std::string_view line)>;

// Hands one warning line on, when there is anyone to take it.
inline void say(const Warn& warn, std::string_view line) {
    if (warn) warn(warning_line(line));
}

}  // namespace converter
