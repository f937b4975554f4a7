#pragma once
// Cuts text into letter tokens. Letters are the ASCII A-Z and a-z; every other
// byte (digits, punctuation, blanks, bytes 0x80 and above) only separates
// tokens, and a NUL byte ends the text. A token is
//   - a run of lower-case letters ("parser");
//   - a capital followed by its run of lower-case letters ("Parser");
//   - a run of capitals ("XML"; "XMLParser" gives "XMLP", then "arser");
//   - a single letter followed by no letter.
// The same in every locale; any bytes are safe.

#include <array>
#include <cstdint>
#include <string_view>

namespace ovix {

namespace tokenizer_detail {

enum ByteClass : std::uint8_t { separator, lower, upper, end };

constexpr std::array<ByteClass, 256> byteClasses = [] {
    std::array<ByteClass, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes[c] = lower;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] = upper;
    classes[0] = end;
    return classes;
}();

inline ByteClass classOf(char c) {
    return byteClasses[static_cast<unsigned char>(c)];
}

}  // namespace tokenizer_detail

// Calls emit(std::string_view token) for every token of `text` in order, up to
// its first NUL byte or its end. The token views point into `text`.
template <class Emit>
void forEachToken(std::string_view text, Emit&& emit) {
    using namespace tokenizer_detail;
    const char* p = text.data();
    const char* const stop = p + text.size();
    auto skipRun = [&](ByteClass cls) {
        while (p != stop && classOf(*p) == cls)
            ++p;
    };
    while (p != stop) {
        const ByteClass first = classOf(*p);
        if (first == separator) {
            ++p;
            continue;
        }
        if (first == end)
            return;
        const char* const start = p++;
        if (first == lower || (p != stop && classOf(*p) == lower))
            skipRun(lower);
        else
            skipRun(upper);
        emit(std::string_view(start, static_cast<std::size_t>(p - start)));
    }
}

}  // namespace ovix
