#pragma once
// Strict UTF-8, for strings from the object file and for the command line.

#include <string_view>

// No overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);
