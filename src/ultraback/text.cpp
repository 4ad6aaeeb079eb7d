// Floats for the C text: the shortest digits that read back as the same
// 32-bit float, laid out positionally. std::to_chars in scientific form with
// no precision gives exactly those digits and their exponent; the layout is
// ours, because fixed form would print the exact binary value of large floats
// (123456789.0f as 123456792 instead of 123456790).

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "ultraback/text.hpp"
#include "ultraback/writer.hpp"

namespace ultraback {

namespace {

char* put_zeros(char* out, int count) {
    std::memset(out, '0', static_cast<std::size_t>(count));
    return out + count;
}

}  // namespace

char* put_float(char* out, float value) {
    if (std::isnan(value)) {
        std::memcpy(out, "NaN", 3);
        return out + 3;
    }
    if (value == 0.0f) {  // both zeros
        *out = '0';
        return out + 1;
    }
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (std::isinf(value)) {
        std::memcpy(out, "inf", 3);
        return out + 3;
    }

    // "d.ddde+XX" or "de-XX": gather the digits and the exponent.
    char sci[32];
    const char* end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    char digits[16];
    int count = 0;
    const char* p = sci;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits[count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p[1] == '+' ? p + 2 : p + 1, end, exponent);

    // The digits are d1 d2 ... dn times 10^(exponent - n + 1): `point` digits
    // stand before the decimal point.
    const int point = exponent + 1;
    const auto n = static_cast<std::size_t>(count);
    if (point <= 0) {
        std::memcpy(out, "0.", 2);
        out = put_zeros(out + 2, -point);
        std::memcpy(out, digits, n);
        return out + n;
    }
    if (point >= count) {
        std::memcpy(out, digits, n);
        return put_zeros(out + n, point - count);
    }
    const auto whole = static_cast<std::size_t>(point);
    std::memcpy(out, digits, whole);
    out[whole] = '.';
    std::memcpy(out + whole + 1, digits + whole, n - whole);
    return out + n + 1;
}

std::string format_float(float value) {
    char buffer[kMaxFloatChars];
    return std::string(buffer, put_float(buffer, value));
}

}  // namespace ultraback
