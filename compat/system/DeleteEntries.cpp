#include "compat/system/DeleteEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/Ascii.h"
#include "base/UniqueFd.h"

namespace compat {

namespace {

// The names in an open folder, "." and ".." left out. Takes `folder`.
std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    DIR* listing = fdopendir(folder);
    if (!listing) {
        close(folder);
        return names;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    closedir(listing);
    return names;
}

bool deleteAt(int parent, const std::string& name) {
    if (unlinkat(parent, name.c_str(), 0) == 0)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    // A folder: emptied through a descriptor that cannot be a link.
    ovix::UniqueFd folder(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return false;
    const int listed = dup(folder.get());
    bool emptied = listed >= 0;
    if (emptied) {
        for (const auto& inner : namesIn(listed))
            emptied = deleteAt(folder.get(), inner) && emptied;
    }
    folder.reset();
    return emptied && unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

std::size_t deleteOwnEntriesWithPrefix(const std::filesystem::path& folder, std::string_view prefix) {
    const ovix::UniqueFd parent(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent)
        return 0;
    const int listed = dup(parent.get());
    std::size_t deleted = 0;
    if (listed >= 0) {
        for (const auto& name : namesIn(listed)) {
            struct stat info;
            if (!ovix::asciiStartsWithNoCase(name, prefix) ||
                fstatat(parent.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != geteuid())
                continue;
            if (deleteAt(parent.get(), name))
                ++deleted;
        }
    }
    return deleted;
}

}  // namespace compat
