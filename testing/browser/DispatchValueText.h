#pragma once
// Dispatch values as the simulated browser's call lines show them.

#include <string>

#include "compat/com/Dispatch.h"

namespace compat::testing {

// "empty", I4 and INT integers ("I4 0", "INT 1"), "true"/"false", a text in
// double quotes, "object" or "null object", and a by-reference boolean as
// "ref" and its current value.
std::string describe(const DispatchValue& value);

}  // namespace compat::testing
