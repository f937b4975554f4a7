#pragma once
// Whole-file reads and replacing writes through close-on-exec descriptors,
// so that no process started meanwhile by another thread inherits them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace compat {

// The file's bytes; empty, with errno set, when it cannot be read. Symbolic
// links are not followed.
std::optional<std::string> readFileText(const std::filesystem::path& path);

// Writes `text` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so that readers see the old or the new text whole.
// False, with nothing changed, when any step fails.
bool replaceFileText(const std::filesystem::path& path, std::string_view text);

}  // namespace compat
