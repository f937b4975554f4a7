#pragma once
// Whole-file reads and replacing writes through close-on-exec descriptors,
// so that no process started meanwhile by another thread inherits them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ovix {

// How readFileText opens a file.
struct FileTextRead {
    // Follow a symbolic link at the end of the path (by default it is not).
    bool followLinks = false;
    // Read only a regular file: a pipe or a device is never waited on.
    bool regularOnly = false;
};

// The file's bytes; empty, with errno set, when it cannot be read.
std::optional<std::string> readFileText(const std::filesystem::path& path, FileTextRead how = {});

// Writes `text` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so that readers see the old or the new text whole.
// False, with nothing changed, when any step fails.
bool replaceFileText(const std::filesystem::path& path, std::string_view text);

}  // namespace ovix
