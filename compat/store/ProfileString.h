#pragma once
// Reads one value of an INI-style profile file ("[section]" lines followed
// by "key=value" lines).

#include <filesystem>
#include <string>
#include <string_view>

#include "base/FileText.h"

namespace compat {

// The value of `key` in `section`, both matched without regard to ASCII
// case; spaces and tabs around keys and values are dropped, as is one pair
// of quotes around a value. The first matching line wins; the value is read
// whole. Empty when the file is not a readable regular file
// (a pipe or a device is never waited on), holds more than `maxBytes` bytes
// or has no such value.
std::string readProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::size_t maxBytes = ovix::kFileTextMaxBytes);

}  // namespace compat
