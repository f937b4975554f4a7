#include "compat/system/ModulePath.h"

#include <dlfcn.h>

namespace compat {

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::filesystem::path modulePath(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0)
        return {};
    if (!info.dli_fname || info.dli_fname[0] == '\0')
        return executablePath();
    std::filesystem::path path = info.dli_fname;
    if (path.is_absolute())
        return path;
    // The program itself is known by the name it was started with, which
    // may no longer lead to it from the current folder.
    const auto program = executablePath();
    std::error_code error;
    if (path.filename() == program.filename() || std::filesystem::equivalent(path, program, error))
        return program;
    return std::filesystem::absolute(path, error);
}

std::uintptr_t moduleInstance(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? reinterpret_cast<std::uintptr_t>(info.dli_fbase) : 0;
}

}  // namespace compat
