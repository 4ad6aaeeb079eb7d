#pragma once
// Warnings quote names from the object file (image paths, surface names) as
// they stand. A control character among them, a line feed in a file name
// above all, would break the one warning per line that scripts and build
// logs rely on, so each becomes '?'; the line's own final line feed stays.

#include <string>
#include <string_view>

inline std::string warning_line(std::string_view line) {
    std::string text(line);
    const std::size_t end = !text.empty() && text.back() == '\n' ? text.size() - 1 : text.size();
    for (std::size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) text[i] = '?';
    }
    return text;
}
