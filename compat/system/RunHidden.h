#pragma once
// Runs a command script with no window, as a batch file run hidden: here a
// shell script run by /bin/sh, with the caller's environment and folder.

#include <filesystem>

namespace compat {

// Starts `script` and does not wait for it. False when it is not a file or
// cannot be started.
bool runHidden(const std::filesystem::path& script);

}  // namespace compat
