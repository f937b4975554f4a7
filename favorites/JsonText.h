#pragma once
// Text written between double quotes in the favorites listing.

#include <string>
#include <string_view>

namespace ovix::favorites {

// Appends `text` with every double quote, backslash and control character
// escaped as in JSON; other bytes are copied as they stand.
void appendEscaped(std::string& out, std::string_view text);

}  // namespace ovix::favorites
