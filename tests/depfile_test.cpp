#include "depfile.hpp"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

TEST(Depfile, EscapesPathsAsGccDoes) {
    struct Case {
        std::string path, escaped;
    };
    for (const Case& c : std::vector<Case>{
             {"models/box.lwo", "models/box.lwo"},
             {"my textures/wood.png", "my\\ textures/wood.png"},
             {"tab\there", "tab\\\there"},
             {"a\\ b", "a\\\\\\ b"},
             {"back\\slash", "back\\slash"},
             {"#1.png", "\\#1.png"},
             {"$HOME.png", "$$HOME.png"},
         })
        EXPECT_EQ(depfile::escape_path(c.path), c.escaped) << c.path;
}

TEST(Depfile, RuleNamesEachDependencyOnceWithAnEmptyRuleForEachButTheFirst) {
    std::vector<std::string> dependencies{"box.lwo", "wood.png", "my img.png", "wood.png", "box.lwo"};
    EXPECT_EQ(depfile::make_rule("out dir/box.c", dependencies),
              "out\\ dir/box.c: \\\n box.lwo \\\n wood.png \\\n my\\ img.png\n"
              "\nwood.png:\n"
              "\nmy\\ img.png:\n");
    EXPECT_EQ(depfile::make_rule("box.c", std::vector<std::string>{"box.lwo"}), "box.c: \\\n box.lwo\n");
}

// Blanks, tabs and the characters escaped above are carried; control
// characters that would end or split a rule line are not.
TEST(Depfile, CarriesNoControlCharacterButTab) {
    for (std::string_view path : {"a.png", "tab\there.png", "my img.png", "$#\\.png", "caf\xc3\xa9.png", "del\x7f.png"})
        EXPECT_TRUE(depfile::make_can_carry(path)) << path;
    for (std::string_view path : {"a.png\nall:", "a\r.png", "a\x01.png", "a\x1b[1m.png", "\x1f"})
        EXPECT_FALSE(depfile::make_can_carry(path)) << path;
}

}  // namespace
