#pragma once
// Where the running code lives on disk.

#include <filesystem>

namespace compat {

// The running program's file, as an absolute path.
std::filesystem::path executablePath();

// The file (program or shared library) that holds the code at `address`,
// as an absolute path; empty when it cannot be found.
std::filesystem::path modulePath(const void* address);

}  // namespace compat
