#include "utf8.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace {

TEST(Utf8, AcceptsStrictUtf8Only) {
    const struct {
        std::string_view text;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"\xC3\xA9", true},                        // U+00E9
        {"\xEF\xBF\xBF", true},                    // U+FFFF
        {"\xF4\x8F\xBF\xBF", true},                // U+10FFFF
        {std::string_view("a\0b", 3), true},       // NUL is a character
        {"\xC0\xAF", false},                       // overlong '/'
        {"\xE0\x9F\xBF", false},                   // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", false},               // overlong U+FFFF
        {"\xED\xA0\x80", false},                   // surrogate U+D800
        {"\xF4\x90\x80\x80", false},               // U+110000
        {"\xF5\x80\x80\x80", false},
        {"\x80", false},                           // continuation without lead
        {"\xC3", false},                           // cut short
        {"\xE2\x82", false},
        {"\xE2\x28\xA1", false},                   // bad continuation
        {"\xF0\x9F\x98\x80 ok", true},             // U+1F600 then ASCII
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        EXPECT_EQ(is_valid_utf8(c.text), c.valid);
    }
}

}  // namespace
