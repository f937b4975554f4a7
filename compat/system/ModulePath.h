#pragma once
// Where the running code lives on disk.

#include <cstdint>
#include <filesystem>

namespace compat {

// The running program's file, as an absolute path.
std::filesystem::path executablePath();

// The file (program or shared library) that holds the code at `address`,
// as an absolute path; empty when it cannot be found.
std::filesystem::path modulePath(const void* address);

// The instance handle of the module that holds the code at `address`, by
// which the module's resources are named: where it is mapped; 0 when it
// cannot be found.
std::uintptr_t moduleInstance(const void* address);

}  // namespace compat
