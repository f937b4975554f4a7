#pragma once
// The system's text for an error number, in the one place where error numbers
// become words.

#include <string>

namespace compat {

// At most 511 bytes; empty when the system has no text for `code`.
std::string systemErrorText(int code);

}  // namespace compat
