#pragma once
// Text written between double quotes in the favorites listing.

#include <string>
#include <string_view>

namespace ovix::favorites {

// Appends `text` with every double quote, backslash and control character
// escaped as in JSON. Valid UTF-8 is copied as it stands; each invalid
// sequence (the longest start of a sequence that goes wrong, or a single
// byte) becomes U+FFFD, so the result is always valid UTF-8.
void appendEscaped(std::string& out, std::string_view text);

}  // namespace ovix::favorites
