#pragma once
// Make-style dependency rules, so build tools convert an object again when
// it or one of its texture images changes.

#include <span>
#include <string>
#include <string_view>

namespace depfile {

// A path escaped as GCC's -MD files escape it: blanks (and the backslashes
// right before them) with backslashes, '#' as "\#", '$' as "$$".
std::string escape_path(std::string_view path);

// "target: dep1 \\\n dep2\n", each dependency on a line of its own, each
// named once, in the given order; then, as GCC's -MP adds them, an empty rule
// "\ndep2:\n" for every dependency but the first, so that make does not stop
// at a deleted texture image.
std::string make_rule(std::string_view target, std::span<const std::string> dependencies);

// The same rule for several targets made by one run: "t1 t2: dep1 ...".
std::string make_rule(std::span<const std::string> targets, std::span<const std::string> dependencies);

// Whether a rule can name this path. No escaping carries a line feed, a
// carriage return or another control character through Make (a crafted image
// name could add rules of its own); a tab is escaped like a blank.
bool make_can_carry(std::string_view path);

}  // namespace depfile
