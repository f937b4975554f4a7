#include "favorites/FavoritesExport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
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
    auto operator<=>(const FolderIdentity&) const = default;
};

struct Entry {
    std::string name;
    bool isFolder;
    // The folder to walk; empty for a folder that is not followed.
    std::string folder;
    bool isRegularFile;
    off_t size;
};

std::optional<std::string> canonicalPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

class FavoritesWalk {
public:
    // `root`: the favorites folder, canonical and not "/".
    FavoritesWalk(std::string root, const WalkLimits& limits) : m_root(std::move(root)), m_limits(limits) {}

    std::string run() {
        walk(m_root, 0);
        return std::move(m_out);
    }

private:
    bool isInside(const std::string& path) const {
        return path == m_root || (path.starts_with(m_root) && path[m_root.size()] == '/');
    }

    Entry entryOf(int dirFd, const std::string& dir, const char* name) const {
        Entry entry{name, false, {}, false, 0};
        struct stat info {};
        if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return entry;
        const std::string path = dir + "/" + name;
        if (S_ISLNK(info.st_mode)) {
            // A link counts as what it leads to (a broken one as a file); a
            // linked folder is followed only inside the favorites folder.
            if (fstatat(dirFd, name, &info, 0) != 0)
                return entry;
            if (S_ISDIR(info.st_mode)) {
                const auto target = canonicalPath(path);
                entry.isFolder = true;
                entry.folder = target && isInside(*target) ? *target : std::string();
                return entry;
            }
        } else if (S_ISDIR(info.st_mode)) {
            entry.isFolder = true;
            entry.folder = path;
            return entry;
        }
        entry.isRegularFile = S_ISREG(info.st_mode);
        entry.size = info.st_size;
        return entry;
    }

    // The entries of `dir` in listing order, read before any of them is
    // walked so that one descriptor is open at a time however deep the tree.
    // False for a folder that cannot be listed or was listed before.
    bool list(const std::string& dir, std::vector<Entry>& entries) {
        const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat info {};
        DIR* listing = fstat(fd, &info) == 0 ? fdopendir(fd) : nullptr;
        if (!listing) {
            close(fd);
            return false;
        }
        const bool isNew = m_listed.insert({info.st_dev, info.st_ino}).second;
        while (isNew && m_entriesSeen < m_limits.entries) {
            const dirent* found = readdir(listing);
            if (!found)
                break;
            if (std::string_view(found->d_name) == "." || std::string_view(found->d_name) == "..")
                continue;
            ++m_entriesSeen;
            entries.push_back(entryOf(dirfd(listing), dir, found->d_name));
        }
        closedir(listing);
        return isNew;
    }

    void walk(const std::string& dir, int depth) {
        std::vector<Entry> entries;
        if (!list(dir, entries))
            return;
        bool first = true;
        for (const auto& entry : entries) {
            std::string_view name = entry.name;
            const bool isShortcut = !entry.isFolder && name.ends_with(".url");
            if ((!entry.isFolder && name.starts_with('.')) ||
                (isShortcut && entry.isRegularFile && static_cast<std::size_t>(entry.size) > kShortcutMaxBytes))
                continue;
            if (!first)
                m_out += ',';
            first = false;
            m_out += '"';
            if (entry.isFolder) {
                appendEscaped(m_out, name);
                m_out += "\":{";
                if (!entry.folder.empty() && depth < m_limits.depth)
                    walk(entry.folder, depth + 1);
                m_out += '}';
                continue;
            }
            std::string url;
            if (isShortcut) {
                if (entry.isRegularFile)
                    url = compat::readProfileString(dir + "/" + entry.name, "InternetShortcut", "URL",
                                                    kShortcutMaxBytes);
                name.remove_suffix(4);
            }
            appendEscaped(m_out, name);
            m_out += "\":\"";
            appendEscaped(m_out, url);
            m_out += '"';
        }
    }

    const std::string m_root;
    const WalkLimits m_limits;
    std::size_t m_entriesSeen = 0;
    std::set<FolderIdentity> m_listed;
    std::string m_out;
};

bool namesFolderDirectly(const std::string& folder) {
    if (!folder.starts_with('/'))
        return false;
    for (const auto& step : std::filesystem::path(folder)) {
        if (step == "..")
            return false;
    }
    return true;
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
    auto expanded = compat::expandEnvironment(text.substr(0, text.find('\0')));
    if (!namesFolderDirectly(expanded))
        return 0;
    folder = std::move(expanded);
    return 1;
}

std::string ExportFavorites() {
    std::string folder;
    if (!GetFavoritesFolder(folder))
        return "{}";
    return "{" + WalkFavoritesFolder(folder) + "}";
}

std::string WalkFavoritesFolder(const std::string& folder, const WalkLimits& limits) {
    // The folder is taken as it resolves; links inside it are judged against that.
    const auto root = canonicalPath(folder);
    if (!root || *root == "/")
        return {};
    return FavoritesWalk(*root, limits).run();
}

}  // namespace ovix::favorites
