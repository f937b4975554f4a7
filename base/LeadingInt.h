#pragma once
// The number at the start of a text as the C library's atoi reads it, in
// every locale and without overflow: white space skipped, an optional sign,
// then decimal digits up to the first non-digit; 0 when there are none. A
// value beyond the range of int gives the nearest end of that range.

#include <cstdint>
#include <limits>
#include <string_view>

namespace ovix {

constexpr int leadingInt(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    // Up to one past the largest magnitude, which is where reading stops.
    constexpr std::int64_t kBeyond = std::int64_t{std::numeric_limits<int>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (magnitude < kBeyond)
            magnitude = magnitude * 10 + (text[at] - '0');
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace ovix
