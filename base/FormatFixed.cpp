#include "base/FormatFixed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace ovix {
namespace {

void appendPadded(std::string& out, std::string_view text, int width) {
    if (width > 0 && text.size() < static_cast<std::size_t>(width))
        out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out += text;
}

}  // namespace

void appendInt(std::string& out, long long value, int width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    appendPadded(out, std::string_view(digits, static_cast<std::size_t>(end - digits)), width);
}

void appendFixed(std::string& out, double value, int precision, int width) {
    if (std::isnan(value)) {
        appendPadded(out, std::signbit(value) ? "-nan" : "nan", width);
        return;
    }
    // The longest finite double has 309 integer digits.
    char digits[512];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, std::clamp(precision, 0, 100))
            .ptr;
    appendPadded(out, std::string_view(digits, static_cast<std::size_t>(end - digits)), width);
}

}  // namespace ovix
