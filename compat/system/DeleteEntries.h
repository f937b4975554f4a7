#pragma once
// Deleting entries of a folder by name, files, links and folder trees alike,
// without ever following a link: a link is deleted, never what it leads to,
// and a folder is entered only through a descriptor opened without following
// links, so that swapping an entry for a link midway deletes nothing outside.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace compat {

// Deletes the entries of `folder` whose names begin with `prefix` (ASCII
// case ignored, as the shell matches "prefix*") and that belong to the
// calling user. Returns how many were deleted whole; entries that cannot be
// deleted are left as they are.
std::size_t deleteOwnEntriesWithPrefix(const std::filesystem::path& folder, std::string_view prefix);

}  // namespace compat
