#pragma once
// UTF-8 as the Unicode standard defines it: no overlong forms, no surrogates,
// nothing above U+10FFFF.

#include <string>
#include <string_view>

namespace ovix {

// `bytes` with every ill-formed part replaced by U+FFFD, one for each maximal
// subpart (the longest start of a well-formed sequence, or one byte), as
// Python's "replace" error handler does.
std::string repairUtf8(std::string_view bytes);

// Appends the UTF-8 of `c`, a scalar value (no surrogate, at most U+10FFFF).
void appendUtf8(std::string& text, char32_t c);

// The UTF-8 of UTF-16 text, each unpaired surrogate becoming U+FFFD.
std::string utf8FromUtf16(std::u16string_view units);

}  // namespace ovix
