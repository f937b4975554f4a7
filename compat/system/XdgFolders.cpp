#include "compat/system/XdgFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace compat {

namespace {

std::filesystem::path absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value && value[0] == '/')
        return value;
    return {};
}

// A folder of the calling user with no permission for anyone else.
bool isPrivateFolder(int folder) {
    struct stat info;
    if (fstat(folder, &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
        errno = EPERM;
        return false;
    }
    return true;
}

}  // namespace

std::filesystem::path configHome() {
    if (auto path = absoluteFromEnvironment("XDG_CONFIG_HOME"); !path.empty())
        return path;
    if (auto home = absoluteFromEnvironment("HOME"); !home.empty())
        return home / ".config";
    return {};
}

std::filesystem::path stateHome() {
    if (auto path = absoluteFromEnvironment("XDG_STATE_HOME"); !path.empty())
        return path;
    if (auto home = absoluteFromEnvironment("HOME"); !home.empty())
        return home / ".local" / "state";
    return {};
}

std::filesystem::path runtimeFolder() {
    if (auto base = absoluteFromEnvironment("XDG_RUNTIME_DIR"); !base.empty())
        return base / "ovix";
    if (auto state = stateHome(); !state.empty())
        return state / "ovix" / "runtime";
    return {};
}

std::filesystem::path temporaryFolder() {
    if (auto path = absoluteFromEnvironment("TMPDIR"); !path.empty())
        return path;
    return "/tmp";
}

bool ensureRuntimeFolder() {
    const auto folder = runtimeFolder();
    if (folder.empty()) {
        errno = ENOENT;
        return false;
    }
    // $XDG_RUNTIME_DIR is the login's to make; the folders above one under
    // the state folder are made as needed, private.
    if (absoluteFromEnvironment("XDG_RUNTIME_DIR").empty()) {
        std::filesystem::path made;
        for (const auto& part : folder.parent_path()) {
            made /= part;
            if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
    }
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0)
        return false;
    // A link, a file, or a folder someone else made is never used.
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        errno = S_ISDIR(info.st_mode) ? EPERM : ENOTDIR;
        return false;
    }
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
        return false;
    return true;
}

ovix::UniqueFd openPrivateRuntimeFolder() {
    const auto base = absoluteFromEnvironment("XDG_RUNTIME_DIR");
    if (base.empty()) {
        errno = ENOENT;
        return {};
    }
    const ovix::UniqueFd outer(open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!outer || !isPrivateFolder(outer.get()))
        return {};
    if (mkdirat(outer.get(), "ovix", 0700) != 0 && errno != EEXIST)
        return {};
    ovix::UniqueFd folder(openat(outer.get(), "ovix", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder || !isPrivateFolder(folder.get()))
        return {};
    return folder;
}

}  // namespace compat
