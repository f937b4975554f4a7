#include "compat/system/XdgFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace compat {

namespace {

std::filesystem::path absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return value;
    return {};
}

}  // namespace

std::filesystem::path configHome() {
    if (auto path = absoluteFromEnvironment("XDG_CONFIG_HOME"); !path.empty())
        return path;
    if (auto home = absoluteFromEnvironment("HOME"); !home.empty())
        return home / ".config";
    return {};
}

std::filesystem::path runtimeFolder() {
    if (auto base = absoluteFromEnvironment("XDG_RUNTIME_DIR"); !base.empty())
        return base / "ovix";
    return "/tmp/ovix-runtime-" + std::to_string(geteuid());
}

std::filesystem::path temporaryFolder() {
    if (auto path = absoluteFromEnvironment("TMPDIR"); !path.empty())
        return path;
    return "/tmp";
}

bool ensureRuntimeFolder() {
    const auto folder = runtimeFolder();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0)
        return false;
    // A folder someone else made (or a link planted in /tmp) is never used.
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        errno = EPERM;
        return false;
    }
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return false;
    return true;
}

}  // namespace compat
