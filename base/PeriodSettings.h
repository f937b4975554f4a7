#pragma once
// The programs' waits that a test may shorten. The environment variable
// OVIX_PERIODS lists "name=milliseconds" items, separated by commas; only the
// tests' sandboxes set it, so a user's programs keep their standard periods.
// Thread safety: reads the environment, which nothing changes meanwhile.

#include <chrono>
#include <string_view>

namespace ovix {

// The period `name` of OVIX_PERIODS; `standard` when it is not listed there
// or its value is no whole number of milliseconds.
std::chrono::milliseconds periodSetting(std::string_view name, std::chrono::milliseconds standard);

}  // namespace ovix
