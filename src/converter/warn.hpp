#pragma once
// How the converter's passes hand on the lines they have to say.

#include <functional>
#include <string_view>

#include "warning_line.hpp"

namespace converter {

// Receives each warning as a whole line, "Warning: ..." and its line feed,
// and the "Hint: ..." line that may follow one and says which option helps.
using Warn = std::function<void(std::string_view line)>;

// Receives each line that says what was done beyond the plain conversion
// (how -r fitted a texture), whole with its line feed: news, not a fault, so
// -e does not fail on it.
using Note = std::function<void(std::string_view line)>;

// Hands one line on, when there is anyone to take it.
inline void say(const std::function<void(std::string_view line)>& to, std::string_view line) {
    if (to) to(warning_line(line));
}

}  // namespace converter
