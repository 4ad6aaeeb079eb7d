// Floats in the C text: shortest round-trip digits, never an exponent.

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "ultraback/writer.hpp"

namespace ultraback {
namespace {

TEST(FormatFloat, Table) {
    using limits = std::numeric_limits<float>;
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0f, "0"},
        {-0.0f, "0"},
        {1.0f, "1"},
        {-2.5f, "-2.5"},
        {0.5f, "0.5"},
        {0.1f, "0.1"},
        {1.0f / 3.0f, "0.33333334"},
        {16777217.0f, "16777216"},  // not a float; reads as its neighbour
        {123456789.0f, "123456790"},  // exactly 123456792, but 123456790 reads back
        {1e-7f, "0.0000001"},
        {1e30f, "1000000000000000000000000000000"},
        {100.0f, "100"},
        {-0.00125f, "-0.00125"},
        {1234.5f, "1234.5"},
        {limits::max(), "340282350000000000000000000000000000000"},
        {limits::lowest(), "-340282350000000000000000000000000000000"},
        {limits::min(), "0.000000000000000000000000000000000000011754944"},
        {limits::denorm_min(), "0.000000000000000000000000000000000000000000001"},
        {-limits::denorm_min(), "-0.000000000000000000000000000000000000000000001"},
        {limits::infinity(), "inf"},
        {-limits::infinity(), "-inf"},
        {limits::quiet_NaN(), "NaN"},
        {-limits::quiet_NaN(), "NaN"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_float(c.value), c.text) << "for " << c.value;
}

// Every finite float must read back as itself from its text, which holds
// only a sign, digits and at most one point, and no needless trailing zero.
TEST(FormatFloat, RandomFloatsReadBackExactly) {
    std::mt19937 random(20240611);
    for (int i = 0; i < 200000; ++i) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (!std::isfinite(value)) continue;
        const std::string text = format_float(value);
        ASSERT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << text;
        if (text.find('.') != std::string::npos) {
            ASSERT_NE(text.back(), '0') << text;
        }
        float back = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(error, std::errc{}) << text;
        ASSERT_EQ(end, text.data() + text.size()) << text;
        ASSERT_EQ(back, value) << text;  // +0 and -0 both print "0"
    }
}

}  // namespace
}  // namespace ultraback
