#pragma once
// Character classes and case mapping of ASCII, the same in every locale and
// defined for every byte: bytes 0x80 and above are never letters.

#include <cstddef>
#include <string_view>

namespace ovix {

constexpr bool isAsciiUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr bool isAsciiAlpha(char c) {
    return isAsciiUpper(c) || (c >= 'a' && c <= 'z');
}

constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit of either case; -1 for any other byte.
constexpr int asciiHexValue(char c) {
    if (isAsciiDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

constexpr char asciiToLower(char c) {
    return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal texts when ASCII letters are compared without regard to case.
constexpr bool asciiEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiToLower(a[i]) != asciiToLower(b[i]))
            return false;
    }
    return true;
}

// `text` begins with `prefix`, ASCII letters compared without regard to case.
constexpr bool asciiStartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && asciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

// `text` holds `part` somewhere, ASCII letters compared without regard to
// case; an empty `part` is in every text.
constexpr bool asciiContainsNoCase(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (asciiEqualNoCase(text.substr(at, part.size()), part))
            return true;
    }
    return false;
}

}  // namespace ovix
