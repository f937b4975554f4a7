#pragma once
// Expands "%NAME%" references to environment variables in a text.

#include <string>
#include <string_view>

namespace compat {

// Each "%NAME%" whose variable is set becomes its value; a reference to a
// variable that is not set, and a lone "%", stay as they stand.
std::string expandEnvironment(std::string_view text);

}  // namespace compat
