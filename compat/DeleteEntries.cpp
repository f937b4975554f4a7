#include "compat/DeleteEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace compat {

namespace {

bool startsWithIgnoringCase(std::string_view name, std::string_view prefix) {
    if (name.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(name[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

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
    const int folder = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return false;
    const int listed = dup(folder);
    bool emptied = listed >= 0;
    if (emptied) {
        for (const auto& inner : namesIn(listed))
            emptied = deleteAt(folder, inner) && emptied;
    }
    close(folder);
    return emptied && unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

std::size_t deleteOwnEntriesWithPrefix(const std::filesystem::path& folder, std::string_view prefix) {
    const int parent = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return 0;
    const int listed = dup(parent);
    std::size_t deleted = 0;
    if (listed >= 0) {
        for (const auto& name : namesIn(listed)) {
            struct stat info;
            if (!startsWithIgnoringCase(name, prefix) ||
                fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != geteuid())
                continue;
            if (deleteAt(parent, name))
                ++deleted;
        }
    }
    close(parent);
    return deleted;
}

}  // namespace compat
