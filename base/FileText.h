#pragma once
// Whole-file reads and replacing writes through close-on-exec descriptors,
// so that no process started meanwhile by another thread inherits them.
// The reader is meant for small files read as configuration or store: it
// never waits on a pipe or a device and never reads more than a bound.
// Thread safety: free functions without shared state.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ovix {

// The size above which readFileText refuses a file unless told otherwise.
inline constexpr std::size_t kFileTextMaxBytes = std::size_t{1} << 20;

// How readFileText opens a file.
struct FileTextRead {
    // Follow a symbolic link at the end of the path (by default it is not).
    bool followLinks = false;
    // A file larger than this is refused.
    std::size_t maxBytes = kFileTextMaxBytes;
};

// The bytes of a regular file, opened without waiting. Empty, with errno
// set, when it cannot be read: EINVAL when it is not a regular file (a pipe,
// a device, a folder), EFBIG when it holds more than `how.maxBytes` bytes.
std::optional<std::string> readFileText(const std::filesystem::path& path, FileTextRead how = {});

// Writes `text` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so that readers see the old or the new text whole.
// False, with nothing changed, when any step fails.
bool replaceFileText(const std::filesystem::path& path, std::string_view text);

}  // namespace ovix
