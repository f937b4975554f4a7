#include "favorites/FavoritesExport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "compat/store/ProfileString.h"
#include "compat/store/RegistryKey.h"
#include "compat/system/ExpandEnvironment.h"
#include "favorites/JsonText.h"

namespace ovix::favorites {

namespace {

constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct FolderIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderIdentity&) const = default;
};

struct Entry {
    std::string name;
    bool isFolder;
    bool isRegularFile;
};

// The entries of `folder` in listing order, read before any of them is
// walked so that one descriptor is open at a time however deep the tree.
bool listFolder(const std::string& folder, FolderIdentity& identity, std::vector<Entry>& entries) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    DIR* listing = fstat(fd, &info) == 0 ? fdopendir(fd) : nullptr;
    if (!listing) {
        close(fd);
        return false;
    }
    identity = {info.st_dev, info.st_ino};
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // A symbolic link counts as what it leads to; a broken one as a file.
        struct stat target {};
        const bool known = fstatat(dirfd(listing), entry->d_name, &target, 0) == 0;
        entries.push_back({name, known && S_ISDIR(target.st_mode), known && S_ISREG(target.st_mode)});
    }
    closedir(listing);
    return true;
}

void walk(const std::string& folder, std::vector<FolderIdentity>& walking, std::string& out) {
    // An empty folder name would otherwise become "/", the whole file system.
    if (folder.empty())
        return;
    const std::string dir = folder.ends_with('/') ? folder : folder + "/";
    FolderIdentity identity{};
    std::vector<Entry> entries;
    if (!listFolder(dir, identity, entries))
        return;
    // A link back to a folder on the current path would never end.
    if (std::find(walking.begin(), walking.end(), identity) != walking.end())
        return;
    walking.push_back(identity);
    bool first = true;
    for (const auto& entry : entries) {
        if (!entry.isFolder && entry.name.starts_with('.'))
            continue;
        if (!first)
            out += ',';
        first = false;
        out += '"';
        if (entry.isFolder) {
            ovix::favorites::appendEscaped(out, entry.name);
            out += "\":{";
            walk(dir + entry.name, walking, out);
            out += '}';
            continue;
        }
        std::string_view name = entry.name;
        std::string url;
        if (name.ends_with(".url")) {
            if (entry.isRegularFile)
                url = compat::readProfileString(dir + entry.name, "InternetShortcut", "URL");
            name.remove_suffix(4);
        }
        ovix::favorites::appendEscaped(out, name);
        out += "\":\"";
        ovix::favorites::appendEscaped(out, url);
        out += '"';
    }
    walking.pop_back();
}

}  // namespace

int GetFavoritesFolder(std::string& folder) {
    const auto key = compat::RegistryKey::open(compat::RegistryHive::CurrentUser, kShellFoldersKey);
    if (!key)
        return 0;
    const auto value = key->query("Favorites");
    if (!value ||
        (value->type != compat::RegistryType::String && value->type != compat::RegistryType::ExpandString))
        return 0;
    const std::string_view text = value->data;
    folder = compat::expandEnvironment(text.substr(0, text.find('\0')));
    return 1;
}

std::string ExportFavorites() {
    std::string folder;
    if (!GetFavoritesFolder(folder))
        return "{}";
    return "{" + WalkFavoritesFolder(folder) + "}";
}

std::string WalkFavoritesFolder(const std::string& folder) {
    std::string out;
    std::vector<FolderIdentity> walking;
    walk(folder, walking, out);
    return out;
}

}  // namespace ovix::favorites
