#pragma once
// The launcher's one key of "vantile.config": the address that the main
// application is given with " -c ".

#include <filesystem>
#include <optional>
#include <string>

namespace ovix {

// The value of the first line that begins with "ConfigUrl=" exactly, with the
// white space at the line's end removed; empty when the file cannot be read
// or has no such line. Lines of any length are read whole.
std::optional<std::string> readConfigUrl(const std::filesystem::path& file);

}  // namespace ovix
