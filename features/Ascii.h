#pragma once
// Character classes and case mapping of ASCII, the same in every locale and
// defined for every byte: bytes 0x80 and above are never letters.

namespace ovix {

constexpr bool isAsciiUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

constexpr char asciiToLower(char c) {
    return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace ovix
